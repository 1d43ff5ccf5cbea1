// What the main frame's commands do and when they are enabled: the functions
// the rows of commandtable.cpp name.

#include "ui/mainframe.h"

#include "app/tarnwickapp.h"
#include "documents/tarnwickdoc.h"
#include "items/displaytext.h"
#include "ui/dialogs/winsockinfodialog.h"
#include "ui/commanddialogs.h"
#include "ui/views/gopherdirview.h"
#include "ui/gophermdichild.h"
#include "ui/gophersplitterchild.h"
#include "ui/image/picturewindow.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStatusBar>
#include <QToolBar>

// ---- When commands are enabled ----

bool CMainFrame::hasDocument() const
{
    return activeDocument() != nullptr;
}

bool CMainFrame::canStop() const
{
    const CTarnwickDoc *doc = activeDocument();
    return doc && doc->hasLiveTransaction();
}

bool CMainFrame::canStopAll() const
{
    return m_engine.registry().documentCount() > 0;
}

bool CMainFrame::canReload() const
{
    const CTarnwickDoc *doc = activeDocument();
    return doc && doc->OnUpdateReload();
}

bool CMainFrame::canSave() const
{
    // A picture window saves its download's bytes, readable or not.
    if (const CPictureWindow *picture = activePictureWindow())
        return picture->document() != nullptr;
    const CTarnwickDoc *doc = activeDocument();
    return doc && doc->OnUpdateFileSave();
}

bool CMainFrame::canCopy() const
{
    if (const CPictureWindow *picture = activePictureWindow())
        return picture->hasPicture();
    const CTarnwickDoc *doc = activeDocument();
    return doc && doc->OnUpdateEditCopy();
}

bool CMainFrame::canFind() const
{
    const CTarnwickDoc *doc = activeDocument();
    return doc && doc->CanFindText();
}

bool CMainFrame::canFindAgain() const
{
    return activeDocument() && !m_findText.isEmpty();
}

bool CMainFrame::canGoBack() const
{
    const CTarnwickDoc *doc = activeDocument();
    return doc && doc->OnUpdateBack();
}

bool CMainFrame::canFetch() const
{
    if (const CGopherDirView *list = activeDirectoryList())
        return list->canFetchSelected();
    const CTarnwickDoc *doc = activeDocument();
    return doc && doc->OnUpdateFetch();
}

bool CMainFrame::isToolbarShown() const
{
    return toolbarWanted();
}

bool CMainFrame::isStatusBarShown() const
{
    return !statusBar()->isHidden();
}

bool CMainFrame::isMenuAsAuthored() const
{
    return m_app.menuAsAuthored();
}

void CMainFrame::onToggleMenuAsAuthored()
{
    // Every directory window follows the switch at once.
    m_app.setMenuAsAuthored(!m_app.menuAsAuthored());
}

bool CMainFrame::usesPrinterFont() const
{
    return const_cast<FontManager &>(m_fonts).usePrinterFont();
}

// ---- Commands ----

void CMainFrame::onReload()
{
    activeDocument()->OnReload();
}

void CMainFrame::onSave()
{
    if (CPictureWindow *picture = activePictureWindow())
        picture->saveItem();
    else
        activeDocument()->OnFileSave();
}

void CMainFrame::onExit()
{
    close();
}

void CMainFrame::onCopy()
{
    if (CPictureWindow *picture = activePictureWindow())
        picture->copyToClipboard();
    else
        activeDocument()->OnEditCopy();
}

void CMainFrame::onGoTop()
{
    activeDocument()->OnGoTop();
}

void CMainFrame::onBack()
{
    activeDocument()->OnBack();
}

void CMainFrame::onFetch()
{
    if (CGopherDirView *list = activeDirectoryList())
        list->fetchSelected();
    else
        activeDocument()->OnFetch();
}

void CMainFrame::onToggleToolbar()
{
    ToolbarSettings t = currentToolbarSettings();
    t.show = !toolbarWanted();
    applyToolbarSettings(t);
}

void CMainFrame::onToggleStatusBar()
{
    statusBar()->setVisible(statusBar()->isHidden());
}

void CMainFrame::onCascade()
{
    m_mdi->cascadeSubWindows();
}

void CMainFrame::onTile()
{
    m_mdi->tileSubWindows();
}

void CMainFrame::onArrangeIcons()
{
    for (QMdiSubWindow *w : m_mdi->subWindowList()) {
        if (w->isMinimized())
            w->showMinimized();
    }
}

void CMainFrame::onNextPane()
{
    activatePane(1);
}

void CMainFrame::onPreviousPane()
{
    activatePane(-1);
}

void CMainFrame::onNextWindow()
{
    switchWindow(1);
}

void CMainFrame::onPreviousWindow()
{
    switchWindow(-1);
}

void CMainFrame::switchWindow(int step)
{
    if (step > 0)
        m_mdi->activateNextSubWindow();
    else
        m_mdi->activatePreviousSubWindow();
    // The window comes back with the keyboard where it was; a window that
    // never had it gets it on its list or text.
    QMdiSubWindow *active = m_mdi->activeSubWindow();
    if (active && !active->isAncestorOf(QApplication::focusWidget())) {
        if (QWidget *view = mainViewOf(active))
            view->setFocus(Qt::OtherFocusReason);
    }
}

void CMainFrame::onDirFont()
{
    m_fonts.chooseFont(FontManager::DirFont, this);
}

void CMainFrame::onTreeFont()
{
    m_fonts.chooseFont(FontManager::TreeFont, this);
}

void CMainFrame::onBookmarkFont()
{
    m_fonts.chooseFont(FontManager::BMFont, this);
}

