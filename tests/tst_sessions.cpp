#include "app/instancechannel.h"
#include "app/sessionfile.h"
#include "app/tarnwickapp.h"
#include "documents/gopherdir.h"
#include "documents/historystore.h"
#include "documents/userinterface.h"
#include "settings/userdatafiles.h"
#include "support/settingsfile.h"
#include "support/testservers.h"
#include "ui/gophersplitterchild.h"
#include "ui/guiprogram.h"
#include "ui/help/helpwindow.h"
#include "ui/history/historymodel.h"
#include "ui/history/historywindow.h"
#include "ui/mainframe.h"
#include "ui/startup.h"
#include "ui/views/gtreeview.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextBrowser>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QTreeView>

#include <csignal>
#include <memory>

// The windows' side of where the user has been: the History window, Back and
// Forward through a directory window's places, and the session that a logout
// saves and the next start reopens.
class tst_Sessions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void historyWindowFindsOpensAndDeletes();
    void clearHistoryAsksFirst_data();
    void clearHistoryAsksFirst();
    void altLeftAndRightStepThroughTheDirectories();
    void nextStartReopensTheWindows_data();
    void nextStartReopensTheWindows();
    void aLogoutAndARestartBringTheWindowsBack();
    void historyModePrintsAndNothingRecords_data();
    void historyModePrintsAndNothingRecords();

private:
    CTarnwickDoc *openAndWait(const QByteArray &url, const QByteArray &title = {});
    void newProgram();
    static bool show(CMainFrame &frame);
    // The program's environment, its files under the test's directory.
    QProcessEnvironment programEnvironment() const;

    QTemporaryDir m_root;
    std::unique_ptr<TestServer> m_server;
    std::unique_ptr<QTemporaryDir> m_dir;
    SettingsFile m_ini;
    std::unique_ptr<GuiProgram> m_program;
    CTarnwickApp *m_app = nullptr;
};

void tst_Sessions::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY2(TestServer::writeServedTree(m_root.path(), {{QStringLiteral("notes.txt"), "Herons\n"},
                                                         {QStringLiteral("docs/inner.txt"), "in\n"},
                                                         {QStringLiteral("more/other.txt"), "o\n"}}),
             qPrintable(TestServer::lastError()));
    m_server = TestServer::gophernicus(m_root.path());
    QVERIFY2(m_server, qPrintable(TestServer::lastError()));
}

void tst_Sessions::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_ini.setPath(m_dir->filePath(QStringLiteral("tarnwick.ini")));
    m_ini.put("[Options]\n");
    newProgram();
}

void tst_Sessions::newProgram()
{
    m_app = nullptr;
    m_program.reset();
    m_program = std::make_unique<GuiProgram>();
    m_app = &m_program->app();
    m_app->setSettingsPath(m_ini.path());
    m_app->registerDefaultTemplates();
    m_app->keepHistoryIn(m_dir->filePath(QStringLiteral("history")));
}

void tst_Sessions::cleanup()
{
    m_app = nullptr;
    m_program.reset();
    m_dir.reset();
}

CTarnwickDoc *tst_Sessions::openAndWait(const QByteArray &url, const QByteArray &title)
{
    CBookmark item;
    item.ParseURL(url);
    if (!title.isEmpty())
        item.title = title;
    QPointer<CTarnwickDoc> doc = m_app->OpenItem(item, 0, 0);
    QSignalSpy ended(doc.data(), &CTarnwickDoc::transferEnded);
    return doc && (doc->isDone() || ended.wait(10000)) ? doc.data() : nullptr;
}

bool tst_Sessions::show(CMainFrame &frame)
{
    frame.resize(900, 700);
    frame.show();
    QApplication::setActiveWindow(&frame);
    return QTest::qWaitForWindowActive(&frame);
}

QProcessEnvironment tst_Sessions::programEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_dir->path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir->filePath(QStringLiteral("xdgconfig")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir->filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_STATE_HOME"), m_dir->filePath(QStringLiteral("state")));
    env.remove(QStringLiteral("TWK_CONFIG"));
    return env;
}

