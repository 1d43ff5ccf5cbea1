#include "settings/networksettings.h"

#include "items/bookmark.h"
#include "settings/profilefile.h"
#include "settings/settingkeys.h"

namespace {

QByteArray bare(QByteArrayView host)
{
    if (host.size() > 2 && host.startsWith('[') && host.endsWith(']'))
        host = host.sliced(1, host.size() - 2);
    return host.toByteArray().toLower();
}

// The key of a host and port in "Certificates": a key name cannot begin
// with "[", so an IPv6 host goes without its brackets (the port is what
// follows the last colon).
QByteArray certificateKey(const QByteArray &host, quint16 port)
{
    return bare(host) + ':' + QByteArray::number(port);
}

QByteArray isoTime(const QDateTime &when)
{
    return when.isValid() ? when.toUTC().toString(Qt::ISODate).toLatin1() : QByteArray("-");
}

std::optional<KnownCertificate> parseCertificate(const QByteArray &value)
{
    const QList<QByteArray> fields = value.simplified().split(' ');
    if (fields.isEmpty() || fields.first().isEmpty())
        return std::nullopt;
    KnownCertificate certificate;
    certificate.fingerprint = fields.at(0).toUpper();
    if (fields.size() > 1)
        certificate.since = QDateTime::fromString(QString::fromLatin1(fields.at(1)), Qt::ISODate);
    if (fields.size() > 2)
        certificate.notAfter = QDateTime::fromString(QString::fromLatin1(fields.at(2)), Qt::ISODate);
    return certificate;
}

} // namespace

NetworkSettings::NetworkSettings(ProfileFile &file) : m_file(file)
{
}

std::optional<ProxySetting> NetworkSettings::storedProxy() const
{
    ProxySetting proxy;
    proxy.host = Setting(SettingKeys::ProxyHost).text(m_file).trimmed();
    if (proxy.host.isEmpty())
        return std::nullopt;
    proxy.host = bare(proxy.host);
    const int port = Setting(SettingKeys::ProxyPort).number(m_file);
    proxy.port = port > 0 && port <= 65535 ? quint16(port) : ProxySetting::DefaultPort;
    proxy.resolvesNames = Setting(SettingKeys::ProxyResolvesNames).flag(m_file);
    proxy.user = Setting(SettingKeys::ProxyUser).text(m_file);
    proxy.password = Setting(SettingKeys::ProxyPassword).text(m_file);
    return proxy;
}

bool NetworkSettings::setStoredProxy(const ProxySetting &proxy)
{
    ProfileFile::Edit edit(m_file);
    const bool queued = Setting(SettingKeys::ProxyHost).setText(m_file, proxy.host)
                        && Setting(SettingKeys::ProxyPort).setNumber(m_file, proxy.port)
                        && Setting(SettingKeys::ProxyResolvesNames).setFlag(m_file, proxy.resolvesNames)
                        && Setting(SettingKeys::ProxyUser).setText(m_file, proxy.user)
                        && Setting(SettingKeys::ProxyPassword).setText(m_file, proxy.password);
    return queued && edit.commit();
}

void NetworkSettings::setProxyFromEnvironment(const QProcessEnvironment &env)
{
    // As curl reads them; a proxy of another kind (http://) is not ours.
    m_environment.reset();
    for (const char *name : {"ALL_PROXY", "all_proxy"}) {
        const QString value = env.value(QLatin1String(name));
        if (!value.isEmpty()) {
            m_environment = ProxySetting::fromUrl(value.toUtf8());
            return;
        }
    }
}

std::optional<ProxySetting> NetworkSettings::proxy() const
{
    if (m_override)
        return m_override;
    if (std::optional<ProxySetting> stored = storedProxy())
        return stored;
    return m_environment;
}

QList<QByteArray> NetworkSettings::tlsHosts() const
{
    QList<QByteArray> hosts;
    for (int i = 0;; ++i) {
        const QByteArray entry = Setting(SettingKeys::TlsHost, i).text(m_file).trimmed();
        if (entry.isEmpty())
            return hosts;
        hosts.append(entry);
    }
}

