#pragma once

#include "app/appsettings.h"
#include "docs/documentframe.h"
#include "docs/windowregistry.h"
#include "net/transactionengine.h"
#include "ui/fontmanager.h"
#include "ui/itemicons.h"
#include "ui/qtuserinterface.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>

class CBookmark;
class CGopherDirView;
#include "gplus/iteminfowindow.h"
class CTarnwickApp;
class CTarnwickDoc;
#include "ui/finddialog.h"
class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;

// The one top-level window: menus, toolbar, status bar and the document
// windows. It owns the network engine and the register of open windows, and
// makes the window of each new document.
class CMainFrame : public QMainWindow, public FrameFactory
{
    Q_OBJECT

public:
    // Command numbers of the menus, the toolbar and the accelerators.
    enum Command {
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
        ID_VIEW_TOOLBAR = 59392, ID_VIEW_STATUS_BAR = 59393,
        ID_NEXT_PANE = 59408, ID_PREV_PANE = 59409,
    };

    explicit CMainFrame(CTarnwickApp &app, QWidget *parent = nullptr);
    ~CMainFrame() override;

    TransactionEngine &engine() { return m_engine; }
    WindowRegistry &windows() { return m_windows; }
    QtUserInterface &userInterface() { return m_ui; }
    FontManager &fonts() { return m_fonts; }
    ItemIcons &icons() { return m_icons; }
    QMdiArea *mdiArea() const { return m_mdi; }
    QAction *action(int id) const { return m_actions.value(id, nullptr); }
    QToolBar *toolBar() const { return m_toolBar; }
    QString statusMessage() const;
    void setStatusMessage(const QByteArray &text);

    CTarnwickDoc *activeDocument() const;
    FindDialog *findDialog() const { return m_findDialog; }
    CItemInfoWindow *infoWindow() const { return m_infoWindow; }

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
    void updateCommandStates();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAction *addCommand(QMenu *menu, int id, const QString &text, const QString &tip = {},
                        const QKeySequence &key = {});
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void runCommand(int id);
    void activatePane(int step);
    void showContextMenu(const QPoint &globalPos, const QList<QPair<QString, int>> &entries);
    CGopherDirView *activeDirectoryList() const;
    void updateLockIndicators();
    void placeChild(QMdiSubWindow *child);

    CTarnwickApp &m_app;
    QtUserInterface m_ui;
    TransactionEngine m_engine;
    WindowRegistry m_windows;
    FontManager m_fonts;
    ItemIcons m_icons;
    QMdiArea *m_mdi = nullptr;
    QHash<int, QAction *> m_actions;
    QToolBar *m_toolBar = nullptr;
    QLabel *m_message = nullptr;
    QLabel *m_caps = nullptr;
    QLabel *m_num = nullptr;
    QLabel *m_scroll = nullptr;
    ToolbarSettings m_toolbarSettings;
    int m_toolbarSizeCode = 0;

    QPointer<FindDialog> m_findDialog;
    QPointer<CItemInfoWindow> m_infoWindow;
    QString m_findText;
    bool m_findDown = true;
    bool m_findMatchCase = false;
    bool m_findWholeWord = false;
};
