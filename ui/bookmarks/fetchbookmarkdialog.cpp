#include "ui/bookmarks/fetchbookmarkdialog.h"

#include "ui/accessiblename.h"
#include "bookmarks/bookmarkstore.h"
#include "items/displaytext.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>

CFetchBookmarkDialog::CFetchBookmarkDialog(CBookmarkStore &store, QWidget *parent)
    : QDialog(parent), m_store(store), m_categories(new QListWidget(this)),
      m_bookmarks(new QListWidget(this))
{
    setWindowTitle(QStringLiteral("Fetch a Stored Bookmark"));
    setSizeGripEnabled(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *grid = new QGridLayout(this);
    auto *categoriesLabel = new QLabel(tr("Categories:"), this);
    auto *bookmarksLabel = new QLabel(tr("Bookmarks:"), this);
    labelField(categoriesLabel, m_categories);
    labelField(bookmarksLabel, m_bookmarks);
    grid->addWidget(categoriesLabel, 0, 0);
    grid->addWidget(bookmarksLabel, 0, 1);
    grid->addWidget(m_categories, 1, 0);
    grid->addWidget(m_bookmarks, 1, 1);
    grid->addWidget(buttons, 2, 0, 1, 2);
    grid->setColumnStretch(1, 2);
    grid->setColumnStretch(0, 1);

    for (const QByteArray &name : m_store.GetCategories()) {
        auto *entry = new QListWidgetItem(displayText(name), m_categories);
        entry->setData(Qt::UserRole, name);
    }
    const QByteArray current = m_store.GetDefaultCategory();
    for (int row = 0; row < m_categories->count(); ++row) {
        if (m_categories->item(row)->data(Qt::UserRole).toByteArray() == current)
            m_categories->setCurrentRow(row);
    }
    listTitles();
    connect(m_categories, &QListWidget::currentRowChanged, this, &CFetchBookmarkDialog::listTitles);
    connect(m_bookmarks, &QListWidget::itemDoubleClicked, this, &CFetchBookmarkDialog::onOk);
    connect(buttons, &QDialogButtonBox::accepted, this, &CFetchBookmarkDialog::onOk);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void CFetchBookmarkDialog::listTitles()
{
    m_bookmarks->clear();
    QListWidgetItem *category = m_categories->currentItem();
    if (!category)
        return;
    const QByteArrayList titles = m_store.GetBookmarkTitles(category->data(Qt::UserRole).toByteArray());
    for (int i = 0; i < titles.size(); ++i) {
        auto *entry = new QListWidgetItem(displayText(titles.at(i)), m_bookmarks);
        entry->setData(Qt::UserRole, i);
    }
    if (m_bookmarks->count() > 0)
        m_bookmarks->setCurrentRow(0);
}

void CFetchBookmarkDialog::onOk()
{
    QListWidgetItem *category = m_categories->currentItem();
    QListWidgetItem *bookmark = m_bookmarks->currentItem();
    if (category && bookmark)
        m_result = m_store.ReadBookmark(category->data(Qt::UserRole).toByteArray(),
                                        bookmark->data(Qt::UserRole).toInt());
    accept();
}
