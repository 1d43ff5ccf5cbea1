#pragma once

#include "items/bookmark.h"

#include <QList>

// The bookmarks of one category, in stored order. It owns its items: a copy
// is a copy of every item.
class CBookmarkArray
{
public:
    qsizetype size() const { return m_items.size(); }
    bool isEmpty() const { return m_items.isEmpty(); }
    const CBookmark &at(qsizetype i) const { return m_items.at(i); }
    CBookmark &operator[](qsizetype i) { return m_items[i]; }
    void append(const CBookmark &item) { m_items.append(item); }
    void reserve(qsizetype n) { m_items.reserve(n); }
    // Removes `count` entries from index i; later entries move down.
    void removeAt(qsizetype i, qsizetype count = 1) { m_items.remove(i, count); }
    void clear() { m_items.clear(); }
    const QList<CBookmark> &items() const { return m_items; }

private:
    QList<CBookmark> m_items;
};
