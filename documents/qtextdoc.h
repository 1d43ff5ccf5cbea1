#pragma once

#include "documents/maxarray.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

class UserInterface;

// The line store of a text document: received bytes are cut into lines as
// they arrive, block by block, and the view reads them back by line number.
class CQTextDoc
{
public:
    static constexpr int MaxLines = 32767;
    static constexpr int MaxPending = 32767;

    explicit CQTextDoc(UserInterface *ui = nullptr);

    void setUserInterface(UserInterface *ui) { m_ui = ui; }
    // Whether a line holding only "." ends the text (plain replies); in a
    // reply framed by its size or by the close it is a line like any other.
    void setEndsAtDotLine(bool ends) { m_endsAtDot = ends; }

    // Appends one received block and stores every line it completes. Does
    // nothing once the store has ended or is full. A line that grows to
    // MaxPending characters keeps its head; the rest of it is dropped.
    void AddText(QByteArrayView data);
    // Marks the store ended: keeps a last line that had no line end, releases
    // spare capacity and drops a trailing "." terminator line.
    void Finish();
    void Reset();

    // The line at the index, or an empty string beyond the lines held.
    QByteArray GetLine(int index) const;
    int GetLineCount() const { return m_lineCount; }
    int GetLongestLine() const { return m_longestLine; }
    bool IsEnded() const { return m_ended; }
    bool IsOverflow() const { return m_overflow; }
    // The lines that a form feed ended, in order.
    const QList<int> &formFeedLines() const { return m_formFeedLines; }
    // Characters received after the last line end.
    int pendingLength() const { return int(m_pending.size()); }

private:
    enum class Stored { More, Terminator, Full };

    Stored storeLine(QByteArrayView line);

    UserInterface *m_ui = nullptr;
    int m_lineCount = 0;
    int m_longestLine = 0;
    bool m_ended = false;
    bool m_overflow = false;
    bool m_endsAtDot = true;
    // The pending line was cut at MaxPending: drop bytes up to its end.
    bool m_cutting = false;
    CMaxArray m_lines;
    QList<int> m_formFeedLines;
    QByteArray m_pending;
};
