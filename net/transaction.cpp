#include "net/transaction.h"

#include "net/winsockerrors.h"

#include <QHostAddress>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

CTransaction::CTransaction(const CBookmark &documentItem)
{
    item.Assign(documentItem);
    socket = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (socket < 0) {
        lastError = winSockErrorFromErrno(errno);
        state = Failed;
        return;
    }

    int value = 0;
    socklen_t length = sizeof value;
    bufferSize = (getsockopt(socket, SOL_SOCKET, SO_RCVBUF, &value, &length) == 0 && value > 0)
                     ? value : 4096;
    value = 0;
    length = sizeof value;
    if (getsockopt(socket, SOL_SOCKET, SO_SNDBUF, &value, &length) != 0)
        value = bufferSize;
    sendChunk = (value > 0 && value <= bufferSize) ? value : bufferSize;
    buffer.resize(bufferSize);
    transport = std::make_unique<PlainTransport>(socket, item.host, item.port);
}

bool CTransaction::setDestination(const QHostAddress &address, quint16 port)
{
    if (port == 0)
        port = item.port;
    m_destination = {};
    int family = AF_INET;
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        family = AF_INET6;
        auto *a = reinterpret_cast<sockaddr_in6 *>(&m_destination);
        a->sin6_family = AF_INET6;
        a->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&a->sin6_addr, bytes.c, sizeof a->sin6_addr);
        // A link-local address names its interface by number or by name.
        const QString scope = address.scopeId();
        bool numeric = false;
        a->sin6_scope_id = scope.toUInt(&numeric);
        if (!numeric && !scope.isEmpty())
            a->sin6_scope_id = if_nametoindex(scope.toLocal8Bit().constData());
        m_destinationLength = sizeof(sockaddr_in6);
    } else {
        auto *a = reinterpret_cast<sockaddr_in *>(&m_destination);
        a->sin_family = AF_INET;
        a->sin_port = htons(port);
        a->sin_addr.s_addr = htonl(address.toIPv4Address());
        m_destinationLength = sizeof(sockaddr_in);
    }
    if (family == m_family || closed)
        return true;

    const int replacement = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (replacement < 0) {
        lastError = winSockErrorFromErrno(errno);
        return false;
    }
    // dup3 closes the old socket and puts the new one under its number at once.
    const bool moved = ::dup3(replacement, socket, O_CLOEXEC) >= 0;
    const int dupErrno = errno;
    ::close(replacement);
    if (!moved) {
        lastError = winSockErrorFromErrno(dupErrno);
        return false;
    }
    m_family = family;
    return true;
}

CTransaction::~CTransaction()
{
    Close();
}

void CTransaction::setNotifiers(QSocketNotifier *read, QSocketNotifier *write)
{
    m_readNotifier = read;
    m_writeNotifier = write;
    applyEvents();
}

void CTransaction::setEvents(int mask)
{
    m_events = mask;
    applyEvents();
}

void CTransaction::suspendEvents()
{
    if (m_suspended)
        return;
    m_suspended = true;
    applyEvents();
}

void CTransaction::resumeEvents()
{
    if (!m_suspended)
        return;
    m_suspended = false;
    applyEvents();
}

void CTransaction::applyEvents()
{
    const bool live = !closed && !m_suspended;
    if (m_readNotifier)
        m_readNotifier->setEnabled(live && (m_events & ReadEvents));
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(live && (m_events & (WriteEvents | ConnectEvents)));
}

void CTransaction::Close()
{
    if (closed)
        return;
    m_events = NoEvents;
    closed = true;
    applyEvents();
    // The notifiers must not outlive the descriptor they watch: the number
    // may be handed to the next socket at once.
    for (QSocketNotifier *n : {m_readNotifier, m_writeNotifier}) {
        if (n) {
            n->setEnabled(false);
            n->deleteLater();
        }
    }
    m_readNotifier = m_writeNotifier = nullptr;
    if (socket >= 0)
        ::close(socket);
    if (uploadFile >= 0) {
        ::close(uploadFile);
        uploadFile = -1;
    }
    buffer = QByteArray();
    state = Closed;
}

qint64 CTransaction::sendBytes(const char *data, qint64 length, qint64 &counter)
{
    int error = 0;
    const qint64 n = transport->send(data, length, &error);
    if (n > 0) {
        counter += n;
        bytesSent += quint32(n);
        m_lastByteSent = data[n - 1];
        return n;
    }
    if (error == WinSock::WouldBlock) {
        state = SendBlocked;
    } else {
        lastError = error;
        state = Failed;
    }
    return -1;
}

