#include "net/transactionfailure.h"

#include "items/bookmark.h"
#include "net/winsockerrors.h"

#include <QStringBuilder>

namespace {

// The boxes show the status text broken into lines at its first ':' after
// the host (at the colon itself, or at the blank after it): an IPv6 literal
// holds colons of its own.
QByteArray breakAtColon(QByteArray text, qsizetype hostEnd, int offset)
{
    const qsizetype colon = text.indexOf(':', hostEnd);
    if (colon >= 0 && colon + offset < text.size())
        text[colon + offset] = '\n';
    return text;
}

TransactionFailure make(TransactionFailure::Stage stage, const QByteArray &host, int code,
                        Help help)
{
    TransactionFailure f;
    f.stage = stage;
    f.host = host;
    f.code = code;
    f.help = help;
    return f;
}

} // namespace

TransactionFailure TransactionFailure::socketCreation(int code)
{
    TransactionFailure f = make(Stage::Socket, QByteArray(), code, Help::CreateSocket);
    f.text = (code == WinSock::NoBuffers || code == WinSock::TooManyFiles)
                 ? QByteArray("You are temporarily out of network resources\nTry again later!")
                 : QByteArray("Failed to create a socket:\n");
    f.text += GetWinSockErrorText(code);
    return f;
}

TransactionFailure TransactionFailure::lookup(const QByteArray &host, int code)
{
    TransactionFailure f = make(Stage::Lookup, host, code, Help::HostLookup);
    const QByteArray head = QByteArray("Hostname lookup failure for ") + host;
    f.status = head + " : " + GetWinSockErrorText(code);
    f.text = breakAtColon(f.status, head.size(), 1);
    return f;
}

TransactionFailure TransactionFailure::lookupWithoutAddress(const QByteArray &host, int code)
{
    TransactionFailure f = make(Stage::Lookup, host, code, Help::LookupProblem);
    f.status = QByteArray("Possible WinSock failure resolving ") + host;
    f.text = QByteArray("Problem looking up\n") + host + "\nPossible WinSock failure!";
    return f;
}

TransactionFailure TransactionFailure::connectRefused(const QByteArray &host, int code)
{
    TransactionFailure f = make(Stage::Connect, host, code, Help::Connect);
    const QByteArray head = QByteArray("Can't connect to ") + host;
    f.status = head + " : " + GetWinSockErrorText(code);
    f.text = breakAtColon(f.status, head.size(), 0);
    return f;
}

TransactionFailure TransactionFailure::connectError(const QByteArray &host, int code)
{
    TransactionFailure f = make(Stage::Connect, host, code, Help::ConnectError);
    // The status line says what happened instead of going on saying
    // "Connecting to ...".
    f.status = QByteArray("Can't connect to ") + host + " : " + GetWinSockErrorText(code);
    f.text = QByteArray("Connect error to host\n") + host + "\n" + GetWinSockErrorText(code);
    return f;
}

TransactionFailure TransactionFailure::sendError(const QByteArray &host, int code,
                                                 const QByteArray &notice)
{
    TransactionFailure f = make(Stage::Send, host, code, Help::Send);
    f.status = QByteArray("Couldn't send request to ") + host;
    f.notice = notice;
    f.text = QByteArray("Error sending request to host\n") + host + "\n" + GetWinSockErrorText(code);
    return f;
}

TransactionFailure TransactionFailure::readError(const QByteArray &host, int code)
{
    TransactionFailure f = make(Stage::Receive, host, code, Help::None);
    f.status = QByteArray("Read error from host ") + host + " : " + GetWinSockErrorText(code);
    // The box runs host and error text together, as it always has.
    f.text = QByteArray("Read error from host ") + host + GetWinSockErrorText(code);
    return f;
}

namespace {

QByteArray hostPort(const QByteArray &host, quint16 port)
{
    return CBookmark::hostForUrl(host) + ':' + QByteArray::number(port);
}

QByteArray day(const QDateTime &when)
{
    return when.isValid() ? when.toUTC().toString(QStringLiteral("yyyy-MM-dd")).toLatin1()
                          : QByteArray("unknown");
}

} // namespace

TransactionFailure TransactionFailure::tlsHandshake(const QByteArray &host, quint16 port,
                                                    const QByteArray &reason)
{
    TransactionFailure f = make(Stage::Tls, host, WinSock::ConnectionAborted, Help::Tls);
    f.status = "TLS handshake with " + hostPort(host, port) + " failed : " + reason;
    f.text = "Could not make a TLS connection to\n" + hostPort(host, port) + '\n' + reason;
    return f;
}

TransactionFailure TransactionFailure::notTls(const QByteArray &host, quint16 port)
{
    TransactionFailure f = make(Stage::Tls, host, WinSock::ConnectionAborted, Help::Tls);
    f.status = hostPort(host, port) + " did not answer over TLS";
    f.text = f.status + ".\nIt may be a plain Gopher server: try gopher:// instead of gophers://.";
    return f;
}

