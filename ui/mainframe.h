#pragma once

#include "app/sessionfile.h"
#include "settings/appsettings.h"
#include "documents/documentframe.h"
#include "documents/windowregistry.h"
#include "ui/gplus/iteminfowindow.h"
#include "net/transactionengine.h"
#include "items/textencoding.h"
#include "ui/command.h"
#include "ui/dialogs/finddialog.h"
#include "ui/fontmanager.h"
#include "ui/history/historywindow.h"
#include "ui/itemicons.h"
#include "ui/qtuserinterface.h"

#include <QByteArrayList>
#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <memory>
#include <optional>
#include <span>

class CBookmark;
class CBookmarkStore;
class BookmarkEditorLink;
class CGopherDirView;
class CGopherXferDoc;
class CPictureWindow;
class CPreferenceSheet;
class CTarnwickApp;
class DefaultGopherProgram;
class GuiProgram;
class InstanceServer;
class CTarnwickDoc;
class LockIndicators;
class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QPagedPaintDevice;
class QSessionManager;
class QTimer;
class QToolBar;

// The one top-level window: menus, toolbar, status bar and the document
// windows. It owns the network engine and the register of open windows, and
// makes the window of each new document.
class CMainFrame : public QMainWindow, public FrameFactory
{
    Q_OBJECT

public:
    // Command numbers of the menus, the toolbar and the accelerators; each
    // has its row in commands().
    enum CommandId {
        ID_NEW_ITEM = 116, ID_HOME = 118, ID_HOME_SETUP = 128, ID_WINSOCK_INFO = 127,
        ID_DOCUMENT_FONT = 131, ID_TEXT_FONT = 134, ID_DIRECTORIES = 193, ID_VIEWERS = 196,
        ID_EDIT_BOOKMARKS = 122, ID_DELETE_FILES = 360, ID_PHONE_FONT = 356,
        ID_PRINTER_FONT = 357, ID_USE_PRINTER_FONT = 358, ID_TELNET_PROGRAMS = 359,
        ID_STOP = 382, ID_STOP_ALL = 383,
        ID_FETCH = 1000, ID_INFO = 1001, ID_EDIT_VIEWS = 1002, ID_RANK_VIEWS = 1003,
        ID_EDIT_LANGUAGES = 1004, ID_OPTIONS = 1005, ID_FIND = 1006, ID_FIND_AGAIN = 1007,
        ID_GO_TOP = 1008, ID_FETCH_SPECIAL = 1009, ID_CATEGORIES = 1010, ID_ASK_FONT = 1011,
        ID_FETCH_BOOKMARK = 1012, ID_RELOAD = 1013, ID_BACK = 1015, ID_ADD_DIR_BOOKMARK = 1016,
        ID_ADD_BOOKMARK = 1017, ID_DIR_FONT = 1037, ID_PREFERENCES = 1040, ID_BM_FONT = 1043,
        ID_FILE_CLOSE = 57602, ID_FILE_SAVE = 57603, ID_PAGE_SETUP = 57605, ID_PRINT_SETUP = 57606,
        ID_PRINT = 57607, ID_PRINT_PREVIEW = 57609, ID_SEND = 57612, ID_EDIT_COPY = 57634,
        ID_ARRANGE = 57649, ID_CASCADE = 57650, ID_TILE = 57651, ID_ABOUT = 57664,
        ID_EXIT = 57665, ID_HELP_INDEX = 57666, ID_HELP_USING = 57668, ID_CONTEXT_HELP = 57669,
        ID_HELP = 57670,
        ID_VIEW_TOOLBAR = 59392, ID_VIEW_STATUS_BAR = 59393,
        ID_NEXT_PANE = 59408, ID_PREV_PANE = 59409,
        ID_IMPORT_BOOKMARKS = 1060, ID_EXPORT_BOOKMARKS = 1061, ID_MENU_AS_AUTHORED = 1062,
        ID_DEFAULT_GOPHER = 1063, ID_NEXT_WINDOW = 1064, ID_PREV_WINDOW = 1065,
        ID_HISTORY = 1066, ID_STEP_BACK = 1067, ID_STEP_FORWARD = 1068,
        ID_ENCODING_AUTOMATIC = 1080, ID_ENCODING_UTF8 = 1081, ID_ENCODING_LATIN1 = 1082,
        ID_ENCODING_WINDOWS1252 = 1083, ID_ENCODING_CP437 = 1084, ID_ENCODING_KOI8R = 1085,
        ID_ZOOM_IN = 1090, ID_ZOOM_OUT = 1091, ID_ZOOM_FIT = 1092, ID_ZOOM_ACTUAL = 1093,
    };

