#include "ui/mainframe.h"

#include "app/tarnwickapp.h"
#include "docs/gopherdir.h"
#include "docs/gophertextdoc.h"
#include "docs/tarnwickdoc.h"
#include "gplus/iteminfowindow.h"
#include "items/displaytext.h"
#include "items/typetable.h"
#include "ui/finddialog.h"
#include "ui/gophermdichild.h"
#include "ui/gophersplitterchild.h"
#include "ui/gophertextview.h"
#include "ui/gopherdirview.h"
#include "ui/gtreeview.h"
#include "ui/commanddialogs.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

CMainFrame::CMainFrame(CTarnwickApp &app, QWidget *parent)
    : QMainWindow(parent), m_app(app), m_ui(this), m_windows(&m_ui),
      m_fonts(app.profile())
{
    setWindowTitle(QApplication::applicationName());
    m_mdi = new QMdiArea(this);
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);

    m_app.setContext(&m_engine, &m_windows, &m_ui);
    m_app.setFrameFactory(this);
    m_fonts.setUserInterface(&m_ui);
    m_ui.statusSink = [this](const QByteArray &text) { setStatusMessage(text); };
    m_ui.homeServerSetupHandler = [this] { runHomeServerSetup(this, m_app, m_ui); };

    createMenus();
    createStatusBar();
    createToolBar();
    applyToolbarSettings(m_app.settings().toolbarSettings());

    connect(m_mdi, &QMdiArea::subWindowActivated, this, [this] {
        if (CTarnwickDoc *doc = activeDocument())
            refreshItemInfo(doc->GetItem());
        updateCommandStates();
    });
    connect(&m_engine, &TransactionEngine::activityChanged, this,
            [this] { updateCommandStates(); });
    auto *idleTimer = new QTimer(this);
    idleTimer->setInterval(500);
    connect(idleTimer, &QTimer::timeout, this, [this] {
        updateCommandStates();
        updateLockIndicators();
    });
    idleTimer->start();
    updateCommandStates();
}

CMainFrame::~CMainFrame()
{
    if (m_findDialog)
        delete m_findDialog;
    if (m_infoWindow)
        delete m_infoWindow;
    // Windows first, then the documents, while the engine and the registers
    // they talk to still exist.
    m_mdi->closeAllSubWindows();
    for (QMdiSubWindow *w : m_mdi->subWindowList())
        delete w;
    for (CTarnwickDoc *doc : m_app.findChildren<CTarnwickDoc *>(Qt::FindDirectChildrenOnly))
        delete doc;
    // The window is gone: a write that fails here leaves the old settings
    // whole, and there is no one left to tell.
    static_cast<void>(m_app.settings().setToolbarSettings(currentToolbarSettings()));
    m_app.setContext(nullptr, nullptr, nullptr);
    m_app.setFrameFactory(nullptr);
}

QAction *CMainFrame::addCommand(QMenu *menu, int id, const QString &text, const QString &tip,
                                const QKeySequence &key)
{
    auto *action = new QAction(text, this);
    action->setData(id);
    if (!tip.isEmpty()) {
        action->setStatusTip(tip);
        action->setToolTip(QString(text).remove(QLatin1Char('&')).remove(QStringLiteral("...")));
    }
    // Accelerators belong to the main window and its document windows; in a
    // dialog (the Find dialog) Ctrl+C and Esc keep their own meaning.
    if (!key.isEmpty())
        action->setShortcut(key);
    connect(action, &QAction::triggered, this, [this, id] { runCommand(id); });
    if (menu)
        menu->addAction(action);
    else
        addAction(action);
    m_actions.insert(id, action);
    return action;
}

