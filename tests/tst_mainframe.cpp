#include "app/tarnwickapp.h"
#include "docs/gopherdir.h"
#include "docs/gophertextdoc.h"
#include "support/testservers.h"
#include "ui/finddialog.h"
#include "ui/gopherdirview.h"
#include "ui/gophermdichild.h"
#include "ui/gophersplitterchild.h"
#include "ui/mainframe.h"
#include "ui/startup.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
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
    void findOpensOneDialog();
    void findInTextWindowMarksTheMatch();
    void reopeningAnOpenItemRestoresItsWindow();
    void stopStatesFollowTheTransfer();
    void escapeClosesTheActiveDocumentAndStopsIt();
    void homeWindowUsesHomeTypeLayout();
    void homeCommandReplacesTheOpenHomeWindow();
    void laterCommandsAreGreyed();
    void infoWindowFollowsTheItem();
    void firstStartAndExitWriteOnceEach();

private:
    void writeSettings(const QByteArray &text);
    QByteArray settingsText() const;
    CTarnwickDoc *openAndWait(CMainFrame &frame, const QString &url);

    QTemporaryDir m_dir;
    QTemporaryDir m_root;
    std::unique_ptr<TestServer> m_gophernicus;
    std::unique_ptr<CTarnwickApp> m_app;
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
    m_app = std::make_unique<CTarnwickApp>();
    m_app->setSettingsPath(m_dir.filePath(QStringLiteral("tarnwick.ini")));
    m_app->registerDefaultTemplates();
}

void tst_MainFrame::cleanup()
{
    m_app.reset();
}

