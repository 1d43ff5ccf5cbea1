#include "net/socks5transport.h"

#include "items/bookmark.h"
#include "net/winsockerrors.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>

namespace {

constexpr char Version = 5;
constexpr char NoLogin = 0;
constexpr char UserPassword = 2;
constexpr uchar NoAcceptableMethod = 0xFF;
constexpr char Connect = 1;
constexpr char IPv4 = 1;
constexpr char DomainName = 3;
constexpr char IPv6 = 4;

} // namespace

Socks5Transport::Reply Socks5Transport::parseReply(QByteArrayView bytes)
{
    Reply reply;
    // VER REP RSV ATYP, then the bound address and port.
    if (bytes.size() < 5) {
        reply.length = 5;
        if (!bytes.isEmpty() && bytes[0] != Version)
            reply.status = Reply::Status::Malformed;
        return reply;
    }
    if (bytes[0] != Version || bytes[2] != 0) {
        reply.status = Reply::Status::Malformed;
        return reply;
    }
    switch (bytes[3]) {
    case IPv4: reply.length = 4 + 4 + 2; break;
    case IPv6: reply.length = 4 + 16 + 2; break;
    case DomainName: reply.length = 4 + 1 + uchar(bytes[4]) + 2; break;
    default:
        // A refusal may come with no usable address; its code still counts.
        if (bytes[1] != 0) {
            reply.status = Reply::Status::Refused;
            reply.code = uchar(bytes[1]);
            reply.length = 5;
        } else {
            reply.status = Reply::Status::Malformed;
        }
        return reply;
    }
    if (bytes[1] != 0) {
        reply.status = Reply::Status::Refused;
        reply.code = uchar(bytes[1]);
        reply.length = qMin(reply.length, bytes.size());
        return reply;
    }
    if (bytes.size() >= reply.length)
        reply.status = Reply::Status::Succeeded;
    return reply;
}

Socks5Transport::Socks5Transport(int socket, const ProxySetting &proxy, Target target,
                                 std::unique_ptr<Transport> inner)
    : m_socket(socket), m_proxy(proxy), m_target(std::move(target)), m_inner(std::move(inner))
{
    if (!m_inner)
        m_inner = std::make_unique<PlainTransport>(socket, m_target.host, m_target.port);
}

Socks5Transport::~Socks5Transport() = default;

QByteArray Socks5Transport::openingStatus() const
{
    return "Asking the proxy " + m_proxy.hostPort() + " to connect to "
           + CBookmark::hostForUrl(m_target.host) + ':' + QByteArray::number(m_target.port);
}

std::optional<TransactionFailure> Socks5Transport::failure() const
{
    return m_failure ? m_failure : m_inner->failure();
}

Transport::Step Socks5Transport::failWith(const QByteArray &what)
{
    m_failure = TransactionFailure::proxyProtocol(m_target.host, m_proxy.hostPort(), what);
    return Step::Failed;
}

Transport::Step Socks5Transport::flush()
{
    while (m_outSent < m_out.size()) {
        const ssize_t n = ::send(m_socket, m_out.constData() + m_outSent,
                                 size_t(m_out.size() - m_outSent), MSG_NOSIGNAL);
        if (n > 0) {
            m_outSent += n;
            continue;
        }
        const int error = winSockErrorFromErrno(n == 0 ? EWOULDBLOCK : errno);
        if (error == WinSock::WouldBlock || error == WinSock::Interrupted)
            return Step::WantWrite;
        return failWith("The connection to the proxy broke: " + GetWinSockErrorText(error));
    }
    m_out.clear();
    m_outSent = 0;
    return Step::Done;
}

Transport::Step Socks5Transport::fill(qsizetype want)
{
    // Exactly what the step needs: what follows belongs to the server.
    while (m_in.size() < want) {
        char chunk[512];
        const size_t room = size_t(qMin<qsizetype>(want - m_in.size(), qsizetype(sizeof chunk)));
        const ssize_t n = ::recv(m_socket, chunk, room, 0);
        if (n > 0) {
            m_in.append(chunk, n);
            continue;
        }
        if (n == 0)
            return failWith("The proxy closed the connection.");
        const int error = winSockErrorFromErrno(errno);
        if (error == WinSock::WouldBlock || error == WinSock::Interrupted)
            return Step::WantRead;
        return failWith("The connection to the proxy broke: " + GetWinSockErrorText(error));
    }
    return Step::Done;
}

