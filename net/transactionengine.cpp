#include "net/transactionengine.h"

#include "net/socks5transport.h"
#include "net/tlstransport.h"
#include "net/winsockerrors.h"

#include <QHostInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>

#include <cerrno>
#include <optional>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

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

// A host name from a menu or a URL may carry any byte. inet_addr() and the
// resolver stop at a NUL, so "127.0.0.1\0.evil.example" would reach 127.0.0.1
// while another host is shown; no host name holds a control character.
bool hasControlCharacter(const QByteArray &host)
{
    for (const char c : host) {
        if (uchar(c) < 0x20 || uchar(c) == 0x7f)
            return true;
    }
    return false;
}

// The address a host name stands for without a look-up: a dotted IPv4
// address as inet_addr() reads it, or an IPv6 literal, bare or in the
// brackets a URL writes it in.
std::optional<QHostAddress> literalAddress(const QByteArray &host)
{
    const in_addr_t v4 = inet_addr(host.constData());
    if (v4 != INADDR_NONE)
        return QHostAddress(ntohl(v4));
    QByteArrayView name(host);
    if (name.size() > 2 && name.startsWith('[') && name.endsWith(']'))
        name = name.sliced(1, name.size() - 2);
    if (!name.contains(':'))
        return std::nullopt;
    QHostAddress v6;
    if (v6.setAddress(QString::fromLatin1(name)) && v6.protocol() == QAbstractSocket::IPv6Protocol)
        return v6;
    return std::nullopt;
}

} // namespace

TransactionEngine::TransactionEngine(QObject *parent) : QObject(parent)
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
    // A document that asks again (Reload, a retry started while its reply was
    // being read) is done with its earlier request: drop it, so that nothing
    // of it reaches the document after its new request started.
    for (const int old : m_registry.keysOf(document)) {
        if (CTransaction *t = m_registry.FindTransaction(old)) {
            t->state = CTransaction::Cancelled;
            t->Close();
        }
        m_registry.Unregister(old);
    }
    if (m_offline)
        return 0;

    auto *t = new CTransaction(document->GetItem());
    if (t->state == CTransaction::Failed) {
        const int error = t->lastError;
        delete t;
        if (uploadFile >= 0)
            ::close(uploadFile);
        document->OnTransactionFailed(TransactionFailure::socketCreation(error));
        return 0;
    }

    const int key = m_registry.Register(document, t);
    t->registryKey = key;
    document->setTransactionKey(key);
    t->uploadFile = uploadFile;
    t->uploadLength = uploadLength;
    t->appendTerminator = appendTerminator;
    t->bytesToSend = uploadLength + t->item.selector.size();

    auto *readNotifier = new QSocketNotifier(qintptr(t->socket), QSocketNotifier::Read, this);
    auto *writeNotifier = new QSocketNotifier(qintptr(t->socket), QSocketNotifier::Write, this);
    const int socket = t->socket;
    connect(readNotifier, &QSocketNotifier::activated, this, [this, socket] { onReadReady(socket); });
    connect(writeNotifier, &QSocketNotifier::activated, this, [this, socket] { onWriteReady(socket); });
    t->setNotifiers(readNotifier, writeNotifier);

    if (autoStripDots && autoStripDots() && t->item.host.endsWith('.'))
        t->item.host.chop(1);

    if (hasControlCharacter(t->item.host)) {
        fail(t, TransactionFailure::lookup(t->item.host, WinSock::HostNotFound));
        return key;
    }

    // The route, chosen once: TLS for a gophers:// item or a host known to
    // speak it; the proxy when one is set. An onion name is never looked up
    // here, and without a proxy it is not reached at all.
    t->tls = t->item.tls || (m_policy && m_policy->knownTlsHost(t->item.host, t->item.port));
    t->proxy = m_policy ? m_policy->proxy() : std::nullopt;
    const bool onion = isOnionHost(t->item.host);
    if (onion && !t->proxy) {
        fail(t, TransactionFailure::onionWithoutProxy(t->item.host));
        return key;
    }
    t->proxyResolves = t->proxy && (t->proxy->resolvesNames || onion);
    if (t->proxy) {
        // An address is handed to the proxy as such.
        if (const std::optional<QHostAddress> address = literalAddress(t->item.host))
            t->targetAddress = *address;
    }
    resolveNext(document, t);
    return key;
}

