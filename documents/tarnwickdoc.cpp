#include "documents/tarnwickdoc.h"

#include "settings/hostencodings.h"
#include "bookmarks/homegophers.h"
#include "documents/documentframe.h"
#include "documents/replycache.h"
#include "documents/userinterface.h"
#include "documents/windowregistry.h"
#include "net/transactionengine.h"
#include "net/transactionfailure.h"

#include <utility>

#include <unistd.h>

namespace {

// A reply from memory reaches the document in blocks of this size, one per
// turn of the event loop, as the network would deliver it.
constexpr qsizetype ReplayBlock = 256 * 1024;

} // namespace

CTarnwickDoc::CTarnwickDoc(const AppContext &context, QObject *parent)
    : QObject(parent), m_context(context)
{
    // The window title (and a telnet window's texts) are made of the host's
    // bytes: they follow the host's encoding as the window's text does.
    connect(&m_context.app->hostEncodings(), &HostEncodings::encodingChanged, this,
            [this](const QByteArray &host) {
                if (!m_item.host.isEmpty() && host == HostEncodings::hostKey(m_item.host))
                    Q_EMIT titleChanged(m_title);
            });
}

CTarnwickDoc::~CTarnwickDoc()
{
    m_context.engine->registry().Unregister(m_transactionKey);
    m_context.windows->Unregister(m_windowKey, this);
    if (m_uploadRecord && m_uploadRecord->file >= 0)
        ::close(m_uploadRecord->file);
}

const CBookmark &CTarnwickDoc::GetItem() const
{
    return m_item;
}

void CTarnwickDoc::FindText(const QByteArray &, bool, bool, bool) {}

void CTarnwickDoc::setOpenValues(int openMode, qintptr secondValue, int homeFailures)
{
    m_openMode = openMode;
    m_secondValue = secondValue;
    m_retryCount = homeFailures;
}

void CTarnwickDoc::setUploadRecord(const UploadRecord &record)
{
    m_uploadRecord = std::make_unique<UploadRecord>(record);
}

QString CTarnwickDoc::shownTitle() const
{
    return decodeText(m_title, displayEncoding());
}

QByteArray CTarnwickDoc::shownBytes(QByteArrayView serverText) const
{
    return decodeText(serverText, displayEncoding()).toUtf8();
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
    if (!m_windowKey.isEmpty() && m_windowKey != key)
        m_context.windows->Unregister(m_windowKey, this);
    m_windowKey = key;
    m_context.windows->Register(m_windowKey, this);
}

bool CTarnwickDoc::Fetch(const CBookmark &item)
{
    m_item.Assign(item);
    m_serversTried = 0;
    m_context.ui->setWaitCursor(true);
    const quint64 request = m_requestNumber + 1;
    SendRequest();
    // A request that failed at once may have moved on to another home gopher,
    // which has set the title and the window key itself.
    if (m_requestNumber == request && !m_closing) {
        setTitle(m_item.title);
        registerWindowKey(m_item.GetURL());
    }
    m_context.ui->setWaitCursor(false);
    return true;
}

void CTarnwickDoc::startRequest()
{
    // One request at a time: a transaction still running for the previous
    // request no longer speaks for this document, so nothing it delivers or
    // finishes can reach the new one.
    m_context.engine->registry().Unregister(m_transactionKey);
    ++m_requestNumber;
    if (m_reply.sizeFromHeader)
        m_item.itemSize = 0;
    m_cutNotice.clear();
    beginReply();
    requestStarting();
}

void CTarnwickDoc::beginReply()
{
    m_reply = ReplyState();
    m_reply.framer.reset(endsAtDotLine());
    m_reply.phase = ReplyState::Receiving;
}

bool CTarnwickDoc::isRevisitable(const CBookmark &item)
{
    QByteArrayView request(item.selector);
    if (request.endsWith("\r\n"))
        request.chop(2);
    return !request.contains('\r') && !request.contains('\n') && !item.host.isEmpty();
}

