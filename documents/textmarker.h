#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <compare>
#include <optional>

// A place in a text: column and line, both counted from 0. Columns count the
// bytes of the stored line (a tab is one).
struct TextPosition
{
    int column = 0;
    int line = 0;

    bool operator==(const TextPosition &) const = default;
    // Text order: by line, then by column.
    std::strong_ordering operator<=>(const TextPosition &other) const;
};

// The range of a word within one line: [start, end).
struct WordRange
{
    int start = 0;
    int end = 0;
    bool operator==(const WordRange &) const = default;
};

// How the user marks a stretch of text with the mouse, without the widget:
// button down starts marking at an anchor, moves and auto-scroll ticks carry
// the current position, button up leaves a mark (or a plain click). Every
// step answers the status text to show.
class TextMarker
{
public:
    enum State { NoMark = 0, Marking = 1, Marked = 2 };

    State state() const { return m_state; }
    TextPosition anchor() const { return m_anchor; }
    TextPosition current() const { return m_current; }
    // The two positions in text order; the end is exclusive.
    TextPosition start() const;
    TextPosition end() const;

    // Left button down at pos. A mark already made is dropped first. When
    // another window holds the mouse capture, marking does not start; the
    // caller takes the capture when state() is Marking afterwards.
    QByteArray press(TextPosition pos, bool captureHeldElsewhere);
    // The pointer moved to pos with the button held; nothing while not marking.
    std::optional<QByteArray> move(TextPosition pos);
    // An auto-scroll tick: the current line moves by delta (-1 up, +1 down),
    // kept within 0 .. lastLine; the column is cut to that line's length.
    std::optional<QByteArray> scrollStep(int delta, int lastLine, int lineLength);
    // Left button up. A click without a move leaves no mark and tells where it
    // was; otherwise the positions are put in order and become the mark.
    std::optional<QByteArray> release(int lineCount);
    // Double-click: marks the word at or near the column of the line. False
    // (and no mark) when the line holds no word character.
    bool selectWord(QByteArrayView lineText, int line, int column);
    // A mark made elsewhere (a find): from start to end, in text order.
    void setMarked(TextPosition start, TextPosition end);
    void clear();

    // "Marking 1:3 --> 2:5" while the button is held.
    QByteArray markingText() const;
    // "Marked 1:3 --> 2:5" once the mark is made.
    QByteArray markedText() const;

    // "line:column, percent" of a position, e.g. "1:1, 0.0%"; the share is the
    // line index in per-mille of the line count.
    static QByteArray positionText(TextPosition pos, int lineCount);
    static bool isWordCharacter(char c);
    // The word a double-click at column selects: the word under it, else the
    // next word to the right, else the last word to the left.
    static std::optional<WordRange> wordAt(QByteArrayView lineText, int column);

private:
    State m_state = NoMark;
    TextPosition m_anchor;
    TextPosition m_current;
};