    // The frame's own title; the active document's title follows it after " - ".
    static constexpr const char *FrameTitle = "Tarnwick";
    // The message pane's text when nothing else is to be said.
    static constexpr const char *IdleMessage = "Ready";
    // How long a note (a file loaded, a window restored) stays before the
    // pane says IdleMessage again; a document's progress stays.
    static constexpr int StatusNoteMs = 5000;

    explicit CMainFrame(GuiProgram &program, QWidget *parent = nullptr);
    ~CMainFrame() override;

    // Every command of the frame, in menu order (commandtable.cpp).
    static std::span<const Command> commands();
    static const Command *command(int id);

    TransactionEngine &engine() { return m_engine; }
    WindowRegistry &windows() { return m_windows; }
    QtUserInterface &userInterface() { return m_ui; }
    FontManager &fonts() { return m_fonts; }
    ItemIcons &icons() { return m_icons; }
    QMdiArea *mdiArea() const { return m_mdi; }
    QAction *action(int id) const { return m_actions.value(id, nullptr); }
    QToolBar *toolBar() const { return m_toolBar; }
    QMenu *windowMenu() const { return m_windowMenu; }
    // The message pane; a command's prompt shows over it while the command
    // is pointed at.
    QString statusMessage() const;
    // A text that is not the active progress of a document is a note: it
    // gives way to IdleMessage after StatusNoteMs, or when a menu closes.
    void setStatusMessage(const QByteArray &text);
    LockIndicators &lockIndicators() { return *m_locks; }
    QLabel *lockLabel(int lock) const;
    // The hint the empty frame shows while no home gopher is set.
    QLabel *emptyFrameHint() const { return m_emptyHint; }

    // The document of the active window (a picture window's is its download).
    CTarnwickDoc *activeDocument() const;
    CPictureWindow *activePictureWindow() const;
    // Shows a finished picture download in a picture window of its own, or
    // brings back the one that shows it.
    void showPicture(CGopherXferDoc &download);
    CBookmarkStore &bookmarkStore() const { return *m_bookmarks; }
    FindDialog *findDialog() const { return m_findDialog; }
    CItemInfoWindow *infoWindow() const { return m_infoWindow; }
    HistoryWindow *historyWindow() const { return m_historyWindow; }

    // The session: the document windows open at exit, saved there when
    // "Reopen Windows" is on (sessioncommands.cpp). No file, no session.
    void setSessionFile(const QString &path) { m_sessionFile = path; }
    QString sessionFile() const { return m_sessionFile; }
    void saveSession();
    // Opens the windows of the last session; false when there were none to
    // open (the home gopher comes instead).
    bool reopenSession();
    // Puts a window of the session being reopened where it stood.
    void placeReopenedWindow(CTarnwickDoc *document);

    // How the program is asked to end.
    enum class ExitRequest { User, Signal };
    // The one way out of the program (exitcommands.cpp). File > Exit, Ctrl+Q,
    // the close box and a logout reach it through the frame's close, a stop
    // signal through exitOnSignal(). While transfers run a user is asked
    // first (a signal is not); then what the program keeps across runs is
    // written: the session, window placement, toolbar, edited tables. Returns false when
    // the user chose to stay. Marked downloads go when the application
    // object ends, after the frame.
    bool exitProgram(ExitRequest request);
    // SIGTERM, SIGHUP and SIGINT: the program ends as File > Exit ends it,
    // without a question, whatever modal window is open.
    void exitOnSignal();
    bool isExiting() const { return m_exiting; }
    // Transfers running now, in every window.
    int runningTransfers() const;
    // "N transfers are running. Quit anyway?" and its singular.
    static QByteArray transfersRunningText(int count, const char *question);

    // Window placement ("Settings"/"WindowPos") and the toolbar ("Toolbar").
    void RestoreWindowPlacement(int requestedShow = 1);
    void WriteWindowPlacement();
    void applyToolbarSettings(const ToolbarSettings &toolbar);
    ToolbarSettings currentToolbarSettings() const;
    // The toolbar position code the frame derives from where the toolbar is.
    int toolbarPositionCode() const;

