#include "ui/gplus/languagesdialog.h"

#include "gplus/languagetable.h"
#include "items/displaytext.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

CLanguagesDialog::CLanguagesDialog(LanguageTable &table, QWidget *parent)
    : QDialog(parent), m_table(table)
{
    setWindowTitle(QStringLiteral("Languages"));
    confirmCancel = [this] {
        return QMessageBox::question(this, windowTitle(),
                                     QStringLiteral("Cancelling will cause changes to be ignored"),
                                     QMessageBox::Ok | QMessageBox::Cancel)
               == QMessageBox::Ok;
    };
    if (!m_table.isLoaded())
        static_cast<void>(m_table.Load()); // a failure has been shown; the list starts empty

    m_tag = new QLineEdit(this);
    m_tag->setObjectName(QStringLiteral("tag"));
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("name"));
    auto *addButton = new QPushButton(QStringLiteral("&Add"), this);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Language &tag:"), m_tag);
    form->addRow(QStringLiteral("&Descriptive name:"), m_name);
    auto *top = new QHBoxLayout;
    top->addLayout(form, 1);
    top->addWidget(addButton, 0, Qt::AlignBottom);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("languages"));
    m_list->setAccessibleName(QStringLiteral("Languages"));
    m_list->setRootIsDecorated(false);
    m_list->setColumnCount(2);
    m_list->setHeaderLabels({QStringLiteral("Tag"), QStringLiteral("Name")});
    for (auto it = m_table.entries().cbegin(); it != m_table.entries().cend(); ++it)
        m_list->addTopLevelItem(new QTreeWidgetItem({displayText(it.key()), displayText(it.value())}));
    m_list->sortItems(0, Qt::AscendingOrder);
    m_list->setSortingEnabled(true);
    m_list->sortByColumn(0, Qt::AscendingOrder);
    m_list->setCurrentItem(nullptr);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel
                                             | QDialogButtonBox::Help,
                                         this);
    // Greyed until the manual is attached (QtUserInterface::attachHelp).
    buttons->button(QDialogButtonBox::Help)->setEnabled(false);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_list, 1);
    layout->addWidget(buttons);

    for (QLineEdit *field : {m_tag, m_name})
        connect(field, &QLineEdit::textEdited, this, [this] { m_edited = true; });
    connect(addButton, &QPushButton::clicked, this, &CLanguagesDialog::add);
    connect(m_list, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *current) { selectRow(current); });
    connect(buttons, &QDialogButtonBox::accepted, this, &CLanguagesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CLanguagesDialog::reject);
    resize(420, 360);
}

void CLanguagesDialog::selectRow(QTreeWidgetItem *row)
{
    if (m_edited) {
        change();
        m_edited = false;
    }
    m_selected = row;
    if (!row)
        return;
    m_tag->setText(row->text(0));
    m_name->setText(row->text(1));
}

void CLanguagesDialog::add()
{
    const QByteArray tag = m_tag->text().toUtf8();
    if (m_table.contains(tag)) {
        change();
        return;
    }
    auto *row = new QTreeWidgetItem({m_tag->text(), m_name->text()});
    m_list->addTopLevelItem(row);
    m_table.setEntry(tag, m_name->text().toUtf8());
    m_edited = false;
    m_changed = true;
    m_list->setCurrentItem(row);
}

void CLanguagesDialog::change()
{
    // A change needs the row it replaces.
    if (!m_selected)
        return;
    m_table.removeEntry(m_selected->text(0).toUtf8());
    m_table.setEntry(m_tag->text().toUtf8(), m_name->text().toUtf8());
    m_selected->setText(0, m_tag->text());
    m_selected->setText(1, m_name->text());
    m_edited = false;
    m_changed = true;
}

void CLanguagesDialog::accept()
{
    if (m_edited)
        change();
    QDialog::accept();
}

void CLanguagesDialog::reject()
{
    if (m_changed && confirmCancel && !confirmCancel())
        return;
    QDialog::reject();
}
