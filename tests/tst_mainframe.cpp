#include "app/instancechannel.h"
#include "app/tarnwickapp.h"
#include "documents/gopherdir.h"
#include "documents/gophertextdoc.h"
#include "support/testservers.h"
#include "ui/bookmarks/homegopherdialog.h"
#include "ui/commanddialogs.h"
#include "items/typetable.h"
#include "support/ports.h"
#include "support/settingsfile.h"
#include "ui/dialogs/finddialog.h"
#include "ui/views/gophertextview.h"
#include "ui/lockindicators.h"
#include "ui/views/bmview.h"
#include "ui/views/gopherdirview.h"
#include "ui/gophermdichild.h"
#include "ui/gophersplitterchild.h"
#include "ui/guiprogram.h"
#include "ui/mainframe.h"
#include "ui/startup.h"
#include "ui/dialogs/aboutdialog.h"
#include "items/displaytext.h"
#include "ui/programicon.h"
#include "ui/views/gtreeview.h"
#include "ui/views/phoneview.h"
#include "ui/bookmarks/bookmarkeditor.h"
#include "bookmarks/bookmarkstore.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QLocalSocket>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <memory>

// The main frame as a user meets it: settings read at start and written at
// the end, commands and their states, the windows of documents opened from
// real servers.
class tst_MainFrame : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void toolbarPositionFromSettings_data();
    void toolbarPositionFromSettings();
    void toolbarSettingsWrittenBack();
    void windowPlacement_data();
    void windowPlacement();
    void windowPlacementWritten();
    void findInTextWindowMarksTheMatch();
    void reopeningAnOpenItemRestoresItsWindow();
    void escapeClosesTheActiveDocumentAndStopsIt();
    void homeWindowUsesHomeTypeLayout();
    void homeCommandReplacesTheOpenHomeWindow();
    void laterCommandsAreGreyed();
    void infoWindowFollowsTheItem();
    void handedOverUrlsOpenWindows();
    void encodingMenuFollowsTheActiveHost();
    void firstStartAndExitWriteOnceEach();
    void firstStartWithTheSampleServer();

    void acceleratorsAndTexts_data();
    void acceleratorsAndTexts();
    void toolbarIconsComeFromTheTheme();
    void floatingToolbarIsAManagedToolWindow();
    void newWindowsTakeTheKeyboard();
    void frameTitleFollowsTheActiveDocument();
    void childWindowsCascade();
    void childWindowsWrapToTheCorner();
    void infoWindowKeepsThePlaceForItsItem();
    void windowMenuListsAndActivatesWindows();
    void menuPromptGoesWithTheMenu();
    void closingALoadingWindowClearsItsStatus();
    void enablingFollowsSignals_data();
    void enablingFollowsSignals();
    void homeFailureFlow_data();
    void homeFailureFlow();
    void emptyFrameShowsHowToStart();
    void lockLightsFollowKeys_data();
    void lockLightsFollowKeys();

    void linuxKeysBesideTheClassicOnes_data();
    void linuxKeysBesideTheClassicOnes();
    void keyboardSwitchesAndClosesWindows();
    void phoneWindowOpensInSearchFor();
    void navigatorEditsBookmarks();
    void programIconOnFrameDialogsAndWindows();
    void statusNotesGiveWayToReady();
    void floatingToolbarOpensBesideTheFrame_data();
    void floatingToolbarOpensBesideTheFrame();

private:
    CTarnwickDoc *open(const QString &url);
    CTarnwickDoc *openAndWait(CMainFrame &frame, const QString &url);
    // A scripted server that sends first and then holds the connection:
    // a transfer that stays in progress until something stops it.
    static std::unique_ptr<TestServer> holdingServer(const QByteArray &first);
    static QWidget *mainView(QMdiSubWindow *child);
    // Shown at 900x700 and active, as a user would have it.
    [[nodiscard]] static bool showActive(CMainFrame &frame);

    QTemporaryDir m_dir;
    SettingsFile m_ini;
    QTemporaryDir m_root;
    std::unique_ptr<TestServer> m_gophernicus;
    std::unique_ptr<GuiProgram> m_program;
    CTarnwickApp *m_app = nullptr;
};

void tst_MainFrame::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    qRegisterMetaType<CTarnwickDoc *>();
    QVERIFY(m_root.isValid());
    QVERIFY2(TestServer::writeServedTree(
                 m_root.path(),
                 {{QStringLiteral("notes.txt"),
                   QByteArray("first line\nsecond line with a needle\nthird line\n")},
                  {QStringLiteral("sub/inner.txt"), QByteArray("inside\n")}}),
             qPrintable(TestServer::lastError()));
    m_gophernicus = TestServer::gophernicus(m_root.path());
    QVERIFY2(m_gophernicus, qPrintable(TestServer::lastError()));
}

void tst_MainFrame::init()
{
    QVERIFY(m_dir.isValid());
    QFile::remove(m_dir.filePath(QStringLiteral("tarnwick.ini")));
    m_program = std::make_unique<GuiProgram>();
    m_app = &m_program->app();
    m_ini.setPath(m_dir.filePath(QStringLiteral("tarnwick.ini")));
    m_app->setSettingsPath(m_ini.path());
    m_app->registerDefaultTemplates();
}

void tst_MainFrame::cleanup()
{
    m_app = nullptr;
    m_program.reset();
}

CTarnwickDoc *tst_MainFrame::open(const QString &url)
{
    CBookmark item;
    item.ParseURL(url.toUtf8());
    return m_app->OpenItem(item, 0, 0);
}

std::unique_ptr<TestServer> tst_MainFrame::holdingServer(const QByteArray &first)
{
    return TestServer::scripted(R"([{"match": "*", "steps": [{"send": )" + TestServer::jsonBytes(first)
                                + R"(}, {"hold": true}]}])");
}

CTarnwickDoc *tst_MainFrame::openAndWait(CMainFrame &frame, const QString &url)
{
    CTarnwickDoc *doc = open(url);
    if (!doc)
        return nullptr;
    QSignalSpy ended(doc, &CTarnwickDoc::transferEnded);
    if (!ended.wait(10000))
        return nullptr;
    Q_UNUSED(frame);
    return doc;
}

QWidget *tst_MainFrame::mainView(QMdiSubWindow *child)
{
    if (auto *c = qobject_cast<CGopherMDIChild *>(child))
        return c->view();
    if (auto *c = qobject_cast<CGopherSplitterChild *>(child))
        return c->directoryList();
    return nullptr;
}

bool tst_MainFrame::showActive(CMainFrame &frame)
{
    frame.resize(900, 700);
    frame.show();
    QApplication::setActiveWindow(&frame);
    return QTest::qWaitForWindowActive(&frame);
}

void tst_MainFrame::toolbarPositionFromSettings_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("area");
    QTest::addColumn<int>("code");
    QTest::newRow("0 top") << 0 << int(Qt::TopToolBarArea) << 0;
    QTest::newRow("1 bottom") << 1 << int(Qt::BottomToolBarArea) << 1;
    QTest::newRow("2 left") << 2 << int(Qt::LeftToolBarArea) << 2;
    QTest::newRow("3 right") << 3 << int(Qt::RightToolBarArea) << 3;
    QTest::newRow("7 unknown gives the top") << 7 << int(Qt::TopToolBarArea) << 0;
    QTest::newRow("-1 unknown gives the top") << -1 << int(Qt::TopToolBarArea) << 0;
}

void tst_MainFrame::toolbarPositionFromSettings()
{
    QFETCH(int, position);
    QFETCH(int, area);
    QFETCH(int, code);
    m_ini.put("[Toolbar]\nPosition=" + QByteArray::number(position) + "\n");
    CMainFrame frame(*m_program);
    frame.show();
    QCOMPARE(int(frame.toolBarArea(frame.toolBar())), area);
    QCOMPARE(frame.currentToolbarSettings().position, code);
}

