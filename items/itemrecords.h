#pragma once

#include "items/bookmark.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// The clipboard forms of items: the item record ("Name=", "Type=", ...) and
// gopher URLs found in free text, read back by a single-item reader (a form's
// Paste) and a multi-item reader (the bookmark editor's Paste).
namespace ItemRecords {

// Records of several items, each followed by an empty line.
QByteArray recordsText(const QList<CBookmark> &items);

// Both readers take "Name=", "Host=", "Port=", "Type=" and "Path=" only where
// they begin a line, and a gopher URL anywhere except in the value of such a
// key: what a server wrote into a title or selector stays a value.

// True when the text holds a line starting with one of "Name=", "Host=",
// "Port=", "Type=", "Path=", or holds "gopher://" or "GOPHER://" (or
// "gophers://", "GOPHERS://"; case-sensitive): the single-item reader
// accepts it.
bool acceptsText(QByteArrayView text);

// The value of one key of the single-item reader: the rest of the key's line,
// up to the first CR or LF. For the URL keys, the text from the prefix itself.
// Empty when the key is absent.
QByteArray GetClipboardField(QByteArrayView text, QByteArrayView key);

// The field values the single-item reader gives a form.
struct ItemFields
{
    QByteArray selector;  // without line end when taken from "Path="
    QByteArray host;
    quint16 port = 0;
    QByteArray title;
    char type = 0;
    bool typeSet = false;  // the type list is set only when a type was given
    bool gopherPlus = false;
    bool askForm = false;
    bool tls = false;      // a gophers:// URL
    QByteArray url;        // set when the fields came from a URL
};
ItemFields readSingleItem(QByteArrayView text);

// Every item the multi-item reader finds in the text, in order.
QList<CBookmark> readItems(QByteArrayView text);

// Keeps only lower-case letters, digits, '-' and '.'. An IPv6 literal, bare or
// in brackets, is kept whole, without its brackets (URLs put them back).
QByteArray FilterHostName(QByteArrayView text);

} // namespace ItemRecords
