#include "settings/hostencodings.h"
#include "app/tarnwickapp.h"
#include "documents/phonetext.h"
#include "documents/userinterface.h"
#include "net/transactionengine.h"
#include "tests/support/testservers.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QByteArray Loopback("127.0.0.1");

// Feeds reply bytes to a phone book as the network would, in one piece.
void feed(CPhoneText &book, const QByteArray &bytes)
{
    bool done = false;
    book.OnData(bytes, done);
}

QList<QByteArray> linesOf(const CPhoneText &book)
{
    QList<QByteArray> lines;
    for (int i = 0; i < book.lineCount(); ++i)
        lines.append(book.GetLine(i));
    return lines;
}

struct Program
{
    RecordingUserInterface ui;
    CTarnwickApp app{ui};
};

void ask(CPhoneText &book, const QByteArray &query)
{
    book.SetQuery(query);
    book.SendQuery();
}

// Puts the book into query mode with a query in flight; the test feeds the
// reply itself before the event loop could reach the (absent) server.
void startQuery(CPhoneText &book)
{
    book.item() = CBookmark('2', "Staff", "", Loopback, 9);
    ask(book, "name=x");
}

} // namespace

class tst_Phone : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parsesReplies_data();
    void parsesReplies();
    void statusCountsResponses();
    void endlessLineIsCut();
    void findWalksLines_data();
    void findWalksLines();
    void copiesSelectedOrAllLines();
    void talksToCsoServer();
    void typedQueryGoesInTheHostEncoding_data();
    void typedQueryGoesInTheHostEncoding();
    void brokenRepliesEnd_data();
    void brokenRepliesEnd();
};

void tst_Phone::parsesReplies_data()
{
    QTest::addColumn<bool>("fieldsMode");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QList<QByteArray>>("lines");

    QTest::newRow("fields: only Lookup, bare names")
        << true
        << QByteArray("-200:1:name:max 64 Indexed Lookup Public\r\n-200:1:name:Full name.\r\n"
                      "-200:2:notes:max 255 Public\r\n-200:3:email:max 64 Lookup\r\n200:Ok.\r\n")
        << QList<QByteArray>{"name", "email"};
    QTest::newRow("two persons of three lines")
        << false
        << QByteArray("-200:1:   name: Ada\r\n-200:1:  phone: 1\r\n-200:1:  email: a@x\r\n"
                      "-200:2:   name: Bert\r\n-200:2:  phone: 2\r\n-200:2:  email: b@x\r\n"
                      "200:Ok.\r\n")
        << QList<QByteArray>{" ", "   name: Ada", "  phone: 1", "  email: a@x",
                             " ", "   name: Bert", "  phone: 2", "  email: b@x"};
    QTest::newRow("multi-line field, message line, no colon dropped")
        << false
        << QByteArray("102:There were 1 matches to your request.\r\n"
                      "-200:1:address: Mill House\r\n-200:1:       : Tarnwick Lane\r\n"
                      "stray text\r\n200:Ok.\r\n")
        << QList<QByteArray>{"There were 1 matches to your request.", " ",
                             "address: Mill House", "       : Tarnwick Lane"};
    QTest::newRow("error reply is the only line")
        << false << QByteArray("501:No matches to your query.\r\n200:Bye!\r\n")
        << QList<QByteArray>{"No matches to your query.", "Bye!"};
    QTest::newRow("bare LF and blank lines folded")
        << false << QByteArray("-200:1:a: 1\r\n\r\n\n-200:1:b: 2\r\n200:Ok.\r\n")
        << QList<QByteArray>{" ", "a: 1", "b: 2"};
    QTest::newRow("response numbers out of order or absurd")
        << false
        << QByteArray("-200:2:x: 1\r\n-200:1:y: 2\r\n-200:99999999999:z: 3\r\n-200:abc:w: 4\r\n"
                      "200:Ok.\r\n")
        << QList<QByteArray>{" ", "x: 1", "y: 2", "z: 3", "w: 4"};
    QTest::newRow("lines after the final 200 are not parsed")
        << false << QByteArray("-200:1:a: 1\r\n200:Ok.\r\n-200:2:b: 2\r\n-200:3:c: 3\r\n")
        << QList<QByteArray>{" ", "a: 1"};
}

