#include "ui/history/historymodel.h"

#include "items/bookmark.h"
#include "ui/itemicons.h"

#include <QDateTime>
#include <QIcon>

#include <numeric>

HistoryModel::HistoryModel(HistoryStore &store, ItemIcons *icons, QObject *parent)
    : QAbstractTableModel(parent), m_store(store), m_icons(icons)
{
    connect(&m_store, &HistoryStore::entriesReset, this, &HistoryModel::rebuild);
    connect(&m_store, &HistoryStore::entryAdded, this, &HistoryModel::onEntryAdded);
    rebuild();
}

int HistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int HistoryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

const HistoryEntry &HistoryModel::entry(int row) const
{
    return m_store.entries()[size_t(m_rows[size_t(row)])];
}

QVariant HistoryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const HistoryEntry &e = entry(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        switch (index.column()) {
        case TimeColumn:
            return QDateTime::fromSecsSinceEpoch(e.time).toString(QStringLiteral("yyyy-MM-dd hh:mm"));
        case TitleColumn:
            // An item without a title is known by its address.
            return QString::fromUtf8(e.title.isEmpty() ? e.url : e.title);
        case UrlColumn:
            return QString::fromUtf8(e.url);
        }
        break;
    case Qt::DecorationRole:
        if (index.column() == TitleColumn && m_icons) {
            CBookmark item;
            item.type = e.type;
            return QIcon(m_icons->icon(ItemIcons::iconKey(item)));
        }
        break;
    default:
        break;
    }
    return {};
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case TimeColumn:
        return QStringLiteral("Time");
    case TitleColumn:
        return QStringLiteral("Title");
    case UrlColumn:
        return QStringLiteral("URL");
    }
    return {};
}

void HistoryModel::setSearch(std::optional<CBoolSearch> search)
{
    m_search = std::move(search);
    rebuild();
}

void HistoryModel::rebuild()
{
    beginResetModel();
    if (m_search) {
        m_rows = m_store.find(*m_search);
    } else {
        const int count = int(m_store.entries().size());
        m_rows.resize(size_t(count));
        // Newest first.
        std::iota(m_rows.rbegin(), m_rows.rend(), 0);
    }
    endResetModel();
}

void HistoryModel::onEntryAdded(const HistoryEntry &added)
{
    if (m_search && !HistoryStore::matches(*m_search, added))
        return;
    beginInsertRows({}, 0, 0);
    m_rows.insert(m_rows.begin(), int(m_store.entries().size()) - 1);
    endInsertRows();
}
