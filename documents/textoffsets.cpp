#include "documents/textoffsets.h"

#include "documents/qtextdoc.h"
#include "documents/shownline.h"

#include <algorithm>

TextOffsets::Change TextOffsets::update(const CQTextDoc &store, TextEncoding encoding)
{
    Change change;
    const int count = store.GetLineCount();
    int from = lineCount();
    if (count < lineCount() || encoding != m_encoding) {
        change.removedLength = characterCount();
        clear();
        m_encoding = encoding;
        from = 0;
    } else if (from > 0 && store.GetLine(from - 1) != m_lastLine) {
        // The last line counted changed (a "." terminator reads back empty
        // once the text has ended): it is counted again.
        --from;
        change.position = m_starts.at(from);
        change.removedLength = characterCount() - change.position;
        m_starts.removeLast();
        m_lengths.removeLast();
    } else {
        change.position = characterCount();
    }
    if (from == count)
        return change;

    m_starts.reserve(count);
    m_lengths.reserve(count);
    int next = from == 0 ? 0 : m_starts.at(from - 1) + m_lengths.at(from - 1) + 1;
    for (int line = from; line < count; ++line) {
        const QByteArray bytes = store.GetLine(line);
        const int length = int(decodeText(bytes, encoding).size());
        m_starts.append(next);
        m_lengths.append(length);
        next += length + 1;
        if (line == count - 1)
            m_lastLine = bytes;
    }
    change.inserted = true;
    return change;
}

void TextOffsets::clear()
{
    m_starts.clear();
    m_lengths.clear();
    m_lastLine.clear();
}

int TextOffsets::characterCount() const
{
    return m_starts.isEmpty() ? 0 : m_starts.constLast() + m_lengths.constLast();
}

int TextOffsets::lineStart(int line) const
{
    if (line < 0)
        return 0;
    return line < lineCount() ? m_starts.at(line) : characterCount();
}

int TextOffsets::lineLength(int line) const
{
    return line >= 0 && line < lineCount() ? m_lengths.at(line) : 0;
}

int TextOffsets::lineAt(int offset) const
{
    if (m_starts.isEmpty())
        return -1;
    const auto after = std::upper_bound(m_starts.cbegin(), m_starts.cend(), offset);
    return qMax(0, int(after - m_starts.cbegin()) - 1);
}

int TextOffsets::offsetOf(const CQTextDoc &store, TextPosition pos) const
{
    if (pos.line < 0 || pos.line >= lineCount())
        return pos.line < 0 ? 0 : characterCount();
    ++m_linesRead;
    const ShownLine shown = shownLine(store.GetLine(pos.line), m_encoding);
    return m_starts.at(pos.line) + shown.charAt(pos.column);
}

TextPosition TextOffsets::positionOf(const CQTextDoc &store, int offset) const
{
    const int line = lineAt(offset);
    if (line < 0)
        return {};
    const int ch = qBound(0, offset - m_starts.at(line), m_lengths.at(line));
    ++m_linesRead;
    return {shownLine(store.GetLine(line), m_encoding).byteAt(ch), line};
}

QString TextOffsets::text(const CQTextDoc &store, int start, int end) const
{
    start = qBound(0, start, characterCount());
    end = qBound(start, end, characterCount());
    QString result;
    if (start == end)
        return result;
    result.reserve(end - start);
    for (int line = lineAt(start); line < lineCount() && m_starts.at(line) < end; ++line) {
        const int lineFrom = m_starts.at(line);
        // The line and its "\n", when it has one.
        const int lineTo = lineFrom + m_lengths.at(line) + (line + 1 < lineCount() ? 1 : 0);
        if (lineTo <= start)
            continue;
        ++m_linesRead;
        QString shown = decodeText(store.GetLine(line), m_encoding);
        if (line + 1 < lineCount())
            shown += QLatin1Char('\n');
        const int from = qMax(start, lineFrom) - lineFrom;
        const int to = qMin(end, lineTo) - lineFrom;
        result += QStringView(shown).sliced(from, to - from);
    }
    return result;
}
