#include "app/tarnwickapp.h"
#include "documents/documentframe.h"
#include "documents/gopherdir.h"
#include "documents/gophertextdoc.h"
#include "documents/userinterface.h"
#include "documents/windowregistry.h"
#include "gplus/extinfodoc.h"
#include "items/typetable.h"
#include "net/transactionengine.h"
#include "tests/support/loopbackpeer.h"
#include "tests/support/ports.h"
#include "tests/support/servedtree.h"
#include "tests/support/testservers.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QPointer>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <memory>
#include <vector>

namespace {

const QByteArray Loopback("127.0.0.1");
const QByteArray RefusedBox("Connect error to host\n127.0.0.1\n[10061] Connection refused");
const QByteArray HomeGiveUp("You could not reach your Home Gopher server.\r\n"
                            "Please check your configuration and try again.");
const QByteArray TooManyLines("This implementation handles files with less than 32,767 lines");

using Peer = LoopbackPeer;

// Stands for a document window: records what its document tells the views.
class TestFrame : public DocumentFrame
{
public:
    bool hasOwnStatusBar() const override { return false; }
    void setStatusText(const QByteArray &text) override { statuses.append(text); }
    void activateFrame() override { ++activated; }
    void destroyFrame() override { destroyed = true; }

    CTarnwickDoc *document = nullptr;
    int templateId = 0;
    QList<QByteArray> statuses;
    QList<std::array<int, 4>> hints;
    QList<int> ports; // the item's port whenever a connection is started
    int activated = 0;
    bool destroyed = false;

    int hintCount(int hint) const
    {
        int count = 0;
        for (const auto &h : hints)
            count += h[0] == hint ? 1 : 0;
        return count;
    }
    bool hasHint(int hint) const { return hintCount(hint) > 0; }
};

class TestFrames : public FrameFactory
{
public:
    DocumentFrame *createFrame(CTarnwickDoc *document, int templateId, int) override
    {
        frames.push_back(std::make_unique<TestFrame>());
        TestFrame *frame = frames.back().get();
        frame->document = document;
        frame->templateId = templateId;
        // Hooked before Fetch, so nothing the document says is missed.
        QObject::connect(document, &CTarnwickDoc::updateAllViews, document,
                         [frame](int hint, int a, int b, int c) {
                             frame->hints.append({hint, a, b, c});
                         });
        QObject::connect(document, &CTarnwickDoc::statusChanged, document,
                         [frame, document](const QByteArray &text) {
                             if (text.startsWith("Connecting to "))
                                 frame->ports.append(document->item().port);
                         });
        return frame;
    }
    void initialUpdate(DocumentFrame *) override {}

    TestFrame *frameOf(const CTarnwickDoc *document) const
    {
        for (const auto &f : frames) {
            if (f->document == document)
                return f.get();
        }
        return nullptr;
    }

    std::vector<std::unique_ptr<TestFrame>> frames;
};

// A document kind that keeps every byte the base hands it and never decides
// by itself that the reply is complete, as a download does: what ends its
// transfer is the base's reply-header handling alone.
class RawDoc : public CTarnwickDoc
{
public:
    using CTarnwickDoc::CTarnwickDoc;

    void OnReceive() override
    {
        data += receiveBuffer();
        clearReceived();
    }

    QByteArray data;
};

// The program without windows, as the headless mode builds it. Declared in
// this order so that the application and its documents go first.
struct Program
{
    explicit Program(const QString &settingsPath, bool defaultTemplates = true)
    {
        app.setSettingsPath(settingsPath);
        app.setFrameFactory(&frames);
        if (defaultTemplates) {
            app.registerDefaultTemplates();
        } else {
            app.addTemplate({TypeTable::XferTemplate, [](const AppContext &c) -> CTarnwickDoc * {
                                 return new RawDoc(c);
                             }});
        }
        QObject::connect(&app, &CTarnwickApp::documentOpened, &app,
                         [this](CTarnwickDoc *doc) { opened.append(doc); });
    }

    bool idle() const { return engine.registry().documentCount() == 0; }
    TestFrame *frame(const CTarnwickDoc *doc) const { return frames.frameOf(doc); }
    QList<QByteArray> messageTexts() const
    {
        QList<QByteArray> texts;
        for (const auto &m : ui.messages)
            texts.append(m.text);
        return texts;
    }

    RecordingUserInterface ui;
    TestFrames frames;
    CTarnwickApp app{ui};
    TransactionEngine &engine = app.engine();
    WindowRegistry &windows = app.windows();
    QList<QPointer<CTarnwickDoc>> opened;
};

CBookmark localItem(char type, const QByteArray &title, const QByteArray &selector, quint16 port)
{
    return CBookmark(type, title, selector, Loopback, port);
}

QByteArray menuLine(char type, const QByteArray &title, const QByteArray &selector,
                    const QByteArray &plus = QByteArray())
{
    QByteArray line = type + title + '\t' + selector + "\t127.0.0.1\t70";
    if (!plus.isEmpty())
        line += '\t' + plus;
    return line + "\r\n";
}

QByteArray numberedLines(int count)
{
    QByteArray text;
    text.reserve(count * 12);
    for (int i = 1; i <= count; ++i)
        text += "line " + QByteArray::number(i) + "\r\n";
    return text;
}

QList<QByteArray> listTitles(const CGopherDir *dir)
{
    QList<QByteArray> titles;
    for (int i = 0; i < dir->listCount(); ++i)
        titles.append(dir->listItem(i).title);
    return titles;
}

QList<QByteArray> navigatorTitles(const CGopherDir *dir)
{
    QList<QByteArray> titles;
    for (int i = 0; i < dir->navigatorCount(); ++i)
        titles.append(dir->navigatorItem(i).title);
    return titles;
}

// The status that followed `first` directly in the main status line.
QByteArray statusAfter(const QList<QByteArray> &statuses, const QByteArray &first)
{
    const qsizetype at = statuses.indexOf(first);
    return at >= 0 && at + 1 < statuses.size() ? statuses.at(at + 1) : QByteArray();
}

} // namespace

class tst_Documents : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void endlessMenuLineIsDropped();
    void endlessErrorTextKeepsItsHead();
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    // Reply header and end of reply (document base).
    void replyHeader_data();
    void replyHeader();
    void headerCutByNetwork();
    void progressOfAnnouncedSize();
    void gopherPlusError_data();
    void gopherPlusError();
    void copyProgress_data();
    void copyProgress();
    void homeGopherGivesUp_data();
    void homeGopherGivesUp();

    // Directory document.
    void plainMenu_data();
    void plainMenu();
    void gopherPlusInfoBlocks();
    void menuSplitMidLine();
    void gopherPlusMenuRetry_data();
    void gopherPlusMenuRetry();
    void findUpwardWraps();
    void failureShownByDocument_data();
    void failureShownByDocument();
    void realPlainMenu();
    void realGopherPlusMenu();

    // Text document.
    void textLines_data();
    void textLines();
    void lineLimit_data();
    void lineLimit();
    void saveText_data();
    void saveText();
    void defaultSaveName_data();
    void defaultSaveName();
    void textNotFound();
    void realText_data();
    void realText();

    // Opening items.
    void openItemAgainRestoresWindow();
    void typesThatOpenNothing_data();
    void typesThatOpenNothing();
    void gopherPlusFetchesAttributesFirst_data();
    void gopherPlusFetchesAttributesFirst();
    void attributeFetchFails_data();
    void attributeFetchFails();

    // One request at a time, each from a clean reply state.
    void fetchLetsThePreviousTransactionGo();
    void homeRetryStartsAfresh();
    void gopherPlusHome_data();
    void gopherPlusHome();
    void homePortRule();
    void failureMarkOfStatus_data();
    void failureMarkOfStatus();
    void stoppedTransfer_data();
    void stoppedTransfer();

private:
    std::unique_ptr<Program> makeProgram(bool defaultTemplates = true);
    void writeSettings(const QByteArray &text);
    template <class Doc>
    Doc *openLoaded(Program &program, char type, const QByteArray &title,
                    const QByteArray &selector, const QByteArray &reply,
                    Peer::End end = Peer::Close);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Peer> m_peer;
    // The tree the real servers serve, and the servers (started once).
    ServedTree m_tree;
};

void tst_Documents::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY2(m_tree.start(), qPrintable(TestServer::lastError()));
}

void tst_Documents::cleanupTestCase()
{
    m_tree.stop();
}

void tst_Documents::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_peer = std::make_unique<Peer>();
    QVERIFY(m_peer->isListening());
}

void tst_Documents::cleanup()
{
    m_peer.reset();
    m_dir.reset();
}

std::unique_ptr<Program> tst_Documents::makeProgram(bool defaultTemplates)
{
    return std::make_unique<Program>(m_dir->filePath(QStringLiteral("tarnwick.ini")),
                                     defaultTemplates);
}

void tst_Documents::writeSettings(const QByteArray &text)
{
    QFile file(m_dir->filePath(QStringLiteral("tarnwick.ini")));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(text), text.size());
}

