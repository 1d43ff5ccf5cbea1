#include "ui/bookmarks/categoriesdialog.h"

#include "bookmarks/bookmarkstore.h"
#include "documents/userinterface.h"
#include "items/displaytext.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

CCategoriesDialog::CCategoriesDialog(CBookmarkStore &store, UserInterface &ui, int mode,
                                     QWidget *parent)
    : QDialog(parent), m_store(store), m_ui(ui), m_list(new QListWidget(this)),
      m_name(new QLineEdit(this)), m_default(new QComboBox(this))
{
    setWindowTitle(titleOf(mode));
    m_name->setMaxLength(MaxNameLength);
    for (const QByteArray &name : m_store.GetCategories())
        m_list->addItem(displayText(name));

    auto *create = new QPushButton(tr("Create"), this);
    auto *rename = new QPushButton(tr("Rename"), this);
    auto *remove = new QPushButton(tr("Delete"), this);
    auto *ok = new QPushButton(tr("OK"), this);
    auto *cancel = new QPushButton(tr("Cancel"), this);
    ok->setDefault(true);
    auto *buttons = new QVBoxLayout;
    for (QPushButton *b : {create, rename, remove, ok, cancel})
        buttons->addWidget(b);
    buttons->addStretch();
    auto *left = new QVBoxLayout;
    left->addWidget(m_list);
    auto *form = new QFormLayout;
    form->addRow(tr("Name:"), m_name);
    form->addRow(tr("Default category:"), m_default);
    left->addLayout(form);
    auto *top = new QHBoxLayout(this);
    top->addLayout(left, 1);
    top->addLayout(buttons);

    const QByteArray current = m_store.GetDefaultCategory();
    fillDefaultList();
    if (!current.isEmpty())
        selectName(current);

    // The entry the list shows as current is the one selected: a list that
    // takes the keyboard makes its first entry current, and its name shows in
    // "Name:", so OK must take it ("Default" at the first bookmark).
    const auto takeCurrent = [this](QListWidgetItem *item) {
        if (!item)
            return;
        item->setSelected(true);
        m_name->setText(item->text());
        m_typed = false;
    };
    connect(m_list, &QListWidget::currentItemChanged, this, takeCurrent);
    // The list may have made its first entry current while it was filled.
    takeCurrent(m_list->currentItem());
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
        m_name->setText(item->text());
        m_typed = false;
        onOk();
    });
    connect(m_name, &QLineEdit::textEdited, this, [this] { m_typed = true; });
    connect(m_default, &QComboBox::activated, this, &CCategoriesDialog::onDefaultChosen);
    connect(create, &QPushButton::clicked, this, &CCategoriesDialog::onCreate);
    connect(rename, &QPushButton::clicked, this, &CCategoriesDialog::onRename);
    connect(remove, &QPushButton::clicked, this, &CCategoriesDialog::onDelete);
    connect(ok, &QPushButton::clicked, this, &CCategoriesDialog::onOk);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    // Centred on the main window by QDialog once it has its size.
}

QString CCategoriesDialog::titleOf(int mode)
{
    switch (mode) {
    case CBookmarkStore::SaveBookmarkIn: return QStringLiteral("Select category to save bookmark in");
    case CBookmarkStore::EditCategory: return QStringLiteral("Select category to edit");
    case CBookmarkStore::SelectCategory: return QStringLiteral("Select category");
    default: return QStringLiteral("Bookmark Categories");
    }
}

void CCategoriesDialog::message(const QByteArray &text)
{
    m_ui.messageBox(text, UserInterface::Exclamation, UserInterface::Ok);
}

QByteArray CCategoriesDialog::typedName() const
{
    return textBytes(m_name->text());
}

void CCategoriesDialog::selectName(const QByteArray &name)
{
    const QList<QListWidgetItem *> found = m_list->findItems(displayText(name), Qt::MatchExactly);
    if (!found.isEmpty())
        m_list->setCurrentItem(found.first());
}

