#pragma once

#include "items/bookmark.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <vector>

// The items of a directory, kept compactly: the menu lines as received, one
// after another in a single buffer, with a small record per item. An item is
// made into a CBookmark only when somebody asks for it, so a menu of a few
// hundred thousand lines costs little more than its own bytes instead of a
// heap object per title, selector and host.
class MenuItemStore
{
public:
    // Appends the item of one menu line (without its line end); attributes is
    // the Gopher+ attribute text that came with it, if any.
    void append(QByteArrayView line, QByteArrayView attributes = {});
    // Attaches a "+" line (another server for the same item) to the last
    // item appended; an item keeps at most MaxServerBytes of them.
    void appendServerLine(QByteArrayView line);
    static constexpr quint32 MaxServerBytes = 4096;
    void clear();
    // Items appended from now on come from a menu of this server, fetched
    // over TLS or not: links to the same host and port of a TLS menu go over
    // TLS too.
    void setOrigin(const QByteArray &host, quint16 port, bool tls);
    // Gives back the room reserved for growth.
    void squeeze();

    int count() const { return int(m_entries.size()); }
    bool isEmpty() const { return m_entries.empty(); }
    // The item as ParseMenuLine and ParseAttributes make it; with index set as
    // navigatorIndex when withIndex is true.
    CBookmark item(int index, bool withIndex = false) const;
    // The title alone, as the item would carry it.
    QByteArray title(int index) const;
    // Replaces the item's type character (a view marks unknown types).
    void setType(int index, char type);

    // Bytes held: the line buffer's capacity plus the records.
    qsizetype memoryUsed() const;

private:
    struct Entry
    {
        qint64 offset = 0;      // of the line in m_bytes; its attributes follow it
        quint32 lineLength = 0;
        quint32 attributeLength = 0;
        quint32 serverLength = 0; // "+" lines after the attributes, each ended by LF
        char type = 0;          // 0: the type the line gives
        quint16 tlsOrigin = 0;  // 1 + index in m_tlsOrigins of the TLS menu it came from; 0 none
    };
    struct Origin
    {
        QByteArray host;
        quint16 port = 0;
    };

    QByteArrayView lineOf(const Entry &entry) const;

    QByteArray m_bytes;
    std::vector<Entry> m_entries;
    QList<Origin> m_tlsOrigins;
    quint16 m_currentOrigin = 0;
};
