#pragma once

#include "net/proxysetting.h"
#include "net/transport.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>

#include <memory>
#include <optional>

// A SOCKS5 proxy in front of another transport (RFC 1928, with RFC 1929's
// user name and password): open() asks the proxy for the connection, on the
// non-blocking socket, then hands over to the transport behind it (plain or
// TLS), which talks to the server through the proxy.
class Socks5Transport : public Transport
{
public:
    struct Target
    {
        QByteArray host;
        quint16 port = 0;
        // Given to the proxy as an address; without one the name goes to the
        // proxy (address type 3) and is never looked up here.
        std::optional<QHostAddress> address;
    };

    // What a proxy's reply to the connect request says, read from its first
    // bytes.
    struct Reply
    {
        enum class Status { Incomplete, Succeeded, Refused, Malformed };
        Status status = Status::Incomplete;
        qsizetype length = 0;  // bytes of the whole reply once known, else what is needed next
        int code = 0;          // the reply code (Refused)
    };
    static Reply parseReply(QByteArrayView bytes);

    // inner null: plain TCP behind the proxy.
    Socks5Transport(int socket, const ProxySetting &proxy, Target target,
                    std::unique_ptr<Transport> inner);
    ~Socks5Transport() override;

    Step open() override;
    qint64 send(const char *data, qint64 length, int *error) override;
    qint64 receive(char *data, qint64 length, int *error) override;
    bool wantsRead() const override { return m_inner->wantsRead(); }
    bool wantsWrite() const override { return m_inner->wantsWrite(); }
    bool hasPendingData() const override { return m_inner->hasPendingData(); }
    std::optional<TransactionFailure> failure() const override;
    ConnectionInfo info() const override { return m_inner->info(); }
    QByteArray openingStatus() const override;

private:
    enum class Phase { Greeting, Method, Login, LoginReply, Request, Reply, Inner };

    // Sends what is left of m_out; Done when all of it went.
    Step flush();
    // Reads until m_in holds want bytes; Done when it does.
    Step fill(qsizetype want);
    Step failWith(const QByteArray &what);
    QByteArray connectRequest() const;

    int m_socket;
    ProxySetting m_proxy;
    Target m_target;
    std::unique_ptr<Transport> m_inner;
    Phase m_phase = Phase::Greeting;
    QByteArray m_out;
    qsizetype m_outSent = 0;
    QByteArray m_in;
    std::optional<TransactionFailure> m_failure;
};