qint64 CTransaction::SendPending()
{
    if (state == Sent || state == Closed || state == Failed || state == Cancelled || closed)
        return 0;

    qint64 result = 0;
    const qint64 requestLength = item.selector.size();
    state = Sending;
    while (state == Sending) {
        if (requestBytesSent < requestLength) {
            result = sendBytes(item.selector.constData() + requestBytesSent,
                               requestLength - requestBytesSent, requestBytesSent);
            if (state == Sending && requestBytesSent == requestLength && uploadLength == 0)
                state = Sent;
        } else if (uploadLength > 0 && uploadBytesSent < uploadLength) {
            if (m_pieceSent == m_piece.size()) {
                const qint64 want = qMin<qint64>(uploadLength - uploadBytesRead, sendChunk);
                const ssize_t got = ::read(uploadFile, buffer.data(), size_t(want));
                if (got <= 0) {
                    // A file that ends before its announced length would
                    // otherwise leave the loop sending nothing forever. The
                    // send is ended by us, never with code 0, which the
                    // document would take for a normal end.
                    const int readErrno = errno;
                    const QByteArray reason = got < 0
                        ? QByteArray(std::strerror(readErrno))
                        : QByteArray("The file ended after ") + QByteArray::number(uploadBytesRead)
                              + " of " + QByteArray::number(uploadLength) + " bytes.";
                    lastError = got < 0 ? winSockErrorFromErrno(readErrno)
                                        : int(WinSock::ConnectionAborted);
                    uploadFailure = QByteArray("Error reading file for upload:\n") + reason;
                    state = Failed;
                    break;
                }
                uploadBytesRead += got;
                const QByteArrayView read(buffer.constData(), got);
                // A text goes out as lines ended by a "." line: a line of
                // its own beginning with "." is sent with the dot doubled, or
                // the server would take a "." line inside it for the end.
                m_piece = appendTerminator ? dotStuffed(read, &m_atLineStart) : read.toByteArray();
                m_pieceSent = 0;
                bytesToSend += m_piece.size() - got;
            }
            result = sendBytes(m_piece.constData() + m_pieceSent, m_piece.size() - m_pieceSent,
                               m_pieceSent);
            if (state == Sending && m_pieceSent == m_piece.size()) {
                uploadBytesSent = uploadBytesRead;
                if (uploadBytesSent == uploadLength) {
                    if (appendTerminator) {
                        // The end-of-data line follows at once.
                        m_terminator = (m_lastByteSent == '\r' || m_lastByteSent == '\n')
                                           ? QByteArray(".\r\n") : QByteArray("\r\n.\r\n");
                    } else {
                        state = Sent;
                    }
                }
            }
        } else if (m_terminatorSent < m_terminator.size()) {
            result = sendBytes(m_terminator.constData() + m_terminatorSent,
                               m_terminator.size() - m_terminatorSent, m_terminatorSent);
            if (state == Sending && m_terminatorSent == m_terminator.size())
                state = Sent;
        } else {
            state = Sent;
        }
    }

    if (uploadLength > 0 && (state == Sent || state == Failed) && uploadFile >= 0) {
        ::close(uploadFile);
        uploadFile = -1;
    }

    return result;
}

QByteArray CTransaction::dotStuffed(QByteArrayView text, bool *atLineStart)
{
    QByteArray out;
    out.reserve(text.size() + 16);
    bool lineStart = *atLineStart;
    for (const char c : text) {
        if (lineStart && c == '.')
            out += '.';
        out += c;
        lineStart = c == '\n';
    }
    *atLineStart = lineStart;
    return out;
}

QByteArray CTransaction::ReceiveChunk()
{
    lastData.clear();
    if (state == Cancelled || closed)
        return lastData;
    state = Receiving;
    int error = 0;
    const qint64 n = transport->receive(buffer.data(), buffer.size(), &error);
    if (n > 0) {
        lastData = QByteArray(buffer.constData(), n);
    } else if (n == 0) {
        state = Closed;
    } else {
        lastError = error;
        // A reset cuts the reply short: it fails, so that what arrived is
        // never taken for the whole item. Only a shut-down is an end.
        if (error == WinSock::Shutdown)
            state = Closed;
        else if (error != WinSock::WouldBlock && error != WinSock::Interrupted)
            state = Failed;
    }
    return lastData;
}
