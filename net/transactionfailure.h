#pragma once

#include "items/helpcontext.h"
#include "net/connectioninfo.h"

#include <QByteArray>

// How a transaction failed, as a value: the engine builds it where the failure
// is seen and hands it to the document once its own handler has returned, so
// the document shows it (and may start a retry) outside any socket handler.
// The texts are the socket layer's own; the document shows the status line
// first, then the notice, then the box, and then decides what follows.
struct TransactionFailure
{
    enum class Stage {
        Socket,  // no socket could be made; nothing was started
        Lookup,  // the host name could not be turned into an address
        Connect, // the connection was refused or could not be started
        Send,    // the request (or its upload) could not be sent
        Receive, // the reply could not be read to its end
        Tls,     // no TLS connection could be made, or TLS where none was asked for
        Certificate, // the server's certificate differs from the one remembered
        Proxy,   // the SOCKS5 proxy could not be reached or did not do its part
    };

    Stage stage = Stage::Receive;
    int code = 0;          // the socket error code, never 0 (0 reads as a normal end)
    QByteArray host;
    QByteArray status;     // for the document's status line; empty: none
    QByteArray notice;     // a plain box before the main one; empty: none
    QByteArray text;       // the exclamation box
    Help help = Help::None;
    // Stage Certificate: the port, what was remembered and what was shown.
    quint16 port = 0;
    KnownCertificate remembered;
    PeerCertificate offered;

    static TransactionFailure socketCreation(int code);
    static TransactionFailure lookup(const QByteArray &host, int code);
    static TransactionFailure lookupWithoutAddress(const QByteArray &host, int code);
    // connect() itself refused to start.
    static TransactionFailure connectRefused(const QByteArray &host, int code);
    // The connection attempt ended with an error.
    static TransactionFailure connectError(const QByteArray &host, int code);
    static TransactionFailure sendError(const QByteArray &host, int code,
                                        const QByteArray &notice = QByteArray());
    static TransactionFailure readError(const QByteArray &host, int code);

    // TLS. reason is OpenSSL's text for why the handshake failed.
    static TransactionFailure tlsHandshake(const QByteArray &host, quint16 port,
                                           const QByteArray &reason);
    // A gophers:// address whose server does not answer in TLS.
    static TransactionFailure notTls(const QByteArray &host, quint16 port);
    // A gopher:// address whose server answers in TLS only.
    static TransactionFailure tlsOnPlain(const QByteArray &host, quint16 port);
    // A plain request reset before a byte of reply came: what a TLS front
    // end (socat, stunnel) does with it, among other causes.
    static TransactionFailure resetBeforeReply(const QByteArray &host, int code);
    static TransactionFailure certificateChanged(const QByteArray &host, quint16 port,
                                                 const KnownCertificate &remembered,
                                                 const PeerCertificate &offered);

    // SOCKS5. proxy is "HOST:PORT" of the proxy.
    static TransactionFailure onionWithoutProxy(const QByteArray &host);
    static TransactionFailure proxyUnreachable(const QByteArray &host, const QByteArray &proxy,
                                               int code);
    // The proxy's reply code (RFC 1928) for the connection it was asked for.
    static TransactionFailure proxyReply(const QByteArray &host, quint16 port,
                                         const QByteArray &proxy, int reply);
    // Anything else the proxy did wrong, in words.
    static TransactionFailure proxyProtocol(const QByteArray &host, const QByteArray &proxy,
                                            const QByteArray &what);
    // The text of a proxy reply code: "Connection refused", ...
    static QByteArray proxyReplyText(int reply);
};
