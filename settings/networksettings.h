#pragma once

#include "net/connectionpolicy.h"

#include <QByteArray>
#include <QList>
#include <QProcessEnvironment>

#include <optional>

class ProfileFile;

// The network settings of the settings file and of the run: the SOCKS5
// proxy ("Network"), the hosts known to speak TLS ("TLS Hosts") and the
// certificate each TLS server showed first ("Certificates"). Read from the
// file at each question, so the engine follows a change at once; what this
// run was started with (--proxy, ALL_PROXY, --trust-new-certificate) comes
// on top.
class NetworkSettings : public ConnectionPolicy
{
public:
    struct RememberedCertificate
    {
        QByteArray host;
        quint16 port = 0;
        KnownCertificate certificate;
    };

    explicit NetworkSettings(ProfileFile &file);

    // The proxy as the file has it; none without a host.
    std::optional<ProxySetting> storedProxy() const;
    // The five "Network" proxy keys (an empty host: no proxy); within a
    // group, so the page writes them with its other keys.
    [[nodiscard]] bool setStoredProxy(const ProxySetting &proxy);
    // For this run: --proxy replaces the file's; the environment's
    // (ALL_PROXY, then all_proxy) serves when neither names one.
    void setProxyOverride(std::optional<ProxySetting> proxy) { m_override = std::move(proxy); }
    void setProxyFromEnvironment(const QProcessEnvironment &env);
    // --trust-new-certificate.
    void setAcceptChangedCertificates(bool on) { m_acceptChanged = on; }

    QList<QByteArray> tlsHosts() const;
    [[nodiscard]] bool setTlsHosts(const QList<QByteArray> &hosts);
    bool rememberTlsHosts() const;
    [[nodiscard]] bool setRememberTlsHosts(bool on);
    // Whether a list entry ("host" or "host:port", an IPv6 host in brackets
    // with a port) names the host and port.
    static bool entryMatches(QByteArrayView entry, const QByteArray &host, quint16 port);

    QList<RememberedCertificate> certificates() const;
    [[nodiscard]] bool forgetCertificate(const QByteArray &host, quint16 port);

    std::optional<ProxySetting> proxy() const override;
    bool knownTlsHost(const QByteArray &host, quint16 port) const override;
    void answeredOverTls(const QByteArray &host, quint16 port) override;
    std::optional<KnownCertificate> knownCertificate(const QByteArray &host,
                                                     quint16 port) const override;
    [[nodiscard]] bool rememberCertificate(const QByteArray &host, quint16 port,
                                           const KnownCertificate &certificate) override;
    bool acceptsChangedCertificates() const override { return m_acceptChanged; }

private:
    ProfileFile &m_file;
    std::optional<ProxySetting> m_override;
    std::optional<ProxySetting> m_environment;
    bool m_acceptChanged = false;
};