void CTarnwickDoc::SendRequest()
{
    startRequest();
    const bool afresh = std::exchange(m_fetchAfresh, false);
    if (m_openMode == UploadOpen && m_uploadRecord) {
        const UploadRecord record = *m_uploadRecord;
        m_uploadRecord.reset();
        m_context.engine->StartTransaction(this, record.file, record.length,
                                           record.appendTerminator);
        return;
    }
    ReplyCache &memory = m_context.app->replyCache();
    if (memory.isEnabled() && keepsReplyInMemory() && isRevisitable(m_item)) {
        m_reply.memoryKey = ReplyCache::keyOf(m_item);
        if (!afresh) {
            if (const std::optional<QByteArray> kept = memory.find(m_reply.memoryKey)) {
                m_reply.fromMemory = true;
                const quint64 request = m_requestNumber;
                const QByteArray reply = *kept;
                QMetaObject::invokeMethod(
                    this, [this, request, reply] { replayBlock(request, reply, 0); },
                    Qt::QueuedConnection);
                return;
            }
        }
        m_reply.keeping = true;
    }
    m_context.engine->StartTransaction(this, -1, 0, true);
}

void CTarnwickDoc::replayBlock(quint64 request, const QByteArray &reply, qsizetype from)
{
    if (m_requestNumber != request || m_closing || m_reply.phase == ReplyState::Ended)
        return;
    const qsizetype length = qMin(ReplayBlock, reply.size() - from);
    bool done = false;
    if (length > 0)
        OnData(reply.mid(from, length), done);
    if (m_requestNumber != request || m_closing)
        return;
    from += length;
    if (done || from >= reply.size()) {
        FinishTransfer();
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, request, reply, from] { replayBlock(request, reply, from); },
        Qt::QueuedConnection);
}

QByteArray CTarnwickDoc::groupedNumber(qint64 number)
{
    QByteArray digits = QByteArray::number(number);
    for (qsizetype at = digits.size() - 3; at > (number < 0 ? 1 : 0); at -= 3)
        digits.insert(at, ',');
    return digits;
}

quint32 CTarnwickDoc::bytesReceived() const
{
    return quint32(qMin<quint64>(m_reply.bytesReceived, 0xFFFFFFFFu));
}

void CTarnwickDoc::consumeReceived(qsizetype count)
{
    m_reply.buffer.remove(0, count);
}

void CTarnwickDoc::takeHeader()
{
    m_reply.headerExamined = true;
    using Header = ReplyFramer::Header;
    switch (m_reply.framer.header()) {
    case Header::ByteCount:
        m_reply.replyMode = ByteCount;
        m_item.itemSize = quint32(qMin<quint64>(m_reply.framer.announcedSize(), 0xFFFFFFFFu));
        m_reply.sizeFromHeader = true;
        break;
    case Header::NoSize:
        // A '+' without digits announces no size: the data runs until the
        // server closes.
        m_reply.replyMode = ByteCount;
        m_item.itemSize = 0;
        break;
    case Header::DotTerminated:
        m_reply.replyMode = DotTerminated;
        break;
    case Header::UntilClose:
        m_reply.replyMode = UntilClose;
        break;
    case Header::Error:
    case Header::ErrorUntilClose:
        m_reply.gopherPlusError = true;
        break;
    case Header::None:
    case Header::Pending:
        m_reply.replyMode = m_reply.framer.endsAtDotLine() ? DotTerminated : NoHeader;
        break;
    }
}

void CTarnwickDoc::OnData(const QByteArray &bytes, bool &done)
{
    done = false;
    if (m_reply.phase == ReplyState::Ended) {
        done = true;
        return;
    }
    if (bytes.isEmpty())
        return;
    if (m_reply.phase == ReplyState::Idle)
        beginReply();
    if (m_reply.keeping) {
        ReplyCache &memory = m_context.app->replyCache();
        if (m_reply.received.size() + bytes.size() > memory.largestReply()) {
            // Too large to keep; an older reply to the request is out of date.
            m_reply.keeping = false;
            m_reply.received = QByteArray();
            memory.remove(m_reply.memoryKey);
        } else {
            m_reply.received += bytes;
        }
    }
    const quint64 request = m_requestNumber;
    const QByteArray body = m_reply.framer.feed(bytes);
    // The header is examined once its line is complete, however the network
    // cut the first bytes.
    if (!m_reply.framer.headerKnown())
        return;
    if (!m_reply.headerExamined)
        takeHeader();
    receiveBody(body);
    done = m_requestNumber != request || m_reply.phase == ReplyState::Ended
           || (m_reply.gopherPlusError && m_reply.framer.isComplete());
}

