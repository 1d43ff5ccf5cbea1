#pragma once

#include "net/connectioninfo.h"
#include "net/proxysetting.h"

#include <QByteArray>

#include <optional>

// What the engine asks about a request before and after it connects: which
// proxy carries it, whether its host is known to speak TLS, and which
// certificate the host showed before. Declared here, kept in the settings
// file by the layer that owns it.
class ConnectionPolicy
{
public:
    virtual ~ConnectionPolicy();

    virtual std::optional<ProxySetting> proxy() const = 0;
    // The host (and port) is on the list of hosts that speak TLS.
    virtual bool knownTlsHost(const QByteArray &host, quint16 port) const = 0;
    // The host answered over TLS; it may go on the list.
    virtual void answeredOverTls(const QByteArray &host, quint16 port) = 0;

    virtual std::optional<KnownCertificate> knownCertificate(const QByteArray &host,
                                                             quint16 port) const = 0;
    // Remembers the certificate; the host has answered over TLS as well.
    [[nodiscard]] virtual bool rememberCertificate(const QByteArray &host, quint16 port,
                                                   const KnownCertificate &certificate) = 0;
    // A changed certificate is taken without asking (--trust-new-certificate).
    virtual bool acceptsChangedCertificates() const = 0;
};