namespace {

QStringList titles(const HistoryModel &model)
{
    QStringList shown;
    for (int row = 0; row < model.rowCount(); ++row)
        shown.append(model.data(model.index(row, HistoryModel::TitleColumn), Qt::DisplayRole).toString());
    return shown;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("unreadable");
}

} // namespace

void tst_Sessions::historyWindowFindsOpensAndDeletes()
{
    CMainFrame frame(*m_program);
    QVERIFY(show(frame));
    const QByteArray base = m_server->url().toUtf8();
    HistoryStore &store = *m_app->history();
    QVERIFY(store.add({100, '1', "The tarn", base + "1%2F"}));
    QVERIFY(store.add({200, '0', "Notes on herons", base + "0%2Fnotes.txt"}));
    QVERIFY(store.add({300, '0', "", base + "0%2Fkestrels.txt"}));

    QTest::keyClick(frame.windowHandle(), Qt::Key_Y, Qt::ControlModifier);
    HistoryWindow *window = frame.historyWindow();
    QVERIFY(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
    QCOMPARE(window->windowTitle(), QStringLiteral("History"));
    // Newest first; an item without a title is known by its URL.
    QCOMPARE(titles(*window->model()),
             (QStringList{QString::fromUtf8(base) + u"0%2Fkestrels.txt"_qs, u"Notes on herons"_qs,
                          u"The tarn"_qs}));
    QCOMPARE(window->countLabel()->text(), QStringLiteral("3 items"));
    QTest::keyClick(frame.windowHandle(), Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(frame.historyWindow(), window);

    QTest::keyClicks(window->findField(), QStringLiteral("HERONS"));
    QTest::keyClick(window->findField(), Qt::Key_Return);
    QCOMPARE(titles(*window->model()), QStringList{u"Notes on herons"_qs});
    QCOMPARE(window->countLabel()->text(), QStringLiteral("1 of 3 items"));

    // Enter opens the entry as titled there: a visit too, and it matches the Find.
    window->list()->setFocus();
    QTest::keyClick(window->list(), Qt::Key_Return);
    QTRY_COMPARE(m_app->windows().size(), 1);
    QCOMPARE(m_app->windows().documents().front()->title(), QByteArray("Notes on herons"));
    QCOMPARE(window->countLabel()->text(), QStringLiteral("2 of 4 items"));

    // Delete takes the chosen entry from the file.
    window->list()->setCurrentIndex(window->model()->index(1, HistoryModel::TitleColumn));
    QTest::keyClick(window->list(), Qt::Key_Delete);
    QCOMPARE(window->countLabel()->text(), QStringLiteral("1 of 3 items"));
    QCOMPARE(HistoryStore(store.path()).entries(), store.entries());

    window->findField()->clear();
    QTest::keyClick(window->findField(), Qt::Key_Return);
    QCOMPARE(window->countLabel()->text(), QStringLiteral("3 items"));

    // F1 in the window opens the manual's section on it.
    frame.userInterface().setHelpDirectory(QStringLiteral(TWK_SOURCE_DIR "/share/help"));
    QTest::keyClick(window->findField(), Qt::Key_F1);
    QVERIFY(frame.userInterface().helpWindow());
    const QUrl help = frame.userInterface().helpWindow()->browser()->source();
    QCOMPARE(help.fileName() + u'#' + help.fragment(), QStringLiteral("main-window.html#history"));
    frame.userInterface().helpWindow()->close();
}

void tst_Sessions::clearHistoryAsksFirst_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("left");
    QTest::newRow("Yes clears") << int(UserInterface::AnswerYes) << 0;
    QTest::newRow("No keeps") << int(UserInterface::AnswerNo) << 2;
}

void tst_Sessions::clearHistoryAsksFirst()
{
    QFETCH(int, answer);
    QFETCH(int, left);
    HistoryStore store(m_dir->filePath(QStringLiteral("h")));
    QVERIFY(store.add({1, '1', "one", "gopher://h/1/"}));
    QVERIFY(store.add({2, '1', "two", "gopher://h/1/"}));
    RecordingUserInterface ui;
    ui.answers = {answer};
    HistoryWindow window(store, ui, nullptr, [](const HistoryEntry &) {});
    QVERIFY(window.clearButton()->isEnabled());
    window.clearButton()->click();
    QCOMPARE(ui.messages.size(), 1);
    QCOMPARE(ui.messages.front().text, QByteArray("Clear the whole history?"));
    QCOMPARE(ui.messages.front().buttons, UserInterface::YesNo);
    QCOMPARE(window.model()->rowCount(), left);
    QCOMPARE(HistoryStore(store.path()).entries().size(), size_t(left));
    QCOMPARE(window.clearButton()->isEnabled(), left > 0);
}

void tst_Sessions::altLeftAndRightStepThroughTheDirectories()
{
    m_app->replyCache().setCapacity(ReplyCache::DefaultCapacity);
    CMainFrame frame(*m_program);
    QVERIFY(show(frame));
    auto *dir = qobject_cast<CGopherDir *>(openAndWait(m_server->url().toUtf8(), "Root"));
    QVERIFY(dir);
    const QByteArray root = dir->item().selector;
    auto *child = qobject_cast<CGopherSplitterChild *>(frame.mdiArea()->activeSubWindow());
    QVERIFY(child);
    auto *tree = qobject_cast<CGTreeView *>(child->navigator());
    QVERIFY(tree);
    QAction *back = frame.action(CMainFrame::ID_STEP_BACK);
    QAction *forward = frame.action(CMainFrame::ID_STEP_FORWARD);
    QVERIFY(frame.toolBar()->actions().contains(back));
    QTRY_VERIFY(!back->isEnabled());

    QSignalSpy ended(dir, &CTarnwickDoc::transferEnded);
    tree->clickNode(tree->rootNode()->child(0), false); // to "docs"
    QVERIFY(ended.wait(10000));
    const QByteArray docs = dir->item().selector;
    QVERIFY(docs != root);
    QTRY_VERIFY(back->isEnabled());
    QVERIFY(!forward->isEnabled());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left, Qt::AltModifier);
    QVERIFY(ended.wait(10000));
    QCOMPARE(dir->item().selector, root);
    QCOMPARE(tree->currentItem(), tree->rootNode());
    QVERIFY2(frame.statusMessage().endsWith(u" ... done (from memory)"), qPrintable(frame.statusMessage()));
    QTRY_VERIFY(forward->isEnabled());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right, Qt::AltModifier);
    QVERIFY(ended.wait(10000));
    QCOMPARE(dir->item().selector, docs);
    QCOMPARE(tree->currentItem(), tree->rootNode()->child(0));
    QCOMPARE(dir->listCount(), 1); // inner.txt, from memory
    // Reload is no move: Back still goes to the root.
    frame.runCommand(CMainFrame::ID_RELOAD);
    QVERIFY(ended.wait(10000));
    QVERIFY(!dir->isFromMemory());
    QCOMPARE(dir->visitPosition(), 1);

    // A move from the middle forgets the way forward.
    QTRY_VERIFY(back->isEnabled());
    const qsizetype ends = ended.count();
    dir->stepBack();
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), ends + 1, 10000);
    tree->clickNode(tree->rootNode()->child(1), false); // to "more"
    QVERIFY(ended.wait(10000));
    QCOMPARE(dir->visitCount(), 2);
    QTRY_VERIFY(!forward->isEnabled());
    // Moves are recorded; steps and Reload retrace them and are not.
    QByteArrayList recorded;
    HistoryStore read(m_app->history()->path());
    for (const HistoryEntry &e : read.entries())
        recorded.append(e.title);
    QCOMPARE(recorded, (QByteArrayList{"Root", "docs", "more"}));
}