void CTarnwickDoc::receiveBody(const QByteArray &body)
{
    if (!body.isEmpty()) {
        m_reply.bytesReceived += quint64(body.size());
        if (m_reply.gopherPlusError) {
            // An error text is a few lines; an endless one keeps only its
            // head, while the framer goes on looking for its end.
            const qsizetype room = MaxErrorText - m_reply.buffer.size();
            if (room > 0)
                m_reply.buffer.append(body.first(qMin(room, body.size())));
        } else {
            m_reply.buffer.append(body);
        }
    }
    updateProgress();
    // The kind hears nothing of an error text; FinishTransfer shows it.
    if (m_reply.gopherPlusError)
        return;
    const quint64 request = m_requestNumber;
    if (!body.isEmpty())
        OnReceive();
    if (m_requestNumber != request || m_reply.phase == ReplyState::Ended)
        return;
    if (m_reply.framer.isComplete() || m_reply.kindDone)
        endRequest(0);
}

void CTarnwickDoc::updateProgress()
{
    const quint64 received = m_reply.bytesReceived;
    if (m_item.itemSize != 0 && received > 2 * quint64(m_item.itemSize)) {
        // The announced size is no longer trusted.
        m_item.itemSize = 0;
        m_reply.progressText.clear();
    }
    if (m_item.itemSize != 0 && received != 0) {
        const quint64 perMille = received * 1000 / m_item.itemSize;
        m_reply.progressText = QByteArray::number(perMille / 10) + '.'
                               + QByteArray::number(perMille % 10) + '%';
    }
}

void CTarnwickDoc::endRequest(int status)
{
    if (m_reply.endHandled)
        return;
    m_reply.endHandled = true;
    m_reply.phase = ReplyState::Ended;
    const quint64 request = m_requestNumber;
    // A whole reply is kept before the kind may send another request; one
    // that may not be shown again replaces an older one all the same.
    if (status == 0 && m_reply.keeping) {
        ReplyCache &memory = m_context.app->replyCache();
        if (replyWorthKeeping())
            memory.store(m_reply.memoryKey, std::exchange(m_reply.received, {}));
        else
            memory.remove(m_reply.memoryKey);
    }
    const bool fromMemory = m_reply.fromMemory;
    OnReceiveDone(status);
    // The kind may have sent another request (an empty Gopher+ menu is asked
    // for again): the transfer goes on, and ends with that request.
    if (m_requestNumber != request)
        return;
    if (status == 0 && m_serversTried > 0)
        SetStatus(m_lastStatus + " (from the redundant server " + answeringServer() + ")");
    if (status == 0 && fromMemory)
        SetStatus(m_lastStatus + " (from memory)");
    endStatusIs(status);
}

void CTarnwickDoc::FinishTransfer()
{
    // Only the transaction of the current request can reach here: the
    // transaction of an earlier request was let go when this one started.
    m_context.engine->registry().Unregister(m_transactionKey);
    if (m_reply.phase == ReplyState::Ended)
        return;
    if (m_reply.phase == ReplyState::Idle)
        beginReply();

    // The server has closed: a header line that never ended is data.
    const quint64 request = m_requestNumber;
    const QByteArray rest = m_reply.framer.finish();
    if (!m_reply.headerExamined)
        takeHeader();
    receiveBody(rest);
    if (m_requestNumber != request || m_reply.phase == ReplyState::Ended)
        return;

    if (m_reply.gopherPlusError) {
        m_reply.phase = ReplyState::Ended;
        m_reply.endHandled = true;
        showServerError();
        endStatusIs(0);
        OnCloseDocument();
        return;
    }
    if (m_reply.framer.isShort()) {
        // The server broke off before the size it announced: what arrived
        // stays shown, but the transfer failed.
        const QByteArray text = QByteArray("The transfer ended after ")
                                + QByteArray::number(m_reply.framer.bodyBytes()) + " of "
                                + QByteArray::number(m_reply.framer.announcedSize()) + " bytes.";
        SetStatus(text);
        m_context.ui->messageBox(text, UserInterface::Exclamation);
        // The box may have run an event loop in which the window was closed.
        if (m_requestNumber == request && !m_closing)
            endRequest(ShortReply);
        return;
    }
    endRequest(0);
}

