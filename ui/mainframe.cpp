#include "ui/mainframe.h"

#include "app/tarnwickapp.h"
#include "documents/gopherdir.h"
#include "documents/gophertextdoc.h"
#include "documents/phonetext.h"
#include "documents/searchtext.h"
#include "documents/gopherxferdoc.h"
#include "documents/tarnwickdoc.h"
#include "documents/telnettext.h"
#include "gplus/asktext.h"
#include "ui/gplus/askview.h"
#include "items/displaytext.h"
#include "items/typetable.h"
#include "ui/commanddialogs.h"
#include "ui/commandicons.h"
#include "ui/views/gopherdirview.h"
#include "ui/gophermdichild.h"
#include "ui/gophersplitterchild.h"
#include "ui/image/picturewindow.h"
#include "ui/views/bmview.h"
#include "ui/views/gophertextview.h"
#include "ui/guiprogram.h"
#include "ui/views/gtreeview.h"
#include "ui/views/searchview.h"
#include "ui/views/telnetview.h"
#include "ui/lockindicators.h"
#include "ui/programicon.h"
#include "ui/views/phoneview.h"
#include "ui/views/xferview.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QGuiApplication>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

#include <algorithm>
#include <array>

namespace {

QString homeSettingsSnapshot(const HomeGophers &home)
{
    QByteArray text = QByteArray::number(home.GetHomeCount());
    for (int n = 1; n <= 2; ++n) {
        text += '\n' + home.GetHomeServer(n) + ':' + QByteArray::number(home.GetHomePort(n)) + '\t'
                + home.GetHomeSelector(n) + '\t' + QByteArray::number(home.GetPlusServer(n));
    }
    return QString::fromLatin1(text);
}

} // namespace

CMainFrame::CMainFrame(GuiProgram &program, QWidget *parent)
    : QMainWindow(parent), m_app(program.app()), m_ui(program.ui()),
      m_engine(m_app.engine()), m_windows(m_app.windows()), m_fonts(m_app.profile())
{
    m_ui.setParentWindow(this);
    m_ui.setHelpDirectory(m_app.helpDirectory());
    CommandIcons::useFallbackTheme();
    setWindowTitle(QString::fromLatin1(FrameTitle));
    // Dialogs and document windows without an icon of their own take the
    // frame's ("Getting extended information" would show Qt's logo).
    setWindowIcon(ProgramIcon::icon());
    m_mdi = new QMdiArea(this);
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);

    m_emptyHint = new QLabel(m_mdi);
    m_emptyHint->setObjectName(QStringLiteral("emptyFrameHint"));
    m_emptyHint->setTextFormat(Qt::PlainText);
    m_emptyHint->setAlignment(Qt::AlignCenter);
    m_emptyHint->setWordWrap(true);
    m_emptyHint->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_emptyHint->setForegroundRole(QPalette::BrightText);
    m_emptyHint->setText(QStringLiteral(
        "No home gopher is set.\n\nChoose Options > Home Gopher Server(s)... to set one, or start "
        "Tarnwick with a gopher URL, for example: tarnwick gopher://host/"));
    m_mdi->installEventFilter(this);

    m_app.setFrameFactory(this);
    connect(&m_app, &CTarnwickApp::documentOpened, this, &CMainFrame::placeReopenedWindow);
    m_fonts.setUserInterface(&m_ui);
    m_ui.statusSink = [this](const QByteArray &text) { setStatusMessage(text); };
    // After "You could not reach your Home Gopher server": a changed home is
    // fetched once the failed window has gone.
    m_ui.pictureSink = [this](CGopherXferDoc &download) { showPicture(download); };
    m_ui.homeServerSetupHandler = [this] {
        HomeGophers &home = m_app.homeGophers();
        const QString before = homeSettingsSnapshot(home);
        if (homeServerSetup() && home.GetHomeCount() > 0 && homeSettingsSnapshot(home) != before)
            QMetaObject::invokeMethod(this, &CMainFrame::OnHomeGopher, Qt::QueuedConnection);
    };

    setUpBookmarks();
    createMenus();
    createStatusBar();
    createToolBar();
    applyToolbarSettings(m_app.settings().toolbarSettings());

    connect(m_mdi, &QMdiArea::subWindowActivated, this, [this] {
        if (CTarnwickDoc *doc = activeDocument())
            refreshItemInfo(doc->GetItem());
        updateFrameTitle();
        updateEmptyFrameHint();
        scheduleCommandUpdate();
    });
    connect(&m_engine, &TransactionEngine::activityChanged, this,
            &CMainFrame::scheduleCommandUpdate);
    // A logout asks as Exit does; the session's own close follows.
    connect(qApp, &QGuiApplication::commitDataRequest, this, &CMainFrame::onCommitData,
            Qt::DirectConnection);
    updateEmptyFrameHint();
    updateCommandStates();
}

