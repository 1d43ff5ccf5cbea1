#include "items/bookmark.h"

#include "items/typetable.h"

#include <utility>

namespace {

constexpr QByteArrayView hexDigits("0123456789ABCDEF");
constexpr QByteArrayView whiteSpace(" \t\r\n");
constexpr quint16 defaultPort = 70;
constexpr quint16 telnetPort = 23;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool holdsLineEnd(QByteArrayView text)
{
    return text.contains('\r') || text.contains('\n');
}

// The text up to, not including, the first of the given characters.
QByteArrayView upToFirstOf(QByteArrayView text, QByteArrayView stops)
{
    bool stop[256] = {};
    for (const char c : stops)
        stop[quint8(c)] = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (stop[quint8(text[i])])
            return text.first(i);
    }
    return text;
}

// Bytes that stand in a URL as they are: letters, digits and the safe
// characters "$-_.+!*'()".
struct SafeTable
{
    bool safe[256] = {};
    constexpr SafeTable()
    {
        for (int c = '0'; c <= '9'; ++c)
            safe[c] = true;
        for (int c = 'A'; c <= 'Z'; ++c)
            safe[c] = safe[c - 'A' + 'a'] = true;
        for (const char c : {'$', '-', '_', '.', '+', '!', '*', '\'', '(', ')'})
            safe[quint8(c)] = true;
    }
};
constexpr SafeTable safeTable;

// Appends the escaped form of text to out (which has room reserved).
void appendEscaped(QByteArray &out, QByteArrayView text)
{
    const qsizetype start = out.size();
    out.resize(start + text.size() * 3);
    char *p = out.data() + start;
    for (const char c : text) {
        const auto byte = quint8(c);
        if (safeTable.safe[byte]) {
            *p++ = c;
        } else {
            *p++ = '%';
            *p++ = hexDigits[byte >> 4];
            *p++ = hexDigits[byte & 0x0F];
        }
    }
    out.resize(p - out.constData());
}

// Only ASCII letters change: host names are bytes, and bytes above 0x7F are
// not letters of any particular character set.
QByteArray asciiLower(QByteArray text)
{
    for (char &c : text) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return text;
}

// The decimal digits at the head of the text, kept to 16 bits. Unsigned
// arithmetic wraps without harm, and its low 16 bits are those of the number.
quint16 leadingDigits(QByteArrayView text)
{
    quint64 value = 0;
    for (const char c : text) {
        if (!isDigit(c))
            break;
        value = value * 10 + quint64(c - '0');
    }
    return quint16(value);
}

// The port of a URL: the digits after its colon. A number beyond what TCP can
// name is no port at all (0, which callers refuse), never its low 16 bits:
// ":108576" must not reach port 43040.
quint16 urlPort(QByteArrayView text)
{
    quint32 value = 0;
    for (const char c : text) {
        if (!isDigit(c))
            break;
        value = value * 10 + quint32(c - '0');
        if (value > 65535)
            return 0;
    }
    return quint16(value);
}

bool holdsPlusRequest(QByteArrayView selector)
{
    return selector.contains(QByteArrayView("\t+")) || selector.contains(QByteArrayView("\t!"))
        || selector.contains(QByteArrayView("\t$"));
}

} // namespace

CBookmark::CBookmark(char type, QByteArray title, QByteArray selector, QByteArray host,
                     quint16 port)
    : host(std::move(host))
    , selector(std::move(selector))
    , title(std::move(title))
    , type(type)
    , port(port)
{
    Normalize();
}

quint16 CBookmark::portFromText(QByteArrayView text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const quint16 value = leadingDigits(text.sliced(i));
    return negative ? quint16(-value) : value;
}

