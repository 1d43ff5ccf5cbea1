#pragma once

#include "items/textencoding.h"

#include <QString>
#include <QStringView>

class CGopherDir;

// How a screen reader hears a directory list. An item row says its kind and
// title ("Text: About this server"); an info line is read as the text it is.
// Info lines that look like ASCII art (a banner, a drawing) make a picture,
// announced as "Picture, N lines" on its first row; in a menu shown as its
// author laid it out, the other info lines between blank lines, pictures and
// items make one paragraph, read whole on its first row. The other rows of a
// block still read their own line, for a reader who goes into it; the block
// keys skip it.
class PageReader
{
public:
    struct Block
    {
        enum Kind { Item, Paragraph, Picture, Blank };
        Kind kind = Item;
        int first = 0;
        int count = 1;
        bool operator==(const Block &) const = default;
    };

    // A block never reaches across a multiple of this many rows, so finding
    // one reads a bounded number of rows whatever the menu holds.
    static constexpr int ScanRows = 256;

    PageReader(const CGopherDir &dir, TextEncoding encoding);

    Block blockAt(int row) const;
    // What the row says to assistive technology.
    QString textOf(int row) const;
    // The first row of the next block that is not a blank line, or -1.
    int nextBlock(int row) const;
    // The first row of the block the row is in when the row is inside it,
    // else of the block before (blank lines passed over); -1 when none.
    int previousBlock(int row) const;

    // Whether a line is drawn rather than written: mostly signs and
    // box-drawing characters, letters spaced out one by one, or long runs of
    // one repeated character.
    static bool isArtLine(QStringView line);
    static QString pictureText(int lines);

private:
    bool isInfo(int row) const;
    QString lineText(int row) const;

    const CGopherDir &m_dir;
    TextEncoding m_encoding;
};
