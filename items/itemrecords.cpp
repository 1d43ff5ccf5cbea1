#include "items/itemrecords.h"

#include <QHostAddress>

#include <algorithm>
#include <array>

namespace ItemRecords {

namespace {

using UrlCase = CBookmark::UrlCase;

// The text up to, not including, the first of the given characters.
QByteArrayView upToFirstOf(QByteArrayView text, QByteArrayView stops)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (stops.contains(text[i]))
            return text.first(i);
    }
    return text;
}

// A URL ends at a blank, a ">" or a line end: a bare URL on a line of its own
// must not run on into the next line.
QByteArrayView urlText(QByteArrayView text)
{
    return upToFirstOf(text, " >\r\n");
}

constexpr std::array<QByteArrayView, 5> recordKeys = {
    QByteArrayView("Name="), QByteArrayView("Host="), QByteArrayView("Port="),
    QByteArrayView("Type="), QByteArrayView("Path="),
};

bool startsLine(QByteArrayView text, qsizetype pos)
{
    return pos == 0 || text[pos - 1] == '\n' || text[pos - 1] == '\r';
}

// The first occurrence of a record key at or after `from` that begins a
// line. Inside a line the text is a value: a server's title reading
// "Host=evil.example" must not name the item's host.
qsizetype findKey(QByteArrayView text, QByteArrayView key, qsizetype from)
{
    for (qsizetype pos = text.indexOf(key, from); pos >= 0; pos = text.indexOf(key, pos + 1)) {
        if (startsLine(text, pos))
            return pos;
    }
    return -1;
}

// Where the line holding `pos` begins. The readers ask about positions that
// only grow, so the search back stops where the last one ended.
class LineStarts
{
public:
    explicit LineStarts(QByteArrayView text) : m_text(text) {}
    qsizetype lineStart(qsizetype pos)
    {
        if (pos < m_checked) {
            m_checked = 0;
            m_start = 0;
        }
        for (qsizetype i = pos; i > m_checked; --i) {
            if (m_text[i - 1] == '\n' || m_text[i - 1] == '\r') {
                m_start = i;
                break;
            }
        }
        m_checked = pos;
        return m_start;
    }

private:
    QByteArrayView m_text;
    qsizetype m_checked = 0;
    qsizetype m_start = 0;
};

// The first gopher URL prefix at or after `from` that is not part of a
// record key's value (a title or selector holding "gopher://" does not
// redirect the reader); elsewhere a URL counts anywhere in a line.
qsizetype findUrl(QByteArrayView text, UrlCase spelling, qsizetype from, LineStarts &lines)
{
    const auto next = [&](qsizetype at) {
        return CBookmark::findUrlPrefix(text, at, nullptr, spelling);
    };
    for (qsizetype pos = next(from); pos >= 0; pos = next(pos + 1)) {
        const QByteArrayView line = text.sliced(lines.lineStart(pos));
        const bool inValue = std::any_of(recordKeys.begin(), recordKeys.end(),
                                         [line](QByteArrayView key) { return line.startsWith(key); });
        if (!inValue)
            return pos;
    }
    return -1;
}

} // namespace

QByteArray recordsText(const QList<CBookmark> &items)
{
    QByteArray text;
    for (const CBookmark &item : items)
        text += item.GetItemText() + "\r\n";
    return text;
}

bool acceptsText(QByteArrayView text)
{
    return CBookmark::findUrlPrefix(text) >= 0
        || std::any_of(recordKeys.begin(), recordKeys.end(),
                       [text](QByteArrayView key) { return findKey(text, key, 0) >= 0; });
}

QByteArray GetClipboardField(QByteArrayView text, QByteArrayView key)
{
    LineStarts lines(text);
    const bool isUrl = key == "gopher://" || key == "GOPHER://";
    const qsizetype keyPos = isUrl ? findUrl(text, key == "gopher://" ? UrlCase::Lower : UrlCase::Upper,
                                             0, lines)
                                   : findKey(text, key, 0);
    if (keyPos < 0)
        return QByteArray();
    QByteArrayView value;
    if (isUrl) {
        // The URL itself; an "=" further on belongs to something else (a
        // query in the URL, or the next record).
        value = text.sliced(keyPos);
    } else {
        const qsizetype equals = text.indexOf('=', keyPos);
        if (equals < 0)
            return QByteArray();
        value = text.sliced(equals + 1);
    }
    return upToFirstOf(value, "\r\n").toByteArray();
}

ItemFields readSingleItem(QByteArrayView text)
{
    ItemFields fields;
    QByteArray url = GetClipboardField(text, "gopher://");
    if (url.isEmpty())
        url = GetClipboardField(text, "GOPHER://");
    if (!url.isEmpty()) {
        url = urlText(url).toByteArray();
        CBookmark item;
        item.ParseURL(url);
        fields.selector = item.selector;
        fields.host = item.host;
        fields.port = item.port;
        fields.title = item.title;
        fields.type = item.type;
        fields.typeSet = true;
        fields.gopherPlus = item.IsGopherPlus();
        fields.askForm = item.IsAskForm();
        fields.tls = item.tls;
        fields.url = url;
        return fields;
    }

    fields.selector = GetClipboardField(text, "Path=");
    fields.host = GetClipboardField(text, "Host=");
    fields.port = CBookmark::portFromText(GetClipboardField(text, "Port="));
    fields.title = GetClipboardField(text, "Name=");
    const QByteArray type = GetClipboardField(text, "Type=");
    if (!type.isEmpty()) {
        fields.type = type.front();
        fields.typeSet = true;
    }
    fields.gopherPlus = type.contains('+');
    fields.askForm = type.contains('?');
    return fields;
}

