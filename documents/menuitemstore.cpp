#include "documents/menuitemstore.h"

void MenuItemStore::append(QByteArrayView line, QByteArrayView attributes)
{
    Entry entry;
    entry.offset = m_bytes.size();
    entry.lineLength = quint32(line.size());
    entry.attributeLength = quint32(attributes.size());
    entry.tlsOrigin = m_currentOrigin;
    m_bytes.append(line.data(), line.size());
    m_bytes.append(attributes.data(), attributes.size());
    m_entries.push_back(entry);
}

void MenuItemStore::appendServerLine(QByteArrayView line)
{
    if (m_entries.empty() || m_entries.back().serverLength + line.size() + 1 > MaxServerBytes)
        return;
    // The last item's bytes end the buffer, so its server lines can follow.
    m_bytes.append(line.data(), line.size());
    m_bytes.append('\n');
    m_entries.back().serverLength += quint32(line.size() + 1);
}

namespace {

// "[::1]" in a menu line and "::1" from a URL are the same host.
QByteArrayView bareHost(QByteArrayView host)
{
    if (host.size() > 2 && host.startsWith('[') && host.endsWith(']'))
        return host.sliced(1, host.size() - 2);
    return host;
}

} // namespace

void MenuItemStore::setOrigin(const QByteArray &host, quint16 port, bool tls)
{
    m_currentOrigin = 0;
    if (!tls)
        return;
    for (qsizetype i = 0; i < m_tlsOrigins.size(); ++i) {
        if (m_tlsOrigins.at(i).host == host && m_tlsOrigins.at(i).port == port) {
            m_currentOrigin = quint16(i + 1);
            return;
        }
    }
    // A window goes through few servers; past this many, links of further
    // TLS menus are taken as the server writes them.
    if (m_tlsOrigins.size() >= 0xFFFE)
        return;
    m_tlsOrigins.append({host, port});
    m_currentOrigin = quint16(m_tlsOrigins.size());
}

void MenuItemStore::clear()
{
    m_bytes = QByteArray();
    std::vector<Entry>().swap(m_entries);
}

void MenuItemStore::squeeze()
{
    m_bytes.squeeze();
    m_entries.shrink_to_fit();
}

QByteArrayView MenuItemStore::lineOf(const Entry &entry) const
{
    return QByteArrayView(m_bytes.constData() + entry.offset, entry.lineLength);
}

CBookmark MenuItemStore::item(int index, bool withIndex) const
{
    const Entry &entry = m_entries[size_t(index)];
    CBookmark item;
    item.ParseMenuLine(lineOf(entry));
    if (entry.attributeLength != 0)
        item.ParseAttributes(QByteArrayView(m_bytes.constData() + entry.offset + entry.lineLength,
                                            entry.attributeLength));
    if (entry.serverLength != 0) {
        QByteArrayView servers(m_bytes.constData() + entry.offset + entry.lineLength
                                   + entry.attributeLength,
                               entry.serverLength);
        while (!servers.isEmpty()) {
            const qsizetype end = servers.indexOf('\n');
            item.redundantServers.append(CBookmark::ParseRedundantLine(servers.first(end)));
            servers = servers.sliced(end + 1);
        }
    }
    if (entry.type != 0)
        item.type = entry.type;
    if (entry.tlsOrigin != 0) {
        const Origin &origin = m_tlsOrigins.at(entry.tlsOrigin - 1);
        item.tls = item.port == origin.port && bareHost(item.host) == bareHost(origin.host);
    }
    if (withIndex)
        item.navigatorIndex = index;
    return item;
}

QByteArray MenuItemStore::title(int index) const
{
    return item(index).title;
}

void MenuItemStore::setType(int index, char type)
{
    m_entries[size_t(index)].type = type;
}

qsizetype MenuItemStore::memoryUsed() const
{
    return m_bytes.capacity() + qsizetype(m_entries.capacity() * sizeof(Entry));
}
