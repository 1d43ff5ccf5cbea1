#include "app/sessionfile.h"
#include "app/tarnwickapp.h"
#include "documents/boolsearch.h"
#include "documents/gopherdir.h"
#include "documents/gophertextdoc.h"
#include "documents/historystore.h"
#include "documents/replycache.h"
#include "documents/userinterface.h"
#include "settings/userdatafiles.h"
#include "tests/support/servedtree.h"
#include "tests/support/settingsfile.h"
#include "tests/support/testservers.h"

#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(HistoryEntry)

// Where the user has been, without windows: the history file, visits, replies
// shown again from memory, and the session file.
class tst_History : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup() { m_app.reset(), m_ui.reset(), m_dir.reset(); }

    void linesReadBackAsWritten_data();
    void linesReadBackAsWritten();
    void damagedLinesAreSkipped_data();
    void damagedLinesAreSkipped();
    void oldestGoBeyondTheCapacity();
    void deletingKeepsWhatAnotherCopyAdded();
    void findMatchesTitlesAndUrls_data();
    void findMatchesTitlesAndUrls();
    void openingRecords_data();
    void openingRecords();
    void anUnwritableHistoryIsSaidOnce();
    void repliesShownAgainFromMemory_data();
    void repliesShownAgainFromMemory();
    void memoryStaysWithinItsBound();
    void sessionLinesReadBack_data();
    void sessionLinesReadBack();
    void filesFollowTheXdgDirectories_data();
    void filesFollowTheXdgDirectories();

private:
    CTarnwickDoc *openAndWait(const QByteArray &url, const QByteArray &title = "A title");
    QString path(const char *name) const { return m_dir->filePath(QString::fromLatin1(name)); }

    ServedTree m_tree;
    std::unique_ptr<QTemporaryDir> m_dir;
    SettingsFile m_ini;
    std::unique_ptr<RecordingUserInterface> m_ui;
    std::unique_ptr<CTarnwickApp> m_app;
};

namespace {

HistoryEntry entry(qint64 time, const QByteArray &title, const QByteArray &url = "gopher://h/1/",
                   char type = '1')
{
    return {time, type, title, url};
}

// The titles a fresh read of the file finds, oldest first.
QByteArrayList titlesIn(const QString &path)
{
    QByteArrayList titles;
    HistoryStore store(path);
    for (const HistoryEntry &e : store.entries())
        titles.append(e.title);
    return titles;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int shownLines(CTarnwickDoc *doc)
{
    if (auto *dir = qobject_cast<CGopherDir *>(doc))
        return dir->listCount();
    return qobject_cast<CGopherTextDoc *>(doc)->store().GetLineCount();
}

} // namespace

void tst_History::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY2(m_tree.start(), qPrintable(TestServer::lastError()));
}

void tst_History::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_ini.setPath(path("tarnwick.ini"));
    m_ini.put("[Options]\n");
    m_ui = std::make_unique<RecordingUserInterface>();
    m_app = std::make_unique<CTarnwickApp>(*m_ui);
    m_app->setSettingsPath(m_ini.path());
    m_app->registerDefaultTemplates();
    m_app->keepHistoryIn(path("data/tarnwick/history"));
}

CTarnwickDoc *tst_History::openAndWait(const QByteArray &url, const QByteArray &title)
{
    CBookmark item;
    item.ParseURL(url);
    item.title = title;
    QPointer<CTarnwickDoc> doc = m_app->OpenItem(item, 0, 0);
    QSignalSpy ended(doc.data(), &CTarnwickDoc::transferEnded);
    return doc && (doc->isDone() || ended.wait(10000)) ? doc.data() : nullptr;
}

void tst_History::linesReadBackAsWritten_data()
{
    QTest::addColumn<HistoryEntry>("written");
    QTest::newRow("line ends, TAB and backslash in the title")
        << entry(1700000000, "a\tb\nc\r\\d\\t", "gopher://h:7070/0/x%09y", '0');
    QTest::newRow("UTF-8 title") << entry(2, "Озеро — tarn");
    QTest::newRow("empty title, IPv6") << entry(3, "", "gopher://[::1]:70/7/find");
    QTest::newRow("over TLS") << entry(5, "Secure", "gophers://h:7443/1/");
    QTest::newRow("TAB as the type") << entry(4, "odd", "gopher://h/1/", '\t');
}