void CCategoriesDialog::fillDefaultList()
{
    const QByteArray current = m_store.GetDefaultCategory();
    m_default->clear();
    m_default->addItem(QString::fromLatin1(NoDefault));
    for (const QByteArray &name : m_store.GetCategories())
        m_default->addItem(displayText(name), name);
    const int at = current.isEmpty() ? 0 : m_default->findData(current);
    if (at < 0) {
        // A default that names a category no longer in the list is shown as it is.
        m_default->addItem(displayText(current), current);
        m_default->setCurrentIndex(m_default->count() - 1);
    } else {
        m_default->setCurrentIndex(at);
    }
}

void CCategoriesDialog::onDefaultChosen(int index)
{
    if (index <= 0)
        return;
    selectName(m_default->itemData(index).toByteArray());
}

void CCategoriesDialog::onCreate()
{
    const QByteArray name = typedName();
    if (name.isEmpty()) {
        message("Please enter a new name");
        return;
    }
    if (!m_list->findItems(displayText(name), Qt::MatchExactly).isEmpty()) {
        message("That category already exists.  Please try again!");
        return;
    }
    if (!m_store.AddCategory(name))
        return;
    m_list->addItem(displayText(name));
    m_list->setCurrentRow(m_list->count() - 1);
    m_default->addItem(displayText(name), name);
}

void CCategoriesDialog::onRename()
{
    const QByteArray name = typedName();
    QListWidgetItem *selected = m_list->currentItem();
    if (name.isEmpty()) {
        message("Please enter a new name");
        return;
    }
    if (!selected || !selected->isSelected()) {
        message("Please select a category from the list");
        return;
    }
    const QByteArray old = textBytes(selected->text());
    if (name == old) {
        message("Please enter a new name");
        return;
    }
    if (!m_store.RenameCategory(old, name))
        return;
    selected->setText(displayText(name));
    m_list->setCurrentItem(selected);
    const int at = m_default->findData(old);
    if (at > 0) {
        m_default->setItemText(at, displayText(name));
        m_default->setItemData(at, name);
    }
}

void CCategoriesDialog::onDelete()
{
    QListWidgetItem *selected = m_list->currentItem();
    if (!selected || !selected->isSelected()) {
        message("Please select a category from the list");
        return;
    }
    const QByteArray name = textBytes(selected->text());
    if (m_ui.messageBox("Are you sure you want to delete '" + name + "'?", UserInterface::Question,
                        UserInterface::OkCancel) != UserInterface::AnswerOk)
        return;
    if (!m_store.DeleteCategory(name))
        return;
    const int row = m_list->row(selected);
    delete m_list->takeItem(row);
    if (m_list->count() > 0) {
        m_list->setCurrentRow(qMin(row, m_list->count() - 1));
        m_name->setText(m_list->currentItem()->text());
    }
    const int at = m_default->findData(name);
    if (at > 0) {
        if (m_default->currentIndex() == at)
            m_default->setCurrentIndex(0);
        m_default->removeItem(at);
    }
}

void CCategoriesDialog::onOk()
{
    const QByteArray name = typedName();
    const bool inList = !m_list->findItems(displayText(name), Qt::MatchExactly).isEmpty();
    if (m_typed && !name.isEmpty() && !inList) {
        if (m_ui.messageBox("Do you wish to create the category '" + name + "'?",
                            UserInterface::Question, UserInterface::YesNo)
            != UserInterface::AnswerYes)
            return;
        if (!m_store.AddCategory(name))
            return;
        m_result = name;
    } else if (m_typed && inList) {
        selectName(name);
        m_result = name;
    } else {
        QListWidgetItem *selected = m_list->currentItem();
        if (!selected || !selected->isSelected()) {
            message("Please select a category from the list");
            return;
        }
        m_result = textBytes(selected->text());
    }
    const int at = m_default->currentIndex();
    const QByteArray chosen = at <= 0 ? QByteArray() : m_default->itemData(at).toByteArray();
    if (chosen != m_store.GetDefaultCategory() && !m_store.SetDefaultCategory(chosen))
        return;
    accept();
}