void tst_MainFrame::toolbarSettingsWrittenBack()
{
    m_ini.put("; kept\n[Toolbar]\nPosition=2\nSize=2\nShow Toolbar=0\nShow Tooltips=0\n");
    {
        CMainFrame frame(*m_program);
        frame.show();
        QVERIFY(frame.toolBar()->isHidden());
        QCOMPARE(frame.toolBar()->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        // With tooltips off a button's tooltip event is swallowed.
        QWidget *button = frame.toolBar()->widgetForAction(frame.action(CMainFrame::ID_RELOAD));
        QVERIFY(button);
        QHelpEvent tip(QEvent::ToolTip, QPoint(2, 2), button->mapToGlobal(QPoint(2, 2)));
        QVERIFY(QCoreApplication::sendEvent(button, &tip));
        QVERIFY(!frame.currentToolbarSettings().tooltips);
        ToolbarSettings t = frame.currentToolbarSettings();
        t.position = 1;
        t.show = true;
        frame.applyToolbarSettings(t);
    }
    const QByteArray text = m_ini.contents();
    QVERIFY2(text.startsWith("; kept\n"), text.constData());
    QVERIFY2(text.contains("Position=1\n"), text.constData());
    QVERIFY2(text.contains("Show Toolbar=1\n"), text.constData());
    QVERIFY2(text.contains("Size=2\n"), text.constData());
}

void tst_MainFrame::windowPlacement_data()
{
    QTest::addColumn<QByteArray>("windowPos");
    QTest::addColumn<bool>("usesSaved");
    QTest::newRow("ten numbers inside the desktop") << QByteArray("0,1,-1,-1,-1,-1,20,30,420,330") << true;
    QTest::newRow("nine numbers") << QByteArray("0,1,-1,-1,-1,-1,20,30,420") << false;
    QTest::newRow("off the desktop to the left") << QByteArray("0,1,-1,-1,-1,-1,-5,30,420,330") << false;
    QTest::newRow("beyond the right edge") << QByteArray("0,1,-1,-1,-1,-1,20,30,99999,330") << false;
    QTest::newRow("garbage") << QByteArray("left,top") << false;
    QTest::newRow("absent") << QByteArray() << false;
}

void tst_MainFrame::windowPlacement()
{
    QFETCH(QByteArray, windowPos);
    QFETCH(bool, usesSaved);
    if (!windowPos.isEmpty())
        m_ini.put("[Settings]\nWindowPos=" + windowPos + "\n");
    CMainFrame frame(*m_program);
    frame.RestoreWindowPlacement(1);
    const QRect desktop = frame.screen()->availableGeometry();
    const QRect expected = usesSaved
        ? QRect(QPoint(20, 30), QPoint(419, 329))
        : QRect(desktop.left() + desktop.width() / 40, desktop.top() + desktop.height() / 40,
                desktop.width() - 2 * (desktop.width() / 40),
                desktop.height() - 2 * (desktop.height() / 40));
    QCOMPARE(frame.geometry(), expected);
}

void tst_MainFrame::windowPlacementWritten()
{
    {
        CMainFrame frame(*m_program);
        frame.setGeometry(40, 50, 300, 200);
        frame.show();
        frame.close();
    }
    const QByteArray text = m_ini.contents();
    QVERIFY2(text.contains("WindowPos=0,1,-1,-1,-1,-1,40,50,340,250\n"), text.constData());
}

void tst_MainFrame::findInTextWindowMarksTheMatch()
{
    CMainFrame frame(*m_program);
    frame.show();
    // Find opens one dialog, however often it is asked for.
    frame.OnFind();
    frame.OnFind();
    QCOMPARE(frame.findChildren<FindDialog *>().size(), 1);
    frame.findDialog()->close();
    QTRY_COMPARE(frame.findChildren<FindDialog *>().size(), 0);
    frame.OnFind();
    QCOMPARE(frame.findChildren<FindDialog *>().size(), 1);
    frame.findDialog()->close();
    QTRY_COMPARE(frame.findChildren<FindDialog *>().size(), 0);

    auto *doc = qobject_cast<CGopherTextDoc *>(openAndWait(frame, m_gophernicus->url(QStringLiteral("0/notes.txt"))));
    QVERIFY(doc);
    QCOMPARE(frame.activeDocument(), doc);
    QVERIFY(!frame.action(CMainFrame::ID_FIND_AGAIN)->isEnabled());
    frame.findNext(QStringLiteral("needle"), true, false);
    QCOMPARE(doc->markMode(), int(CGopherTextDoc::Marked));
    QCOMPARE(doc->markStartLine(), 1);
    QCOMPARE(doc->markStartColumn(), 19);
    QCOMPARE(doc->markEndColumn(), 25);
    frame.updateCommandStates();
    QVERIFY(frame.action(CMainFrame::ID_FIND_AGAIN)->isEnabled());
    QVERIFY(frame.action(CMainFrame::ID_EDIT_COPY)->isEnabled());
}

void tst_MainFrame::reopeningAnOpenItemRestoresItsWindow()
{
    CMainFrame frame(*m_program);
    frame.show();
    CTarnwickDoc *first = openAndWait(frame, m_gophernicus->url(QStringLiteral("0/notes.txt")));
    QVERIFY(first);
    QVERIFY(openAndWait(frame, m_gophernicus->url()));
    QCOMPARE(frame.mdiArea()->subWindowList().size(), 2);

    QList<QByteArray> shown;
    frame.userInterface().statusSink = [&shown](const QByteArray &text) { shown.append(text); };
    CBookmark again;
    again.ParseURL(m_gophernicus->url(QStringLiteral("0/notes.txt")).toUtf8());
    QCOMPARE(m_app->OpenItem(again, 0, 0), nullptr);
    QCOMPARE(shown, (QList<QByteArray>{"Restoring window", "Restored window"}));
    QCOMPARE(frame.mdiArea()->subWindowList().size(), 2);
    QCOMPARE(frame.activeDocument(), first);
}

void tst_MainFrame::escapeClosesTheActiveDocumentAndStopsIt()
{
    auto holding = holdingServer("1dir\t/d\t127.0.0.1\t70\r\n");
    QVERIFY2(holding, qPrintable(TestServer::lastError()));
    CMainFrame frame(*m_program);
    frame.show();
    CBookmark item;
    item.ParseURL(holding->url().toUtf8());
    QPointer<CTarnwickDoc> doc = m_app->OpenItem(item, 0, 0);
    QVERIFY(doc);
    QTRY_VERIFY(doc && doc->lastStatus().startsWith("Received"));
    QCOMPARE(frame.engine().registry().documentCount(), 1);
    frame.action(CMainFrame::ID_FILE_CLOSE)->trigger();
    QCOMPARE(frame.engine().registry().documentCount(), 0);
    QTRY_VERIFY(!doc);
    QTRY_COMPARE(frame.mdiArea()->subWindowList().size(), 0);
    QVERIFY(!frame.windows().Find(item.GetURL()));
}

void tst_MainFrame::homeWindowUsesHomeTypeLayout()
{
    m_ini.put("[Home Gopher]\nCount of Home Gophers=1\nHome Server 1=127.0.0.1\nHome Port 1="
                  + QByteArray::number(m_gophernicus->port()) + "\nHome Type=3\nInitial Menu=Home\n");
    CMainFrame frame(*m_program);
    frame.show();
    CTarnwickDoc *home = m_app->OpenHomeGopher();
    QVERIFY(home);
    auto *child = qobject_cast<CGopherSplitterChild *>(frame.mdiArea()->subWindowList().value(0));
    QVERIFY(child);
    QCOMPARE(child->layoutNumber(), 3);
    QVERIFY(child->bookmarks()->isVisibleTo(child));
    QCOMPARE(child->windowTitle(), QStringLiteral("Home"));
    QSignalSpy ended(home, &CTarnwickDoc::transferEnded);
    QVERIFY(ended.wait(10000));

    // Any other directory window uses layout 0: navigator left, list right.
    CTarnwickDoc *sub = openAndWait(frame, m_gophernicus->url(QStringLiteral("1/sub/")));
    QVERIFY(sub);
    auto *other = qobject_cast<CGopherSplitterChild *>(frame.mdiArea()->activeSubWindow());
    QVERIFY(other);
    QCOMPARE(other->layoutNumber(), 0);
    QVERIFY(!other->bookmarks()->isVisibleTo(other));
}

void tst_MainFrame::homeCommandReplacesTheOpenHomeWindow()
{
    m_ini.put("[Home Gopher]\nCount of Home Gophers=1\nHome Server 1=127.0.0.1\nHome Port 1="
                  + QByteArray::number(m_gophernicus->port()) + "\n");
    CMainFrame frame(*m_program);
    frame.show();
    QPointer<CTarnwickDoc> first = m_app->OpenHomeGopher();
    QVERIFY(first);
    QSignalSpy opened(m_app, &CTarnwickApp::documentOpened);
    frame.OnHomeGopher();
    QCOMPARE(opened.size(), 1);
    QTRY_VERIFY(!first);
    QTRY_COMPARE(frame.mdiArea()->subWindowList().size(), 1);
}

void tst_MainFrame::laterCommandsAreGreyed()
{
    CMainFrame frame(*m_program);
    frame.updateCommandStates();
    for (const int id : {CMainFrame::ID_PRINT})
        QVERIFY2(!frame.action(id)->isEnabled(), qPrintable(frame.action(id)->text()));
    for (const int id : {CMainFrame::ID_HOME, CMainFrame::ID_TEXT_FONT, CMainFrame::ID_WINSOCK_INFO,
                         CMainFrame::ID_ABOUT, CMainFrame::ID_OPTIONS, CMainFrame::ID_NEW_ITEM,
                         CMainFrame::ID_EDIT_BOOKMARKS, CMainFrame::ID_CATEGORIES,
                         CMainFrame::ID_DELETE_FILES, CMainFrame::ID_PREFERENCES,
                         CMainFrame::ID_SEND, CMainFrame::ID_HELP_INDEX})
        QVERIFY2(frame.action(id)->isEnabled(), qPrintable(frame.action(id)->text()));
    // Without a document the document commands are off.
    for (const int id : {CMainFrame::ID_STOP, CMainFrame::ID_RELOAD, CMainFrame::ID_FILE_SAVE,
                         CMainFrame::ID_EDIT_COPY, CMainFrame::ID_FIND_AGAIN, CMainFrame::ID_BACK})
        QVERIFY2(!frame.action(id)->isEnabled(), qPrintable(frame.action(id)->text()));
}

// View > Encoding: one checked row, the active window's host; a choice is
// written to the settings file and redraws the window.
void tst_MainFrame::encodingMenuFollowsTheActiveHost()
{
    CMainFrame frame(*m_program);
    frame.show();
    QMenu *encodingMenu = nullptr;
    QMenu *viewMenu = nullptr;
    for (QMenu *menu : frame.findChildren<QMenu *>()) {
        if (menu->title() == QStringLiteral("&Encoding"))
            encodingMenu = menu;
        if (menu->title() == QStringLiteral("&View"))
            viewMenu = menu;
    }
    QVERIFY(encodingMenu && viewMenu);
    QVERIFY(viewMenu->actions().contains(encodingMenu->menuAction()));
    QCOMPARE(encodingMenu->actions().size(), 7);  // six rows and a separator
    frame.updateCommandStates();
    QVERIFY(!frame.action(CMainFrame::ID_ENCODING_CP437)->isEnabled());

    auto *dir = qobject_cast<CGopherDir *>(openAndWait(frame, m_gophernicus->url()));
    QVERIFY(dir);
    frame.updateCommandStates();
    QVERIFY(frame.action(CMainFrame::ID_ENCODING_CP437)->isEnabled());
    QVERIFY(frame.action(CMainFrame::ID_ENCODING_AUTOMATIC)->isChecked());
    QVERIFY(!frame.action(CMainFrame::ID_ENCODING_CP437)->isChecked());

    frame.action(CMainFrame::ID_ENCODING_CP437)->trigger();
    frame.updateCommandStates();
    QVERIFY(frame.action(CMainFrame::ID_ENCODING_CP437)->isChecked());
    QVERIFY(!frame.action(CMainFrame::ID_ENCODING_AUTOMATIC)->isChecked());
    QCOMPARE(m_app->profile().getString("Encodings", dir->item().host), QByteArray("CP437"));
    auto *child = qobject_cast<CGopherSplitterChild *>(frame.mdiArea()->activeSubWindow());
    QVERIFY(child);
    auto *list = child->findChild<CGopherDirView *>();
    QVERIFY(list);
    QCOMPARE(list->encoding(), TextEncoding::Cp437);

    frame.action(CMainFrame::ID_ENCODING_AUTOMATIC)->trigger();
    frame.updateCommandStates();
    QVERIFY(frame.action(CMainFrame::ID_ENCODING_AUTOMATIC)->isChecked());
    QVERIFY(!m_app->profile().hasKey("Encodings", dir->item().host));
    QCOMPARE(list->encoding(), TextEncoding::Automatic);
}

void tst_MainFrame::infoWindowFollowsTheItem()
{
    CMainFrame frame(*m_program);
    frame.show();
    auto *dir = qobject_cast<CGopherDir *>(openAndWait(frame, m_gophernicus->url()));
    QVERIFY(dir);
    frame.updateCommandStates();
    QVERIFY(frame.action(CMainFrame::ID_INFO)->isEnabled());
    frame.action(CMainFrame::ID_INFO)->trigger();
    QVERIFY(frame.infoWindow());
    const QString url = QString::fromUtf8(dir->item().GetURL());
    QVERIFY2(frame.infoWindow()->text().contains(QStringLiteral("Type=1\n")),
             qPrintable(frame.infoWindow()->text()));
    QVERIFY(frame.infoWindow()->text().contains(url + QStringLiteral("\n** Directory **")));

    // Choosing a row shows that row's item.
    auto *child = qobject_cast<CGopherSplitterChild *>(frame.mdiArea()->activeSubWindow());
    QVERIFY(child);
    int row = -1;
    for (int i = 0; i < dir->listCount(); ++i) {
        if (dir->listItem(i).title.startsWith("notes"))
            row = i;
    }
    QVERIFY(row >= 0);
    auto *list = qobject_cast<CGopherDirView *>(child->directoryList());
    QVERIFY(list);
    list->selectRow(row);
    QVERIFY2(frame.infoWindow()->text().startsWith(QStringLiteral("Name=notes")),
             qPrintable(frame.infoWindow()->text()));
    frame.infoWindow()->close();
    QTRY_VERIFY(!frame.infoWindow());
}

void tst_MainFrame::firstStartAndExitWriteOnceEach()
{
    m_ini.put("[Home Gopher]\nCount of Home Gophers=1\nHome Server 1=127.0.0.1\nHome Port 1="
                  + QByteArray::number(m_gophernicus->port()) + "\n");
    const ProfileFile &profile = m_app->profile();
    {
        CMainFrame frame(*m_program);
        frame.show();
        openFirstDocuments(*m_app, frame, {}, QProcessEnvironment());
        // The home window's default fonts and the directory keys: one replacement.
        QCOMPARE(profile.counters().replacements, 1);
        QVERIFY(m_ini.contents().contains("[DirFont]\nHeight=-11\n"));
        QVERIFY(m_ini.contents().contains("Temporary directory=/tmp\n"));
        const QList<CTarnwickDoc *> docs = m_app->findChildren<CTarnwickDoc *>();
        QCOMPARE(docs.size(), 1);
        QSignalSpy ended(docs.first(), &CTarnwickDoc::transferEnded);
        QVERIFY(ended.wait(10000));
        // Placement and toolbar: one more.
        frame.close();
        QCOMPARE(profile.counters().replacements, 2);
    }
    QCOMPARE(profile.counters().replacements, 2);
    QVERIFY(m_ini.contents().contains("\n[Toolbar]\nPosition=0\n"));
}

void tst_MainFrame::firstStartWithTheSampleServer()
{
    // What ./run gives a newcomer: no settings file, no URL, the sample server offered;
    // taking it opens the home window with the sample's bookmarks in its tree.
    qputenv(SampleServerVariable, m_gophernicus->url().toUtf8());
    CMainFrame frame(*m_program);
    frame.show();
    bool offered = false;
    QTimer::singleShot(0, this, [&offered] {
        auto *dialog = qobject_cast<HomeGopherDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        offered = !dialog->offerButton()->isHidden();
        QTest::mouseClick(dialog->offerButton(), Qt::LeftButton);
        dialog->accept();
    });
    openFirstDocuments(*m_app, frame, {}, QProcessEnvironment());
    qunsetenv(SampleServerVariable);
    QVERIFY(offered);
    QCOMPARE(m_app->homeGophers().GetHomeCount(), 1);

    auto *child = qobject_cast<CGopherSplitterChild *>(frame.mdiArea()->subWindowList().value(0));
    QVERIFY(child);
    QVERIFY(child->bookmarks()->isVisibleTo(child));
    auto *tree = qobject_cast<CBMView *>(child->bookmarks());
    QVERIFY(tree && tree->rootNode());
    QCOMPARE(tree->rootNode()->childCount(), 1);
    QTreeWidgetItem *category = tree->rootNode()->child(0);
    QCOMPARE(category->text(0), QStringLiteral("Default"));
    category->setExpanded(true);
    QTRY_VERIFY(category->childCount() > 0);
    QCOMPARE(category->child(0)->text(0), QStringLiteral("Tarnwick sample gopherspace"));
    auto *home = qobject_cast<CGopherDir *>(m_app->findChild<CTarnwickDoc *>());
    QVERIFY(home);
    QSignalSpy ended(home, &CTarnwickDoc::transferEnded);
    QVERIFY(home->isDone() || ended.wait(10000));
    QVERIFY(home->listCount() > 0);
}

// ---- Commands ----

void tst_MainFrame::acceleratorsAndTexts_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("key");
    QTest::newRow("copy") << int(CMainFrame::ID_EDIT_COPY) << QStringLiteral("&Copy") << QStringLiteral("Ctrl+C");
    QTest::newRow("edit bookmarks") << int(CMainFrame::ID_EDIT_BOOKMARKS) << QStringLiteral("&Edit Bookmarks...") << QStringLiteral("Ctrl+E");
    QTest::newRow("find") << int(CMainFrame::ID_FIND) << QStringLiteral("&Find...") << QStringLiteral("Ctrl+F");
    QTest::newRow("home") << int(CMainFrame::ID_HOME) << QStringLiteral("&Home Gopher") << QStringLiteral("Ctrl+H");
    QTest::newRow("info") << int(CMainFrame::ID_INFO) << QStringLiteral("&Info on Item...") << QStringLiteral("Ctrl+I");
    QTest::newRow("new item") << int(CMainFrame::ID_NEW_ITEM) << QStringLiteral("&New Gopher Item...") << QStringLiteral("Ctrl+N");
    QTest::newRow("print") << int(CMainFrame::ID_PRINT) << QStringLiteral("&Print...") << QStringLiteral("Ctrl+P");
    QTest::newRow("save") << int(CMainFrame::ID_FILE_SAVE) << QStringLiteral("Save Ite&m") << QStringLiteral("Ctrl+S");
    QTest::newRow("add bookmark") << int(CMainFrame::ID_ADD_BOOKMARK) << QStringLiteral("&Add Bookmark...") << QStringLiteral("Alt+S");
    QTest::newRow("default Gopher program") << int(CMainFrame::ID_DEFAULT_GOPHER) << QStringLiteral("Make Tarnwick the default Gopher program") << QString();
    QTest::newRow("close") << int(CMainFrame::ID_FILE_CLOSE) << QStringLiteral("Close") << QStringLiteral("Esc");
    QTest::newRow("help") << int(CMainFrame::ID_HELP) << QStringLiteral("Help") << QStringLiteral("F1");
    QTest::newRow("help index") << int(CMainFrame::ID_HELP_INDEX) << QStringLiteral("&Index") << QString();
    QTest::newRow("context help") << int(CMainFrame::ID_CONTEXT_HELP) << QStringLiteral("&Context help") << QStringLiteral("Shift+F1");
    QTest::newRow("find again") << int(CMainFrame::ID_FIND_AGAIN) << QStringLiteral("Find &again") << QStringLiteral("F3");
    QTest::newRow("reload") << int(CMainFrame::ID_RELOAD) << QStringLiteral("&Reload") << QStringLiteral("F5");
    QTest::newRow("next pane") << int(CMainFrame::ID_NEXT_PANE) << QStringLiteral("Next Pane") << QStringLiteral("F6");
    QTest::newRow("previous pane") << int(CMainFrame::ID_PREV_PANE) << QStringLiteral("Previous Pane") << QStringLiteral("Shift+F6");
    QTest::newRow("stop") << int(CMainFrame::ID_STOP) << QStringLiteral("St&op") << QString();
    QTest::newRow("exit") << int(CMainFrame::ID_EXIT) << QStringLiteral("E&xit") << QStringLiteral("Ctrl+Q");
    QTest::newRow("encoding automatic") << int(CMainFrame::ID_ENCODING_AUTOMATIC) << QStringLiteral("&Automatic") << QString();
    QTest::newRow("encoding UTF-8") << int(CMainFrame::ID_ENCODING_UTF8) << QStringLiteral("&UTF-8") << QString();
    QTest::newRow("encoding Latin-1") << int(CMainFrame::ID_ENCODING_LATIN1) << QStringLiteral("&Latin-1") << QString();
    QTest::newRow("encoding Windows-1252") << int(CMainFrame::ID_ENCODING_WINDOWS1252) << QStringLiteral("&Windows-1252") << QString();
    QTest::newRow("encoding CP437") << int(CMainFrame::ID_ENCODING_CP437) << QStringLiteral("&CP437") << QString();
    QTest::newRow("encoding KOI8-R") << int(CMainFrame::ID_ENCODING_KOI8R) << QStringLiteral("&KOI8-R") << QString();
}

