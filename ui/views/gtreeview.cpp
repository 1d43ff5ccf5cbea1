#include "ui/views/gtreeview.h"

#include "app/tarnwickapp.h"
#include "documents/gopherdir.h"
#include "ui/fontmanager.h"
#include "ui/itemicons.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTreeWidgetItemIterator>

namespace {

QString nodeText(const CBookmark &item, TextEncoding encoding, qsizetype limit)
{
    QString text = decodeText(item.title, encoding);
    if (limit > 0 && text.size() > limit) {
        text.truncate(limit);
        if (text.back().isHighSurrogate())
            text.chop(1);
    }
    return text;
}

} // namespace

CGTreeView::CGTreeView(CGopherDir *doc, FontManager *fonts, ItemIcons *icons, QWidget *parent)
    : FocusMarked<QTreeWidget>(parent), m_doc(doc), m_fonts(fonts), m_icons(icons)
{
    setColumnCount(1);
    // Screen readers name the tree and its one column, hidden or not.
    setAccessibleName(QStringLiteral("Navigator"));
    setHeaderLabel(accessibleName());
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Expanding follows the fetch of a node, not the double-click itself.
    setExpandsOnDoubleClick(false);
    setIconSize(QSize(ItemIcons::IconSize, ItemIcons::IconSize));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    keepSelectionColours();
    applyFont();

    connect(m_doc, &CGopherDir::navigatorNodeRequested, this, &CGTreeView::openNode);
    connect(m_doc, &CTarnwickDoc::updateAllViews, this,
            [this](int hint, int, int, int) { onUpdate(hint); });
    if (m_fonts)
        connect(m_fonts, &FontManager::fontChanged, this, &CGTreeView::onFontChanged);
    connect(&m_doc->context().app->hostEncodings(), &HostEncodings::encodingChanged, this,
            &CGTreeView::onEncodingChanged);

    // A document fetched before its navigator was made.
    if (!m_doc->windowKey().isEmpty() || m_doc->navigatorCount() > 0)
        appendNodes();
}

void CGTreeView::keepSelectionColours()
{
    QPalette colours = QApplication::palette(this);
    colours.setColor(QPalette::Inactive, QPalette::Highlight,
                     colours.color(QPalette::Active, QPalette::Highlight));
    colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     colours.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(colours);
}

void CGTreeView::changeEvent(QEvent *event)
{
    // A palette of the desktop's that changes (a dark one chosen) reaches
    // the navigator too.
    if (event->type() == QEvent::ApplicationPaletteChange)
        keepSelectionColours();
    FocusMarked<QTreeWidget>::changeEvent(event);
}

CGTreeView::~CGTreeView() = default;

void CGTreeView::ensureRoot()
{
    if (m_root)
        return;
    m_rootItem = m_doc->item();
    m_root = new QTreeWidgetItem(this);
    m_root->setText(0, nodeLabel(m_root));
    if (m_icons)
        m_root->setIcon(0, m_icons->icon(m_rootItem));
    m_root->setData(0, NavigatorIndexRole, -1);
    m_root->setData(0, ExpandedBeforeRole, false);
    m_root->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    setCurrentItem(m_root);
}

QTreeWidgetItem *CGTreeView::targetNode() const
{
    if (m_fetchNode)
        return m_fetchNode;
    const QList<QTreeWidgetItem *> selected = selectedItems();
    return selected.isEmpty() ? m_root : selected.first();
}

void CGTreeView::appendNodes()
{
    ensureRoot();
    const int count = m_doc->navigatorCount();
    if (count <= m_shown)
        return;
    QTreeWidgetItem *parent = targetNode();
    QList<QTreeWidgetItem *> nodes;
    nodes.reserve(count - m_shown);
    const int parentIndex = parent->data(0, NavigatorIndexRole).toInt();
    const QByteArray sender = parentIndex < 0 ? m_rootItem.host : m_doc->navigatorItem(parentIndex).host;
    const TextEncoding encoding = m_doc->context().app->hostEncodings().encoding(sender);
    for (int i = m_shown; i < count; ++i) {
        const CBookmark item = m_doc->navigatorItem(i);
        auto *node = new QTreeWidgetItem;
        node->setText(0, nodeText(item, encoding, 0));
        if (m_icons)
            node->setIcon(0, m_icons->icon(ItemIcons::iconKey(item)));
        node->setData(0, NavigatorIndexRole, i);
        node->setData(0, ExpandedBeforeRole, false);
        node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        nodes.append(node);
    }
    setUpdatesEnabled(false);
    parent->addChildren(nodes);
    setUpdatesEnabled(true);
    m_shown = count;
}

