#pragma once

#include <QDialog>

#include <functional>

class ExtendedViewTable;
class QListWidget;

// "Rank Extended Views by User Preference": the ranked views, first
// preference on top, beside the unranked ones. OK numbers the ranked list
// from the top (N for the first down to 1 for the last).
class CRankViewsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CRankViewsDialog(ExtendedViewTable &table, QWidget *parent = nullptr);

    bool changed() const { return m_changed; }
    std::function<bool()> confirmCancel;

    QListWidget *ranked() const { return m_ranked; }
    QListWidget *unranked() const { return m_unranked; }

    void higher();
    void lower();
    void rank();
    void unrank();
    void accept() override;
    void reject() override;

    // The ranked names in the order shown: by name, then the records whose
    // ranks run N, N-1, ... moved to the places those ranks stand for.
    static QList<QByteArray> rankedOrder(const ExtendedViewTable &table);

private:
    void move(int step);

    ExtendedViewTable &m_table;
    QListWidget *m_ranked;
    QListWidget *m_unranked;
    bool m_changed = false;
};