// Serves the reply, opens the item and waits until its transfer has ended.
template <class Doc>
Doc *tst_Documents::openLoaded(Program &program, char type, const QByteArray &title,
                               const QByteArray &selector, const QByteArray &reply, Peer::End end)
{
    m_peer->route(selector, reply, end);
    auto *doc = qobject_cast<Doc *>(
        program.app.OpenItem(localItem(type, title, selector, m_peer->port()), 0, 0));
    return doc && QTest::qWaitFor([&] { return program.idle(); }, 20000) ? doc : nullptr;
}

// ---------------------------------------------------------------------------
// Reply header and end of reply

void tst_Documents::replyHeader_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("endsWhileHeld"); // the server never closes
    QTest::addColumn<int>("replyMode");
    QTest::addColumn<quint32>("itemSize");
    QTest::addColumn<QByteArray>("data");

    QTest::newRow("+-1 header removed, ends at the dot line")
        << QByteArray("+-1\r\nab\r\n.\r\n") << true << 3 << 0u << QByteArray("ab\r\n.\r\n");
    QTest::newRow("same data without header waits for the close")
        << QByteArray("ab\r\n.\r\n") << false << 0 << 0u << QByteArray("ab\r\n.\r\n");
    QTest::newRow("+-2 header waits for the close")
        << QByteArray("+-2\r\nab\r\n.\r\n") << false << 4 << 0u << QByteArray("ab\r\n.\r\n");
    QTest::newRow("+12 ends after twelve bytes")
        << QByteArray("+12\r\nHello World\n") << true << 2 << 12u << QByteArray("Hello World\n");
    QTest::newRow("+12a is not a header")
        << QByteArray("+12a\r\nxyz") << false << 0 << 0u << QByteArray("+12a\r\nxyz");
    QTest::newRow("+ alone announces size 0")
        << QByteArray("+\r\nabc") << false << 2 << 0u << QByteArray("abc");
    QTest::newRow("dash without the error code is data")
        << QByteArray("-12\r\nabc") << false << 0 << 0u << QByteArray("-12\r\nabc");
}

void tst_Documents::replyHeader()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, endsWhileHeld);
    QFETCH(int, replyMode);
    QFETCH(quint32, itemSize);
    QFETCH(QByteArray, data);

    auto program = makeProgram(false);
    m_peer->route("/raw", reply, Peer::Hold);
    const CBookmark item = localItem('9', "Raw", "/raw", m_peer->port());
    QPointer<CTarnwickDoc> doc = program->app.OpenItem(item, 0, 0);
    QVERIFY(doc);
    auto *raw = static_cast<RawDoc *>(doc.data());
    QSignalSpy ended(doc, &CTarnwickDoc::transferEnded);

    QTRY_COMPARE(raw->data, data);
    if (endsWhileHeld) {
        QTRY_COMPARE(ended.size(), 1);
    } else {
        // Everything has arrived, yet the reply is not over.
        QVERIFY(doc->hasLiveTransaction());
        QCOMPARE(ended.size(), 0);
        m_peer->connection(0)->disconnectFromHost();
        QTRY_COMPARE(ended.size(), 1);
    }
    QCOMPARE(ended.at(0).at(0).toInt(), 0);
    QCOMPARE(doc->replyMode(), replyMode);
    QCOMPARE(doc->item().itemSize, itemSize);
    QCOMPARE(raw->data, data);
    if (itemSize == 0)
        QCOMPARE(doc->progressText(), QByteArray());
    QCOMPARE(m_peer->requests, QList<QByteArray>{QByteArray("/raw\r\n")});
}

void tst_Documents::headerCutByNetwork()
{
    auto program = makeProgram(false);
    const CBookmark item = localItem('9', "Raw", "/cut", m_peer->port());
    QPointer<CTarnwickDoc> doc = program->app.OpenItem(item, 0, 0);
    QVERIFY(doc);
    auto *raw = static_cast<RawDoc *>(doc.data());
    QTRY_COMPARE(m_peer->requests.size(), 1);

    // Only a '+' and one digit in the first chunk: the header waits for the
    // rest of its line, however the network cut it.
    m_peer->connection(0)->write("+1");
    m_peer->connection(0)->flush();
    QCOMPARE(doc->bytesReceived(), 0u);
    m_peer->connection(0)->write("2\r\nabc");
    QTRY_COMPARE(raw->data, QByteArray("abc"));
    QVERIFY(doc->hasLiveTransaction());
    QCOMPARE(doc->replyMode(), 2);
    QCOMPARE(doc->item().itemSize, 12u);
    m_peer->connection(0)->write("defghijkl");
    QTRY_VERIFY(program->idle());
    QCOMPARE(raw->data, QByteArray("abcdefghijkl"));
    QCOMPARE(doc->bytesReceived(), 12u);
}

void tst_Documents::progressOfAnnouncedSize()
{
    auto program = makeProgram();
    QPointer<CTarnwickDoc> doc = program->app.OpenItem(
        localItem('0', "Twelve", "/twelve", m_peer->port()), 0, 0);
    QVERIFY(doc);
    auto *text = qobject_cast<CGopherTextDoc *>(doc.data());
    QVERIFY(text);
    QSignalSpy ended(doc, &CTarnwickDoc::transferEnded);
    QTRY_COMPARE(m_peer->requests.size(), 1);

    m_peer->connection(0)->write("+12\r\nHello");
    QTRY_VERIFY(program->ui.mainStatus.contains("Received 0 lines, 41.6%"));
    QCOMPARE(doc->progressText(), QByteArray("41.6%"));
    QCOMPARE(doc->item().itemSize, 12u);
    QCOMPARE(doc->replyMode(), 2);
    QCOMPARE(ended.size(), 0);

    // The twelfth byte ends the reply although the server keeps the
    // connection open.
    m_peer->connection(0)->write(" World\n");
    QTRY_COMPARE(ended.size(), 1);
    QCOMPARE(text->store().GetLine(0), QByteArray("Hello World"));
    QCOMPARE(statusAfter(program->ui.mainStatus, "Received 0 lines, 41.6%"),
             QByteArray("Received 1 lines, 100.0%"));
    QCOMPARE(program->ui.mainStatus.last(), QByteArray("Received 1 lines ... done"));
}

void tst_Documents::gopherPlusError_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QByteArray>("serverText");
    QTest::addColumn<QByteArray>("box");

    const QByteArray head("Re: the item 'Busy item'\r\n");
    const QByteArray tail("\r\nThe Gopher server '127.0.0.1'\r\n"
                          "returned the following text:\r\n\r\n");
    QTest::newRow("2: server busy")
        << QByteArray("--1\r\n") << QByteArray("2 admin@host\r\nServer busy\r\n.\r\n")
        << head + "Please fetch this item later, when the server is less busy!" + tail
               + "admin@host\r\nServer busy\r\n";
    QTest::newRow("1: not available")
        << QByteArray("--1\r\n") << QByteArray("1 admin@host\r\nGone\r\n.\r\n")
        << head + "This item is not available!" + tail + "admin@host\r\nGone\r\n";
    QTest::newRow("3: moved")
        << QByteArray("--1\r\n") << QByteArray("3 admin@host\r\nElsewhere\r\n.\r\n")
        << head + "The item has moved to a new location." + tail + "admin@host\r\nElsewhere\r\n";
    QTest::newRow("other code keeps its first characters")
        << QByteArray("--1\r\n") << QByteArray("7 admin@host\r\nOdd\r\n.\r\n")
        << head + tail + "7 admin@host\r\nOdd\r\n";
    // "--2": the error text runs until the server closes; nothing is cut
    // from its end.
    QTest::newRow("--2 error text until the close")
        << QByteArray("--2\r\n") << QByteArray("1 admin@host\r\n'/x' does not exist\r\n")
        << head + "This item is not available!" + tail + "admin@host\r\n'/x' does not exist\r\n";
}

void tst_Documents::gopherPlusError()
{
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, serverText);
    QFETCH(QByteArray, box);

    auto program = makeProgram();
    m_peer->route("/busy", header + serverText);
    QPointer<CTarnwickDoc> doc = program->app.OpenItem(
        localItem('0', "Busy item", "/busy", m_peer->port()), 0, 0);
    QVERIFY(doc);
    TestFrame *frame = program->frame(doc);
    QVERIFY(frame);

    QTRY_VERIFY(!doc);
    QCOMPARE(program->ui.messages.size(), 1);
    QCOMPARE(program->ui.messages.at(0).text, box);
    QCOMPARE(program->ui.messages.at(0).icon, UserInterface::Exclamation);
    QCOMPARE(program->ui.messages.at(0).helpContext, Help::GopherPlusError);
    QVERIFY(frame->destroyed);
    QCOMPARE(program->windows.size(), 0);
}

void tst_Documents::copyProgress_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<QByteArray>>("statuses");

    QTest::newRow("250 lines")
        << 250
        << QList<QByteArray>{"Copied 100 lines", "Copied 200 lines",
                             "Copied 250 lines to the clipboard ... done"};
    QTest::newRow("100 lines")
        << 100
        << QList<QByteArray>{"Copied 100 lines", "Copied 100 lines to the clipboard ... done"};
    QTest::newRow("one line") << 1
                              << QList<QByteArray>{"Copied 1 line to the clipboard ... done"};
}