void tst_Phone::parsesReplies()
{
    QFETCH(bool, fieldsMode);
    QFETCH(QByteArray, reply);
    QFETCH(QList<QByteArray>, lines);
    Program program;
    // Whole, and in pieces of 3 bytes: lines cut anywhere come out the same.
    for (const qsizetype piece : {reply.size(), qsizetype(3)}) {
        CPhoneText book(program.app.context());
        // A query leaves fields mode; no server is there, the reply is fed.
        if (!fieldsMode)
            startQuery(book);
        QCOMPARE(book.fieldsMode(), fieldsMode);
        for (qsizetype i = 0; i < reply.size(); i += piece)
            feed(book, reply.mid(i, piece));
        QCOMPARE(linesOf(book), lines);
    }
}

void tst_Phone::statusCountsResponses()
{
    Program program;
    CPhoneText book(program.app.context());
    startQuery(book);
    QByteArray reply;
    for (int n = 1; n <= 12; ++n)
        reply += "-200:" + QByteArray::number(n) + ":name: P" + QByteArray::number(n) + "\r\n";
    feed(book, reply);
    QCOMPARE(book.lastStatus(), QByteArray("Received 12 responses"));
    QVERIFY(!book.isComplete());
    feed(book, "200:Ok.\r\n");
    QCOMPARE(book.lastStatus(), QByteArray("Received 12 responses ... done"));
    QVERIFY(book.isDone());

    CPhoneText fields(program.app.context());
    feed(fields, "-200:1:name:Lookup\r\n-200:2:alias:Lookup\r\n200:Ok.\r\n");
    QCOMPARE(fields.lastStatus(), QByteArray("Received 2 fields ... done"));
    QVERIFY(!fields.fieldsMode());
}

// A server that never ends a line must not fill the memory.
void tst_Phone::endlessLineIsCut()
{
    Program program;
    CPhoneText book(program.app.context());
    startQuery(book);
    feed(book, "-200:1:");
    const QByteArray chunk(64 * 1024, 'x');
    for (int i = 0; i < 40; ++i) {
        feed(book, chunk);
        QVERIFY(book.pendingBytes() <= CPhoneText::MaxLineLength + chunk.size());
    }
    feed(book, "tail\r\n-200:2:b: 2\r\n200:Ok.\r\n");
    QCOMPARE(book.lineCount(), 4);
    QCOMPARE(book.GetLine(1).size(), CPhoneText::MaxLineLength - 7);
    QCOMPARE(book.GetLine(3), QByteArray("b: 2"));
}

void tst_Phone::findWalksLines_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<bool>("down");
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<int>("found");

    // Lines: " ", "name: Ada", "phone: 1", " ", "name: Bert", "phone: 2"
    QTest::newRow("from the top") << 0 << true << QByteArray("phone") << 2;
    QTest::newRow("next after the find line") << 2 << true << QByteArray("phone") << 5;
    QTest::newRow("backward") << 5 << false << QByteArray("name") << 4;
    QTest::newRow("past the end starts over") << 9 << true << QByteArray("ada") << 1;
    QTest::newRow("before the start wraps to the end") << -1 << false << QByteArray("bert") << 4;
    QTest::newRow("not found") << 0 << true << QByteArray("zora") << -1;
}

void tst_Phone::findWalksLines()
{
    QFETCH(int, start);
    QFETCH(bool, down);
    QFETCH(QByteArray, pattern);
    QFETCH(int, found);
    Program program;
    CPhoneText book(program.app.context());
    startQuery(book);
    feed(book, "-200:1:name: Ada\r\n-200:1:phone: 1\r\n-200:2:name: Bert\r\n-200:2:phone: 2\r\n"
               "200:Ok.\r\n");
    QSignalSpy hints(&book, &CTarnwickDoc::updateAllViews);
    book.setFindLine(start);
    book.FindText(pattern, down, false, false);
    if (found < 0) {
        QCOMPARE(program.ui.messages.size(), 1);
        QCOMPARE(program.ui.messages.at(0).text, QByteArray("Text not found"));
        return;
    }
    QCOMPARE(book.findLine(), found);
    QCOMPARE(hints.size(), 1);
    QCOMPARE(hints.at(0).at(0).toInt(), int(CPhoneText::FoundHint));
    QCOMPARE(hints.at(0).at(1).toInt(), found);
}