void CMainFrame::createMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    addCommand(file, ID_NEW_ITEM, QStringLiteral("&New Gopher Item..."),
               QStringLiteral("Fetch a Gopher item by its host, port, type and selector"),
               QKeySequence(Qt::CTRL | Qt::Key_N));
    addCommand(file, ID_HOME, QStringLiteral("&Home Gopher"),
               QStringLiteral("Fetch the home Gopher directory"), QKeySequence(Qt::CTRL | Qt::Key_H));
    file->addSeparator();
    addCommand(file, ID_INFO, QStringLiteral("&Info on Item..."),
               QStringLiteral("Show Gopher+ information for the current item"),
               QKeySequence(Qt::CTRL | Qt::Key_I));
    addCommand(file, ID_RELOAD, QStringLiteral("&Reload"),
               QStringLiteral("Fetch the current item again from the network"),
               QKeySequence(Qt::Key_F5));
    addCommand(file, ID_STOP, QStringLiteral("St&op"),
               QStringLiteral("Cancel network activity for the current window"));
    file->addSeparator();
    addCommand(file, ID_FILE_SAVE, QStringLiteral("Save Ite&m"),
               QStringLiteral("Save the active document to a disk file"),
               QKeySequence(Qt::CTRL | Qt::Key_S));
    addCommand(file, ID_DELETE_FILES, QStringLiteral("&Delete Files..."),
               QStringLiteral("Delete downloaded files"));
    file->addSeparator();
    addCommand(file, ID_PRINT, QStringLiteral("&Print..."), QStringLiteral("Print the active document"),
               QKeySequence(Qt::CTRL | Qt::Key_P));
    addCommand(file, ID_PRINT_PREVIEW, QStringLiteral("Print Pre&view"),
               QStringLiteral("Display full pages"));
    addCommand(file, ID_PRINT_SETUP, QStringLiteral("Print &Setup..."),
               QStringLiteral("Change the printer and printing options"));
    addCommand(file, ID_PAGE_SETUP, QStringLiteral("Page Set&up..."),
               QStringLiteral("Change the margins, header and footer"));
    file->addSeparator();
    addCommand(file, ID_SEND, QStringLiteral("S&end..."),
               QStringLiteral("Send the active document through electronic mail"));
    file->addSeparator();
    addCommand(file, ID_EXIT, QStringLiteral("E&xit"), QStringLiteral("Quit the application"));

    QMenu *edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    addCommand(edit, ID_EDIT_COPY, QStringLiteral("&Copy"),
               QStringLiteral("Copy the selection or the document to the clipboard"),
               QKeySequence(Qt::CTRL | Qt::Key_C));
    edit->addSeparator();
    addCommand(edit, ID_FIND, QStringLiteral("&Find..."), QStringLiteral("Find text"),
               QKeySequence(Qt::CTRL | Qt::Key_F));
    addCommand(edit, ID_FIND_AGAIN, QStringLiteral("Find &again"),
               QStringLiteral("Repeat the last search"), QKeySequence(Qt::Key_F3));

    QMenu *view = menuBar()->addMenu(QStringLiteral("&View"));
    QAction *toolbarAction = addCommand(view, ID_VIEW_TOOLBAR, QStringLiteral("Tool&bar"),
                                        QStringLiteral("Show or hide the toolbar"));
    toolbarAction->setCheckable(true);
    QAction *statusAction = addCommand(view, ID_VIEW_STATUS_BAR, QStringLiteral("&Status Bar"),
                                       QStringLiteral("Show or hide the status bar"));
    statusAction->setCheckable(true);
    statusAction->setChecked(true);
    QMenu *buttons = view->addMenu(QStringLiteral("Toolbar &Buttons"));
    const QStringList sizeNames = {QStringLiteral("&Small"), QStringLiteral("&Large"),
                                   QStringLiteral("Large with &Text")};
    auto *sizeGroup = new QActionGroup(this);
    for (int code = 0; code < 3; ++code) {
        QAction *a = buttons->addAction(sizeNames.at(code));
        a->setCheckable(true);
        a->setData(code);
        sizeGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, code] {
            ToolbarSettings t = currentToolbarSettings();
            t.size = code;
            applyToolbarSettings(t);
        });
    }
    QAction *tips = buttons->addAction(QStringLiteral("Show Tool&tips"));
    tips->setCheckable(true);
    tips->setObjectName(QStringLiteral("showTooltips"));
    connect(tips, &QAction::toggled, this, [this](bool on) {
        ToolbarSettings t = currentToolbarSettings();
        t.tooltips = on;
        applyToolbarSettings(t);
    });
    connect(buttons, &QMenu::aboutToShow, this, [this, sizeGroup, tips] {
        for (QAction *a : sizeGroup->actions())
            a->setChecked(a->data().toInt() == m_toolbarSizeCode);
        tips->setChecked(m_toolbarSettings.tooltips);
    });

    QMenu *bookmarks = menuBar()->addMenu(QStringLiteral("&Bookmarks"));
    addCommand(bookmarks, ID_FETCH_BOOKMARK, QStringLiteral("&Fetch..."),
               QStringLiteral("Fetch a stored bookmark"));
    addCommand(bookmarks, ID_ADD_BOOKMARK, QStringLiteral("&Add Bookmark..."),
               QStringLiteral("Add this location to the bookmark list"),
               QKeySequence(Qt::ALT | Qt::Key_S));
    addCommand(bookmarks, ID_ADD_DIR_BOOKMARK, QStringLiteral("Add Directory Bookmark..."),
               QStringLiteral("Add bookmark for the directory window"));
    addCommand(bookmarks, ID_EDIT_BOOKMARKS, QStringLiteral("&Edit Bookmarks..."),
               QStringLiteral("Edit the bookmark list"), QKeySequence(Qt::CTRL | Qt::Key_E));
    addCommand(bookmarks, ID_GO_TOP, QStringLiteral("Get Bookmark &Root"),
               QStringLiteral("Go to the top of this Gopher's outline"));
    addCommand(bookmarks, ID_CATEGORIES, QStringLiteral("&Categories..."),
               QStringLiteral("Edit the bookmark categories"));

    QMenu *options = menuBar()->addMenu(QStringLiteral("&Options"));
    addCommand(options, ID_PREFERENCES, QStringLiteral("&Preferences..."),
               QStringLiteral("Change all settings on one tabbed sheet"));
    options->addSeparator();
    addCommand(options, ID_HOME_SETUP, QStringLiteral("&Home Gopher Server(s)..."),
               QStringLiteral("Set the home Gopher servers"));
    addCommand(options, ID_OPTIONS, QStringLiteral("User &Options..."),
               QStringLiteral("Change the user options"));
    addCommand(options, ID_DIRECTORIES, QStringLiteral("Gopher &Directories..."),
               QStringLiteral("Set the directories for temporary and downloaded files"));
    QMenu *fonts = options->addMenu(QStringLiteral("&Fonts"));
    addCommand(fonts, ID_DIR_FONT, QStringLiteral("D&irectory List..."),
               QStringLiteral("Change the font of directory lists"));
    addCommand(fonts, ID_DOCUMENT_FONT, QStringLiteral("&Document List..."),
               QStringLiteral("Change the font of the document list"));
    addCommand(fonts, ID_BM_FONT, QStringLiteral("&Bookmark List..."),
               QStringLiteral("Change the font of the bookmark view"));
    addCommand(fonts, ID_TEXT_FONT, QStringLiteral("&Text Window..."),
               QStringLiteral("Change the font of text windows"));
    addCommand(fonts, ID_PHONE_FONT, QStringLiteral("P&hone Window..."),
               QStringLiteral("Change the font of phone-book windows"));
    addCommand(fonts, ID_ASK_FONT, QStringLiteral("&Ask Form..."),
               QStringLiteral("Change the font of ask forms"));
    addCommand(fonts, ID_PRINTER_FONT, QStringLiteral("&Printer..."),
               QStringLiteral("Change the printer font"));
    addCommand(fonts, ID_USE_PRINTER_FONT, QStringLiteral("&Use Printer Font"),
               QStringLiteral("Print with the printer font"))
        ->setCheckable(true);

    QMenu *window = menuBar()->addMenu(QStringLiteral("&Window"));
    addCommand(window, ID_CASCADE, QStringLiteral("&Cascade"),
               QStringLiteral("Arrange windows so they overlap"));
    addCommand(window, ID_TILE, QStringLiteral("&Tile"),
               QStringLiteral("Arrange windows as non-overlapping tiles"));
    addCommand(window, ID_ARRANGE, QStringLiteral("&Arrange Icons"),
               QStringLiteral("Arrange icons at the bottom of the window"));

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    addCommand(help, ID_HELP_INDEX, QStringLiteral("&Index"), QStringLiteral("List Help topics"),
               QKeySequence(Qt::Key_F1));
    addCommand(help, ID_HELP_USING, QStringLiteral("&Using Help"),
               QStringLiteral("Display instructions about how to use help"));
    addCommand(help, ID_CONTEXT_HELP, QStringLiteral("&Context help"),
               QStringLiteral("Display help for clicked on buttons, menus and windows"),
               QKeySequence(Qt::SHIFT | Qt::Key_F1));
    help->addSeparator();
    addCommand(help, ID_WINSOCK_INFO, QStringLiteral("Show &WinSock Info..."),
               QStringLiteral("Show information provided by the WinSock vendor, including "
                              "version, vendor ID, etc."));
    addCommand(help, ID_ABOUT, QStringLiteral("&About Tarnwick..."),
               QStringLiteral("Display program information, version number and copyright"));

    // Commands without a menu entry: toolbar buttons and accelerators.
    addCommand(nullptr, ID_STOP_ALL, QStringLiteral("Stop All"),
               QStringLiteral("Cancel all network activity currently in progress"));
    addCommand(nullptr, ID_FETCH, QStringLiteral("Fetch"),
               QStringLiteral("Fetch the selected item"));
    addCommand(nullptr, ID_BACK, QStringLiteral("Back"),
               QStringLiteral("Backtrack one level in this Gopher's outline"));
    addCommand(nullptr, ID_FETCH_SPECIAL, QStringLiteral("Fetch Special"),
               QStringLiteral("Fetch an item with control over the item type, etc."));
    addCommand(nullptr, ID_FILE_CLOSE, QStringLiteral("Close"),
               QStringLiteral("Close the active document"), QKeySequence(Qt::Key_Escape));
    addCommand(nullptr, ID_NEXT_PANE, QStringLiteral("Next Pane"), QStringLiteral("Switch to the next window pane"),
               QKeySequence(Qt::Key_F6));
    addCommand(nullptr, ID_PREV_PANE, QStringLiteral("Previous Pane"),
               QStringLiteral("Switch back to the previous window pane"),
               QKeySequence(Qt::SHIFT | Qt::Key_F6));
    for (const int id : {ID_EDIT_VIEWS, ID_RANK_VIEWS, ID_EDIT_LANGUAGES, ID_VIEWERS,
                         ID_TELNET_PROGRAMS})
        addCommand(nullptr, id, QString::number(id));

    // Hovering a command shows its prompt in the message pane.
    for (QAction *a : std::as_const(m_actions)) {
        connect(a, &QAction::hovered, this, [this, a] {
            if (!a->statusTip().isEmpty())
                m_message->setText(a->statusTip());
        });
    }
}