void tst_Documents::copyProgress()
{
    QFETCH(int, count);
    QFETCH(QList<QByteArray>, statuses);

    QByteArray menu;
    QByteArray expected;
    for (int i = 1; i <= count; ++i) {
        menu += menuLine('0', "Item " + QByteArray::number(i), "/" + QByteArray::number(i));
        expected += "Item " + QByteArray::number(i) + "\n";
    }
    auto program = makeProgram();
    auto *doc = openLoaded<CGopherDir>(*program, '1', "Many", "/many", menu + ".\r\n");
    QVERIFY(doc);
    QVERIFY(doc->OnUpdateEditCopy());

    const qsizetype before = program->ui.mainStatus.size();
    doc->OnEditCopy();
    QCOMPARE(program->ui.mainStatus.mid(before), statuses);
    QCOMPARE(program->ui.clipboard, expected);
}

void tst_Documents::homeGopherGivesUp_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("triesOfServer2");

    QTest::newRow("two servers: the second once") << 2 << 1;
    QTest::newRow("count 3 by hand: the second twice") << 3 << 2;
}

void tst_Documents::homeGopherGivesUp()
{
    QFETCH(int, count);
    QFETCH(int, triesOfServer2);

    TestPorts::RefusingPort refusing1;
    TestPorts::RefusingPort refusing2;
    const quint16 port1 = refusing1.port();
    const quint16 port2 = refusing2.port();
    writeSettings("[Home Gopher]\r\nCount of Home Gophers=" + QByteArray::number(count)
                  + "\r\nHome Server 1=127.0.0.1\r\nHome Port 1=" + QByteArray::number(port1)
                  + "\r\nHome Server 2=127.0.0.1\r\nHome Port 2=" + QByteArray::number(port2)
                  + "\r\nInitial Menu=Home\r\n");
    auto program = makeProgram();
    QPointer<CTarnwickDoc> doc = program->app.OpenItem(program->app.homeGophers().homeItem(1),
                                                       CTarnwickDoc::HomeOpen, 1);
    QVERIFY(doc);
    TestFrame *frame = program->frame(doc);
    QVERIFY(frame);

    QTRY_VERIFY(!doc);
    QList<int> ports{port1};
    QList<QByteArray> messages;
    for (int i = 0; i <= triesOfServer2; ++i)
        messages.append(RefusedBox);
    for (int i = 0; i < triesOfServer2; ++i)
        ports.append(port2);
    messages.append(HomeGiveUp);
    QCOMPARE(frame->ports, ports);
    QCOMPARE(program->messageTexts(), messages);
    QCOMPARE(program->ui.homeServerSetupCount, 1);
    QVERIFY(frame->destroyed);
    QCOMPARE(program->windows.size(), 0);
    QVERIFY(program->idle());
}

// ---------------------------------------------------------------------------
// Directory document

void tst_Documents::plainMenu_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QList<QByteArray>>("list");
    QTest::addColumn<QList<QByteArray>>("navigator");
    QTest::addColumn<QByteArray>("lastReceiveStatus");
    QTest::addColumn<QByteArray>("endStatus");

    QTest::newRow("types 0, 1 and 7")
        << menuLine('0', "About", "/about.txt") + menuLine('1', "Docs", "/docs")
               + menuLine('7', "Search", "/search") + ".\r\n"
        << QList<QByteArray>{"About", "Search"} << QList<QByteArray>{"Docs"}
        << QByteArray("Received 3 items ... done") << QByteArray("Received 3 menu items ... done");
    QTest::newRow("blank and TAB line skipped")
        << menuLine('0', "A", "/a") + " \t \t\r\n" + menuLine('0', "B", "/b") + ".\r\n"
        << QList<QByteArray>{"A", "B"} << QList<QByteArray>()
        << QByteArray("Received 2 items ... done") << QByteArray("Received 2 menu items ... done");
    QTest::newRow("line beginning with a blank is an attribute line")
        << menuLine('0', "A", "/a") + " 0Not an item\t/x\t127.0.0.1\t70\r\n"
               + menuLine('9', "B", "/b") + ".\r\n"
        << QList<QByteArray>{"A", "B"} << QList<QByteArray>()
        << QByteArray("Received 2 items ... done") << QByteArray("Received 2 menu items ... done");
    QTest::newRow("unrecognised type still an item")
        << QByteArray("xOdd\t/odd\t127.0.0.1\t70\r\n.\r\n") << QList<QByteArray>{"xOdd"}
        << QList<QByteArray>() << QByteArray("Received 1 items ... done")
        << QByteArray("Received 1 menu items ... done");
    QTest::newRow("last line without line end, server closes")
        << menuLine('0', "A", "/a") + "0Last\t/l\t127.0.0.1\t70"
        << QList<QByteArray>{"A", "Last"} << QList<QByteArray>()
        << QByteArray("Received 2 items") << QByteArray("Received 2 menu items ... done");
}

void tst_Documents::plainMenu()
{
    QFETCH(QByteArray, reply);
    QFETCH(QList<QByteArray>, list);
    QFETCH(QList<QByteArray>, navigator);
    QFETCH(QByteArray, lastReceiveStatus);
    QFETCH(QByteArray, endStatus);

    auto program = makeProgram();
    auto *dir = openLoaded<CGopherDir>(*program, '1', "Menu", "/menu", reply);
    QVERIFY(dir);

    QCOMPARE(listTitles(dir), list);
    QCOMPARE(navigatorTitles(dir), navigator);
    for (int i = 0; i < dir->navigatorCount(); ++i)
        QCOMPARE(dir->navigatorItem(i).navigatorIndex, i);
    QCOMPARE(program->ui.mainStatus.last(), endStatus);
    QVERIFY(program->ui.mainStatus.contains(lastReceiveStatus));
    QCOMPARE(dir->bytesReceived(), quint32(reply.size()));
    // The list is complete once, however the menu ended.
    QCOMPARE(program->frame(dir)->hintCount(0x20 | 0x10 | 4), 1);

    // A reload asks again and adds no second navigator item.
    QVERIFY(dir->OnUpdateReload());
    dir->OnReload();
    QVERIFY(!dir->OnUpdateReload());
    QTRY_VERIFY(program->idle());
    QCOMPARE(m_peer->requests, (QList<QByteArray>{"/menu\r\n", "/menu\r\n"}));
    QCOMPARE(listTitles(dir), list);
    QCOMPARE(navigatorTitles(dir), navigator);
    // The navigator items already there are not counted again.
    QCOMPARE(program->ui.mainStatus.last(),
             "Received " + QByteArray::number(list.size()) + " menu items ... done");
}

void tst_Documents::gopherPlusInfoBlocks()
{
    const QByteArray reply = "+-1\r\n"
                             "+INFO: " + menuLine('0', "First", "/first", "+")
                             + "+ADMIN:\r\n Admin: Joe\r\n Mod-Date: today\r\n"
                               "+INFO: " + menuLine('1', "Second dir", "/second", "+")
                             + "+ABSTRACT:\r\n Line one\r\n Line two\r\n.\r\n";
    auto program = makeProgram();
    auto *dir = openLoaded<CGopherDir>(*program, '1', "Plus", "/plus\t$", reply, Peer::Hold);
    QVERIFY(dir);

    QCOMPARE(m_peer->requests, QList<QByteArray>{QByteArray("/plus\t$\r\n")});
    QCOMPARE(listTitles(dir), (QList<QByteArray>{"First", "Second dir"}));
    QCOMPARE(dir->navigatorCount(), 0);
    QCOMPARE(dir->listItem(0).type, '0');
    QCOMPARE(dir->listItem(1).type, '1');
    QVERIFY(dir->listItem(0).IsGopherPlus());
    QVERIFY(dir->listItem(1).IsGopherPlus());
    QCOMPARE(dir->listItem(0).attributeText,
             QByteArray("Extended information:\r\nAdministrative info:\r\nAdmin: Joe\r\n"
                        "Mod-Date: today\r\n"));
    QCOMPARE(dir->listItem(1).attributeText,
             QByteArray("Extended information:\r\nAbstract:\r\nLine one\r\nLine two\r\n"));
    QCOMPARE(program->ui.mainStatus.last(), QByteArray("Received 2 menu items ... done"));
}

void tst_Documents::menuSplitMidLine()
{
    auto program = makeProgram();
    QPointer<CTarnwickDoc> doc = program->app.OpenItem(localItem('1', "Split", "/split",
                                                                 m_peer->port()), 0, 0);
    auto *dir = qobject_cast<CGopherDir *>(doc.data());
    QVERIFY(dir);
    QTRY_COMPARE(m_peer->requests.size(), 1);
    QTcpSocket *server = m_peer->connection(0);
    const QList<QByteArray> pieces{"0Fir", "st\t/f\t127.0.0.1\t70\r\n0Sec",
                                   "ond\t/s\t127.0.0.1\t70\r", "\n.\r\n"};
    quint32 sent = 0;

    // Each piece waits in the buffer until its line end has arrived.
    server->write(pieces.at(0));
    sent += quint32(pieces.at(0).size());
    QTRY_COMPARE(dir->bytesReceived(), sent);
    QCOMPARE(dir->listCount(), 0);
    server->write(pieces.at(1));
    sent += quint32(pieces.at(1).size());
    QTRY_COMPARE(dir->listCount(), 1);
    QCOMPARE(dir->bytesReceived(), sent);
    QCOMPARE(dir->listItem(0).title, QByteArray("First"));
    QCOMPARE(dir->listItem(0).selector, QByteArray("/f\r\n"));
    server->write(pieces.at(2));
    sent += quint32(pieces.at(2).size());
    QTRY_COMPARE(dir->bytesReceived(), sent);
    QCOMPARE(dir->listCount(), 2); // a CR ends the line; the LF that follows is skipped
    server->write(pieces.at(3));
    sent += quint32(pieces.at(3).size());
    QTRY_VERIFY(program->idle());
    QCOMPARE(listTitles(dir), (QList<QByteArray>{"First", "Second"}));
    QCOMPARE(dir->bytesReceived(), sent);
}

