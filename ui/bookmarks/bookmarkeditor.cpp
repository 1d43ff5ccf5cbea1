#include "ui/bookmarks/bookmarkeditor.h"

#include "documents/userinterface.h"
#include "items/displaytext.h"
#include "items/itemrecords.h"
#include "ui/itemtype.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int IndexRole = Qt::UserRole;

// The categories list: opening it saves the shown category first.
class CategoryCombo : public QComboBox
{
public:
    using QComboBox::QComboBox;
    std::function<void()> beforePopup;
    void showPopup() override
    {
        if (beforePopup)
            beforePopup();
        QComboBox::showPopup();
    }
};

QByteArray count(const char *format, qsizetype n)
{
    return QByteArray(format).replace("%d", QByteArray::number(n));
}

} // namespace

CBookmarkEditor::CBookmarkEditor(CBookmarkStore &store, UserInterface &ui, const QByteArray &category,
                                 Opener open, std::function<int()> fetchAction, QWidget *parent)
    : QDialog(parent), m_store(store), m_ui(ui), m_open(std::move(open)),
      m_fetchAction(std::move(fetchAction)), m_list(new QListWidget(this)),
      m_title(new QLineEdit(this)), m_host(new QLineEdit(this)), m_port(new QLineEdit(this)),
      m_selector(new QLineEdit(this)), m_typeBox(new QComboBox(this)),
      m_type(std::make_unique<CItemType>(*m_typeBox)), m_plus(new QCheckBox(tr("&Gopher+"), this)),
      m_ask(new QCheckBox(tr("Ask form"), this)), m_categories(new CategoryCombo(this)),
      m_status(new QLabel(this)), m_fetch(new QPushButton(tr("Fetch"), this))
{
    setObjectName(QStringLiteral("bookmarkEditor"));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setSortingEnabled(true);
    m_host->setMaxLength(MaxHostLength);
    m_port->setValidator(new QIntValidator(0, 65535, m_port));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setFrameShape(QFrame::StyledPanel);

    auto *remove = new QPushButton(tr("Delete"), this);
    auto *move = new QPushButton(tr("Move"), this);
    auto *copy = new QPushButton(tr("Copy"), this);
    auto *paste = new QPushButton(tr("Paste"), this);
    auto *ok = new QPushButton(tr("OK"), this);
    auto *cancel = new QPushButton(tr("Cancel"), this);

    auto *fields = new QFormLayout;
    fields->addRow(tr("Category:"), m_categories);
    fields->addRow(tr("Title:"), m_title);
    fields->addRow(tr("Server name:"), m_host);
    fields->addRow(tr("Server port:"), m_port);
    fields->addRow(tr("Selector:"), m_selector);
    fields->addRow(tr("Item type:"), m_typeBox);
    auto *checks = new QHBoxLayout;
    checks->addWidget(m_plus);
    checks->addWidget(m_ask);
    checks->addStretch();
    fields->addRow(checks);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {m_fetch, remove, move, copy, paste})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto *left = new QVBoxLayout;
    left->addWidget(m_list, 1);
    left->addWidget(m_status);
    auto *middle = new QHBoxLayout;
    middle->addLayout(left, 1);
    middle->addLayout(fields, 1);
    auto *top = new QVBoxLayout(this);
    top->addLayout(middle, 1);
    top->addLayout(buttons);
    resize(720, 420);

    auto edited = [this] {
        if (!m_filling)
            m_edited = true;
    };
    for (QLineEdit *field : {m_title, m_host, m_port, m_selector})
        connect(field, &QLineEdit::textEdited, this, edited);
    connect(m_typeBox, &QComboBox::activated, this, edited);
    connect(m_plus, &QCheckBox::clicked, this, edited);
    // The Ask form box counts as an edit too: a change made there alone
    // would otherwise be lost without a word.
    connect(m_ask, &QCheckBox::clicked, this, edited);
    connect(m_list, &QListWidget::itemSelectionChanged, this, [this] {
        if (m_filling)
            return;
        writeBack();
        showSelection();
    });
    connect(m_list, &QListWidget::itemDoubleClicked, this, &CBookmarkEditor::onFetch);
    connect(m_fetch, &QPushButton::clicked, this, &CBookmarkEditor::onFetch);
    connect(remove, &QPushButton::clicked, this, &CBookmarkEditor::onDelete);
    connect(move, &QPushButton::clicked, this, &CBookmarkEditor::onMove);
    connect(copy, &QPushButton::clicked, this, &CBookmarkEditor::onCopy);
    connect(paste, &QPushButton::clicked, this, &CBookmarkEditor::onPaste);
    connect(ok, &QPushButton::clicked, this, &CBookmarkEditor::onOk);
    connect(cancel, &QPushButton::clicked, this, &CBookmarkEditor::onCancel);
    static_cast<CategoryCombo *>(m_categories)->beforePopup = [this] { openCategoryList(); };
    connect(m_categories, &QComboBox::activated, this, [this](int index) {
        chooseCategory(m_categories->itemData(index).toByteArray());
    });

    clearFields();
    setStatus({});
    m_category = category;
    if (!m_category.isEmpty()) {
        m_categories->addItem(displayText(m_category), m_category);
        loadCategory(m_category);
    }
    updateTitle();
}