void CMainFrame::createToolBar()
{
    m_toolBar = new QToolBar(QStringLiteral("Toolbar"), this);
    m_toolBar->setObjectName(QStringLiteral("mainToolbar"));
    struct Button
    {
        int id;
        const char *theme;
        QStyle::StandardPixmap fallback;
        const char *text;
    };
    const Button buttons[] = {
        {ID_HOME, "go-home", QStyle::SP_DirHomeIcon, "Home"},
        {ID_BACK, "go-previous", QStyle::SP_ArrowBack, "Back"},
        {ID_GO_TOP, "go-top", QStyle::SP_ArrowUp, "Root"},
        {ID_RELOAD, "view-refresh", QStyle::SP_BrowserReload, "Reload"},
        {ID_STOP, "process-stop", QStyle::SP_BrowserStop, "Stop"},
        {ID_STOP_ALL, "process-stop", QStyle::SP_DialogCancelButton, "Stop All"},
        {ID_FETCH, "go-jump", QStyle::SP_ArrowForward, "Fetch"},
        {0, nullptr, QStyle::SP_CustomBase, nullptr},
        {ID_INFO, "dialog-information", QStyle::SP_MessageBoxInformation, "Info"},
        {ID_FIND, "edit-find", QStyle::SP_FileDialogContentsView, "Find"},
        {ID_EDIT_COPY, "edit-copy", QStyle::SP_FileDialogDetailedView, "Copy"},
        {ID_FILE_SAVE, "document-save", QStyle::SP_DialogSaveButton, "Save"},
        {ID_PRINT, "document-print", QStyle::SP_FileIcon, "Print"},
        {0, nullptr, QStyle::SP_CustomBase, nullptr},
        {ID_ADD_BOOKMARK, "bookmark-new", QStyle::SP_DialogYesButton, "Add"},
        {ID_EDIT_BOOKMARKS, "bookmarks-organize", QStyle::SP_FileDialogListView, "Bookmarks"},
    };
    for (const Button &b : buttons) {
        if (!b.id) {
            m_toolBar->addSeparator();
            continue;
        }
        QAction *a = m_actions.value(b.id);
        a->setIcon(QIcon::fromTheme(QString::fromLatin1(b.theme), style()->standardIcon(b.fallback)));
        a->setIconText(QString::fromLatin1(b.text));
        m_toolBar->addAction(a);
    }
    addToolBar(Qt::TopToolBarArea, m_toolBar);
    connect(m_toolBar, &QToolBar::visibilityChanged, m_actions.value(ID_VIEW_TOOLBAR),
            &QAction::setChecked);
    // The frame follows where the user docks or floats the toolbar.
    connect(m_toolBar, &QToolBar::topLevelChanged, this, [this] {
        m_toolbarSettings.position = toolbarPositionCode();
    });
    connect(m_toolBar, &QToolBar::orientationChanged, this, [this] {
        m_toolbarSettings.position = toolbarPositionCode();
    });
}