void TransactionEngine::resolveNext(TransactionClient *document, CTransaction *t)
{
    // Without a proxy, or with one that resolves names, one name is needed:
    // the server's or the proxy's. A proxy given addresses needs the
    // server's address first.
    const bool needTarget = t->proxy && !t->proxyResolves && !t->targetAddress;
    t->lookupName = (t->proxy && !needTarget) ? t->proxy->host : t->item.host;
    const auto cached = m_hostCache.constFind(t->lookupName);
    if (cached != m_hostCache.constEnd()) {
        addressFound(document, t, cached.value());
        return;
    }
    if (const std::optional<QHostAddress> address = literalAddress(t->lookupName))
        addressFound(document, t, *address);
    else
        startLookup(document, t);
}

void TransactionEngine::addressFound(TransactionClient *document, CTransaction *t,
                                     const QHostAddress &address)
{
    if (t->proxy && !t->proxyResolves && !t->targetAddress) {
        t->targetAddress = address;
        resolveNext(document, t);
        return;
    }
    connectTransaction(document, t, address);
}

void TransactionEngine::startLookup(TransactionClient *document, CTransaction *t)
{
    // The slot is named, not given as a functor: Qt 6.4 never frees the
    // functor of a look-up that is aborted (as every look-up of a document
    // that ends first is), while a named slot is only a connection.
    const int handle = QHostInfo::lookupHost(QString::fromUtf8(t->lookupName), this,
                                             SLOT(hostLookedUp(QHostInfo)));
    t->lookupHandle = handle;
    if (CTransaction *stale = m_pendingLookups.find(handle); stale && stale != t)
        destroyTransaction(stale);
    m_pendingLookups.insert(handle, t);
    document->SetStatus(QByteArray("Resolving hostname ") + t->lookupName);
}

void TransactionEngine::hostLookedUp(const QHostInfo &info)
{
    OnHostResolved(info.lookupId(), info);
}

std::pair<CTransaction *, TransactionClient *> TransactionEngine::liveSocket(int socket)
{
    CTransaction *t = m_socketTransactions.find(socket);
    if (!t)
        return {nullptr, nullptr};
    TransactionClient *document = liveDocument(t);
    if (!document) {
        // Its document has gone: the transaction goes with it.
        destroyTransaction(t);
        return {nullptr, nullptr};
    }
    return {t, document};
}

TransactionClient *TransactionEngine::liveDocument(const CTransaction *t) const
{
    if (t->closed || t->state == CTransaction::Closed || t->state == CTransaction::Cancelled)
        return nullptr;
    return m_registry.FindDocument(t->registryKey);
}

void TransactionEngine::OnHostResolved(int handle, const QHostInfo &info)
{
    CTransaction *t = m_pendingLookups.find(handle);
    if (!t || t->lookupHandle != handle)
        return;
    m_pendingLookups.remove(handle);
    TransactionClient *document = liveDocument(t);
    if (!document) {
        destroyTransaction(t);
        return;
    }
    int error = lookupError(info);
    QHostAddress address;
    bool haveAddress = false;
    if (error == 0) {
        // The first IPv4 address, as ever; a name with IPv6 addresses only
        // is reached at the first of those.
        for (const auto family : {QAbstractSocket::IPv4Protocol, QAbstractSocket::IPv6Protocol}) {
            for (const QHostAddress &a : info.addresses()) {
                if (!haveAddress && a.protocol() == family) {
                    address = a;
                    haveAddress = true;
                }
            }
        }
        // A name with addresses of another family only: say so plainly.
        if (!haveAddress && !info.addresses().isEmpty())
            error = WinSock::NoData;
    }
    if (error != 0) {
        t->lastError = error;
        fail(t, TransactionFailure::lookup(t->lookupName, error));
        return;
    }
    if (!haveAddress) {
        // Nothing has set an error here; code 0 would read as a normal end.
        fail(t, TransactionFailure::lookupWithoutAddress(
                    t->lookupName, t->lastError != 0 ? t->lastError : int(WinSock::NoData)));
        return;
    }
    m_hostCache.insert(t->lookupName, address);
    addressFound(document, t, address);
}

