#include "net/transactionengine.h"

#include "docs/userinterface.h"
#include "net/winsockerrors.h"

#include <QHostInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Holds a transaction while a handler works on it: a deletion asked for
// meanwhile happens when the outermost hold ends, and events held back while
// it was busy are let through again.
class Hold
{
public:
    explicit Hold(CTransaction *t) : m_t(t) { ++m_t->busy; }
    ~Hold()
    {
        --m_t->busy;
        if (m_t->doomed) {
            if (m_t->busy == 0)
                delete m_t;
        } else if (m_t->busy == 0) {
            m_t->resumeEvents();
        }
    }
    Hold(const Hold &) = delete;
    Hold &operator=(const Hold &) = delete;

private:
    CTransaction *m_t;
};

int lookupError(const QHostInfo &info)
{
    switch (info.error()) {
    case QHostInfo::NoError:
        return 0;
    case QHostInfo::HostNotFound:
        return WinSock::HostNotFound;
    case QHostInfo::UnknownError:
        break;
    }
    // The resolver said "try again" (EAI_AGAIN) or failed for good.
    return info.errorString().contains(QLatin1String("emporary")) ? WinSock::TryAgain
                                                                   : WinSock::NoRecovery;
}

// Replaces the character at the first ':' (or the one after it) by a line
// feed, as the message boxes of the socket layer show their texts.
QByteArray breakAtColon(QByteArray text, int offset)
{
    const qsizetype colon = text.indexOf(':');
    if (colon >= 0 && colon + offset < text.size())
        text[colon + offset] = '\n';
    return text;
}

} // namespace

TransactionEngine::TransactionEngine(UserInterface *ui, QObject *parent)
    : QObject(parent), m_ui(ui)
{
    m_registry.onChanged = [this] {
        scheduleSweep();
        Q_EMIT activityChanged();
    };
}

TransactionEngine::~TransactionEngine()
{
    m_registry.onChanged = nullptr;
    for (const quint16 handle : m_pendingLookups.keys()) {
        CTransaction *t = m_pendingLookups.find(handle);
        QHostInfo::abortHostLookup(t->lookupHandle);
        m_pendingLookups.remove(handle);
        delete t;
    }
    for (const quint16 socket : m_socketTransactions.keys()) {
        CTransaction *t = m_socketTransactions.find(socket);
        m_socketTransactions.remove(socket);
        delete t;
    }
}

int TransactionEngine::transactionCount() const
{
    return m_pendingLookups.size() + m_socketTransactions.size();
}

WinSockInfo TransactionEngine::winSockInfo() const
{
    WinSockInfo info;
    info.description = "Tarnwick POSIX sockets\nNon-blocking BSD sockets watched on the user "
                       "interface thread";
    info.systemStatus = "Running";
    rlimit limit {};
    info.maxSockets = getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
                          ? int(qMin<rlim_t>(limit.rlim_cur, 0x7fffffff))
                          : 0x7fffffff;
    return info;
}

int TransactionEngine::StartTransaction(TransactionClient *document, int uploadFile,
                                        qint64 uploadLength, bool appendTerminator)
{
    auto *t = new CTransaction(document, &m_registry, m_ui);
    if (t->state == CTransaction::Failed) {
        const int error = t->lastError;
        QByteArray text = (error == WinSock::NoBuffers || error == WinSock::TooManyFiles)
                              ? QByteArray("You are temporarily out of network resources\n"
                                           "Try again later!")
                              : QByteArray("Failed to create a socket:\n");
        text += GetWinSockErrorText(error);
        delete t;
        if (uploadFile >= 0)
            ::close(uploadFile);
        m_ui->messageBox(text, UserInterface::Exclamation, UserInterface::Ok, 364);
        return 0;
    }

    const int key = m_registry.Register(document, t);
    t->registryKey = key;
    document->setTransactionKey(key);
    t->uploadFile = uploadFile;
    t->uploadLength = uploadLength;
    t->appendTerminator = appendTerminator;
    t->bytesToSend = uploadLength + t->item.selector.size();

    auto *readNotifier = new QSocketNotifier(qintptr(t->socket), QSocketNotifier::Read);
    auto *writeNotifier = new QSocketNotifier(qintptr(t->socket), QSocketNotifier::Write);
    const int socket = t->socket;
    connect(readNotifier, &QSocketNotifier::activated, this, [this, socket] { onReadReady(socket); });
    connect(writeNotifier, &QSocketNotifier::activated, this, [this, socket] { onWriteReady(socket); });
    t->setNotifiers(readNotifier, writeNotifier);

    if (autoStripDots && autoStripDots() && t->item.host.endsWith('.'))
        t->item.host.chop(1);

    const auto cached = m_hostCache.constFind(t->item.host);
    if (cached != m_hostCache.constEnd()) {
        t->socketAddress.sin_addr.s_addr = cached.value();
        connectTransaction(t);
        return key;
    }
    const in_addr_t address = inet_addr(t->item.host.constData());
    if (address == INADDR_NONE) {
        startLookup(t);
    } else {
        t->socketAddress.sin_addr.s_addr = address;
        connectTransaction(t);
    }
    return key;
}

