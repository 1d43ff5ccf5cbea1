#pragma once

#include "net/connectioninfo.h"
#include "net/transactionfailure.h"

#include <QByteArray>

#include <optional>

// What carries a transaction's bytes once its TCP connection is up: plain
// TCP, TLS over it, a SOCKS5 proxy in front of either. The engine picks one
// per request and never asks which it has; each works on the transaction's
// non-blocking socket and never waits.
class Transport
{
public:
    enum class Step {
        Done,       // open: bytes may flow
        WantRead,   // call again when the socket is readable
        WantWrite,  // call again when the socket is writable
        Failed,     // failure() says why
    };

    virtual ~Transport();

    // The transport's own opening after the TCP connection is made (a proxy's
    // negotiation, a TLS handshake). Called again at each event it asked for.
    virtual Step open() { return Step::Done; }
    // As send(2) and recv(2): the bytes moved; receive() gives 0 at the
    // orderly end of the stream. -1 with *error set to a socket error code,
    // WinSock::WouldBlock when the socket would block (wantsRead() then says
    // whether a read event must come first).
    virtual qint64 send(const char *data, qint64 length, int *error) = 0;
    virtual qint64 receive(char *data, qint64 length, int *error) = 0;
    // The last call that would block waits for the socket to become readable.
    virtual bool wantsRead() const { return false; }
    // A receive() that would block waits for the socket to become writable.
    virtual bool wantsWrite() const { return false; }
    // Bytes already taken from the socket and not handed on yet: they are
    // read without waiting for another event.
    virtual bool hasPendingData() const { return false; }
    // Why open(), send() or receive() failed in the transport's own terms
    // (a handshake, a proxy's answer); none for a plain socket error.
    virtual std::optional<TransactionFailure> failure() const { return std::nullopt; }
    virtual ConnectionInfo info() const { return {}; }
    // Status text while open() runs; empty when it has none.
    virtual QByteArray openingStatus() const { return {}; }
};

// Plain TCP: the socket calls themselves. A reply that is a TLS alert and
// nothing else comes from a TLS server on a gopher:// address: it fails as
// such instead of showing as a garbled item.
class PlainTransport : public Transport
{
public:
    PlainTransport(int socket, const QByteArray &host, quint16 port)
        : m_socket(socket), m_host(host), m_port(port) {}
    qint64 send(const char *data, qint64 length, int *error) override;
    qint64 receive(char *data, qint64 length, int *error) override;
    std::optional<TransactionFailure> failure() const override { return m_failure; }

    // Whether bytes are exactly one TLS alert record (RFC 8446, 5.1 and 6).
    static bool isTlsAlert(QByteArrayView bytes);

private:
    int m_socket;
    QByteArray m_host;
    quint16 m_port;
    bool m_firstChunk = true;
    std::optional<TransactionFailure> m_failure;
};
