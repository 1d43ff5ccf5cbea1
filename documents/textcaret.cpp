#include "documents/textcaret.h"

#include "documents/qtextdoc.h"
#include "documents/shownline.h"

#include <QTextBoundaryFinder>

namespace {

// The character before ch, never half a surrogate pair.
int previousChar(const QString &text, int ch)
{
    --ch;
    if (ch > 0 && text.at(ch).isLowSurrogate() && text.at(ch - 1).isHighSurrogate())
        --ch;
    return qMax(0, ch);
}

int nextChar(const QString &text, int ch)
{
    ++ch;
    if (ch < text.size() && text.at(ch).isLowSurrogate())
        ++ch;
    return qMin(int(text.size()), ch);
}

// Where the next word begins after ch, or -1 when no word follows on the line.
int nextWordStart(const QString &text, int ch)
{
    QTextBoundaryFinder words(QTextBoundaryFinder::Word, text);
    words.setPosition(ch);
    while (words.toNextBoundary() >= 0) {
        if (words.position() >= text.size())
            break;
        if (words.boundaryReasons() & QTextBoundaryFinder::StartOfItem)
            return int(words.position());
    }
    return -1;
}

// Where the word before ch begins, or -1 when none precedes it on the line.
int previousWordStart(const QString &text, int ch)
{
    QTextBoundaryFinder words(QTextBoundaryFinder::Word, text);
    words.setPosition(ch);
    while (words.toPreviousBoundary() >= 0) {
        if (words.boundaryReasons() & QTextBoundaryFinder::StartOfItem)
            return int(words.position());
        if (words.position() == 0)
            break;
    }
    return -1;
}

} // namespace

void TextCaret::setPosition(const CQTextDoc &store, TextEncoding encoding, TextPosition pos)
{
    const int count = store.GetLineCount();
    if (count == 0) {
        m_pos = {};
        m_goalColumn = 0;
        return;
    }
    pos.line = qBound(0, pos.line, count - 1);
    const ShownLine shown = shownLine(store.GetLine(pos.line), encoding);
    const int ch = shown.charAt(pos.column);
    m_pos = {shown.byteAt(ch), pos.line};
    m_goalColumn = ch;
}

void TextCaret::clamp(const CQTextDoc &store, TextEncoding encoding)
{
    const int goal = m_goalColumn;
    setPosition(store, encoding, m_pos);
    m_goalColumn = goal;
}

void TextCaret::goToLine(const CQTextDoc &store, TextEncoding encoding, int line)
{
    line = qBound(0, line, store.GetLineCount() - 1);
    const ShownLine shown = shownLine(store.GetLine(line), encoding);
    m_pos = {shown.byteAt(qMin(m_goalColumn, int(shown.text.size()))), line};
}

bool TextCaret::move(Move move, const CQTextDoc &store, TextEncoding encoding, int pageLines)
{
    const int count = store.GetLineCount();
    if (count == 0)
        return false;
    clamp(store, encoding);
    const TextPosition before = m_pos;
    const int last = count - 1;
    const ShownLine shown = shownLine(store.GetLine(m_pos.line), encoding);
    const int ch = shown.charAt(m_pos.column);
    const int length = int(shown.text.size());

    // Moves across a line keep the column they end on for the next move up or down.
    const auto across = [&](TextPosition pos) {
        setPosition(store, encoding, pos);
    };
    const auto lineEnd = [&](int line) {
        return TextPosition{int(store.GetLine(line).size()), line};
    };

    switch (move) {
    case CharLeft:
        if (ch > 0)
            across({shown.byteAt(previousChar(shown.text, ch)), m_pos.line});
        else if (m_pos.line > 0)
            across(lineEnd(m_pos.line - 1));
        break;
    case CharRight:
        if (ch < length)
            across({shown.byteAt(nextChar(shown.text, ch)), m_pos.line});
        else if (m_pos.line < last)
            across({0, m_pos.line + 1});
        break;
    case WordLeft:
        if (const int start = previousWordStart(shown.text, ch); start >= 0)
            across({shown.byteAt(start), m_pos.line});
        else if (ch > 0)
            across({0, m_pos.line});
        else if (m_pos.line > 0)
            across(lineEnd(m_pos.line - 1));
        break;
    case WordRight:
        if (const int start = nextWordStart(shown.text, ch); start >= 0)
            across({shown.byteAt(start), m_pos.line});
        else if (ch < length)
            across(lineEnd(m_pos.line));
        else if (m_pos.line < last)
            across({0, m_pos.line + 1});
        break;
    case LineUp:
        goToLine(store, encoding, m_pos.line - 1);
        break;
    case LineDown:
        goToLine(store, encoding, m_pos.line + 1);
        break;
    case PageUp:
        goToLine(store, encoding, m_pos.line - qMax(1, pageLines));
        break;
    case PageDown:
        goToLine(store, encoding, m_pos.line + qMax(1, pageLines));
        break;
    case LineStart:
        across({0, m_pos.line});
        break;
    case LineEnd:
        across(lineEnd(m_pos.line));
        break;
    case TextStart:
        across({0, 0});
        break;
    case TextEnd:
        across(lineEnd(last));
        break;
    }
    return m_pos != before;
}
