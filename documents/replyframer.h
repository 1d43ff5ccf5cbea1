#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Tells the Gopher+ reply header from the data and finds the end of a reply,
// whatever pieces the network hands over. Fed with the received chunks in
// order, it gives back the bytes that belong to the item: the header line
// taken off, and nothing after the end of the reply.
//
// Headers (the first line of a Gopher+ reply):
//   "+N"   N bytes of data follow; the reply ends after them
//   "+-1"  data ending with a line holding only "."
//   "+-2"  data until the server closes
//   "+"    a header without a size: data until the server closes
//   "--1"  an error text ending with a "." line
//   "--2"  an error text until the server closes
// Anything else is data without a header; it ends at a "." line when the
// document kind says so (menus and texts), otherwise when the server closes.
class ReplyFramer
{
public:
    enum class Header {
        Pending,        // not enough bytes yet to tell
        None,           // the reply has no header
        ByteCount,      // "+N"
        NoSize,         // "+" without digits
        DotTerminated,  // "+-1"
        UntilClose,     // "+-2"
        Error,          // "--1"
        ErrorUntilClose // "--2"
    };

    // A header line is short: a '+', at most twenty digits and its line end.
    static constexpr int MaxHeaderLine = 24;

    explicit ReplyFramer(bool headerlessEndsAtDot = false);

    // Starts again for a new reply.
    void reset(bool headerlessEndsAtDot);

    // Takes the next chunk; returns the bytes of it that belong to the item.
    // Bytes of a header line that is not complete yet are held back.
    QByteArray feed(QByteArrayView chunk);
    // The server has closed: a header line that never completed is data.
    QByteArray finish();

    Header header() const { return m_header; }
    bool headerKnown() const { return m_header != Header::Pending; }
    bool isError() const { return m_header == Header::Error || m_header == Header::ErrorUntilClose; }
    // The announced size of a "+N" reply.
    bool hasSize() const { return m_header == Header::ByteCount; }
    quint64 announcedSize() const { return m_size; }
    // Whether a line holding only "." ends this reply.
    bool endsAtDotLine() const;
    // The reply has ended by its own framing (the "." line or the announced
    // size); later bytes are not part of it.
    bool isComplete() const { return m_complete; }
    // Data bytes given back so far.
    quint64 bodyBytes() const { return m_body; }
    // A "+N" reply that has fewer than N bytes (meaningful once the server
    // has closed).
    bool isShort() const { return hasSize() && m_body < m_size; }

private:
    enum class DotScan { LineStart, Dot, DotCr, InLine };

    // Decides the header from the bytes held so far; closed says no more
    // bytes will come.
    void examineHeader(bool closed);
    // Passes data bytes on, stopping at the end of the reply.
    QByteArray takeBody(QByteArrayView data);
    // The length of data up to and including the end of a "." line, or -1.
    qsizetype findDotLineEnd(QByteArrayView data);

    bool m_headerlessEndsAtDot = false;
    Header m_header = Header::Pending;
    QByteArray m_head;
    qsizetype m_headerLength = 0;
    quint64 m_size = 0;
    quint64 m_body = 0;
    bool m_complete = false;
    DotScan m_dot = DotScan::LineStart;
};
