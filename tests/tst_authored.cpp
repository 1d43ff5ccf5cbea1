// Menus as their authors lay them out, links to other protocols ("URL:"
// selectors) and redundant servers ("+" lines of a plain menu).

#include "app/tarnwickapp.h"
#include "documents/gopherdir.h"
#include "documents/userinterface.h"
#include "net/transactionengine.h"
#include "tests/support/loopbackpeer.h"
#include "tests/support/ports.h"
#include "ui/views/gopherdirview.h"
#include "ui/views/gtreeview.h"

#include <QFile>
#include <QFontDatabase>
#include <QPointer>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

using Server = CBookmark::RedundantServer;

QByteArray line(char type, const QByteArray &title, const QByteArray &selector = {},
                const QByteArray &host = QByteArray("gopher.example.org"), int port = 70)
{
    return type + title + '\t' + selector + '\t' + host + '\t' + QByteArray::number(port) + "\r\n";
}

QByteArray info(const QByteArray &text)
{
    return line('i', text, {}, "null.host", 1);
}

// A page as gopherholes are written today: a banner, headings with their
// directories under them, a link to the web.
const QByteArray Page = info("  +--------+") + info("  | TARN   |") + info("  +--------+")
                        + info("Reading") + line('1', "Field notes", "/notes")
                        + line('0', "About", "/about.txt") + info("Elsewhere")
                        + line('h', "The web", "URL:https://example.org/") + line('1', "Maps", "/maps")
                        + ".\r\n";

QList<QByteArray> titles(const CGopherDir &dir)
{
    QList<QByteArray> list;
    for (int i = 0; i < dir.listCount(); ++i)
        list.append(dir.listItem(i).title);
    return list;
}

// A directory document without a network: replies are fed by hand.
struct DirFixture
{
    explicit DirFixture(const QString &settings)
    {
        app.setSettingsPath(settings);
        app.engine().setOffline(true);
        (void)doc->Fetch(CBookmark('1', "Top", QByteArray(), QByteArray("gopher.example.org"), 70));
    }
    void feed(const QByteArray &bytes)
    {
        bool done = false;
        doc->OnData(bytes, done);
    }

    RecordingUserInterface ui;
    CTarnwickApp app{ui};
    std::unique_ptr<CGopherDir> doc = std::make_unique<CGopherDir>(app.context());
};

} // namespace

Q_DECLARE_METATYPE(CBookmark::RedundantServer)

class tst_Authored : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void listOrder_data();
    void listOrder();
    void switchIsSavedAndReachesOpenDirectories();
    void reloadKeepsDirectoriesInOrder();
    void copyAndFindFollowTheList();
    void infoLinesInFixedPitchFace();
    void directoryRowOpensLikeTheNavigator();

    void redundantServersInOrder_data();
    void redundantServersInOrder();

    void linkHandOff_data();
    void linkHandOff();
    void gopherLinkOpensHere();