void tst_MainFrame::acceleratorsAndTexts()
{
    QFETCH(int, id);
    QFETCH(QString, text);
    QFETCH(QString, key);
    CMainFrame frame(*m_program);
    QAction *action = frame.action(id);
    QVERIFY(action);
    QCOMPARE(action->text(), text);
    QCOMPARE(action->shortcut().toString(QKeySequence::PortableText), key);
    // One action per command, wherever it is shown.
    int withThisId = 0;
    for (QAction *a : frame.findChildren<QAction *>()) {
        if (a->data().toInt() == id)
            ++withThisId;
    }
    QCOMPARE(withThisId, 1);
}

void tst_MainFrame::toolbarIconsComeFromTheTheme()
{
    CMainFrame frame(*m_program);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    const QList<QPair<int, QString>> named = {
        {CMainFrame::ID_HOME, QStringLiteral("go-home")},
        {CMainFrame::ID_BACK, QStringLiteral("go-previous")},
        {CMainFrame::ID_GO_TOP, QStringLiteral("go-top")},
        {CMainFrame::ID_RELOAD, QStringLiteral("view-refresh")},
        {CMainFrame::ID_STOP, QStringLiteral("process-stop")},
        {CMainFrame::ID_FETCH, QStringLiteral("go-jump")},
        {CMainFrame::ID_INFO, QStringLiteral("dialog-information")},
        {CMainFrame::ID_FIND, QStringLiteral("edit-find")},
        {CMainFrame::ID_EDIT_COPY, QStringLiteral("edit-copy")},
        {CMainFrame::ID_FILE_SAVE, QStringLiteral("document-save")},
        {CMainFrame::ID_PRINT, QStringLiteral("document-print")},
        {CMainFrame::ID_ADD_BOOKMARK, QStringLiteral("bookmark-new")},
        {CMainFrame::ID_EDIT_BOOKMARKS, QStringLiteral("bookmarks-organize")},
    };
    for (const auto &[id, name] : named) {
        QVERIFY2(QIcon::hasThemeIcon(name), qPrintable(name + QStringLiteral(" is not in the icon theme")));
        QCOMPARE(frame.action(id)->icon().name(), name);
        QVERIFY(frame.toolBar()->actions().contains(frame.action(id)));
    }

    const QSize size = frame.toolBar()->iconSize();
    const auto image = [size](QAction *a, QIcon::Mode mode) {
        return a->icon().pixmap(size, mode).toImage().convertToFormat(QImage::Format_ARGB32);
    };
    // Stop and Stop All do not look alike.
    QAction *stop = frame.action(CMainFrame::ID_STOP);
    QAction *stopAll = frame.action(CMainFrame::ID_STOP_ALL);
    QVERIFY(!stopAll->icon().isNull());
    QVERIFY(image(stop, QIcon::Normal) != image(stopAll, QIcon::Normal));

    // A disabled button is drawn with at most half the ink of an enabled
    // one (greying a one-colour line icon leaves about two thirds).
    const auto ink = [](const QImage &picture) {
        qint64 sum = 0;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                const QRgb p = picture.pixel(x, y);
                sum += qAlpha(p) * (255 - qGray(p));
            }
        }
        return sum;
    };
    for (QAction *a : frame.toolBar()->actions()) {
        if (a->isSeparator())
            continue;
        QVERIFY2(!a->icon().isNull(), qPrintable(a->text()));
        QVERIFY2(2 * ink(image(a, QIcon::Disabled)) < ink(image(a, QIcon::Normal)), qPrintable(a->text()));
    }
}

