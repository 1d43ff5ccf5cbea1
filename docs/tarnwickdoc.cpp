#include "docs/tarnwickdoc.h"

#include "app/tarnwickapp.h"
#include "bookmarks/homegophers.h"
#include "docs/documentframe.h"
#include "docs/userinterface.h"
#include "docs/windowregistry.h"
#include "net/transactionengine.h"
#include "net/transactionfailure.h"

#include <unistd.h>

CTarnwickDoc::CTarnwickDoc(const AppContext &context, QObject *parent)
    : QObject(parent), m_context(context)
{
}

CTarnwickDoc::~CTarnwickDoc()
{
    if (m_context.engine)
        m_context.engine->registry().Unregister(m_transactionKey);
    if (m_context.windows)
        m_context.windows->Unregister(m_windowKey, this);
    if (m_uploadRecord && m_uploadRecord->file >= 0)
        ::close(m_uploadRecord->file);
}

const CBookmark &CTarnwickDoc::GetItem() const
{
    return m_item;
}

void CTarnwickDoc::FindText(const QByteArray &, bool, bool, bool) {}

void CTarnwickDoc::setOpenValues(int openMode, qintptr secondValue)
{
    m_openMode = openMode;
    m_secondValue = secondValue;
}

void CTarnwickDoc::setUploadRecord(const UploadRecord &record)
{
    m_uploadRecord = std::make_unique<UploadRecord>(record);
}

void CTarnwickDoc::setTitle(const QByteArray &title)
{
    m_title = title;
    Q_EMIT titleChanged(title);
}

void CTarnwickDoc::registerWindowKey(const QByteArray &key)
{
    // A document fetched again under another item (the navigator, a retry)
    // must not stay registered under its old key.
    if (m_context.windows && !m_windowKey.isEmpty() && m_windowKey != key)
        m_context.windows->Unregister(m_windowKey, this);
    m_windowKey = key;
    if (m_context.windows)
        m_context.windows->Register(m_windowKey, this);
}

bool CTarnwickDoc::Fetch(const CBookmark &item)
{
    m_item.Assign(item);
    if (m_context.ui)
        m_context.ui->setWaitCursor(true);
    SendRequest();
    setTitle(m_item.title);
    registerWindowKey(m_item.GetURL());
    if (m_context.ui)
        m_context.ui->setWaitCursor(false);
    return true;
}

void CTarnwickDoc::SendRequest()
{
    m_receiveBuffer.clear();
    m_bytesReceived = 0;
    requestStarting();
    if (!m_context.engine)
        return;
    if (m_openMode == UploadOpen && m_uploadRecord) {
        const UploadRecord record = *m_uploadRecord;
        m_uploadRecord.reset();
        m_context.engine->StartTransaction(this, record.file, record.length,
                                           record.appendTerminator);
    } else {
        m_context.engine->StartTransaction(this, -1, 0, true);
    }
}

bool CTarnwickDoc::ParseReplyHeader()
{
    if (m_item.itemSize != 0)
        m_replyMode = SizeKnown;
    const QByteArray &b = m_receiveBuffer;
    if (b.startsWith('+') && b.size() >= 5) {
        if (b.startsWith("+-1\r\n")) {
            m_receiveBuffer.remove(0, 5);
            m_replyMode = DotTerminated;
            return true;
        }
        if (b.startsWith("+-2\r\n")) {
            m_receiveBuffer.remove(0, 5);
            m_replyMode = UntilClose;
            return true;
        }
        qsizetype end = 1;
        while (end < b.size() && b[end] != '\r' && b[end] != '\n')
            ++end;
        if (end == b.size())
            return false;
        quint64 size = 0;
        for (qsizetype i = 1; i < end; ++i) {
            if (b[i] < '0' || b[i] > '9')
                return false;
            size = qMin<quint64>(size * 10 + quint64(b[i] - '0'), 0xFFFFFFFFu);
        }
        while (end < b.size() && (b[end] == '\r' || b[end] == '\n'))
            ++end;
        m_replyMode = ByteCount;
        m_item.itemSize = quint32(size);
        m_receiveBuffer.remove(0, end);
        return true;
    }
    // "--1": error text ending with a "." line. Servers also send "--2":
    // error text that ends when they close.
    if (b.startsWith('-') && b.size() >= 5 && (b.startsWith("--1\r\n") || b.startsWith("--2\r\n"))) {
        m_gopherPlusError = true;
        m_errorUntilClose = b.startsWith("--2");
        m_receiveBuffer.remove(0, 5);
        return true;
    }
    return false;
}