void CMainFrame::createStatusBar()
{
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("message"));
    m_message->setTextFormat(Qt::PlainText);
    statusBar()->addWidget(m_message, 1);
    m_caps = new QLabel(QStringLiteral("CAP"), this);
    m_num = new QLabel(QStringLiteral("NUM"), this);
    m_scroll = new QLabel(QStringLiteral("SCRL"), this);
    for (QLabel *l : {m_caps, m_num, m_scroll}) {
        l->setFrameShape(QFrame::StyledPanel);
        l->setFrameShadow(QFrame::Sunken);
        l->setAlignment(Qt::AlignCenter);
        l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 10);
        statusBar()->addPermanentWidget(l);
    }
    updateLockIndicators();
}

// The keyboard's lock lights as the kernel reports them; where it does not
// (no such LED, a remote display) the panes stay dim.
void CMainFrame::updateLockIndicators()
{
    auto ledOn = [](const char *name) {
        const QDir leds(QStringLiteral("/sys/class/leds"));
        const QStringList entries = leds.entryList(
            {QStringLiteral("*::") + QString::fromLatin1(name)}, QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &entry : entries) {
            QFile f(leds.filePath(entry) + QStringLiteral("/brightness"));
            if (f.open(QIODevice::ReadOnly) && f.readAll().trimmed().toInt() > 0)
                return true;
        }
        return false;
    };
    m_caps->setEnabled(ledOn("capslock"));
    m_num->setEnabled(ledOn("numlock"));
    m_scroll->setEnabled(ledOn("scrolllock"));
}