void CBookmark::ParseMenuLine(QByteArrayView line)
{
    // Type and title, selector, host, port, Gopher+ field; more fields are ignored.
    QByteArrayView fields[5];
    qsizetype pos = 0;
    for (QByteArrayView &field : fields) {
        if (pos > line.size())
            break;
        qsizetype tab = line.indexOf('\t', pos);
        if (tab < 0)
            tab = line.size();
        field = line.sliced(pos, tab - pos);
        pos = tab + 1;
    }

    const QByteArrayView first = fields[0].isEmpty() ? QByteArrayView("!<missing title>") : fields[0];
    const bool knownType = QByteArrayView(ValidTypeChars).contains(first.front());
    // Normalisation looks at the whole first field as the title (a lone
    // type character is a title until it is split off below).
    title = knownType && first.size() > 1 ? first.sliced(1).toByteArray() : first.toByteArray();
    // Room for the line end normalisation adds.
    selector.reserve(fields[1].size() + 2);
    selector.resize(0);
    selector.append(fields[1].data(), fields[1].size());
    host = fields[2].isEmpty() ? QByteArray("error") : fields[2].toByteArray();
    port = portFromText(fields[3]);
    if (port == 0 && (first.front() == '8' || first.front() == 'T'))
        port = telnetPort;

    Normalize();

    SetAskForm(fields[4].contains('?'));
    SetGopherPlus(fields[4].contains('+') || IsAskForm());

    if (knownType) {
        type = first.front();
        if (first.size() == 1)
            title.clear();
    } else {
        type = '!';
    }
    if (port == 0)
        type = '3';
}

void CBookmark::Normalize()
{
    if (!holdsLineEnd(selector))
        selector += "\r\n";
    host = asciiLower(std::move(host));
    if (title.isEmpty())
        title = hostForUrl(host) + ':' + QByteArray::number(port);
    itemSize = 0;
    flags = 0;
    itemTag = 0xFFFF0000u;
}

void CBookmark::Assign(const CBookmark &other)
{
    type = other.type;
    title = other.title;
    selector = other.selector;
    host = other.host;
    port = other.port;
    flags = other.flags;
    tls = other.tls;
    itemSize = other.itemSize;
    attributeText = other.attributeText;
    parentKey = other.parentKey;
    itemTag = other.itemTag;
    // Lists already gathered stay when the other item has none.
    if (!other.viewLines.isEmpty())
        viewLines = other.viewLines;
    if (!other.askLines.isEmpty())
        askLines = other.askLines;
    // The fallback servers travel with the item into the window it opens.
    redundantServers = other.redundantServers;
}

void CBookmark::SetGopherPlus(bool on)
{
    if (on)
        flags |= GopherPlusFlag;
    else
        flags &= quint8(~GopherPlusFlag);
}

void CBookmark::SetAskForm(bool on)
{
    if (on)
        flags |= AskFormFlag;
    else
        flags &= quint8(~AskFormFlag);
}

QByteArray CBookmark::GetPlusAttributes() const
{
    return IsGopherPlus() ? attributeText : QByteArray();
}

QByteArray CBookmark::plainSelector(const QByteArray &selector)
{
    qsizetype end = 0;
    while (end < selector.size() && selector[end] != '\t' && selector[end] != '\r'
           && selector[end] != '\n')
        ++end;
    return selector.left(end);
}

QByteArray CBookmark::GetTypeName() const
{
    if (IsAskForm())
        return QByteArray("Ask form");
    return TypeTable::longName(type);
}

QByteArray CBookmark::hostForUrl(const QByteArray &host)
{
    if (!host.contains(':') || (host.startsWith('[') && host.endsWith(']')))
        return host;
    return '[' + host + ']';
}

QByteArray CBookmark::GetURL() const
{
    // The line end is not part of the URL; a Gopher+ marker after a TAB is.
    const QByteArrayView request = upToFirstOf(selector, "\r\n");
    QByteArray url;
    url.reserve(15 + host.size() + 7 + 2 + request.size() * 3 + 1);
    url.append(tls ? QByteArrayView("<URL=gophers://") : QByteArrayView("<URL=gopher://"));
    url.append(hostForUrl(host));
    if (port != defaultPort) {
        url.append(':');
        url.append(QByteArray::number(port));
    }
    url.append('/');
    if (type != '1' || !request.isEmpty()) {
        url.append(type);
        appendEscaped(url, request);
    }
    url.append('>');
    return url;
}