void tst_Phone::copiesSelectedOrAllLines()
{
    Program program;
    CPhoneText book(program.app.context());
    startQuery(book);
    QVERIFY(!book.OnUpdateEditCopy());
    feed(book, "-200:1:name: Ada\r\n-200:1:phone: 1\r\n200:Ok.\r\n");
    QVERIFY(book.OnUpdateEditCopy());
    book.CopyLines(0, {});
    QCOMPARE(program.ui.clipboard, QByteArray(" \nname: Ada\nphone: 1\n"));
    book.CopyLines(2, {2, 1});
    QCOMPARE(program.ui.clipboard, QByteArray("phone: 1\nname: Ada\n"));
}

void tst_Phone::talksToCsoServer()
{
    auto server = TestServer::cso();
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    Program program;
    CPhoneText book(program.app.context());
    book.Fetch(CBookmark('2', "Staff", "", Loopback, server->port()));
    QCOMPARE(book.title(), QByteArray("Staff"));
    QTRY_VERIFY(book.isDone());
    QCOMPARE(linesOf(book), (QList<QByteArray>{"name", "email", "phone", "alias"}));
    QVERIFY(!book.fieldsMode());

    ask(book, "name=fenwright");
    QTRY_VERIFY(book.isDone());
    const QList<QByteArray> lines = linesOf(book);
    QCOMPARE(lines.value(0), QByteArray("There were 2 matches to your request."));
    QCOMPARE(lines.count(" "), 2);
    QVERIFY(lines.contains("address: Room 4, Mill House"));
    QVERIFY(lines.contains("       : Tarnwick Lane"));
    QCOMPARE(book.lastStatus(), QByteArray("Received 2 responses ... done"));

    // The exact command blocks, each closed by quit, bye and exit.
    QTRY_COMPARE(server->received().size(), 2);
    const QList<QByteArray> received = server->received();
    QCOMPARE(received.at(0), QByteArray("fields\r\nquit\r\n"));
    QCOMPARE(received.at(1), QByteArray("query name=fenwright\r\nquit\r\n"));

    // The server's refusals are shown as a line.
    ask(book, "name=nobody");
    QTRY_VERIFY(book.isDone());
    QCOMPARE(linesOf(book).value(0), QByteArray("No matches to your query."));
    ask(book, "shoesize=9");
    QTRY_VERIFY(book.isDone());
    QCOMPARE(linesOf(book).value(0), QByteArray("Field does not exist."));
    QCOMPARE(book.highestResponse(), 0);
}

void tst_Phone::typedQueryGoesInTheHostEncoding_data()
{
    QTest::addColumn<TextEncoding>("encoding");
    QTest::addColumn<QString>("typed");
    // Empty when the query is refused.
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("message");

    QTest::newRow("KOI8-R") << TextEncoding::Koi8R << QStringLiteral(u"name=Архив")
                            << QByteArray("query name=\xE1\xD2\xC8\xC9\xD7\r\nquit\r\n")
                            << QByteArray();
    QTest::newRow("no byte for a character")
        << TextEncoding::Koi8R << QStringLiteral(u"name=Café") << QByteArray()
        << QByteArray("The query has characters that KOI8-R cannot send. Nothing was sent.");
}

void tst_Phone::typedQueryGoesInTheHostEncoding()
{
    QFETCH(TextEncoding, encoding);
    QFETCH(QString, typed);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, message);

    auto server = TestServer::cso();
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    Program program;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    program.app.setSettingsPath(dir.filePath(QStringLiteral("tarnwick.ini")));
    QVERIFY(program.app.hostEncodings().setEncoding(Loopback, encoding));
    CPhoneText book(program.app.context());
    book.Fetch(CBookmark('2', "Staff", "", Loopback, server->port()));
    QTRY_VERIFY(book.isDone());
    QTRY_COMPARE(server->received().size(), 1);

    QCOMPARE(book.sendTypedQuery(typed), message.isEmpty());
    if (message.isEmpty()) {
        QVERIFY(program.ui.messages.isEmpty());
        QTRY_COMPARE(server->received().size(), 2);
        QCOMPARE(server->received().at(1), sent);
    } else {
        QCOMPARE(program.ui.messages.size(), 1);
        QCOMPARE(program.ui.messages.first().text, message);
        // Nothing started: the book still holds the field list.
        QVERIFY(!book.hasLiveTransaction());
        QCOMPARE(linesOf(book).size(), 4);
    }
}

