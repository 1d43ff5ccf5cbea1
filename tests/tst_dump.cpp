#include "app/programoptions.h"
#include "app/dumprunner.h"
#include "documents/phonetext.h"
#include "tests/support/ports.h"
#include "tests/support/servedtree.h"
#include "tests/support/testservers.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <csignal>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <poll.h>
#include <unistd.h>

namespace {

struct DumpResult
{
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// A scripted server route: the request (without its line end) and the bytes
// sent back before the server closes.
QJsonObject route(const QByteArray &request, const QByteArray &reply)
{
    return QJsonObject{{QStringLiteral("match"), QString::fromLatin1(request)},
                       {QStringLiteral("steps"),
                        QJsonArray{QJsonObject{{QStringLiteral("send"),
                                                QString::fromLatin1(reply)}}}}};
}

// The same, with the connection held open after the reply until the client
// goes away.
QJsonObject holdingRoute(const QByteArray &request, const QByteArray &reply)
{
    QJsonArray steps{QJsonObject{{QStringLiteral("hold"), true}}};
    if (!reply.isEmpty())
        steps.prepend(QJsonObject{{QStringLiteral("send"), QString::fromLatin1(reply)}});
    return QJsonObject{{QStringLiteral("match"), QString::fromLatin1(request)},
                       {QStringLiteral("steps"), steps}};
}

QByteArray script(const QJsonArray &routes)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("routes"), routes}}).toJson();
}

const QByteArray Connected("status: Connecting to 127.0.0.1\n"
                           "status: Connected to 127.0.0.1\n"
                           "status: Sent request to 127.0.0.1\n");

} // namespace

class tst_Dump : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void servedTreeDump_data();
    void servedTreeDump();
    void authoredAndLinks_data();
    void authoredAndLinks();
    void scriptedReplies_data();
    void scriptedReplies();
    void refusedConnection();
    void searchDump_data();
    void searchDump();
    void withoutAServer_data();
    void withoutAServer();
    void gopherPlusViews_data();
    void gopherPlusViews();
    void attributeInfo();
    void pygopherdLanguageViews_data();
    void pygopherdLanguageViews();
    void silentServerTimesOut_data();
    void silentServerTimesOut();
    void stopSignals_data();
    void stopSignals();
    void terminalSafe_data();
    void terminalSafe();
    void controlsOnATerminal_data();
    void controlsOnATerminal();
    void askForm_data();
    void askForm();
    void phoneBook_data();
    void phoneBook();
    void phoneBookCutAtLimit();

private:
    QProcessEnvironment environment() const;
    DumpResult dump(const QStringList &arguments);
    // Runs the dump with one standard stream (1 or 2) on a pseudo-terminal;
    // what the terminal got comes back in that stream's field.
    DumpResult dumpOnTerminal(const QStringList &arguments, int stream);
    QString url(const TestServer &server, const QString &path) const;

    ServedTree m_tree;
    std::unique_ptr<QTemporaryDir> m_home;
    QString m_config;
    QByteArray m_settings;
};

void tst_Dump::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(QFile::exists(QStringLiteral(TWK_BINARY)));
    QVERIFY2(m_tree.start(), qPrintable(TestServer::lastError()));
}

void tst_Dump::cleanupTestCase()
{
    m_tree.stop();
}

void tst_Dump::init()
{
    // The program finds its settings in TWK_CONFIG; home and the per-user
    // configuration directory point into the same place, so no real user's
    // file is ever read or written.
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    const QDir home(m_home->path());
    QVERIFY(home.mkpath(QStringLiteral("config")));
    QVERIFY(home.mkpath(QStringLiteral("xdg")));
    m_config = home.filePath(QStringLiteral("config"));
    m_settings = "[Options]\r\nAuto Strip Dots=1\r\n";
    QFile settings(m_config + QStringLiteral("/tarnwick.ini"));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    QCOMPARE(settings.write(m_settings), m_settings.size());
}

void tst_Dump::cleanup()
{
    // The dump reads its settings and leaves every file as it was.
    QFile settings(m_config + QStringLiteral("/tarnwick.ini"));
    QVERIFY(settings.open(QIODevice::ReadOnly));
    QCOMPARE(settings.readAll(), m_settings);
    QCOMPARE(QDir(m_home->filePath(QStringLiteral("xdg")))
                 .entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());
    m_home.reset();
}