QString CMainFrame::statusMessage() const
{
    return m_message->text();
}

void CMainFrame::setStatusMessage(const QByteArray &text)
{
    m_message->setText(displayText(text));
    m_message->repaint();
}

CTarnwickDoc *CMainFrame::activeDocument() const
{
    QMdiSubWindow *w = m_mdi->activeSubWindow();
    if (!w)
        w = m_mdi->currentSubWindow();
    if (auto *c = qobject_cast<CGopherMDIChild *>(w))
        return c->document();
    if (auto *c = qobject_cast<CGopherSplitterChild *>(w))
        return c->document();
    return nullptr;
}

void CMainFrame::updateCommandStates()
{
    CTarnwickDoc *doc = activeDocument();
    const bool live = doc && doc->hasLiveTransaction();
    auto set = [this](int id, bool on) {
        if (QAction *a = m_actions.value(id))
            a->setEnabled(on);
    };
    set(ID_STOP, live);
    set(ID_STOP_ALL, m_engine.registry().documentCount() > 0);
    set(ID_RELOAD, doc && doc->OnUpdateReload());
    set(ID_FILE_SAVE, doc && doc->OnUpdateFileSave());
    set(ID_EDIT_COPY, doc && doc->OnUpdateEditCopy());
    set(ID_FIND, doc && doc->CanFindText());
    set(ID_FIND_AGAIN, doc && !m_findText.isEmpty());
    set(ID_BACK, doc && doc->OnUpdateBack());
    set(ID_GO_TOP, doc != nullptr);
    set(ID_INFO, doc != nullptr);
    set(ID_FILE_CLOSE, doc != nullptr);
    CGopherDirView *list = activeDirectoryList();
    set(ID_FETCH, list && list->canFetchSelected());
    set(ID_NEXT_PANE, doc != nullptr);
    set(ID_PREV_PANE, doc != nullptr);
    // Commands whose windows and forms are not part of this program yet.
    for (const int id : {ID_NEW_ITEM, ID_DELETE_FILES, ID_PRINT, ID_PRINT_PREVIEW,
                         ID_PRINT_SETUP, ID_PAGE_SETUP, ID_SEND, ID_PREFERENCES, ID_PRINTER_FONT,
                         ID_USE_PRINTER_FONT, ID_FETCH_BOOKMARK, ID_ADD_BOOKMARK,
                         ID_ADD_DIR_BOOKMARK, ID_EDIT_BOOKMARKS, ID_CATEGORIES, ID_HELP_INDEX,
                         ID_HELP_USING, ID_CONTEXT_HELP, ID_FETCH_SPECIAL, ID_EDIT_VIEWS,
                         ID_RANK_VIEWS, ID_EDIT_LANGUAGES, ID_VIEWERS, ID_TELNET_PROGRAMS})
        set(id, false);
    if (QAction *a = m_actions.value(ID_VIEW_STATUS_BAR))
        a->setChecked(statusBar()->isVisible());
}

