#pragma once

#include "net/transport.h"

#include <QByteArray>

#include <memory>

struct ssl_ctx_st;
struct ssl_st;

// The TLS settings every connection of an engine shares: TLS 1.2 or later,
// the system's certificate authorities for checking host names. Made when
// the first TLS connection is opened (OpenSSL reads SSL_CERT_FILE and
// SSL_CERT_DIR then).
class TlsContext
{
public:
    TlsContext();
    ~TlsContext();
    TlsContext(const TlsContext &) = delete;
    TlsContext &operator=(const TlsContext &) = delete;

    // Null when OpenSSL could not make one; error() says why.
    ssl_ctx_st *get() const { return m_context; }
    QByteArray error() const { return m_error; }

private:
    ssl_ctx_st *m_context = nullptr;
    QByteArray m_error;
};

// TLS on the transaction's non-blocking socket, through OpenSSL: the
// handshake runs step by step on socket events, never waiting.
class TlsTransport : public Transport
{
public:
    // host is the name the item gives: sent as the server name (unless it is
    // an address) and checked against the certificate.
    TlsTransport(int socket, const TlsContext &context, const QByteArray &host, quint16 port);
    ~TlsTransport() override;

    Step open() override;
    qint64 send(const char *data, qint64 length, int *error) override;
    qint64 receive(char *data, qint64 length, int *error) override;
    bool wantsRead() const override { return m_wantsRead; }
    bool wantsWrite() const override { return m_wantsWrite; }
    bool hasPendingData() const override;
    std::optional<TransactionFailure> failure() const override { return m_failure; }
    ConnectionInfo info() const override { return m_info; }

private:
    // Turns an OpenSSL result into a would-block, an end or a failure.
    // Returns the socket error code, 0 for the orderly end of the stream.
    int classify(int result, bool handshake);
    void takeCertificate();

    ssl_st *m_ssl = nullptr;
    int m_socket;
    QByteArray m_host;
    quint16 m_port;
    bool m_wantsRead = false;
    bool m_wantsWrite = false;
    bool m_handshakeDone = false;
    // An end or error met after some bytes were read: handed on with the
    // next receive().
    std::optional<int> m_deferred;
    std::optional<TransactionFailure> m_failure;
    ConnectionInfo m_info;
};