CBookmarkEditor::~CBookmarkEditor()
{
    if (!m_finished)
        m_store.editorClosed();
}

QString CBookmarkEditor::statusText() const
{
    return m_status->text();
}

void CBookmarkEditor::setStatus(const QByteArray &text)
{
    m_status->setText(QStringLiteral("Status: ") + displayText(text));
}

void CBookmarkEditor::updateTitle()
{
    if (m_category.isEmpty())
        setWindowTitle(QStringLiteral("Bookmark Editor"));
    else
        setWindowTitle(displayText(QByteArray("Category: " + m_category + count(", %d", m_array.size())))
                       + QStringLiteral(" bookmarks"));
}

void CBookmarkEditor::clearFields()
{
    m_filling = true;
    for (QLineEdit *field : {m_title, m_host, m_selector})
        field->clear();
    m_port->setText(QStringLiteral("70"));
    m_plus->setChecked(false);
    m_ask->setChecked(false);
    m_filling = false;
    m_current = nullptr;
    m_fetch->setEnabled(false);
}

QListWidgetItem *CBookmarkEditor::addEntry(const CBookmark &item, qsizetype index)
{
    auto *entry = new QListWidgetItem(displayText(item.title));
    entry->setData(IndexRole, qlonglong(index));
    m_list->addItem(entry);
    return entry;
}

void CBookmarkEditor::loadCategory(const QByteArray &name)
{
    m_filling = true;
    m_list->clear();
    m_filling = false;
    m_current = nullptr;
    m_category = name;
    setStatus("Loading category '" + name + "'");
    m_array = m_store.LoadCategory(name);
    m_filling = true;
    for (qsizetype i = 0; i < m_array.size(); ++i)
        addEntry(m_array.at(i), i);
    m_filling = false;
    updateTitle();
    clearFields();
    if (m_list->count() > 0)
        m_list->setCurrentRow(0);
    m_edited = false;
    m_modified = false;
}

QList<QListWidgetItem *> CBookmarkEditor::selectedInListOrder() const
{
    QList<QListWidgetItem *> entries = m_list->selectedItems();
    std::sort(entries.begin(), entries.end(), [this](QListWidgetItem *a, QListWidgetItem *b) {
        return m_list->row(a) < m_list->row(b);
    });
    return entries;
}

void CBookmarkEditor::writeBack()
{
    const bool edited = m_edited;
    m_edited = false;
    if (!edited || !m_current)
        return;
    const qsizetype index = m_current->data(IndexRole).toLongLong();
    if (index < 0 || index >= m_array.size()) {
        setStatus("Couldn't retrieve bookmark");
        return;
    }
    CBookmark &item = m_array[index];
    item.host = textBytes(m_host->text());
    item.port = quint16(m_port->text().toUInt());
    item.selector = textBytes(m_selector->text());
    if (!item.selector.contains("\r\n"))
        item.selector += "\r\n";
    item.type = m_type->type();
    item.SetGopherPlus(m_plus->isChecked());
    item.SetAskForm(m_ask->isChecked());
    const QByteArray title = textBytes(m_title->text());
    if (title != item.title) {
        item.title = title;
        m_filling = true;
        m_current->setText(displayText(title));  // the sorted list moves it to its place
        m_filling = false;
    }
    m_modified = true;
    setStatus("Modified '" + item.title + "'");
}

void CBookmarkEditor::showSelection()
{
    const QList<QListWidgetItem *> selected = selectedInListOrder();
    m_fetch->setEnabled(selected.size() == 1);
    if (selected.isEmpty())
        return;
    m_current = selected.first();
    const qsizetype index = m_current->data(IndexRole).toLongLong();
    if (index < 0 || index >= m_array.size())
        return;
    const CBookmark &item = m_array.at(index);
    m_filling = true;
    m_host->setText(displayText(item.host));
    m_port->setText(QString::number(item.port));
    const qsizetype end = item.selector.indexOf("\r\n");
    m_selector->setText(displayText(end < 0 ? item.selector : item.selector.left(end)));
    m_title->setText(displayText(item.title));
    m_type->setType(item.type);
    m_plus->setChecked(item.IsGopherPlus());
    m_ask->setChecked(item.IsAskForm());
    m_filling = false;
    m_edited = false;
}