void tst_MainFrame::floatingToolbarIsAManagedToolWindow()
{
    m_ini.put("[Toolbar]\nPosition=4\nFloat X=30\nFloat Y=40\n");
    CMainFrame frame(*m_program);
    frame.show();
    const Qt::WindowFlags flags = frame.toolBar()->windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool);
    QVERIFY(!(flags & Qt::X11BypassWindowManagerHint));
    QCOMPARE(frame.currentToolbarSettings().position, 4);
}

// ---- Windows ----

void tst_MainFrame::newWindowsTakeTheKeyboard()
{
    CMainFrame frame(*m_program);
    frame.resize(900, 700);
    frame.show();
    QApplication::setActiveWindow(&frame);
    QVERIFY(QTest::qWaitForWindowActive(&frame));

    auto *dir = qobject_cast<CGopherDir *>(openAndWait(frame, m_gophernicus->url()));
    QVERIFY(dir);
    auto *list = qobject_cast<CGopherDirView *>(mainView(frame.mdiArea()->activeSubWindow()));
    QVERIFY(list);
    QTRY_COMPARE(QApplication::focusWidget(), list);
    // Keys work at once, without a click.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(list->selectedRow(), 0);

    QVERIFY(openAndWait(frame, m_gophernicus->url(QStringLiteral("0/notes.txt"))));
    QWidget *text = mainView(frame.mdiArea()->activeSubWindow());
    QVERIFY(qobject_cast<CGopherTextView *>(text));
    QTRY_COMPARE(QApplication::focusWidget(), text);

    // Coming back to a window brings the keyboard back to its view.
    frame.mdiArea()->activatePreviousSubWindow();
    QTRY_COMPARE(QApplication::focusWidget(), list);
}