void CMainFrame::runCommand(int id)
{
    CTarnwickDoc *doc = activeDocument();
    switch (id) {
    case ID_HOME: OnHomeGopher(); break;
    case ID_RELOAD:
        if (doc && doc->OnUpdateReload())
            doc->OnReload();
        break;
    case ID_STOP: OnStop(); break;
    case ID_STOP_ALL: OnStopAll(); break;
    case ID_FILE_SAVE:
        if (doc && doc->OnUpdateFileSave())
            doc->OnFileSave();
        break;
    case ID_EXIT: close(); break;
    case ID_EDIT_COPY:
        if (doc && doc->OnUpdateEditCopy())
            doc->OnEditCopy();
        break;
    case ID_FIND: OnFind(); break;
    case ID_INFO: OnItemInfo(); break;
    case ID_FIND_AGAIN: OnFindAgain(); break;
    case ID_GO_TOP:
        if (doc)
            doc->OnGoTop();
        break;
    case ID_BACK:
        if (doc && doc->OnUpdateBack())
            doc->OnBack();
        break;
    case ID_FILE_CLOSE: OnCloseActiveDocument(); break;
    case ID_FETCH:
        if (CGopherDirView *list = activeDirectoryList(); list && list->canFetchSelected())
            list->fetchSelected();
        break;
    case ID_VIEW_TOOLBAR: {
        ToolbarSettings t = currentToolbarSettings();
        t.show = m_actions.value(ID_VIEW_TOOLBAR)->isChecked();
        applyToolbarSettings(t);
        break;
    }
    case ID_VIEW_STATUS_BAR:
        statusBar()->setVisible(m_actions.value(ID_VIEW_STATUS_BAR)->isChecked());
        break;
    case ID_CASCADE: m_mdi->cascadeSubWindows(); break;
    case ID_TILE: m_mdi->tileSubWindows(); break;
    case ID_ARRANGE:
        for (QMdiSubWindow *w : m_mdi->subWindowList()) {
            if (w->isMinimized())
                w->showMinimized();
        }
        break;
    case ID_NEXT_PANE: activatePane(1); break;
    case ID_PREV_PANE: activatePane(-1); break;
    case ID_DIR_FONT: m_fonts.chooseFont(FontManager::DirFont, this); break;
    case ID_DOCUMENT_FONT: m_fonts.chooseFont(FontManager::TreeFont, this); break;
    case ID_BM_FONT: m_fonts.chooseFont(FontManager::BMFont, this); break;
    case ID_TEXT_FONT: m_fonts.chooseFont(FontManager::TextFont, this); break;
    case ID_PHONE_FONT: m_fonts.chooseFont(FontManager::PhoneFont, this); break;
    case ID_ASK_FONT: m_fonts.chooseFont(FontManager::AskFont, this); break;
    case ID_HOME_SETUP: runHomeServerSetup(this, m_app, m_ui); break;
    case ID_OPTIONS: runUserOptions(this, m_app, m_ui); break;
    case ID_DIRECTORIES: runDirectories(this, m_app, m_ui); break;
    case ID_WINSOCK_INFO: runWinSockInfo(this, m_engine.winSockInfo()); break;
    case ID_ABOUT: runAbout(this); break;
    default: break;
    }
    updateCommandStates();
}

void CMainFrame::showContextMenu(const QPoint &globalPos,
                                 const QList<QPair<QString, int>> &entries)
{
    updateCommandStates();
    QMenu menu(this);
    for (const auto &[text, id] : entries) {
        QAction *a = menu.addAction(text);
        a->setEnabled(m_actions.value(id) && m_actions.value(id)->isEnabled());
        connect(a, &QAction::triggered, this, [this, id = id] { runCommand(id); });
    }
    menu.exec(globalPos);
}

CGopherDirView *CMainFrame::activeDirectoryList() const
{
    if (auto *c = qobject_cast<CGopherSplitterChild *>(m_mdi->activeSubWindow()))
        return qobject_cast<CGopherDirView *>(c->directoryList());
    return nullptr;
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

void CMainFrame::OnItemInfo()
{
    CTarnwickDoc *doc = activeDocument();
    if (!doc)
        return;
    if (!m_infoWindow) {
        m_infoWindow = new CItemInfoWindow(this);
        m_infoWindow->setAttribute(Qt::WA_DeleteOnClose);
        m_infoWindow->setWindowIcon(QIcon(m_icons.icon('?')));
    }
    m_infoWindow->setItem(doc->GetItem());
    m_infoWindow->show();
    m_infoWindow->raise();
}

void CMainFrame::refreshItemInfo(const CBookmark &item)
{
    if (m_infoWindow && m_infoWindow->isVisible())
        m_infoWindow->setItem(item);
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
    updateCommandStates();
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
        runHomeServerSetup(this, m_app, m_ui);
        if (home.GetHomeCount() < 1)
            return;
    }
    const QByteArray key = home.homeItem(1).GetURL();
    if (CTarnwickDoc *open = m_windows.document(key)) {
        setStatusMessage(QByteArray("Restoring window"));
        closeDocumentOfFrame(open);
    }
    m_app.OpenHomeGopher();
}