void CTarnwickDoc::OnData(const QByteArray &bytes, bool &done)
{
    done = false;
    if (bytes.isEmpty())
        return;
    m_receiveBuffer.append(bytes);
    qsizetype fresh = bytes.size();
    if (!m_headerExamined) {
        m_headerExamined = true;
        m_replyMode = NoHeader;
        m_gopherPlusError = false;
        m_errorUntilClose = false;
        const qsizetype withHeader = m_receiveBuffer.size();
        if (!ParseReplyHeader())
            m_replyMode = NoHeader;
        fresh -= withHeader - m_receiveBuffer.size();
    }
    const qsizetype length = m_receiveBuffer.size();
    if (length == 0)
        return;
    // Only bytes that arrived now count: bytes a kind left in the buffer
    // (a partial menu line) were counted with their own chunk.
    m_bytesReceived += quint32(qMax<qsizetype>(fresh, 0));

    if (m_replyMode == DotTerminated && length > 4 && m_receiveBuffer.endsWith("\r\n.\r\n"))
        done = true;
    if (m_replyMode == ByteCount && m_bytesReceived == m_item.itemSize)
        done = true;
    if (m_item.itemSize != 0 && quint64(m_bytesReceived) > 2 * quint64(m_item.itemSize)) {
        m_item.itemSize = 0;
        m_progressText.clear();
    }
    if (m_item.itemSize != 0 && m_bytesReceived != 0) {
        const quint64 perMille = quint64(m_bytesReceived) * 1000 / m_item.itemSize;
        m_progressText = QByteArray::number(perMille / 10) + '.' + QByteArray::number(perMille % 10)
                         + '%';
    }
    if (m_gopherPlusError) {
        // The server's error text ends with a "." line: the reply is over
        // there even when the server keeps the connection open. The kind
        // hears nothing of it; FinishTransfer shows the text.
        done = !m_errorUntilClose
               && (m_receiveBuffer.endsWith("\r\n.\r\n") || m_receiveBuffer == ".\r\n");
        // An error text is a few lines; an endless one keeps only its head.
        if (m_receiveBuffer.size() > MaxErrorText)
            m_receiveBuffer.truncate(MaxErrorText);
        return;
    }
    OnReceive();
    if (done || m_done) {
        OnReceiveDone(0);
        done = true;
        m_done = true;
    }
}

void CTarnwickDoc::FinishTransfer()
{
    if (m_context.engine)
        m_context.engine->registry().Unregister(m_transactionKey);
    if (!m_gopherPlusError) {
        OnReceiveDone(0);
        endStatusIs(0);
        return;
    }
    QByteArray text = QByteArray("Re: the item '") + m_item.title + "'" + "\r\n";
    const char code = m_receiveBuffer.isEmpty() ? 0 : m_receiveBuffer.at(0);
    switch (code) {
    case '1':
        text += "This item is not available!";
        break;
    case '2':
        text += "Please fetch this item later, when the server is less busy!";
        break;
    case '3':
        text += "The item has moved to a new location.";
        break;
    default:
        break;
    }
    text += QByteArray("\r\n") + "The Gopher server '" + m_item.host + "'" + "\r\n"
            + "returned the following text:" + "\r\n" + "\r\n";
    QByteArray serverText = m_receiveBuffer;
    if (code == '1' || code == '2' || code == '3')
        serverText.remove(0, 2);
    if (!m_errorUntilClose)
        serverText.chop(3);
    text += serverText;
    if (m_context.ui)
        m_context.ui->messageBox(text, UserInterface::Exclamation, UserInterface::Ok,
                                 Help::GopherPlusError);
    endStatusIs(0);
    OnCloseDocument();
}

void CTarnwickDoc::OnTransactionFailed(const TransactionFailure &failure)
{
    if (!failure.status.isEmpty())
        SetStatus(failure.status);
    if (m_context.ui) {
        if (!failure.notice.isEmpty())
            m_context.ui->messageBox(failure.notice, UserInterface::NoIcon);
        m_context.ui->messageBox(failure.text, UserInterface::Exclamation, UserInterface::Ok,
                                 failure.help);
    }
    // Without a socket nothing was started, so nothing ends.
    if (failure.stage != TransactionFailure::Stage::Socket)
        OnTransactionFailed(failure.code);
}

void CTarnwickDoc::OnTransactionFailed(int errorCode)
{
    if (m_openMode == HomeOpen) {
        RetryHomeGopher();
        return;
    }
    OnReceiveDone(errorCode);
    endStatusIs(errorCode);
}

void CTarnwickDoc::OnTransactionCancelled()
{
    OnReceiveDone(-1);
    endStatusIs(-1);
}

void CTarnwickDoc::endStatusIs(int status)
{
    m_endStatus = status;
    Q_EMIT transferEnded(status);
}