void tst_MainFrame::frameTitleFollowsTheActiveDocument()
{
    CMainFrame frame(*m_program);
    frame.resize(900, 700);
    frame.show();
    QCOMPARE(frame.windowTitle(), QStringLiteral("Tarnwick"));
    CTarnwickDoc *notes = openAndWait(frame, m_gophernicus->url(QStringLiteral("0/notes.txt")));
    QVERIFY(notes);
    QMdiSubWindow *notesWindow = frame.mdiArea()->activeSubWindow();
    QVERIFY(!notesWindow->windowTitle().isEmpty());
    QCOMPARE(frame.windowTitle(), QStringLiteral("Tarnwick - ") + notesWindow->windowTitle());

    QVERIFY(openAndWait(frame, m_gophernicus->url(QStringLiteral("0/sub/inner.txt"))));
    QMdiSubWindow *inner = frame.mdiArea()->activeSubWindow();
    QVERIFY(inner != notesWindow);
    QCOMPARE(frame.windowTitle(), QStringLiteral("Tarnwick - ") + inner->windowTitle());

    // A maximised window's title stands in brackets, as its controls stand
    // in the menu bar.
    inner->showMaximized();
    QTRY_COMPARE(frame.windowTitle(), QStringLiteral("Tarnwick - [") + inner->windowTitle() + QLatin1Char(']'));
    inner->showNormal();
    QTRY_COMPARE(frame.windowTitle(), QStringLiteral("Tarnwick - ") + inner->windowTitle());
    frame.mdiArea()->setActiveSubWindow(notesWindow);
    QTRY_COMPARE(frame.windowTitle(), QStringLiteral("Tarnwick - ") + notesWindow->windowTitle());

    frame.mdiArea()->closeAllSubWindows();
    QTRY_COMPARE(frame.windowTitle(), QStringLiteral("Tarnwick"));
}

void tst_MainFrame::childWindowsCascade()
{
    CMainFrame frame(*m_program);
    frame.resize(1000, 800);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    const QStringList urls = {m_gophernicus->url(), m_gophernicus->url(QStringLiteral("0/notes.txt")),
                              m_gophernicus->url(QStringLiteral("0/sub/inner.txt"))};
    QList<QMdiSubWindow *> windows;
    for (const QString &url : urls) {
        QVERIFY(openAndWait(frame, url));
        windows.append(frame.mdiArea()->activeSubWindow());
    }
    const int step = windows[0]->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, windows[0]);
    QVERIFY(step > 0);
    for (int i = 0; i < windows.size(); ++i)
        QCOMPARE(windows[i]->pos(), QPoint(i * step, i * step));

    // In an empty frame the cascade starts again at the corner.
    frame.mdiArea()->closeAllSubWindows();
    QTRY_VERIFY(frame.mdiArea()->subWindowList().isEmpty());
    QVERIFY(openAndWait(frame, urls[1]));
    QCOMPARE(frame.mdiArea()->activeSubWindow()->pos(), QPoint(0, 0));
}

void tst_MainFrame::childWindowsWrapToTheCorner()
{
    CMainFrame frame(*m_program);
    frame.resize(600, 260);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    const QRect area = frame.mdiArea()->viewport()->rect();
    const int statusHeight = frame.statusBar()->height();
    const QStringList urls = {m_gophernicus->url(QStringLiteral("0/notes.txt")),
                              m_gophernicus->url(QStringLiteral("0/sub/inner.txt")),
                              m_gophernicus->url(), m_gophernicus->url(QStringLiteral("1/sub/"))};
    QList<QPoint> positions;
    for (const QString &url : urls) {
        QVERIFY(openAndWait(frame, url));
        QMdiSubWindow *w = frame.mdiArea()->activeSubWindow();
        positions.append(w->pos());
        // No window is placed where it reaches past the client area, unless
        // it is at the corner.
        const QRect g = w->geometry();
        QVERIFY(w->pos() == QPoint(0, 0)
                || (g.right() + area.left() < area.right()
                    && g.bottom() + area.top() + statusHeight < area.bottom()));
    }
    QCOMPARE(positions.first(), QPoint(0, 0));
    QVERIFY2(positions.mid(1).contains(QPoint(0, 0)), "the cascade never went back to the corner");
    QVERIFY2(positions.mid(1).count(QPoint(0, 0)) < positions.size() - 1, "the cascade never moved");
}

