#pragma once

#include "documents/appcontext.h"
#include "documents/maxarray.h"
#include "documents/replyframer.h"
#include "items/bookmark.h"
#include "items/textencoding.h"
#include "net/connectioninfo.h"
#include "net/transactionregistry.h"
#include "net/winsockerrors.h"

#include <QByteArray>
#include <QObject>

#include <memory>

class DocumentFrame;

// What an upload request sends after its selector: an open file, how many of
// its bytes to send, and whether to end with a "." line.
struct UploadRecord
{
    int file = -1;
    qint64 length = 0;
    bool appendTerminator = true;
};

// The base of every document that shows something fetched from a Gopher
// server: it owns the item, starts the request, receives the reply, tells a
// Gopher+ reply header from the data, and answers the commands every document
// window has. Each kind overrides the virtual operations.
class CTarnwickDoc : public QObject, public TransactionClient
{
    Q_OBJECT

public:
    // How the end of the reply is recognised.
    enum ReplyMode {
        NoHeader = 0,      // ends when the server closes
        SizeKnown = 1,     // size known before the header was examined
        ByteCount = 2,     // "+<digits>": ends after that many bytes
        DotTerminated = 3, // "+-1": ends with a line holding only "."
        UntilClose = 4,    // "+-2": ends when the server closes
    };
    enum OpenMode { OrdinaryOpen = 0, HomeOpen = 1, UploadOpen = 5 };
    // How much of a Gopher+ error text is kept for its message box.
    static constexpr int MaxErrorText = 64 * 1024;
    // The status a transfer ends with when a byte-count reply stops short:
    // the server broke off what it had announced.
    static constexpr int ShortReply = WinSock::ConnectionAborted;

    explicit CTarnwickDoc(const AppContext &context, QObject *parent = nullptr);
    ~CTarnwickDoc() override;

    // The item the document works on (a transaction carries a copy of it).
    const CBookmark &GetItem() const override;
    // The document's own item.
    const CBookmark &item() const { return m_item; }
    CBookmark &item() { return m_item; }

    // The kind consumes what has arrived in the receive buffer.
    virtual void OnReceive() {}
    // The kind's end of a transfer: 0 normal, -1 stopped, or a socket error
    // code. The base calls it once per request.
    virtual void OnReceiveDone(int /*status*/) {}
    virtual void FindText(const QByteArray &text, bool down, bool matchCase, bool wholeWord);
    virtual bool CanFindText() const { return false; }
    virtual bool Fetch(const CBookmark &item);
    virtual void DeleteContents() {}
    // A new request is about to be sent; the reply state is fresh again.
    virtual void requestStarting() {}
    // Whether a reply without a Gopher+ header ends at a line holding only
    // "." (menus, texts and attribute replies do; a download does not).
    virtual bool endsAtDotLine() const { return false; }
    // Whether the replies of this kind are kept in memory to be shown again
    // at once (menus and texts are; downloads and forms are not).
    virtual bool keepsReplyInMemory() const { return false; }
    // Whether the reply that just ended may be shown again from memory (one
    // cut at a limit may not).
    virtual bool replyWorthKeeping() const { return true; }

    // Whether the item is a page that can be asked for again by its URL: a
    // one-line request, not the answers of a form. Only such items are kept
    // in memory, in the history and in a session.
    static bool isRevisitable(const CBookmark &item);

    // Command states and commands every document window has.
    virtual bool OnUpdateFileSave() const { return false; }
    virtual void OnFileSave() {}
    virtual bool OnUpdateEditCopy() const { return false; }
    virtual void OnEditCopy() {}
    virtual bool OnUpdateReload() const { return false; }
    virtual bool OnUpdateAddBookmark() const { return true; }
    virtual bool OnUpdateAddDirBookmark() const { return false; }
    virtual bool OnUpdateFetch() const { return false; }
    // The Fetch command when the document itself answers it (a search runs,
    // a telnet session starts).
    virtual void OnFetch() {}
    bool OnUpdateBack() const;
    // Fetches the item again from its server, never from memory.
    void OnReload();
    void OnGoTop();
    void OnBack();