void TransactionEngine::connectTransaction(TransactionClient *document, CTransaction *t,
                                           const QHostAddress &address)
{
    const QByteArray proxyName = t->proxy ? t->proxy->hostPort() : QByteArray();
    const auto connectFailure = [&](int error) {
        return t->proxy ? TransactionFailure::proxyUnreachable(t->item.host, proxyName, error)
                        : TransactionFailure::connectRefused(t->item.host, error);
    };
    if (!t->setDestination(address, t->proxy ? t->proxy->port : quint16(0))) {
        fail(t, connectFailure(t->lastError));
        return;
    }
    // The transports work on the socket's number, which setDestination
    // keeps.
    if (t->tls) {
        if (!m_tls)
            m_tls = std::make_unique<TlsContext>();
        t->transport = std::make_unique<TlsTransport>(t->socket, *m_tls, t->item.host, t->item.port);
    }
    if (t->proxy) {
        const Socks5Transport::Target target{t->item.host, t->item.port, t->targetAddress};
        std::unique_ptr<Transport> inner = t->tls ? std::move(t->transport) : nullptr;
        t->transport = std::make_unique<Socks5Transport>(t->socket, *t->proxy, target,
                                                         std::move(inner));
        t->connection.proxy = proxyName;
    }
    t->setEvents(CTransaction::ConnectEvents);
    const int rc = ::connect(t->socket, t->destination(), t->destinationLength());
    const int error = rc == 0 ? 0 : winSockErrorFromErrno(errno);
    if (error == 0 || error == WinSock::WouldBlock || error == WinSock::InProgress) {
        if (CTransaction *stale = m_socketTransactions.find(t->socket); stale && stale != t)
            destroyTransaction(stale);
        m_socketTransactions.insert(t->socket, t);
        document->SetStatus(QByteArray("Connecting to ") + t->item.host);
        return;
    }
    t->lastError = error;
    fail(t, connectFailure(error));
}

void TransactionEngine::onWriteReady(int socket)
{
    CTransaction *t = m_socketTransactions.find(socket);
    if (!t)
        return;
    if (t->events() & CTransaction::ConnectEvents) {
        int value = 0;
        socklen_t length = sizeof value;
        if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &value, &length) != 0)
            value = errno;
        OnSocketConnect(socket, winSockErrorFromErrno(value));
    } else if (t->opening) {
        openStep(socket);
    } else if (t->state == CTransaction::Receiving) {
        // TLS may have to write while reading.
        OnSocketRead(socket, 1, 0);
    } else {
        OnSocketWrite(socket, 0);
    }
}

void TransactionEngine::onReadReady(int socket)
{
    CTransaction *t = m_socketTransactions.find(socket);
    if (t && t->opening)
        openStep(socket);
    else if (t && (t->state == CTransaction::Sending || t->state == CTransaction::SendBlocked))
        OnSocketWrite(socket, 0); // TLS may have to read while sending
    else
        OnSocketRead(socket, 1, 0);
}

void TransactionEngine::OnSocketConnect(int socket, int error)
{
    const auto [t, document] = liveSocket(socket);
    if (!t)
        return;
    if (error != 0) {
        t->lastError = error;
        fail(t, t->proxy ? TransactionFailure::proxyUnreachable(t->item.host,
                                                                t->proxy->hostPort(), error)
                         : TransactionFailure::connectError(t->item.host, error));
        return;
    }
    t->opening = true;
    if (!t->transport->openingStatus().isEmpty())
        document->SetStatus(t->transport->openingStatus());
    openStep(socket);
}

void TransactionEngine::openStep(int socket)
{
    const auto [t, document] = liveSocket(socket);
    if (!t)
        return;
    switch (t->transport->open()) {
    case Transport::Step::WantRead:
        t->setEvents(CTransaction::ReadEvents);
        return;
    case Transport::Step::WantWrite:
        t->setEvents(CTransaction::WriteEvents);
        return;
    case Transport::Step::Failed:
        fail(t, t->transport->failure().value_or(
                    TransactionFailure::connectError(t->item.host, int(WinSock::ConnectionAborted))));
        return;
    case Transport::Step::Done:
        break;
    }
    t->opening = false;
    const QByteArray proxy = t->connection.proxy;
    t->connection = t->transport->info();
    t->connection.proxy = proxy;
    if (t->connection.tls && !certificateTrusted(document, t))
        return;
    document->setConnectionInfo(t->connection);
    startSending(document, t);
}

