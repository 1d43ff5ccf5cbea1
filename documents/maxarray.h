#pragma once

#include <QByteArray>
#include <QList>

// A string array for very long lists (clipboard copies, the lines of a text
// document). Strings are kept in pages; index i lives in page i / PageSize at
// position i % PageSize.
//
// lastIndex() has two readings, depending on how the array is filled: after
// Add() it is the number of strings added, after SetAt() it is the last index
// written. RemoveLast() and CopyTo() follow the reading of their users.
class CMaxArray
{
public:
    static constexpr qsizetype PageSize = 1073741310;

    CMaxArray();

    void SetAt(qsizetype index, const QByteArray &text);
    void Add(const QByteArray &text);
    // The text at the index; an empty string beyond the texts held.
    QByteArray GetAt(qsizetype index) const;
    void RemoveLast();
    void RemoveAll();
    void FreeExtra();
    // Appends the texts 0 .. lastIndex() - 1 to the buffer, without separators.
    void CopyTo(QByteArray &buffer) const;

    qsizetype lastIndex() const { return m_lastIndex; }
    // Characters of every text stored since the last RemoveAll(); an upper
    // bound of what CopyTo() writes.
    qsizetype totalCharacters() const { return m_totalCharacters; }

private:
    QList<QList<QByteArray>> m_pages;
    qsizetype m_lastIndex = 0;
    qsizetype m_totalCharacters = 0;
};
