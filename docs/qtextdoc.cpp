#include "docs/qtextdoc.h"

#include "docs/userinterface.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char Sub = 26;

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n' || c == '\f';
}

// Position of the first CR, LF or FF at or after from, or size when none.
qsizetype findLineEnd(const char *text, qsizetype from, qsizetype size)
{
    while (from < size && !isLineEnd(text[from]))
        ++from;
    return from;
}

// A SUB (the old end-of-file mark) drops the rest of its line.
QByteArrayView cutAtSub(QByteArrayView line)
{
    const void *sub = std::memchr(line.data(), Sub, size_t(line.size()));
    return sub ? line.first(static_cast<const char *>(sub) - line.data()) : line;
}

// Position of the last line end in text that is complete: a CR at the very
// end waits for a possible LF. -1 when none.
qsizetype lastCompleteLineEnd(QByteArrayView text)
{
    qsizetype i = text.size() - 1;
    if (i >= 0 && text.at(i) == '\r')
        --i;
    for (; i >= 0; --i) {
        if (isLineEnd(text.at(i)))
            return i;
    }
    return -1;
}

} // namespace

CQTextDoc::CQTextDoc(UserInterface *ui)
    : m_ui(ui)
{
}

// The partial line that would wait in pending once data has been split.
// Pending itself never holds a complete line end, only a CR waiting for an LF.
qsizetype CQTextDoc::pendingAfter(QByteArrayView data) const
{
    const qsizetype lineEnd = lastCompleteLineEnd(data);
    if (lineEnd >= 0)
        return data.size() - lineEnd - 1;
    if (m_pending.endsWith('\r') && !data.isEmpty())
        return data.size();
    return m_pending.size() + data.size();
}

void CQTextDoc::AddText(QByteArrayView data)
{
    // Text behind the "." line, or after Finish(), is not part of the text.
    if (m_overflow || m_ended)
        return;
    // A line that never ends must not grow without bound: a block that would
    // leave a partial line of MaxPending characters or more is dropped whole.
    if (pendingAfter(data) < MaxPending)
        m_pending.append(data);

    // Lines are cut at an offset and pending is shortened once per block, so
    // a block costs time in proportion to its size.
    const char *text = m_pending.constData();
    const qsizetype size = m_pending.size();
    qsizetype start = 0;
    Stored stored = Stored::More;
    while (stored == Stored::More) {
        const qsizetype end = findLineEnd(text, start, size);
        if (end == size)
            break;
        qsizetype next = end + 1;
        if (text[end] == '\r') {
            if (end == size - 1)
                break; // an LF may start the next block
            if (text[next] == '\n')
                ++next;
        }
        const QByteArrayView line = cutAtSub(QByteArrayView(text + start, end - start));
        start = next;
        stored = storeLine(line);
    }

    if (stored == Stored::More)
        m_pending.remove(0, start);
    else
        m_pending.clear();
}

CQTextDoc::Stored CQTextDoc::storeLine(QByteArrayView line)
{
    m_lines.SetAt(m_lineCount, line.toByteArray());
    ++m_lineCount;
    m_longestLine = std::max(m_longestLine, int(line.size()));
    if (line == ".") {
        m_ended = true;
        return Stored::Terminator;
    }
    if (m_lineCount >= MaxLines) {
        m_overflow = true;
        if (m_ui) {
            m_ui->messageBox(QByteArray("This implementation handles files with less than "
                                        "32,767 lines"),
                             UserInterface::Exclamation);
        }
        return Stored::Full;
    }
    return Stored::More;
}

void CQTextDoc::Finish()
{
    // A text whose last line has no line end still shows that line.
    if (!m_ended && !m_overflow && !m_pending.isEmpty()) {
        const qsizetype end = findLineEnd(m_pending.constData(), 0, m_pending.size());
        storeLine(cutAtSub(QByteArrayView(m_pending).first(end)));
    }
    m_pending.clear();

    m_ended = true;
    m_lines.FreeExtra();
    // The terminator stays counted and reads back as an empty line.
    if (m_lineCount > 0 && m_lines.GetAt(m_lineCount - 1) == ".")
        m_lines.RemoveLast();
}

void CQTextDoc::Reset()
{
    m_lineCount = 0;
    m_longestLine = 0;
    m_ended = false;
    m_overflow = false;
    m_lines.RemoveAll();
    m_pending.clear();
}

QByteArray CQTextDoc::GetLine(int index) const
{
    return m_lines.GetAt(index);
}