DocumentFrame *CMainFrame::createFrame(CTarnwickDoc *document, int templateId, int openMode)
{
    switch (templateId) {
    case TypeTable::DirTemplate: {
        auto *dir = qobject_cast<CGopherDir *>(document);
        if (!dir)
            return nullptr;
        const int layout = openMode == CTarnwickDoc::HomeOpen ? m_app.homeGophers().GetHomeType() : 0;
        auto *list = new CGopherDirView(dir, &m_app, &m_fonts, &m_icons);
        connect(list, &CGopherDirView::itemSelected, this, &CMainFrame::refreshItemInfo);
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint &pos) {
            showContextMenu(list->mapToGlobal(pos), {{QStringLiteral("Add"), ID_ADD_BOOKMARK},
                                                     {QStringLiteral("Find"), ID_FIND},
                                                     {QStringLiteral("Info"), ID_INFO},
                                                     {QStringLiteral("Home"), ID_HOME}});
        });
        auto *tree = new CGTreeView(dir, &m_fonts, &m_icons);
        auto *bookmarks = new QTreeWidget;
        bookmarks->setHeaderHidden(true);
        bookmarks->setObjectName(QStringLiteral("bookmarkPane"));
        const QSize client = m_mdi->viewport()->size() * 3 / 4;
        auto *child = new CGopherSplitterChild(document, layout, list, tree, bookmarks, client);
        child->setWindowIcon(QIcon(m_icons.icon('1')));
        m_mdi->addSubWindow(child);
        child->resize(client);
        return child;
    }
    case TypeTable::TextTemplate: {
        auto *text = qobject_cast<CGopherTextDoc *>(document);
        if (!text)
            return nullptr;
        auto *child = new CGopherMDIChild(document);
        auto *view = new CGopherTextView(text, &m_fonts);
        connect(view, &CGopherTextView::contextMenuRequestedAt, this, [this](QPoint at) {
            showContextMenu(at, {{QStringLiteral("Add"), ID_ADD_BOOKMARK},
                                 {QStringLiteral("Find"), ID_FIND},
                                 {QStringLiteral("Reload"), ID_RELOAD}});
        });
        child->setView(view);
        child->setWindowIcon(QIcon(m_icons.icon('0')));
        m_mdi->addSubWindow(child);
        child->resize(m_mdi->viewport()->size() * 2 / 3);
        return child;
    }
    case TypeTable::InfoTemplate: {
        auto *child = new CGopherMDIChild(document);
        auto *label = new QLabel(QStringLiteral("Getting extended information for bookmark ..."));
        label->setAlignment(Qt::AlignCenter);
        child->setView(label);
        m_mdi->addSubWindow(child);
        child->resize(360, 120);
        return child;
    }
    default:
        return nullptr;
    }
}

void CMainFrame::placeChild(QMdiSubWindow *child)
{
    // A window that would reach past the client area goes to its corner.
    const QRect area = m_mdi->viewport()->rect();
    const QRect proposed = child->geometry();
    const int statusHeight = statusBar()->isVisible() ? statusBar()->height() : 0;
    if (proposed.right() + area.left() >= area.right()
        || proposed.bottom() + area.top() + statusHeight >= area.bottom())
        child->move(0, 0);
}

void CMainFrame::initialUpdate(DocumentFrame *frame)
{
    auto *child = dynamic_cast<QMdiSubWindow *>(frame);
    if (!child)
        return;
    QMdiSubWindow *previous = m_mdi->activeSubWindow();
    const bool maximised = previous && previous->isMaximized();
    child->show();
    placeChild(child);
    if (maximised)
        child->showMaximized();
    m_mdi->setActiveSubWindow(child);
    if (child->widget())
        child->widget()->setFocus();
    updateCommandStates();
}

int CMainFrame::toolbarPositionCode() const
{
    // Later tests win, as the frame has always derived it.
    int code = m_toolbarSettings.position;
    const Qt::ToolBarArea area = toolBarArea(m_toolBar);
    const bool floating = m_toolBar->isFloating();
    if (floating)
        code = 4;
    if (area == Qt::LeftToolBarArea)
        code = 2;
    if (area == Qt::TopToolBarArea && !floating)
        code = 0;
    if (area == Qt::RightToolBarArea)
        code = 3;
    if (area == Qt::BottomToolBarArea)
        code = 1;
    return code;
}

