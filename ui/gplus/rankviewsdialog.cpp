#include "ui/gplus/rankviewsdialog.h"

#include "ui/accessiblename.h"
#include "gplus/extendedviewtable.h"
#include "items/displaytext.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QByteArray nameOf(const QListWidgetItem *item)
{
    return item->text().toUtf8();
}

} // namespace

QList<QByteArray> CRankViewsDialog::rankedOrder(const ExtendedViewTable &table)
{
    QList<QByteArray> order;
    for (const CViewInfo &info : table.records()) {
        if (info.rank != 0)
            order.append(info.name);
    }
    std::sort(order.begin(), order.end());
    const int n = int(order.size());
    for (int pos = 0; pos < n; ++pos) {
        const int wanted = n - pos;
        for (int j = 0; j < n; ++j) {
            if (table.records().value(order.at(j)).rank == wanted) {
                order.move(j, pos);
                break;
            }
        }
    }
    return order;
}

CRankViewsDialog::CRankViewsDialog(ExtendedViewTable &table, QWidget *parent)
    : QDialog(parent), m_table(table)
{
    setWindowTitle(QStringLiteral("Rank Extended Views by User Preference"));
    confirmCancel = [this] {
        return QMessageBox::question(this, windowTitle(),
                                     QStringLiteral("Cancelling will cause changes to be ignored"),
                                     QMessageBox::Ok | QMessageBox::Cancel)
               == QMessageBox::Ok;
    };
    m_ranked = new QListWidget(this);
    m_ranked->setObjectName(QStringLiteral("ranked"));
    m_unranked = new QListWidget(this);
    m_unranked->setObjectName(QStringLiteral("unranked"));
    for (const QByteArray &name : rankedOrder(table))
        m_ranked->addItem(displayText(name));
    QList<QByteArray> rest;
    for (const CViewInfo &info : table.records()) {
        if (info.rank == 0)
            rest.append(info.name);
    }
    std::sort(rest.begin(), rest.end());
    for (const QByteArray &name : std::as_const(rest))
        m_unranked->addItem(displayText(name));

    QStyle *s = style();
    auto *up = new QPushButton(s->standardIcon(QStyle::SP_ArrowUp), QStringLiteral("HIGHER"), this);
    auto *down = new QPushButton(s->standardIcon(QStyle::SP_ArrowDown), QStringLiteral("LOWER"), this);
    auto *toRanked = new QPushButton(s->standardIcon(QStyle::SP_ArrowLeft), QStringLiteral("RANK"), this);
    auto *toUnranked = new QPushButton(s->standardIcon(QStyle::SP_ArrowRight), QStringLiteral("UNRANK"), this);
    auto *middle = new QVBoxLayout;
    middle->addStretch(1);
    for (QPushButton *b : {up, down, toRanked, toUnranked})
        middle->addWidget(b);
    middle->addStretch(1);

    auto *grid = new QGridLayout;
    auto *rankedLabel = new QLabel(QStringLiteral("Ranked views (Highest is first preference):"), this);
    auto *unrankedLabel = new QLabel(QStringLiteral("Unranked views:"), this);
    labelField(rankedLabel, m_ranked);
    labelField(unrankedLabel, m_unranked);
    grid->addWidget(rankedLabel, 0, 0);
    grid->addWidget(unrankedLabel, 0, 2);
    grid->addWidget(m_ranked, 1, 0);
    grid->addLayout(middle, 1, 1);
    grid->addWidget(m_unranked, 1, 2);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel
                                             | QDialogButtonBox::Help,
                                         this);
    // The help file is not written yet.
    buttons->button(QDialogButtonBox::Help)->setEnabled(false);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addWidget(buttons);

    connect(up, &QPushButton::clicked, this, &CRankViewsDialog::higher);
    connect(down, &QPushButton::clicked, this, &CRankViewsDialog::lower);
    connect(toRanked, &QPushButton::clicked, this, &CRankViewsDialog::rank);
    connect(toUnranked, &QPushButton::clicked, this, &CRankViewsDialog::unrank);
    connect(buttons, &QDialogButtonBox::accepted, this, &CRankViewsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CRankViewsDialog::reject);
}

void CRankViewsDialog::move(int step)
{
    const int row = m_ranked->currentRow();
    const int target = row + step;
    if (row < 0 || target < 0 || target >= m_ranked->count())
        return;
    QListWidgetItem *item = m_ranked->takeItem(row);
    m_ranked->insertItem(target, item);
    m_ranked->setCurrentRow(target);
    m_changed = true;
}

void CRankViewsDialog::higher()
{
    move(-1);
}

void CRankViewsDialog::lower()
{
    move(1);
}

void CRankViewsDialog::rank()
{
    const int row = m_unranked->currentRow();
    if (row < 0)
        return;
    QListWidgetItem *item = m_unranked->takeItem(row);
    const int below = m_ranked->currentRow();
    const int at = below < 0 ? 0 : below + 1;
    m_ranked->insertItem(at, item);
    m_ranked->setCurrentRow(at);
    if (m_unranked->count() > 0)
        m_unranked->setCurrentRow(qMin(row, m_unranked->count() - 1));
    m_changed = true;
}

void CRankViewsDialog::unrank()
{
    const int row = m_ranked->currentRow();
    if (row < 0)
        return;
    QListWidgetItem *item = m_ranked->takeItem(row);
    const QByteArray name = nameOf(item);
    int at = 0;
    while (at < m_unranked->count() && nameOf(m_unranked->item(at)) < name)
        ++at;
    m_unranked->insertItem(at, item);
    m_unranked->setCurrentRow(at);
    if (CViewInfo *info = m_table.record(name))
        info->rank = 0;
    m_changed = true;
}

void CRankViewsDialog::accept()
{
    const int n = m_ranked->count();
    for (int i = 0; i < n; ++i) {
        if (CViewInfo *info = m_table.record(nameOf(m_ranked->item(i))))
            info->rank = n - i;
    }
    if (n > 0)
        m_changed = true;
    QDialog::accept();
}

void CRankViewsDialog::reject()
{
    if (m_changed && confirmCancel && !confirmCancel())
        return;
    QDialog::reject();
}