CMainFrame::~CMainFrame()
{
    // Windows closed with the frame ask nothing.
    m_exiting = true;
    if (m_findDialog)
        delete m_findDialog;
    if (m_infoWindow)
        delete m_infoWindow;
    // The History window's rows take their pictures from the frame's icons,
    // which go before the frame's child widgets do.
    if (m_historyWindow)
        delete m_historyWindow;
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
    m_app.saveDirtyTables();
    m_app.setFrameFactory(nullptr);
    m_ui.statusSink = nullptr;
    m_ui.homeServerSetupHandler = nullptr;
    m_ui.pictureSink = nullptr;
    m_ui.setParentWindow(nullptr);
}

QWidget *CMainFrame::mainViewOf(QMdiSubWindow *child)
{
    if (auto *c = qobject_cast<CGopherMDIChild *>(child))
        return c->view();
    if (auto *c = qobject_cast<CGopherSplitterChild *>(child))
        return c->directoryList();
    // It hands the keyboard to the picture, or to what it says instead.
    if (auto *c = qobject_cast<CPictureWindow *>(child))
        return c;
    return nullptr;
}

// ---- Menus, toolbar and status bar from the command table ----

void CMainFrame::createMenus()
{
    std::array<QMenu *, 10> menus{};
    const auto menuAt = [&menus](CommandMenu place) -> QMenu *& { return menus[size_t(place)]; };
    menuAt(CommandMenu::File) = menuBar()->addMenu(QStringLiteral("&File"));
    menuAt(CommandMenu::Edit) = menuBar()->addMenu(QStringLiteral("&Edit"));
    menuAt(CommandMenu::View) = menuBar()->addMenu(QStringLiteral("&View"));
    menuAt(CommandMenu::Bookmarks) = menuBar()->addMenu(QStringLiteral("&Bookmarks"));
    menuAt(CommandMenu::Options) = menuBar()->addMenu(QStringLiteral("&Options"));
    menuAt(CommandMenu::Window) = menuBar()->addMenu(QStringLiteral("&Window"));
    menuAt(CommandMenu::Help) = menuBar()->addMenu(QStringLiteral("&Help"));

    for (const Command &c : commands()) {
        const QString text = c.text ? QString::fromUtf8(c.text) : QString::number(c.id);
        auto *action = new QAction(text, this);
        action->setData(c.id);
        if (c.prompt) {
            action->setStatusTip(QString::fromUtf8(c.prompt));
            action->setToolTip(QString(text).remove(QLatin1Char('&')).remove(QStringLiteral("...")));
        }
        // Accelerators belong to the main window and its document windows; in
        // a dialog (the Find dialog) Ctrl+C and Esc keep their own meaning.
        if (c.hasKey())
            action->setShortcuts(c.keys());
        if (c.icon)
            action->setIcon(CommandIcons::icon(c.icon));
        if (c.buttonText)
            action->setIconText(QString::fromUtf8(c.buttonText));
        action->setCheckable(c.checked != nullptr);
        connect(action, &QAction::triggered, this, [this, id = c.id] { runCommand(id); });
        m_actions.insert(c.id, action);

        if (c.menu == CommandMenu::None) {
            addAction(action);
            continue;
        }
        QMenu *&menu = menuAt(c.menu);
        if (!menu && c.menu == CommandMenu::Fonts)
            menu = menuAt(CommandMenu::Options)->addMenu(QStringLiteral("&Fonts"));
        if (!menu && c.menu == CommandMenu::Encoding)
            menu = menuAt(CommandMenu::View)->addMenu(QStringLiteral("&Encoding"));
        if (c.separatorBefore)
            menu->addSeparator();
        menu->addAction(action);
    }
    addToolbarButtonsMenu(menuAt(CommandMenu::View));

    m_windowMenu = menuAt(CommandMenu::Window);
    connect(m_windowMenu, &QMenu::aboutToShow, this, &CMainFrame::fillWindowMenu);
    // A prompt is for the command pointed at; it goes with the menu, and so
    // does a note that was showing before.
    for (QMenu *menu : menus) {
        if (!menu)
            continue;
        connect(menu, &QMenu::aboutToHide, statusBar(), &QStatusBar::clearMessage);
        connect(menu, &QMenu::aboutToHide, this, [this] {
            if (m_noteTimer->isActive())
                setStatusMessage(QByteArray(IdleMessage));
        });
    }
}

