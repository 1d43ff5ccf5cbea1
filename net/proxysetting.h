#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// A SOCKS5 proxy (RFC 1928), with a user name and password (RFC 1929) when
// it asks for them.
struct ProxySetting
{
    static constexpr quint16 DefaultPort = 1080;

    QByteArray host;
    quint16 port = DefaultPort;
    // Names go to the proxy to be resolved there (socks5h://); otherwise they
    // are looked up here and the proxy is given the address (socks5://).
    bool resolvesNames = true;
    QByteArray user;
    QByteArray password;

    // "HOST:PORT", an IPv6 address in brackets.
    QByteArray hostPort() const;
    // socks5h://[USER[:PASSWORD]@]HOST[:PORT][/] or socks5://...; none for
    // anything else (another scheme, no host, a port that is no number).
    static std::optional<ProxySetting> fromUrl(QByteArrayView url);
    bool operator==(const ProxySetting &) const = default;
};

// Tor's onion services are reached through Tor only: their names are never
// looked up here.
bool isOnionHost(QByteArrayView host);