void tst_Documents::gopherPlusMenuRetry_data()
{
    QTest::addColumn<QByteArray>("firstReply");
    QTest::addColumn<bool>("firstHeld");
    QTest::addColumn<QByteArray>("retryReply");
    QTest::addColumn<int>("listCount");
    QTest::addColumn<QByteArray>("endStatus");

    const QByteArray found = menuLine('0', "Found", "/found", "+") + ".\r\n";
    QTest::newRow("retry finds the menu")
        << QByteArray() << false << found << 1 << QByteArray("Received 1 menu items ... done");
    QTest::newRow("retry empty too")
        << QByteArray() << false << QByteArray() << 0
        << QByteArray("Directory appears empty (received 0 bytes)");
    // The empty menu ends with its "." line, inside the read: the retry
    // starts there, and the end of the first transfer must not touch it.
    QTest::newRow("empty menu ends at its dot line, server holds")
        << QByteArray("+-1\r\n.\r\n") << true << found << 1
        << QByteArray("Received 1 menu items ... done");
    QTest::newRow("empty menu ends at its dot line, server closes")
        << QByteArray("+-1\r\n.\r\n") << false << found << 1
        << QByteArray("Received 1 menu items ... done");
}

void tst_Documents::gopherPlusMenuRetry()
{
    QFETCH(QByteArray, firstReply);
    QFETCH(bool, firstHeld);
    QFETCH(QByteArray, retryReply);
    QFETCH(int, listCount);
    QFETCH(QByteArray, endStatus);

    auto program = makeProgram();
    m_peer->route("/m\t+application/gopher+-menu", firstReply,
                  firstHeld ? Peer::Hold : Peer::Close);
    m_peer->route("/m\t$", retryReply);
    // An item whose view was chosen already: it is sent as it stands.
    CBookmark item = localItem('1', "Menu view", "/m\t+application/gopher+-menu", m_peer->port());
    item.SetGopherPlus(true);
    item.attributeText = "Extended information:\r\nExtended view info:\r\n";
    const QByteArray firstKey = item.GetURL();
    QPointer<CTarnwickDoc> doc = program->app.OpenItem(item, 0, 0);
    auto *dir = qobject_cast<CGopherDir *>(doc.data());
    QVERIFY(dir);
    QCOMPARE(doc->windowKey(), firstKey);
    QSignalSpy ended(doc, &CTarnwickDoc::transferEnded);

    QTRY_COMPARE(m_peer->requests.size(), 2);
    QTRY_VERIFY(program->idle());
    // One transfer, ended once, by the retry.
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended.at(0).at(0).toInt(), 0);
    QCOMPARE(m_peer->requests, (QList<QByteArray>{"/m\t+application/gopher+-menu\r\n",
                                                  "/m\t$\r\n"}));
    QVERIFY(program->ui.mainStatus.contains("Retrying directory ..."));
    QCOMPARE(program->ui.mainStatus.last(), endStatus);
    QCOMPARE(dir->listCount(), listCount);
    const QByteArray retryKey = "<URL=gopher://127.0.0.1:" + QByteArray::number(m_peer->port())
                                + "/1%2Fm%09$>";
    QCOMPARE(doc->windowKey(), retryKey);
    QVERIFY(program->windows.Find(retryKey));
    QVERIFY(!program->windows.Find(firstKey));
    // An empty reply to the "\t$" request is not retried again.
    QCOMPARE(program->ui.mainStatus.count("Retrying directory ..."), 1);
}

void tst_Documents::findUpwardWraps()
{
    auto program = makeProgram();
    auto *dir = openLoaded<CGopherDir>(*program, '1', "Fruit", "/fruit",
                                       menuLine('0', "apple", "/a") + menuLine('0', "banana", "/b")
                                           + menuLine('0', "apple pie", "/c") + ".\r\n");
    QVERIFY(dir);
    TestFrame *frame = program->frame(dir);
    const int select = 0x20 | 0x10 | 2;

    QCOMPARE(dir->findPosition(), 0);
    frame->hints.clear();
    dir->FindText("apple", false, false, false);
    QCOMPARE(frame->hints, (QList<std::array<int, 4>>{{select, 0, 0, 0}}));
    QCOMPARE(dir->findPosition(), -1);

    frame->hints.clear();
    dir->FindText("APPLE", false, false, false);
    QCOMPARE(frame->hints, (QList<std::array<int, 4>>{{select, 2, 0, 0}}));
    QCOMPARE(dir->findPosition(), 1);

    frame->hints.clear();
    dir->FindText("cherry", true, false, false);
    QVERIFY(frame->hints.isEmpty());
    QCOMPARE(program->messageTexts(), QList<QByteArray>{"Text not found"});
}

void tst_Documents::failureShownByDocument_data()
{
    QTest::addColumn<char>("type");
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<int>("openMode");
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QList<QByteArray>>("boxes");
    QTest::addColumn<Help>("help");
    QTest::addColumn<int>("endStatus");
    QTest::addColumn<int>("mark"); // a failed directory's navigator mark; 0: not looked at

    const QByteArray cantConnect("Can't connect to 127.0.0.1 : [10061] Connection refused");
    QTest::newRow("refused, text") << '0' << Loopback << true << 0 << cantConnect
                                   << QList<QByteArray>{RefusedBox} << Help::ConnectError
                                   << 10061 << 0;
    QTest::newRow("refused, menu") << '1' << Loopback << true << 0 << cantConnect
                                   << QList<QByteArray>{RefusedBox} << Help::ConnectError
                                   << 10061 << 0x90;
    // The home window closes; the status line must not go on saying
    // "Connecting to".
    QTest::newRow("only home gopher refused")
        << '1' << Loopback << true << int(CTarnwickDoc::HomeOpen) << cantConnect
        << QList<QByteArray>{RefusedBox, HomeGiveUp} << Help::ConnectError << -2 << 0;
    const QByteArray nulHost("127.0.0.1\0.evil.example", 23);
    QTest::newRow("NUL in the host")
        << '1' << nulHost << false << 0
        << "Hostname lookup failure for " + nulHost + " : [11001] Host not found"
        << QList<QByteArray>{"Hostname lookup failure for " + nulHost
                             + " :\n[11001] Host not found"}
        << Help::HostLookup << 11001 << 0;
}

// The engine hands a failure over; the document shows it after the socket
// handler has returned: the status line first, then the box with its help
// topic, and only then does the transfer end.
void tst_Documents::failureShownByDocument()
{
    QFETCH(char, type);
    QFETCH(QByteArray, host);
    QFETCH(bool, refused);
    QFETCH(int, openMode);
    QFETCH(QByteArray, status);
    QFETCH(QList<QByteArray>, boxes);
    QFETCH(Help, help);
    QFETCH(int, endStatus);
    QFETCH(int, mark);

    TestPorts::RefusingPort refusing;
    const quint16 port = refused ? refusing.port() : m_peer->port();
    if (openMode == CTarnwickDoc::HomeOpen)
        writeSettings("[Home Gopher]\r\nCount of Home Gophers=1\r\nHome Server 1=127.0.0.1\r\n"
                      "Home Port 1=" + QByteArray::number(port) + "\r\n");
    auto program = makeProgram();
    QPointer<CTarnwickDoc> doc = program->app.OpenItem(
        CBookmark(type, "Item", "/item", host, port), openMode, openMode ? 1 : 0);
    QVERIFY(doc);
    // How many boxes were up when the status changed and when the transfer ended.
    QList<std::pair<QByteArray, qsizetype>> statuses;
    qsizetype boxesAtEnd = -1;
    int ended = 0;
    connect(doc, &CTarnwickDoc::statusChanged, this, [&](const QByteArray &text) {
        statuses.append({text, program->ui.messages.size()});
    });
    connect(doc, &CTarnwickDoc::transferEnded, this, [&](int s) {
        ended = s;
        boxesAtEnd = program->ui.messages.size();
    });
    QVERIFY(program->ui.messages.isEmpty());

    QTRY_VERIFY(boxesAtEnd >= 0);
    QCOMPARE(ended, endStatus);
    QCOMPARE(program->messageTexts(), boxes);
    QCOMPARE(program->ui.messages.at(0).helpContext, help);
    QCOMPARE(program->ui.messages.at(0).icon, UserInterface::Exclamation);
    QVERIFY(!statuses.isEmpty());
    QCOMPARE(statuses.at(0), std::make_pair(status, qsizetype(0)));
    QCOMPARE(boxesAtEnd, qsizetype(1));
    QVERIFY(!program->ui.mainStatus.last().startsWith("Connecting to"));
    QVERIFY(m_peer->requests.isEmpty());
    QTRY_VERIFY(program->idle());
    if (mark) {
        // A failed directory keeps its window and marks its node.
        QVERIFY(doc && !program->frame(doc)->destroyed);
        QVERIFY(program->frame(doc)->hasHint(mark));
        QCOMPARE(program->ui.mainStatus.last(),
                 QByteArray("Directory appears empty (received 0 bytes)"));
    }
}

