#include "ui/gophersplitterchild.h"

#include "documents/tarnwickdoc.h"
#include "ui/gophermdichild.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QSplitter>

namespace {

QSplitter *split(Qt::Orientation orientation, const QList<QWidget *> &widgets,
                 const QList<int> &sizes)
{
    auto *splitter = new QSplitter(orientation);
    splitter->setChildrenCollapsible(false);
    for (QWidget *w : widgets)
        splitter->addWidget(w);
    splitter->setSizes(sizes);
    return splitter;
}

} // namespace

CGopherSplitterChild::CGopherSplitterChild(CTarnwickDoc *document, int layout,
                                           QWidget *directoryList, QWidget *navigator,
                                           QWidget *bookmarks, const QSize &clientSize,
                                           QWidget *parent)
    : QMdiSubWindow(parent), m_document(document), m_layout(layout >= 0 && layout <= 7 ? layout : 0),
      m_list(directoryList), m_navigator(navigator), m_bookmarks(bookmarks)
{
    setAttribute(Qt::WA_DeleteOnClose);
    const int w = qMax(clientSize.width(), 3);
    const int h = qMax(clientSize.height(), 3);
    const bool withBookmarks = m_layout == 2 || m_layout == 3 || m_layout == 6 || m_layout == 7;
    if (!withBookmarks)
        m_bookmarks->hide();
    QSplitter *root = nullptr;
    switch (m_layout) {
    case 0: root = split(Qt::Horizontal, {m_navigator, m_list}, {w / 2, w - w / 2}); break;
    case 1: root = split(Qt::Vertical, {m_navigator, m_list}, {h / 2, h - h / 2}); break;
    case 2:
        root = split(Qt::Horizontal,
                     {split(Qt::Vertical, {m_bookmarks, m_navigator}, {h / 2, h - h / 2}), m_list},
                     {w / 2, w - w / 2});
        break;
    case 3:
        root = split(Qt::Horizontal, {m_bookmarks, m_navigator, m_list}, {w / 3, w / 3, w - 2 * (w / 3)});
        break;
    case 4: root = split(Qt::Horizontal, {m_list, m_navigator}, {w / 2, w - w / 2}); break;
    case 5: root = split(Qt::Vertical, {m_list, m_navigator}, {h / 2, h - h / 2}); break;
    case 6:
        root = split(Qt::Horizontal,
                     {split(Qt::Vertical, {m_navigator, m_bookmarks}, {h / 2, h - h / 2}), m_list},
                     {w / 2, w - w / 2});
        break;
    case 7:
        root = split(Qt::Vertical, {m_bookmarks, m_navigator, m_list}, {h / 3, h / 3, h - 2 * (h / 3)});
        break;
    }
    if (!withBookmarks)
        m_bookmarks->setParent(root);
    setWidget(root);
    // The keyboard goes to the list, not to the splitter around it.
    root->setFocusProxy(m_list);
    setFocusProxy(m_list);
    connect(document, &CTarnwickDoc::titleChanged, this,
            [this, document] { setWindowTitle(document->shownTitle()); });
}

QList<QWidget *> CGopherSplitterChild::panes() const
{
    QList<QWidget *> result;
    for (QWidget *w : {m_navigator, m_list, m_bookmarks}) {
        if (w && w->isVisibleTo(const_cast<CGopherSplitterChild *>(this)))
            result.append(w);
    }
    return result;
}

void CGopherSplitterChild::activateFrame()
{
    if (isMinimized())
        showNormal();
    if (QMdiArea *area = mdiArea())
        area->setActiveSubWindow(this);
}

void CGopherSplitterChild::destroyFrame()
{
    if (m_destroying)
        return;
    m_destroying = true;
    close();
}

void CGopherSplitterChild::closeEvent(QCloseEvent *event)
{
    if (!m_destroying) {
        m_destroying = true;
        closeDocumentOfFrame(m_document);
    }
    QMdiSubWindow::closeEvent(event);
}
