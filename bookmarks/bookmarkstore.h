#pragma once

#include "bookmarks/bookmarkarray.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QObject>

#include <functional>
#include <optional>

#include "settings/profilefile.h"

class UserInterface;

// The bookmark editor as the store sees it: which category it shows, and
// the three things the store tells it.
class BookmarkEditorLink
{
public:
    virtual ~BookmarkEditorLink();
    virtual QByteArray shownCategory() const = 0;
    // Appends the item to the editor's list and saves the category at once.
    virtual void addItem(const CBookmark &item) = 0;
    virtual void categoryRenamed(const QByteArray &newName) = 0;
    virtual void closeEditor() = 0;
};

// Saved items in named categories of the settings file. The store keeps the
// category list and the default category in memory; bookmarks live in the
// file and are read and written a category at a time. Every change is one
// replacement of the file, so a crash or a full disk leaves the category as
// it was or as it is now, never half written.
class CBookmarkStore : public QObject
{
    Q_OBJECT

public:
    // Modes of the categories dialog.
    enum ChooserMode { ManageCategories = 0, SaveBookmarkIn = 1, EditCategory = 2, SelectCategory = 3 };
    // Asks the user for a category in the given mode; empty when cancelled.
    using Chooser = std::function<QByteArray(int mode)>;
    // Makes and shows the editor on a category; none when it could not be made.
    using EditorFactory = std::function<BookmarkEditorLink *(const QByteArray &category)>;

    static constexpr const char *CategoriesSection = "Bookmark Categories";
    static constexpr const char *DefaultSection = "Default Category";
    static constexpr const char *OldSection = "Bookmarks";
    static constexpr const char *ConvertedCategory = "Default";

    // Reads the category list, converts bookmarks of the old layout and
    // finds the default category.
    CBookmarkStore(ProfileFile &file, UserInterface *ui, QObject *parent = nullptr);
    ~CBookmarkStore() override;

    void setChooser(Chooser chooser) { m_chooser = std::move(chooser); }
    void setEditorFactory(EditorFactory factory) { m_editorFactory = std::move(factory); }
    // Where "Saved ... in ..." goes: the active document's status line.
    void setStatusSink(std::function<void(const QByteArray &)> sink) { m_status = std::move(sink); }

    static QByteArray sectionOf(const QByteArray &category) { return "Bookmarks: " + category; }

    const QByteArrayList &GetCategories() const { return m_categories; }
    bool hasCategory(const QByteArray &name) const { return m_categories.contains(name); }
    QByteArray GetDefaultCategory();
    [[nodiscard]] bool SetDefaultCategory(const QByteArray &name);

    [[nodiscard]] bool AddCategory(const QByteArray &name);
    [[nodiscard]] bool DeleteCategory(const QByteArray &name);
    [[nodiscard]] bool RenameCategory(const QByteArray &oldName, const QByteArray &newName);

    // The "Count" of the category as stored; entries without a host are
    // among them but are never loaded.
    int GetBookmarkCount(const QByteArray &category) const;
    // The entries that name a host, in order; one without a host is passed
    // over, never the end of the category. ReadBookmark and GetBookmarkTitles
    // count the same entries, so their indices are those of this array.
    CBookmarkArray LoadCategory(const QByteArray &category) const;
    // Writes the whole category in one replacement of the file; false (and a
    // message box naming the file) when it could not be written. An item
    // without a host is not written: it could never be fetched.
    [[nodiscard]] bool SaveCategory(const QByteArray &category, const CBookmarkArray &array);
    std::optional<CBookmark> ReadBookmark(const QByteArray &category, int index) const;
    QByteArrayList GetBookmarkTitles(const QByteArray &category) const;
    // Stores one item in the default category (or one the user chooses).
    // False when nothing was saved.
    bool AddBookmark(const CBookmark &item);
    // Appends items to a category, creating it when it does not exist, in
    // one replacement of the file.
    [[nodiscard]] bool appendToCategory(const QByteArray &category, const QList<CBookmark> &items);

    void OpenEditor();
    QByteArray ChooseCategory();
    bool isEditorOpen() const { return m_editor != nullptr; }
    BookmarkEditorLink *editor() const { return m_editor; }
    // The editor tells the store when it has closed.
    void editorClosed();

    // The values of one entry as stored.
    struct Entry
    {
        QByteArray name, type, port, path, host;
    };
    static Entry entryOf(const CBookmark &item);
    // Whether the item can be stored: it names a host.
    static bool storable(const CBookmark &item);

Q_SIGNALS:
    // The category list or the bookmarks of a category changed on disk.
    void categoriesChanged();
    void categoryChanged(const QByteArray &category);

private:
    void readCategories();
    void convertOldBookmarks();
    CBookmark readEntry(const QByteArray &section, int index, bool *ok) const;
    // The numbers of the section's entries that name a host, in order.
    QList<int> entryIndices(const QByteArray &section) const;
    // Queues the writes of a category (in an open edit) and of the list.
    bool putCategory(const QByteArray &category, const CBookmarkArray &array);
    bool putCategoryList(const QByteArrayList &categories);
    bool putEntry(const QByteArray &section, int index, const CBookmark &item);
    // Commits the group; on failure the file is as it was, the user is told
    // which file and why, and false is returned.
    bool commitOrReport(ProfileFile::Edit &edit, bool queued);
    bool validName(const QByteArray &name);
    void message(const QByteArray &text);

    ProfileFile &m_file;
    UserInterface *m_ui;
    QByteArrayList m_categories;
    QByteArray m_default;
    BookmarkEditorLink *m_editor = nullptr;
    Chooser m_chooser;
    EditorFactory m_editorFactory;
    std::function<void(const QByteArray &)> m_status;
};
