#include "documents/textmarker.h"

#include <QStringBuilder>

#include <cstring>

namespace {

// Line and column as the user counts them, from 1.
QByteArray oneBased(TextPosition pos)
{
    return QByteArray::number(qint64(pos.line) + 1) + ':' + QByteArray::number(qint64(pos.column) + 1);
}

} // namespace

std::strong_ordering TextPosition::operator<=>(const TextPosition &other) const
{
    if (line != other.line)
        return line <=> other.line;
    return column <=> other.column;
}

TextPosition TextMarker::start() const
{
    return m_anchor <= m_current ? m_anchor : m_current;
}

TextPosition TextMarker::end() const
{
    return m_anchor <= m_current ? m_current : m_anchor;
}

QByteArray TextMarker::press(TextPosition pos, bool captureHeldElsewhere)
{
    if (m_state == Marked)
        m_state = NoMark;
    if (m_state == Marking)
        return QByteArray("What!!!??? Left mouse down is not expected");
    m_anchor = pos;
    m_current = pos;
    if (captureHeldElsewhere)
        return QByteArray("Some other window has captured the mouse");
    m_state = Marking;
    return oneBased(pos) + " ...";
}

std::optional<QByteArray> TextMarker::move(TextPosition pos)
{
    if (m_state != Marking)
        return std::nullopt;
    m_current = pos;
    return markingText();
}

std::optional<QByteArray> TextMarker::scrollStep(int delta, int lastLine, int lineLength)
{
    if (m_state != Marking)
        return std::nullopt;
    m_current.line = qBound(0, m_current.line + delta, qMax(0, lastLine));
    m_current.column = qBound(0, m_current.column, qMax(0, lineLength));
    return markingText();
}

std::optional<QByteArray> TextMarker::release(int lineCount)
{
    if (m_state != Marking)
        return std::nullopt;
    if (m_current == m_anchor) {
        m_state = NoMark;
        return positionText(m_current, lineCount);
    }
    const TextPosition first = start();
    const TextPosition last = end();
    m_anchor = first;
    m_current = last;
    m_state = Marked;
    return markedText();
}

bool TextMarker::selectWord(QByteArrayView lineText, int line, int column)
{
    const std::optional<WordRange> word = wordAt(lineText, column);
    if (!word) {
        clear();
        return false;
    }
    setMarked({word->start, line}, {word->end, line});
    return true;
}

void TextMarker::setMarked(TextPosition start, TextPosition end)
{
    m_anchor = qMin(start, end);
    m_current = qMax(start, end);
    m_state = Marked;
}

void TextMarker::clear()
{
    m_state = NoMark;
    m_current = m_anchor;
}

QByteArray TextMarker::markingText() const
{
    const QByteArray arrow = m_anchor <= m_current ? QByteArray("-->") : QByteArray("<--");
    return QByteArray("Marking ") + oneBased(start()) + ' ' + arrow + ' ' + oneBased(end());
}

QByteArray TextMarker::markedText() const
{
    return QByteArray("Marked ") + oneBased(start()) + " --> " + oneBased(end());
}

QByteArray TextMarker::positionText(TextPosition pos, int lineCount)
{
    const quint64 perMille = lineCount > 0 && pos.line > 0
                                 ? quint64(pos.line) * 1000 / quint64(lineCount)
                                 : 0;
    return oneBased(pos) + ", " + QByteArray::number(perMille / 10) + '.'
           + QByteArray::number(perMille % 10) + '%';
}

bool TextMarker::isWordCharacter(char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    static const char punctuation[] = "-_/\\'\"=+*&^%$#@!~`:;.,<>?";
    return c != '\0' && std::strchr(punctuation, c) != nullptr;
}

std::optional<WordRange> TextMarker::wordAt(QByteArrayView lineText, int column)
{
    const int length = int(lineText.size());
    auto isWord = [&](int i) { return isWordCharacter(lineText[i]); };
    auto spread = [&](int at) {
        int first = at;
        int last = at + 1;
        while (first > 0 && isWord(first - 1))
            --first;
        while (last < length && isWord(last))
            ++last;
        return WordRange{first, last};
    };

    const int at = qBound(0, column, length);
    if (at < length && isWord(at))
        return spread(at);
    for (int i = at; i < length; ++i) {
        if (isWord(i))
            return spread(i);
    }
    for (int i = at - 1; i >= 0; --i) {
        if (isWord(i))
            return spread(i);
    }
    return std::nullopt;
}