void CTarnwickDoc::showServerError()
{
    QByteArray text = QByteArray("Re: the item '") + m_item.title + "'" + "\r\n";
    const QByteArray &received = m_reply.buffer;
    const char code = received.isEmpty() ? 0 : received.at(0);
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
    QByteArray serverText = received;
    if (code == '1' || code == '2' || code == '3')
        serverText.remove(0, 2);
    // The "." line that ended the text is not part of it. A text cut at its
    // limit, or ended by the close, has no such line and loses nothing.
    if (m_reply.framer.isComplete() && m_reply.framer.endsAtDotLine()) {
        for (const QByteArrayView line : {QByteArrayView(".\r\n"), QByteArrayView(".\n"),
                                          QByteArrayView(".\r")}) {
            const qsizetype start = serverText.size() - line.size();
            if (serverText.endsWith(line)
                && (start == 0 || serverText.at(start - 1) == '\n'
                    || serverText.at(start - 1) == '\r')) {
                serverText.chop(line.size());
                break;
            }
        }
    }
    text += serverText;
    // The title and the server's text come from the same host: the whole box
    // reads in the encoding chosen for it (our own words are ASCII, the same
    // in each). Automatic is the box's own rule already.
    if (displayEncoding() != TextEncoding::Automatic)
        text = shownBytes(text);
    m_context.ui->messageBox(text, UserInterface::Exclamation, UserInterface::Ok,
                             Help::GopherPlusError);
}

void CTarnwickDoc::OnTransactionFailed(const TransactionFailure &failure)
{
    // A server that cannot be found or reached has others standing in for
    // it; the failure is reported once the last of them failed as well.
    using Stage = TransactionFailure::Stage;
    if ((failure.stage == Stage::Lookup || failure.stage == Stage::Connect)
        && m_openMode != HomeOpen && tryRedundantServer())
        return;
    if (!failure.status.isEmpty())
        SetStatus(failure.status);
    if (failure.stage == Stage::Certificate) {
        if (trustChangedCertificate(failure))
            return;
        OnTransactionFailed(failure.code);
        return;
    }
    if (!failure.notice.isEmpty())
        m_context.ui->messageBox(failure.notice, UserInterface::NoIcon);
    m_context.ui->messageBox(failure.text, UserInterface::Exclamation, UserInterface::Ok,
                             failure.help);
    // Without a socket nothing was started, so nothing ends.
    if (failure.stage != TransactionFailure::Stage::Socket)
        OnTransactionFailed(failure.code);
}

bool CTarnwickDoc::trustChangedCertificate(const TransactionFailure &failure)
{
    if (!m_context.ui->askTrustNewCertificate(failure.text, failure.help))
        return false;
    ConnectionPolicy *policy = m_context.engine->policy();
    const KnownCertificate accepted{failure.offered.fingerprint, QDateTime::currentDateTimeUtc(),
                                    failure.offered.notAfter};
    if (!policy || !policy->rememberCertificate(failure.host, failure.port, accepted)) {
        m_context.ui->messageBox("Could not remember the new certificate of " + failure.host);
        return false;
    }
    if (m_closing)
        return true;
    SendRequest();
    return true;
}

void CTarnwickDoc::OnTransactionFailed(int errorCode)
{
    if (m_openMode == HomeOpen) {
        RetryHomeGopher();
        return;
    }
    endRequest(errorCode);
}

void CTarnwickDoc::OnTransactionCancelled()
{
    endRequest(-1);
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
        m_reply.phase = ReplyState::Ended;
        m_reply.endHandled = true;
        endStatusIs(-2);
        m_context.ui->messageBox(QByteArray("You could not reach your Home Gopher server.\r\n"
                                            "Please check your configuration and try again."));
        m_context.ui->homeServerSetup();
        OnCloseDocument();
        return;
    }
    // The other server, read by the same rule as the pick at start-up.
    const int other = m_secondValue == 1 ? 2 : 1;
    const CBookmark next = home.homeItem(other);
    m_context.windows->Unregister(m_windowKey, this);
    const quint64 request = m_requestNumber + 1;
    sendHomeRequest(next);
    // A request that failed at once has gone on to the next server already.
    if (m_requestNumber != request || m_closing)
        return;
    QByteArray title = home.GetInitialMenu();
    if (title.isEmpty())
        title = CBookmark::hostForUrl(m_item.host) + ':' + QByteArray::number(m_item.port);
    setTitle(title);
}