    // FrameFactory
    DocumentFrame *createFrame(CTarnwickDoc *document, int templateId, int openMode) override;
    void initialUpdate(DocumentFrame *frame) override;

    // The preferences sheet, tied to this frame's toolbar and home window.
    std::unique_ptr<CPreferenceSheet> makePreferenceSheet();

    // Commands (also reached from tests).
    void OnItemInfo();
    // Refills the information window, when it is open, with this item.
    void refreshItemInfo(const CBookmark &item);
    void OnFind();
    void OnFindAgain();
    void findNext(const QString &text, bool down, bool matchCase);
    void OnStop();
    void OnStopAll();
    void OnHomeGopher();
    void OnCloseActiveDocument();
    // The "Home Gopher Server(s)" dialog; true when it was left with OK.
    bool homeServerSetup();
    // URLs handed over by a later start open in new windows, and the frame
    // comes forward (desktopcommands.cpp).
    void acceptHandedOverUrls(InstanceServer &server);
    void openHandedOverUrls(const QByteArrayList &urls);
    // "Make Tarnwick the default Gopher program"; the running xdg-mime.
    void onMakeDefaultGopher();
    DefaultGopherProgram *defaultGopherProgram() const { return m_defaultGopher; }
    // Runs a command as its menu entry would: nothing when it is disabled.
    void runCommand(int id);
    // Sets every command's enabled and checked state from its row.
    void updateCommandStates();
    // The same, once control returns to the event loop: the many signals
    // that can change a state in one go cost one update.
    void scheduleCommandUpdate();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Building the frame from the command table.
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void addToolbarButtonsMenu(QMenu *view);
    void placeFloatingToolbar();
    // The toolbar is shown, or will be once the frame is (floating).
    bool toolbarWanted() const;
    void fillWindowMenu();
    void updateLockIndicators();
    void updateFrameTitle();
    void updateEmptyFrameHint();
    void watchDocument(CTarnwickDoc *document);
    void showContextMenu(const QPoint &globalPos, const QList<QPair<QString, int>> &entries);
    CGopherDirView *activeDirectoryList() const;
    void activatePane(int step);
    // Puts a new child window at the next cascade position, or at the
    // corner when it would reach past the client area. `advance` false keeps
    // the position for the window that follows (a short-lived window).
    void placeChild(QMdiSubWindow *child, bool advance);
    // Shows a new child window, active and with the keyboard.
    void showChild(QMdiSubWindow *child);

    // Ways out (exitcommands.cpp): the question while transfers run, with
    // No as its default, and the one a logout asks.
    bool askToStopTransfers(const QByteArray &text);
    void onCommitData(QSessionManager &manager);
    // Whether a download window may close: asked while its transfer runs.
    bool mayCloseDownload(const CTarnwickDoc *document);