void tst_MainFrame::infoWindowKeepsThePlaceForItsItem()
{
    CMainFrame frame(*m_program);
    frame.resize(1000, 800);
    frame.show();
    QVERIFY(openAndWait(frame, m_gophernicus->url(QStringLiteral("0/notes.txt"))));
    QMdiSubWindow *first = frame.mdiArea()->activeSubWindow();
    QCOMPARE(first->pos(), QPoint(0, 0));

    // "Getting extended information ..." stands where the item's window
    // will come, and the item's window takes that place.
    auto *attributes = new CGopherTextDoc(m_app->context(), m_app);
    DocumentFrame *infoFrame = frame.createFrame(attributes, TypeTable::InfoTemplate, 0);
    QVERIFY(infoFrame);
    frame.initialUpdate(infoFrame);
    auto *info = dynamic_cast<QMdiSubWindow *>(infoFrame);
    const QPoint infoPlace = info->pos();
    QVERIFY(infoPlace != QPoint(0, 0));

    QVERIFY(openAndWait(frame, m_gophernicus->url(QStringLiteral("0/sub/inner.txt"))));
    QCOMPARE(frame.mdiArea()->activeSubWindow()->pos(), infoPlace);
    info->close();
}

void tst_MainFrame::windowMenuListsAndActivatesWindows()
{
    CMainFrame frame(*m_program);
    frame.resize(900, 700);
    frame.show();
    QApplication::setActiveWindow(&frame);
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    QVERIFY(openAndWait(frame, m_gophernicus->url(QStringLiteral("0/notes.txt"))));
    QMdiSubWindow *notes = frame.mdiArea()->activeSubWindow();
    QVERIFY(openAndWait(frame, m_gophernicus->url()));
    QMdiSubWindow *dir = frame.mdiArea()->activeSubWindow();

    QMenu *menu = frame.windowMenu();
    const auto windowEntries = [menu] {
        QList<QAction *> entries;
        bool afterSeparator = false;
        for (QAction *a : menu->actions()) {
            if (a->isSeparator())
                afterSeparator = true;
            else if (afterSeparator)
                entries.append(a);
        }
        return entries;
    };
    Q_EMIT menu->aboutToShow();
    QList<QAction *> entries = windowEntries();
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[0]->text(), QStringLiteral("&1 ") + notes->windowTitle());
    QCOMPARE(entries[1]->text(), QStringLiteral("&2 ") + dir->windowTitle());
    QVERIFY(!entries[0]->isChecked());
    QVERIFY(entries[1]->isChecked());
    // The arranging commands stay at the top.
    QCOMPARE(menu->actions().first(), frame.action(CMainFrame::ID_CASCADE));

    entries[0]->trigger();
    QCOMPARE(frame.mdiArea()->activeSubWindow(), notes);
    QTRY_COMPARE(QApplication::focusWidget(), mainView(notes));
    Q_EMIT menu->aboutToHide();

    // Shown again, the list is made afresh.
    Q_EMIT menu->aboutToShow();
    entries = windowEntries();
    QCOMPARE(entries.size(), 2);
    QVERIFY(entries[0]->isChecked());
    QVERIFY(!entries[1]->isChecked());

    frame.mdiArea()->closeAllSubWindows();
    QTRY_VERIFY(frame.mdiArea()->subWindowList().isEmpty());
    Q_EMIT menu->aboutToShow();
    QVERIFY(windowEntries().isEmpty());
}

// ---- Status line ----

void tst_MainFrame::menuPromptGoesWithTheMenu()
{
    CMainFrame frame(*m_program);
    QCOMPARE(frame.statusMessage(), QStringLiteral("Ready"));
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QMenu *file = nullptr;
    for (QObject *o : frame.action(CMainFrame::ID_HOME)->associatedObjects()) {
        if (auto *m = qobject_cast<QMenu *>(o))
            file = m;
    }
    QVERIFY(file);
    file->popup(frame.mapToGlobal(QPoint(10, 10)));
    QVERIFY(QTest::qWaitForWindowExposed(file));
    file->setActiveAction(frame.action(CMainFrame::ID_HOME));
    QTRY_COMPARE(frame.statusBar()->currentMessage(), QStringLiteral("Fetch the home Gopher directory"));
    file->hide();
    QTRY_COMPARE(frame.statusBar()->currentMessage(), QString());
    QCOMPARE(frame.statusMessage(), QStringLiteral("Ready"));
}

void tst_MainFrame::closingALoadingWindowClearsItsStatus()
{
    auto holding = holdingServer("1dir\t/d\t127.0.0.1\t70\r\n");
    QVERIFY2(holding, qPrintable(TestServer::lastError()));
    CMainFrame frame(*m_program);
    frame.show();
    QPointer<CTarnwickDoc> doc = open(holding->url());
    QVERIFY(doc);
    QTRY_VERIFY(frame.statusMessage().startsWith(QStringLiteral("Received")));
    frame.mdiArea()->activeSubWindow()->close();
    QTRY_VERIFY(!doc);
    QCOMPARE(frame.statusMessage(), QStringLiteral("Ready"));
}

void tst_MainFrame::enablingFollowsSignals_data()
{
    QTest::addColumn<bool>("byCommand");
    QTest::newRow("stopped by the Stop command") << true;
    QTest::newRow("stopped from elsewhere") << false;
}

void tst_MainFrame::enablingFollowsSignals()
{
    QFETCH(bool, byCommand);
    auto holding = holdingServer("partial line");
    QVERIFY2(holding, qPrintable(TestServer::lastError()));
    CMainFrame frame(*m_program);
    frame.show();
    // The states follow what happens; nothing polls them on a timer.
    for (QTimer *timer : frame.findChildren<QTimer *>())
        QVERIFY2(!timer->isActive() || timer->isSingleShot(), qPrintable(timer->objectName()));

    QPointer<CTarnwickDoc> doc = open(holding->url(QStringLiteral("0/slow")));
    QVERIFY(doc);
    QTRY_VERIFY(frame.action(CMainFrame::ID_STOP)->isEnabled());
    QTRY_VERIFY(frame.action(CMainFrame::ID_STOP_ALL)->isEnabled());
    QVERIFY(!frame.action(CMainFrame::ID_RELOAD)->isEnabled());
    QVERIFY(frame.action(CMainFrame::ID_FIND)->isEnabled());

    QSignalSpy ended(doc.data(), &CTarnwickDoc::transferEnded);
    if (byCommand)
        frame.action(CMainFrame::ID_STOP)->trigger();
    else
        doc->cancelTransfer();
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended.at(0).at(0).toInt(), -1);
    QTRY_VERIFY(!frame.action(CMainFrame::ID_STOP)->isEnabled());
    QTRY_VERIFY(!frame.action(CMainFrame::ID_STOP_ALL)->isEnabled());
    QTRY_VERIFY(frame.action(CMainFrame::ID_RELOAD)->isEnabled());
    // Stopping a stopped transfer ends nothing more.
    frame.action(CMainFrame::ID_STOP)->trigger();
    QCOMPARE(ended.size(), 1);

    // A disabled command does not run, whatever the action shows.
    frame.mdiArea()->closeAllSubWindows();
    QTRY_VERIFY(!doc);
    QTRY_VERIFY(!frame.action(CMainFrame::ID_RELOAD)->isEnabled());
    frame.runCommand(CMainFrame::ID_RELOAD);
    frame.runCommand(CMainFrame::ID_EDIT_COPY);
    QCOMPARE(frame.engine().registry().documentCount(), 0);
}

// ---- Home gopher ----