namespace {

// The first "gopher://" or "gophers://" in text at or after from, spelled
// with the given word.
qsizetype findPrefix(QByteArrayView text, QByteArrayView word, qsizetype from, qsizetype *length)
{
    for (qsizetype pos = text.indexOf(word, from); pos >= 0; pos = text.indexOf(word, pos + 1)) {
        const QByteArrayView after = text.sliced(pos + word.size());
        if (after.startsWith("://")) {
            *length = word.size() + 3;
            return pos;
        }
        if (after.size() >= 4 && (after[0] == 's' || after[0] == 'S') && after.sliced(1).startsWith("://")
            && (after[0] == 's') == (word[0] == 'g')) {
            *length = word.size() + 4;
            return pos;
        }
    }
    return -1;
}

} // namespace

qsizetype CBookmark::findUrlPrefix(QByteArrayView text, qsizetype from, qsizetype *prefixLength,
                                   UrlCase spelling)
{
    qsizetype length = 0;
    qsizetype pos = spelling == UrlCase::Upper ? -1 : findPrefix(text, "gopher", from, &length);
    if (pos < 0 && spelling != UrlCase::Lower)
        pos = findPrefix(text, "GOPHER", from, &length);
    if (prefixLength)
        *prefixLength = length;
    return pos;
}

bool CBookmark::startsWithUrl(QByteArrayView text)
{
    qsizetype length = 0;
    return findUrlPrefix(text.first(qMin<qsizetype>(text.size(), 10)), 0, &length) == 0;
}

void CBookmark::ParseURL(QByteArrayView text)
{
    qsizetype prefixLength = 0;
    const qsizetype start = findUrlPrefix(text, 0, &prefixLength);
    if (start < 0)
        return;
    tls = prefixLength == 10;
    const QByteArrayView rest = upToFirstOf(text.sliced(start + prefixLength), "\" >");

    // An IPv6 literal stands in brackets (RFC 3986), since its colons would
    // read as the start of the port; the host kept is what is inside them.
    qsizetype hostStart = 0;
    qsizetype hostLength = -1;
    qsizetype scanFrom = 0;
    if (rest.startsWith('[')) {
        const qsizetype close = rest.indexOf(']');
        if (close > 0) {
            hostStart = 1;
            hostLength = close - 1;
            scanFrom = close + 1;
        }
    }

    qsizetype hostEnd = -1;
    for (qsizetype i = scanFrom; i < rest.size(); ++i) {
        if (rest[i] == ':' || rest[i] == '/') {
            hostEnd = i;
            break;
        }
    }
    if (hostLength < 0)
        hostLength = hostEnd < 0 ? rest.size() : hostEnd;
    if (hostEnd < 0) {
        host = rest.sliced(hostStart, hostLength).toByteArray();
        port = defaultPort;
        selector = QByteArray("\r\n");
        type = '1';
        Normalize();
        return;
    }

    host = rest.sliced(hostStart, hostLength).toByteArray();
    port = rest[hostEnd] == ':' ? urlPort(rest.sliced(hostEnd + 1)) : defaultPort;

    const qsizetype slash = rest.indexOf('/', scanFrom);
    if (slash < 0 || slash + 1 == rest.size()) {
        selector = QByteArray("\r\n");
        type = '1';
        Normalize();
        return;
    }

    Normalize();
    type = rest[slash + 1];
    const QByteArrayView path = rest.sliced(slash + 2);
    if (path.isEmpty()) {
        selector = QByteArray("\r\n");
        return;
    }
    // A request is one line. A CR or LF spelled into a URL (%0D, %0A) would
    // hand the server further lines of the link's choosing (mail or web
    // commands when the port is another protocol's): the selector ends
    // there. Any other byte, NUL too, is a byte of the selector, as the URL
    // form writes it.
    QByteArray unescaped = UnescapeSelector(path);
    for (qsizetype i = 0; i < unescaped.size(); ++i) {
        if (unescaped[i] == '\r' || unescaped[i] == '\n') {
            unescaped.truncate(i);
            break;
        }
    }
    selector = unescaped + "\r\n";
    SetGopherPlus(holdsPlusRequest(selector));
}

