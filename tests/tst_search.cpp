#include "settings/programfiles.h"
#include "app/tarnwickapp.h"
#include "ui/dialogs/telnetprogramsdialog.h"
#include "documents/gopherdir.h"
#include "documents/searchtext.h"
#include "documents/telnettext.h"
#include "documents/userinterface.h"
#include "documents/windowregistry.h"
#include "support/testservers.h"
#include "ui/gophermdichild.h"
#include "ui/guiprogram.h"
#include "ui/mainframe.h"
#include "ui/views/searchview.h"
#include "ui/views/telnetview.h"

#include <QDir>
#include <QFocusEvent>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>
#include <optional>

using OptionalList = std::optional<QStringList>;
Q_DECLARE_METATYPE(OptionalList)

// Index searches and telnet sessions: the request a search sends, the
// argument vector a session starts, and the hosts that must never reach a
// terminal program.
class tst_Search : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void sessionCommand_data();
    void sessionCommand();
    void defaultPrograms();
    void terminalViewNamesTheProgram();
    void hostileHostsAreRefused_data();
    void hostileHostsAreRefused();
    void telnetTexts_data();
    void telnetTexts();
    void launchPassesEachArgumentUnchanged();
    void launchFailures_data();
    void launchFailures();
    void searchRequest_data();
    void searchRequest();
    void searchesOnTheWire();
    void telnetWindow();
    void telnetProgramsDialog();

private:
    void writeSettings(const QByteArray &text);
    QByteArray settingsText() const;
    // A telnet document for the item, with no window, as the dump makes one.
    CTelnetText *telnetDocument(const CBookmark &item);

    std::unique_ptr<QTemporaryDir> m_dir;
    RecordingUserInterface m_ui;
    std::unique_ptr<CTarnwickApp> m_app;
};

void tst_Search::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_Search::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_ui = RecordingUserInterface();
    m_app = std::make_unique<CTarnwickApp>(m_ui);
    m_app->setSettingsPath(m_dir->filePath(QStringLiteral("tarnwick.ini")));
    m_app->registerDefaultTemplates();
}

void tst_Search::cleanup()
{
    m_app.reset();
    m_dir.reset();
}

void tst_Search::writeSettings(const QByteArray &text)
{
    QFile file(m_dir->filePath(QStringLiteral("tarnwick.ini")));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(text), text.size());
}

