#include "app/tarnwickapp.h"
#include "documents/gopherdir.h"
#include "documents/gophertextdoc.h"
#include "documents/userinterface.h"
#include "documents/windowregistry.h"
#include "net/transactionengine.h"
#include "tests/support/testservers.h"

#include <QPointer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// Replies a server should never send, or sends cut in odd places, against the
// documents over a real socket: each case the bytes, how the server sends
// them (pieces sent apart, so that they tend to arrive in reads of their
// own), and whether it then keeps the connection open, closes or resets it.
// Whatever the reads look like, the document must end where the reply ends,
// keep what belongs to the item, and say how the transfer ended.

namespace {

enum End { Hold, Close, Reset, Endless };

struct HostileCase
{
    const char *name;
    char type;
    bool gopherPlus; // attributes not known yet: the "\t!" request comes first
    QList<QByteArray> pieces;
    End end;
    int itemLimit;  // directories: 0 keeps the program's limit
    int count;      // lines of a text; list and navigator items of a menu
    QList<QByteArray> first; // the first of them ("nav:" marks navigator items)
    QByteArray status;       // the last status line; empty when the window went away
    int endStatus;
    QList<QByteArray> messages;
};

QByteArray menuLine(char type, const QByteArray &title)
{
    return type + title + "\t/" + title + "\t127.0.0.1\t70\r\n";
}

QByteArray numberedLines(int count)
{
    QByteArray text;
    for (int i = 1; i <= count; ++i)
        text += "line " + QByteArray::number(i) + "\r\n";
    return text;
}

QByteArray serverErrorBox(const QByteArray &explanation, const QByteArray &serverText)
{
    return "Re: the item 'Hostile'\r\n" + explanation
           + "\r\nThe Gopher server '127.0.0.1'\r\nreturned the following text:\r\n\r\n"
           + serverText;
}

const QList<HostileCase> &hostileCases()
{
    static const QList<HostileCase> cases = [] {
        const QByteArray done(" ... done");
        const QByteArray ninetyNine = QByteArray("0123456789").repeated(9) + "abcdefg\r\n";
        const QByteArray longError = QByteArray(QByteArray(99, 'e') + '\n').repeated(1000);
        const QByteArray longErrorBody = "1 admin\r\n" + longError + "\r\n.\r\n";
        const QByteArray bigAttributes =
            "+-1\r\n+INFO: 0Hostile\t/a\t127.0.0.1\t70\t+\r\n+ADMIN:\r\n Admin: Joe\r\n"
            " Mod-Date: today\r\n+ABSTRACT:\r\n"
            + QByteArray(' ' + QByteArray(77, 'a') + "\r\n").repeated(500) + ".\r\n";
        return QList<HostileCase>{
            // A byte count ends the reply at that count, whatever the reads.
            {"+N ends at N while the server holds", '0', false,
             {"+5\r\nabc\r\nEXTRA\r\n"}, Hold, 0, 1, {"abc"}, "Received 1 lines" + done, 0, {}},
            {"+N: more than N over later reads", '0', false,
             {"+8\r\nab", "c\r\ndef\r\nmore", "\r\nlots more\r\n"}, Hold, 0, 2, {"abc", "def"},
             "Received 2 lines" + done, 0, {}},
            {"+N header alone in its read", '0', false, {"+5\r\n", "abc\r\n"}, Hold, 0, 1,
             {"abc"}, "Received 1 lines" + done, 0, {}},
            {"+N header cut in three", '0', false, {"+", "5\r", "\nabc\r\n"}, Hold, 0, 1,
             {"abc"}, "Received 1 lines" + done, 0, {}},
            {"+-1 cut inside its header", '1', false,
             {"+-", "1\r\n" + menuLine('0', "A") + ".\r\n"}, Hold, 0, 1, {"A"},
             "Received 1 menu items" + done, 0, {}},
            {"--1 cut inside its header", '0', false,
             {"-", "-1\r\n1 admin\r\nGone\r\n.\r\n"}, Hold, 0, 0, {}, {}, 0,
             {serverErrorBox("This item is not available!", "admin\r\nGone\r\n")}},
            // Only the header's own line end belongs to the header.
            {"blank lines right after +N", '0', false, {"+8\r\n\r\n\r\nab\r\n"}, Hold, 0, 3,
             {"", "", "ab"}, "Received 3 lines" + done, 0, {}},
            {"+ without digits announces no size", '0', false, {"+\r\nabc\r\n"}, Close, 0, 1,
             {"abc"}, "Received 1 lines" + done, 0, {}},
            // A byte count that the server does not keep is a failure.
            {"+N ends short: the server closes", '0', false, {"+1000000\r\n" + ninetyNine},
             Close, 0, 1, {ninetyNine.chopped(2)}, "Received 1 lines ... transfer failed",
             CTarnwickDoc::ShortReply, {"The transfer ended after 99 of 1000000 bytes."}},
            // A "." line ends only plain replies and "+-1" replies.
            {"a dot line inside +N is text", '0', false, {"+10\r\n.\r\nabcde\r\n"}, Hold, 0, 2,
             {".", "abcde"}, "Received 2 lines" + done, 0, {}},
            {"a dot line inside +-2 is text", '0', false, {"+-2\r\nab\r\n.\r\ncd\r\n"}, Close,
             0, 3, {"ab", ".", "cd"}, "Received 3 lines" + done, 0, {}},
            {"a dot line inside a +-2 menu is neither item nor end", '1', false,
             {"+-2\r\n" + menuLine('0', "A") + ".\r\n" + menuLine('0', "B")}, Close, 0, 2,
             {"A", "B"}, "Received 2 menu items" + done, 0, {}},
            {"plain text ends at its dot line", '0', false, {"ab\r\n.\r\nnot text\r\n"}, Hold, 0,
             2, {"ab", ""}, "Received 2 lines" + done, 0, {}},
            {"a menu's dot line cut between reads", '1', false,
             {menuLine('0', "A") + ".", "\r\n" + menuLine('0', "Not")}, Hold, 0, 1, {"A"},
             "Received 1 menu items" + done, 0, {}},
            // Over-long lines and limits: what fits stays, the transfer ends.
            {"complete lines before an over-long line stay", '0', false,
             {"first\r\nsecond\r\n" + QByteArray(40000, 'z')}, Close, 0, 3,
             {"first", "second", QByteArray(CQTextDoc::MaxPending - 1, 'z')},
             "Received 3 lines" + done, 0, {}},
            {"a reply without line ends shows its head", '0', false,
             {QByteArray(60000, 'q')}, Close, 0, 1, {QByteArray(CQTextDoc::MaxPending - 1, 'q')},
             "Received 1 lines" + done, 0, {}},
            {"a text at its line limit ends while the server holds", '0', false,
             {numberedLines(40000)}, Hold, 0, 32767, {"line 1", "line 2"},
             "Received 32767 lines ... stopped at the limit of 32,767 lines", 0,
             {"This implementation handles files with less than 32,767 lines"}},
            {"an attribute reply over its limit in one read", '0', true, {bigAttributes}, Hold,
             0, 2, {"hello", ""}, "Received 2 lines" + done, 0,
             {"The item's attributes were longer than 32766 bytes; only their first part is used."}},
            {"a long error text ends at its dot line while the server holds", '0', false,
             {"--1\r\n" + longErrorBody}, Hold, 0, 0, {}, {}, 0,
             {serverErrorBox("This item is not available!",
                             longErrorBody.left(CTarnwickDoc::MaxErrorText).mid(2))}},
            {"an endless menu stops at the item limit", '1', false,
             {menuLine('1', "Sub"), "0Item\t/i\t127.0.0.1\t70\r\n"}, Endless, 1000, 1000,
             {"Item", "Item"}, "Received 1000 menu items ... stopped at the limit of 1,000 items",
             0,
             {"This implementation handles directories of up to 1,000 items.\n"
              "The rest of this directory was not read."}},
            {"a menu of sub-directories only is not empty", '1', false,
             {menuLine('1', "Sub") + ".\r\n"}, Hold, 0, 1, {"nav:Sub"},
             "Received 1 menu items" + done, 0, {}},
            // A reset after the end of the reply changes nothing.
            {"menu complete, then a reset", '1', false, {"+-1\r\n" + menuLine('0', "A") + ".\r\n"},
             Reset, 0, 1, {"A"}, "Received 1 menu items" + done, 0, {}},
        };
    }();
    return cases;
}

QByteArray selectorOf(int index)
{
    return "/h" + QByteArray::number(index);
}

// One route per case, by selector; the item opened after an attribute reply
// gets a short text.
QByteArray hostileScript()
{
    QByteArray routes;
    const QList<HostileCase> &cases = hostileCases();
    for (int i = 0; i < cases.size(); ++i) {
        const HostileCase &c = cases.at(i);
        QByteArray steps;
        for (int p = 0; p < c.pieces.size(); ++p) {
            const bool last = p == c.pieces.size() - 1;
            if (last && c.end == Endless) {
                QByteArray line = c.pieces.at(p);
                steps += R"({"endless": )" + TestServer::jsonBytes(line) + "}";
                break;
            }
            steps += R"({"send": )" + TestServer::jsonBytes(c.pieces.at(p)) + "},";
            // Apart, so that each piece tends to come in a read of its own.
            if (!last)
                steps += R"({"sleep_ms": 40},)";
        }
        if (c.end == Hold)
            steps += R"({"hold": true})";
        else if (c.end == Close)
            steps += R"({"close": true})";
        else if (c.end == Reset)
            steps += R"({"sleep_ms": 40}, {"reset": true})";
        const QByteArray match = selectorOf(i) + (c.gopherPlus ? "\t!" : "");
        routes += R"({"match": )" + TestServer::jsonBytes(match) + R"(, "steps": [)" + steps
                  + "]},";
    }
    routes += R"({"prefix": "/h", "steps": [{"send": "+-1\r\nhello\r\n.\r\n"}]})";
    return "[" + routes + "]";
}

// What one document said while it lived.
struct Record
{
    QPointer<CTarnwickDoc> doc;
    QList<int> ended;
};

} // namespace