QProcessEnvironment tst_Dump::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TWK_CONFIG"), m_config);
    env.insert(QStringLiteral("HOME"), m_home->path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home->filePath(QStringLiteral("xdg")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    return env;
}

DumpResult tst_Dump::dump(const QStringList &arguments)
{
    QProcess process;
    process.setProcessEnvironment(environment());
    process.setWorkingDirectory(m_home->path());
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(QStringLiteral(TWK_BINARY), arguments);
    DumpResult result;
    if (!process.waitForStarted(10000))
        return result;
    result.finished = finished.wait(30000);
    if (!result.finished) {
        process.kill();
        process.waitForFinished(5000);
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QString tst_Dump::url(const TestServer &server, const QString &path) const
{
    return QStringLiteral("gopher://127.0.0.1:") + QString::number(server.port()) + path;
}

void tst_Dump::servedTreeDump_data()
{
    QTest::addColumn<bool>("pygopherd");
    QTest::addColumn<QStringList>("options"); // before --dump URL; "CONFIG": our settings
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("expected"); // "PORT" stands for the server's port
    QTest::addColumn<QByteArray>("errEnd");

    const QByteArray menuDone("status: Received 5 menu items ... done\n");
    const QByteArray textDone("status: Received 2 lines ... done\n");
    QTest::newRow("gophernicus: files, then sub-directories")
        << false << QStringList() << QStringLiteral("/")
        << QByteArray("dir\t9\tdata.bin\t<URL=gopher://127.0.0.1:PORT/9%2Fdata.bin>\n"
                      "dir\t0\thello.txt\t<URL=gopher://127.0.0.1:PORT/0%2Fhello.txt>\n"
                      "dir\t0\ttabs.txt\t<URL=gopher://127.0.0.1:PORT/0%2Ftabs.txt>\n"
                      "nav\t1\tdocs\t<URL=gopher://127.0.0.1:PORT/1%2Fdocs%2F>\n"
                      "nav\t1\tmore\t<URL=gopher://127.0.0.1:PORT/1%2Fmore%2F>\n")
        << menuDone;
    QTest::newRow("pygopherd plain menu: Gopher+ items")
        << true << QStringList() << QStringLiteral("/")
        << QByteArray("dir\t9+\tdata\t<URL=gopher://127.0.0.1:PORT/9%2Fdata.bin>\n"
                      "dir\t0+\thello\t<URL=gopher://127.0.0.1:PORT/0%2Fhello.txt>\n"
                      "dir\t0+\ttabs\t<URL=gopher://127.0.0.1:PORT/0%2Ftabs.txt>\n"
                      "nav\t1+\tdocs\t<URL=gopher://127.0.0.1:PORT/1%2Fdocs>\n"
                      "nav\t1+\tmore\t<URL=gopher://127.0.0.1:PORT/1%2Fmore>\n")
        << menuDone;
    QTest::newRow("pygopherd \\t$ menu: every +INFO item in the list")
        << true << QStringList() << QStringLiteral("/1%09%24")
        << QByteArray("dir\t9+\tdata\t<URL=gopher://127.0.0.1:PORT/9%2Fdata.bin>\n"
                      "dir\t1+\tdocs\t<URL=gopher://127.0.0.1:PORT/1%2Fdocs>\n"
                      "dir\t0+\thello\t<URL=gopher://127.0.0.1:PORT/0%2Fhello.txt>\n"
                      "dir\t1+\tmore\t<URL=gopher://127.0.0.1:PORT/1%2Fmore>\n"
                      "dir\t0+\ttabs\t<URL=gopher://127.0.0.1:PORT/0%2Ftabs.txt>\n")
        << menuDone;
    QTest::newRow("gophernicus text") << false << QStringList() << QStringLiteral("/0/hello.txt")
                                      << QByteArray("Hello\nWorld\n") << textDone;
    QTest::newRow("TAB, backslash and two dots as sent")
        << false << QStringList() << QStringLiteral("/0/tabs.txt")
        << QByteArray("a\tb\\c\n..two dots\n") << textDone;
    QTest::newRow("pygopherd Gopher+ text") << true << QStringList()
                                            << QStringLiteral("/0%2Fhello.txt%09%2B")
                                            << QByteArray("Hello\nWorld\n") << textDone;
    QTest::newRow("-I names the configuration directory")
        << false << QStringList{QStringLiteral("-I"), QStringLiteral("CONFIG")}
        << QStringLiteral("/0/hello.txt") << QByteArray("Hello\nWorld\n") << textDone;
}

void tst_Dump::servedTreeDump()
{
    QFETCH(bool, pygopherd);
    QFETCH(QStringList, options);
    QFETCH(QString, path);
    QFETCH(QByteArray, expected);
    QFETCH(QByteArray, errEnd);

    const TestServer &server = pygopherd ? m_tree.pygopherd() : m_tree.gophernicus();
    expected.replace("PORT", QByteArray::number(server.port()));
    options.replaceInStrings(QStringLiteral("CONFIG"), m_config);
    const DumpResult result = dump(options << QStringLiteral("--dump") << url(server, path));
    QVERIFY(result.finished);
    QCOMPARE(result.out, expected);
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.err.startsWith(Connected), result.err.constData());
    QVERIFY2(result.err.endsWith(errEnd), result.err.constData());
    // Only status lines (and the chosen view of a text): no message.
    const bool menu = expected.startsWith("dir\t");
    for (const QByteArray &line : result.err.split('\n')) {
        if (!line.isEmpty())
            QVERIFY2(line.startsWith("status: ") || (!menu && line.startsWith("view: ")),
                     line.constData());
    }
}

void tst_Dump::authoredAndLinks_data()
{
    QTest::addColumn<QStringList>("arguments"); // "ROOT" stands for the gophernicus root
    QTest::addColumn<QByteArray>("expected");   // "PORT" for its port

    QTest::newRow("--authored: the server's order (directories first here), then the navigator")
        << QStringList{QStringLiteral("--authored"), QStringLiteral("--dump"), QStringLiteral("ROOT")}
        << QByteArray("dir\t1\tdocs\t<URL=gopher://127.0.0.1:PORT/1%2Fdocs%2F>\n"
                      "dir\t1\tmore\t<URL=gopher://127.0.0.1:PORT/1%2Fmore%2F>\n"
                      "dir\t9\tdata.bin\t<URL=gopher://127.0.0.1:PORT/9%2Fdata.bin>\n"
                      "dir\t0\thello.txt\t<URL=gopher://127.0.0.1:PORT/0%2Fhello.txt>\n"
                      "dir\t0\ttabs.txt\t<URL=gopher://127.0.0.1:PORT/0%2Ftabs.txt>\n"
                      "nav\t1\tdocs\t<URL=gopher://127.0.0.1:PORT/1%2Fdocs%2F>\n"
                      "nav\t1\tmore\t<URL=gopher://127.0.0.1:PORT/1%2Fmore%2F>\n");
    // Links are printed for a script to follow; nothing is fetched or started.
    QTest::newRow("a web link")
        << QStringList{QStringLiteral("--dump"),
                       QStringLiteral("gopher://127.0.0.1:1/hURL:https://example.org/a%20b%09c")}
        << QByteArray("browse\thttps://example.org/a b\n");
    QTest::newRow("a gopher link")
        << QStringList{QStringLiteral("--dump"), QStringLiteral("gopher://127.0.0.1:1/1URL:gopher://h/1/x")}
        << QByteArray("browse\tgopher://h/1/x\n");
    // As the window shows them: handed on without the fields that name files,
    // or shown and not opened.
    QTest::newRow("a mail link")
        << QStringList{QStringLiteral("--dump"),
                       QStringLiteral("gopher://127.0.0.1:1/hURL:mailto:ed@example.org%3Fsubject=Hi%26attach=/etc/passwd")}
        << QByteArray("browse\tmailto:ed@example.org?subject=Hi\n");
    QTest::newRow("a link of a scheme not handed on")
        << QStringList{QStringLiteral("--dump"), QStringLiteral("gopher://127.0.0.1:1/hURL:file:///etc/passwd")}
        << QByteArray("link\tfile:///etc/passwd\n");
    QTest::newRow("a gopher link to a link")
        << QStringList{QStringLiteral("--dump"),
                       QStringLiteral("gopher://127.0.0.1:1/hURL:gopher://h/hURL:gopher://h/1")}
        << QByteArray("link\tgopher://h/hURL:gopher://h/1\n");
}

void tst_Dump::authoredAndLinks()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, expected);

    arguments.replaceInStrings(QStringLiteral("ROOT"), url(m_tree.gophernicus(), QStringLiteral("/")),
                               Qt::CaseSensitive);
    expected.replace("PORT", QByteArray::number(m_tree.gophernicus().port()));
    const DumpResult result = dump(arguments);
    QVERIFY(result.finished);
    QCOMPARE(result.out, expected);
    QCOMPARE(result.exitCode, 0);
}