void CMainFrame::addToolbarButtonsMenu(QMenu *view)
{
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
}

void CMainFrame::createToolBar()
{
    m_toolBar = new QToolBar(QStringLiteral("Toolbar"), this);
    m_toolBar->setObjectName(QStringLiteral("mainToolbar"));
    std::vector<const Command *> buttons;
    for (const Command &c : commands()) {
        if (c.toolbarSlot > 0)
            buttons.push_back(&c);
    }
    std::sort(buttons.begin(), buttons.end(),
              [](const Command *a, const Command *b) { return a->toolbarSlot < b->toolbarSlot; });
    int group = -1;
    for (const Command *c : buttons) {
        if (group >= 0 && c->toolbarSlot / 10 != group)
            m_toolBar->addSeparator();
        group = c->toolbarSlot / 10;
        m_toolBar->addAction(m_actions.value(c->id));
    }
    addToolBar(Qt::TopToolBarArea, m_toolBar);
    // The button that shows the buttons a short toolbar has no room for.
    if (auto *more = m_toolBar->findChild<QWidget *>(QStringLiteral("qt_toolbar_ext_button")))
        more->setAccessibleName(QStringLiteral("More Buttons"));
    connect(m_toolBar, &QToolBar::visibilityChanged, this, &CMainFrame::scheduleCommandUpdate);
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
    m_message = new QLabel(QString::fromLatin1(IdleMessage), this);
    m_message->setObjectName(QStringLiteral("message"));
    m_message->setTextFormat(Qt::PlainText);
    m_noteTimer = new QTimer(this);
    m_noteTimer->setObjectName(QStringLiteral("statusNoteTimer"));
    m_noteTimer->setSingleShot(true);
    m_noteTimer->setInterval(StatusNoteMs);
    connect(m_noteTimer, &QTimer::timeout, this,
            [this] { setStatusMessage(QByteArray(IdleMessage)); });
    statusBar()->addWidget(m_message, 1);
    const QString names[] = {QStringLiteral("CAP"), QStringLiteral("NUM"), QStringLiteral("SCRL")};
    for (int i = 0; i < 3; ++i) {
        auto *l = new QLabel(names[i], this);
        l->setFrameShape(QFrame::StyledPanel);
        l->setFrameShadow(QFrame::Sunken);
        l->setAlignment(Qt::AlignCenter);
        l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 10);
        statusBar()->addPermanentWidget(l);
        m_locksLabels[i] = l;
    }
    m_locks = new LockIndicators(this);
    connect(m_locks, &LockIndicators::changed, this, &CMainFrame::updateLockIndicators);
    updateLockIndicators();
}

QLabel *CMainFrame::lockLabel(int lock) const
{
    return lock >= 0 && lock < 3 ? m_locksLabels[lock] : nullptr;
}

void CMainFrame::updateLockIndicators()
{
    // A light that is off is drawn dim.
    for (int i = 0; i < 3; ++i)
        m_locksLabels[i]->setEnabled(m_locks->isOn(LockIndicators::Lock(i)));
}

QString CMainFrame::statusMessage() const
{
    return m_message->text();
}