QByteArray Socks5Transport::connectRequest() const
{
    QByteArray request;
    request += Version;
    request += Connect;
    request += '\0';
    if (m_target.address && m_target.address->protocol() == QAbstractSocket::IPv6Protocol) {
        request += IPv6;
        const Q_IPV6ADDR bytes = m_target.address->toIPv6Address();
        request.append(reinterpret_cast<const char *>(bytes.c), 16);
    } else if (m_target.address) {
        request += IPv4;
        const quint32 v4 = m_target.address->toIPv4Address();
        for (const int shift : {24, 16, 8, 0})
            request += char((v4 >> shift) & 0xFF);
    } else {
        request += DomainName;
        request += char(m_target.host.size());
        request += m_target.host;
    }
    request += char(m_target.port >> 8);
    request += char(m_target.port & 0xFF);
    return request;
}

Transport::Step Socks5Transport::open()
{
    const bool login = !m_proxy.user.isEmpty();
    for (;;) {
        Step step = Step::Done;
        switch (m_phase) {
        case Phase::Greeting:
            if (!m_target.address && (m_target.host.isEmpty() || m_target.host.size() > 255))
                return failWith("The host name is too long for a SOCKS5 proxy.");
            if (m_out.isEmpty()) {
                m_out = login ? QByteArray("\x05\x02\x00\x02", 4) : QByteArray("\x05\x01\x00", 3);
            }
            if ((step = flush()) != Step::Done)
                return step;
            m_phase = Phase::Method;
            break;
        case Phase::Method:
            if ((step = fill(2)) != Step::Done)
                return step;
            if (m_in[0] != Version)
                return failWith("The proxy does not answer as a SOCKS5 proxy.");
            if (uchar(m_in[1]) == NoAcceptableMethod)
                return failWith(login ? "The proxy accepts neither a user name and password nor "
                                        "no login at all."
                                      : "The proxy wants a user name and password.");
            if (m_in[1] == UserPassword && login) {
                m_phase = Phase::Login;
            } else if (m_in[1] == NoLogin) {
                m_phase = Phase::Request;
            } else {
                return failWith("The proxy chose a way to log in that was not offered.");
            }
            m_in.clear();
            break;
        case Phase::Login:
            if (m_out.isEmpty()) {
                m_out = QByteArray("\x01", 1) + char(m_proxy.user.size()) + m_proxy.user
                        + char(m_proxy.password.size()) + m_proxy.password;
            }
            if ((step = flush()) != Step::Done)
                return step;
            m_phase = Phase::LoginReply;
            break;
        case Phase::LoginReply:
            if ((step = fill(2)) != Step::Done)
                return step;
            if (m_in[1] != 0)
                return failWith("The proxy refused the user name and password.");
            m_in.clear();
            m_phase = Phase::Request;
            break;
        case Phase::Request:
            if (m_out.isEmpty())
                m_out = connectRequest();
            if ((step = flush()) != Step::Done)
                return step;
            m_phase = Phase::Reply;
            break;
        case Phase::Reply: {
            Reply reply = parseReply(m_in);
            while (reply.status == Reply::Status::Incomplete) {
                if ((step = fill(reply.length)) != Step::Done)
                    return step;
                reply = parseReply(m_in);
            }
            if (reply.status == Reply::Status::Malformed)
                return failWith("The proxy does not answer as a SOCKS5 proxy.");
            if (reply.status == Reply::Status::Refused) {
                m_failure = TransactionFailure::proxyReply(m_target.host, m_target.port,
                                                           m_proxy.hostPort(), reply.code);
                return Step::Failed;
            }
            m_in.clear();
            m_phase = Phase::Inner;
            break;
        }
        case Phase::Inner:
            return m_inner->open();
        }
    }
}

qint64 Socks5Transport::send(const char *data, qint64 length, int *error)
{
    return m_inner->send(data, length, error);
}

qint64 Socks5Transport::receive(char *data, qint64 length, int *error)
{
    return m_inner->receive(data, length, error);
}