bool CTarnwickDoc::tryRedundantServer()
{
    if (m_closing || m_serversTried >= m_item.redundantServers.size())
        return false;
    if (m_serversTried == 0)
        m_primaryServer = {m_item.host, m_item.port, m_item.selector};
    const CBookmark::RedundantServer server = m_item.redundantServers.at(m_serversTried++);
    m_item.host = server.host;
    m_item.port = server.port;
    // The other server offers the same item; a selector of its own replaces
    // the item's, with the request form the item asked for.
    QByteArray selector = m_primaryServer.selector;
    if (!server.selector.isEmpty()) {
        const qsizetype marker = selector.indexOf('\t');
        selector = server.selector;
        if (marker >= 0) {
            selector.chop(2);
            selector += m_primaryServer.selector.mid(marker);
        }
    }
    m_item.selector = selector;
    SetStatus("Trying the redundant server " + answeringServer() + " ...");
    SendRequest();
    return true;
}

QByteArray CTarnwickDoc::answeringServer() const
{
    if (m_serversTried == 0)
        return QByteArray();
    return m_item.host + ':' + QByteArray::number(m_item.port);
}

void CTarnwickDoc::sendHomeRequest(const CBookmark &home)
{
    // Whatever the document made of the first server goes; the other server
    // is asked afresh, with its own selector, the way it speaks.
    DeleteContents();
    m_item.host = home.host;
    m_item.port = home.port;
    m_item.SetGopherPlus(home.IsGopherPlus());
    QByteArray selector = home.selector;
    if (home.IsGopherPlus()) {
        if (selector.endsWith("\r\n"))
            selector.chop(2);
        selector += "\t$\r\n";
    }
    m_item.selector = selector;
    const quint64 request = m_requestNumber + 1;
    SendRequest();
    if (m_requestNumber == request && !m_closing)
        registerWindowKey(m_item.GetURL());
}

void CTarnwickDoc::SetStatus(const QByteArray &text)
{
    m_lastStatus = text;
    if (m_frame && m_frame->hasOwnStatusBar())
        m_frame->setStatusText(text);
    else
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
    m_context.engine->registry().Unregister(m_transactionKey);
    m_context.windows->Unregister(m_windowKey, this);
    deleteLater();
}

bool CTarnwickDoc::hasLiveTransaction() const
{
    return m_context.engine->registry().FindDocument(m_transactionKey) == this;
}

void CTarnwickDoc::cancelTransfer()
{
    if (hasLiveTransaction())
        m_context.engine->CancelTransaction(m_transactionKey);
}

bool CTarnwickDoc::OnUpdateBack() const
{
    return !m_item.parentKey.isEmpty()
           && m_context.windows->Find(m_item.parentKey);
}

void CTarnwickDoc::OnReload()
{
    // A reload asks the item's own server again first.
    if (m_serversTried > 0) {
        m_item.host = m_primaryServer.host;
        m_item.port = m_primaryServer.port;
        m_item.selector = m_primaryServer.selector;
        m_serversTried = 0;
    }
    DeleteContents();
    m_navigatorFlag = true;
    m_fetchAfresh = true;
    SendRequest();
}

void CTarnwickDoc::OnGoTop()
{
    CBookmark top('1', m_item.host + " root", QByteArray(), m_item.host, m_item.port);
    top.SetGopherPlus(m_item.IsGopherPlus());
    top.itemTag &= 0x0000FFFFu;
    m_context.app->OpenItem(top, 0, 0);
}

void CTarnwickDoc::OnBack()
{
    m_context.windows->Activate(m_item.parentKey);
}

TextEncoding CTarnwickDoc::displayEncoding() const
{
    return m_context.app->hostEncodings().encoding(m_item.host);
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
    // Clipboard text ends its lines with a line feed, as every Linux program
    // expects (a carriage return shows up as ^M); the readers take both.
    QByteArray line = text;
    line.replace("\r\n", "\n");
    if (line.endsWith('\r'))
        line.chop(1);
    if (!line.endsWith('\n'))
        line.append('\n');
    m_copyLines->Add(line);
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
    // The clipboard holds text: what the window shows, in its host's encoding
    // (Save is what gives back the server's bytes).
    if (!m_context.ui->setClipboardText(text, displayEncoding())) {
        m_context.ui->messageBox(QByteArray("Couldn't store text in the clipboard ..."),
                                 UserInterface::Exclamation, UserInterface::Ok, Help::Clipboard);
        return false;
    }
    const int count = lines->lastIndex();
    SetStatus(QByteArray("Copied ") + QByteArray::number(count) + ' '
              + (count == 1 ? "line" : "lines") + " to the clipboard ... done");
    return true;
}