    // What the command rows run (framecommands.cpp).
    void onReload();
    void onSave();
    void onExit();
    void onCopy();
    void onGoTop();
    void onBack();
    void onFetch();
    void onToggleToolbar();
    void onToggleStatusBar();
    void onCascade();
    void onTile();
    void onArrangeIcons();
    void onNextPane();
    void onPreviousPane();
    void onNextWindow();
    void onPreviousWindow();
    void switchWindow(int step);
    // The main view of a document window: where the keyboard goes when the
    // window opens or comes back.
    static QWidget *mainViewOf(QMdiSubWindow *child);
    void onDirFont();
    void onTreeFont();
    void onBookmarkFont();
    void onTextFont();
    void onPhoneFont();
    void onAskFont();
    void onHomeSetup();
    void onUserOptions();
    void onDirectories();
    // Telnet and tn3270 sessions (telnetcommands.cpp).
    void onTelnetPrograms();
    void onWinSockInfo();
    // The preferences sheet and Send (prefcommands.cpp).
    void onPreferences();
    void rebuildHomeWindow();
    void onSend();
    void onAbout();
    // The manual (helpcommands.cpp).
    void onHelp();
    void onHelpIndex();
    void onHelpUsing();
    // The history window, and Back and Forward in a directory window
    // (sessioncommands.cpp).
    void onHistory();
    bool hasHistory() const;
    void onStepBack();
    void onStepForward();
    bool canStepBack() const;
    bool canStepForward() const;
    // The bookmark commands and what the store asks of the frame (bookmarkcommands.cpp).
    void setUpBookmarks();
    QByteArray chooseCategory(int mode);
    BookmarkEditorLink *makeBookmarkEditor(const QByteArray &category);
    void onEditBookmarks();
    void onCategories();
    void onAddBookmark();
    void onAddDirBookmark();
    void onFetchBookmark();
    void onNewItem();
    void onFetchSpecial();
    void onImportBookmarks();
    void onExportBookmarks();
    bool canAddBookmark() const;
    bool canAddDirBookmark() const;
    // Gopher+ tables (gpluscommands.cpp).
    void onEditViews();
    void onRankViews();
    void onEditLanguages();
    void onViewers();
    void onDeleteFiles();
    // The picture window's zoom (picturecommands.cpp).
    void onZoomIn();
    void onZoomOut();
    void onZoomFit();
    void onZoomActual();
    bool hasPicture() const;
    bool isPictureFitted() const;
    bool isPictureActualSize() const;
    // Printing (printcommands.cpp).
    void onPrint();
    void onPrintPreview();
    void onPrintSetup();
    void onPageSetup();
    void onPrinterFont();
    void onUsePrinterFont();
    bool canPrint() const;
    // Prints the active picture window's picture, fitted to the page.
    bool printActivePicture(QPagedPaintDevice &device);
    bool printerFontStored() const;
    // View > Encoding: the encoding of the active window's host, which every
    // window of that host follows (encodingcommands.cpp).
    template <TextEncoding E> void onEncoding() { setActiveEncoding(E); }
    template <TextEncoding E> bool isEncoding() const { return activeEncoding() == E; }
    void setActiveEncoding(TextEncoding encoding);
    std::optional<TextEncoding> activeEncoding() const;
    bool canChooseEncoding() const;
    // When each command is enabled (framecommands.cpp).
    bool hasDocument() const;
    bool canStop() const;
    bool canStopAll() const;
    bool canReload() const;
    bool canSave() const;
    bool canCopy() const;
    bool canFind() const;
    bool canFindAgain() const;
    bool canGoBack() const;
    bool canFetch() const;
    bool isToolbarShown() const;
    bool isStatusBarShown() const;
    bool isMenuAsAuthored() const;
    void onToggleMenuAsAuthored();
    bool usesPrinterFont() const;
    bool canMakeDefaultGopher() const;

    CTarnwickApp &m_app;
    QtUserInterface &m_ui;
    TransactionEngine &m_engine;
    WindowRegistry &m_windows;
    CBookmarkStore *m_bookmarks = nullptr;
    FontManager m_fonts;
    ItemIcons m_icons;
    QMdiArea *m_mdi = nullptr;
    QHash<int, QAction *> m_actions;
    QToolBar *m_toolBar = nullptr;
    QMenu *m_windowMenu = nullptr;
    QList<QAction *> m_windowListActions;
    QLabel *m_message = nullptr;
    QTimer *m_noteTimer = nullptr;
    QLabel *m_locksLabels[3] = {nullptr, nullptr, nullptr};
    LockIndicators *m_locks = nullptr;
    QLabel *m_emptyHint = nullptr;
    ToolbarSettings m_toolbarSettings;
    int m_toolbarSizeCode = 0;
    bool m_updateScheduled = false;
    bool m_placeToolbarOnShow = false;
    bool m_settingTitle = false;
    // How many windows the cascade has placed since it last started at the corner.
    int m_cascadeIndex = 0;
    // The program is on its way out: nothing asks any more.
    bool m_exiting = false;
    // A stop signal or an agreed logout: the way out asks no question.
    bool m_exitWithoutQuestion = false;

    DefaultGopherProgram *m_defaultGopher = nullptr;
    QPointer<FindDialog> m_findDialog;
    QPointer<CItemInfoWindow> m_infoWindow;
    QPointer<HistoryWindow> m_historyWindow;
    QString m_sessionFile;
    // The windows of the session being reopened, by window key, until each
    // has come.
    QHash<QByteArray, SessionWindow> m_reopening;
    QString m_findText;
    bool m_findDown = true;
    bool m_findMatchCase = false;
    bool m_findWholeWord = false;
};