void tst_Sessions::nextStartReopensTheWindows_data()
{
    QTest::addColumn<bool>("reopen");
    QTest::addColumn<bool>("urlGiven");
    QTest::newRow("Reopen Windows on") << true << false;
    QTest::newRow("Reopen Windows off: the home gopher") << false << false;
    QTest::newRow("a URL on the command line wins") << true << true;
}

void tst_Sessions::nextStartReopensTheWindows()
{
    QFETCH(bool, reopen);
    QFETCH(bool, urlGiven);
    m_ini.put(QByteArray("[Options]\nReopen Windows=") + (reopen ? "1" : "0")
              + "\n[Home Gopher]\nCount of Home Gophers=1\nHome Server 1=127.0.0.1\nHome Port 1="
              + QByteArray::number(m_server->port()) + "\nHome Selector 1=\n");
    const QString session = m_dir->filePath(QStringLiteral("state/tarnwick/session"));
    const QRect textPlace(30, 40, 320, 200);
    {
        CMainFrame frame(*m_program);
        frame.setSessionFile(session);
        QVERIFY(show(frame));
        CTarnwickDoc *home = m_app->OpenHomeGopher();
        QVERIFY(home);
        QVERIFY(openAndWait(m_server->url(QStringLiteral("0/notes.txt")).toUtf8(), "Notes"));
        frame.mdiArea()->activeSubWindow()->setGeometry(textPlace);
        home->ActivateFrame();
        // A logout: SIGTERM's way out, without ending the test's event loops.
        QVERIFY(frame.exitProgram(CMainFrame::ExitRequest::Signal));
    }
    QCOMPARE(QFile::exists(session), reopen);

    newProgram();
    CMainFrame frame(*m_program);
    frame.setSessionFile(session);
    QVERIFY(show(frame));
    const QByteArrayList urls = urlGiven ? QByteArrayList{m_server->url(QStringLiteral("1/more")).toUtf8()}
                                         : QByteArrayList();
    openFirstDocuments(*m_app, frame, urls, QProcessEnvironment());

    QList<CTarnwickDoc *> docs = m_app->windows().documents();
    if (urlGiven || !reopen) {
        QCOMPARE(docs.size(), 1);
        QCOMPARE(docs.front()->openMode(), int(urlGiven ? CTarnwickDoc::OrdinaryOpen : CTarnwickDoc::HomeOpen));
        return;
    }
    const QList<QMdiSubWindow *> windows = frame.mdiArea()->subWindowList(QMdiArea::CreationOrder);
    QCOMPARE(windows.size(), 2);
    auto *homeWindow = qobject_cast<CGopherSplitterChild *>(windows[0]);
    QVERIFY(homeWindow);
    // Still the home window, in its layout and on its server.
    QCOMPARE(homeWindow->document()->openMode(), int(CTarnwickDoc::HomeOpen));
    QCOMPARE(homeWindow->document()->secondValue(), qintptr(1));
    QCOMPARE(windows[1]->geometry(), textPlace);
    QCOMPARE(windows[1]->windowTitle(), QStringLiteral("Notes"));
    QCOMPARE(frame.mdiArea()->activeSubWindow(), windows[0]);
    // Reopening is no new visit: the two of the first run stay alone.
    QCOMPARE(HistoryStore(m_app->history()->path()).entries().size(), size_t(2));
}