void CMainFrame::onTextFont()
{
    m_fonts.chooseFont(FontManager::TextFont, this);
}

void CMainFrame::onPhoneFont()
{
    m_fonts.chooseFont(FontManager::PhoneFont, this);
}

void CMainFrame::onAskFont()
{
    m_fonts.chooseFont(FontManager::AskFont, this);
}

void CMainFrame::onHomeSetup()
{
    homeServerSetup();
}

void CMainFrame::onUserOptions()
{
    runUserOptions(this, m_app, m_ui);
}

void CMainFrame::onDirectories()
{
    runDirectories(this, m_app, m_ui);
}

void CMainFrame::onWinSockInfo()
{
    const std::unique_ptr<WinSockInfoDialog> dialog = makeWinSockInfo(this, m_engine.winSockInfo());
    m_ui.attachHelp(dialog.get(), HelpPage::Messages);
    dialog->exec();
}

void CMainFrame::onAbout()
{
    runAbout(this, m_app.settingsPath());
}

void CMainFrame::activatePane(int step)
{
    auto *splitter = qobject_cast<CGopherSplitterChild *>(m_mdi->activeSubWindow());
    if (!splitter)
        return;
    const QList<QWidget *> panes = splitter->panes();
    if (panes.isEmpty())
        return;
    qsizetype current = -1;
    for (qsizetype i = 0; i < panes.size(); ++i) {
        if (panes.at(i)->hasFocus() || panes.at(i)->isAncestorOf(QApplication::focusWidget()))
            current = i;
    }
    const qsizetype next = (current + step + panes.size()) % panes.size();
    panes.at(next)->setFocus(Qt::OtherFocusReason);
}

namespace {

// The connection is the window's: it belongs to a row of a directory only
// when the row names the same server the same way.
QByteArray connectionText(const CTarnwickDoc *doc, const CBookmark &shown)
{
    if (!doc)
        return {};
    const CBookmark &own = doc->item();
    if (shown.host != own.host || shown.port != own.port || shown.tls != own.tls)
        return {};
    return doc->connectionInfo().infoText();
}

} // namespace

void CMainFrame::OnItemInfo()
{
    CTarnwickDoc *doc = activeDocument();
    if (!doc)
        return;
    if (!m_infoWindow) {
        m_infoWindow = new CItemInfoWindow(this);
        m_infoWindow->setAttribute(Qt::WA_DeleteOnClose);
        m_infoWindow->setWindowIcon(QIcon(m_icons.icon('?')));
        m_ui.attachHelp(m_infoWindow, HelpPage::Info);
        // The record follows View > Encoding like the item's own windows.
        connect(&m_app.hostEncodings(), &HostEncodings::encodingChanged, m_infoWindow,
                [this] { refreshItemInfo(m_infoWindow->item()); });
    }
    const CBookmark &shown = doc->GetItem();
    m_infoWindow->setItem(shown, m_app.hostEncodings().encoding(shown.host),
                          connectionText(doc, shown));
    m_infoWindow->show();
    m_infoWindow->raise();
}

void CMainFrame::refreshItemInfo(const CBookmark &item)
{
    if (m_infoWindow && m_infoWindow->isVisible())
        m_infoWindow->setItem(item, m_app.hostEncodings().encoding(item.host),
                              connectionText(activeDocument(), item));
}

void CMainFrame::OnFind()
{
    if (m_findDialog) {
        m_findDialog->raise();
        m_findDialog->activateWindow();
        return;
    }
    m_findDialog = new FindDialog(this);
    m_findDialog->setAttribute(Qt::WA_DeleteOnClose);
    m_findDialog->setState(m_findText, m_findDown, m_findMatchCase);
    connect(m_findDialog, &FindDialog::findNext, this, &CMainFrame::findNext);
    m_findDialog->show();
}

void CMainFrame::findNext(const QString &text, bool down, bool matchCase)
{
    m_findText = text.left(FindDialog::MaxText);
    m_findDown = down;
    m_findMatchCase = matchCase;
    m_findWholeWord = false;
    if (CTarnwickDoc *doc = activeDocument())
        doc->FindText(textBytes(m_findText), m_findDown, m_findMatchCase, m_findWholeWord);
    scheduleCommandUpdate();
}

void CMainFrame::OnFindAgain()
{
    CTarnwickDoc *doc = activeDocument();
    if (doc && !m_findText.isEmpty())
        doc->FindText(textBytes(m_findText), m_findDown, m_findMatchCase, m_findWholeWord);
}

void CMainFrame::OnStop()
{
    if (CTarnwickDoc *doc = activeDocument())
        doc->cancelTransfer();
}

void CMainFrame::OnStopAll()
{
    m_engine.CancelAllTransactions();
}

void CMainFrame::OnCloseActiveDocument()
{
    if (QMdiSubWindow *w = m_mdi->activeSubWindow())
        w->close();
}

void CMainFrame::OnHomeGopher()
{
    HomeGophers &home = m_app.homeGophers();
    if (home.GetHomeCount() < 1) {
        homeServerSetup();
        if (home.GetHomeCount() < 1)
            return;
    }
    const QByteArray key = m_app.windowKeyOf(home.homeItem(1));
    if (CTarnwickDoc *open = m_windows.document(key)) {
        setStatusMessage(QByteArray("Restoring window"));
        closeDocumentOfFrame(open);
    }
    m_app.OpenHomeGopher();
}

bool CMainFrame::homeServerSetup()
{
    const bool accepted = runHomeServerSetup(this, m_app, m_ui);
    updateEmptyFrameHint();
    return accepted;
}