void CMainFrame::setStatusMessage(const QByteArray &text)
{
    m_message->setText(displayText(text));
    m_message->repaint();
    // A document's own status stops the timer again at once (watchDocument).
    if (text == IdleMessage)
        m_noteTimer->stop();
    else
        m_noteTimer->start();
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
    if (auto *c = qobject_cast<CPictureWindow *>(w))
        return c->document();
    return nullptr;
}

// ---- Commands and their states ----

void CMainFrame::runCommand(int id)
{
    const Command *c = command(id);
    if (!c || !c->run)
        return;
    // The states shown may lag a signal behind; a command never runs when
    // its own test says no.
    if (c->enabled && !(this->*c->enabled)()) {
        scheduleCommandUpdate();
        return;
    }
    (this->*c->run)();
    updateCommandStates();
}

void CMainFrame::updateCommandStates()
{
    m_updateScheduled = false;
    for (const Command &c : commands()) {
        QAction *a = m_actions.value(c.id);
        a->setEnabled(!c.enabled || (this->*c.enabled)());
        if (c.checked)
            a->setChecked((this->*c.checked)());
    }
}

void CMainFrame::scheduleCommandUpdate()
{
    if (m_updateScheduled)
        return;
    m_updateScheduled = true;
    QMetaObject::invokeMethod(this, &CMainFrame::updateCommandStates, Qt::QueuedConnection);
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

// ---- Document windows ----

void CMainFrame::watchDocument(CTarnwickDoc *document)
{
    connect(document, &CTarnwickDoc::updateAllViews, this, &CMainFrame::scheduleCommandUpdate);
    connect(document, &CTarnwickDoc::transferEnded, this, &CMainFrame::scheduleCommandUpdate);
    connect(document, &CTarnwickDoc::titleChanged, this, &CMainFrame::updateFrameTitle);
    // A directory window writes its progress and its result to this pane:
    // that is the window's state, not a note, and stays.
    connect(document, &CTarnwickDoc::statusChanged, this, [this](const QByteArray &text) {
        if (statusMessage() == displayText(text))
            m_noteTimer->stop();
    });
    connect(document, &CTarnwickDoc::closing, this, [this, document] {
        // A closed window's last word ("... done") is not left behind.
        const QByteArray last = document->lastStatus();
        if (!last.isEmpty() && statusMessage() == displayText(last))
            setStatusMessage(QByteArray(IdleMessage));
        scheduleCommandUpdate();
    });
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
        connect(list, &CGopherDirView::itemSelected, this, &CMainFrame::scheduleCommandUpdate);
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint &pos) {
            showContextMenu(list->mapToGlobal(pos), {{QStringLiteral("Add"), ID_ADD_BOOKMARK},
                                                     {QStringLiteral("Find"), ID_FIND},
                                                     {QStringLiteral("Info"), ID_INFO},
                                                     {QStringLiteral("Home"), ID_HOME}});
        });
        auto *tree = new CGTreeView(dir, &m_fonts, &m_icons);
        tree->setEditBookmarks([this] { runCommand(ID_EDIT_BOOKMARKS); });
        auto *bookmarks = new CBMView(m_bookmarks, &m_fonts, &m_icons);
        bookmarks->setOpener([this](const CBookmark &item) { m_app.OpenItem(item, 0, 0); });
        bookmarks->setEditBookmarks([this] { onEditBookmarks(); });
        const QSize client = m_mdi->viewport()->size() * 3 / 4;
        auto *child = new CGopherSplitterChild(document, layout, list, tree, bookmarks, client);
        child->setWindowIcon(QIcon(m_icons.icon('1')));
        m_mdi->addSubWindow(child);
        child->resize(client);
        placeChild(child, true);
        watchDocument(document);
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
        connect(view, &CGopherTextView::markChanged, this, &CMainFrame::scheduleCommandUpdate);
        child->setView(view);
        child->setWindowIcon(QIcon(m_icons.icon('0')));
        m_mdi->addSubWindow(child);
        child->resize(m_mdi->viewport()->size() * 2 / 3);
        placeChild(child, true);
        watchDocument(document);
        return child;
    }
    case TypeTable::XferTemplate: {
        auto *xfer = qobject_cast<CGopherXferDoc *>(document);
        if (!xfer)
            return nullptr;
        auto *child = new CGopherMDIChild(document);
        child->setCloseQuestion([this, xfer] { return mayCloseDownload(xfer); });
        child->setView(new CXferView(xfer, m_app.settings().autoViewFile()));
        child->setWindowIcon(QIcon(m_icons.icon('9')));
        m_mdi->addSubWindow(child);
        child->resize(420, 200);
        placeChild(child, true);
        watchDocument(document);
        return child;
    }
    case TypeTable::PhoneTemplate: {
        auto *phone = qobject_cast<CPhoneText *>(document);
        if (!phone)
            return nullptr;
        auto *child = new CGopherMDIChild(document);
        child->setView(new CPhoneView(phone, &m_fonts));
        child->setWindowIcon(QIcon(m_icons.icon('2')));
        m_mdi->addSubWindow(child);
        child->resize(m_mdi->viewport()->size() * 2 / 3);
        placeChild(child, true);
        watchDocument(document);
        return child;
    }
    case TypeTable::InfoTemplate: {
        auto *child = new CGopherMDIChild(document);
        auto *label = new QLabel(QStringLiteral("Getting extended information for bookmark ..."));
        label->setAlignment(Qt::AlignCenter);
        child->setView(label);
        m_mdi->addSubWindow(child);
        child->resize(360, 120);
        // It makes way for the window it opens, which takes its place.
        placeChild(child, false);
        watchDocument(document);
        return child;
    }
    case TypeTable::SearchTemplate:
    case TypeTable::TelnetTemplate: {
        // A small form, sized to its controls.
        QWidget *view = nullptr;
        if (auto *search = qobject_cast<CSearchText *>(document))
            view = new CSearchView(search);
        else if (auto *telnet = qobject_cast<CTelnetText *>(document))
            view = new CTelnetView(telnet);
        if (!view)
            return nullptr;
        auto *child = new CGopherMDIChild(document);
        child->setView(view);
        child->setWindowIcon(QIcon(m_icons.icon(templateId == TypeTable::SearchTemplate ? '7' : '8')));
        m_mdi->addSubWindow(child);
        child->adjustSize();
        child->resize(qMax(child->width(), 420), child->height());
        placeChild(child, true);
        watchDocument(document);
        return child;
    }
    case TypeTable::AskTemplate: {
        auto *ask = qobject_cast<CAskText *>(document);
        if (!ask)
            return nullptr;
        auto *child = new CGopherMDIChild(document);
        child->setView(new CAskView(ask, &m_fonts));
        child->setWindowIcon(QIcon(m_icons.icon('0')));
        m_mdi->addSubWindow(child);
        // Forms run downwards: as tall as the frame allows.
        const QSize client = m_mdi->viewport()->size();
        child->resize(client.width() * 2 / 3, client.height() * 9 / 10);
        placeChild(child, true);
        watchDocument(document);
        return child;
    }
    default:
        return nullptr;
    }
}