private:
    QString settingsPath() const { return m_dir->filePath(QStringLiteral("tarnwick.ini")); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_Authored::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_Authored::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

// ---- Menus as authored ----

void tst_Authored::listOrder_data()
{
    QTest::addColumn<QByteArray>("menu");
    QTest::addColumn<QList<QByteArray>>("plain");
    QTest::addColumn<QList<QByteArray>>("authored");  // the same as plain when empty
    QTest::addColumn<QList<Server>>("servers");        // of the first row, laid out as authored
    QTest::addColumn<QByteArray>("notes");             // of the first row

    QTest::newRow("a page: directories stand under their headings")
        << Page
        << QList<QByteArray>{"  +--------+", "  | TARN   |", "  +--------+", "Reading", "About",
                             "Elsewhere", "The web"}
        << QList<QByteArray>{"  +--------+", "  | TARN   |", "  +--------+", "Reading",
                             "Field notes", "About", "Elsewhere", "The web", "Maps"}
        << QList<Server>{} << QByteArray();
    QTest::newRow("Gopher+ blocks keep their order in both")
        << QByteArray("+INFO: " + line('0', "One", "/1", "h", 70) + "+ADMIN:\r\n Admin: x\r\n"
                      "+INFO: " + line('1', "Two", "/2", "h", 70) + ".\r\n")
        << QList<QByteArray>{"One", "Two"} << QList<QByteArray>{} << QList<Server>{} << QByteArray();
    QTest::newRow("directories only")
        << line('1', "A", "/a") + line('1', "B", "/b") + ".\r\n" << QList<QByteArray>{}
        << QList<QByteArray>{"A", "B"} << QList<Server>{} << QByteArray();

    // Redundant servers: "+" lines of a plain menu name more servers for the item above.
    QTest::newRow("two servers for the item above, in order")
        << line('0', "Notes", "/n", "down.example") + line('+', "", "/n", "mirror.example", 7070)
               + line('+', "", "", "third.example") + line('0', "Next", "/x") + ".\r\n"
        << QList<QByteArray>{"Notes", "Next"} << QList<QByteArray>{}
        << QList<Server>{{"mirror.example", 7070, "/n\r\n"}, {"third.example", 70, ""}}
        << QByteArray("Redundant server=mirror.example:7070\r\nRedundant server=third.example:70\r\n");
    QTest::newRow("a line without a port or host names no server")
        << line('0', "Notes", "/n") + line('+', "", "/n", "mirror.example", 0)
               + QByteArray("+\t/n\r\n") + ".\r\n"
        << QList<QByteArray>{"Notes"} << QList<QByteArray>{} << QList<Server>{} << QByteArray();
    QTest::newRow("a line before any item is dropped")
        << line('+', "", "/n", "mirror.example") + line('0', "Notes", "/n") + ".\r\n"
        << QList<QByteArray>{"Notes"} << QList<QByteArray>{} << QList<Server>{} << QByteArray();
    QTest::newRow("Gopher+ attribute lines are no servers")
        << QByteArray("+INFO: " + line('0', "One", "/1", "h", 70)
                      + "+VIEWS:\r\n text/plain: <1k>\r\n.\r\n")
        << QList<QByteArray>{"One"} << QList<QByteArray>{} << QList<Server>{} << QByteArray();
    QTest::newRow("a link shows its address")
        << line('h', "Web", "URL:https://example.org/x") + ".\r\n" << QList<QByteArray>{"Web"}
        << QList<QByteArray>{} << QList<Server>{} << QByteArray("Address=https://example.org/x\r\n");
}

void tst_Authored::listOrder()
{
    QFETCH(QByteArray, menu);
    QFETCH(QList<QByteArray>, plain);
    QFETCH(QList<QByteArray>, authored);
    if (authored.isEmpty())
        authored = plain;

    DirFixture f(settingsPath());
    f.feed(menu);
    QCOMPARE(titles(*f.doc), plain);
    f.doc->setAuthored(true);
    QCOMPARE(titles(*f.doc), authored);
    QTEST(f.doc->listItem(0).redundantServers, "servers");
    QTEST(f.doc->listItem(0).GetNotesText(), "notes");
    // The navigator holds the directories either way.
    for (int row = 0; row < f.doc->listCount(); ++row) {
        const int node = f.doc->navigatorIndexOfRow(row);
        if (node >= 0)
            QCOMPARE(f.doc->navigatorItem(node).title, f.doc->listItem(row).title);
    }
    f.doc->setAuthored(false);
    QCOMPARE(titles(*f.doc), plain);
}

void tst_Authored::switchIsSavedAndReachesOpenDirectories()
{
    DirFixture f(settingsPath());
    f.feed(Page);
    QVERIFY(!f.doc->isAuthored());
    // "About" is chosen; it stays chosen in the other layout.
    f.doc->selectRow(4);
    QCOMPARE(f.doc->GetItem().title, QByteArray("About"));
    QSignalSpy hints(f.doc.get(), &CTarnwickDoc::updateAllViews);

    f.app.setMenuAsAuthored(true);
    QVERIFY(f.doc->isAuthored());
    QCOMPARE(hints.size(), 2);
    QCOMPARE(hints.at(0).at(0).toInt(), CGopherDir::ListHint | CGopherDir::LayoutHint);
    QCOMPARE(hints.at(1).at(0).toInt(), CGopherDir::ListHint | CGopherDir::SelectHint);
    QCOMPARE(hints.at(1).at(1).toInt(), 5);

    QFile file(settingsPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("Menu as Authored=1"));
    // A directory opened later starts in the saved layout.
    CTarnwickApp again(f.ui);
    again.setSettingsPath(settingsPath());
    QVERIFY(again.menuAsAuthored());
    CGopherDir later(again.context());
    QVERIFY(later.isAuthored());
}

void tst_Authored::reloadKeepsDirectoriesInOrder()
{
    DirFixture f(settingsPath());
    f.doc->setAuthored(true);
    f.feed(Page);
    f.doc->OnReload();
    f.feed(Page);
    // The navigator is not given the directories twice, the list shows them
    // all the same, and they still open their navigator nodes.
    QCOMPARE(f.doc->navigatorCount(), 2);
    QCOMPARE(f.doc->listCount(), 9);
    QCOMPARE(f.doc->listItem(8).title, QByteArray("Maps"));
    QCOMPARE(f.doc->navigatorIndexOfRow(4), 0);
    QCOMPARE(f.doc->navigatorIndexOfRow(8), 1);
    QCOMPARE(f.doc->navigatorIndexOfRow(5), -1);
}

void tst_Authored::copyAndFindFollowTheList()
{
    DirFixture f(settingsPath());
    f.feed(Page);
    f.doc->setAuthored(true);
    f.doc->OnEditCopy();
    QCOMPARE(f.ui.clipboard, QByteArray("  +--------+\n  | TARN   |\n  +--------+\nReading\nField notes\n"
                                        "About\nElsewhere\nThe web <https://example.org/>\nMaps\n"));

    QSignalSpy hints(f.doc.get(), &CTarnwickDoc::updateAllViews);
    f.doc->setFindPosition(0);
    f.doc->FindText("maps", true, false, false);
    QCOMPARE(hints.size(), 1);
    QCOMPARE(hints.at(0).at(1).toInt(), 8);
    QVERIFY(f.ui.messages.isEmpty());
}

void tst_Authored::infoLinesInFixedPitchFace()
{
    DirFixture f(settingsPath());
    f.feed(Page);
    CGopherDirView view(f.doc.get(), nullptr, nullptr, nullptr);
    QFont dirFont(QStringLiteral("Sans Serif"));
    dirFont.setPointSizeF(13);
    view.setFont(dirFont);
    f.app.setMenuAsAuthored(true);

    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QFont banner = view.rowFont(1);
    QCOMPARE(banner.family(), fixed.family());
    QCOMPARE(banner.pointSizeF(), 13.0);
    QVERIFY(view.isPageLine(1));
    QCOMPARE(view.model()->index(1, 0).data(Qt::FontRole).value<QFont>(), banner);
    // Leading blanks are kept.
    QCOMPARE(view.model()->index(1, 0).data().toString(), QStringLiteral("  | TARN   |"));
    // Items keep the directory font; in the other layout info lines do too.
    QCOMPARE(view.rowFont(5), view.font());
    QCOMPARE(view.model()->rowCount(), 9);
    f.app.setMenuAsAuthored(false);
    QCOMPARE(view.model()->rowCount(), 7);
    QCOMPARE(view.rowFont(1), view.font());
    QVERIFY(!view.isPageLine(1));
}

void tst_Authored::directoryRowOpensLikeTheNavigator()
{
    DirFixture f(settingsPath());
    CGTreeView tree(f.doc.get(), nullptr, nullptr);
    CGopherDirView view(f.doc.get(), &f.app, nullptr, nullptr);
    f.feed(Page);
    f.app.setMenuAsAuthored(true);
    QSignalSpy opened(&f.app, &CTarnwickApp::documentOpened);

    view.selectRow(8);
    view.fetchSelected();
    // Fetched into the same window, its node chosen in the navigator.
    QCOMPARE(opened.size(), 0);
    QCOMPARE(f.doc->item().title, QByteArray("Maps"));
    QCOMPARE(f.doc->item().selector, QByteArray("/maps\r\n"));
    QVERIFY(tree.currentItem());
    QCOMPARE(tree.currentItem()->data(0, CGTreeView::NavigatorIndexRole).toInt(), 1);
    QCOMPARE(f.doc->listCount(), 0);
}

// ---- Redundant servers ----

void tst_Authored::redundantServersInOrder_data()
{
    QTest::addColumn<int>("refusedMirrors");
    QTest::addColumn<bool>("answers");

    QTest::newRow("the second mirror answers") << 1 << true;
    QTest::newRow("the first mirror answers") << 0 << true;
    QTest::newRow("every server refuses") << 1 << false;
}

void tst_Authored::redundantServersInOrder()
{
    QFETCH(int, refusedMirrors);
    QFETCH(bool, answers);

    LoopbackPeer peer;
    QVERIFY(peer.isListening());
    peer.route("/menu", line('0', "Inside", "/in") + ".\r\n");
    TestPorts::RefusingPort primary;
    TestPorts::RefusingPort mirror;
    QVERIFY(primary.port() && mirror.port());

    RecordingUserInterface ui;
    CTarnwickApp app(ui);
    app.setSettingsPath(settingsPath());
    app.registerDefaultTemplates();
    CBookmark item('1', "Menu", "/menu", "127.0.0.1", primary.port());
    QList<quint16> ports;
    for (int i = 0; i < refusedMirrors; ++i)
        ports.append(mirror.port());
    if (answers)
        ports.append(peer.port());
    for (const quint16 port : ports)
        item.redundantServers.append({"127.0.0.1", port, {}});

    QPointer<CTarnwickDoc> doc = app.OpenItem(item, 0, 0);
    auto *dir = qobject_cast<CGopherDir *>(doc.data());
    QVERIFY(dir);
    QSignalSpy ended(doc.data(), &CTarnwickDoc::transferEnded);
    QTRY_COMPARE(ended.size(), 1);

    // Each server is named as it is tried, in order.
    QList<QByteArray> tried;
    for (const QByteArray &status : std::as_const(ui.mainStatus)) {
        if (status.startsWith("Trying "))
            tried.append(status);
    }
    QList<QByteArray> expected;
    for (const quint16 port : ports)
        expected.append("Trying the redundant server 127.0.0.1:" + QByteArray::number(port) + " ...");
    QCOMPARE(tried, expected);
    // The window stays the item's own.
    QCOMPARE(doc->windowKey(), item.GetURL());
    if (answers) {
        QCOMPARE(ended.at(0).at(0).toInt(), 0);
        QCOMPARE(titles(*dir), QList<QByteArray>{"Inside"});
        QCOMPARE(peer.requests, QList<QByteArray>{"/menu\r\n"});
        QCOMPARE(ui.mainStatus.last(), "Received 1 menu items ... done (from the redundant server "
                                       "127.0.0.1:" + QByteArray::number(peer.port()) + ")");
        QVERIFY(ui.messages.isEmpty());
    } else {
        // The failure is told once, for the last server tried.
        QCOMPARE(ended.at(0).at(0).toInt(), 10061);
        QCOMPARE(ui.messages.size(), 1);
        QCOMPARE(ui.messages.at(0).text,
                 QByteArray("Connect error to host\n127.0.0.1\n[10061] Connection refused"));
    }
}

// ---- Links to other protocols ----

void tst_Authored::linkHandOff_data()
{
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("asked");   // else told it is not opened
    QTest::addColumn<QByteArray>("shown"); // the address as shown and handed on, when not the same

    const int yes = UserInterface::AnswerYes;
    QTest::newRow("web address, yes") << QByteArray("https://example.org/a") << yes << true << QByteArray();
    QTest::newRow("answered no") << QByteArray("https://example.org/a")
                                 << int(UserInterface::AnswerNo) << true << QByteArray();
    QTest::newRow("shell characters stay one argument")
        << QByteArray("http://x.example/$(rm -rf ~);`id`|'a' \"b\" c&d") << yes << true << QByteArray();
    QTest::newRow("a mail address, scheme in capitals")
        << QByteArray("MAILTO:ed@example.org") << yes << true << QByteArray();
    QTest::newRow("a line end ends the address")
        << QByteArray("http://x.example/\nrm -rf /") << yes << true << QByteArray("http://x.example/");
    QTest::newRow("a control character is never handed on")
        << QByteArray("http://x.example/\x1b[2J") << yes << false << QByteArray();
    QTest::newRow("an option is never handed on")
        << QByteArray("--help=http://x.example/") << yes << false << QByteArray();
    QTest::newRow("other schemes are shown") << QByteArray("file:///etc/passwd") << yes << false
                                             << QByteArray();
    // Mail programs attach the files such fields name, however spelled.
    QTest::newRow("a mail address loses the fields that name files")
        << QByteArray("mailto:ed@example.org?subject=Hi%20there&attach=/etc/passwd"
                      "&%41ttachment=~/.ssh/id_rsa&X-Attach=a&Body=x%26y&cc=al@example.org")
        << yes << true << QByteArray("mailto:ed@example.org?subject=Hi%20there&Body=x%26y&cc=al@example.org");
    QTest::newRow("a mail address of file fields only")
        << QByteArray("mailto:ed@example.org?attach=/etc/passwd#top") << yes << true
        << QByteArray("mailto:ed@example.org#top");
    QTest::newRow("not answered: the default is No")
        << QByteArray("https://example.org/a") << -1 << true << QByteArray();
}

void tst_Authored::linkHandOff()
{
    QFETCH(QByteArray, address);
    QFETCH(int, answer);
    QFETCH(bool, asked);
    QFETCH(QByteArray, shown);
    if (shown.isEmpty())
        shown = address;

    RecordingUserInterface ui;
    if (answer >= 0)
        ui.answers.append(answer);
    CTarnwickApp app(ui);
    app.setSettingsPath(settingsPath());
    app.registerDefaultTemplates();
    QList<QStringList> runs;
    app.setLauncher([&runs](const QStringList &arguments) {
        runs.append(arguments);
        return 33;
    });
    CBookmark item('h', "Link", "URL:" + address, "gopher.example.org", 70);
    QCOMPARE(app.OpenItem(item, 0, 0), nullptr);

    QCOMPARE(ui.messages.size(), 1);
    const RecordingUserInterface::Message &box = ui.messages.at(0);
    if (asked) {
        QCOMPARE(box.text, "This item links to\n" + shown + "\nOpen it in your browser?");
        QCOMPARE(box.icon, UserInterface::Question);
        QCOMPARE(box.buttons, UserInterface::YesNoDefaultNo);
    } else {
        QCOMPARE(box.text, "This item links to\n" + shown
                               + "\nTarnwick does not open links of this kind.");
    }
    // What is shown is handed to the desktop as one argument, once agreed to.
    QList<QStringList> launched;
    if (asked && answer == UserInterface::AnswerYes)
        launched.append({QStringLiteral("xdg-open"), QString::fromUtf8(shown)});
    QCOMPARE(runs, launched);
    QCOMPARE(app.engine().registry().documentCount(), 0);
}

void tst_Authored::gopherLinkOpensHere()
{
    RecordingUserInterface ui;
    CTarnwickApp app(ui);
    app.setSettingsPath(settingsPath());
    app.registerDefaultTemplates();
    app.engine().setOffline(true);
    int launches = 0;
    app.setLauncher([&launches](const QStringList &) { return ++launches, 33; });
    QList<QPointer<CTarnwickDoc>> opened;
    connect(&app, &CTarnwickApp::documentOpened, this,
            [&opened](CTarnwickDoc *doc) { opened.append(doc); });

    app.OpenItem(CBookmark('h', "Here", "URL:gopher://other.example:7070/0/a%20b", "h", 70), 0, 0);
    QCOMPARE(opened.size(), 1);
    QVERIFY(opened.at(0));
    const CBookmark &item = opened.at(0)->item();
    QCOMPARE(item.host, QByteArray("other.example"));
    QCOMPARE(item.port, quint16(7070));
    QCOMPARE(item.type, '0');
    QCOMPARE(item.selector, QByteArray("/a b\r\n"));
    QCOMPARE(item.title, QByteArray("Here"));
    // A link to a link is not followed.
    app.OpenItem(CBookmark('h', "Loop", "URL:gopher://h/hURL:gopher://h/1", "h", 70), 0, 0);
    QCOMPARE(opened.size(), 1);
    QCOMPARE(ui.messages.size(), 1);
    QCOMPARE(launches, 0);
}

QTEST_MAIN(tst_Authored)
#include "tst_authored.moc"