QString CGTreeView::nodeLabel(const QTreeWidgetItem *node) const
{
    const HostEncodings &encodings = m_doc->context().app->hostEncodings();
    if (node == m_root)
        return nodeText(m_rootItem, encodings.encoding(m_rootItem.host), MaxRootTextLength);
    const QTreeWidgetItem *parent = node->parent();
    const int parentIndex = parent ? parent->data(0, NavigatorIndexRole).toInt() : -1;
    const QByteArray sender = parentIndex < 0 ? m_rootItem.host : m_doc->navigatorItem(parentIndex).host;
    const CBookmark item = m_doc->navigatorItem(node->data(0, NavigatorIndexRole).toInt());
    return nodeText(item, encodings.encoding(sender), 0);
}

void CGTreeView::onEncodingChanged()
{
    // Nodes may come from several hosts: each one is made again from its bytes.
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        const QString text = nodeLabel(*it);
        if ((*it)->text(0) != text)
            (*it)->setText(0, text);
    }
}

void CGTreeView::completeFetch()
{
    ensureRoot();
    QTreeWidgetItem *node = targetNode();
    const bool startedHere = m_fetchNode != nullptr;
    // A node marked by an earlier failure gets its own picture back.
    if (m_icons) {
        const int index = node->data(0, NavigatorIndexRole).toInt();
        node->setIcon(0, index < 0 ? m_icons->icon(m_rootItem)
                                   : m_icons->icon(ItemIcons::iconKey(m_doc->navigatorItem(index))));
    }
    node->setData(0, ExpandedBeforeRole, true);
    if (node->childCount() == 0) {
        node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
    } else {
        node->setExpanded(true);
        // A plain click shows the directory without opening its outline.
        if (startedHere && !m_doubleClickOrButton)
            node->setExpanded(false);
    }
    m_doubleClickOrButton = false;
    m_fetchNode = nullptr;
    m_awaitingComplete = false;
}

void CGTreeView::markFailure(int image)
{
    ensureRoot();
    QTreeWidgetItem *node = targetNode();
    if (m_icons)
        node->setIcon(0, m_icons->navigatorImage(image));
    m_doubleClickOrButton = false;
    m_fetchNode = nullptr;
    m_awaitingComplete = false;
}

void CGTreeView::onUpdate(int hint)
{
    // The document clears its list whenever a fetch into it starts.
    if ((hint & CGopherDir::ListHint) && (hint & CGopherDir::ClearHint))
        m_awaitingComplete = true;
    if (!(hint & CGopherDir::NavigatorHint))
        return;
    if (hint & CGopherDir::AppendHint)
        appendNodes();
    if (hint & CGopherDir::CompleteHint)
        completeFetch();
    if (hint & CGopherDir::HostNotFoundMark)
        markFailure(ItemIcons::HostNotFoundImage);
    else if (hint & CGopherDir::RefusedMark)
        markFailure(ItemIcons::RefusedImage);
    else if (hint & CGopherDir::TimedOutMark)
        markFailure(ItemIcons::TimedOutImage);
    else if (hint & CGopherDir::FailedMark)
        markFailure(ItemIcons::FailedImage);
    else if (hint & CGopherDir::CancelledMark)
        markFailure(ItemIcons::CancelledImage);
}

bool CGTreeView::hasButton(const QTreeWidgetItem *node) const
{
    switch (node->childIndicatorPolicy()) {
    case QTreeWidgetItem::ShowIndicator:
        return true;
    case QTreeWidgetItem::DontShowIndicator:
        return false;
    default:
        return node->childCount() > 0;
    }
}

QTreeWidgetItem *CGTreeView::nodeAt(const QPoint &pos, bool *onButton) const
{
    *onButton = false;
    const QModelIndex index = indexAt(pos);
    if (!index.isValid())
        return nullptr;
    QTreeWidgetItem *node = itemFromIndex(index);
    const QRect rect = visualRect(index);
    if (pos.x() >= rect.left())
        return node;
    if (pos.x() >= rect.left() - indentation() && hasButton(node)) {
        *onButton = true;
        return node;
    }
    return nullptr;
}

void CGTreeView::clickNode(QTreeWidgetItem *node, bool onButton)
{
    if (!node || m_doc->hasLiveTransaction())
        return;
    if (onButton)
        m_doubleClickOrButton = true;
    setCurrentItem(node);
    m_fetchNode = node;
    m_awaitingComplete = true;
    const bool expandedBefore = node->data(0, ExpandedBeforeRole).toBool();
    const int index = node->data(0, NavigatorIndexRole).toInt();
    if (index < 0)
        m_doc->fetchNavigatorItem(m_rootItem, expandedBefore);
    else
        m_doc->fetchNavigatorNode(index, expandedBefore);
}

