#include "net/transport.h"

#include "net/connectionpolicy.h"
#include "net/winsockerrors.h"

#include <cerrno>
#include <sys/socket.h>

Transport::~Transport() = default;

qint64 PlainTransport::send(const char *data, qint64 length, int *error)
{
    const ssize_t n = ::send(m_socket, data, size_t(length), MSG_NOSIGNAL);
    if (n > 0)
        return n;
    *error = winSockErrorFromErrno(n == 0 ? EWOULDBLOCK : errno);
    return -1;
}

bool PlainTransport::isTlsAlert(QByteArrayView bytes)
{
    // Content type 21 (alert), a TLS record version 3.x, a length of 2, a
    // level of warning or fatal.
    return bytes.size() == 7 && bytes[0] == 0x15 && bytes[1] == 0x03 && uchar(bytes[2]) <= 0x04
        && bytes[3] == 0x00 && bytes[4] == 0x02 && (bytes[5] == 0x01 || bytes[5] == 0x02);
}

qint64 PlainTransport::receive(char *data, qint64 length, int *error)
{
    const ssize_t n = ::recv(m_socket, data, size_t(length), 0);
    if (n < 0) {
        *error = winSockErrorFromErrno(errno);
        if (*error == WinSock::ConnectionReset && m_firstChunk)
            m_failure = TransactionFailure::resetBeforeReply(m_host, *error);
        return -1;
    }
    if (n > 0 && m_firstChunk) {
        m_firstChunk = false;
        if (isTlsAlert(QByteArrayView(data, n))) {
            m_failure = TransactionFailure::tlsOnPlain(m_host, m_port);
            *error = WinSock::ConnectionAborted;
            return -1;
        }
    }
    return n;
}

QByteArray ConnectionInfo::infoText() const
{
    QByteArray text;
    const auto day = [](const QDateTime &when) {
        return when.toUTC().toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
    };
    if (tls) {
        text += "Connection=" + protocol + ", " + cipher + "\r\n";
        if (!certificate.fingerprint.isEmpty()) {
            text += "Certificate SHA-256=" + certificate.fingerprint + "\r\n";
            if (!certificate.subject.isEmpty())
                text += "Certificate subject=" + certificate.subject + "\r\n";
            text += "Certificate valid=" + day(certificate.notBefore) + " to "
                    + day(certificate.notAfter) + "\r\n";
        }
        if (trustedSince.isValid())
            text += "Trusted since=" + day(trustedSince) + "\r\n";
        if (certificate.verifiedForHost)
            text += "Certificate authority=verified for the host\r\n";
    }
    if (!proxy.isEmpty())
        text += "SOCKS5 proxy=" + proxy + "\r\n";
    return text;
}

ConnectionPolicy::~ConnectionPolicy() = default;
