#include "ui/gplus/selectviewdialog.h"

#include "ui/accessiblename.h"
#include "items/displaytext.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

CSelectViewDialog::CSelectViewDialog(const QList<ViewChoice> &entries, int best,
                                     std::function<bool(int)> accept, QWidget *parent)
    : QDialog(parent), m_accept(std::move(accept))
{
    setWindowTitle(QStringLiteral("Select Extended View"));
    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(QStringLiteral("&Views offered for this item:"), this);
    layout->addWidget(label);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("views"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setColumnCount(3);
    m_list->setHeaderLabels({QStringLiteral("View"), QStringLiteral("Language"),
                             QStringLiteral("Size")});
    labelField(label, m_list);
    QList<QTreeWidgetItem *> rows;
    rows.reserve(entries.size());
    for (const ViewChoice &c : entries) {
        rows.append(new QTreeWidgetItem(QStringList{displayText(c.type), displayText(c.languageName),
                                                    displayText(c.sizeText)}));
    }
    m_list->addTopLevelItems(rows);
    for (int column = 0; column < 3; ++column)
        m_list->resizeColumnToContents(column);
    layout->addWidget(m_list);

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &CSelectViewDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &CSelectViewDialog::reject);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &CSelectViewDialog::updateOk);
    connect(m_list, &QTreeWidget::itemActivated, this, &CSelectViewDialog::accept);

    if (best >= 0 && best < rows.size()) {
        m_list->setCurrentItem(rows.at(best));
        m_list->scrollToItem(rows.at(best));
    } else {
        m_list->setCurrentItem(nullptr);
        m_list->clearSelection();
    }
    updateOk();
    resize(qMax(sizeHint().width(), 460), 300);
}

bool CSelectViewDialog::okEnabled() const
{
    return m_buttons->button(QDialogButtonBox::Ok)->isEnabled();
}

void CSelectViewDialog::updateOk()
{
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(!m_list->selectedItems().isEmpty());
}

void CSelectViewDialog::accept()
{
    const QList<QTreeWidgetItem *> selected = m_list->selectedItems();
    if (selected.isEmpty())
        return;
    const int index = m_list->indexOfTopLevelItem(selected.first());
    // A view the program does not know yet is defined first; without that
    // the choice stays open.
    if (m_accept && !m_accept(index))
        return;
    m_chosen = index;
    QDialog::accept();
}