    // Starts the request for the document's item; every request of a
    // document (fetch, reload, navigator, retries) goes through here.
    void SendRequest();
    void OnData(const QByteArray &bytes, bool &done) override;
    void FinishTransfer() override;
    // Shows the failure (status line, then its boxes) and goes on as below.
    void OnTransactionFailed(const TransactionFailure &failure) override;
    // What follows a failed transfer: the next home gopher, or the end.
    void OnTransactionFailed(int errorCode);
    void OnTransactionCancelled() override;
    void SetStatus(const QByteArray &text) override;
    void setTransactionKey(int key) override { m_transactionKey = key; }
    void setConnectionInfo(const ConnectionInfo &info) override { m_connection = info; }
    // How the last request reached its server (TLS, certificate, proxy).
    const ConnectionInfo &connectionInfo() const { return m_connection; }
    void ActivateFrame();
    // Closes the window, then the document (deleted when control returns to
    // the event loop).
    void OnCloseDocument();
    bool isClosing() const { return m_closing; }

    // The encoding the item's host is shown in (View > Encoding).
    TextEncoding displayEncoding() const;
    bool BeginCopy();
    void AddCopyLine(const QByteArray &text);
    bool EndCopy();

    // True while a transaction of this document is registered.
    bool hasLiveTransaction() const;
    void cancelTransfer();

    int transactionKey() const { return m_transactionKey; }
    int replyMode() const { return m_reply.replyMode; }
    bool gopherPlusError() const { return m_reply.gopherPlusError; }
    QByteArray progressText() const { return m_reply.progressText; }
    QByteArray windowKey() const { return m_windowKey; }
    // Bytes of the item received for the current request (the reply header
    // and anything after the end of the reply not counted).
    quint32 bytesReceived() const;
    // Received bytes the document has not consumed yet.
    qsizetype pendingBytes() const { return m_reply.buffer.size(); }
    // The transfer of the current request has ended.
    bool isDone() const { return m_reply.phase == ReplyState::Ended; }
    bool navigatorFlag() const { return m_navigatorFlag; }
    int openMode() const { return m_openMode; }
    qintptr secondValue() const { return m_secondValue; }
    // Home gopher attempts that failed so far.
    int homeFailures() const { return m_retryCount; }
    QByteArray title() const { return m_title; }
    // The title as the window shows it: in the encoding of the item's host.
    // titleChanged is sent again when that encoding changes.
    QString shownTitle() const;
    void setTitle(const QByteArray &title);
    // Server bytes (a title, a field value) as the window shows them, as
    // UTF-8: the status line reads its text as UTF-8 where it can, so a
    // title put into a status reads there as it does in the window.
    QByteArray shownBytes(QByteArrayView serverText) const;
    QByteArray lastStatus() const { return m_lastStatus; }
    // The status the last transfer ended with: 0 normal, -1 cancelled, or a
    // socket error code. Set once the kind's end of transfer has run.
    int endStatus() const { return m_endStatus; }
    // The redundant server that answers for the item's own, or none.
    QByteArray answeringServer() const;
    // The reply of the current request comes from memory, not the network.
    bool isFromMemory() const { return m_reply.fromMemory; }
    // What one of the program's limits cut off the last reply ("the text was
    // cut at 32,767 lines"); empty when the reply was kept whole.
    QByteArray cutNotice() const { return m_cutNotice; }
    // 1000000 as "1,000,000".
    static QByteArray groupedNumber(qint64 number);