void tst_MainFrame::writeSettings(const QByteArray &text)
{
    QFile f(m_dir.filePath(QStringLiteral("tarnwick.ini")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

QByteArray tst_MainFrame::settingsText() const
{
    QFile f(m_dir.filePath(QStringLiteral("tarnwick.ini")));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

CTarnwickDoc *tst_MainFrame::openAndWait(CMainFrame &frame, const QString &url)
{
    CBookmark item;
    item.ParseURL(url.toUtf8());
    CTarnwickDoc *doc = m_app->OpenItem(item, 0, 0);
    if (!doc)
        return nullptr;
    QSignalSpy ended(doc, &CTarnwickDoc::transferEnded);
    if (!ended.wait(10000))
        return nullptr;
    Q_UNUSED(frame);
    return doc;
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
    writeSettings("[Toolbar]\nPosition=" + QByteArray::number(position) + "\n");
    CMainFrame frame(*m_app);
    frame.show();
    QCOMPARE(int(frame.toolBarArea(frame.toolBar())), area);
    QCOMPARE(frame.currentToolbarSettings().position, code);
}

void tst_MainFrame::toolbarSettingsWrittenBack()
{
    writeSettings("; kept\n[Toolbar]\nPosition=2\nSize=2\nShow Toolbar=0\nShow Tooltips=0\n");
    {
        CMainFrame frame(*m_app);
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
    const QByteArray text = settingsText();
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
        writeSettings("[Settings]\nWindowPos=" + windowPos + "\n");
    CMainFrame frame(*m_app);
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
        CMainFrame frame(*m_app);
        frame.setGeometry(40, 50, 300, 200);
        frame.show();
        frame.close();
    }
    const QByteArray text = settingsText();
    QVERIFY2(text.contains("WindowPos=0,1,-1,-1,-1,-1,40,50,340,250\n"), text.constData());
}

void tst_MainFrame::findOpensOneDialog()
{
    CMainFrame frame(*m_app);
    frame.show();
    frame.OnFind();
    frame.OnFind();
    QCOMPARE(frame.findChildren<FindDialog *>().size(), 1);
    frame.findDialog()->close();
    QTRY_COMPARE(frame.findChildren<FindDialog *>().size(), 0);
    frame.OnFind();
    QCOMPARE(frame.findChildren<FindDialog *>().size(), 1);
}

void tst_MainFrame::findInTextWindowMarksTheMatch()
{
    CMainFrame frame(*m_app);
    frame.show();
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
    CMainFrame frame(*m_app);
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

void tst_MainFrame::stopStatesFollowTheTransfer()
{
    auto holding = TestServer::scripted(R"([{"match": "*", "steps": [{"send": "partial line"}, {"hold": true}]}])");
    QVERIFY2(holding, qPrintable(TestServer::lastError()));
    CMainFrame frame(*m_app);
    frame.show();
    CBookmark item;
    item.ParseURL(holding->url(QStringLiteral("0/slow")).toUtf8());
    CTarnwickDoc *doc = m_app->OpenItem(item, 0, 0);
    QVERIFY(doc);
    QTRY_VERIFY(doc->lastStatus().startsWith("Received"));
    frame.updateCommandStates();
    QVERIFY(frame.action(CMainFrame::ID_STOP)->isEnabled());
    QVERIFY(frame.action(CMainFrame::ID_STOP_ALL)->isEnabled());
    QVERIFY(!frame.action(CMainFrame::ID_RELOAD)->isEnabled());
    QSignalSpy ended(doc, &CTarnwickDoc::transferEnded);
    frame.action(CMainFrame::ID_STOP)->trigger();
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended.at(0).at(0).toInt(), -1);
    frame.updateCommandStates();
    QVERIFY(!frame.action(CMainFrame::ID_STOP)->isEnabled());
    QVERIFY(!frame.action(CMainFrame::ID_STOP_ALL)->isEnabled());
    QVERIFY(frame.action(CMainFrame::ID_RELOAD)->isEnabled());
    // The partial line is kept when the transfer is stopped.
    frame.action(CMainFrame::ID_STOP)->trigger();
    QCOMPARE(ended.size(), 1);
}

void tst_MainFrame::escapeClosesTheActiveDocumentAndStopsIt()
{
    auto holding = TestServer::scripted(R"([{"match": "*", "steps": [{"send": "1dir\t/d\t127.0.0.1\t70\r\n"}, {"hold": true}]}])");
    QVERIFY2(holding, qPrintable(TestServer::lastError()));
    CMainFrame frame(*m_app);
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
    writeSettings("[Home Gopher]\nCount of Home Gophers=1\nHome Server 1=127.0.0.1\nHome Port 1="
                  + QByteArray::number(m_gophernicus->port()) + "\nHome Type=3\nInitial Menu=Home\n");
    CMainFrame frame(*m_app);
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
    writeSettings("[Home Gopher]\nCount of Home Gophers=1\nHome Server 1=127.0.0.1\nHome Port 1="
                  + QByteArray::number(m_gophernicus->port()) + "\n");
    CMainFrame frame(*m_app);
    frame.show();
    QPointer<CTarnwickDoc> first = m_app->OpenHomeGopher();
    QVERIFY(first);
    QSignalSpy opened(m_app.get(), &CTarnwickApp::documentOpened);
    frame.OnHomeGopher();
    QCOMPARE(opened.size(), 1);
    QTRY_VERIFY(!first);
    QTRY_COMPARE(frame.mdiArea()->subWindowList().size(), 1);
}

void tst_MainFrame::laterCommandsAreGreyed()
{
    CMainFrame frame(*m_app);
    frame.updateCommandStates();
    for (const int id : {CMainFrame::ID_NEW_ITEM, CMainFrame::ID_PRINT, CMainFrame::ID_EDIT_BOOKMARKS,
                         CMainFrame::ID_PREFERENCES, CMainFrame::ID_DELETE_FILES})
        QVERIFY2(!frame.action(id)->isEnabled(), qPrintable(frame.action(id)->text()));
    for (const int id : {CMainFrame::ID_HOME, CMainFrame::ID_TEXT_FONT, CMainFrame::ID_WINSOCK_INFO,
                         CMainFrame::ID_ABOUT, CMainFrame::ID_OPTIONS})
        QVERIFY2(frame.action(id)->isEnabled(), qPrintable(frame.action(id)->text()));
    // Without a document the document commands are off.
    for (const int id : {CMainFrame::ID_STOP, CMainFrame::ID_RELOAD, CMainFrame::ID_FILE_SAVE,
                         CMainFrame::ID_EDIT_COPY, CMainFrame::ID_FIND_AGAIN, CMainFrame::ID_BACK})
        QVERIFY2(!frame.action(id)->isEnabled(), qPrintable(frame.action(id)->text()));
}

void tst_MainFrame::infoWindowFollowsTheItem()
{
    CMainFrame frame(*m_app);
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
    writeSettings("[Home Gopher]\nCount of Home Gophers=1\nHome Server 1=127.0.0.1\nHome Port 1="
                  + QByteArray::number(m_gophernicus->port()) + "\n");
    const ProfileFile &profile = m_app->profile();
    {
        CMainFrame frame(*m_app);
        frame.show();
        openFirstDocuments(*m_app, frame, {QStringLiteral("tarnwick")}, QProcessEnvironment());
        // The home window's default fonts and the directory keys: one replacement.
        QCOMPARE(profile.counters().replacements, 1);
        QVERIFY(settingsText().contains("[DirFont]\nHeight=-11\n"));
        QVERIFY(settingsText().contains("Temporary directory=/tmp\n"));
        const QList<CTarnwickDoc *> docs = m_app->findChildren<CTarnwickDoc *>();
        QCOMPARE(docs.size(), 1);
        QSignalSpy ended(docs.first(), &CTarnwickDoc::transferEnded);
        QVERIFY(ended.wait(10000));
        // Placement and toolbar: one more.
        frame.close();
        QCOMPARE(profile.counters().replacements, 2);
    }
    QCOMPARE(profile.counters().replacements, 2);
    QVERIFY(settingsText().contains("\n[Toolbar]\nPosition=0\n"));
}

QTEST_MAIN(tst_MainFrame)
#include "tst_mainframe.moc"
