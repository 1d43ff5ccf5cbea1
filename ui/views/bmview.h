#pragma once

#include "ui/focusmark.h"

#include <QTreeWidget>

#include <functional>

class CBookmark;
class CBookmarkStore;
class FontManager;
class ItemIcons;

// The bookmark tree of a directory window: the root "Bookmarks", a node per
// category and a node per bookmark (its number is the bookmark's index in
// its category; a category's nodes are made when it is first opened). It follows the store: a category added, renamed, deleted or
// saved shows at once in every open tree.
class CBMView : public FocusMarked<QTreeWidget>
{
    Q_OBJECT

public:
    static constexpr int IndexRole = Qt::UserRole;
    static constexpr int ImageRole = Qt::UserRole + 1;
    using Opener = std::function<void(const CBookmark &)>;

    CBMView(CBookmarkStore *store, FontManager *fonts, ItemIcons *icons, QWidget *parent = nullptr);

    void setOpener(Opener open) { m_open = std::move(open); }
    void setEditBookmarks(std::function<void()> edit) { m_edit = std::move(edit); }

    // The image number of a bookmark node for an item type.
    static int imageOf(char type);

    QTreeWidgetItem *rootNode() const { return topLevelItem(0); }
    // Fetches the bookmark of a node two levels below the root.
    bool fetchNode(QTreeWidgetItem *node);
    void expandAllNodes(bool expand);
    // Builds the tree afresh from the store, keeping which categories were open.
    void rebuild();

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void fillCategory(QTreeWidgetItem *node, const QByteArray &name);
    void applyFont();

    CBookmarkStore *m_store;
    FontManager *m_fonts;
    ItemIcons *m_icons;
    Opener m_open;
    std::function<void()> m_edit;
};