void TransactionEngine::startSending(TransactionClient *document, CTransaction *t)
{
    document->SetStatus(QByteArray("Connected to ") + t->item.host);
    t->setEvents(CTransaction::WriteEvents);
    t->SendPending();
    afterSend(document, t);
}

bool TransactionEngine::certificateTrusted(TransactionClient *document, CTransaction *t)
{
    if (!m_policy)
        return true;
    const QByteArray &host = t->item.host;
    const quint16 port = t->item.port;
    const PeerCertificate &shown = t->connection.certificate;
    const QByteArray where = CBookmark::hostForUrl(host) + ':' + QByteArray::number(port);
    const std::optional<KnownCertificate> known = m_policy->knownCertificate(host, port);
    if (known && known->fingerprint == shown.fingerprint) {
        t->connection.trustedSince = known->since;
        m_policy->answeredOverTls(host, port);
        return true;
    }
    if (known && !shown.verifiedForHost && !m_policy->acceptsChangedCertificates()) {
        fail(t, TransactionFailure::certificateChanged(host, port, *known, shown));
        return false;
    }
    // Trust on first use; a changed certificate only when an authority of
    // this system vouches for it, or the user said so for this run.
    const KnownCertificate remembered{shown.fingerprint, QDateTime::currentDateTimeUtc(),
                                      shown.notAfter};
    const bool written = m_policy->rememberCertificate(host, port, remembered);
    if (written)
        t->connection.trustedSince = remembered.since;
    QByteArray status;
    if (!written)
        status = "Could not remember the certificate of " + where;
    else if (!known)
        status = "Remembered the certificate of " + where + " (SHA-256 " + shown.fingerprint + ')';
    else if (shown.verifiedForHost)
        status = "Remembered the new certificate of " + where
                 + ", vouched for by a certificate authority (SHA-256 " + shown.fingerprint + ')';
    else
        status = "Remembered the new certificate of " + where + " (SHA-256 " + shown.fingerprint
                 + ')';
    document->SetStatus(status);
    return true;
}

void TransactionEngine::OnSocketWrite(int socket, int /*error*/)
{
    const auto [t, document] = liveSocket(socket);
    if (!t)
        return;
    t->SendPending();
    afterSend(document, t);
}

void TransactionEngine::scheduleRead(CTransaction *t)
{
    const int socket = t->socket;
    const int key = t->registryKey;
    QMetaObject::invokeMethod(
        this,
        [this, socket, key] {
            // A document busy with the last chunk (a box open) is handed
            // the rest once it returns: OnSocketRead schedules again then.
            CTransaction *live = socketTransaction(socket, key);
            if (live && !live->eventsSuspended() && !live->closed)
                OnSocketRead(socket, 1, 0);
        },
        Qt::QueuedConnection);
}

void TransactionEngine::afterSend(TransactionClient *document, CTransaction *t)
{
    switch (t->state) {
    case CTransaction::Failed:
        if (t->uploadFailure.isEmpty() && t->transport->failure())
            fail(t, *t->transport->failure());
        else
            fail(t, TransactionFailure::sendError(t->item.host, t->lastError, t->uploadFailure));
        return;
    case CTransaction::Sent:
        document->SetStatus(QByteArray("Sent request to ") + t->item.host);
        t->setEvents(CTransaction::ReadEvents);
        return;
    default:
        // Blocked: the next write event goes on (or a read event, when TLS
        // has to read first).
        t->setEvents(t->transport->wantsRead() ? CTransaction::ReadEvents | CTransaction::WriteEvents
                                               : int(CTransaction::WriteEvents));
        document->SetStatus(QByteArray("Sent ") + QByteArray::number(t->bytesSent) + " of "
                            + QByteArray::number(t->bytesToSend) + " bytes of request to "
                            + t->item.host);
        return;
    }
}

