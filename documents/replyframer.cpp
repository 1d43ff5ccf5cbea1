#include "documents/replyframer.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr int MaxSizeDigits = 20;

bool allDigits(QByteArrayView text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Whether the text after the first character can still grow into a header.
bool canStartHeader(char first, QByteArrayView rest)
{
    if (rest.isEmpty() || rest == "-" || rest == "-1" || rest == "-2")
        return true;
    return first == '+' && rest.size() <= MaxSizeDigits && allDigits(rest);
}

quint64 sizeOf(QByteArrayView digits)
{
    quint64 size = 0;
    for (const char c : digits) {
        const quint64 next = size * 10 + quint64(c - '0');
        if (next / 10 != size) // more than a 64-bit count can hold: no reply is that long
            return ~quint64(0);
        size = next;
    }
    return size;
}

} // namespace

ReplyFramer::ReplyFramer(bool headerlessEndsAtDot)
    : m_headerlessEndsAtDot(headerlessEndsAtDot)
{
}

void ReplyFramer::reset(bool headerlessEndsAtDot)
{
    *this = ReplyFramer(headerlessEndsAtDot);
}

bool ReplyFramer::endsAtDotLine() const
{
    switch (m_header) {
    case Header::None:
        return m_headerlessEndsAtDot;
    case Header::DotTerminated:
    case Header::Error:
        return true;
    default:
        return false;
    }
}

void ReplyFramer::examineHeader(bool closed)
{
    const QByteArray &head = m_head;
    m_headerLength = 0;
    if (head.isEmpty()) {
        if (closed)
            m_header = Header::None;
        return;
    }
    const char first = head.at(0);
    if (first != '+' && first != '-') {
        m_header = Header::None;
        return;
    }
    qsizetype end = 1;
    while (end < head.size() && head.at(end) != '\r' && head.at(end) != '\n')
        ++end;
    const QByteArrayView rest = QByteArrayView(head).sliced(1, end - 1);
    if (!canStartHeader(first, rest)) {
        m_header = Header::None;
        return;
    }
    if (end == head.size()) {
        // The line has not ended yet; a close makes it data.
        if (closed)
            m_header = Header::None;
        return;
    }

    Header header = Header::None;
    if (rest == "-1")
        header = first == '+' ? Header::DotTerminated : Header::Error;
    else if (rest == "-2")
        header = first == '+' ? Header::UntilClose : Header::ErrorUntilClose;
    else if (first == '+')
        header = rest.isEmpty() ? Header::NoSize : Header::ByteCount;
    if (header == Header::None) {
        m_header = Header::None;
        return;
    }

    // Only the header's own line end belongs to it: CR LF, LF, or a CR not
    // followed by LF. A CR at the end of what has arrived waits for the next
    // byte.
    qsizetype length = end + 1;
    if (head.at(end) == '\r') {
        if (end + 1 < head.size()) {
            if (head.at(end + 1) == '\n')
                ++length;
        } else if (!closed) {
            return;
        }
    }
    m_header = header;
    m_headerLength = length;
    if (header == Header::ByteCount)
        m_size = sizeOf(rest);
}

QByteArray ReplyFramer::feed(QByteArrayView chunk)
{
    if (m_complete)
        return QByteArray();
    if (m_header != Header::Pending)
        return takeBody(chunk);

    m_head.append(chunk.data(), chunk.size());
    examineHeader(false);
    if (m_header == Header::Pending)
        return QByteArray();
    const QByteArray head = std::exchange(m_head, QByteArray());
    if (hasSize() && m_size == 0)
        m_complete = true; // "+0": an empty item
    return takeBody(QByteArrayView(head).sliced(m_headerLength));
}

QByteArray ReplyFramer::finish()
{
    if (m_header != Header::Pending)
        return QByteArray();
    examineHeader(true);
    const QByteArray head = std::exchange(m_head, QByteArray());
    if (hasSize() && m_size == 0)
        m_complete = true;
    return takeBody(QByteArrayView(head).sliced(m_headerLength));
}

QByteArray ReplyFramer::takeBody(QByteArrayView data)
{
    if (m_complete || data.isEmpty())
        return QByteArray();
    qsizetype take = data.size();
    if (hasSize())
        take = qsizetype(std::min<quint64>(quint64(take), m_size - m_body));
    if (endsAtDotLine()) {
        const qsizetype end = findDotLineEnd(data.first(take));
        if (end >= 0) {
            take = end;
            m_complete = true;
        }
    }
    m_body += quint64(take);
    if (hasSize() && m_body == m_size)
        m_complete = true;
    return data.first(take).toByteArray();
}

qsizetype ReplyFramer::findDotLineEnd(QByteArrayView data)
{
    const char *p = data.data();
    const qsizetype n = data.size();
    qsizetype i = 0;
    while (i < n) {
        switch (m_dot) {
        case DotScan::LineStart:
            if (p[i] == '.') {
                m_dot = DotScan::Dot;
                ++i;
            } else {
                m_dot = DotScan::InLine;
            }
            break;
        case DotScan::Dot:
            if (p[i] == '\n')
                return i + 1;
            if (p[i] == '\r') {
                m_dot = DotScan::DotCr;
                ++i;
            } else {
                m_dot = DotScan::InLine;
            }
            break;
        case DotScan::DotCr:
            // The "." line has ended; its LF, if one follows, belongs to it.
            return p[i] == '\n' ? i + 1 : i;
        case DotScan::InLine: {
            // Lines end at CR or LF; memchr finds both far faster than a
            // loop over the bytes of a long reply.
            const void *lf = std::memchr(p + i, '\n', size_t(n - i));
            const qsizetype limit = lf ? static_cast<const char *>(lf) - p : n;
            const void *cr = std::memchr(p + i, '\r', size_t(limit - i));
            const qsizetype end = cr ? static_cast<const char *>(cr) - p : limit;
            if (end < n) {
                i = end + 1;
                m_dot = DotScan::LineStart;
            } else {
                i = n;
            }
            break;
        }
        }
    }
    return -1;
}
