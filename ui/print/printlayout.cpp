#include "ui/print/printlayout.h"


#include <algorithm>
#include <cmath>
#include <limits>

PrintLayout::PrintLayout(const Page &page, double left, double right, double top, double bottom,
                         bool header, bool footer, int lineHeight)
    : m_lineHeight(std::max(1, lineHeight)), m_header(header), m_footer(footer)
{
    m_left = int(std::lround(page.dpiX * left));
    m_width = page.width - int(std::lround(page.dpiX * (left + right)));
    m_top = int(std::lround(page.dpiY * top));
    // The body's rectangle is as tall as the paper less both margins,
    // measured from the top margin: it ends at the bottom margin.
    m_bottomLimit = m_top + page.height - int(std::lround(page.dpiY * (top + bottom)));
    m_footerY = page.height - int(std::lround(page.dpiY * bottom)) - m_lineHeight;
    if (footer)
        m_bottomLimit -= 4 * m_lineHeight;
}

int PrintLayout::linesOnPage(int first, int lineCount,
                             const std::function<QByteArray(int)> &lineAt) const
{
    int y = bodyTop();
    int n = first;
    while (n < lineCount) {
        const QByteArray line = lineAt(n);
        const bool formFeed = line.startsWith('\f');
        if (n == first) {
            // The page's first line is always taken: a form feed that opens
            // the page has ended the one before.
            ++n;
            if (formFeed && line.count('\f') == line.size())
                continue;
            y += m_lineHeight;
            continue;
        }
        if (formFeed) {
            // A form feed on a line of its own is used up here; with text
            // after it, that line opens the next page.
            if (line.count('\f') == line.size())
                ++n;
            break;
        }
        if (y >= m_bottomLimit)
            break;
        y += m_lineHeight;
        ++n;
    }
    return std::max(1, n - first);
}

QList<int> PrintLayout::pageStarts(int lineCount, const std::function<QByteArray(int)> &lineAt) const
{
    QList<int> starts{0};
    int n = 0;
    while (true) {
        n += linesOnPage(n, lineCount, lineAt);
        if (n >= lineCount)
            break;
        starts.append(n);
    }
    return starts;
}

QString PrintLayout::printable(const QByteArray &line, TextEncoding encoding, int maxColumns)
{
    qsizetype from = 0;
    while (from < line.size() && line.at(from) == '\f')
        ++from;
    const QString text = decodeText(QByteArrayView(line).sliced(from), encoding);
    const qsizetype limit = maxColumns < 0 ? std::numeric_limits<qsizetype>::max() : qsizetype(maxColumns);
    QString out;
    out.reserve(std::min(text.size(), limit));
    for (const QChar c : text) {
        if (out.size() >= limit)
            break;
        if (c == u'\t') {
            out += QString(8 - out.size() % 8, u' ');
        } else if (c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() < 0xa0)) {
            out += u' ';
        } else {
            out += c;
        }
    }
    if (out.size() > limit)
        out.truncate(limit);
    return out;
}