QByteArray CBookmark::GetItemText() const
{
    QByteArray text = "Name=" + title + "\r\n";
    text += "Type=";
    text += type;
    if (IsAskForm())
        text += '?';
    else if (IsGopherPlus())
        text += '+';
    text += "\r\nPort=" + QByteArray::number(port) + "\r\n";
    if (type == '7') {
        // A search item keeps its whole request, which carries its own line end.
        text += "Path=" + selector;
        // An item that was never normalised has none; the record's next line
        // must still start a line of its own.
        if (!selector.endsWith('\n'))
            text += "\r\n";
    } else {
        text += "Path=" + upToFirstOf(selector, "\t\r\n").toByteArray() + "\r\n";
    }
    text += "Host=" + host + "\r\n";
    text += GetURL() + "\r\n** " + GetTypeName() + " **\r\n";
    return text;
}

QByteArray CBookmark::EscapeSelector(QByteArrayView text)
{
    QByteArray result;
    appendEscaped(result, text);
    return result;
}

QByteArray CBookmark::UnescapeSelector(QByteArrayView text)
{
    if (!text.contains('%'))
        return text.toByteArray();

    // Only the first run of white space goes: a URL broken over two lines
    // comes back whole.
    QByteArray joined;
    qsizetype runStart = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (whiteSpace.contains(text[i])) {
            runStart = i;
            break;
        }
    }
    if (runStart < 0) {
        joined = text.toByteArray();
    } else {
        qsizetype runEnd = runStart;
        while (runEnd < text.size() && whiteSpace.contains(text[runEnd]))
            ++runEnd;
        joined = text.first(runStart).toByteArray() + text.sliced(runEnd).toByteArray();
    }

    QByteArray result;
    result.reserve(joined.size());
    for (qsizetype i = 0; i < joined.size(); ++i) {
        const char c = joined[i];
        if (c == '%' && i + 2 < joined.size() && hexValue(joined[i + 1]) >= 0
            && hexValue(joined[i + 2]) >= 0) {
            result += char(hexValue(joined[i + 1]) * 16 + hexValue(joined[i + 2]));
            i += 2;
        } else {
            // A "%" without two hexadecimal digits after it stands for itself.
            result += c;
        }
    }
    return result;
}

namespace {

const QByteArrayView LinkPrefix("URL:");

} // namespace

bool CBookmark::isUrlLink() const
{
    return selector.startsWith(LinkPrefix);
}

QByteArray CBookmark::linkAddress() const
{
    if (!isUrlLink())
        return QByteArray();
    return upToFirstOf(QByteArrayView(selector).sliced(LinkPrefix.size()), "\t\r\n").toByteArray();
}

QByteArray CBookmark::GetNotesText() const
{
    QByteArray text;
    if (isUrlLink())
        text += "Address=" + linkAddress() + "\r\n";
    for (const RedundantServer &server : redundantServers)
        text += "Redundant server=" + server.host + ':' + QByteArray::number(server.port) + "\r\n";
    return text;
}

CBookmark::RedundantServer CBookmark::ParseRedundantLine(QByteArrayView line)
{
    // The line has the fields of a menu line; its type character is '+'.
    CBookmark parsed;
    parsed.ParseMenuLine(line);
    RedundantServer server;
    server.host = parsed.host;
    server.port = parsed.port;
    if (parsed.selector != "\r\n")
        server.selector = parsed.selector;
    return server;
}