void CBookmarkEditor::onFetch()
{
    const QList<QListWidgetItem *> selected = selectedInListOrder();
    if (selected.size() != 1 || m_typeBox->view()->isVisible())
        return;
    writeBack();
    const qsizetype index = selected.first()->data(IndexRole).toLongLong();
    if (index < 0 || index >= m_array.size()) {
        setStatus("Couldn't retrieve bookmark");
        return;
    }
    const CBookmark item = m_array.at(index);
    setStatus("Fetching '" + item.title + "'");
    if (m_open)
        m_open(item);
    if (m_current != selected.first())
        showSelection();
    const int action = m_fetchAction ? m_fetchAction() : 0;
    if (action == 1)
        showMinimized();
    else if (action == 2)
        onOk();
}

void CBookmarkEditor::removeEntries(const QList<QListWidgetItem *> &entries)
{
    QList<qsizetype> indexes;
    m_filling = true;
    for (qsizetype i = entries.size() - 1; i >= 0; --i) {
        indexes.append(entries.at(i)->data(IndexRole).toLongLong());
        if (entries.at(i) == m_current)
            m_current = nullptr;
        delete m_list->takeItem(m_list->row(entries.at(i)));
    }
    std::sort(indexes.begin(), indexes.end(), std::greater<>());
    for (const qsizetype index : indexes) {
        if (index >= 0 && index < m_array.size())
            m_array.removeAt(index);
    }
    // Renumber by index, not by title: two bookmarks may share a title.
    for (int row = 0; row < m_list->count(); ++row) {
        QListWidgetItem *entry = m_list->item(row);
        const qsizetype old = entry->data(IndexRole).toLongLong();
        const auto below = std::count_if(indexes.begin(), indexes.end(),
                                         [old](qsizetype removed) { return removed < old; });
        entry->setData(IndexRole, qlonglong(old - below));
    }
    m_filling = false;
}

void CBookmarkEditor::onDelete()
{
    const QList<QListWidgetItem *> selected = selectedInListOrder();
    if (selected.isEmpty())
        return;
    if (selected.size() > 1
        && m_ui.messageBox("Are you sure you want to delete all these bookmarks?",
                           UserInterface::Question, UserInterface::OkCancel)
               != UserInterface::AnswerOk)
        return;
    // Pending edits go to their own entry before it may be deleted.
    writeBack();
    setStatus("Deleting bookmarks ...");
    const int firstRow = m_list->row(selected.first());
    const QByteArray title = textBytes(selected.first()->text());
    removeEntries(selected);
    setStatus("Resetting list information ...");
    setStatus(selected.size() == 1 ? "Deleted '" + title + "'" : count("Deleted %d items", selected.size()));
    if (m_list->count() > 0) {
        m_list->clearSelection();
        m_list->setCurrentRow(qMin(firstRow, m_list->count() - 1));
    } else {
        clearFields();
    }
    updateTitle();
    m_modified = true;
}

void CBookmarkEditor::onMove()
{
    writeBack();
    const QList<QListWidgetItem *> selected = selectedInListOrder();
    if (selected.isEmpty()) {
        m_ui.messageBox("First select one or more bookmarks to move");
        return;
    }
    QByteArray target;
    for (;;) {
        target = m_store.ChooseCategory();
        if (target.isEmpty())
            return;
        if (target != m_category)
            break;
        if (m_ui.messageBox("That's the category we're currently using!\nLet's try this again ...",
                            UserInterface::Exclamation, UserInterface::OkCancel)
            != UserInterface::AnswerOk)
            return;
    }
    setStatus("Getting category " + target);
    CBookmarkArray targetArray = m_store.LoadCategory(target);
    setStatus(count("Adding %d bookmarks to ", selected.size()) + target);
    for (QListWidgetItem *entry : selected) {
        const qsizetype index = entry->data(IndexRole).toLongLong();
        if (index >= 0 && index < m_array.size())
            targetArray.append(m_array.at(index));
    }
    // The target is saved before the items leave this list: a failed save
    // leaves them where they were.
    setStatus("Saving category " + target);
    if (!m_store.SaveCategory(target, targetArray))
        return;
    setStatus(count("Deleting %d bookmarks from ", selected.size()) + m_category);
    const QByteArray title = textBytes(selected.first()->text());
    removeEntries(selected);
    m_modified = true;
    updateTitle();
    setStatus(selected.size() == 1 ? "Moved '" + title + "'" : count("Moved %d bookmarks", selected.size()));
    clearFields();
    if (m_list->count() > 0) {
        m_list->clearSelection();
        m_list->setCurrentRow(0);
    }
}

