#include "net/proxysetting.h"

#include "items/bookmark.h"

QByteArray ProxySetting::hostPort() const
{
    return CBookmark::hostForUrl(host) + ':' + QByteArray::number(port);
}

std::optional<ProxySetting> ProxySetting::fromUrl(QByteArrayView url)
{
    ProxySetting proxy;
    QByteArrayView rest = url.trimmed();
    const auto startsWithNoCase = [&rest](QByteArrayView prefix) {
        return rest.size() >= prefix.size()
            && rest.first(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0;
    };
    if (startsWithNoCase("socks5h://")) {
        rest = rest.sliced(10);
    } else if (startsWithNoCase("socks5://")) {
        proxy.resolvesNames = false;
        rest = rest.sliced(9);
    } else {
        return std::nullopt;
    }
    if (rest.endsWith('/'))
        rest.chop(1);
    if (const qsizetype at = rest.lastIndexOf('@'); at >= 0) {
        const QByteArrayView credentials = rest.first(at);
        rest = rest.sliced(at + 1);
        const qsizetype colon = credentials.indexOf(':');
        proxy.user = CBookmark::UnescapeSelector(colon < 0 ? credentials : credentials.first(colon));
        if (colon >= 0)
            proxy.password = CBookmark::UnescapeSelector(credentials.sliced(colon + 1));
        if (proxy.user.size() > 255 || proxy.password.size() > 255)
            return std::nullopt;
    }
    QByteArrayView portText;
    if (rest.startsWith('[')) {
        const qsizetype close = rest.indexOf(']');
        if (close < 0)
            return std::nullopt;
        proxy.host = rest.sliced(1, close - 1).toByteArray();
        rest = rest.sliced(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(':'))
            return std::nullopt;
        portText = rest.isEmpty() ? QByteArrayView() : rest.sliced(1);
    } else {
        const qsizetype colon = rest.lastIndexOf(':');
        proxy.host = (colon < 0 ? rest : rest.first(colon)).toByteArray();
        portText = colon < 0 ? QByteArrayView() : rest.sliced(colon + 1);
    }
    if (proxy.host.isEmpty() || proxy.host.contains('/'))
        return std::nullopt;
    for (const char c : proxy.host) {
        if (uchar(c) <= 0x20 || c == 0x7f)
            return std::nullopt;
    }
    if (!portText.isEmpty() || rest.endsWith(':')) {
        bool ok = false;
        const uint port = portText.toUInt(&ok);
        if (!ok || port == 0 || port > 65535)
            return std::nullopt;
        proxy.port = quint16(port);
    }
    proxy.host = proxy.host.toLower();
    return proxy;
}

bool isOnionHost(QByteArrayView host)
{
    while (host.endsWith('.'))
        host.chop(1);
    return host.size() > 6 && host.sliced(host.size() - 6).compare(".onion", Qt::CaseInsensitive) == 0;
}
