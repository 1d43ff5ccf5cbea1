#pragma once

#include "items/bookmark.h"

#include <QDialog>

#include <optional>

class CBookmarkStore;
class QListWidget;

// "Fetch a Stored Bookmark": a category on the left, its bookmarks on the
// right; OK leaves the chosen bookmark in result().
class CFetchBookmarkDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CFetchBookmarkDialog(CBookmarkStore &store, QWidget *parent = nullptr);

    std::optional<CBookmark> result() const { return m_result; }
    QListWidget *categories() const { return m_categories; }
    QListWidget *bookmarks() const { return m_bookmarks; }
    void onOk();

private:
    void listTitles();

    CBookmarkStore &m_store;
    QListWidget *m_categories;
    QListWidget *m_bookmarks;
    std::optional<CBookmark> m_result;
};