void tst_Documents::realPlainMenu()
{
    auto program = makeProgram();
    const quint16 port = m_tree.gophernicus().port();
    QPointer<CTarnwickDoc> doc = program->app.OpenItem(localItem('1', QByteArray(), QByteArray(),
                                                                 port), 0, 0);
    auto *dir = qobject_cast<CGopherDir *>(doc.data());
    QVERIFY(dir);
    QCOMPARE(doc->title(), "127.0.0.1:" + QByteArray::number(port));
    QTRY_VERIFY(program->idle());

    // Files go to the directory list, sub-directories to the navigator.
    QCOMPARE(listTitles(dir), (QList<QByteArray>{"data.bin", "hello.txt", "tabs.txt"}));
    QCOMPARE(dir->listItem(0).type, '9');
    QCOMPARE(dir->listItem(1).type, '0');
    QCOMPARE(dir->listItem(1).selector, QByteArray("/hello.txt\r\n"));
    QCOMPARE(dir->listItem(1).host, Loopback);
    QCOMPARE(dir->listItem(1).port, port);
    QVERIFY(!dir->listItem(1).IsGopherPlus());
    QCOMPARE(navigatorTitles(dir), (QList<QByteArray>{"docs", "more"}));
    QCOMPARE(dir->navigatorItem(1).selector, QByteArray("/more/\r\n"));
    QCOMPARE(program->ui.mainStatus.last(), QByteArray("Received 5 menu items ... done"));
    QCOMPARE(program->frame(doc)->hintCount(0x20 | 0x10 | 4), 1);
    QVERIFY(program->ui.messages.isEmpty());
}

void tst_Documents::realGopherPlusMenu()
{
    auto program = makeProgram();
    const quint16 port = m_tree.pygopherd().port();
    CBookmark root = localItem('1', "Plus root", QByteArray(), port);
    root.SetGopherPlus(true);
    QVERIFY(program->app.OpenItem(root, 0, 0));
    QTRY_VERIFY(program->idle());

    // First the attributes ("\t!"), then the menu ("\t$"), which pygopherd
    // ends by closing the connection: no "." line.
    QCOMPARE(program->opened.size(), 2);
    QCOMPARE(program->frames.frames.front()->templateId, int(TypeTable::InfoTemplate));
    auto *dir = qobject_cast<CGopherDir *>(program->opened.back().data());
    QVERIFY(dir);
    QCOMPARE(dir->item().selector, QByteArray("\t$\r\n"));
    QVERIFY(dir->item().attributeText.startsWith("Extended information:\r\n"));

    // Every "+INFO" item is in the list, the directories too and the last one
    // as well, each with its attributes.
    QCOMPARE(listTitles(dir), (QList<QByteArray>{"data", "docs", "hello", "more", "tabs"}));
    QCOMPARE(dir->navigatorCount(), 0);
    const QByteArray admin("Extended information:\r\nAdministrative info:\r\n"
                           "Admin: Unconfigured Pygopherd Admin <pygopherd@nowhere.nowhere>\r\n"
                           "Mod-Date: ");
    const QList<QByteArray> views{"application/octet-stream: <0k>", "application/gopher+-menu:",
                                  "text/plain: <0k>", "application/gopher+-menu:",
                                  "text/plain: <0k>"};
    for (int i = 0; i < dir->listCount(); ++i) {
        const CBookmark &item = dir->listItem(i);
        QVERIFY(item.IsGopherPlus());
        QVERIFY2(item.attributeText.startsWith(admin), item.attributeText.constData());
        const QByteArray viewInfo = "\r\nExtended view info:\r\n" + views.at(i) + "\r\n";
        QVERIFY(item.attributeText.endsWith(viewInfo));
        QCOMPARE(item.viewLines, QList<QByteArray>{views.at(i)});
    }
    QCOMPARE(dir->listItem(4).selector, QByteArray("/tabs.txt\r\n"));
    QCOMPARE(dir->listItem(1).type, '1');
    QCOMPARE(program->ui.mainStatus.last(), QByteArray("Received 5 menu items ... done"));
    QCOMPARE(program->frame(dir)->hintCount(0x20 | 0x10 | 4), 1);
    QVERIFY(program->ui.messages.isEmpty());
}

// ---------------------------------------------------------------------------
// Text document

void tst_Documents::textLines_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("hold");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<QByteArray>("status");

    // The server holds the connection: the "." line alone ends the text.
    QTest::newRow("two lines and the terminator")
        << QByteArray("one\r\ntwo\r\n.\r\n") << true << QList<QByteArray>{"one", "two", ""}
        << QByteArray("Received 3 lines ... done");
    QTest::newRow("last line without line end, then the close")
        << QByteArray("one\r\ntwo") << false << QList<QByteArray>{"one", "two"}
        << QByteArray("Received 2 lines ... done");
}

void tst_Documents::textLines()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, hold);
    QFETCH(QList<QByteArray>, lines);
    QFETCH(QByteArray, status);

    auto program = makeProgram();
    auto *text = openLoaded<CGopherTextDoc>(*program, '0', "Text", "/text", reply,
                                            hold ? Peer::Hold : Peer::Close);
    QVERIFY(text);

    QCOMPARE(text->store().GetLineCount(), int(lines.size()));
    for (int i = 0; i < lines.size(); ++i)
        QCOMPARE(text->store().GetLine(i), lines.at(i));
    QCOMPARE(program->ui.mainStatus.last(), status);
    if (hold) {
        QCOMPARE(program->ui.mainStatus.count(status), 1);
        QVERIFY(text->OnUpdateFileSave());
        QVERIFY(program->frame(text)->hasHint(CGopherTextDoc::CompleteHint));
    }
}

void tst_Documents::lineLimit_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("messages");
    QTest::addColumn<QByteArray>("lastLine");
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QByteArray>("cut");

    QTest::newRow("32,766 lines and the dot end normally")
        << 32766 << 0 << QByteArray() << QByteArray("Received 32767 lines ... done") << QByteArray();
    // A text cut short is not called done.
    QTest::newRow("40,000 lines stop at 32,767")
        << 40000 << 1 << QByteArray("line 32767")
        << QByteArray("Received 32767 lines ... stopped at the limit of 32,767 lines")
        << QByteArray("the text was cut at 32,767 lines");
}

void tst_Documents::lineLimit()
{
    QFETCH(int, lines);
    QFETCH(int, messages);
    QFETCH(QByteArray, lastLine);

    auto program = makeProgram();
    auto *text = openLoaded<CGopherTextDoc>(*program, '0', "Long", "/long",
                                            numberedLines(lines) + ".\r\n");
    QVERIFY(text);

    QCOMPARE(program->messageTexts().count(TooManyLines), messages);
    QCOMPARE(program->ui.messages.size(), messages);
    QCOMPARE(text->store().GetLineCount(), 32767);
    QCOMPARE(text->store().GetLine(32765), QByteArray("line 32766"));
    QCOMPARE(text->store().GetLine(32766), lastLine);
    QTEST(program->ui.mainStatus.last(), "status");
    QTEST(text->cutNotice(), "cut");
}

void tst_Documents::saveText_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("saved"); // empty: the file cannot be created

    QTest::newRow("marked range") << QStringLiteral("marked.txt") << QByteArray("brave\n");
    QTest::newRow("missing directory") << QStringLiteral("no/such/dir/t.txt") << QByteArray();
}

void tst_Documents::saveText()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, saved);

    auto program = makeProgram();
    auto *text = openLoaded<CGopherTextDoc>(*program, '0', "Brave", "/brave",
                                            "Hello brave new world\r\nsecond line\r\n.\r\n");
    QVERIFY(text);
    const QString path = m_dir->filePath(name);
    text->setMark(CGopherTextDoc::Marked, 0, 6, 0, 11);
    QVERIFY(text->OnUpdateFileSave());
    program->ui.fileDialogAnswers << path;
    text->OnFileSave();

    QFile file(path);
    if (saved.isEmpty()) {
        QCOMPARE(program->messageTexts(),
                 QList<QByteArray>{"Failed to create text file\n" + path.toUtf8()});
        QVERIFY(!file.exists());
        QVERIFY(!program->ui.mainStatus.last().startsWith("Sav"));
        return;
    }
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), saved);
    QVERIFY(program->ui.messages.isEmpty());
    QCOMPARE(program->ui.mainStatus.last(), "Saved 'Brave' in " + path.toUtf8() + " ... done");
    QVERIFY(program->ui.mainStatus.contains("Saving Brave"));
}