bool NetworkSettings::setTlsHosts(const QList<QByteArray> &hosts)
{
    ProfileFile::Edit edit(m_file);
    bool queued = m_file.deleteSection(Setting(SettingKeys::TlsHost).section());
    int n = 0;
    for (const QByteArray &host : hosts) {
        const QByteArray entry = host.trimmed();
        if (queued && !entry.isEmpty())
            queued = Setting(SettingKeys::TlsHost, n++).setText(m_file, entry);
    }
    return queued && edit.commit();
}

bool NetworkSettings::rememberTlsHosts() const
{
    return Setting(SettingKeys::RememberTlsHosts).flag(m_file);
}

bool NetworkSettings::setRememberTlsHosts(bool on)
{
    return Setting(SettingKeys::RememberTlsHosts).setFlag(m_file, on);
}

bool NetworkSettings::entryMatches(QByteArrayView entry, const QByteArray &host, quint16 port)
{
    entry = entry.trimmed();
    QByteArrayView entryHost = entry;
    QByteArrayView entryPort;
    if (entry.startsWith('[')) {
        const qsizetype close = entry.indexOf(']');
        if (close < 0)
            return false;
        entryHost = entry.first(close + 1);
        if (entry.size() > close + 1) {
            if (entry[close + 1] != ':')
                return false;
            entryPort = entry.sliced(close + 2);
        }
    } else if (entry.count(':') == 1) {
        const qsizetype colon = entry.indexOf(':');
        entryHost = entry.first(colon);
        entryPort = entry.sliced(colon + 1);
    }
    if (bare(entryHost) != bare(host))
        return false;
    if (entryPort.isEmpty())
        return true;
    bool ok = false;
    return entryPort.toUInt(&ok) == port && ok;
}

bool NetworkSettings::knownTlsHost(const QByteArray &host, quint16 port) const
{
    for (int i = 0;; ++i) {
        const QByteArray entry = Setting(SettingKeys::TlsHost, i).text(m_file);
        if (entry.trimmed().isEmpty())
            return false;
        if (entryMatches(entry, host, port))
            return true;
    }
}

void NetworkSettings::answeredOverTls(const QByteArray &host, quint16 port)
{
    if (!rememberTlsHosts() || knownTlsHost(host, port))
        return;
    const int next = int(tlsHosts().size());
    const QByteArray entry = CBookmark::hostForUrl(bare(host)) + ':' + QByteArray::number(port);
    // Not being remembered costs nothing but this convenience.
    static_cast<void>(Setting(SettingKeys::TlsHost, next).setText(m_file, entry));
}

std::optional<KnownCertificate> NetworkSettings::knownCertificate(const QByteArray &host,
                                                                  quint16 port) const
{
    return parseCertificate(
        Setting::named(SettingKeys::Certificate, certificateKey(host, port)).text(m_file));
}

bool NetworkSettings::rememberCertificate(const QByteArray &host, quint16 port,
                                          const KnownCertificate &certificate)
{
    // With the host, when it goes on the list of TLS hosts: one replacement
    // of the file, which is synced to disk on the thread of the windows.
    ProfileFile::Edit edit(m_file);
    const QByteArray value = certificate.fingerprint + ' ' + isoTime(certificate.since) + ' '
                             + isoTime(certificate.notAfter);
    if (!Setting::named(SettingKeys::Certificate, certificateKey(host, port)).setText(m_file, value))
        return false;
    answeredOverTls(host, port);
    return edit.commit();
}

QList<NetworkSettings::RememberedCertificate> NetworkSettings::certificates() const
{
    QList<RememberedCertificate> list;
    const QByteArray section = Setting::named(SettingKeys::Certificate, "").section();
    for (const QByteArray &key : m_file.keys(section)) {
        const qsizetype colon = key.lastIndexOf(':');
        bool ok = false;
        const uint port = colon < 0 ? 0 : key.sliced(colon + 1).toUInt(&ok);
        const std::optional<KnownCertificate> known = parseCertificate(m_file.getString(section, key));
        if (!ok || port == 0 || port > 65535 || !known)
            continue;
        list.append({key.first(colon), quint16(port), *known});
    }
    return list;
}

bool NetworkSettings::forgetCertificate(const QByteArray &host, quint16 port)
{
    return Setting::named(SettingKeys::Certificate, certificateKey(host, port)).remove(m_file);
}
