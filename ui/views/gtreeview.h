#pragma once

#include "items/bookmark.h"
#include "ui/focusmark.h"

#include <QTreeWidget>

#include <functional>

class CGopherDir;
class FontManager;
class ItemIcons;
class QMenu;

// The navigator: an outline of the directories the user has passed through in
// this window. Its root is the directory the window was opened on; every
// fetched directory's sub-directories become children of its node. Clicking a
// node fetches that directory into the same window.
class CGTreeView : public FocusMarked<QTreeWidget>
{
    Q_OBJECT

public:
    // Node data: the navigator index of the node's item (-1 for the root), and
    // whether the node has been expanded after a fetch.
    enum NodeRole { NavigatorIndexRole = Qt::UserRole + 1, ExpandedBeforeRole };
    static constexpr int MaxRootTextLength = 256;

    CGTreeView(CGopherDir *doc, FontManager *fonts, ItemIcons *icons, QWidget *parent = nullptr);
    ~CGTreeView() override;

    QTreeWidgetItem *rootNode() const { return m_root; }
    // Navigator items shown as nodes (the root not counted).
    int navigatorNodeCount() const { return m_shown; }
    // The last click on a node was a double-click or a click on its button.
    bool doubleClickOrButton() const { return m_doubleClickOrButton; }
    // The root's own item (a copy of the document's item when the root was made).
    const CBookmark &rootItem() const { return m_rootItem; }

    // Fetches the node's directory into the document; nothing while the
    // document has a transaction in progress.
    void clickNode(QTreeWidgetItem *node, bool onButton);
    // The same for the node of a navigator index (a directory opened from
    // the list, a step Back or Forward; -1 is the root).
    void openNode(int index);

    // Context menu entries.
    void onExpandAll();
    void onCollapseAll();
    // "Expand All", "Collapse All", "Edit Bookmarks..." (owned by the view);
    // the last runs what setEditBookmarks() gave, and is greyed without it.
    QMenu *createContextMenu();
    void setEditBookmarks(std::function<void()> edit) { m_editBookmarks = std::move(edit); }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void drawBranches(QPainter *painter, const QRect &rect, const QModelIndex &index) const override;
    void changeEvent(QEvent *event) override;

private:
    void onUpdate(int hint);
    // A node's text: the title in the encoding of the host whose menu listed
    // it (the root: its own host's), as that menu's list showed it.
    QString nodeLabel(const QTreeWidgetItem *node) const;
    void onEncodingChanged();
    void onFontChanged(int kind);
    void applyFont();
    // The selection stays visible when the navigator has no focus.
    void keepSelectionColours();
    void ensureRoot();
    // The node a reply is for: the one being fetched, else the selected one,
    // else the root.
    QTreeWidgetItem *targetNode() const;
    void appendNodes();
    void completeFetch();
    void markFailure(int image);
    bool hasButton(const QTreeWidgetItem *node) const;
    // The node under a point and whether the point is on its button.
    QTreeWidgetItem *nodeAt(const QPoint &pos, bool *onButton) const;

    CGopherDir *m_doc;
    FontManager *m_fonts;
    ItemIcons *m_icons;
    QTreeWidgetItem *m_root = nullptr;
    QTreeWidgetItem *m_fetchNode = nullptr;
    CBookmark m_rootItem;
    std::function<void()> m_editBookmarks;
    int m_shown = 0;
    bool m_doubleClickOrButton = false;
    // A fetch is under way whose end has not been reported yet.
    bool m_awaitingComplete = true;
};
