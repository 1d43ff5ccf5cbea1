#include "bookmarks/bookmarkexchange.h"

#include <algorithm>

namespace BookmarkExchange {

namespace {

QByteArray oneLine(QByteArray text)
{
    // A TAB or line end inside a field would open another field or line.
    for (char &c : text) {
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    }
    return text;
}

QByteArray decodeEntities(QByteArray text)
{
    text.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"").replace("&#39;", "'");
    return text.replace("&amp;", "&");
}

bool startsWithGopher(QByteArrayView text)
{
    return CBookmark::startsWithUrl(text);
}

// The item of a URL, when it names a host and a port.
bool itemFromUrl(QByteArrayView url, const QByteArray &title, CBookmark *item)
{
    if (!startsWithGopher(url))
        return false;
    CBookmark parsed;
    parsed.title = title;
    parsed.ParseURL(url);
    if (parsed.host.isEmpty() || parsed.port == 0)
        return false;
    *item = parsed;
    return true;
}

// A line of a gophermap: type and title, selector, host and port between
// TABs (a Gopher+ field may follow).
bool isMenuLine(QByteArrayView line)
{
    return line.count('\t') >= 3;
}

// The text of an information line: the title field without its type.
QByteArray menuHeading(QByteArrayView line)
{
    const qsizetype tab = line.indexOf('\t');
    return line.sliced(1, (tab < 0 ? line.size() : tab) - 1).trimmed().toByteArray();
}

// The item of a gophermap line, read as a menu reads it. An information
// line, an error line, a redundant-server line and a line without a host
// or port name nothing to fetch. A type character the menu does not know is
// kept as the bookmark's type: the store keeps any.
bool itemFromMenuLine(QByteArrayView line, CBookmark *item)
{
    if (line.startsWith('+') || line.startsWith('3'))
        return false;
    const QList<QByteArrayView> fields = [&] {
        QList<QByteArrayView> parts;
        qsizetype from = 0;
        for (qsizetype tab; (tab = line.indexOf('\t', from)) >= 0; from = tab + 1)
            parts.append(line.sliced(from, tab - from));
        parts.append(line.sliced(from));
        return parts;
    }();
    if (fields.at(0).isEmpty() || fields.at(2).isEmpty())
        return false;
    CBookmark parsed;
    parsed.ParseMenuLine(line);
    if (parsed.type == '3' || parsed.port == 0)
        return false;
    const char type = fields.at(0).front();
    if (parsed.type == '!' && type != '!' && quint8(type) > ' ' && quint8(type) < 0x7F) {
        parsed.type = type;
        parsed.title = fields.at(0).sliced(1).toByteArray();
        if (parsed.title.isEmpty())
            parsed.title = CBookmark::hostForUrl(parsed.host) + ':' + QByteArray::number(parsed.port);
    }
    *item = parsed;
    return true;
}

ImportResult importPage(const QByteArray &text)
{
    ImportResult result;
    const QByteArray lower = text.toLower();
    qsizetype from = 0;
    while ((from = lower.indexOf("href=", from)) >= 0) {
        from += 5;
        qsizetype start = from;
        qsizetype end;
        if (start < text.size() && (text.at(start) == '"' || text.at(start) == '\'')) {
            const char quote = text.at(start++);
            end = text.indexOf(quote, start);
        } else {
            end = start;
            while (end < text.size() && text.at(end) != ' ' && text.at(end) != '>')
                ++end;
        }
        if (end < 0)
            end = text.size();
        const QByteArray url = decodeEntities(text.mid(start, end - start).trimmed());
        // The link's text, up to its closing tag, is the title.
        QByteArray title;
        const qsizetype open = text.indexOf('>', end);
        const qsizetype close = open < 0 ? -1 : lower.indexOf("</a", open);
        if (close > open)
            title = oneLine(decodeEntities(text.mid(open + 1, close - open - 1))).simplified();
        CBookmark item;
        if (itemFromUrl(url, title, &item)) {
            result.items.append(item);
            result.headings.append(QByteArray());
        } else {
            ++result.skipped;
        }
        from = end;
    }
    return result;
}

} // namespace

QByteArray bareUrl(const CBookmark &item)
{
    QByteArray url = item.GetURL();
    if (url.startsWith("<URL="))
        url.remove(0, 5);
    if (url.endsWith('>'))
        url.chop(1);
    return url;
}

QByteArray exportItems(const QList<CBookmark> &items, Format format)
{
    QByteArray out;
    for (const CBookmark &item : items) {
        if (format == Format::Urls) {
            out += bareUrl(item);
        } else {
            out += item.type ? item.type : '1';
            out += oneLine(item.title) + '\t' + CBookmark::plainSelector(item.selector) + '\t'
                   + oneLine(item.host) + '\t' + QByteArray::number(item.port);
            // The fifth field of a Gopher+ menu: "?" marks an item with an
            // ask form, "+" any other Gopher+ item.
            if (item.IsAskForm())
                out += "\t?";
            else if (item.IsGopherPlus())
                out += "\t+";
        }
        out += '\n';
    }
    return out;
}

QByteArray categoryHeading(const QByteArray &name, Format format)
{
    if (format == Format::Urls)
        return "# " + oneLine(name) + '\n';
    return 'i' + oneLine(name) + "\t\tnull.host\t1\n";
}

ImportResult importText(QByteArrayView view)
{
    const QByteArray text = view.toByteArray();
    const QList<QByteArray> lines = text.split('\n');
    const bool menuLines = std::any_of(lines.cbegin(), lines.cend(), isMenuLine);
    if (!menuLines && text.toLower().contains("href="))
        return importPage(text);
    ImportResult result;
    QByteArray heading;
    for (QByteArray line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (isMenuLine(line)) {
            if (line.startsWith('i')) {
                heading = menuHeading(line);
                ++result.headingLines;
                ++result.skipped;
                continue;
            }
            CBookmark item;
            if (itemFromMenuLine(line, &item)) {
                result.items.append(item);
                result.headings.append(heading);
            } else {
                ++result.skipped;
            }
            continue;
        }
        line = line.trimmed();
        // A gophermap served as it is ends with a "." line.
        if (line.isEmpty() || line == ".")
            continue;
        if (line.startsWith('#')) {
            heading = line.mid(1).trimmed();
            ++result.headingLines;
            ++result.skipped;
            continue;
        }
        // Some clients write a title after the URL on the same line.
        const qsizetype blank = line.indexOf(' ');
        const QByteArray url = blank < 0 ? line : line.left(blank);
        const QByteArray title = blank < 0 ? QByteArray() : line.mid(blank + 1).trimmed();
        CBookmark item;
        if (itemFromUrl(url, title, &item)) {
            result.items.append(item);
            result.headings.append(heading);
        } else {
            ++result.skipped;
        }
    }
    return result;
}

} // namespace BookmarkExchange