TransactionFailure TransactionFailure::tlsOnPlain(const QByteArray &host, quint16 port)
{
    TransactionFailure f = make(Stage::Tls, host, WinSock::ConnectionAborted, Help::Tls);
    f.status = hostPort(host, port) + " answered over TLS";
    f.text = f.status + ", not plain Gopher.\nTry gophers:// instead of gopher://.";
    return f;
}

TransactionFailure TransactionFailure::resetBeforeReply(const QByteArray &host, int code)
{
    TransactionFailure f = readError(host, code);
    f.help = Help::Tls;
    f.text += "\n\nThe server dropped the connection before answering. If it speaks only TLS, "
              "try gophers:// instead of gopher://.";
    return f;
}

TransactionFailure TransactionFailure::certificateChanged(const QByteArray &host, quint16 port,
                                                          const KnownCertificate &remembered,
                                                          const PeerCertificate &offered)
{
    TransactionFailure f = make(Stage::Certificate, host, WinSock::ConnectionAborted,
                                Help::CertificateChanged);
    f.port = port;
    f.remembered = remembered;
    f.offered = offered;
    f.status = "The certificate of " + hostPort(host, port) + " has changed";
    f.text = f.status + ".\n\nRemembered: " + remembered.fingerprint + "\n    trusted since "
             + day(remembered.since) + ", valid until " + day(remembered.notAfter)
             + "\nNow shown: " + offered.fingerprint + "\n    valid from " + day(offered.notBefore)
             + " until " + day(offered.notAfter)
             + "\n\nNo certificate authority of this system vouches for the new one.";
    return f;
}

TransactionFailure TransactionFailure::onionWithoutProxy(const QByteArray &host)
{
    TransactionFailure f = make(Stage::Lookup, host, WinSock::HostNotFound, Help::Proxy);
    f.status = host + " is a Tor onion service: it needs a Tor proxy";
    f.text = host + " is a Tor onion service, reached only through Tor.\n"
                    "Set a SOCKS5 proxy on the Network page of the preferences, or start with "
                    "--proxy socks5h://HOST:PORT.\nTor's SOCKS port is usually 127.0.0.1:9050.";
    return f;
}

TransactionFailure TransactionFailure::proxyUnreachable(const QByteArray &host,
                                                        const QByteArray &proxy, int code)
{
    TransactionFailure f = make(Stage::Proxy, host, code, Help::Proxy);
    f.status = "Can't connect to the proxy " + proxy + " : " + GetWinSockErrorText(code);
    f.text = "Connect error to the SOCKS5 proxy\n" + proxy + '\n' + GetWinSockErrorText(code);
    return f;
}

QByteArray TransactionFailure::proxyReplyText(int reply)
{
    switch (reply) {
    case 1: return "General SOCKS server failure";
    case 2: return "Connection not allowed by the proxy's rules";
    case 3: return "Network unreachable";
    case 4: return "Host unreachable";
    case 5: return "Connection refused";
    case 6: return "TTL expired";
    case 7: return "Command not supported by the proxy";
    case 8: return "Address type not supported by the proxy";
    default: return "Unknown SOCKS5 reply code " + QByteArray::number(reply);
    }
}

TransactionFailure TransactionFailure::proxyReply(const QByteArray &host, quint16 port,
                                                  const QByteArray &proxy, int reply)
{
    // The server's own failures count as a failed connect: the item's
    // redundant servers are tried through the proxy too.
    Stage stage = Stage::Connect;
    int code = WinSock::ConnectionAborted;
    switch (reply) {
    case 2: code = WinSock::Access; stage = Stage::Proxy; break;
    case 3: code = WinSock::NetworkUnreachable; break;
    case 4: code = WinSock::HostUnreachable; break;
    case 5: code = WinSock::ConnectionRefused; break;
    case 6: code = WinSock::TimedOut; break;
    default: stage = Stage::Proxy; break;
    }
    TransactionFailure f = make(stage, host, code, Help::Proxy);
    f.status = "The proxy " + proxy + " could not connect to " + hostPort(host, port) + " : "
               + proxyReplyText(reply);
    f.text = "The SOCKS5 proxy " + proxy + " could not connect to\n" + hostPort(host, port) + '\n'
             + proxyReplyText(reply);
    return f;
}

TransactionFailure TransactionFailure::proxyProtocol(const QByteArray &host, const QByteArray &proxy,
                                                     const QByteArray &what)
{
    TransactionFailure f = make(Stage::Proxy, host, WinSock::ConnectionAborted, Help::Proxy);
    f.status = "The proxy " + proxy + " failed : " + what;
    f.text = "The SOCKS5 proxy\n" + proxy + '\n' + what;
    return f;
}