void CMainFrame::placeChild(QMdiSubWindow *child, bool advance)
{
    // The cascade starts again at the corner in an empty frame.
    if (m_mdi->subWindowList().size() <= 1)
        m_cascadeIndex = 0;
    const int step = qMax(8, child->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, child));
    QPoint position(m_cascadeIndex * step, m_cascadeIndex * step);
    // A window that would reach past the client area goes to its corner.
    const QRect area = m_mdi->viewport()->rect();
    const QRect proposed(position, child->size());
    const int statusHeight = statusBar()->isVisible() ? statusBar()->height() : 0;
    if (proposed.right() + area.left() >= area.right()
        || proposed.bottom() + area.top() + statusHeight >= area.bottom()) {
        position = QPoint(0, 0);
        m_cascadeIndex = 0;
    }
    child->move(position);
    if (advance)
        ++m_cascadeIndex;
}

void CMainFrame::initialUpdate(DocumentFrame *frame)
{
    auto *child = dynamic_cast<QMdiSubWindow *>(frame);
    if (!child)
        return;
    // The window's own menu takes keys from the desktop's theme (Ctrl+W
    // for its Close on some); a key the frame's commands use stays theirs,
    // or neither would answer it.
    if (QMenu *system = child->systemMenu()) {
        for (QAction *a : system->actions()) {
            QList<QKeySequence> keys = a->shortcuts();
            keys.removeIf([this](const QKeySequence &key) {
                for (const QAction *command : std::as_const(m_actions)) {
                    if (command->shortcuts().contains(key))
                        return true;
                }
                return false;
            });
            a->setShortcuts(keys);
        }
    }
    showChild(child);
}