QByteArray tst_Search::settingsText() const
{
    QFile file(m_dir->filePath(QStringLiteral("tarnwick.ini")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

CTelnetText *tst_Search::telnetDocument(const CBookmark &item)
{
    auto *doc = new CTelnetText(m_app->context(), m_app.get());
    doc->Fetch(item);
    return doc;
}

// ---------------------------------------------------------------------------
// Command lines

void tst_Search::sessionCommand_data()
{
    QTest::addColumn<QByteArray>("commandLine");
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<OptionalList>("expected");

    const auto list = [](std::initializer_list<const char *> words) {
        QStringList out;
        for (const char *w : words)
            out.append(QString::fromUtf8(w));
        return OptionalList(out);
    };
    QTest::newRow("no placeholder: host and port appended")
        << QByteArray("telnet") << QByteArray("h.example") << list({"telnet", "h.example", "23"});
    QTest::newRow("host but no port: nothing appended")
        << QByteArray("term -e telnet %host%") << QByteArray("h")
        << list({"term", "-e", "telnet", "h"});
    QTest::newRow("only the first of each is replaced")
        << QByteArray("t %host% %port% %host% %port%") << QByteArray("h")
        << list({"t", "h", "23", "%host%", "%port%"});
    QTest::newRow("both in one argument")
        << QByteArray("x3270 %host%:%port%") << QByteArray("h") << list({"x3270", "h:23"});
    QTest::newRow("a quoted argument around a placeholder")
        << QByteArray("xterm -T 'Telnet to %host%' -e telnet") << QByteArray("h")
        << list({"xterm", "-T", "Telnet to h", "-e", "telnet"});
    QTest::newRow("the host stays inside its argument")
        << QByteArray("telnet %host% %port%") << QByteArray("a 'b' \"c\" $(d)")
        << list({"telnet", "a 'b' \"c\" $(d)", "23"});
    QTest::newRow("a host spelled like a placeholder stays the host")
        << QByteArray("telnet %host% %port%") << QByteArray("%port%")
        << list({"telnet", "%port%", "23"});
    QTest::newRow("a port placeholder before the host's")
        << QByteArray("t -p %port% %host%") << QByteArray("%host%") << list({"t", "-p", "23", "%host%"});
    QTest::newRow("placeholders sharing a percent sign")
        << QByteArray("t %host%port%") << QByteArray("h") << list({"t", "hport%"});
    QTest::newRow("IPv6 host in brackets before the port")
        << QByteArray("x3270 %host%:%port%") << QByteArray("::1") << list({"x3270", "[::1]:23"});
    QTest::newRow("IPv6 host alone stays bare")
        << QByteArray("telnet %host% %port%") << QByteArray("fe80::1%eth0")
        << list({"telnet", "fe80::1%eth0", "23"});
    QTest::newRow("blank command line") << QByteArray("  ") << QByteArray("h") << OptionalList();
    QTest::newRow("unclosed quote") << QByteArray("telnet '%host%") << QByteArray("h")
                                    << OptionalList();
}

void tst_Search::sessionCommand()
{
    QFETCH(QByteArray, commandLine);
    QFETCH(QByteArray, host);
    QFETCH(OptionalList, expected);

    QCOMPARE(CTelnetText::commandFor(commandLine, host, 23), expected);
}

void tst_Search::defaultPrograms()
{
    // Debian's terminal alternative running telnet, and x3270 for tn3270.
    CTelnetText *telnet = telnetDocument(CBookmark('8', "Library", "", "lib.example", 2323));
    QCOMPARE(telnet->sessionArguments(),
             OptionalList(QStringList{QStringLiteral("x-terminal-emulator"), QStringLiteral("-e"),
                                      QStringLiteral("telnet"), QStringLiteral("lib.example"),
                                      QStringLiteral("2323")}));
    CTelnetText *tn3270 = telnetDocument(CBookmark('T', "Catalog", "", "ibm.example", 23));
    QCOMPARE(tn3270->sessionArguments(),
             OptionalList(QStringList{QStringLiteral("x3270"), QStringLiteral("ibm.example:23")}));
    // A blank setting reads as the default; an empty one is never written.
    writeSettings("[Telnet]\r\nCurrent telnet=   \r\n");
    QCOMPARE(m_app->settings().telnetProgram(),
             QByteArray("x-terminal-emulator -e telnet %host% %port%"));
    QVERIFY(m_app->settings().setTn3270Program(QByteArray()));
    QCOMPARE(settingsText(), QByteArray("[Telnet]\r\nCurrent telnet=   \r\n"));
    // Another type starts nothing and says nothing.
    CTelnetText *other = telnetDocument(CBookmark('0', "Text", "", "h", 70));
    QCOMPARE(other->sessionArguments(), OptionalList());
    QVERIFY(m_ui.messages.isEmpty());
}

// A Gopher+ telnet item may name a terminal view; the viewer the extended-view
// table records for it takes the configured program's place.
void tst_Search::terminalViewNamesTheProgram()
{
    const QByteArray table("#\nname=terminal/vt100\nextension=\ntype=8\n"
                           "viewer=xterm -T \"Gopher session\" -e telnet %host% %port%\nrank=1\n");
    QFile file(m_dir->filePath(QStringLiteral("extviews.cnf")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(table), table.size());
    file.close();
    m_app->setProgramFiles(ProgramFiles::forThisProcess(m_dir->path()));

    CTelnetText *viewed =
        telnetDocument(CBookmark('8', "Session", "guest\t+terminal/vt100", "bbs.example", 2323));
    QCOMPARE(viewed->sessionArguments(),
             OptionalList(QStringList{QStringLiteral("xterm"), QStringLiteral("-T"),
                                      QStringLiteral("Gopher session"), QStringLiteral("-e"),
                                      QStringLiteral("telnet"), QStringLiteral("bbs.example"),
                                      QStringLiteral("2323")}));
    // A view the table does not know leaves the configured program.
    CTelnetText *unknown =
        telnetDocument(CBookmark('8', "Session", "guest\t+terminal/ibm3279", "bbs.example", 23));
    QCOMPARE(unknown->sessionArguments()->first(), QStringLiteral("x-terminal-emulator"));
}

void tst_Search::hostileHostsAreRefused_data()
{
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<bool>("refused");

    QTest::newRow("an option") << QByteArray("-oProxyCommand=x") << true;
    QTest::newRow("a space") << QByteArray("host -l root") << true;
    QTest::newRow("a control character") << QByteArray("host\x01") << true;
    QTest::newRow("an escape sequence") << QByteArray("\x1b]0;x\x07") << true;
    QTest::newRow("command substitution") << QByteArray("$(reboot)") << true;
    QTest::newRow("a semicolon") << QByteArray("h;id") << true;
    QTest::newRow("a quote") << QByteArray("h'") << true;
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("a name") << QByteArray("bbs.example.org") << false;
    QTest::newRow("a dash inside") << QByteArray("my-host") << false;
    QTest::newRow("IPv6 address") << QByteArray("fe80::1%eth0") << false;
}

void tst_Search::hostileHostsAreRefused()
{
    QFETCH(QByteArray, host);
    QFETCH(bool, refused);

    CBookmark item('8', "Session", "", "", 23);
    item.host = host;
    CTelnetText *doc = telnetDocument(item);
    const OptionalList arguments = doc->sessionArguments();
    QCOMPARE(!arguments.has_value(), refused);
    if (!refused) {
        QVERIFY(m_ui.messages.isEmpty());
        return;
    }
    QCOMPARE(m_ui.messages.size(), 1);
    QCOMPARE(m_ui.messages.first().text,
             QByteArray("Refusing to start a session with the host '") + host
                 + "'.\nA host name must not begin with \"-\" or hold a space, a control "
                   "character or a shell character.");
    QCOMPARE(m_ui.messages.first().icon, UserInterface::Exclamation);
    // Launch refuses the same way and starts nothing.
    doc->Launch();
    QCOMPARE(m_ui.messages.size(), 2);
    QVERIFY(doc->lastStatus().isEmpty());
}

void tst_Search::telnetTexts_data()
{
    QTest::addColumn<QByteArray>("selector");
    QTest::addColumn<QByteArray>("hint");

    QTest::newRow("empty selector") << QByteArray() << QByteArray("No special instructions");
    QTest::newRow("only a line end") << QByteArray("\r\n") << QByteArray("No special instructions");
    QTest::newRow("a login name") << QByteArray("guest") << QByteArray("Hint: use guest");
    QTest::newRow("text after the line end")
        << QByteArray("lynx\r\nmore") << QByteArray("Hint: use lynx");
}

void tst_Search::telnetTexts()
{
    QFETCH(QByteArray, selector);
    QFETCH(QByteArray, hint);

    CTelnetText *doc = telnetDocument(CBookmark('8', "Session", selector, "bbs.example", 2323));
    QCOMPARE(doc->GetHintText(), hint);
    QCOMPARE(doc->GetHostText(), QByteArray("Using host bbs.example port 2323"));
    QCOMPARE(doc->title(), QByteArray("Session"));
    doc->OnEditCopy();
    QCOMPARE(m_ui.clipboard, QByteArray("bbs.example\n"));
}

void tst_Search::launchPassesEachArgumentUnchanged()
{
    // The terminal program is a script that writes each argument it was
    // given on a line of its own.
    const QString record = m_dir->filePath(QStringLiteral("argv"));
    const QString script = m_dir->filePath(QStringLiteral("my term.sh"));
    {
        QFile file(script);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.tmp\"\n"
                   "mv \"$0.tmp\" '" + record.toUtf8() + "'\n");
        file.close();
        QVERIFY(file.setPermissions(file.permissions() | QFile::ExeOwner));
    }
    const QByteArray line = "'" + script.toUtf8() + "' -T 'Telnet $HOME; x' -e telnet %host% %port%";
    writeSettings("[Telnet]\r\nCurrent telnet=" + line + "\r\n");

    CTelnetText *doc = telnetDocument(CBookmark('8', "Session", "", "bbs.example.org", 2323));
    doc->Launch();
    QVERIFY2(m_ui.messages.isEmpty(), m_ui.messages.value(0).text.constData());
    QCOMPARE(doc->lastStatus(),
             "Running ''" + script.toUtf8()
                 + "' -T 'Telnet $HOME; x' -e telnet bbs.example.org 2323'");
    QTRY_VERIFY(QFile::exists(record));
    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("-T\nTelnet $HOME; x\n-e\ntelnet\nbbs.example.org\n2323\n"));
}

void tst_Search::launchFailures_data()
{
    QTest::addColumn<QByteArray>("program"); // DIR stands for the test's directory
    QTest::addColumn<QByteArray>("cause");

    QTest::newRow("not on PATH") << QByteArray("no-such-terminal-program")
                                 << QByteArray("The file was not found");
    QTest::newRow("missing file") << QByteArray("DIR/missing") << QByteArray("The file was not found");
    QTest::newRow("missing folder") << QByteArray("DIR/nowhere/term")
                                    << QByteArray("The path was not found");
    QTest::newRow("not executable") << QByteArray("DIR/plain.txt")
                                    << QByteArray("There was a sharing or network protection error");
    QTest::newRow("a folder") << QByteArray("DIR") << QByteArray("There was a sharing or network protection error");
}

void tst_Search::launchFailures()
{
    QFETCH(QByteArray, program);
    QFETCH(QByteArray, cause);

    {
        QFile plain(m_dir->filePath(QStringLiteral("plain.txt")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
    }
    program.replace("DIR", m_dir->path().toUtf8());
    writeSettings("[Telnet]\r\nCurrent 3270=" + program + " %host%\r\n");
    CTelnetText *doc = telnetDocument(CBookmark('T', "Catalog", "", "ibm.example", 23));
    doc->Launch();
    QCOMPARE(doc->lastStatus(), "Running '" + program + " ibm.example'");
    QCOMPARE(m_ui.messages.size(), 1);
    QCOMPARE(m_ui.messages.first().text, "Couldn't run " + program + " ibm.example\n" + cause);
}

// ---------------------------------------------------------------------------
// Index search

void tst_Search::searchRequest_data()
{
    QTest::addColumn<QByteArray>("selector");
    QTest::addColumn<QByteArray>("words");
    QTest::addColumn<QByteArray>("request");

    QTest::newRow("plain index") << QByteArray("/lookup") << QByteArray("tarn")
                                 << QByteArray("/lookup\ttarn\r\n");
    QTest::newRow("Gopher+ marker stays after the words")
        << QByteArray("/lookup\t+\r\n") << QByteArray("tarn") << QByteArray("/lookup\ttarn\t+\r\n");
    QTest::newRow("everything after the first TAB is the tail")
        << QByteArray("/lookup\t$\t+x") << QByteArray("a") << QByteArray("/lookup\ta\t$\t+x\r\n");
    QTest::newRow("spaces and operators unchanged")
        << QByteArray("s") << QByteArray("north AND  shore NOT map")
        << QByteArray("s\tnorth AND  shore NOT map\r\n");
    QTest::newRow("a TAB in the words becomes a blank")
        << QByteArray("s") << QByteArray("a\tb") << QByteArray("s\ta b\r\n");
    QTest::newRow("words cannot make a Gopher+ request")
        << QByteArray("/lookup\t+\r\n") << QByteArray("tarn\t!") << QByteArray("/lookup\ttarn !\t+\r\n");
    QTest::newRow("non-ASCII bytes as they are")
        << QByteArray("s") << QByteArray("Z\xc3\xbcrich caf\xe9") << QByteArray("s\tZ\xc3\xbcrich caf\xe9\r\n");
    QTest::newRow("a line end in the words cannot end the request")
        << QByteArray("s") << QByteArray("a\r\nb\nc") << QByteArray("s\ta  b c\r\n");
}

void tst_Search::searchRequest()
{
    QFETCH(QByteArray, selector);
    QFETCH(QByteArray, words);
    QFETCH(QByteArray, request);

    CBookmark index('7', "Find", "", "Gopher.Example", 7070);
    index.selector = selector;
    const CBookmark result = CSearchText::searchItem(index, words);
    QCOMPARE(result.type, '1');
    QCOMPARE(result.selector, request);
    QCOMPARE(result.title, "Find : " + words);
    QCOMPARE(result.host, QByteArray("gopher.example"));
    QCOMPARE(result.port, quint16(7070));
}

void tst_Search::searchesOnTheWire()
{
    const QByteArray menu("0Found it\t/hit\t127.0.0.1\t70\r\n.\r\n");
    const QJsonArray routes{QJsonObject{
        {QStringLiteral("match"), QStringLiteral("*")},
        {QStringLiteral("steps"),
         QJsonArray{QJsonObject{{QStringLiteral("send"), QString::fromLatin1(menu)}}}}}};
    auto server = TestServer::scripted(
        QJsonDocument(QJsonObject{{QStringLiteral("routes"), routes}}).toJson());
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    // The last words were stored by an earlier run, not as UTF-8.
    writeSettings("[Search]\r\nSearch Text=caf\xe9 au lait\r\n");

    GuiProgram program;
    CTarnwickApp &app = program.app();
    app.setSettingsPath(m_dir->filePath(QStringLiteral("tarnwick.ini")));
    app.registerDefaultTemplates();
    CMainFrame frame(program);
    const CBookmark index('7', "Find things", "/idx", "127.0.0.1", server->port());
    auto *search = qobject_cast<CSearchText *>(app.OpenItem(index, 0, 0));
    QVERIFY(search);
    auto *child = qobject_cast<CGopherMDIChild *>(frame.mdiArea()->activeSubWindow());
    QVERIFY(child);
    auto *view = qobject_cast<CSearchView *>(child->view());
    QVERIFY(view);
    QCOMPARE(child->windowTitle(), QStringLiteral("Find things"));
    QCOMPARE(view->wordsEdit()->text(), QStringLiteral("caf\u00e9 au lait"));
    QVERIFY(view->searchButton()->isEnabled());
    QVERIFY(server->requests().isEmpty());

    // Searching with the words as shown sends the stored bytes.
    view->searchButton()->click();
    QTRY_COMPARE(server->requests().size(), 1);
    QCOMPARE(server->requests().at(0), QByteArray("/idx\tcaf\xe9 au lait\r\n"));

    // Typed words go as UTF-8 (a TAB as a blank), and open a second window.
    view->wordsEdit()->clear();
    QVERIFY(!view->searchButton()->isEnabled());
    view->wordsEdit()->setText(QStringLiteral("Z\u00fcrich\tAND lake"));
    QVERIFY(view->searchButton()->isEnabled());
    view->searchButton()->click();
    QTRY_COMPARE(server->requests().size(), 2);
    QCOMPARE(server->requests().at(1), QByteArray("/idx\tZ\xc3\xbcrich AND lake\r\n"));

    QList<QByteArray> titles;
    QList<CGopherDir *> dirs;
    for (CTarnwickDoc *doc : app.findChildren<CTarnwickDoc *>(Qt::FindDirectChildrenOnly)) {
        if (auto *dir = qobject_cast<CGopherDir *>(doc))
            dirs.append(dir);
    }
    QCOMPARE(dirs.size(), 2);
    for (CGopherDir *dir : dirs) {
        QTRY_VERIFY(dir->isDone());
        QCOMPARE(dir->listCount(), 1);
        titles.append(dir->title());
    }
    std::sort(titles.begin(), titles.end());
    QCOMPARE(titles, QList<QByteArray>({"Find things : Z\xc3\xbcrich\tAND lake",
                                        "Find things : caf\xe9 au lait"}));
    // The search window stays, and the next one offers the last words.
    QVERIFY(settingsText().startsWith("[Search]\r\nSearch Text=Z\xc3\xbcrich\tAND lake\r\n"));
    CSearchText next(app.context());
    QCOMPARE(next.GetWords(), QByteArray("Z\xc3\xbcrich\tAND lake"));
    // The Fetch command searches too.
    QVERIFY(frame.action(CMainFrame::ID_FETCH));
    frame.mdiArea()->setActiveSubWindow(child);
    search->SetWords("third");
    frame.runCommand(CMainFrame::ID_FETCH);
    QTRY_COMPARE(server->requests().size(), 3);
    QCOMPARE(server->requests().at(2), QByteArray("/idx\tthird\r\n"));
}

void tst_Search::telnetWindow()
{
    GuiProgram program;
    CTarnwickApp &app = program.app();
    app.setSettingsPath(m_dir->filePath(QStringLiteral("tarnwick.ini")));
    app.registerDefaultTemplates();
    CMainFrame frame(program);
    CBookmark item('8', "The BBS", "guest", "bbs.example", 2323);
    auto *doc = qobject_cast<CTelnetText *>(app.OpenItem(item, 0, 0));
    QVERIFY(doc);
    auto *child = qobject_cast<CGopherMDIChild *>(frame.mdiArea()->activeSubWindow());
    QVERIFY(child);
    auto *view = qobject_cast<CTelnetView *>(child->view());
    QVERIFY(view);
    QCOMPARE(child->windowTitle(), QStringLiteral("The BBS"));
    QCOMPARE(view->hintLabel()->text(), QStringLiteral("Hint: use guest"));
    QCOMPARE(view->hostLabel()->text(), QStringLiteral("Using host bbs.example port 2323"));
    QCOMPARE(view->startButton()->text(), QStringLiteral("&Start"));
    frame.updateCommandStates();
    QVERIFY(frame.action(CMainFrame::ID_FETCH)->isEnabled());
    QVERIFY(frame.action(CMainFrame::ID_EDIT_COPY)->isEnabled());
    // The item opens once; opening it again brings the window back.
    QVERIFY(!app.OpenItem(item, 0, 0));
    QCOMPARE(frame.mdiArea()->subWindowList().size(), 1);
}

void tst_Search::telnetProgramsDialog()
{
    writeSettings("[Telnet]\r\nCurrent telnet=xterm -e telnet\r\n");
    CTelnetProgramsDialog dialog(m_app->settings(), m_ui);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Edit Path to Telnet & 3270 Programs"));
    QCOMPARE(dialog.telnetEdit()->text(), QStringLiteral("xterm -e telnet"));
    QCOMPARE(dialog.tn3270Edit()->text(), QStringLiteral("x3270 %host%:%port%"));
    QCOMPARE(dialog.telnetEdit()->maxLength(), 64);

    // The placeholder buttons need a path edit first.
    dialog.OnHost();
    QCOMPARE(m_ui.messages.size(), 1);
    QCOMPARE(m_ui.messages.first().text, QByteArray("Please click in path text window first!"));
    QFocusEvent focusIn(QEvent::FocusIn);
    QCoreApplication::sendEvent(dialog.telnetEdit(), &focusIn);
    dialog.OnHost();
    dialog.OnHost();
    dialog.OnPort();
    QCOMPARE(dialog.telnetEdit()->text(), QStringLiteral("xterm -e telnet %host% %host% %port%"));

    // A program chosen in the file dialog stays one name when split.
    m_ui.fileDialogAnswers = {QStringLiteral("/opt/IBM 3270/x3270")};
    dialog.OnBrowse3270();
    QCOMPARE(m_ui.fileDialogs.last().title, QStringLiteral("3270 Emulator"));
    QCOMPARE(dialog.tn3270Edit()->text(), QStringLiteral("'/opt/IBM 3270/x3270'"));
    QCOMPARE(dialog.currentPathEdit(), dialog.tn3270Edit());
    dialog.OnBrowseView();
    QCOMPARE(m_ui.messages.last().text, QByteArray("Please select a view first"));

    dialog.tn3270Edit()->setText(dialog.tn3270Edit()->text() + QStringLiteral(" %host%"));
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(settingsText(), QByteArray("[Telnet]\r\nCurrent telnet=xterm -e telnet %host% %host% %port%\r\n"
                                        "Current 3270='/opt/IBM 3270/x3270' %host%\r\n"));
}

QTEST_MAIN(tst_Search)

#include "tst_search.moc"
