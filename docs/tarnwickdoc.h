#pragma once

#include "docs/appcontext.h"
#include "docs/maxarray.h"
#include "items/bookmark.h"
#include "net/transactionregistry.h"

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

    explicit CTarnwickDoc(const AppContext &context, QObject *parent = nullptr);
    ~CTarnwickDoc() override;

    // The item the document works on (a transaction carries a copy of it).
    const CBookmark &GetItem() const override;
    // The document's own item.
    const CBookmark &item() const { return m_item; }
    CBookmark &item() { return m_item; }

    virtual void OnReceive() {}
    virtual void OnReceiveDone(int /*status*/) {}
    virtual void FindText(const QByteArray &text, bool down, bool matchCase, bool wholeWord);
    virtual bool CanFindText() const { return false; }
    virtual bool Fetch(const CBookmark &item);
    virtual void DeleteContents() {}
    // A new request is about to be sent; the receive buffer is empty again.
    virtual void requestStarting() {}

    // Command states and commands every document window has.
    virtual bool OnUpdateFileSave() const { return false; }
    virtual void OnFileSave() {}
    virtual bool OnUpdateEditCopy() const { return false; }
    virtual void OnEditCopy() {}
    virtual bool OnUpdateReload() const { return false; }
    virtual bool OnUpdateAddBookmark() const { return true; }
    virtual bool OnUpdateAddDirBookmark() const { return false; }
    virtual bool OnUpdateFetch() const { return false; }
    bool OnUpdateBack() const;
    void OnReload();
    void OnGoTop();
    void OnBack();

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
    void ActivateFrame();
    // Closes the window, then the document (deleted when control returns to
    // the event loop).
    void OnCloseDocument();
    bool isClosing() const { return m_closing; }

    bool BeginCopy();
    void AddCopyLine(const QByteArray &text);
    bool EndCopy();

    // True while a transaction of this document is registered.
    bool hasLiveTransaction() const;
    void cancelTransfer();

    int transactionKey() const { return m_transactionKey; }
    int replyMode() const { return m_replyMode; }
    bool gopherPlusError() const { return m_gopherPlusError; }
    QByteArray progressText() const { return m_progressText; }
    QByteArray windowKey() const { return m_windowKey; }
    quint32 bytesReceived() const { return m_bytesReceived; }
    // Received bytes the document has not consumed yet.
    qsizetype pendingBytes() const { return m_receiveBuffer.size(); }
    bool isDone() const { return m_done; }
    int openMode() const { return m_openMode; }
    QByteArray title() const { return m_title; }
    void setTitle(const QByteArray &title);
    QByteArray lastStatus() const { return m_lastStatus; }
    // The status the last transfer ended with: 0 normal, -1 cancelled, or a
    // socket error code. Set by the base before the kind hears of it.
    int endStatus() const { return m_endStatus; }

    void setFrame(DocumentFrame *frame) { m_frame = frame; }
    DocumentFrame *frame() const { return m_frame; }
    void setOpenValues(int openMode, qintptr secondValue);
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
    bool ParseReplyHeader();
    void RetryHomeGopher();
    void registerWindowKey(const QByteArray &key);

    AppContext m_context;
    int m_transactionKey = 0;
    quint32 m_bytesReceived = 0;
    int m_replyMode = NoHeader;
    bool m_gopherPlusError = false;
    bool m_errorUntilClose = false;
    QByteArray m_progressText;
    QByteArray m_windowKey;
    DocumentFrame *m_frame = nullptr;
    std::unique_ptr<CMaxArray> m_copyLines;
    int m_openMode = OrdinaryOpen;
    qintptr m_secondValue = 0;
    std::unique_ptr<UploadRecord> m_uploadRecord;
    int m_retryCount = 0;
    bool m_headerExamined = false;
    bool m_navigatorFlag = false;
    CBookmark m_item;
    QByteArray m_receiveBuffer;
    bool m_done = false;
    bool m_endHandled = false;

private:
    void endStatusIs(int status);

    QByteArray m_title;
    QByteArray m_lastStatus;
    int m_endStatus = 0;
    bool m_closing = false;
};
