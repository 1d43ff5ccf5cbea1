#include "ui/views/bmview.h"

#include "bookmarks/bookmarkstore.h"
#include "items/displaytext.h"
#include "ui/fontmanager.h"
#include "ui/itemicons.h"

#include <QContextMenuEvent>
#include <QIcon>
#include <QMenu>
#include <QSet>

CBMView::CBMView(CBookmarkStore *store, FontManager *fonts, ItemIcons *icons, QWidget *parent)
    : FocusMarked<QTreeWidget>(parent), m_store(store), m_fonts(fonts), m_icons(icons)
{
    setObjectName(QStringLiteral("bookmarkPane"));
    setAccessibleName(QStringLiteral("Bookmarks"));
    setHeaderLabel(accessibleName());
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    applyFont();
    if (m_fonts) {
        connect(m_fonts, &FontManager::fontChanged, this, [this](int kind) {
            if (kind == FontManager::BMFont)
                applyFont();
        });
    }
    if (m_store) {
        connect(m_store, &CBookmarkStore::categoriesChanged, this, &CBMView::rebuild);
        connect(m_store, &CBookmarkStore::categoryChanged, this, &CBMView::rebuild);
    }
    connect(this, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem *node) { fetchNode(node); });
    // A category's bookmarks are read when it is first opened: a large store
    // costs nothing until then.
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem *node) {
        if (node->parent() && node->childCount() == 0)
            fillCategory(node, node->data(0, IndexRole).toByteArray());
    });
    rebuild();
}

void CBMView::applyFont()
{
    if (m_fonts)
        setFont(m_fonts->font(FontManager::BMFont));
}

int CBMView::imageOf(char type)
{
    switch (type) {
    case '0': return 3;
    case '1': return 4;
    case '2': return 5;
    case '3': return 6;
    case '4': return 7;
    case '5': return 8;
    case '6': return 9;
    case '7': return 10;
    case '8': return 11;
    case 'T': return 12;
    case '9': return 13;
    case ':': case 'I': case 'g': return 14;
    case ';': return 15;
    case '<': case 's': return 16;
    case 'M': return 17;
    case 'P': return 18;
    case 'h': return 19;
    case 'i': return 20;
    case '?': return 22;
    default: return 21;
    }
}

void CBMView::rebuild()
{
    QSet<QString> open;
    QTreeWidgetItem *oldRoot = rootNode();
    for (int i = 0; oldRoot && i < oldRoot->childCount(); ++i) {
        if (oldRoot->child(i)->isExpanded())
            open.insert(oldRoot->child(i)->text(0));
    }
    clear();
    auto *root = new QTreeWidgetItem(this, QStringList{QStringLiteral("Bookmarks")});
    root->setData(0, ImageRole, 0);
    root->setIcon(0, QIcon::fromTheme(QStringLiteral("bookmarks")));
    if (m_store) {
        for (const QByteArray &name : m_store->GetCategories()) {
            auto *node = new QTreeWidgetItem(root, QStringList{displayText(name)});
            node->setData(0, ImageRole, 1);
            node->setData(0, IndexRole, name);
            node->setIcon(0, QIcon::fromTheme(QStringLiteral("folder-bookmark"),
                                              QIcon::fromTheme(QStringLiteral("folder"))));
            if (m_store->GetBookmarkCount(name) > 0)
                node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
            if (open.contains(node->text(0)))
                node->setExpanded(true);
        }
    }
    root->setExpanded(true);
}

void CBMView::fillCategory(QTreeWidgetItem *node, const QByteArray &name)
{
    const CBookmarkArray array = m_store->LoadCategory(name);
    if (array.isEmpty())
        node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
    for (qsizetype i = 0; i < array.size(); ++i) {
        CBookmark item = array.at(i);
        auto *leaf = new QTreeWidgetItem(node, QStringList{displayText(item.title)});
        leaf->setData(0, IndexRole, int(i));
        leaf->setData(0, ImageRole, imageOf(item.IsAskForm() ? '?' : item.type));
        if (m_icons)
            leaf->setIcon(0, QIcon(m_icons->icon(item)));
    }
}

bool CBMView::fetchNode(QTreeWidgetItem *node)
{
    if (!node || !node->parent() || !node->parent()->parent() || !m_store)
        return false;
    const QByteArray category = node->parent()->data(0, IndexRole).toByteArray();
    const std::optional<CBookmark> item =
        m_store->ReadBookmark(category, node->data(0, IndexRole).toInt());
    if (!item)
        return false;
    if (m_open)
        m_open(*item);
    return true;
}

void CBMView::expandAllNodes(bool expand)
{
    QTreeWidgetItem *root = rootNode();
    if (!root)
        return;
    root->setExpanded(expand);
    for (int i = 0; i < root->childCount(); ++i)
        root->child(i)->setExpanded(expand);
}

void CBMView::contextMenuEvent(QContextMenuEvent *event)
{
    QPoint at = event->globalPos();
    if (event->reason() == QContextMenuEvent::Mouse) {
        if (QTreeWidgetItem *node = itemAt(event->pos()))
            setCurrentItem(node);
    } else {
        at = viewport()->mapToGlobal(QPoint(5, 5));
    }
    QTreeWidgetItem *node = currentItem();
    QMenu menu(this);
    QAction *toggle = menu.addAction(node && node->isExpanded() ? tr("Collapse") : tr("Expand"));
    QAction *expandAll = menu.addAction(tr("Expand All"));
    QAction *collapseAll = menu.addAction(tr("Collapse All"));
    QAction *edit = menu.addAction(tr("Edit Bookmarks..."));
    QAction *chosen = menu.exec(at);
    if (chosen == toggle && node)
        node->setExpanded(!node->isExpanded());
    else if (chosen == expandAll)
        expandAllNodes(true);
    else if (chosen == collapseAll)
        expandAllNodes(false);
    else if (chosen == edit && m_edit)
        m_edit();
}