void CGTreeView::openNode(int index)
{
    if (index < 0) {
        ensureRoot();
        clickNode(m_root, false);
        return;
    }
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        if ((*it)->data(0, NavigatorIndexRole).toInt() == index && *it != m_root) {
            clickNode(*it, false);
            return;
        }
    }
    // A node the tree does not show (yet) is fetched all the same.
    if (!m_doc->hasLiveTransaction())
        m_doc->fetchNavigatorNode(index, false);
}

void CGTreeView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        // A right click leaves the selection alone; the context menu follows.
        event->accept();
        return;
    }
    setFocus(Qt::MouseFocusReason);
    bool onButton = false;
    QTreeWidgetItem *node = nodeAt(event->position().toPoint(), &onButton);
    // The "-" of an open node closes its outline, as in any tree; fetching
    // the node again would open it at once.
    if (node && onButton && node->isExpanded()) {
        node->setExpanded(false);
        event->accept();
        return;
    }
    clickNode(node, onButton);
    event->accept();
}

void CGTreeView::mouseReleaseEvent(QMouseEvent *event)
{
    // Presses do all the work; some styles would toggle a node on release.
    event->accept();
}

void CGTreeView::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    bool onButton = false;
    QTreeWidgetItem *node = nodeAt(event->position().toPoint(), &onButton);
    if (!node)
        return;
    if (m_awaitingComplete && node == m_fetchNode) {
        m_doubleClickOrButton = true;
    } else if (!m_doc->hasLiveTransaction() && node->childCount() > 0) {
        // The node's fetch has ended already: open its outline now.
        node->setExpanded(true);
    }
}

void CGTreeView::onExpandAll()
{
    expandAll();
}

void CGTreeView::onCollapseAll()
{
    collapseAll();
}

QMenu *CGTreeView::createContextMenu()
{
    auto *menu = new QMenu(this);
    menu->addAction(QStringLiteral("Expand All"), this, &CGTreeView::onExpandAll);
    menu->addAction(QStringLiteral("Collapse All"), this, &CGTreeView::onCollapseAll);
    QAction *edit = menu->addAction(QStringLiteral("Edit Bookmarks..."));
    edit->setEnabled(bool(m_editBookmarks));
    connect(edit, &QAction::triggered, this, [this] {
        if (m_editBookmarks)
            m_editBookmarks();
    });
    return menu;
}

void CGTreeView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QPoint where = event->reason() == QContextMenuEvent::Mouse
                             ? event->globalPos()
                             : viewport()->mapToGlobal(QPoint(5, 5));
    menu->popup(where);
    event->accept();
}

void CGTreeView::drawBranches(QPainter *painter, const QRect &rect, const QModelIndex &index) const
{
    const int indent = indentation();
    if (indent <= 0 || rect.width() < indent)
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    const QColor lineColour = palette().color(QPalette::Dark);
    painter->setPen(QPen(lineColour, 1, Qt::DotLine));

    const int left = rect.right() + 1 - indent;
    const int midX = left + indent / 2;
    const int midY = rect.top() + rect.height() / 2;
    const bool hasNext = index.sibling(index.row() + 1, 0).isValid();
    if (index.parent().isValid() || index.row() > 0)
        painter->drawLine(midX, rect.top(), midX, midY);
    if (hasNext)
        painter->drawLine(midX, midY, midX, rect.bottom());
    painter->drawLine(midX, midY, left + indent - 2, midY);

    // Lines of the ancestors that have siblings below.
    QModelIndex ancestor = index.parent();
    for (int x = left - indent; ancestor.isValid() && x >= rect.left(); x -= indent) {
        if (ancestor.sibling(ancestor.row() + 1, 0).isValid())
            painter->drawLine(x + indent / 2, rect.top(), x + indent / 2, rect.bottom());
        ancestor = ancestor.parent();
    }

    const QTreeWidgetItem *node = itemFromIndex(index);
    if (node && hasButton(node)) {
        const QRect button(midX - 4, midY - 4, 8, 8);
        painter->setPen(QPen(lineColour, 1));
        painter->setBrush(palette().color(QPalette::Base));
        painter->drawRect(button);
        painter->setPen(QPen(palette().color(QPalette::Text), 1));
        painter->drawLine(midX - 2, midY, midX + 2, midY);
        if (!isExpanded(index))
            painter->drawLine(midX, midY - 2, midX, midY + 2);
    }
    painter->restore();
}

void CGTreeView::applyFont()
{
    if (m_fonts)
        setFont(m_fonts->font(FontManager::TreeFont));
}

void CGTreeView::onFontChanged(int kind)
{
    if (kind == FontManager::TreeFont)
        applyFont();
}
