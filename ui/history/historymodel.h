#pragma once

#include "documents/boolsearch.h"
#include "documents/historystore.h"

#include <QAbstractTableModel>

#include <optional>
#include <vector>

class ItemIcons;

// The history as the History window lists it: newest first, every entry or
// those the last Find matched. The rows are indexes into the store's
// entries, so a long history costs a number a row.
class HistoryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { TimeColumn, TitleColumn, UrlColumn, ColumnCount };

    HistoryModel(HistoryStore &store, ItemIcons *icons, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const HistoryEntry &entry(int row) const;
    // Shows only the entries whose title or URL the search matches (a
    // compiled pattern); none shows them all again.
    void setSearch(std::optional<CBoolSearch> search);
    bool isFiltered() const { return m_search.has_value(); }

private:
    void rebuild();
    void onEntryAdded(const HistoryEntry &entry);

    HistoryStore &m_store;
    ItemIcons *m_icons;
    std::vector<int> m_rows;
    std::optional<CBoolSearch> m_search;
};
