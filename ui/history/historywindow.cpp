#include "ui/history/historywindow.h"

#include "documents/boolsearch.h"
#include "documents/userinterface.h"
#include "ui/history/historymodel.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QString itemsText(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 item") : QString::number(count) + QStringLiteral(" items");
}

QPushButton *button(const QString &text, const char *icon)
{
    auto *b = new QPushButton(QIcon::fromTheme(QString::fromLatin1(icon)), text);
    // Enter belongs to the Find field and to the list, never to a button.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

} // namespace

HistoryWindow::HistoryWindow(HistoryStore &store, UserInterface &ui, ItemIcons *icons,
                             Opener open, QWidget *parent)
    : QDialog(parent), m_store(store), m_ui(ui), m_open(std::move(open))
{
    setWindowTitle(QStringLiteral("History"));
    setModal(false);

    m_find = new QLineEdit;
    m_find->setClearButtonEnabled(true);
    m_find->setToolTip(QStringLiteral("Words in the title or the URL; AND, OR, NOT and ADJ "
                                      "join two of them. Empty lists every item."));
    auto *findLabel = new QLabel(QStringLiteral("F&ind:"));
    findLabel->setBuddy(m_find);
    QPushButton *findButton = button(QStringLiteral("&Find"), "edit-find");

    m_model = new HistoryModel(m_store, icons, this);
    m_list = new QTreeView;
    m_list->setModel(m_model);
    m_list->setAccessibleName(QStringLiteral("History"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setTextElideMode(Qt::ElideMiddle);
    // Widths from the font, not from the contents: measuring a long
    // history's rows would hold the window up.
    const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    m_list->header()->resizeSection(HistoryModel::TimeColumn, digit * 18);
    m_list->header()->resizeSection(HistoryModel::TitleColumn, digit * 40);
    m_list->header()->setStretchLastSection(true);

    m_count = new QLabel;
    m_openButton = button(QStringLiteral("&Open"), "document-open");
    m_delete = button(QStringLiteral("&Delete"), "edit-delete");
    m_clear = button(QStringLiteral("C&lear History"), "edit-clear-history");
    QPushButton *close = button(QStringLiteral("Close"), "window-close");

    auto *findRow = new QHBoxLayout;
    findRow->addWidget(findLabel);
    findRow->addWidget(m_find, 1);
    findRow->addWidget(findButton);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_count, 1);
    buttons->addWidget(m_openButton);
    buttons->addWidget(m_delete);
    buttons->addWidget(m_clear);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(findRow);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    auto *deleteKey = new QAction(this);
    deleteKey->setShortcut(QKeySequence::Delete);
    deleteKey->setShortcutContext(Qt::WidgetShortcut);
    m_list->addAction(deleteKey);

    connect(m_find, &QLineEdit::returnPressed, this, &HistoryWindow::onFind);
    connect(findButton, &QPushButton::clicked, this, &HistoryWindow::onFind);
    connect(m_list, &QTreeView::activated, this, &HistoryWindow::onOpen);
    connect(m_openButton, &QPushButton::clicked, this, &HistoryWindow::onOpen);
    connect(m_delete, &QPushButton::clicked, this, &HistoryWindow::onDelete);
    connect(deleteKey, &QAction::triggered, this, &HistoryWindow::onDelete);
    connect(m_clear, &QPushButton::clicked, this, &HistoryWindow::onClear);
    connect(close, &QPushButton::clicked, this, &HistoryWindow::close);
    connect(m_model, &QAbstractItemModel::modelReset, this, &HistoryWindow::updateCount);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &HistoryWindow::updateCount);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &HistoryWindow::updateButtons);
    connect(m_model, &QAbstractItemModel::modelReset, this, &HistoryWindow::updateButtons);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &HistoryWindow::updateButtons);

    resize(digit * 110, digit * 45);
    updateCount();
    updateButtons();
    m_find->setFocus();
}

void HistoryWindow::onFind()
{
    const QByteArray pattern = m_find->text().toUtf8();
    if (pattern.isEmpty()) {
        m_model->setSearch(std::nullopt);
        return;
    }
    CBoolSearch search(&m_ui);
    search.SetEncoding(TextEncoding::Utf8);
    // A pattern the matcher refuses has been explained; the list stays.
    if (!search.SetPattern(pattern))
        return;
    m_model->setSearch(search);
    if (m_model->rowCount() > 0)
        m_list->setCurrentIndex(m_model->index(0, HistoryModel::TitleColumn));
}

QList<HistoryEntry> HistoryWindow::selectedEntries() const
{
    QList<int> rows;
    for (const QModelIndex &index : m_list->selectionModel()->selectedRows())
        rows.append(index.row());
    if (rows.isEmpty() && m_list->currentIndex().isValid())
        rows.append(m_list->currentIndex().row());
    std::sort(rows.begin(), rows.end());
    QList<HistoryEntry> entries;
    for (const int row : std::as_const(rows))
        entries.append(m_model->entry(row));
    return entries;
}

void HistoryWindow::onOpen()
{
    for (const HistoryEntry &entry : selectedEntries())
        m_open(entry);
}

void HistoryWindow::onDelete()
{
    const QList<HistoryEntry> doomed = selectedEntries();
    if (doomed.isEmpty())
        return;
    const int row = m_list->currentIndex().row();
    if (!m_store.remove(doomed)) {
        reportWriteFailure();
        return;
    }
    // The keyboard stays where it was: the next entry takes the place.
    if (m_model->rowCount() > 0)
        m_list->setCurrentIndex(
            m_model->index(qBound(0, row, m_model->rowCount() - 1), HistoryModel::TitleColumn));
}

void HistoryWindow::onClear()
{
    const int answer = m_ui.messageBox(QByteArray("Clear the whole history?"),
                                       UserInterface::Question, UserInterface::YesNo);
    if (answer != UserInterface::AnswerYes)
        return;
    if (!m_store.clear())
        reportWriteFailure();
}

void HistoryWindow::reportWriteFailure()
{
    m_ui.messageBox(QByteArray("Could not write the history file\n") + m_store.path().toUtf8()
                        + "\n" + m_store.lastError().toUtf8(),
                    UserInterface::Exclamation);
}

void HistoryWindow::updateCount()
{
    const qsizetype all = qsizetype(m_store.entries().size());
    m_count->setText(m_model->isFiltered()
                         ? QString::number(m_model->rowCount()) + QStringLiteral(" of ")
                               + itemsText(all)
                         : itemsText(all));
}

void HistoryWindow::updateButtons()
{
    const bool chosen = m_list->selectionModel()->hasSelection();
    m_openButton->setEnabled(chosen);
    m_delete->setEnabled(chosen);
    m_clear->setEnabled(!m_store.entries().empty());
}