void CTarnwickDoc::RetryHomeGopher()
{
    HomeGophers &home = m_context.app->homeGophers();
    const int count = home.GetHomeCount();
    ++m_retryCount;
    if (m_retryCount >= count) {
        endStatusIs(-2);
        m_context.ui->messageBox(QByteArray("You could not reach your Home Gopher server.\r\n"
                                            "Please check your configuration and try again."));
        m_context.ui->homeServerSetup();
        OnCloseDocument();
        return;
    }
    const int other = m_secondValue == 1 ? 2 : 1;
    if (m_context.windows)
        m_context.windows->Unregister(m_windowKey, this);
    m_item.host = home.GetHomeServer(other);
    m_item.port = quint16(home.GetHomePort(other));
    m_item.SetGopherPlus(home.GetPlusServer(other) != 0);
    m_item.selector = home.GetHomeSelector(other) + "\r\n";
    SendRequest();
    registerWindowKey(m_item.GetURL());
    QByteArray title = home.GetInitialMenu();
    if (title.isEmpty())
        title = m_item.host + ':' + QByteArray::number(m_item.port);
    setTitle(title);
}

void CTarnwickDoc::SetStatus(const QByteArray &text)
{
    m_lastStatus = text;
    if (m_frame && m_frame->hasOwnStatusBar())
        m_frame->setStatusText(text);
    else if (m_context.ui)
        m_context.ui->setMainStatus(text);
    Q_EMIT statusChanged(text);
}

void CTarnwickDoc::ActivateFrame()
{
    if (m_frame)
        m_frame->activateFrame();
}

void CTarnwickDoc::OnCloseDocument()
{
    if (m_closing)
        return;
    m_closing = true;
    Q_EMIT closing();
    if (m_frame) {
        DocumentFrame *frame = m_frame;
        m_frame = nullptr;
        frame->destroyFrame();
    }
    // Leave both registers now; the object itself goes when control returns
    // to the event loop, as handlers further up may still hold it.
    if (m_context.engine)
        m_context.engine->registry().Unregister(m_transactionKey);
    if (m_context.windows)
        m_context.windows->Unregister(m_windowKey, this);
    deleteLater();
}

bool CTarnwickDoc::hasLiveTransaction() const
{
    return m_context.engine && m_context.engine->registry().FindDocument(m_transactionKey) == this;
}

void CTarnwickDoc::cancelTransfer()
{
    if (hasLiveTransaction())
        m_context.engine->CancelTransaction(m_transactionKey);
}

bool CTarnwickDoc::OnUpdateBack() const
{
    return !m_item.parentKey.isEmpty() && m_context.windows
           && m_context.windows->Find(m_item.parentKey);
}

void CTarnwickDoc::OnReload()
{
    DeleteContents();
    m_headerExamined = false;
    m_endHandled = false;
    m_navigatorFlag = true;
    m_done = false;
    SendRequest();
}

void CTarnwickDoc::OnGoTop()
{
    CBookmark top('1', m_item.host + " root", QByteArray(), m_item.host, m_item.port);
    top.SetGopherPlus(m_item.IsGopherPlus());
    top.itemTag &= 0x0000FFFFu;
    if (m_context.app)
        m_context.app->OpenItem(top, 0, 0);
}

void CTarnwickDoc::OnBack()
{
    if (m_context.windows)
        m_context.windows->Activate(m_item.parentKey);
}

bool CTarnwickDoc::BeginCopy()
{
    m_copyLines = std::make_unique<CMaxArray>();
    return true;
}

void CTarnwickDoc::AddCopyLine(const QByteArray &text)
{
    if (!m_copyLines)
        return;
    if (text.contains('\r') || text.contains('\n'))
        m_copyLines->Add(text);
    else
        m_copyLines->Add(text + "\r\n");
    const int count = m_copyLines->lastIndex();
    if (count % 100 == 0)
        SetStatus(QByteArray("Copied ") + QByteArray::number(count) + " lines");
}

bool CTarnwickDoc::EndCopy()
{
    if (!m_copyLines)
        return false;
    std::unique_ptr<CMaxArray> lines = std::move(m_copyLines);
    lines->FreeExtra();
    QByteArray text;
    text.reserve(lines->totalCharacters());
    lines->CopyTo(text);
    if (!m_context.ui->setClipboardText(text)) {
        m_context.ui->messageBox(QByteArray("Couldn't store text in the clipboard ..."),
                                 UserInterface::Exclamation, UserInterface::Ok, Help::Clipboard);
        return false;
    }
    const int count = lines->lastIndex();
    SetStatus(QByteArray("Copied ") + QByteArray::number(count) + ' '
              + (count == 1 ? "line" : "lines") + " to the clipboard ... done");
    return true;
}