void tst_Dump::scriptedReplies_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("more"); // after --dump URL
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");      // "PORT" stands for the server's port
    QTest::addColumn<bool>("errIsEnd");       // else the whole of standard error
    QTest::addColumn<QByteArrayList>("requests"); // {"?"}: not looked at

    // The document counts the "." line; it reads back as an empty line.
    QTest::newRow("status lines in order")
        << QStringLiteral("/0/two") << QByteArray("one\r\ntwo\r\n.\r\n") << QStringList() << 0
        << QByteArray("one\ntwo\n\n")
        << Connected + "status: Received 3 lines\nstatus: Received 3 lines ... done\n" << false
        << QByteArrayList{"/two\r\n"};
    QTest::newRow("Gopher+ error reply")
        << QStringLiteral("/0/busy") << QByteArray("--1\r\n2 admin@host\r\nServer busy\r\n.\r\n")
        << QStringList() << 1 << QByteArray()
        << Connected + "message: Re: the item '127.0.0.1:PORT'\\r\\n"
                       "Please fetch this item later, when the server is less busy!\\r\\n"
                       "The Gopher server '127.0.0.1'\\r\\n"
                       "returned the following text:\\r\\n\\r\\n"
                       "admin@host\\r\\nServer busy\\r\\n\n"
        << false << QByteArrayList{"?"};
    for (const char *path : {"/3/error", "/i/info", "/x/thing"}) {
        QTest::addRow("type that opens nothing: %s", path)
            << QString::fromLatin1(path) << QByteArray("0Never\t/n\t127.0.0.1\t70\r\n.\r\n")
            << QStringList() << 2 << QByteArray() << QByteArray() << false << QByteArrayList();
    }
    QTest::newRow("a search item without words")
        << QStringLiteral("/7/idx") << QByteArray(".\r\n") << QStringList() << 2 << QByteArray()
        << QByteArray("tarnwick: a search item needs --search WORDS\n") << true
        << QByteArrayList{"?"};
    QTest::newRow("words for a directory")
        << QStringLiteral("/1/dir") << QByteArray(".\r\n")
        << QStringList{QStringLiteral("--search"), QStringLiteral("x")} << 2 << QByteArray()
        << QByteArray("tarnwick: --search needs a search item (type 7)\n") << true
        << QByteArrayList{"?"};
    // Output cut at the text's line limit is printed as far as it goes; the
    // last line says what was cut, and the exit status is no success.
    QByteArray manyLines;
    QByteArray keptLines;
    for (int i = 1; i <= 40000; ++i) {
        const QByteArray line = "line " + QByteArray::number(i);
        manyLines += line + "\r\n";
        if (i <= 32767)
            keptLines += line + '\n';
    }
    QTest::newRow("a text cut at its line limit")
        << QStringLiteral("/0/long") << manyLines << QStringList() << 1 << keptLines
        << QByteArray("status: Received 32767 lines ... stopped at the limit of 32,767 lines\n"
                      "tarnwick: the text was cut at 32,767 lines\n")
        << true << QByteArrayList{"/long\r\n"};
    QTest::newRow("a query for a directory")
        << QStringLiteral("/1/dir") << QByteArray(".\r\n")
        << QStringList{QStringLiteral("--query"), QStringLiteral("name=x")} << 2 << QByteArray()
        << QByteArray("tarnwick: --query needs a phone book item (type 2)\n") << true
        << QByteArrayList{"?"};
}

void tst_Dump::scriptedReplies()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, more);
    QFETCH(QByteArray, err);
    QFETCH(bool, errIsEnd);
    QFETCH(QByteArrayList, requests);

    auto server = TestServer::scripted(script({route("*", reply)}));
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    const DumpResult result = dump(QStringList{QStringLiteral("--dump"), url(*server, path)} + more);
    QVERIFY(result.finished);
    QTEST(result.exitCode, "exitCode");
    QTEST(result.out, "out");
    err.replace("PORT", QByteArray::number(server->port()));
    if (errIsEnd)
        QVERIFY2(result.err.endsWith(err), result.err.constData());
    else
        QCOMPARE(result.err, err);
    if (requests != QByteArrayList{"?"})
        QCOMPARE(server->requests(), requests);
}