    void setFrame(DocumentFrame *frame) { m_frame = frame; }
    DocumentFrame *frame() const { return m_frame; }
    // The values OpenItem opened the document with; a home document also
    // carries the failures of the home gophers tried before it.
    void setOpenValues(int openMode, qintptr secondValue, int homeFailures = 0);
    void setUploadRecord(const UploadRecord &record);
    const AppContext &context() const { return m_context; }

Q_SIGNALS:
    // Tells the views what changed; the meaning of hint and arguments is the
    // document kind's.
    void updateAllViews(int hint, int a = 0, int b = 0, int c = 0);
    void titleChanged(const QByteArray &title);
    void statusChanged(const QByteArray &text);
    // The transfer ended (normally, cancelled or failed) with this status.
    void transferEnded(int status);
    void closing();

protected:
    // The kinds read what has arrived and say how much of it they used.
    const QByteArray &receiveBuffer() const { return m_reply.buffer; }
    void consumeReceived(qsizetype count);
    void clearReceived() { m_reply.buffer.clear(); }
    // The kind has all of the reply it wants (a "." line, a limit): the
    // transfer ends after this chunk.
    void replyComplete() { m_reply.kindDone = true; }
    // Whether a line holding only "." ends the reply in flight; otherwise
    // such a line is data.
    bool dotLineEndsReply() const { return m_reply.framer.endsAtDotLine(); }
    // Set before a fetch: the navigator holds this fetch's sub-directories.
    void setNavigatorFlag(bool expandedBefore) { m_navigatorFlag = expandedBefore; }

    void RetryHomeGopher();
    // After the item's server could not be reached: sends the request to the
    // next redundant server the menu named for the item; false when none is
    // left.
    bool tryRedundantServer();
    // Sends the home request to another home gopher after a failure. The
    // base asks for the directory the way the server speaks (a Gopher+ server
    // with "\t$"); the attribute document asks for attributes instead.
    virtual void sendHomeRequest(const CBookmark &home);
    void registerWindowKey(const QByteArray &key);
    // The kind kept only part of the reply: say what was cut.
    void setCutNotice(const QByteArray &notice) { m_cutNotice = notice; }

    AppContext m_context;
    CBookmark m_item;

private:
    // Everything about the reply to the request in flight. Only the base
    // writes it; startRequest() makes a fresh one for every request.
    struct ReplyState
    {
        enum Phase { Idle, Receiving, Ended };
        Phase phase = Idle;
        ReplyFramer framer;
        int replyMode = NoHeader;
        bool headerExamined = false;
        bool gopherPlusError = false;
        bool sizeFromHeader = false;
        quint64 bytesReceived = 0;
        QByteArray buffer;
        QByteArray progressText;
        bool kindDone = false;
        bool endHandled = false;
        // The reply as received, to be kept in memory under the request.
        QByteArray memoryKey;
        QByteArray received;
        bool keeping = false;
        bool fromMemory = false;
    };

    // Forgets the previous request (its transaction, if still live, is let
    // go) and readies a fresh reply state.
    void startRequest();
    void beginReply();
    void takeHeader();
    void receiveBody(const QByteArray &body);
    void updateProgress();
    // Runs the kind's end of transfer once per request, then tells
    // listeners, unless the kind started another request meanwhile.
    void endRequest(int status);
    void showServerError();
    // The server shows another certificate than the one remembered: asks
    // whether to trust it, and fetches again if so. False when not.
    bool trustChangedCertificate(const TransactionFailure &failure);
    void endStatusIs(int status);
    // Feeds a reply kept in memory to the document from the event loop, in
    // blocks, as a transaction would.
    void replayBlock(quint64 request, const QByteArray &reply, qsizetype from);

    ReplyState m_reply;
    // Counts requests, so that work that started a new one can tell.
    quint64 m_requestNumber = 0;
    int m_transactionKey = 0;
    QByteArray m_windowKey;
    DocumentFrame *m_frame = nullptr;
    std::unique_ptr<CMaxArray> m_copyLines;
    int m_openMode = OrdinaryOpen;
    qintptr m_secondValue = 0;
    std::unique_ptr<UploadRecord> m_uploadRecord;
    int m_retryCount = 0;
    // Redundant servers of the item tried so far in this fetch, and the
    // item's own server and selector to go back to.
    int m_serversTried = 0;
    CBookmark::RedundantServer m_primaryServer;
    bool m_navigatorFlag = false;
    QByteArray m_title;
    QByteArray m_lastStatus;
    ConnectionInfo m_connection;
    int m_endStatus = 0;
    bool m_closing = false;
    // The next request goes to the server even when memory holds its reply.
    bool m_fetchAfresh = false;
    QByteArray m_cutNotice;
};