void CMainFrame::showChild(QMdiSubWindow *child)
{
    QMdiSubWindow *previous = m_mdi->activeSubWindow();
    const bool maximised = previous && previous->isMaximized();
    child->show();
    if (maximised)
        child->showMaximized();
    m_mdi->setActiveSubWindow(child);
    if (QWidget *view = mainViewOf(child))
        view->setFocus(Qt::OtherFocusReason);
    updateFrameTitle();
    updateEmptyFrameHint();
    scheduleCommandUpdate();
}

void CMainFrame::fillWindowMenu()
{
    for (QAction *a : std::as_const(m_windowListActions)) {
        m_windowMenu->removeAction(a);
        delete a;
    }
    m_windowListActions.clear();
    const QList<QMdiSubWindow *> windows = m_mdi->subWindowList(QMdiArea::CreationOrder);
    if (windows.isEmpty())
        return;
    m_windowListActions.append(m_windowMenu->addSeparator());
    QMdiSubWindow *active = m_mdi->activeSubWindow() ? m_mdi->activeSubWindow()
                                                     : m_mdi->currentSubWindow();
    int number = 0;
    for (QMdiSubWindow *w : windows) {
        ++number;
        QString title = w->windowTitle();
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        const QString text = number < 10 ? QStringLiteral("&%1 %2").arg(number).arg(title)
                                         : QStringLiteral("%1 %2").arg(number).arg(title);
        QAction *a = m_windowMenu->addAction(text);
        a->setCheckable(true);
        a->setChecked(w == active);
        connect(a, &QAction::triggered, this, [this, window = QPointer<QMdiSubWindow>(w)] {
            if (!window)
                return;
            if (window->isMinimized())
                window->showNormal();
            m_mdi->setActiveSubWindow(window);
            if (QWidget *view = mainViewOf(window))
                view->setFocus(Qt::OtherFocusReason);
        });
        m_windowListActions.append(a);
    }
}

void CMainFrame::updateFrameTitle()
{
    const QString frameTitle = QString::fromLatin1(FrameTitle);
    QMdiSubWindow *w = m_mdi->activeSubWindow() ? m_mdi->activeSubWindow() : m_mdi->currentSubWindow();
    const QString document = w ? w->windowTitle() : QString();
    const QString plain = document.isEmpty() ? frameTitle : frameTitle + QStringLiteral(" - ") + document;
    // A maximised window puts its controls in the menu bar and its title in
    // brackets after the frame's: "Tarnwick - [<title>]".
    const bool maximised = w && w->isMaximized() && !document.isEmpty();
    const QString wanted = maximised ? frameTitle + QStringLiteral(" - [") + document + QLatin1Char(']')
                                     : plain;
    if (windowTitle() == wanted)
        return;
    m_settingTitle = true;
    setWindowTitle(maximised ? frameTitle : plain);
    // Styles that keep the title bar of a maximised window leave the
    // frame's title alone.
    if (maximised && windowTitle() == frameTitle)
        setWindowTitle(plain);
    m_settingTitle = false;
}

void CMainFrame::updateEmptyFrameHint()
{
    const bool show = m_mdi->subWindowList().isEmpty() && m_app.homeGophers().GetHomeCount() < 1;
    m_emptyHint->setGeometry(m_mdi->viewport()->geometry().adjusted(24, 24, -24, -24));
    m_emptyHint->setVisible(show);
    if (show)
        m_emptyHint->raise();
}