void tst_Dump::refusedConnection()
{
    TestPorts::RefusingPort refusing;
    const quint16 port = refusing.port();
    QVERIFY(port != 0);
    const DumpResult result = dump({QStringLiteral("--dump"),
                                    QStringLiteral("gopher://127.0.0.1:%1/").arg(port)});
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.out, QByteArray());
    QCOMPARE(result.err, QByteArray("status: Connecting to 127.0.0.1\n"
                                    "status: Can't connect to 127.0.0.1 : [10061] Connection refused\n"
                                    "message: Connect error to host\\n127.0.0.1\\n"
                                    "[10061] Connection refused\n"
                                    "status: Directory appears empty (received 0 bytes)\n"));
}

void tst_Dump::phoneBook_data()
{
    QTest::addColumn<QStringList>("query");
    QTest::addColumn<QByteArray>("responses");

    const QByteArray fields("field\tname\nfield\temail\nfield\tphone\nfield\talias\n");
    QTest::newRow("fields only") << QStringList() << fields;
    QTest::newRow("query")
        << QStringList{QStringLiteral("--query"), QStringLiteral("alias=cora")}
        << fields + "There were 1 matches to your request.\n\n"
                    "   name: Cora Lindqvist\n  email: cora@lind.example\n  phone: 555 0200\n"
                    "address: The Boathouse\n  alias: cora\n";
    QTest::newRow("no match")
        << QStringList{QStringLiteral("--query"), QStringLiteral("name=nobody")}
        << fields + "No matches to your query.\nBye!\n";
}

void tst_Dump::phoneBook()
{
    QFETCH(QStringList, query);
    QFETCH(QByteArray, responses);

    auto server = TestServer::cso();
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    const DumpResult result = dump(QStringList{QStringLiteral("--dump"), url(*server, QStringLiteral("/2"))}
                                   + query);
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, responses);
}

// A reply cut at the phone book's line limit is no success: what arrived is
// printed, and the script is told what was cut.
void tst_Dump::phoneBookCutAtLimit()
{
    const QByteArray entries = QByteArray("-200:1:name: x\r\n").repeated(CPhoneText::MaxLines);
    auto server = TestServer::scripted(script(
        {route("fields", "-200:1:name:max 64 Indexed Lookup Public Default\r\n200:Ok.\r\n"),
         holdingRoute("query x", entries + "200:Ok.\r\n")}));
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    const DumpResult result = dump({QStringLiteral("--dump"), url(*server, QStringLiteral("/2")),
                                    QStringLiteral("--query"), QStringLiteral("x")});
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 1);
    QVERIFY(result.out.startsWith("field\tname\n\nname: x\nname: x\n"));
    QCOMPARE(result.out.count('\n'), 1 + CPhoneText::MaxLines);
    QVERIFY2(result.err.contains("status: Received 1 responses ... stopped at the limit of 100,000 lines\n"),
             result.err.right(400).constData());
    QVERIFY2(!result.err.contains("responses ... done"), result.err.right(400).constData());
    QVERIFY2(result.err.endsWith("tarnwick: the phone-book reply was cut at 100,000 lines\n"),
             result.err.right(400).constData());
}

void tst_Dump::searchDump_data()
{
    QTest::addColumn<QString>("words");
    QTest::addColumn<QByteArray>("request");

    QTest::newRow("words with spaces") << QStringLiteral("north  shore AND map")
                                       << QByteArray("/idx\tnorth  shore AND map\r\n");
    QTest::newRow("a TAB in the words goes as a blank") << QStringLiteral("a\tb") << QByteArray("/idx\ta b\r\n");
    QTest::newRow("non-ASCII words as UTF-8")
        << QStringLiteral("Z\u00fcrich \u2603") << QByteArray("/idx\tZ\xc3\xbcrich \xe2\x98\x83\r\n");
}

void tst_Dump::searchDump()
{
    QFETCH(QString, words);
    QFETCH(QByteArray, request);

    auto server = TestServer::scripted(
        script({route("*", "0Hit\t/hit\t127.0.0.1\t70\r\n1Sub\t/sub\t127.0.0.1\t70\r\n.\r\n")}));
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    const DumpResult result = dump({QStringLiteral("--dump"), url(*server, QStringLiteral("/7/idx")),
                                    QStringLiteral("--search"), words});
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(server->requests(), QList<QByteArray>{request});
    QCOMPARE(result.out, QByteArray("dir\t0\tHit\t<URL=gopher://127.0.0.1/0%2Fhit>\n"
                                    "nav\t1\tSub\t<URL=gopher://127.0.0.1/1%2Fsub>\n"));
    QVERIFY2(result.err.endsWith("status: Received 2 menu items ... done\n"), result.err.constData());
}

