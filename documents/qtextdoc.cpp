#include "documents/qtextdoc.h"

#include "documents/userinterface.h"

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

} // namespace

CQTextDoc::CQTextDoc(UserInterface *ui)
    : m_ui(ui)
{
}

void CQTextDoc::AddText(QByteArrayView data)
{
    // Text behind the "." line, or after Finish(), is not part of the text.
    if (m_overflow || m_ended)
        return;
    if (m_cutting) {
        // The rest of a line cut at MaxPending goes, up to its line end.
        const qsizetype end = findLineEnd(data.data(), 0, data.size());
        if (end == data.size())
            return;
        data = data.sliced(end);
        m_cutting = false;
    }
    m_pending.append(data.data(), data.size());

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
        // Printing starts a new page after it.
        if (text[end] == '\f')
            m_formFeedLines.append(m_lineCount);
        stored = storeLine(line);
    }

    if (stored != Stored::More) {
        m_pending.clear();
        return;
    }
    // A line that never ends must not grow without bound: it keeps its first
    // MaxPending - 1 characters and the rest of it is dropped. The complete
    // lines before it are stored all the same.
    if (size - start >= MaxPending) {
        if (text[size - 1] == '\r') {
            // The line has ended; only its LF may still come.
            m_pending.remove(start + MaxPending - 1, size - 1 - (start + MaxPending - 1));
        } else {
            m_pending.truncate(start + MaxPending - 1);
            m_cutting = true;
        }
    }
    m_pending.remove(0, start);
}

CQTextDoc::Stored CQTextDoc::storeLine(QByteArrayView line)
{
    m_lines.SetAt(m_lineCount, line.toByteArray());
    ++m_lineCount;
    m_longestLine = std::max(m_longestLine, int(line.size()));
    if (m_endsAtDot && line == ".") {
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
    m_cutting = false;

    m_ended = true;
    m_lines.FreeExtra();
    // The terminator stays counted and reads back as an empty line.
    if (m_endsAtDot && m_lineCount > 0 && m_lines.GetAt(m_lineCount - 1) == ".")
        m_lines.RemoveLast();
}

void CQTextDoc::Reset()
{
    m_lineCount = 0;
    m_longestLine = 0;
    m_ended = false;
    m_overflow = false;
    m_endsAtDot = true;
    m_cutting = false;
    m_lines.RemoveAll();
    m_formFeedLines.clear();
    m_pending.clear();
}

QByteArray CQTextDoc::GetLine(int index) const
{
    return m_lines.GetAt(index);
}