void tst_History::linesReadBackAsWritten()
{
    QFETCH(HistoryEntry, written);
    const QByteArray line = HistoryStore::format(written);
    QVERIFY(line.endsWith('\n'));
    QCOMPARE(line.count('\n'), 1);
    QCOMPARE(line.count('\t'), 3);
    HistoryEntry read;
    QVERIFY(HistoryStore::parse(line, &read));
    QCOMPARE(read, written);
}

void tst_History::damagedLinesAreSkipped_data()
{
    QTest::addColumn<QByteArray>("file"); // reads back as "good", then "later"
    const QByteArray good = "5\t1\tgopher://h/1/\tgood\n";
    QTest::newRow("a last line cut by a kill") << good + "6\t1\tgopher://h/1/\tcut";
    QTest::newRow("an unknown escape") << "7\t1\tgopher://h/1/\tbad\\x\n" + good;
    QTest::newRow("too few fields") << "8\t1\tgopher://h/1/\n" + good;
    QTest::newRow("too many fields") << "8\t1\tgopher://h/1/\ta\tb\n" + good;
    QTest::newRow("not a gopher URL") << "9\t1\thttp://h/\tweb\n" + good;
    QTest::newRow("a time that is no number") << "soon\t1\tgopher://h/1/\tx\n" + good;
    QTest::newRow("a type of two bytes") << "9\t01\tgopher://h/1/\tx\n" + good;
}

void tst_History::damagedLinesAreSkipped()
{
    QFETCH(QByteArray, file);
    SettingsFile raw;
    raw.setPath(path("history"));
    raw.put(file);
    // A visit after a line cut short starts a line of its own.
    QVERIFY(HistoryStore(raw.path()).add(entry(10, "later")));
    QCOMPARE(titlesIn(raw.path()), (QByteArrayList{"good", "later"}));
}