void tst_Sessions::aLogoutAndARestartBringTheWindowsBack()
{
    const QString config = m_dir->filePath(QStringLiteral("config"));
    QVERIFY(QDir().mkpath(config));
    SettingsFile ini;
    ini.setPath(config + u"/tarnwick.ini"_qs);
    ini.put("[Options]\nReopen Windows=1\n");
    QProcessEnvironment env = programEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir->path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_dir->path()));
    const QString socket = InstanceChannel::defaultSocketPath(config);

    // Runs the program until it has opened its first windows, then logs out.
    const auto run = [&](const QStringList &urls) -> QByteArray {
        QProcess program;
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(TWK_BINARY), QStringList{QStringLiteral("-I"), config} + urls);
        if (!program.waitForStarted())
            return "not started";
        // It answers a hand-over once its event loop runs, its first windows open.
        const auto answers = [&] {
            return InstanceChannel::handOver(socket, {}, 1000) == InstanceChannel::HandOver::Delivered;
        };
        if (!QTest::qWaitFor(answers, 30000))
            return "no answer";
        QSignalSpy finished(&program, &QProcess::finished);
        ::kill(pid_t(program.processId()), SIGTERM);
        if (!finished.wait(30000) || program.exitStatus() != QProcess::NormalExit)
            return "did not end";
        QDir state(m_dir->filePath(QStringLiteral("state/tarnwick")));
        const QStringList files = state.entryList({QStringLiteral("session-*")}, QDir::Files);
        return files.size() == 1 ? fileBytes(state.filePath(files.front())) : QByteArray("no session");
    };

    const QByteArray first = run({m_server->url(QStringLiteral("0/notes.txt")), m_server->url(QStringLiteral("1/docs"))});
    QVERIFY2(SessionFile::parse(first).size() == 2, first.constData());
    // No URL this time: the same windows come back, and leave again.
    QCOMPARE(run({}), first);
}