// ---- Toolbar ----

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
    t.show = toolbarWanted();
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
        // Floating: a tool window of its own, moved (by its title bar) and
        // stacked by the window manager like any other. It floats as a row
        // of buttons, not in the shape it had in a side dock.
        m_toolBar->setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                                  | Qt::WindowCloseButtonHint);
        m_toolBar->setMovable(false);
        m_toolBar->setOrientation(Qt::Horizontal);
        m_toolbarSettings.position = 4;
    } else {
        m_toolBar->setMovable(true);
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
    // A floating toolbar waits for the frame's place before it takes its own.
    m_placeToolbarOnShow = m_toolBar->isWindow() && !isVisible();
    if (m_toolBar->isWindow()) {
        m_toolBar->adjustSize();
        if (!m_placeToolbarOnShow)
            placeFloatingToolbar();
    }
    m_toolBar->setVisible(toolbar.show && !m_placeToolbarOnShow);
    if (QAction *a = m_actions.value(ID_VIEW_TOOLBAR))
        a->setChecked(toolbar.show);
}

void CMainFrame::placeFloatingToolbar()
{
    // Its saved place, when the whole of it (title bar included) is on a
    // screen; otherwise beside the main window, or inside its top right
    // corner when the screen has no room beside it.
    const QSize size = m_toolBar->size();
    const int titleBar = style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const QPoint saved(m_toolbarSettings.floatX, m_toolbarSettings.floatY);
    if (!saved.isNull()) {
        for (const QScreen *screen : QGuiApplication::screens()) {
            const QRect area = screen->availableGeometry();
            if (area.contains(QRect(saved, size)) && saved.y() >= area.top() + titleBar) {
                m_toolBar->move(saved);
                return;
            }
        }
    }
    const QRect frame = frameGeometry();
    const QRect area = (screen() ? screen() : QGuiApplication::primaryScreen())->availableGeometry();
    QPoint place(frame.right() + 1 + titleBar / 2, frame.top());
    if (place.x() + size.width() > area.right())
        place = QPoint(geometry().right() - size.width() - titleBar,
                       geometry().top() + menuBar()->height() + titleBar);
    place.setX(qBound(area.left(), place.x(), qMax(area.left(), area.right() - size.width())));
    place.setY(qBound(area.top() + titleBar, place.y(),
                      qMax(area.top() + titleBar, area.bottom() - size.height())));
    m_toolBar->move(place);
}

void CMainFrame::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_placeToolbarOnShow) {
        m_placeToolbarOnShow = false;
        placeFloatingToolbar();
        m_toolBar->setVisible(m_toolbarSettings.show);
    }
}

bool CMainFrame::toolbarWanted() const
{
    return m_placeToolbarOnShow ? m_toolbarSettings.show : !m_toolBar->isHidden();
}

bool CMainFrame::eventFilter(QObject *watched, QEvent *event)
{
    // Toolbar buttons keep quiet when tooltips are switched off.
    if (event->type() == QEvent::ToolTip && !m_toolbarSettings.tooltips
        && watched->parent() == m_toolBar)
        return true;
    if (watched == m_mdi && event->type() == QEvent::Resize)
        updateEmptyFrameHint();
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::changeEvent(QEvent *event)
{
    // A maximised document window rewrites the frame's title when either
    // title changes, and restores it when it stops being maximised.
    if (event->type() == QEvent::WindowTitleChange && !m_settingTitle)
        QMetaObject::invokeMethod(this, &CMainFrame::updateFrameTitle, Qt::QueuedConnection);
    // A palette chosen on the desktop (dark, high contrast): the drawn item
    // pictures and the icon theme behind the desktop's follow it.
    if (event->type() == QEvent::ApplicationPaletteChange) {
        CommandIcons::useFallbackTheme();
        m_icons.clear();
    }
    QMainWindow::changeEvent(event);
}

// ---- Placement of the frame ----

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
    // The toolbar goes with the placement: one replacement of the file at exit.
    if (!m_app.settings().setExitSettings(p, currentToolbarSettings()))
        m_ui.messageBox(QByteArray("Could not write the settings file\n")
                            + m_app.settingsPath().toUtf8() + "\n"
                            + m_app.profile().lastError().toUtf8(),
                        UserInterface::Exclamation, UserInterface::Ok, Help::None);
}

void CMainFrame::closeEvent(QCloseEvent *event)
{
    if (exitProgram(ExitRequest::User))
        event->accept();
    else
        event->ignore();
}