void TransactionEngine::startLookup(CTransaction *t)
{
    TransactionClient *document = m_registry.FindDocument(t->registryKey);
    if (!document) {
        destroyTransaction(t);
        return;
    }
    const int handle = QHostInfo::lookupHost(QString::fromUtf8(t->item.host), this,
                                             [this](const QHostInfo &info) {
                                                 OnHostResolved(info.lookupId(), info);
                                             });
    t->lookupHandle = handle;
    document->SetStatus(QByteArray("Resolving hostname ") + t->item.host);
    if (CTransaction *stale = m_pendingLookups.find(handle); stale && stale != t)
        destroyTransaction(stale);
    m_pendingLookups.insert(handle, t);
}

bool TransactionEngine::isDead(const CTransaction *t) const
{
    return t->closed || t->state == CTransaction::Closed || t->state == CTransaction::Cancelled
           || !m_registry.FindDocument(t->registryKey);
}

void TransactionEngine::reportFailure(CTransaction *t, const QByteArray &status,
                                      const QByteArray &box, int helpContext, int error)
{
    if (TransactionClient *document = m_registry.FindDocument(t->registryKey); document
        && !status.isEmpty())
        document->SetStatus(status);
    m_ui->messageBox(box, UserInterface::Exclamation, UserInterface::Ok, helpContext);
    // The box may have run a nested event loop: ask the registry again.
    if (TransactionClient *document = m_registry.FindDocument(t->registryKey))
        document->OnTransactionFailed(error);
}

void TransactionEngine::OnHostResolved(int handle, const QHostInfo &info)
{
    CTransaction *t = m_pendingLookups.find(handle);
    if (!t || t->lookupHandle != handle)
        return;
    m_pendingLookups.remove(handle);
    if (isDead(t)) {
        destroyTransaction(t);
        return;
    }
    Hold hold(t);
    int error = lookupError(info);
    quint32 address = 0;
    bool haveAddress = false;
    if (error == 0) {
        for (const QHostAddress &a : info.addresses()) {
            if (a.protocol() == QAbstractSocket::IPv4Protocol) {
                address = htonl(a.toIPv4Address());
                haveAddress = true;
                break;
            }
        }
        // A name with addresses of another family only: say so plainly.
        if (!haveAddress && !info.addresses().isEmpty())
            error = WinSock::NoData;
    }
    if (error != 0) {
        t->lastError = error;
        const QByteArray text = QByteArray("Hostname lookup failure for ") + t->item.host + " : "
                                + GetWinSockErrorText(error);
        reportFailure(t, text, breakAtColon(text, 1), 365, error);
        destroyTransaction(t);
        return;
    }
    if (!haveAddress) {
        // Nothing has set an error here; code 0 would read as a normal end.
        reportFailure(t, QByteArray("Possible WinSock failure resolving ") + t->item.host,
                      QByteArray("Problem looking up\n") + t->item.host
                          + "\nPossible WinSock failure!",
                      366, t->lastError != 0 ? t->lastError : int(WinSock::NoData));
        destroyTransaction(t);
        return;
    }
    t->socketAddress.sin_addr.s_addr = address;
    m_hostCache.insert(t->item.host, address);
    connectTransaction(t);
}

void TransactionEngine::connectTransaction(CTransaction *t)
{
    if (!m_registry.FindDocument(t->registryKey)) {
        destroyTransaction(t);
        return;
    }
    t->setEvents(CTransaction::ConnectEvents);
    int error = WinSock::NotSocket;
    if (!t->closed && t->state != CTransaction::Closed && t->state != CTransaction::Cancelled) {
        const int rc = ::connect(t->socket, reinterpret_cast<const sockaddr *>(&t->socketAddress),
                                 sizeof t->socketAddress);
        error = rc == 0 ? 0 : winSockErrorFromErrno(errno);
    }
    if (error == 0 || error == WinSock::WouldBlock || error == WinSock::InProgress) {
        if (CTransaction *stale = m_socketTransactions.find(t->socket); stale && stale != t)
            destroyTransaction(stale);
        m_socketTransactions.insert(t->socket, t);
        if (TransactionClient *document = m_registry.FindDocument(t->registryKey))
            document->SetStatus(QByteArray("Connecting to ") + t->item.host);
        return;
    }
    t->lastError = error;
    Hold hold(t);
    const QByteArray text = QByteArray("Can't connect to ") + t->item.host + " : "
                            + GetWinSockErrorText(error);
    reportFailure(t, text, breakAtColon(text, 0), 367, error);
    destroyTransaction(t);
}

CTransaction *TransactionEngine::readyTransaction(int socket)
{
    CTransaction *t = m_socketTransactions.find(socket);
    if (t && t->busy) {
        // A handler is running on it (a nested event loop): wait for it.
        t->suspendEvents();
        return nullptr;
    }
    return t;
}