void tst_Sessions::historyModePrintsAndNothingRecords_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");

    const QString history = QStringLiteral("--history");
    const QString format = QStringLiteral("--format");
    const QByteArray urls = "gopher://kestrel.example/1/\ngopher://tarn.example:7070/0/notes.txt\n";
    // Newest first, as the History window lists them; a line a kill cut short is no entry.
    QTest::newRow("URLs") << QStringList{history} << 0 << urls;
    QTest::newRow("URLs by name") << QStringList{history, format, QStringLiteral("urls")} << 0 << urls;
    QTest::newRow("a gophermap") << QStringList{history, format, QStringLiteral("gophermap")} << 0
                                 << QByteArray("1The fell\t/\tkestrel.example\t70\n"
                                               "0Notes on herons\t/notes.txt\ttarn.example\t7070\n");
    QTest::newRow("an unknown format") << QStringList{history, format, QStringLiteral("html")} << 2
                                       << QByteArray();
}

void tst_Sessions::historyModePrintsAndNothingRecords()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    const QString config = m_dir->filePath(QStringLiteral("config"));
    QVERIFY(QDir().mkpath(config));
    const QProcessEnvironment env = programEnvironment();
    // Where the program, outside Qt's test mode, keeps this configuration's history.
    QStandardPaths::setTestModeEnabled(false);
    const QString path = UserDataFiles::historyFile(config, env);
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(path.startsWith(m_dir->path()));
    HistoryStore store(path);
    QVERIFY(store.add({100, '0', "Notes on herons", "gopher://tarn.example:7070/0/notes.txt"}));
    QVERIFY(store.add({200, '1', "The fell", "gopher://kestrel.example/1/"}));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        file.write("300\t1\tgopher://cut.example/");
    }
    const QByteArray before = fileBytes(path);

    QByteArray printed, errors;
    const auto run = [&](const QStringList &args) {
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(TWK_BINARY), QStringList{QStringLiteral("-I"), config} + args);
        QSignalSpy finished(&program, &QProcess::finished);
        if (!finished.wait(30000) || program.exitStatus() != QProcess::NormalExit)
            return -1;
        printed = program.readAllStandardOutput();
        errors = program.readAllStandardError();
        return program.exitCode();
    };
    QCOMPARE(run(arguments), exitCode);
    QCOMPARE(printed, out);
    if (exitCode == 2)
        QVERIFY2(errors.startsWith("tarnwick: ") && errors.contains("tarnwick [-I DIR] --history"),
                 errors.constData());

    // A script's fetch is no visit: the history stays as it was.
    QVERIFY2(run({QStringLiteral("--dump"), m_server->url(QStringLiteral("0/notes.txt"))}) == 0, errors.constData());
    QCOMPARE(printed, QByteArray("Herons\n"));
    QCOMPARE(fileBytes(path), before);
}

QTEST_MAIN(tst_Sessions)
#include "tst_sessions.moc"