void tst_Documents::defaultSaveName_data()
{
    QTest::addColumn<QByteArray>("title");
    QTest::addColumn<QString>("name");

    QTest::newRow("year, slash, word with dots") << QByteArray("2024/Annual.Report.txt")
                                                 << QStringLiteral("annual.txt");
    QTest::newRow("cut to eight characters") << QByteArray("Quarterly_Figures.txt")
                                             << QStringLiteral("quarterl.txt");
    QTest::newRow("no allowed character") << QByteArray("!!!") << QStringLiteral(".txt");
}

void tst_Documents::defaultSaveName()
{
    QFETCH(QByteArray, title);
    QFETCH(QString, name);

    const QString downloads = m_dir->filePath(QStringLiteral("downloads"));
    writeSettings("[Directories]\r\nDownload directory=" + downloads.toUtf8() + "\r\n");
    auto program = makeProgram();
    auto *text = openLoaded<CGopherTextDoc>(*program, '0', title, "/report", "text\r\n.\r\n");
    QVERIFY(text);

    text->OnFileSave(); // cancelled: no answer
    QCOMPARE(program->ui.fileDialogs.size(), 1);
    const UserInterface::FileDialog &dialog = program->ui.fileDialogs.at(0);
    QVERIFY(dialog.save);
    QCOMPARE(dialog.initialName, name);
    QCOMPARE(dialog.title, QStringLiteral("Save Gopher Text File As"));
    QCOMPARE(dialog.filter, QStringLiteral("Text files (*.txt)|*.txt|All Files (*.*)|*.*||"));
    QCOMPARE(dialog.defaultExtension, QStringLiteral("txt"));
    QCOMPARE(dialog.initialDirectory, downloads);
    QVERIFY(dialog.promptOverwrite);
    QVERIFY(dialog.hideReadOnly);
    QVERIFY(program->ui.messages.isEmpty());
}

void tst_Documents::textNotFound()
{
    auto program = makeProgram();
    auto *text = openLoaded<CGopherTextDoc>(*program, '0', "T", "/t", "alpha\r\nbeta\r\n.\r\n");
    QVERIFY(text);
    TestFrame *frame = program->frame(text);

    frame->hints.clear();
    text->FindText("BETA", true, false, false);
    QCOMPARE(frame->hints, (QList<std::array<int, 4>>{{CGopherTextDoc::FoundHint, 1, 0, 4}}));
    text->FindText("gamma", true, false, false);
    QCOMPARE(program->messageTexts(), QList<QByteArray>{"Text not found"});
}

void tst_Documents::realText_data()
{
    QTest::addColumn<QByteArray>("selector");
    QTest::addColumn<bool>("gopherPlus");
    QTest::addColumn<QList<QByteArray>>("lines");

    QTest::newRow("two lines") << QByteArray("/hello.txt") << false
                               << QList<QByteArray>{"Hello", "World"};
    QTest::newRow("TAB, backslash, two dots kept") << QByteArray("/tabs.txt") << false
                                           << QList<QByteArray>{"a\tb\\c", "..two dots"};
    QTest::newRow("Gopher+ server") << QByteArray("/hello.txt") << true
                                    << QList<QByteArray>{"Hello", "World"};
}

void tst_Documents::realText()
{
    QFETCH(QByteArray, selector);
    QFETCH(bool, gopherPlus);
    QFETCH(QList<QByteArray>, lines);

    auto program = makeProgram();
    CBookmark item = localItem('0', "Real", selector,
                               gopherPlus ? m_tree.pygopherd().port()
                                          : m_tree.gophernicus().port());
    item.SetGopherPlus(gopherPlus);
    QVERIFY(program->app.OpenItem(item, 0, 0));
    QTRY_VERIFY(program->idle());
    auto *text = qobject_cast<CGopherTextDoc *>(program->opened.back().data());
    QVERIFY(text);

    QList<QByteArray> stored;
    for (int i = 0; i < text->store().GetLineCount(); ++i)
        stored.append(text->store().GetLine(i));
    QCOMPARE(stored, lines);
    QCOMPARE(program->ui.mainStatus.last(),
             "Received " + QByteArray::number(lines.size()) + " lines ... done");
    QVERIFY(program->ui.messages.isEmpty());
    QCOMPARE(program->windows.size(), 1);
    QVERIFY(program->windows.Find(text->windowKey()));
    if (!gopherPlus)
        return;
    QCOMPARE(program->opened.size(), 2);
    QVERIFY(!program->opened.front()); // the attribute document has gone
    QCOMPARE(text->item().selector, QByteArray("/hello.txt\t+\r\n"));
    QCOMPARE(text->item().viewLines, QList<QByteArray>{"text/plain: <0k>"});
    // pygopherd announces the size ("+12") and keeps its LF line ends.
    QCOMPARE(text->replyMode(), 2);
    QCOMPARE(text->item().itemSize, 12u);
    QVERIFY(program->ui.mainStatus.contains("Received 2 lines, 100.0%"));
}

// ---------------------------------------------------------------------------
// Opening items

void tst_Documents::openItemAgainRestoresWindow()
{
    auto program = makeProgram();
    auto *doc = openLoaded<CGopherTextDoc>(*program, '0', "T", "/t", "text\r\n.\r\n");
    QVERIFY(doc);
    TestFrame *frame = program->frame(doc);
    QCOMPARE(frame->activated, 0);

    QCOMPARE(program->app.OpenItem(localItem('0', "T", "/t", m_peer->port()), 0, 0), nullptr);
    QCOMPARE(program->ui.mainStatus.mid(program->ui.mainStatus.size() - 2),
             (QList<QByteArray>{"Restoring window", "Restored window"}));
    QCOMPARE(frame->activated, 1);
    QCOMPARE(program->opened.size(), 1);
    QCOMPARE(program->frames.frames.size(), size_t(1));
    QVERIFY(program->idle());
    QCOMPARE(m_peer->requests.size(), 1);
}

void tst_Documents::typesThatOpenNothing_data()
{
    QTest::addColumn<char>("type");
    QTest::addColumn<bool>("gopherPlus");

    QTest::newRow("3 server error") << '3' << false;
    QTest::newRow("i inline text") << 'i' << false;
    QTest::newRow("unknown letter") << 'x' << false;
    QTest::newRow("! unrecognised menu line") << '!' << false;
    QTest::newRow("Gopher+ item of type 3 with attributes") << '3' << true;
}

void tst_Documents::typesThatOpenNothing()
{
    QFETCH(char, type);
    QFETCH(bool, gopherPlus);

    auto program = makeProgram();
    CBookmark item = localItem(type, "Nothing", "/nothing", m_peer->port());
    if (gopherPlus) {
        item.SetGopherPlus(true);
        item.attributeText = "Extended information: <none>\r\n";
    }
    QCOMPARE(program->app.OpenItem(item, 0, 0), nullptr);
    QCOMPARE(program->engine.transactionCount(), 0);
    QVERIFY(program->idle());
    QVERIFY(program->opened.isEmpty());
    QVERIFY(program->frames.frames.empty());
    QCOMPARE(program->windows.size(), 0);
}

void tst_Documents::gopherPlusFetchesAttributesFirst_data()
{
    QTest::addColumn<char>("type");
    QTest::addColumn<QByteArray>("selector");
    QTest::addColumn<bool>("haveAttributes");
    QTest::addColumn<QList<QByteArray>>("requests");

    QTest::newRow("text: \\t! then \\t+")
        << '0' << QByteArray("/doc") << false
        << QList<QByteArray>{"/doc\t!\r\n", "/doc\t+\r\n"};
    QTest::newRow("directory: \\t! then \\t$")
        << '1' << QByteArray("/dir") << false
        << QList<QByteArray>{"/dir\t!\r\n", "/dir\t$\r\n"};
    QTest::newRow("selector with \\t+ gets no second marker")
        << '0' << QByteArray("/doc\t+") << false
        << QList<QByteArray>{"/doc\t!\r\n", "/doc\t+\r\n"};
    QTest::newRow("attributes known: \\t+ at once")
        << '0' << QByteArray("/doc") << true << QList<QByteArray>{"/doc\t+\r\n"};
    QTest::newRow("attributes known, \\t+ already there")
        << '0' << QByteArray("/doc\t+") << true << QList<QByteArray>{"/doc\t+\r\n"};
}