// Runs that end before any connection: usage errors and session launches.
void tst_Dump::withoutAServer_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");

    const auto dumping = [](const char *url) {
        return QStringList{QStringLiteral("--dump"), QString::fromLatin1(url)};
    };
    const auto usage = [](const char *reason) -> QByteArray {
        return QByteArray("tarnwick: ") + reason + '\n' + ProgramOptions::usageText().toUtf8();
    };
    QTest::newRow("no URL") << QByteArray() << QStringList{QStringLiteral("--dump")} << 2
                            << QByteArray() << usage("--dump needs a URL");
    QTest::newRow("unknown option")
        << QByteArray() << dumping("gopher://127.0.0.1/") + QStringList{QStringLiteral("--bogus")}
        << 2 << QByteArray() << usage("unknown option 'bogus'");
    QTest::newRow("stray argument")
        << QByteArray() << QStringList{QStringLiteral("stray")} + dumping("gopher://127.0.0.1/")
        << 2 << QByteArray() << usage("--dump takes one URL, not 2 arguments");
    for (const char *value : {"", "x", "1.5", "-1", " 5", "2147484"}) {
        QStringList arguments = dumping("gopher://127.0.0.1/") << QStringLiteral("--timeout");
        if (*value)
            arguments << QString::fromLatin1(value);
        QTest::addRow("timeout '%s'", value)
            << QByteArray() << arguments << 2 << QByteArray()
            << usage(*value ? "--timeout takes a whole number of seconds, at most 2147483"
                            : "missing value after '--timeout'");
    }
    for (const char *proxy : {"http://127.0.0.1:8080", "socks5h://127.0.0.1:x", "socks5h://"}) {
        QTest::addRow("--proxy '%s'", proxy)
            << QByteArray()
            << dumping("gopher://127.0.0.1/") + QStringList{QStringLiteral("--proxy"), QString::fromLatin1(proxy)}
            << 2 << QByteArray()
            << usage(QByteArray("--proxy takes socks5h://HOST:PORT or socks5://HOST:PORT, not '" + QByteArray(proxy) + "'").constData());
    }
    QTest::newRow("not a gopher URL")
        << QByteArray() << dumping("http://example.org/") << 2 << QByteArray()
        << QByteArray("tarnwick: not a gopher URL: http://example.org/\n");
    QTest::newRow("URL without port")
        << QByteArray() << dumping("gopher://127.0.0.1:0/") << 2 << QByteArray()
        << QByteArray("tarnwick: not a gopher URL: gopher://127.0.0.1:0/\n");
    QTest::newRow("port beyond 65535, never wrapped")
        << QByteArray() << dumping("gopher://127.0.0.1:108576/") << 2 << QByteArray()
        << QByteArray("tarnwick: not a gopher URL: gopher://127.0.0.1:108576/\n");

    QTest::newRow("telnet: the Debian default")
        << QByteArray() << dumping("gopher://bbs.example:2323/8guest") << 0
        << QByteArray("launch\tx-terminal-emulator\t-e\ttelnet\tbbs.example\t2323\n")
        << QByteArray();
    QTest::newRow("tn3270: the Debian default")
        << QByteArray() << dumping("gopher://ibm.example:23/T") << 0
        << QByteArray("launch\tx3270\tibm.example:23\n") << QByteArray();
    QTest::newRow("the setting split, placeholders filled, escapes")
        << QByteArray("[Telnet]\r\nCurrent telnet=\"/opt/my term\" -T 'a\tb\\' %port%\r\n")
        << dumping("gopher://bbs.example:2323/8") << 0
        << QByteArray("launch\t/opt/my term\t-T\ta\\tb\\\\\t2323\n") << QByteArray();
    QTest::newRow("a host that would be an option")
        << QByteArray() << dumping("gopher://-oProxyCommand=x:23/8") << 1 << QByteArray()
        << QByteArray("message: Refusing to start a session with the host '-oproxycommand=x'.\\n"
                      "A host name must not begin with \"-\" or hold a space, a control "
                      "character or a shell character.\n");
}

void tst_Dump::withoutAServer()
{
    QFETCH(QByteArray, settings);
    QFETCH(QStringList, arguments);

    if (!settings.isEmpty()) {
        m_settings += settings;
        QFile file(m_config + QStringLiteral("/tarnwick.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(m_settings), m_settings.size());
    }
    const DumpResult result = dump(arguments);
    QVERIFY(result.finished);
    QTEST(result.exitCode, "exitCode");
    QTEST(result.out, "out");
    QTEST(result.err, "err");
}

DumpResult tst_Dump::dumpOnTerminal(const QStringList &arguments, int stream)
{
    DumpResult result;
    int master = -1;
    int slave = -1;
    termios raw{};
    ::cfmakeraw(&raw); // bytes pass unchanged: no LF to CR LF
    if (::openpty(&master, &slave, nullptr, &raw, nullptr) != 0)
        return result;
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    QProcess process;
    process.setProcessEnvironment(environment());
    process.setWorkingDirectory(m_home->path());
    process.setChildProcessModifier([slave, stream] { ::dup2(slave, stream); });
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(QStringLiteral(TWK_BINARY), arguments);
    const bool started = process.waitForStarted(10000);
    ::close(slave);
    if (started) {
        result.finished = finished.wait(30000);
        if (!result.finished) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    // Once no process holds the terminal, reading its other side ends with EIO.
    QByteArray terminalBytes;
    char buffer[4096];
    for (;;) {
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, 10000) <= 0)
            break;
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        terminalBytes.append(buffer, n);
    }
    ::close(master);
    if (!result.finished)
        return result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = stream == 1 ? terminalBytes : process.readAllStandardOutput();
    result.err = stream == 2 ? terminalBytes : process.readAllStandardError();
    return result;
}

void tst_Dump::silentServerTimesOut_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("reply"); // then the server holds the connection
    QTest::addColumn<QByteArray>("out");

    QTest::newRow("text, then silence")
        << QStringLiteral("/0/slow") << QByteArray("one\r\ntwo\r\n") << QByteArray("one\ntwo\n");
    QTest::newRow("menu, then silence")
        << QStringLiteral("/1/slow")
        << QByteArray("0First\t/a\t127.0.0.1\t70\r\n0Second\t/b\t127.0.0.1\t70\r\n")
        << QByteArray("dir\t0\tFirst\t<URL=gopher://127.0.0.1/0%2Fa>\n"
                      "dir\t0\tSecond\t<URL=gopher://127.0.0.1/0%2Fb>\n");
    QTest::newRow("silent from the start")
        << QStringLiteral("/1/slow") << QByteArray() << QByteArray();
}