void TransactionEngine::onWriteReady(int socket)
{
    CTransaction *t = readyTransaction(socket);
    if (!t)
        return;
    if (t->events() & CTransaction::ConnectEvents) {
        int value = 0;
        socklen_t length = sizeof value;
        if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &value, &length) != 0)
            value = errno;
        OnSocketConnect(socket, winSockErrorFromErrno(value));
    } else {
        OnSocketWrite(socket, 0);
    }
}

void TransactionEngine::onReadReady(int socket)
{
    if (readyTransaction(socket))
        OnSocketRead(socket, 1, 0);
}

void TransactionEngine::OnSocketConnect(int socket, int error)
{
    CTransaction *t = m_socketTransactions.find(socket);
    if (!t)
        return;
    if (isDead(t)) {
        destroyTransaction(t);
        return;
    }
    Hold hold(t);
    if (error != 0) {
        t->lastError = error;
        reportFailure(t, {},
                      QByteArray("Connect error to host\n") + t->item.host + "\n"
                          + GetWinSockErrorText(error),
                      368, error);
        destroyTransaction(t);
        return;
    }
    if (TransactionClient *document = m_registry.FindDocument(t->registryKey))
        document->SetStatus(QByteArray("Connected to ") + t->item.host);
    t->setEvents(CTransaction::WriteEvents);
    t->SendPending();
    if (t->state == CTransaction::Sent)
        t->setEvents(CTransaction::ReadEvents);
}

void TransactionEngine::OnSocketWrite(int socket, int /*error*/)
{
    CTransaction *t = m_socketTransactions.find(socket);
    if (!t)
        return;
    if (isDead(t)) {
        destroyTransaction(t);
        return;
    }
    Hold hold(t);
    t->SendPending();
    if (t->state == CTransaction::Sent) {
        t->setEvents(CTransaction::ReadEvents);
    } else if (t->state == CTransaction::Failed) {
        reportFailure(t, QByteArray("Couldn't send request to ") + t->item.host,
                      QByteArray("Error sending request to host\n") + t->item.host + "\n"
                          + GetWinSockErrorText(t->lastError),
                      369, t->lastError);
        destroyTransaction(t);
    }
}

void TransactionEngine::OnSocketRead(int socket, int event, int /*error*/)
{
    CTransaction *t = m_socketTransactions.find(socket);
    if (!t)
        return;
    if (isDead(t)) {
        destroyTransaction(t);
        return;
    }
    Hold hold(t);
    bool done = false;
    if (event == 1) {
        const QByteArray data = t->ReceiveChunk();
        if (!data.isEmpty()) {
            if (TransactionClient *document = m_registry.FindDocument(t->registryKey))
                document->OnData(data, done);
        }
        if (!done && t->state == CTransaction::Receiving
            && m_registry.FindDocument(t->registryKey))
            return;
    } else if (event == 32) {
        for (;;) {
            TransactionClient *document = m_registry.FindDocument(t->registryKey);
            if (!document || done)
                break;
            const QByteArray data = t->ReceiveChunk();
            if (data.isEmpty())
                break;
            document->OnData(data, done);
        }
    }
    if (t->state != CTransaction::Failed) {
        if (TransactionClient *document = m_registry.FindDocument(t->registryKey))
            document->FinishTransfer();
    } else {
        m_ui->messageBox(QByteArray("Read error from host ") + t->item.host
                             + GetWinSockErrorText(t->lastError),
                         UserInterface::Exclamation, UserInterface::Ok, 0);
        if (TransactionClient *document = m_registry.FindDocument(t->registryKey))
            document->OnTransactionFailed(t->lastError);
    }
    destroyTransaction(t);
}

void TransactionEngine::destroyTransaction(CTransaction *t)
{
    if (m_pendingLookups.find(t->lookupHandle) == t)
        m_pendingLookups.remove(t->lookupHandle);
    if (t->socket >= 0 && m_socketTransactions.find(t->socket) == t)
        m_socketTransactions.remove(t->socket);
    if (t->busy > 0) {
        if (!t->doomed) {
            t->doomed = true;
            t->Close();
            m_registry.Unregister(t->registryKey);
        }
        return;
    }
    delete t;
}

void TransactionEngine::scheduleSweep()
{
    if (m_sweepScheduled)
        return;
    m_sweepScheduled = true;
    QTimer::singleShot(0, this, &TransactionEngine::sweep);
}

// A cancelled transaction gets no further socket events once closed; absorb
// it here instead of keeping it until the engine goes away.
void TransactionEngine::sweep()
{
    m_sweepScheduled = false;
    for (CTransaction *t : m_pendingLookups.values()) {
        if ((t->closed || !m_registry.FindDocument(t->registryKey)) && t->busy == 0) {
            QHostInfo::abortHostLookup(t->lookupHandle);
            destroyTransaction(t);
        }
    }
    for (CTransaction *t : m_socketTransactions.values()) {
        if ((t->closed || !m_registry.FindDocument(t->registryKey)) && t->busy == 0)
            destroyTransaction(t);
    }
    if (m_registry.documentCount() == 0)
        Q_EMIT idle();
}