void tst_Documents::gopherPlusFetchesAttributesFirst()
{
    QFETCH(char, type);
    QFETCH(QByteArray, selector);
    QFETCH(bool, haveAttributes);
    QFETCH(QList<QByteArray>, requests);

    const QByteArray attributes = "+-1\r\n+INFO: " + menuLine(type, "Thing", "/x", "+")
                                  + "+ADMIN:\r\n Admin: Joe\r\n Mod-Date: today\r\n.\r\n";
    const QByteArray attributeText("Extended information:\r\nAdministrative info:\r\n"
                                   "Admin: Joe\r\nMod-Date: today\r\n");
    auto program = makeProgram();
    const QByteArray base = selector.left(4);
    m_peer->route(base + "\t!", attributes, Peer::Hold);
    m_peer->route(base + "\t+", "+-1\r\nHello\r\n.\r\n", Peer::Hold);
    m_peer->route(base + "\t$", "+-1\r\n" + menuLine('0', "Inside", "/in", "+") + ".\r\n",
                  Peer::Hold);

    CBookmark item = localItem(type, "Thing", selector, m_peer->port());
    item.SetGopherPlus(true);
    if (haveAttributes)
        item.attributeText = attributeText;
    const CBookmark untouched = item;
    CTarnwickDoc *first = program->app.OpenItem(item, 0, 0);
    QVERIFY(first);
    QCOMPARE(item.selector, untouched.selector); // OpenItem works on a copy
    QCOMPARE(item.type, untouched.type);

    QTRY_COMPARE(m_peer->requests.size(), requests.size());
    QTRY_VERIFY(program->idle());
    QCOMPARE(m_peer->requests, requests);
    QCOMPARE(program->opened.size(), requests.size());
    if (!haveAttributes) {
        QCOMPARE(program->frames.frames.front()->templateId, int(TypeTable::InfoTemplate));
        QTRY_VERIFY(!program->opened.front()); // the attribute document closed itself
        QVERIFY(program->frames.frames.front()->destroyed);
    }
    CTarnwickDoc *last = program->opened.back();
    QVERIFY(last);
    QCOMPARE(last->item().attributeText, attributeText);
    QCOMPARE(last->item().type, type);
    QCOMPARE(last->item().selector, requests.last());
    QCOMPARE(last->title(), QByteArray("Thing"));
    if (type == '0') {
        auto *text = qobject_cast<CGopherTextDoc *>(last);
        QVERIFY(text);
        QCOMPARE(text->store().GetLine(0), QByteArray("Hello"));
    } else {
        auto *dir = qobject_cast<CGopherDir *>(last);
        QVERIFY(dir);
        QCOMPARE(listTitles(dir), QList<QByteArray>{"Inside"});
    }
    QCOMPARE(program->windows.size(), 1);
    QVERIFY(program->windows.Find(last->windowKey()));
    QVERIFY(program->ui.messages.isEmpty());
}

void tst_Documents::attributeFetchFails_data()
{
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QList<QByteArray>>("messages");

    const QByteArray failed("Failed to retrieve extended information\n for 'Thing'");
    QTest::newRow("connection refused") << true << QList<QByteArray>{RefusedBox, failed};
    QTest::newRow("empty reply") << false << QList<QByteArray>{failed};
}

void tst_Documents::attributeFetchFails()
{
    QFETCH(bool, refused);
    QFETCH(QList<QByteArray>, messages);

    auto program = makeProgram();
    m_peer->route("/doc\t!", QByteArray());
    TestPorts::RefusingPort refusing;
    CBookmark item = localItem('0', "Thing", "/doc", refused ? refusing.port() : m_peer->port());
    item.SetGopherPlus(true);
    QPointer<CTarnwickDoc> doc = program->app.OpenItem(item, 0, 0);
    QVERIFY(qobject_cast<CExtInfoDoc *>(doc.data()));

    // Nothing is opened: the attribute window says so and goes away.
    QTRY_VERIFY(!doc);
    QVERIFY(program->idle());
    QCOMPARE(program->messageTexts(), messages);
    QCOMPARE(program->opened.size(), 1);
    QCOMPARE(program->windows.size(), 0);
    QCOMPARE(m_peer->requests.size(), refused ? 0 : 1);
}

// A server that never ends a menu line must not fill the memory; the menu
// goes on after the line ends.
void tst_Documents::endlessMenuLineIsDropped()
{
    RecordingUserInterface ui;
    CTarnwickApp app(ui);
    CGopherDir dir(app.context());
    bool done = false;
    dir.OnData("0first\t/a\th\t70\r\n", done);
    const QByteArray chunk(64 * 1024, 'x');
    for (int i = 0; i < 40; ++i) {
        dir.OnData(chunk, done);
        QVERIFY(dir.pendingBytes() <= CGopherDir::MaxMenuLine + chunk.size());
    }
    dir.OnData("tail\r\n0second\t/b\th\t70\r\n.\r\n", done);
    QVERIFY(done);
    QCOMPARE(dir.listCount(), 2);
    QCOMPARE(dir.listItem(1).title, QByteArray("second"));
}

void tst_Documents::endlessErrorTextKeepsItsHead()
{
    RecordingUserInterface ui;
    CTarnwickApp app(ui);
    CGopherTextDoc doc(app.context());
    bool done = false;
    doc.OnData("--2\r\n1 admin\r\n", done);
    const QByteArray chunk(64 * 1024, 'e');
    for (int i = 0; i < 40; ++i)
        doc.OnData(chunk, done);
    QVERIFY(doc.gopherPlusError());
    QVERIFY(doc.pendingBytes() <= CTarnwickDoc::MaxErrorText);
    QVERIFY(!done);
}

// ---------------------------------------------------------------------------
// One request at a time, each from a clean reply state

void tst_Documents::fetchLetsThePreviousTransactionGo()
{
    auto program = makeProgram();
    m_peer->route("/sub", menuLine('0', "Inner", "/inner") + ".\r\n");
    QPointer<CTarnwickDoc> doc = program->app.OpenItem(localItem('1', "Slow", "/slow",
                                                                 m_peer->port()), 0, 0);
    auto *dir = qobject_cast<CGopherDir *>(doc.data());
    QVERIFY(dir);
    QTRY_COMPARE(m_peer->requests.size(), 1);
    QPointer<QTcpSocket> first = m_peer->connection(0);
    first->write("1Sub\t/sub\t127.0.0.1\t" + QByteArray::number(m_peer->port()) + "\r\n");
    QTRY_COMPARE(dir->navigatorCount(), 1);

    // The navigator fetches the sub-directory while the menu still comes: the
    // first transfer no longer speaks for the document and is closed.
    dir->fetchNavigatorNode(0, false);
    QTRY_COMPARE(m_peer->requests.size(), 2);
    QCOMPARE(m_peer->requests.at(1), QByteArray("/sub\r\n"));
    QTRY_VERIFY(program->idle());
    QTRY_VERIFY(!first || first->state() == QAbstractSocket::UnconnectedState);
    QCOMPARE(listTitles(dir), QList<QByteArray>{"Inner"});
    QCOMPARE(program->ui.mainStatus.last(), QByteArray("Received 1 menu items ... done"));
}

void tst_Documents::homeRetryStartsAfresh()
{
    writeSettings("[Home Gopher]\r\nCount of Home Gophers=2\r\nHome Server 1=one.example\r\n"
                  "Home Server 2=two.example\r\nHome Selector 2=/two\r\nInitial Menu=Home\r\n");
    auto program = makeProgram();
    RecordingUserInterface &ui = program->ui;
    WindowRegistry &windows = program->windows;
    for (const QByteArray &first : {QByteArray("--1\r\n2 admin\r\nBusy"),
                                    QByteArray("+-1\r\n0Old\t/old\th\t70\r\n0Cut")}) {
        CGopherDir dir(program->app.context());
        dir.setOpenValues(CTarnwickDoc::HomeOpen, 1);
        QVERIFY(dir.Fetch(program->app.homeGophers().homeItem(1)));
        bool done = false;
        dir.OnData(first, done);
        // The first server breaks off; the other one is asked.
        dir.OnTransactionFailed(10054);
        QCOMPARE(dir.item().host, QByteArray("two.example"));
        QCOMPARE(dir.item().selector, QByteArray("/two\r\n"));
        QVERIFY(!dir.gopherPlusError());
        QCOMPARE(dir.listCount(), 0);
        QCOMPARE(dir.bytesReceived(), 0u);
        QCOMPARE(dir.pendingBytes(), 0);

        dir.OnData("0New\t/new\th\t70\r\n.\r\n", done);
        QVERIFY(done);
        QCOMPARE(listTitles(&dir), QList<QByteArray>{"New"});
        QCOMPARE(dir.lastStatus(), QByteArray("Received 1 menu items ... done"));
        QVERIFY(windows.Find(dir.windowKey()));
    }
    QVERIFY(ui.messages.isEmpty());
}

void tst_Documents::gopherPlusHome_data()
{
    QTest::addColumn<bool>("plus1");
    QTest::addColumn<bool>("reachable1");
    QTest::addColumn<bool>("plus2");
    QTest::addColumn<bool>("reachable2");
    QTest::addColumn<QList<QByteArray>>("requests");
    QTest::addColumn<int>("refusals");
    QTest::addColumn<QByteArray>("initialMenu");

    const QByteArray home("Home");
    QTest::newRow("Gopher+ home: attributes, then the menu in the home window")
        << true << true << false << false << QList<QByteArray>{"/h1\t!\r\n", "/h1\t$\r\n"} << 0
        << home;
    QTest::newRow("Gopher+ pair, first unreachable")
        << true << false << true << true << QList<QByteArray>{"/h2\t!\r\n", "/h2\t$\r\n"} << 1
        << home;
    QTest::newRow("Gopher+ first unreachable, plain second")
        << true << false << false << true << QList<QByteArray>{"/h2\r\n"} << 1 << home;
    QTest::newRow("plain first unreachable, Gopher+ second")
        << false << false << true << true << QList<QByteArray>{"/h2\t$\r\n"} << 1 << home;
    QTest::newRow("plain pair, first unreachable")
        << false << false << false << true << QList<QByteArray>{"/h2\r\n"} << 1
        << QByteArray("My Home");
    QTest::newRow("plain pair, first unreachable, empty initial menu: host and port")
        << false << false << false << true << QList<QByteArray>{"/h2\r\n"} << 1 << QByteArray();
    // The failures count across the attribute window and the menu window.
    QTest::newRow("Gopher+ first, plain second, both unreachable: two tries")
        << true << false << false << false << QList<QByteArray>() << 2 << home;
}