void tst_MainFrame::homeFailureFlow_data()
{
    QTest::addColumn<bool>("change");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("fetched");
    QTest::newRow("OK with a changed server fetches it") << true << true << true;
    QTest::newRow("OK without a change fetches nothing") << false << true << false;
    QTest::newRow("Cancel leaves the empty frame") << true << false << false;
}

void tst_MainFrame::homeFailureFlow()
{
    QFETCH(bool, change);
    QFETCH(bool, ok);
    QFETCH(bool, fetched);
    TestPorts::RefusingPort refusing;
    QVERIFY(refusing.port() != 0);
    m_ini.put("[Home Gopher]\nCount of Home Gophers=1\nHome Server 1=127.0.0.1\nHome Port 1="
                  + QByteArray::number(refusing.port()) + "\n");
    CMainFrame frame(*m_program);
    frame.show();

    // Answers the two modal windows as a user would: the message, then the
    // dialog (its fields are written as OK would write them; the test
    // servers' ports lie above the range the dialog accepts).
    QStringList seen;
    QTimer answerer;
    answerer.setInterval(10);
    connect(&answerer, &QTimer::timeout, &frame, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            seen.append(box->text());
            box->accept();
        } else if (auto *dialog = qobject_cast<HomeGopherDialog *>(modal)) {
            seen.append(dialog->windowTitle());
            if (change) {
                ProfileFile file(m_dir.filePath(QStringLiteral("tarnwick.ini")));
                if (!file.writeString("Home Gopher", "Home Port 1",
                                      QByteArray::number(m_gophernicus->port())))
                    seen.append(QStringLiteral("write failed"));
            }
            dialog->done(ok ? QDialog::Accepted : QDialog::Rejected);
        }
    });
    answerer.start();
    QPointer<CTarnwickDoc> failing = m_app->OpenHomeGopher();
    QVERIFY(failing);
    QTRY_VERIFY(!failing);
    // The connect error comes first; then the home gopher gives up.
    QTRY_VERIFY(seen.contains(QStringLiteral("Home Gopher Server(s)")));
    const qsizetype shown = seen.size();
    QVERIFY(shown >= 2);
    QCOMPARE(seen.mid(shown - 2),
             QStringList({QStringLiteral("You could not reach your Home Gopher server.\n"
                                         "Please check your configuration and try again."),
                          QStringLiteral("Home Gopher Server(s)")}));
    if (fetched) {
        QTRY_COMPARE(frame.mdiArea()->subWindowList().size(), 1);
        CTarnwickDoc *home = frame.activeDocument();
        QVERIFY(home);
        QCOMPARE(home->item().port, m_gophernicus->port());
        QSignalSpy ended(home, &CTarnwickDoc::transferEnded);
        QVERIFY(ended.wait(10000));
        QCOMPARE(ended.at(0).at(0).toInt(), 0);
    } else {
        // Nothing more happens once control is back in the event loop.
        QCoreApplication::processEvents();
        QCOMPARE(frame.mdiArea()->subWindowList().size(), 0);
        QCOMPARE(seen.size(), shown);
    }
    answerer.stop();
}

void tst_MainFrame::emptyFrameShowsHowToStart()
{
    {
        CMainFrame frame(*m_program);
        frame.resize(800, 600);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QLabel *hint = frame.emptyFrameHint();
        QVERIFY(hint->isVisible());
        QVERIFY(hint->text().contains(QStringLiteral("Options > Home Gopher Server(s)...")));
        QVERIFY(hint->text().contains(QStringLiteral("gopher://")));
        // A window hides it; closing the last one brings it back.
        QVERIFY(openAndWait(frame, m_gophernicus->url(QStringLiteral("0/notes.txt"))));
        QVERIFY(!hint->isVisible());
        frame.mdiArea()->closeAllSubWindows();
        QTRY_VERIFY(hint->isVisible());
    }
    // With a home gopher set there is nothing to explain.
    m_ini.put("[Home Gopher]\nCount of Home Gophers=1\nHome Server 1=127.0.0.1\n");
    CMainFrame frame(*m_program);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QVERIFY(!frame.emptyFrameHint()->isVisible());
}

void tst_MainFrame::lockLightsFollowKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("light");
    QTest::newRow("Caps Lock") << int(Qt::Key_CapsLock) << int(LockIndicators::CapsLock);
    QTest::newRow("Num Lock") << int(Qt::Key_NumLock) << int(LockIndicators::NumLock);
    QTest::newRow("Scroll Lock") << int(Qt::Key_ScrollLock) << int(LockIndicators::ScrollLock);
}

void tst_MainFrame::lockLightsFollowKeys()
{
    QFETCH(int, key);
    QFETCH(int, light);
    CMainFrame frame(*m_program);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QLabel *label = frame.lockLabel(light);
    QVERIFY(label);
    QVERIFY(!label->isEnabled());
    QTest::keyClick(frame.windowHandle(), Qt::Key(key));
    QVERIFY(label->isEnabled());
    // Other keys leave it alone; the lock key again puts it out.
    QTest::keyClick(frame.windowHandle(), Qt::Key_A);
    QVERIFY(label->isEnabled());
    QTest::keyClick(frame.windowHandle(), Qt::Key(key));
    QVERIFY(!label->isEnabled());
    for (int other = 0; other < 3; ++other)
        QVERIFY(other == light || !frame.lockLabel(other)->isEnabled());
}

void tst_MainFrame::handedOverUrlsOpenWindows()
{
    CMainFrame frame(*m_program);
    frame.show();
    QTemporaryDir runtime;
    InstanceServer server;
    QVERIFY(server.listen(runtime.filePath(QStringLiteral("tarnwick.socket"))));
    frame.acceptHandedOverUrls(server);

    QLocalSocket later;
    later.connectToServer(server.socketPath());
    QVERIFY(later.waitForConnected(10000));
    later.write(InstanceChannel::encode({m_gophernicus->url(QStringLiteral("0/notes.txt")).toUtf8(),
                                         m_gophernicus->url().toUtf8()}));
    QTRY_COMPARE_WITH_TIMEOUT(frame.mdiArea()->subWindowList().size(), 2, 30000);
}

// ---- Keys, windows and looks of a Linux desktop ----

void tst_MainFrame::linuxKeysBesideTheClassicOnes_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("keys");
    QTest::newRow("close") << int(CMainFrame::ID_FILE_CLOSE) << QStringLiteral("Esc, Ctrl+W");
    QTest::newRow("next window") << int(CMainFrame::ID_NEXT_WINDOW) << QStringLiteral("Ctrl+Tab, Ctrl+F6");
    QTest::newRow("previous window") << int(CMainFrame::ID_PREV_WINDOW) << QStringLiteral("Ctrl+Shift+Tab, Ctrl+Shift+Backtab, Ctrl+Shift+F6");
}

void tst_MainFrame::linuxKeysBesideTheClassicOnes()
{
    QFETCH(int, id);
    QFETCH(QString, keys);
    CMainFrame frame(*m_program);
    QStringList shown;
    for (const QKeySequence &key : frame.action(id)->shortcuts())
        shown << key.toString(QKeySequence::PortableText);
    QCOMPARE(shown.join(QStringLiteral(", ")), keys);
}

void tst_MainFrame::keyboardSwitchesAndClosesWindows()
{
    CMainFrame frame(*m_program);
    QVERIFY(showActive(frame));
    QVERIFY(openAndWait(frame, m_gophernicus->url(QStringLiteral("0/notes.txt"))));
    QMdiSubWindow *notes = frame.mdiArea()->activeSubWindow();
    QVERIFY(openAndWait(frame, m_gophernicus->url(QStringLiteral("0/sub/inner.txt"))));
    QMdiSubWindow *inner = frame.mdiArea()->activeSubWindow();
    QVERIFY(inner != notes);
    const auto press = [](int key, Qt::KeyboardModifiers modifiers) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    };
    press(Qt::Key_Tab, Qt::ControlModifier);
    QTRY_COMPARE(frame.mdiArea()->activeSubWindow(), notes);
    QTRY_COMPARE(QApplication::focusWidget(), mainView(notes));
    press(Qt::Key_F6, Qt::ControlModifier);
    QTRY_COMPARE(frame.mdiArea()->activeSubWindow(), inner);
    press(Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier);
    QTRY_COMPARE(frame.mdiArea()->activeSubWindow(), notes);
    // Ctrl+W closes the active window, as Esc does.
    press(Qt::Key_W, Qt::ControlModifier);
    QTRY_COMPARE(frame.mdiArea()->subWindowList().size(), 1);
    QCOMPARE(frame.mdiArea()->subWindowList().constFirst(), inner);
}

