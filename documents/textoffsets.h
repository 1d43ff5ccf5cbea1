#pragma once

#include "documents/textmarker.h"
#include "items/textencoding.h"

#include <QList>
#include <QString>

class CQTextDoc;

// Character offsets across a text as assistive technology counts them: the
// lines as shown, each but the last followed by "\n". The offsets are kept
// line by line as the text arrives, so a query decodes only the lines it
// touches, never the whole text (a text may hold 32,766 lines).
class TextOffsets
{
public:
    // What changed in the joined text at the last update().
    struct Change
    {
        int position = 0;       // where the text changed
        int removedLength = 0;  // characters that are gone from there on
        bool inserted = false;  // text from position to the end is new
    };

    // Follows the store: lines added since the last call are counted, and so
    // is the last line counted before (the end of a transfer may change it).
    // A store with fewer lines, or another encoding, is counted afresh.
    Change update(const CQTextDoc &store, TextEncoding encoding);
    void clear();

    TextEncoding encoding() const { return m_encoding; }
    int lineCount() const { return int(m_starts.size()); }
    int characterCount() const;
    // The offset of a line's first character; characterCount() beyond the last.
    int lineStart(int line) const;
    // A line's characters without its "\n".
    int lineLength(int line) const;
    // The line an offset falls on; an offset on a "\n" belongs to the line it
    // ends. -1 for an empty text.
    int lineAt(int offset) const;

    // A byte position of the store and the offset of its character.
    int offsetOf(const CQTextDoc &store, TextPosition pos) const;
    TextPosition positionOf(const CQTextDoc &store, int offset) const;
    // The joined text from start to end (offsets clamped to the text).
    QString text(const CQTextDoc &store, int start, int end) const;

    // Lines decoded to answer queries so far: a query reads the lines it
    // touches, never the whole text.
    qint64 linesRead() const { return m_linesRead; }

private:
    QList<int> m_starts;
    QList<int> m_lengths;
    QByteArray m_lastLine; // the bytes of the last line counted, to see if it changed
    TextEncoding m_encoding = TextEncoding::Automatic;
    mutable qint64 m_linesRead = 0;
};