// A server that accepts and then sends nothing more must not keep the dump
// waiting for ever: what arrived is printed and the run fails.
void tst_Dump::silentServerTimesOut()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, out);

    auto server = TestServer::scripted(script({holdingRoute("/slow", reply)}));
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    const DumpResult result = dump({QStringLiteral("--timeout"), QStringLiteral("1"),
                                    QStringLiteral("--dump"), url(*server, path)});
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.out, out);
    QVERIFY2(result.err.startsWith(Connected), result.err.constData());
    QVERIFY2(result.err.contains("\ntarnwick: no data from the server for 1 s\n"),
             result.err.constData());
    QCOMPARE(server->requests(), QList<QByteArray>{"/slow\r\n"});
}

void tst_Dump::stopSignals_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<QByteArray>("message");

    QTest::newRow("SIGINT") << int(SIGINT) << QByteArray("tarnwick: stopped by SIGINT\n");
    QTest::newRow("SIGTERM") << int(SIGTERM) << QByteArray("tarnwick: stopped by SIGTERM\n");
}

// Ctrl+C or a kill while the server holds the connection ends the run as a
// failure, and what arrived before still reaches standard output.
void tst_Dump::stopSignals()
{
    QFETCH(int, signal);
    QFETCH(QByteArray, message);

    auto server = TestServer::scripted(script({holdingRoute("/held", "one\r\ntwo\r\n")}));
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    QProcess process;
    process.setProcessEnvironment(environment());
    process.setWorkingDirectory(m_home->path());
    QByteArray err;
    connect(&process, &QProcess::readyReadStandardError, this,
            [&] { err += process.readAllStandardError(); });
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(QStringLiteral(TWK_BINARY),
                  {QStringLiteral("--dump"), url(*server, QStringLiteral("/0/held"))});
    QVERIFY(process.waitForStarted(10000));
    // Status lines reach a pipe within a fraction of a second, so this line
    // says the two lines are in.
    QTRY_VERIFY2_WITH_TIMEOUT(err.contains("status: Received 2 lines\n"), err.constData(), 20000);
    QCOMPARE(::kill(pid_t(process.processId()), signal), 0);
    QVERIFY(finished.wait(20000));
    err += process.readAllStandardError();
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    QCOMPARE(process.readAllStandardOutput(), QByteArray("one\ntwo\n"));
    QVERIFY2(err.contains(QByteArray("\n").append(message)), err.constData());
    QVERIFY2(err.endsWith('\n'), err.constData());
}

void tst_Dump::terminalSafe_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("utf8");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("C0 controls and DEL") << QByteArray("a\x1b[2Jb\x07" "c\0d\x7f\r\n", 13) << true
                                         << QByteArray("a?[2Jb?c?d???");
    QTest::newRow("TAB stays") << QByteArray("a\tb") << true << QByteArray("a\tb");
    QTest::newRow("UTF-8 letters stay") << QByteArray("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x90\xb9")
                                        << true
                                        << QByteArray("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x90\xb9");
    QTest::newRow("C1 code points") << QByteArray("\xc2\x9b" "1m\xc2\x85.") << true
                                    << QByteArray("?1m?.");
    QTest::newRow("raw C1 byte on a UTF-8 terminal") << QByteArray("\x9b" "31m") << true
                                                    << QByteArray("?31m");
    QTest::newRow("Latin-1 letter on a UTF-8 terminal") << QByteArray("caf\xe9") << true
                                                       << QByteArray("caf\xe9");
    QTest::newRow("overlong form is no sequence") << QByteArray("\xc1\x9b") << true
                                                  << QByteArray("\xc1?");
    QTest::newRow("surrogate is no sequence") << QByteArray("\xed\xa0\x80") << true
                                              << QByteArray("\xed\xa0?");
    QTest::newRow("cut sequence at the end") << QByteArray("x\xe2\x82") << true
                                             << QByteArray("x\xe2?");
    QTest::newRow("C1 bytes inside UTF-8 on an 8-bit terminal") << QByteArray("\xe2\x82\xac") << false
                                                                << QByteArray("\xe2?\xac");
    QTest::newRow("Latin-1 letters on an 8-bit terminal") << QByteArray("caf\xe9\xa0\xff") << false
                                                          << QByteArray("caf\xe9\xa0\xff");
}

void tst_Dump::terminalSafe()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, utf8);
    QFETCH(QByteArray, expected);

    QCOMPARE(DumpRunner::terminalSafe(text, utf8), expected);
}

void tst_Dump::controlsOnATerminal_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("terminalStream"); // 0: both streams are pipes
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("errPart");

    const QByteArray text("plain\x1b[31mred\x07\tbell\xc2\x9b" "2J\r\ncaf\xc3\xa9 \xe2\x82\xac\r\n");
    QTest::newRow("text on a terminal")
        << QStringLiteral("/0/t") << text << 1
        << QByteArray("plain?[31mred?\tbell?2J\ncaf\xc3\xa9 \xe2\x82\xac\n") << QByteArray();
    QTest::newRow("text to a pipe")
        << QStringLiteral("/0/t") << text << 0
        << QByteArray("plain\x1b[31mred\x07\tbell\xc2\x9b" "2J\ncaf\xc3\xa9 \xe2\x82\xac\n")
        << QByteArray();
    const QByteArray menu("0Red \x1b]0;owned\x07title\t/r\t127.0.0.1\t70\r\n");
    QTest::newRow("menu title on a terminal")
        << QStringLiteral("/1/m") << menu << 1
        << QByteArray("dir\t0\tRed ?]0;owned?title\t<URL=gopher://127.0.0.1/0%2Fr>\n")
        << QByteArray();
    QTest::newRow("menu title to a pipe")
        << QStringLiteral("/1/m") << menu << 0
        << QByteArray("dir\t0\tRed \x1b]0;owned\x07title\t<URL=gopher://127.0.0.1/0%2Fr>\n")
        << QByteArray();
    const QByteArray error("--1\r\n1 admin\r\n\x1b[2Jgone\x07\r\n.\r\n");
    QTest::newRow("server's error text on a terminal")
        << QStringLiteral("/0/e") << error << 2 << QByteArray()
        << QByteArray("returned the following text:\\r\\n\\r\\nadmin\\r\\n?[2Jgone?\\r\\n\n");
    QTest::newRow("server's error text to a pipe")
        << QStringLiteral("/0/e") << error << 0 << QByteArray()
        << QByteArray("returned the following text:\\r\\n\\r\\nadmin\\r\\n\x1b[2Jgone\x07\\r\\n\n");
}