void tst_History::oldestGoBeyondTheCapacity()
{
    HistoryStore store(path("history"));
    store.setCapacity(8);
    // Up to a quarter more is appended; the next one rewrites the file.
    for (int i = 1; i <= 10; ++i)
        QVERIFY(store.add(entry(i, QByteArray::number(i))));
    QCOMPARE(fileBytes(store.path()).count('\n'), 10);
    QVERIFY(store.add(entry(11, "11")));
    QCOMPARE(fileBytes(store.path()).count('\n'), 8);
    const QByteArrayList titles = titlesIn(store.path());
    QCOMPARE(titles.front(), QByteArray("4"));
    QCOMPARE(titles.back(), QByteArray("11"));
    QCOMPARE(QFile::permissions(store.path()) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
}

void tst_History::deletingKeepsWhatAnotherCopyAdded()
{
    HistoryStore mine(path("history"));
    QVERIFY(mine.add(entry(1, "one")));
    QVERIFY(mine.add(entry(2, "two")));
    // A second running copy (another configuration) appends meanwhile.
    QVERIFY(HistoryStore(mine.path()).add(entry(3, "three")));
    QVERIFY(mine.remove({entry(1, "one")}));
    QCOMPARE(titlesIn(mine.path()), (QByteArrayList{"two", "three"}));
    QCOMPARE(mine.entries().size(), size_t(2));
    QVERIFY(mine.clear());
    QCOMPARE(fileBytes(mine.path()), QByteArray());
    QVERIFY(mine.entries().empty());
}

void tst_History::findMatchesTitlesAndUrls_data()
{
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<QByteArrayList>("found"); // newest first
    QTest::newRow("a word of a title, any case") << QByteArray("heron") << QByteArrayList{"Herons"};
    QTest::newRow("a word of a URL") << QByteArray("notes.txt") << QByteArrayList{"Notes"};
    QTest::newRow("OR") << QByteArray("heron OR notes") << QByteArrayList{"Notes", "Herons"};
    QTest::newRow("NOT") << QByteArray("tarn NOT heron") << QByteArrayList{"Notes", "Tarn menu"};
    QTest::newRow("beyond ASCII") << QByteArray("Озеро") << QByteArrayList{"Озеро"};
    QTest::newRow("ADJ") << QByteArray("tarn ADJ menu") << QByteArrayList{"Tarn menu"};
    QTest::newRow("nothing") << QByteArray("kestrel") << QByteArrayList{};
}

void tst_History::findMatchesTitlesAndUrls()
{
    QFETCH(QByteArray, pattern);
    QFETCH(QByteArrayList, found);
    HistoryStore store(path("history"));
    QVERIFY(store.add(entry(1, "Tarn menu", "gopher://tarn.example/1/")));
    QVERIFY(store.add(entry(2, "Herons", "gopher://tarn.example/0/birds.txt", '0')));
    QVERIFY(store.add(entry(3, "Озеро", "gopher://lake.example/1/")));
    QVERIFY(store.add(entry(4, "Notes", "gopher://tarn.example/0/notes.txt", '0')));
    CBoolSearch search;
    search.SetEncoding(TextEncoding::Utf8);
    QVERIFY(search.SetPattern(pattern));
    QByteArrayList titles;
    for (const int i : store.find(search))
        titles.append(store.entries()[size_t(i)].title);
    QCOMPARE(titles, found);
}

void tst_History::openingRecords_data()
{
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<QByteArray>("options");
    QTest::addColumn<int>("opens");
    QTest::addColumn<QByteArray>("recorded"); // "TYPE URL|title", empty: nothing

    // URLs are recorded as the program writes them everywhere.
    const QByteArray base = m_tree.gophernicus().url().toUtf8();
    const QByteArray plus = m_tree.pygopherd().url().toUtf8();
    QTest::newRow("a menu") << base + "1/" << QByteArray() << 1 << "1 " + base + "1%2F|A title";
    QTest::newRow("a search's answer") << base + "1/find%09heron%20tarn" << QByteArray() << 1
                                       << "1 " + base + "1%2Ffind%09heron%20tarn|A title";
    QTest::newRow("an open window brought back") << base + "0/hello.txt" << QByteArray() << 2
                                                 << "0 " + base + "0%2Fhello.txt|A title";
    QTest::newRow("Remember History off") << base + "0/hello.txt"
                                          << QByteArray("Remember History=0\n") << 1 << QByteArray();
    // Its attributes come first; the item itself is what is recorded.
    QTest::newRow("a Gopher+ item") << plus + "0/hello.txt%09%2B" << QByteArray() << 1
                                    << "0 " + plus + "0%2Fhello.txt%09+|A title";
}

void tst_History::openingRecords()
{
    QFETCH(QByteArray, url);
    QFETCH(QByteArray, options);
    QFETCH(int, opens);
    QFETCH(QByteArray, recorded);
    m_ini.put("[Options]\n" + options);
    QVERIFY(openAndWait(url));
    // A second open brings the window back: no visit of its own.
    CBookmark item;
    item.ParseURL(url);
    for (int i = 1; i < opens; ++i)
        QVERIFY(!m_app->OpenItem(item, 0, 0));
    if (url.contains("%2B"))
        QTRY_VERIFY(m_app->windows().size() == 1 && m_app->windows().documents().front()->isDone());
    HistoryStore read(m_app->history()->path());
    QByteArrayList lines;
    for (const HistoryEntry &e : read.entries())
        lines.append(e.type + QByteArray(" ") + e.url + '|' + e.title);
    QCOMPARE(lines, recorded.isEmpty() ? QByteArrayList() : QByteArrayList{recorded});
    if (!recorded.isEmpty())
        QVERIFY(qAbs(read.entries().front().time - QDateTime::currentSecsSinceEpoch()) < 60);
}

void tst_History::anUnwritableHistoryIsSaidOnce()
{
    // A regular file where the directory should be, whoever runs the test.
    SettingsFile blocker;
    blocker.setPath(path("data"));
    blocker.put("not a directory");
    m_app->keepHistoryIn(path("data/history"));
    const QByteArray base = m_tree.gophernicus().url().toUtf8();
    QVERIFY(openAndWait(base + "0/hello.txt"));
    QVERIFY(openAndWait(base + "1/"));
    QCOMPARE(m_ui->messages.size(), 1);
    const QByteArray text = m_ui->messages.front().text;
    QVERIFY2(text.startsWith(QByteArray("Could not write the history file\n" + path("data/history").toUtf8() + "\n")),
             text.constData());
    QCOMPARE(m_app->windows().size(), 2); // the items opened all the same
}

void tst_History::repliesShownAgainFromMemory_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QString>("how");     // what happens before the second open
    QTest::addColumn<bool>("fromMemory"); // else the stopped server refuses

    QTest::newRow("a text") << QByteArray("0/notes.txt") << QString() << true;
    QTest::newRow("a menu") << QByteArray("1/") << QString() << true;
    QTest::newRow("Reload fetches") << QByteArray("0/notes.txt") << QStringLiteral("reload") << false;
    QTest::newRow("ten minutes later") << QByteArray("1/") << QStringLiteral("later") << false;
    QTest::newRow("a menu cut at its limit") << QByteArray("1/") << QStringLiteral("cut") << false;
    QTest::newRow("a text cut at its limit") << QByteArray("0/long.txt") << QStringLiteral("cut") << false;
    QTest::newRow("memory off") << QByteArray("0/notes.txt") << QStringLiteral("off") << false;
}