void tst_Documents::gopherPlusHome()
{
    QFETCH(bool, plus1);
    QFETCH(bool, reachable1);
    QFETCH(bool, plus2);
    QFETCH(bool, reachable2);
    QFETCH(QList<QByteArray>, requests);
    QFETCH(int, refusals);
    QFETCH(QByteArray, initialMenu);

    const QByteArray port = QByteArray::number(m_peer->port());
    for (const QByteArray &n : {QByteArray("1"), QByteArray("2")}) {
        m_peer->route("/h" + n + "\t!", "+-1\r\n+INFO: 1Home\t/h" + n + "\t127.0.0.1\t" + port
                                            + "\t+\r\n+ADMIN:\r\n Admin: Joe\r\n Mod-Date: today\r\n"
                                              ".\r\n");
        m_peer->route("/h" + n + "\t$", "+-1\r\n" + menuLine('0', "Inside", "/in", "+") + ".\r\n");
        m_peer->route("/h" + n, menuLine('0', "Inside", "/in") + ".\r\n");
    }
    TestPorts::RefusingPort refusing1;
    TestPorts::RefusingPort refusing2;
    const quint16 port1 = reachable1 ? m_peer->port() : refusing1.port();
    const quint16 port2 = reachable2 ? m_peer->port() : refusing2.port();
    writeSettings("[Home Gopher]\r\nCount of Home Gophers=2\r\n"
                  "Home Server 1=127.0.0.1\r\nHome Port 1=" + QByteArray::number(port1)
                  + "\r\nHome Selector 1=/h1\r\nPlus Server 1=" + (plus1 ? "1" : "0")
                  + "\r\nHome Server 2=127.0.0.1\r\nHome Port 2=" + QByteArray::number(port2)
                  + "\r\nHome Selector 2=/h2\r\nPlus Server 2=" + (plus2 ? "1" : "0")
                  + "\r\nInitial Menu=" + initialMenu + "\r\n");
    auto program = makeProgram();
    const CBookmark home1 = program->app.homeGophers().homeItem(1);
    QVERIFY(program->app.OpenItem(home1, CTarnwickDoc::HomeOpen, 1));
    if (!plus1)
        QVERIFY(program->windows.Find(home1.GetURL()));
    QTRY_VERIFY(program->idle());

    QCOMPARE(m_peer->requests, requests);
    QCOMPARE(program->messageTexts().count(RefusedBox), refusals);
    if (requests.isEmpty()) {
        QCOMPARE(program->messageTexts().last(), HomeGiveUp);
        QCOMPARE(program->ui.homeServerSetupCount, 1);
        for (const auto &doc : std::as_const(program->opened))
            QTRY_VERIFY(!doc);
        return;
    }
    // The menu opens as the home window: stacked by "Home Type", and able to
    // try the other server itself.
    auto *dir = qobject_cast<CGopherDir *>(program->opened.back().data());
    QVERIFY(dir);
    QCOMPARE(listTitles(dir), QList<QByteArray>{"Inside"});
    QCOMPARE(dir->openMode(), int(CTarnwickDoc::HomeOpen));
    QCOMPARE(dir->secondValue(), qintptr(1));
    QCOMPARE(dir->title(), initialMenu.isEmpty() ? "127.0.0.1:" + port : initialMenu);
    QCOMPARE(program->windows.size(), 1);
    QCOMPARE(program->ui.homeServerSetupCount, 0);
    // "Home Gopher" finds the home window of server 1 to open it anew.
    if (reachable1)
        QVERIFY(program->windows.Find(program->app.windowKeyOf(home1)));
    if (!plus1 && !plus2) {
        // The window is now known by the server that answered.
        QCOMPARE(dir->windowKey(), "<URL=gopher://127.0.0.1:" + port + "/1%2Fh2>");
        QVERIFY(program->windows.Find(dir->windowKey()));
        QVERIFY(!program->windows.Find(home1.GetURL()));
        QCOMPARE(program->messageTexts(), QList<QByteArray>{RefusedBox});
    }
}

void tst_Documents::homePortRule()
{
    // A port beyond what TCP can name reads as the default port, for the
    // retry as for the pick at start-up: never cut to 16 bits, which here
    // would reach the test's own server.
    TestPorts::RefusingPort refusing1;
    const quint16 port1 = refusing1.port();
    m_peer->route("/two", menuLine('0', "Wrong", "/w") + ".\r\n");
    writeSettings("[Home Gopher]\r\nCount of Home Gophers=2\r\nHome Server 1=127.0.0.1\r\n"
                  "Home Port 1=" + QByteArray::number(port1)
                  + "\r\nHome Server 2=127.0.0.1\r\nHome Port 2="
                  + QByteArray::number(m_peer->port() + 65536) + "\r\nHome Selector 2=/two\r\n");
    auto program = makeProgram();
    QCOMPARE(program->app.homeGophers().homeItem(2).port, quint16(70));
    QPointer<CTarnwickDoc> doc = program->app.OpenItem(program->app.homeGophers().homeItem(1),
                                                       CTarnwickDoc::HomeOpen, 1);
    QVERIFY(doc);
    TestFrame *frame = program->frame(doc);
    QTRY_COMPARE(frame->ports.size(), 2);
    QCOMPARE(frame->ports, (QList<int>{port1, 70}));
    if (doc)
        doc->cancelTransfer();
    QVERIFY(m_peer->requests.isEmpty());
}

void tst_Documents::failureMarkOfStatus_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("mark");

    QTest::newRow("timed out") << 10060 << 0x110;
    QTest::newRow("refused") << 10061 << 0x90;
    QTest::newRow("host not found, try again") << 11002 << 0x50;
    QTest::newRow("any other failure") << 10054 << 0x210;
    QTest::newRow("stopped") << -1 << 0x430;
    QTest::newRow("ended normally") << 0 << 0;
}

// How a fetch ended decides the mark the navigator shows on its node.
void tst_Documents::failureMarkOfStatus()
{
    QFETCH(int, status);
    QFETCH(int, mark);

    RecordingUserInterface ui;
    CTarnwickApp app(ui);
    QPointer<CGopherDir> dir = new CGopherDir(app.context());
    QList<int> marks;
    connect(dir, &CTarnwickDoc::updateAllViews, this, [&marks](int hint) {
        if (hint & 0x7C0)
            marks.append(hint);
    });
    QSignalSpy ended(dir, &CTarnwickDoc::transferEnded);
    QVERIFY(dir->Fetch(CBookmark('1', "Dir", "/d", "h", 70)));
    if (status > 0)
        dir->OnTransactionFailed(status);
    else if (status < 0)
        dir->OnTransactionCancelled();
    else
        dir->FinishTransfer();

    QCOMPARE(marks, mark ? QList<int>{mark} : QList<int>());
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended.at(0).at(0).toInt(), status);
    delete dir;
}

void tst_Documents::stoppedTransfer_data()
{
    QTest::addColumn<char>("type");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<int>("kept");

    QTest::newRow("directory") << '1' << menuLine('0', "A", "/a") + "0Cut" << 1;
    QTest::newRow("text") << '0' << QByteArray("one\r\ntw") << 2;
}

// Stop says so: not "done", not "empty"; what arrived stays.
void tst_Documents::stoppedTransfer()
{
    QFETCH(char, type);
    QFETCH(QByteArray, sent);
    QFETCH(int, kept);

    auto program = makeProgram();
    QPointer<CTarnwickDoc> doc = program->app.OpenItem(localItem(type, "Held", "/held",
                                                                 m_peer->port()), 0, 0);
    QVERIFY(doc);
    QSignalSpy ended(doc, &CTarnwickDoc::transferEnded);
    QTRY_COMPARE(m_peer->requests.size(), 1);
    m_peer->connection(0)->write(sent);
    QTRY_VERIFY(doc->lastStatus().startsWith("Received"));
    doc->cancelTransfer();
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended.at(0).at(0).toInt(), -1);
    QCOMPARE(doc->lastStatus(), QByteArray("Transfer stopped"));
    if (auto *dir = qobject_cast<CGopherDir *>(doc.data())) {
        QCOMPARE(dir->listCount(), kept);
        // The navigator marks the node; the window stays.
        QVERIFY(program->frame(doc)->hasHint(0x430));
        QVERIFY(!program->frame(doc)->destroyed);
    } else {
        QCOMPARE(qobject_cast<CGopherTextDoc *>(doc.data())->store().GetLineCount(), kept);
    }
}

QTEST_GUILESS_MAIN(tst_Documents)

#include "tst_documents.moc"