void tst_Dump::controlsOnATerminal()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, reply);
    QFETCH(int, terminalStream);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, errPart);

    auto server = TestServer::scripted(script({route("*", reply)}));
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    const QStringList arguments{QStringLiteral("--dump"), url(*server, path)};
    const DumpResult result = terminalStream == 0 ? dump(arguments)
                                                  : dumpOnTerminal(arguments, terminalStream);
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, errPart.isEmpty() ? 0 : 1);
    QCOMPARE(result.out, out);
    QVERIFY2(result.err.contains(errPart), result.err.constData());
    if (terminalStream == 2)
        QVERIFY2(!result.err.contains('\x1b') && !result.err.contains('\x07'), result.err.constData());
}

QTEST_GUILESS_MAIN(tst_Dump)

#include "tst_dump.moc"

namespace {

// An item offered in three views, two of them text in different languages.
const QByteArray ThreeViews("+INFO: 0Tarn\t/tarn\t127.0.0.1\t70\t+\r\n"
                            "+VIEWS:\r\n"
                            " application/pdf: <12k>\r\n"
                            " text/plain En_US: <1k>\r\n"
                            " text/plain De_DE: <1k>\r\n"
                            ".\r\n");

} // namespace

void tst_Dump::gopherPlusViews_data()
{
    QTest::addColumn<QByteArray>("attributes");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("request");   // the request after the attributes
    QTest::addColumn<QByteArray>("viewLine");  // on standard error
    QTest::addColumn<int>("exitCode");

    // The shipped table ranks text above PDF; the first text view wins.
    QTest::newRow("best ranked view") << ThreeViews << QStringList() << QByteArray("/tarn\t+text/plain En_US\r\n")
                                      << QByteArray("view: text/plain En_US\n") << 0;
    QTest::newRow("--view with a language")
        << ThreeViews << QStringList{QStringLiteral("--view"), QStringLiteral("text/plain De_DE")}
        << QByteArray("/tarn\t+text/plain De_DE\r\n") << QByteArray("view: text/plain De_DE\n") << 0;
    QTest::newRow("--view by type, any case")
        << ThreeViews << QStringList{QStringLiteral("--view"), QStringLiteral("Text/Plain")}
        << QByteArray("/tarn\t+text/plain En_US\r\n") << QByteArray("view: text/plain En_US\n") << 0;
    QTest::newRow("--view not offered: nothing fetched")
        << ThreeViews << QStringList{QStringLiteral("--view"), QStringLiteral("image/gif")}
        << QByteArray() << QByteArray("message: The item has no view image/gif\n") << 1;
    // Thousands of views: the attribute reply is kept up to its limit, and
    // the one ranked view inside it is found.
    QByteArray many("+INFO: 0Tarn\t/tarn\t127.0.0.1\t70\t+\r\n+VIEWS:\r\n");
    for (int i = 0; i < 1000; ++i)
        many += " x-unknown/v" + QByteArray::number(i) + " Xx_YY: <1k>\r\n";
    many += " text/plain: <3k>\r\n";
    for (int i = 0; i < 5000; ++i)
        many += " x-unknown/w" + QByteArray::number(i) + ": <1k>\r\n";
    many += ".\r\n";
    // Over the attribute limit: the item still opens in the view that was
    // read, and the exit status says part of the attributes was cut.
    QTest::newRow("thousands of views, cut at the limit")
        << many << QStringList() << QByteArray("/tarn\t+text/plain\r\n")
        << QByteArray("view: text/plain\n") << 1;
}

void tst_Dump::gopherPlusViews()
{
    QFETCH(QByteArray, attributes);
    QFETCH(QStringList, options);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, viewLine);
    auto server = TestServer::scripted(script({route("/tarn\t!", "+-1\r\n" + attributes),
                                              route("/tarn\t+text/plain En_US", "+-1\r\nHello\r\n.\r\n"),
                                              route("/tarn\t+text/plain De_DE", "+-1\r\nHallo\r\n.\r\n"),
                                              route("/tarn\t+text/plain", "+-1\r\nPlain\r\n.\r\n"),
                                              route("/tarn\t+application/pdf", "+3\r\nPDF")}));
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    const DumpResult result = dump(options << QStringLiteral("--dump")
                                           << url(*server, QStringLiteral("/0/tarn%09+")));
    QVERIFY(result.finished);
    QTEST(result.exitCode, "exitCode");
    QVERIFY2(result.err.contains(viewLine), result.err.constData());
    if (attributes.size() > 32766)
        QVERIFY2(result.err.endsWith("tarnwick: the attributes were cut at 32,766 bytes\n"),
                 result.err.constData());
    QList<QByteArray> expected{"/tarn\t!\r\n"};
    if (!request.isEmpty())
        expected.append(request);
    QCOMPARE(server->requests(), expected);
}