CTransaction *TransactionEngine::socketTransaction(int socket, int key) const
{
    CTransaction *t = m_socketTransactions.find(socket);
    return t && t->registryKey == key ? t : nullptr;
}

CTransaction *TransactionEngine::deliver(CTransaction *t, const QByteArray &data, bool &done)
{
    const int key = t->registryKey;
    const int socket = t->socket;
    TransactionClient *document = m_registry.FindDocument(key);
    if (!document) {
        destroyTransaction(t);
        return nullptr;
    }
    t->suspendEvents();
    document->OnData(data, done);
    // The document may have stopped the transfer, closed, or run an event
    // loop in which the transaction was swept: find it again.
    t = socketTransaction(socket, key);
    if (!t)
        return nullptr;
    t->resumeEvents();
    if (t->closed || !m_registry.FindDocument(key)) {
        destroyTransaction(t);
        return nullptr;
    }
    return t;
}

void TransactionEngine::OnSocketRead(int socket, int event, int /*error*/)
{
    CTransaction *t = liveSocket(socket).first;
    if (!t)
        return;
    bool done = false;
    if (event == 1) {
        const QByteArray data = t->ReceiveChunk();
        if (!data.isEmpty()) {
            t = deliver(t, data, done);
            if (!t)
                return;
        }
        if (!done && t->state == CTransaction::Receiving) {
            if (t->transport->hasPendingData())
                scheduleRead(t);
            // TLS may have to write before it can read on.
            t->setEvents(t->transport->wantsWrite()
                             ? CTransaction::ReadEvents | CTransaction::WriteEvents
                             : int(CTransaction::ReadEvents));
            return;
        }
    } else if (event == 32) {
        while (!done) {
            const QByteArray data = t->ReceiveChunk();
            if (data.isEmpty())
                break;
            t = deliver(t, data, done);
            if (!t)
                return;
        }
    }
    if (t->state == CTransaction::Failed) {
        fail(t, t->transport->failure().value_or(
                    TransactionFailure::readError(t->item.host, t->lastError)));
        return;
    }
    // The transaction is gone before the document hears of the end, so
    // whatever the document does then (a box, a retry) cannot meet it.
    TransactionClient *document = m_registry.FindDocument(t->registryKey);
    destroyTransaction(t);
    if (document)
        document->FinishTransfer();
}

void TransactionEngine::fail(CTransaction *t, const TransactionFailure &failure)
{
    const int key = t->registryKey;
    if (!t->closed && m_registry.FindDocument(key)) {
        // The document stays registered until it has been told.
        m_registry.detachTransaction(key);
        m_failures.append({key, failure});
        if (!m_deliveryScheduled) {
            m_deliveryScheduled = true;
            QMetaObject::invokeMethod(this, &TransactionEngine::deliverFailures,
                                      Qt::QueuedConnection);
        }
    }
    destroyTransaction(t);
}

void TransactionEngine::deliverFailures()
{
    m_deliveryScheduled = false;
    // One at a time: a document's box may run an event loop that delivers
    // the next ones.
    while (!m_failures.isEmpty()) {
        const PendingFailure pending = m_failures.takeFirst();
        TransactionClient *document = m_registry.FindDocument(pending.key);
        if (!document)
            continue; // stopped or gone meanwhile: it has heard its end
        m_registry.Unregister(pending.key);
        document->OnTransactionFailed(pending.failure);
    }
}

void TransactionEngine::destroyTransaction(CTransaction *t)
{
    if (m_pendingLookups.find(t->lookupHandle) == t)
        m_pendingLookups.remove(t->lookupHandle);
    if (t->socket >= 0 && m_socketTransactions.find(t->socket) == t)
        m_socketTransactions.remove(t->socket);
    const int key = t->registryKey;
    if (m_registry.FindTransaction(key) == t)
        m_registry.Unregister(key);
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
        if (t->closed || !m_registry.FindDocument(t->registryKey)) {
            QHostInfo::abortHostLookup(t->lookupHandle);
            destroyTransaction(t);
        }
    }
    for (CTransaction *t : m_socketTransactions.values()) {
        if (t->closed || !m_registry.FindDocument(t->registryKey))
            destroyTransaction(t);
    }
    if (m_registry.documentCount() == 0)
        Q_EMIT idle();
}