QList<CBookmark> readItems(QByteArrayView text)
{
    enum Key { HostKey, NameKey, TypeKey, PortKey, PathKey, KeyCount };
    static constexpr std::array<QByteArrayView, KeyCount> keys = {
        QByteArrayView("Host="), QByteArrayView("Name="), QByteArrayView("Type="),
        QByteArrayView("Port="), QByteArrayView("Path="),
    };
    // One for each prefix: each one's positions only grow.
    LineStarts urlLines(text);
    LineStarts upperUrlLines(text);

    // Each key is searched from the current position. A position found earlier
    // that still lies ahead is the answer again, and a key missing from an
    // earlier position is missing from every later one; remembering both keeps
    // a long clipboard text from being searched over and over.
    std::array<qsizetype, KeyCount> keyPos;
    keyPos.fill(-2);
    qsizetype urlPos = -2;
    qsizetype upperUrlPos = -2;
    const auto findFrom = [&](qsizetype &cached, QByteArrayView what, qsizetype from) {
        if (cached == -2 || (cached >= 0 && cached < from)) {
            if (what == "gopher://")
                cached = findUrl(text, UrlCase::Lower, from, urlLines);
            else if (what == "GOPHER://")
                cached = findUrl(text, UrlCase::Upper, from, upperUrlLines);
            else
                cached = findKey(text, what, from);
        }
        return cached;
    };
    const auto valueAt = [text](qsizetype pos, QByteArrayView key) {
        if (pos < 0)
            return QByteArray();
        return upToFirstOf(text.sliced(pos + key.size()), "\r\n").toByteArray();
    };

    QList<CBookmark> items;
    qsizetype p = 0;
    while (p < text.size()) {
        std::array<qsizetype, KeyCount> found;
        for (int k = 0; k < KeyCount; ++k)
            found[k] = findFrom(keyPos[k], keys[k], p);
        qsizetype url = findFrom(urlPos, "gopher://", p);
        if (url < 0)
            url = findFrom(upperUrlPos, "GOPHER://", p);
        if (url < 0 && found[HostKey] < 0)
            break;

        const QByteArray host = valueAt(found[HostKey], keys[HostKey]);
        QByteArray type = valueAt(found[TypeKey], keys[TypeKey]);
        QByteArray port = valueAt(found[PortKey], keys[PortKey]);
        if (type.isEmpty())
            type = QByteArray("1");
        if (port.isEmpty())
            port = QByteArray("70");

        bool fromUrl = false;
        if (!host.isEmpty()) {
            CBookmark item(type.front(), valueAt(found[NameKey], keys[NameKey]),
                           valueAt(found[PathKey], keys[PathKey]), host,
                           CBookmark::portFromText(port));
            if (type.contains('+'))
                item.SetGopherPlus(true);
            else if (type.contains('?'))
                item.SetAskForm(true);
            // The record's own URL line says whether the item goes over TLS.
            if (url >= 0) {
                CBookmark named;
                named.ParseURL(urlText(text.sliced(url)));
                item.tls = named.tls && named.host == item.host && named.port == item.port;
            }
            items.append(item);
        } else if (url >= 0) {
            CBookmark item;
            item.ParseURL(urlText(text.sliced(url)));
            items.append(item);
            fromUrl = true;
        }

        qsizetype furthest = std::max(p, url);
        for (int k = 0; k < KeyCount; ++k) {
            if (k == HostKey && fromUrl)
                continue;
            furthest = std::max(furthest, found[k]);
        }
        p = furthest + 1;
    }
    return items;
}

namespace {

// The address of an IPv6 literal ("::1", "[fe80::2]"), blanks around it
// allowed; empty when the text is none.
QByteArray ipv6Literal(QByteArrayView text)
{
    QByteArrayView address = text.trimmed();
    if (address.size() > 2 && address.front() == '[' && address.back() == ']')
        address = address.sliced(1, address.size() - 2);
    if (!address.contains(':'))
        return {};
    static constexpr QByteArrayView literalChars("0123456789abcdefABCDEF:.");
    for (const char c : address) {
        if (!literalChars.contains(c))
            return {};
    }
    QHostAddress parsed;
    if (!parsed.setAddress(QString::fromLatin1(address))
        || parsed.protocol() != QHostAddress::IPv6Protocol)
        return {};
    return address.toByteArray().toLower();
}

} // namespace

QByteArray FilterHostName(QByteArrayView text)
{
    if (const QByteArray literal = ipv6Literal(text); !literal.isEmpty())
        return literal;
    static constexpr QByteArrayView hostNameChars("abcdefghijklmnopqrstuvwxyz0123456789-.");
    QByteArray result;
    result.reserve(text.size());
    for (const char c : text) {
        if (hostNameChars.contains(c))
            result.append(c);
    }
    return result;
}

} // namespace ItemRecords
