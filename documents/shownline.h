#pragma once

#include "items/textencoding.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

// A stored line as it is shown: the decoded text, and where each character
// starts among the line's bytes (UTF-8 lines take several bytes for one
// character; ASCII and the one-byte encodings take one). Marks and the caret
// keep byte columns, so they stay on the same bytes whatever the encoding;
// the screen and assistive technology count characters.
struct ShownLine
{
    QString text;
    QList<int> byteOfChar;  // one entry per QChar plus the end; empty: one byte each
    int byteCount = 0;

    // The byte column where character ch starts (the line's end beyond it).
    int byteAt(int ch) const;
    // The first character that starts at or after the byte column.
    int charAt(int byte) const;
};

ShownLine shownLine(QByteArrayView bytes, TextEncoding encoding);