void CBookmarkEditor::onCopy()
{
    writeBack();
    const QList<QListWidgetItem *> selected = selectedInListOrder();
    if (selected.isEmpty())
        return;
    QList<CBookmark> items;
    for (QListWidgetItem *entry : selected) {
        const qsizetype index = entry->data(IndexRole).toLongLong();
        if (index < 0 || index >= m_array.size())
            setStatus("Couldn't retrieve bookmark");
        else
            items.append(m_array.at(index));
    }
    if (items.isEmpty())
        return;
    if (!m_ui.setClipboardText(ItemRecords::recordsText(items))) {
        m_ui.messageBox("Couldn't store text in the clipboard ...");
        return;
    }
    setStatus(items.size() == 1 ? "Copied '" + items.first().title + "' to clipboard"
                                : count("Copied %d items to clipboard", items.size()));
}

void CBookmarkEditor::onPaste()
{
    writeBack();
    const QByteArray text = m_ui.clipboardText();
    if (text.isEmpty()) {
        setStatus("No text available on the clipboard");
        return;
    }
    const QList<CBookmark> items = ItemRecords::readItems(text);
    m_filling = true;
    for (const CBookmark &item : items) {
        m_array.append(item);
        addEntry(item, m_array.size() - 1)->setSelected(true);
    }
    m_filling = false;
    if (!items.isEmpty()) {
        m_modified = true;
        if (m_list->selectedItems().size() == 1)
            showSelection();
        updateTitle();
    }
    setStatus(count("Copied %d ", items.size()) + (items.size() == 1 ? "item" : "items")
              + " from the clipboard");
}

void CBookmarkEditor::openCategoryList()
{
    writeBack();
    if (m_modified && !m_category.isEmpty()) {
        setStatus("Saving '" + m_category + "'");
        if (m_store.SaveCategory(m_category, m_array))
            m_modified = false;
    }
    m_categories->clear();
    for (const QByteArray &name : m_store.GetCategories())
        m_categories->addItem(displayText(name), name);
    m_categories->setCurrentIndex(m_categories->findData(m_category));
}

void CBookmarkEditor::chooseCategory(const QByteArray &name)
{
    // Unsaved changes (a save that failed) are never dropped by a switch.
    if (name.isEmpty() || m_modified)
        return;
    loadCategory(name);
}

void CBookmarkEditor::addItem(const CBookmark &item)
{
    writeBack();
    m_array.append(item);
    m_filling = true;
    m_list->clearSelection();
    QListWidgetItem *entry = addEntry(item, m_array.size() - 1);
    entry->setSelected(true);
    m_list->setCurrentItem(entry);
    m_filling = false;
    showSelection();
    updateTitle();
    setStatus("Saving '" + m_category + "'");
    m_modified = !m_store.SaveCategory(m_category, m_array);
}

void CBookmarkEditor::categoryRenamed(const QByteArray &newName)
{
    writeBack();
    m_category = newName;
    updateTitle();
    m_categories->addItem(displayText(newName), newName);
    m_categories->setCurrentIndex(m_categories->count() - 1);
}

void CBookmarkEditor::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_store.editorClosed();
    hide();
    deleteLater();
}

void CBookmarkEditor::onOk()
{
    writeBack();
    if (m_modified && !m_category.isEmpty()) {
        setStatus("Saving category " + m_category);
        // The editor stays open with its bookmarks when they could not be saved.
        if (!m_store.SaveCategory(m_category, m_array))
            return;
        m_modified = false;
    }
    finish();
}

void CBookmarkEditor::onCancel()
{
    if (m_modified
        && m_ui.messageBox("Cancelling will cause changes to be ignored", UserInterface::Exclamation,
                           UserInterface::OkCancel)
               != UserInterface::AnswerOk)
        return;
    finish();
}

void CBookmarkEditor::reject()
{
    // Escape is Cancel: unsaved changes are not dropped without the question.
    onCancel();
}

void CBookmarkEditor::closeEditor()
{
    // The program is closing: what the editor holds is saved, not dropped.
    onOk();
    finish();
}

void CBookmarkEditor::closeEvent(QCloseEvent *event)
{
    if (!m_finished) {
        event->ignore();
        onCancel();
        return;
    }
    QDialog::closeEvent(event);
}
