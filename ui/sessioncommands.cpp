// Where the user has been: the History window, Back and Forward in a
// directory window, and the session saved at exit and reopened at start.

#include "ui/mainframe.h"

#include "app/sessionfile.h"
#include "app/tarnwickapp.h"
#include "bookmarks/bookmarkexchange.h"
#include "documents/gopherdir.h"
#include "documents/helptopics.h"
#include "ui/gophermdichild.h"
#include "ui/gophersplitterchild.h"
#include "ui/history/historywindow.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace {

CTarnwickDoc *documentOfWindow(QMdiSubWindow *window)
{
    if (auto *c = qobject_cast<CGopherMDIChild *>(window))
        return c->document();
    if (auto *c = qobject_cast<CGopherSplitterChild *>(window))
        return c->document();
    return nullptr;
}

} // namespace

bool CMainFrame::hasHistory() const
{
    return m_app.history() != nullptr;
}

void CMainFrame::onHistory()
{
    HistoryStore *store = m_app.history();
    if (!store)
        return;
    if (!m_historyWindow) {
        // What another running copy added meanwhile is shown too.
        store->reload();
        m_historyWindow = new HistoryWindow(
            *store, m_ui, &m_icons,
            [this](const HistoryEntry &entry) {
                m_app.OpenItem(m_app.itemFromUrl(entry.url, QString::fromUtf8(entry.title)), 0, 0);
            },
            this);
        m_historyWindow->setAttribute(Qt::WA_DeleteOnClose);
        // F1 in the window: the manual's section on it.
        auto *help = new QAction(m_historyWindow);
        help->setShortcut(Qt::Key_F1);
        m_historyWindow->addAction(help);
        connect(help, &QAction::triggered, this, [this] {
            HelpTopic topic = HelpTopics::topic(HelpPage::MainWindow);
            topic.anchor = QStringLiteral("history");
            m_ui.showHelp(topic);
        });
    }
    m_historyWindow->show();
    m_historyWindow->raise();
    m_historyWindow->activateWindow();
}

bool CMainFrame::canStepBack() const
{
    const auto *dir = qobject_cast<const CGopherDir *>(activeDocument());
    return dir && dir->canStepBack();
}

bool CMainFrame::canStepForward() const
{
    const auto *dir = qobject_cast<const CGopherDir *>(activeDocument());
    return dir && dir->canStepForward();
}

void CMainFrame::onStepBack()
{
    if (auto *dir = qobject_cast<CGopherDir *>(activeDocument()))
        dir->stepBack();
}

void CMainFrame::onStepForward()
{
    if (auto *dir = qobject_cast<CGopherDir *>(activeDocument()))
        dir->stepForward();
}

void CMainFrame::saveSession()
{
    if (m_sessionFile.isEmpty())
        return;
    // With the option off there is nothing to reopen, not even an old session.
    if (!m_app.settings().reopenWindows()) {
        SessionFile::remove(m_sessionFile);
        return;
    }
    QMdiSubWindow *active = m_mdi->activeSubWindow();
    if (!active)
        active = m_mdi->currentSubWindow();
    QList<SessionWindow> windows;
    for (QMdiSubWindow *window : m_mdi->subWindowList(QMdiArea::CreationOrder)) {
        const CTarnwickDoc *document = documentOfWindow(window);
        SessionWindow saved;
        saved.kind = SessionWindow::kindOf(document);
        if (saved.kind.isEmpty())
            continue;
        saved.url = BookmarkExchange::bareUrl(document->item());
        saved.title = document->title();
        saved.geometry = window->geometry();
        saved.state = window->isMinimized()   ? SessionWindow::State::Minimized
                      : window->isMaximized() ? SessionWindow::State::Maximized
                                              : SessionWindow::State::Normal;
        saved.active = window == active;
        if (document->openMode() == CTarnwickDoc::HomeOpen)
            saved.homeServer = int(document->secondValue());
        windows.append(saved);
    }
    QString error;
    if (!SessionFile::write(m_sessionFile, windows, &error) && !m_exitWithoutQuestion)
        m_ui.messageBox(QByteArray(QByteArray("Could not save the open windows in\n")
                                   + m_sessionFile.toUtf8() + "\n" + error.toUtf8()),
                        UserInterface::Exclamation, UserInterface::Ok, Help::None);
}

bool CMainFrame::reopenSession()
{
    if (m_sessionFile.isEmpty() || !m_app.settings().reopenWindows())
        return false;
    const QList<SessionWindow> windows = SessionFile::read(m_sessionFile);
    QByteArray activeKey;
    m_reopening.clear();
    QList<std::pair<CBookmark, SessionWindow>> items;
    for (const SessionWindow &window : windows) {
        CBookmark item;
        item.ParseURL(window.url);
        if (item.host.isEmpty() || item.port <= 0)
            continue;
        item.title = window.title;
        // A Gopher+ item opens once its attributes are in: its window is
        // placed when it comes.
        const QByteArray key = m_app.windowKeyOf(item);
        m_reopening.insert(key, window);
        if (window.active)
            activeKey = key;
        items.append({item, window});
    }
    bool opened = false;
    m_app.setRecordingPaused(true);
    for (const auto &[item, window] : std::as_const(items)) {
        const bool home = window.kind == "home";
        if (m_app.OpenItem(item, home ? CTarnwickDoc::HomeOpen : 0,
                           home ? (window.homeServer == 2 ? 2 : 1) : 0))
            opened = true;
    }
    m_app.setRecordingPaused(false);
    if (CTarnwickDoc *active = m_windows.document(activeKey))
        active->ActivateFrame();
    return opened;
}

void CMainFrame::placeReopenedWindow(CTarnwickDoc *document)
{
    if (m_reopening.isEmpty() || !document)
        return;
    const auto found = m_reopening.constFind(document->windowKey());
    if (found == m_reopening.constEnd())
        return;
    const SessionWindow window = found.value();
    m_reopening.erase(found);
    auto *child = dynamic_cast<QMdiSubWindow *>(document->frame());
    if (!child)
        return;
    // A place that no longer fits the frame (a smaller screen) is left to
    // the cascade.
    if (m_mdi->viewport()->rect().contains(window.geometry))
        child->setGeometry(window.geometry);
    if (window.state == SessionWindow::State::Maximized)
        child->showMaximized();
    else if (window.state == SessionWindow::State::Minimized)
        child->showMinimized();
    if (window.active)
        document->ActivateFrame();
}