void tst_MainFrame::phoneWindowOpensInSearchFor()
{
    auto cso = TestServer::cso();
    QVERIFY2(cso, qPrintable(TestServer::lastError()));
    CMainFrame frame(*m_program);
    QVERIFY(showActive(frame));
    QVERIFY(m_app->OpenItem(CBookmark('2', "Staff", "", "127.0.0.1", cso->port()), 0, 0));
    auto *child = qobject_cast<CGopherMDIChild *>(frame.mdiArea()->activeSubWindow());
    QVERIFY(child);
    auto *phone = qobject_cast<CPhoneView *>(child->view());
    QVERIFY(phone);
    QTRY_COMPARE(QApplication::focusWidget(), phone->queryEdit());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("name=fenwright"));
    QCOMPARE(phone->queryEdit()->text(), QStringLiteral("name=fenwright"));
}

void tst_MainFrame::navigatorEditsBookmarks()
{
    m_ini.put("[Bookmark Categories]\nCategory0=Default\n[Default Category]\nCategory=Default\n");
    CMainFrame frame(*m_program);
    frame.resize(900, 700);
    frame.show();
    QVERIFY(openAndWait(frame, m_gophernicus->url()));
    auto *child = qobject_cast<CGopherSplitterChild *>(frame.mdiArea()->activeSubWindow());
    QVERIFY(child);
    CGTreeView *tree = child->findChild<CGTreeView *>();
    QVERIFY(tree);
    std::unique_ptr<QMenu> menu(tree->createContextMenu());
    QAction *edit = menu->actions().value(2);
    QVERIFY(edit);
    QCOMPARE(edit->text(), QStringLiteral("Edit Bookmarks..."));
    QVERIFY(edit->isEnabled());
    edit->trigger();
    QVERIFY(frame.bookmarkStore().isEditorOpen());
    frame.bookmarkStore().editor()->closeEditor();
}

void tst_MainFrame::programIconOnFrameDialogsAndWindows()
{
    const auto picture = [](const QIcon &icon) { return icon.pixmap(32, 32).toImage(); };
    const QImage own = picture(ProgramIcon::icon());
    QVERIFY(!own.isNull());
    auto holding = holdingServer("");
    QVERIFY2(holding, qPrintable(TestServer::lastError()));
    CMainFrame frame(*m_program);
    // The window below, closed unfinished, says it got nothing: boxes are answered.
    QStringList seen;
    QTimer answerer;
    answerer.setInterval(10);
    connect(&answerer, &QTimer::timeout, &frame, [&seen] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            seen.append(box->text());
            box->accept();
        }
    });
    answerer.start();
    frame.resize(900, 700);
    frame.show();
    QCOMPARE(picture(frame.windowIcon()), own);
    // A dialog of the frame's, and its picture.
    AboutDialog about({}, &frame);
    QCOMPARE(picture(about.windowIcon()), own);
    auto *aboutPicture = about.findChild<QLabel *>(QStringLiteral("programIcon"));
    QVERIFY(aboutPicture);
    QCOMPARE(aboutPicture->pixmap().toImage(), ProgramIcon::icon().pixmap(48, 48).toImage());
    // "Getting extended information": a Gopher+ item whose attributes are on their way.
    CBookmark item;
    item.ParseURL(holding->url(QStringLiteral("0/plus.txt%09%2B")).toUtf8());
    QVERIFY(m_app->OpenItem(item, 0, 0));
    auto *info = qobject_cast<CGopherMDIChild *>(frame.mdiArea()->activeSubWindow());
    QVERIFY(info);
    auto *label = qobject_cast<QLabel *>(info->view());
    QVERIFY(label);
    QVERIFY(label->text().startsWith(QStringLiteral("Getting extended information")));
    QCOMPARE(picture(info->windowIcon()), own);
    frame.runCommand(CMainFrame::ID_FILE_CLOSE);
    QTRY_COMPARE(frame.mdiArea()->subWindowList().size(), 0);
    QCOMPARE(seen.size(), 1);
}

void tst_MainFrame::statusNotesGiveWayToReady()
{
    CMainFrame frame(*m_program);
    frame.show();
    UserInterface &ui = frame.userInterface();
    // A note gives way after a while...
    ui.setMainStatus("Loaded language info from /home/someone/.config/tarnwick/language.cnf");
    QCOMPARE(frame.statusMessage(),
             QStringLiteral("Loaded language info from /home/someone/.config/tarnwick/language.cnf"));
    QTRY_COMPARE_WITH_TIMEOUT(frame.statusMessage(), QStringLiteral("Ready"),
                              CMainFrame::StatusNoteMs * 3);
    // ... or at once, when a menu has been pointed into and closed.
    ui.setMainStatus("Restored window");
    QMenu *file = frame.menuBar()->actions().constFirst()->menu();
    file->popup(frame.mapToGlobal(QPoint(10, 10)));
    QVERIFY(QTest::qWaitForWindowExposed(file));
    file->hide();
    QCOMPARE(frame.statusMessage(), QStringLiteral("Ready"));

    // A directory window's result is its state: it stays.
    CTarnwickDoc *dir = openAndWait(frame, m_gophernicus->url());
    QVERIFY(dir);
    QCOMPARE(frame.statusMessage(), displayText(dir->lastStatus()));
    QVERIFY(!frame.findChild<QTimer *>(QStringLiteral("statusNoteTimer"))->isActive());
}

void tst_MainFrame::floatingToolbarOpensBesideTheFrame_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<bool>("keepsSavedPlace");
    // Not the shape docked at the side, nor the screen's corner that hid its title bar.
    QTest::newRow("no place saved") << QByteArray("[Toolbar]\nPosition=4\nFloat X=0\nFloat Y=0\n") << false;
    QTest::newRow("saved place on the screen") << QByteArray("[Toolbar]\nPosition=4\nFloat X=120\nFloat Y=160\n") << true;
    QTest::newRow("saved place off the screen") << QByteArray("[Toolbar]\nPosition=4\nFloat X=-4000\nFloat Y=90000\n") << false;
}

void tst_MainFrame::floatingToolbarOpensBesideTheFrame()
{
    QFETCH(QByteArray, settings);
    QFETCH(bool, keepsSavedPlace);
    m_ini.put(settings);
    CMainFrame frame(*m_program);
    frame.setGeometry(40, 60, 420, 400);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QToolBar *bar = frame.toolBar();
    QTRY_VERIFY(bar->isVisible());
    QVERIFY(bar->isWindow());
    QCOMPARE(bar->orientation(), Qt::Horizontal);
    QVERIFY2(bar->width() > 3 * bar->height(), qPrintable(QStringLiteral("%1x%2").arg(bar->width()).arg(bar->height())));
    const QRect area = frame.screen()->availableGeometry();
    QVERIFY(area.contains(bar->frameGeometry()));
    if (keepsSavedPlace) {
        QCOMPARE(bar->pos(), QPoint(120, 160));
    } else {
        // Beside the frame (or inside its top), not in the screen's corner.
        QVERIFY(bar->y() >= frame.y());
        QVERIFY(bar->pos() != area.topLeft());
    }
}

QTEST_MAIN(tst_MainFrame)
#include "tst_mainframe.moc"