void tst_History::repliesShownAgainFromMemory()
{
    QFETCH(QByteArray, path);
    QFETCH(QString, how);
    QFETCH(bool, fromMemory);
    QTemporaryDir root;
    QByteArray notes, longText;
    for (int i = 0; i < 3000; ++i)
        notes += "Line " + QByteArray::number(i) + " of the notes on the tarn\n";
    if (path == "0/long.txt")
        longText = QByteArray("A line too many\n").repeated(CQTextDoc::MaxLines + 1);
    QVERIFY(TestServer::writeServedTree(root.path(), {{QStringLiteral("notes.txt"), notes},
                                                      {QStringLiteral("long.txt"), longText},
                                                      {QStringLiteral("a/x.txt"), "x\n"},
                                                      {QStringLiteral("b.txt"), "b\n"}}));
    auto server = TestServer::gophernicus(root.path());
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    qint64 now = 1000;
    m_app->replyCache().setClock([&now] { return now; });
    m_app->replyCache().setCapacity(how == u"off" ? 0 : ReplyCache::DefaultCapacity);
    const QByteArray url = server->url().toUtf8() + path;

    QPointer<CTarnwickDoc> first = openAndWait(url);
    QVERIFY(first);
    if (auto *dir = qobject_cast<CGopherDir *>(first.data()); dir && how == u"cut") {
        dir->setItemLimit(1);
        QSignalSpy ended(dir, &CTarnwickDoc::transferEnded);
        dir->OnReload();
        QVERIFY(ended.wait(10000));
        QVERIFY(dir->isCut());
    }
    if (auto *text = qobject_cast<CGopherTextDoc *>(first.data()); text && how == u"cut")
        QVERIFY(text->store().IsOverflow());
    QVERIFY(!first->isFromMemory());
    const QByteArray status = first->lastStatus();
    const int shown = shownLines(first);
    server->stop();

    if (how == u"reload") {
        QSignalSpy ended(first.data(), &CTarnwickDoc::transferEnded);
        first->OnReload();
        QVERIFY(ended.wait(10000));
        QVERIFY(!first->isFromMemory());
        QCOMPARE(first->endStatus(), 10061);
        return;
    }
    first->OnCloseDocument();
    QTRY_VERIFY(!first);
    if (how == u"later")
        now += ReplyCache::MaxAgeMs + 1;
    m_ui->messages.clear();

    QPointer<CTarnwickDoc> again = openAndWait(url);
    QVERIFY(again);
    QCOMPARE(again->isFromMemory(), fromMemory);
    if (!fromMemory) {
        QCOMPARE(again->endStatus(), 10061);
        return;
    }
    QCOMPARE(again->lastStatus(), status + " (from memory)");
    QCOMPARE(shownLines(again), shown);
    QVERIFY(m_ui->messages.isEmpty());
}

void tst_History::memoryStaysWithinItsBound()
{
    ReplyCache memory;
    qint64 now = 0;
    memory.setClock([&now] { return now; });
    memory.setCapacity(1000);
    for (const char *key : {"a", "b", "c", "d"})
        memory.store(key, QByteArray(200, 'r'));
    QVERIFY(memory.find("a")); // so "b" is the least recently used
    memory.store("e", QByteArray(200, 'r'));
    QVERIFY(memory.totalBytes() <= 1000);
    QVERIFY(!memory.find("b"));
    for (const char *key : {"a", "c", "d", "e"})
        QVERIFY2(memory.find(key), key);
    // Over a quarter of the whole is not kept, nor an older reply to the same request.
    memory.store("a", QByteArray(251, 'x'));
    QVERIFY(!memory.find("a"));
    // Requests differ by host, port, selector and TLS.
    CBookmark one('0', "t", "/x\r\n", "h", 70);
    CBookmark other('0', "t", "/x\r\n", "h", 71);
    CBookmark secure = one;
    secure.tls = true;
    QVERIFY(ReplyCache::keyOf(one) != ReplyCache::keyOf(other));
    QVERIFY(ReplyCache::keyOf(one) != ReplyCache::keyOf(secure));
    now += ReplyCache::MaxAgeMs + 1;
    QVERIFY(!memory.find("c"));
}