void tst_Dump::attributeInfo()
{
    auto server = TestServer::scripted(script({route("/tarn\t!", "+-2\r\n" + ThreeViews)}));
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    const DumpResult result = dump({QStringLiteral("--info"), QStringLiteral("--dump"),
                                    url(*server, QStringLiteral("/0/tarn"))});
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, ThreeViews);
    // Only the attributes: the item itself is not fetched.
    QCOMPARE(server->requests(), QList<QByteArray>{"/tarn\t!\r\n"});
}

void tst_Dump::pygopherdLanguageViews_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("view");

    QTest::newRow("by rank") << QStringList() << QByteArray("text/plain En_US");
    QTest::newRow("--view with a language")
        << QStringList{QStringLiteral("--view"), QStringLiteral("text/plain Fr_FR")}
        << QByteArray("text/plain Fr_FR");
}

void tst_Dump::pygopherdLanguageViews()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, view);
    // pygopherd sends a "NAME.views" file as the item's +VIEWS block (and
    // the same text whichever view is asked for).
    QTemporaryDir tree;
    QVERIFY(tree.isValid());
    QVERIFY2(TestServer::writeServedTree(
                 tree.path(), {{QStringLiteral("notes.txt"), QByteArray("Tarn\n")},
                               {QStringLiteral("notes.txt.views"),
                                QByteArray("text/plain En_US: <1k>\ntext/plain Fr_FR: <2k>\n")}}),
             qPrintable(TestServer::lastError()));
    auto server = TestServer::pygopherd(tree.path());
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    const DumpResult result = dump(options << QStringLiteral("--dump")
                                           << url(*server, QStringLiteral("/0/notes.txt%09+")));
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QByteArray("Tarn\n"));
    QVERIFY2(result.err.contains(QByteArray("\nview: " + view + "\n")), result.err.constData());
}

void tst_Dump::askForm_data()
{
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("sent"); // the data block after the request line
    QTest::addColumn<QByteArray>("out");  // after the form's lines
    QTest::addColumn<QByteArray>("errEnd");

    const QByteArray upload("\0\x01\xff binary\r\n", 12);
    const QByteArray answers = "Ann\r\n2\r\nx\r\ny\r\n1\r\n\r\n";
    QTest::newRow("the form alone") << QStringList() << 0 << QByteArray() << QByteArray()
                                    << QByteArray("status: Found 6 ask items\n");
    QTest::newRow("every question answered, a binary file uploaded")
        << QStringList{QStringLiteral("Ann"), QStringLiteral("x\ny"), QStringLiteral("1"),
                       QString(), QStringLiteral("@upload")}
        << 0 << '+' + QByteArray::number(answers.size() + upload.size()) + "\r\n" + answers + upload
        << QByteArray("Thank you\n\n") << QByteArray("status: Received 2 lines ... done\n");
    QTest::newRow("too few answers") << QStringList{QStringLiteral("Ann")} << 2 << QByteArray()
                                     << QByteArray()
                                     << QByteArray("tarnwick: the form asks 5 questions; 1 answers given\n");
    QTest::newRow("an answer that is no choice")
        << QStringList{QStringLiteral("Ann"), QStringLiteral("x"), QStringLiteral("1"),
                       QStringLiteral("green"), QStringLiteral("@upload")}
        << 2 << QByteArray() << QByteArray()
        << QByteArray("tarnwick: 'green' is not one of the choices of 'Colour'\n");
}

void tst_Dump::askForm()
{
    QFETCH(QStringList, answers);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, errEnd);

    const QString uploadPath = m_home->filePath(QStringLiteral("upload.bin"));
    QFile file(uploadPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("\0\x01\xff binary\r\n", 12));
    file.close();

    const QByteArray ask("+-1\r\n+INFO: 0Form\t/form\t127.0.0.1\t70\t?\r\n+ASK:\r\n"
                         " Note: Tell us\r\n Note: about you\r\n Ask: Name\tJo\tSmith\r\n"
                         " AskL: Lines\r\n Select: Tea:\t1\r\n Choose: Colour\tred\t\tblue\r\n"
                         " ChooseF: Upload\r\n.\r\n");
    QJsonArray routes{route("/form\t!", ask)};
    routes.append(QJsonObject{
        {QStringLiteral("match"), QStringLiteral("/form\t+\t1")},
        {QStringLiteral("steps"),
         QJsonArray{QJsonObject{{QStringLiteral("read_data_block"), true}},
                    QJsonObject{{QStringLiteral("send"),
                                 QStringLiteral("+-1\r\nThank you\r\n.\r\n")}}}}});
    auto server = TestServer::scripted(script(routes));
    QVERIFY2(server, qPrintable(TestServer::lastError()));

    QStringList arguments{QStringLiteral("--dump"), url(*server, QStringLiteral("/0/form%09%2B"))};
    for (const QString &answer : answers) {
        arguments << QStringLiteral("--answer")
                  << (answer == QLatin1String("@upload") ? uploadPath : answer);
    }
    const DumpResult result = dump(arguments);
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, exitCode);
    const QByteArray form("ask\tnote\tTell us\t\n"
                          "ask\tnote\tabout you\t\n"
                          "ask\task\tName\tJo\\tSmith\n"
                          "ask\taskl\tLines\t\n"
                          "ask\tselect\tTea\t1\n"
                          "ask\tchoose\tColour\tred\t\tblue\n"
                          "ask\tchoosef\tUpload\t\n");
    QCOMPARE(result.out, form + out);
    QVERIFY2(result.err.endsWith(errEnd), result.err.constData());
    if (sent.isEmpty()) {
        QCOMPARE(server->requests().size(), 1);
    } else {
        QCOMPARE(server->requests().size(), 2);
        QTRY_COMPARE(server->received().value(1), "/form\t+\t1\r\n" + sent);
    }
}
