#pragma once

#include "items/bookmark.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// Bookmarks in the forms other Gopher clients read and write: a list of
// gopher URLs (one a line), a lynx bookmark page (HTML links), and a
// gophermap ("1Title<TAB>selector<TAB>host<TAB>port").
namespace BookmarkExchange {

enum class Format { Urls, Gophermap };

// The bare URL of an item: its bracketed URL without "<URL=" and ">".
QByteArray bareUrl(const CBookmark &item);

// One line per item, each ended by a line feed.
QByteArray exportItems(const QList<CBookmark> &items, Format format);
// The line that opens a category when several are exported together: a
// "# " comment in a URL list, an information line in a gophermap.
QByteArray categoryHeading(const QByteArray &name, Format format);

struct ImportResult
{
    QList<CBookmark> items;
    // For each item, the heading it came under ("# NAME" in a URL list, an
    // information line in a gophermap); empty before the first heading.
    QList<QByteArray> headings;
    // Lines (or links of a page) that gave no bookmark, headings among them.
    int skipped = 0;
    int headingLines = 0;
};

// Reads a URL list, a gophermap (lines holding a TAB, read by the menu
// reader, so a gophermap export comes back with its titles, types and
// Gopher+ and ask marks), or, when the text holds HTML links and no menu
// lines, a lynx bookmark page. A line or link that does not give a host and
// a port is counted, never guessed at.
ImportResult importText(QByteArrayView text);

} // namespace BookmarkExchange
