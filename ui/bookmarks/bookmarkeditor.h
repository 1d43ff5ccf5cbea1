#pragma once

#include "bookmarks/bookmarkarray.h"
#include "bookmarks/bookmarkstore.h"

#include <QDialog>

#include <functional>
#include <memory>

class CItemType;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class UserInterface;

// The Bookmark Editor: a modeless window over the bookmarks of one category.
// The list is sorted by title; each entry carries the index of its item in
// the category's array. Changes reach the file when the category is saved:
// on OK, on switching categories, when the store hands over a new item, and
// for the target of a move.
class CBookmarkEditor : public QDialog, public BookmarkEditorLink
{
    Q_OBJECT

public:
    static constexpr int MaxHostLength = 64;
    using Opener = std::function<void(const CBookmark &)>;

    CBookmarkEditor(CBookmarkStore &store, UserInterface &ui, const QByteArray &category,
                    Opener open, std::function<int()> fetchAction, QWidget *parent = nullptr);
    ~CBookmarkEditor() override;

    // BookmarkEditorLink
    QByteArray shownCategory() const override { return m_category; }
    void addItem(const CBookmark &item) override;
    void categoryRenamed(const QByteArray &newName) override;
    void closeEditor() override;

    const CBookmarkArray &bookmarks() const { return m_array; }
    bool isModified() const { return m_modified; }
    QString statusText() const;
    QListWidget *list() const { return m_list; }
    QLineEdit *titleField() const { return m_title; }
    QCheckBox *askFormBox() const { return m_ask; }
    QComboBox *categoryList() const { return m_categories; }

    void onFetch();
    void onDelete();
    void onMove();
    void onCopy();
    void onPaste();
    void onOk();
    void onCancel();
    // Escape: as Cancel.
    void reject() override;
    // The categories list opened (saves the shown category) and closed on a name.
    void openCategoryList();
    void chooseCategory(const QByteArray &name);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void loadCategory(const QByteArray &name);
    void writeBack();
    void showSelection();
    void clearFields();
    void updateTitle();
    QListWidgetItem *addEntry(const CBookmark &item, qsizetype index);
    QList<QListWidgetItem *> selectedInListOrder() const;
    // Removes the entries and their items; the other entries get their new indexes.
    void removeEntries(const QList<QListWidgetItem *> &entries);
    void setStatus(const QByteArray &text);
    void finish();

    CBookmarkStore &m_store;
    UserInterface &m_ui;
    Opener m_open;
    std::function<int()> m_fetchAction;
    QByteArray m_category;
    CBookmarkArray m_array;
    QListWidgetItem *m_current = nullptr;
    bool m_edited = false;
    bool m_modified = false;
    bool m_filling = false;
    bool m_finished = false;

    QListWidget *m_list;
    QLineEdit *m_title;
    QLineEdit *m_host;
    QLineEdit *m_port;
    QLineEdit *m_selector;
    QComboBox *m_typeBox;
    std::unique_ptr<CItemType> m_type;
    QCheckBox *m_plus;
    QCheckBox *m_ask;
    QComboBox *m_categories;
    QLabel *m_status;
    QPushButton *m_fetch;
};