void tst_History::sessionLinesReadBack_data()
{
    QTest::addColumn<QByteArray>("extra"); // a line that must be skipped
    QTest::newRow("an unknown kind") << QByteArray("window\tdownload\tnormal\t0\t0,0,10,10\t0\tgopher://h/9/x\tx");
    QTest::newRow("an empty size") << QByteArray("window\ttext\tnormal\t0\t0,0,0,10\t0\tgopher://h/0/x\tx");
    QTest::newRow("an unknown state") << QByteArray("window\ttext\tbig\t0\t0,0,10,10\t0\tgopher://h/0/x\tx");
    QTest::newRow("a web address") << QByteArray("window\ttext\tnormal\t0\t0,0,10,10\t0\thttp://h/\tx");
    QTest::newRow("cut short") << QByteArray("window\ttext\tnormal\t0\t0,0,10,10\t0");
}

void tst_History::sessionLinesReadBack()
{
    QFETCH(QByteArray, extra);
    const SessionWindow home{"home", "gopher://[::1]:7070/1/", "Home\tof the \\tarn\n", QRect(-5, 10, 300, 200),
                             SessionWindow::State::Normal, false, 2};
    const SessionWindow text{"text", "gophers://h/0/notes.txt", {}, QRect(0, 0, 640, 480),
                             SessionWindow::State::Maximized, true, 0};
    const QString file = path("state/tarnwick/session");
    QVERIFY(SessionFile::write(file, {home, text}));
    QCOMPARE(SessionFile::read(file), (QList<SessionWindow>{home, text}));
    QCOMPARE(SessionFile::parse(QByteArray(fileBytes(file) + extra + '\n')), (QList<SessionWindow>{home, text}));
    QCOMPARE(SessionFile::read(path("none")), QList<SessionWindow>());
}

void tst_History::filesFollowTheXdgDirectories_data()
{
    QTest::addColumn<QString>("dataHome");
    QTest::addColumn<QString>("stateHome");
    QTest::addColumn<QString>("config");
    QTest::addColumn<QString>("history");
    QTest::addColumn<QString>("session");
    const QString homeData = QStringLiteral("/home/u/.local/share/tarnwick/history");
    const QString homeState = QStringLiteral("/home/u/.local/state/tarnwick/session");
    QTest::newRow("set") << "/x/data" << "/x/state" << QString() << "/x/data/tarnwick/history"
                         << "/x/state/tarnwick/session";
    QTest::newRow("unset") << QString() << QString() << QString() << homeData << homeState;
    QTest::newRow("relative, so ignored") << "data" << "state" << QString() << homeData << homeState;
    QTest::newRow("a configuration directory of its own")
        << "/x/data" << "/x/state" << "/etc/twk" << "/x/data/tarnwick/history-" << "/x/state/tarnwick/session-";
}

void tst_History::filesFollowTheXdgDirectories()
{
    QFETCH(QString, dataHome);
    QFETCH(QString, stateHome);
    QFETCH(QString, config);
    QFETCH(QString, history);
    QFETCH(QString, session);
    QProcessEnvironment env;
    env.insert(QStringLiteral("HOME"), QStringLiteral("/home/u"));
    if (!dataHome.isEmpty())
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    if (!stateHome.isEmpty())
        env.insert(QStringLiteral("XDG_STATE_HOME"), stateHome);
    QStandardPaths::setTestModeEnabled(false);
    const QString historyFile = UserDataFiles::historyFile(config, env);
    const QString sessionFile = UserDataFiles::sessionFile(config, env);
    const QString otherConfig = UserDataFiles::historyFile(QStringLiteral("/etc/other"), env);
    QStandardPaths::setTestModeEnabled(true);
    if (config.isEmpty()) {
        QCOMPARE(historyFile, history);
        QCOMPARE(sessionFile, session);
        return;
    }
    // Named after the directory: another directory, another file.
    QVERIFY2(historyFile.startsWith(history) && historyFile.size() == history.size() + 16, qPrintable(historyFile));
    QVERIFY2(sessionFile.startsWith(session) && sessionFile.size() == session.size() + 16, qPrintable(sessionFile));
    QVERIFY(historyFile != otherConfig);
    // Tests never reach a user's files.
    QVERIFY(UserDataFiles::historyFile(config, env).contains(QLatin1String("/.qttest/")));
}

QTEST_GUILESS_MAIN(tst_History)
#include "tst_history.moc"
