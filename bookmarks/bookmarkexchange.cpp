#include "bookmarks/bookmarkexchange.h"

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
        if (itemFromUrl(url, title, &item))
            result.items.append(item);
        else
            ++result.skipped;
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
            if (item.IsGopherPlus() || item.IsAskForm())
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
    if (text.toLower().contains("href="))
        return importPage(text);
    ImportResult result;
    for (QByteArray line : text.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        // Some clients write a title after the URL on the same line.
        const qsizetype blank = line.indexOf(' ');
        const QByteArray url = blank < 0 ? line : line.left(blank);
        const QByteArray title = blank < 0 ? QByteArray() : line.mid(blank + 1).trimmed();
        CBookmark item;
        if (itemFromUrl(url, title, &item))
            result.items.append(item);
        else
            ++result.skipped;
    }
    return result;
}

} // namespace BookmarkExchange