ToolbarSettings CMainFrame::currentToolbarSettings() const
{
    ToolbarSettings t = m_toolbarSettings;
    t.position = toolbarPositionCode();
    t.size = m_toolbarSizeCode;
    t.show = !m_toolBar->isHidden();
    if (m_toolBar->isFloating()) {
        t.floatX = m_toolBar->x();
        t.floatY = m_toolBar->y();
    } else {
        t.dockX = m_toolBar->x();
        t.dockY = m_toolBar->y();
    }
    return t;
}

void CMainFrame::applyToolbarSettings(const ToolbarSettings &toolbar)
{
    m_toolbarSettings = toolbar;
    m_toolbarSizeCode = (toolbar.size >= 0 && toolbar.size <= 2) ? toolbar.size : 0;
    Qt::ToolBarArea area = Qt::TopToolBarArea;
    switch (toolbar.position) {
    case 1: area = Qt::BottomToolBarArea; break;
    case 2: area = Qt::LeftToolBarArea; break;
    case 3: area = Qt::RightToolBarArea; break;
    default: break;
    }
    if (toolBarArea(m_toolBar) != area || m_toolBar->isFloating())
        addToolBar(area, m_toolBar);
    if (toolbar.position == 4) {
        // Floating: a tool window of its own at the saved place.
        m_toolBar->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
        m_toolBar->move(toolbar.floatX, toolbar.floatY);
        m_toolbarSettings.position = 4;
    }
    const int extent = style()->pixelMetric(QStyle::PM_SmallIconSize);
    const QSize small(extent, extent);
    const QSize large(extent * 3 / 2, extent * 3 / 2);
    m_toolBar->setIconSize(m_toolbarSizeCode == 0 ? small : large);
    m_toolBar->setToolButtonStyle(m_toolbarSizeCode == 2 ? Qt::ToolButtonTextUnderIcon
                                                         : Qt::ToolButtonIconOnly);
    for (QAction *a : m_toolBar->actions()) {
        if (QWidget *button = m_toolBar->widgetForAction(a)) {
            button->removeEventFilter(this);
            button->installEventFilter(this);
        }
    }
    m_toolBar->setVisible(toolbar.show);
    if (QAction *a = m_actions.value(ID_VIEW_TOOLBAR))
        a->setChecked(toolbar.show);
}

bool CMainFrame::eventFilter(QObject *watched, QEvent *event)
{
    // Toolbar buttons keep quiet when tooltips are switched off.
    if (event->type() == QEvent::ToolTip && !m_toolbarSettings.tooltips
        && watched->parent() == m_toolBar)
        return true;
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::RestoreWindowPlacement(int requestedShow)
{
    const QRect desktop = screen() ? screen()->availableGeometry() : QRect(0, 0, 1024, 768);
    const QRect defaultRect(desktop.left() + desktop.width() / 40, desktop.top() + desktop.height() / 40,
                            desktop.width() - 2 * (desktop.width() / 40),
                            desktop.height() - 2 * (desktop.height() / 40));
    int show = requestedShow;
    QRect rect = defaultRect;
    if (const auto saved = m_app.settings().windowPlacement()) {
        if (requestedShow != 1)
            show = requestedShow;
        else
            show = int(saved->showCmd);
        if (saved->left >= 0 && saved->top >= 0 && saved->right <= desktop.right() + 1
            && saved->bottom <= desktop.bottom() + 1 && saved->right > saved->left
            && saved->bottom > saved->top)
            rect = QRect(QPoint(saved->left, saved->top), QPoint(saved->right - 1, saved->bottom - 1));
    }
    setGeometry(rect);
    switch (show) {
    case 2: case 6: case 7: showMinimized(); break;
    case 3: showMaximized(); break;
    default: show == 0 ? hide() : showNormal(); break;
    }
}

void CMainFrame::WriteWindowPlacement()
{
    WindowPlacement p;
    p.flags = isMaximized() ? 2 : 0;
    p.showCmd = isMaximized() ? 3 : isMinimized() ? 2 : 1;
    p.minX = p.minY = p.maxX = p.maxY = -1;
    const QRect r = normalGeometry().isValid() ? normalGeometry() : geometry();
    p.left = r.left();
    p.top = r.top();
    p.right = r.right() + 1;
    p.bottom = r.bottom() + 1;
    if (!m_app.settings().setWindowPlacement(p))
        m_ui.messageBox(QByteArray("Could not write the settings file\n")
                            + m_app.settingsPath().toUtf8() + "\n"
                            + m_app.profile().lastError().toUtf8(),
                        UserInterface::Exclamation, UserInterface::Ok, Help::None);
}

void CMainFrame::closeEvent(QCloseEvent *event)
{
    WriteWindowPlacement();
    if (m_findDialog)
        m_findDialog->close();
    event->accept();
}