class tst_Hostile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void replies_data();
    void replies();

private:
    std::unique_ptr<TestServer> m_server;
};

void tst_Hostile::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    m_server = TestServer::scripted(hostileScript());
    QVERIFY2(m_server, qPrintable(TestServer::lastError()));
}

void tst_Hostile::cleanupTestCase()
{
    m_server.reset();
}

void tst_Hostile::replies_data()
{
    QTest::addColumn<int>("index");
    const QList<HostileCase> &cases = hostileCases();
    for (int i = 0; i < cases.size(); ++i)
        QTest::newRow(cases.at(i).name) << i;
}

void tst_Hostile::replies()
{
    QFETCH(int, index);
    const HostileCase &c = hostileCases().at(index);

    QTemporaryDir settings;
    QVERIFY(settings.isValid());
    RecordingUserInterface ui;
    CTarnwickApp app(ui);
    TransactionEngine &engine = app.engine();
    app.setSettingsPath(settings.filePath(QStringLiteral("tarnwick.ini")));
    app.registerDefaultTemplates();
    QList<std::shared_ptr<Record>> records;
    connect(&app, &CTarnwickApp::documentOpened, this, [&records](CTarnwickDoc *doc) {
        auto record = std::make_shared<Record>();
        record->doc = doc;
        connect(doc, &CTarnwickDoc::transferEnded, doc,
                [record](int status) { record->ended.append(status); });
        records.append(record);
    });

    CBookmark item(c.type, "Hostile", selectorOf(index), "127.0.0.1", m_server->port());
    item.SetGopherPlus(c.gopherPlus);
    CTarnwickDoc *first = app.OpenItem(item, 0, 0);
    QVERIFY(first);
    if (auto *dir = qobject_cast<CGopherDir *>(first); dir && c.itemLimit)
        dir->setItemLimit(c.itemLimit);

    // Held replies too must end by themselves.
    QTRY_VERIFY_WITH_TIMEOUT(engine.registry().documentCount() == 0
                                 && !records.last()->ended.isEmpty(),
                             20000);
    const Record &last = *records.last();
    QCOMPARE(last.ended, QList<int>{c.endStatus});
    QList<QByteArray> messages;
    for (const auto &m : std::as_const(ui.messages))
        messages.append(m.text);
    QCOMPARE(messages, c.messages);

    if (c.status.isEmpty()) {
        // A server error: the box says it and the window goes.
        QTRY_VERIFY(!last.doc);
        return;
    }
    QVERIFY(last.doc);
    QCOMPARE(last.doc->lastStatus(), c.status);
    QList<QByteArray> items;
    int count = 0;
    if (auto *text = qobject_cast<CGopherTextDoc *>(last.doc.data())) {
        count = text->store().GetLineCount();
        for (int i = 0; i < qMin(count, int(c.first.size())); ++i)
            items.append(text->store().GetLine(i));
    } else if (auto *dir = qobject_cast<CGopherDir *>(last.doc.data())) {
        count = dir->listCount() + dir->navigatorCount();
        for (int i = 0; i < dir->listCount() && items.size() < c.first.size(); ++i)
            items.append(dir->listItem(i).title);
        for (int i = 0; i < dir->navigatorCount() && items.size() < c.first.size(); ++i)
            items.append("nav:" + dir->navigatorItem(i).title);
    } else {
        QFAIL("no text or menu document");
    }
    QCOMPARE(count, c.count);
    QCOMPARE(items, c.first);
}

QTEST_GUILESS_MAIN(tst_Hostile)

#include "tst_hostile.moc"
