#pragma once

#include "documents/textmarker.h"
#include "items/textencoding.h"

class CQTextDoc;

// The keyboard's place in a text, for reading it line by line and word by
// word (and for a screen reader to follow). The position is a byte column of
// the stored line, as the mark's are; moves go by characters as shown.
class TextCaret
{
public:
    enum Move {
        CharLeft, CharRight,
        WordLeft, WordRight,
        LineUp, LineDown,
        PageUp, PageDown,
        LineStart, LineEnd,
        TextStart, TextEnd,
    };

    TextPosition position() const { return m_pos; }
    // Puts the caret at pos, kept within the text; the column a move up or
    // down aims for becomes its column.
    void setPosition(const CQTextDoc &store, TextEncoding encoding, TextPosition pos);
    // Moves the caret; a page is pageLines lines. False when it stayed put.
    bool move(Move move, const CQTextDoc &store, TextEncoding encoding, int pageLines = 1);
    // Keeps the caret within the text after it has changed (cleared, ended).
    void clamp(const CQTextDoc &store, TextEncoding encoding);

private:
    void goToLine(const CQTextDoc &store, TextEncoding encoding, int line);

    TextPosition m_pos;
    // The character column moves up and down aim for.
    int m_goalColumn = 0;
};