void tst_Phone::brokenRepliesEnd_data()
{
    QTest::addColumn<QByteArray>("steps");
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<QByteArray>>("lines");  // the first lines
    QTest::addColumn<bool>("failed");  // the transfer ends in an error
    QTest::addColumn<QByteArray>("status");

    const QByteArray cut = "Received 1 responses ... stopped at the limit of 100,000 lines";
    QTest::newRow("reset mid-reply keeps what came")
        << "{\"send\": " + TestServer::jsonBytes("-200:1:name: Ada\r\n-200:1:pho") + "}, {\"reset\": true}"
        << 2 << QList<QByteArray>{" ", "name: Ada"} << true
        << QByteArray("Read error from host 127.0.0.1 : [10054] Connection reset by peer");
    QTest::newRow("garbage, then an endless reply, is cut at the line limit")
        << QByteArray("{\"send_hex\": \"00ff3a0d0a3a3a3a0d0a\"}, {\"endless\": \"-200:1:name: again and again\"}")
        << int(CPhoneText::MaxLines) << QList<QByteArray>{"", ":", " ", "name: again and again"}
        << false << cut;
    // A separator and 99,999 entry lines fill the limit exactly: whole.
    const QByteArray entries = QByteArray("-200:1:name: x\r\n").repeated(99999);
    QTest::newRow("a reply that ends at the limit is whole")
        << "{\"send\": " + TestServer::jsonBytes(entries + "200:Ok.\r\n") + "}, {\"hold\": true}"
        << int(CPhoneText::MaxLines) << QList<QByteArray>{" ", "name: x"} << false
        << QByteArray("Received 1 responses ... done");
    QTest::newRow("one line more is cut")
        << "{\"send\": " + TestServer::jsonBytes(entries + "-200:1:name: y\r\n200:Ok.\r\n") + "}"
        << int(CPhoneText::MaxLines) << QList<QByteArray>{" ", "name: x"} << false << cut;
}

void tst_Phone::brokenRepliesEnd()
{
    QFETCH(QByteArray, steps);
    QFETCH(QList<QByteArray>, lines);
    QFETCH(bool, failed);
    auto server = TestServer::scripted("[{\"match\": \"*\", \"steps\": [" + steps + "]}]");
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    Program program;
    CPhoneText book(program.app.context());
    book.item() = CBookmark('2', "Staff", "", Loopback, server->port());
    ask(book, "x");
    QTRY_VERIFY_WITH_TIMEOUT(book.isDone(), 60000);
    QTEST(book.lineCount(), "count");
    QCOMPARE(linesOf(book).mid(0, lines.size()), lines);
    if (failed)
        QVERIFY(book.endStatus() != 0);
    // A reply cut at the limit says so, on the status line and in a box, as
    // a directory cut at its item limit does.
    QFETCH(QByteArray, status);
    QCOMPARE(book.lastStatus(), status);
    const bool cut = status.contains("stopped at the limit");
    QCOMPARE(book.isCut(), cut);
    QCOMPARE(book.cutNotice(),
             cut ? QByteArray("the phone-book reply was cut at 100,000 lines") : QByteArray());
    QList<QByteArray> shown;
    for (const RecordingUserInterface::Message &message : program.ui.messages)
        shown.append(message.text);
    QCOMPARE(shown.count("This implementation handles phone-book replies of up to 100,000 lines.\n"
                         "The rest of the reply was not read."),
             cut ? 1 : 0);
}

QTEST_GUILESS_MAIN(tst_Phone)
#include "tst_phone.moc"
