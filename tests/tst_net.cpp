#include "documents/userinterface.h"
#include "net/transaction.h"
#include "net/transactionengine.h"
#include "net/transactionfailure.h"
#include "net/transactionregistry.h"
#include "net/winsockerrors.h"
#include "tests/support/loopbackpeer.h"
#include "tests/support/ports.h"

#include <QHostAddress>
#include <QEventLoop>
#include <QHostInfo>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

const QByteArray loopback("127.0.0.1");

// A user interface whose message box runs its own event loop until the test
// says the box may close, as a real modal box does while the user reads it.
class NestedLoopUserInterface : public RecordingUserInterface
{
public:
    int messageBox(const QByteArray &text, Icon icon, Buttons buttons, Help helpContext) override
    {
        const int answer = RecordingUserInterface::messageBox(text, icon, buttons, helpContext);
        if (!closeWhen)
            return answer;
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (closeWhen())
                loop.quit();
        });
        poll.start(5);
        // A box nobody may close would hang the suite: give up, and say so.
        QTimer::singleShot(20000, &loop, [&] {
            ++boxesGivenUp;
            loop.quit();
        });
        ++openBoxes;
        loop.exec();
        --openBoxes;
        return answer;
    }

    std::function<bool()> closeWhen;
    int openBoxes = 0;
    int boxesGivenUp = 0;
};

// A document as the engine sees it: it keeps every callback, shows a failure
// the way the document base does (status line, notice, box), and notices any
// call that comes after the transfer has ended, after it went away, while one
// of its own boxes is open, or while it is still inside its own OnData.
class FakeDocument : public TransactionClient
{
public:
    FakeDocument(const QByteArray &host, quint16 port, const QByteArray &selector,
                 NestedLoopUserInterface *userInterface)
        : ui(userInterface)
    {
        item.type = '0';
        item.host = host;
        item.port = port;
        item.selector = selector;
    }

    const CBookmark &GetItem() const override { return item; }
    void setTransactionKey(int key) override { transactionKey = key; }
    void OnData(const QByteArray &bytes, bool &done) override
    {
        noteCall();
        if (inOnData)
            ++reentered;
        ++inOnData;
        data += bytes;
        ++chunks;
        if (doneAfter >= 0 && data.size() >= doneAfter)
            done = true;
        if (onData)
            onData();
        --inOnData;
    }
    void SetStatus(const QByteArray &text) override
    {
        noteCall();
        statuses.append(text);
    }
    void FinishTransfer() override
    {
        noteCall();
        ++finished;
        bytesAtFinish = data.size();
        if (onFinish)
            onFinish();
    }
    void OnTransactionFailed(const TransactionFailure &failure) override
    {
        noteCall();
        reports.append(failure);
        // Shown as the document base shows it.
        if (!failure.status.isEmpty())
            statuses.append(failure.status);
        ++ownBoxes;
        if (!failure.notice.isEmpty())
            ui->messageBox(failure.notice, UserInterface::NoIcon, UserInterface::Ok, Help::None);
        ui->messageBox(failure.text, UserInterface::Exclamation, UserInterface::Ok, failure.help);
        --ownBoxes;
        // Without a socket nothing was started, so nothing ended.
        if (failure.stage != TransactionFailure::Stage::Socket)
            failures.append(failure.code);
    }
    void OnTransactionCancelled() override
    {
        noteCall();
        ++cancelled;
    }

    int endings() const { return finished + int(failures.size()) + cancelled; }
    void showBox(const QByteArray &text)
    {
        ++ownBoxes;
        ui->messageBox(text, UserInterface::Information, UserInterface::Ok, Help::None);
        --ownBoxes;
    }
    bool sawStatusStarting(const QByteArray &head) const
    {
        for (const QByteArray &s : statuses) {
            if (s.startsWith(head))
                return true;
        }
        return false;
    }

    NestedLoopUserInterface *ui;
    CBookmark item;
    int transactionKey = 0;
    QByteArray data;
    int chunks = 0;
    qint64 doneAfter = -1;
    // Run inside OnData and FinishTransfer; a box they open is the
    // document's own (showBox).
    std::function<void()> onData;
    std::function<void()> onFinish;
    QList<QByteArray> statuses;
    int finished = 0;
    qint64 bytesAtFinish = -1;
    QList<int> failures;
    QList<TransactionFailure> reports;
    int cancelled = 0;
    int calls = 0;
    int callsAfterEnd = 0;
    int callsDuringOwnBox = 0;
    int ownBoxes = 0;
    int inOnData = 0;
    int reentered = 0;
    bool gone = false;
    int callsWhileGone = 0;

private:
    void noteCall()
    {
        ++calls;
        if (ownBoxes > 0)
            ++callsDuringOwnBox;
        if (gone)
            ++callsWhileGone;
        if (endings() > 0)
            ++callsAfterEnd;
    }
};

QHostAddress loopbackAddress()
{
    return QHostAddress(QHostAddress::LocalHost);
}

} // namespace

class tst_Net : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void winSockErrorText_data();
    void winSockErrorText();
    void errnoMapping_data();
    void errnoMapping();

    void shortRequestFromDottedHost();
    void blockedSendResumesOnWriteEvent();
    void uploadTerminator_data();
    void uploadTerminator();
    void uploadShorterThanAnnounced();
    void replyEnds_data();
    void replyEnds();
    void resetIsAFailure_data();
    void resetIsAFailure();
    void newRequestDropsTheOldOne();

    void nameLookedUpOnceThenCached();
    void autoStripDots_data();
    void autoStripDots();
    void lookUpWithoutUsableAddress();
    void connectionRefused_data();
    void connectionRefused();
    void ipv6Connects_data();
    void ipv6Connects();
    void unknownErrorCode();
    void hostNotFound_data();
    void hostNotFound();

    void secondStopDoesNothing();
    void stopAll_data();
    void stopAll();
    void cancelledTransactionEventsAbsorbed_data();
    void cancelledTransactionEventsAbsorbed();
    void documentGoneWhileLive_data();
    void documentGoneWhileLive();
    void failureOnItsWay_data();
    void failureOnItsWay();
    void socketCreationFailure();
    void boxRunsEventLoop_data();
    void boxRunsEventLoop();
    void engineDestroyedWhileLive_data();
    void engineDestroyedWhileLive();

private:
    int fetch(FakeDocument &doc, int uploadFile = -1, qint64 uploadLength = 0,
              bool appendTerminator = true)
    {
        return m_engine->StartTransaction(&doc, uploadFile, uploadLength, appendTerminator);
    }
    // The peer must be listening before a document is pointed at it.
    FakeDocument *newDocument(const QByteArray &selector, const QByteArray &host = loopback)
    {
        return newDocumentAt(selector, host, m_peer->port());
    }
    FakeDocument *newDocumentAt(const QByteArray &selector, const QByteArray &host, quint16 port)
    {
        m_documents.push_back(std::make_unique<FakeDocument>(host, port, selector, m_ui.get()));
        return m_documents.back().get();
    }
    // How the peer answers every request.
    void answer(const QByteArray &reply, LoopbackPeer::End end = LoopbackPeer::Close,
                qint64 streamBytes = 0)
    {
        m_peer->answerAll(reply, end, streamBytes);
    }
    // A read-only descriptor of a new file in the test's directory; -1 on failure.
    int uploadFile(const QString &name, const QByteArray &content);
    // Nothing left in the engine: no transaction, no registered document.
    bool engineIdle() const
    {
        return m_engine->transactionCount() == 0 && m_engine->registry().documentCount() == 0;
    }
    // The one box shown so far, with OK as its only button.
    static void checkOnlyBox(const NestedLoopUserInterface &ui, const QByteArray &text,
                             Help help, UserInterface::Icon icon = UserInterface::Exclamation);
    // A later transfer runs to its end, and the failed document hears nothing more.
    void checkNothingLate(const FakeDocument *failed);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<NestedLoopUserInterface> m_ui;
    std::unique_ptr<LoopbackPeer> m_peer;
    std::unique_ptr<TransactionEngine> m_engine;
    std::vector<std::unique_ptr<FakeDocument>> m_documents;
};

void tst_Net::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_Net::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_ui = std::make_unique<NestedLoopUserInterface>();
    m_peer = std::make_unique<LoopbackPeer>();
    QVERIFY(m_peer->isListening());
    answer(QByteArray());
    m_engine = std::make_unique<TransactionEngine>();
}

// Runs after a failed test too, with transfers still live and the peer's
// connections still open.
void tst_Net::cleanup()
{
    // The engine goes first: it never calls a document while it is destroyed.
    m_engine.reset();
    m_documents.clear();
    m_peer.reset();
    m_ui.reset();
    m_dir.reset();
}

void tst_Net::winSockErrorText_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("host not found") << 11001 << QByteArray("[11001] Host not found");
    QTest::newRow("10000 reads as no error") << 10000 << QByteArray("[0] No Error");
    QTest::newRow("comma and colon")
        << 11003 << QByteArray("[11003] Non-Recoverable errors: FORMERR, REFUSED, NOTIMP");
    QTest::newRow("no data") << 11004
                             << QByteArray("[11004] Valid name, no data record of requested type");
    QTest::newRow("10100 has no text") << 10100 << QByteArray("Unspecified WinSock error 10100");
    QTest::newRow("gap in the table") << 10072 << QByteArray("Unspecified WinSock error 10072");
    QTest::newRow("negative") << -1 << QByteArray("Unspecified WinSock error -1");
}

void tst_Net::winSockErrorText()
{
    QFETCH(int, code);
    QFETCH(QByteArray, text);
    QCOMPARE(GetWinSockErrorText(code), text);
}

void tst_Net::errnoMapping_data()
{
    QTest::addColumn<int>("errnoValue");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("text");

    // What each system error means on a socket here, said in the classic
    // codes' words.
    const auto row = [](const char *name, int e, int code, const char *text) {
        QTest::newRow(name) << e << code << QByteArray(text);
    };
    row("EINTR", EINTR, 10004, "[10004] Interrupted system call");
    row("EBADF", EBADF, 10009, "[10009] Bad file number");
    row("EACCES", EACCES, 10013, "[10013] Permission denied");
    row("EPERM, a firewall rule refused", EPERM, 10013, "[10013] Permission denied");
    row("EFAULT", EFAULT, 10014, "[10014] Bad address");
    row("EINVAL", EINVAL, 10022, "[10022] Invalid argument");
    row("EMFILE", EMFILE, 10024, "[10024] Too many open files");
    row("ENFILE, the system's table is full", ENFILE, 10024, "[10024] Too many open files");
    row("EAGAIN (EWOULDBLOCK)", EAGAIN, 10035, "[10035] Operation would block");
    row("EINPROGRESS", EINPROGRESS, 10036, "[10036] Operation now in progress");
    row("EALREADY", EALREADY, 10037, "[10037] Operation already in progress");
    row("ENOTSOCK", ENOTSOCK, 10038, "[10038] Socket operation on non-socket");
    row("EDESTADDRREQ", EDESTADDRREQ, 10039, "[10039] Destination address required");
    row("EMSGSIZE", EMSGSIZE, 10040, "[10040] Message too long");
    row("EPROTOTYPE", EPROTOTYPE, 10041, "[10041] Protocol wrong type for socket");
    row("ENOPROTOOPT", ENOPROTOOPT, 10042, "[10042] Bad protocol option");
    row("EPROTONOSUPPORT", EPROTONOSUPPORT, 10043, "[10043] Protocol not supported");
    row("ESOCKTNOSUPPORT", ESOCKTNOSUPPORT, 10044, "[10044] Socket type not supported");
    row("EOPNOTSUPP", EOPNOTSUPP, 10045, "[10045] Operation not supported on socket");
    row("EPFNOSUPPORT", EPFNOSUPPORT, 10046, "[10046] Protocol family not supported");
    row("EAFNOSUPPORT", EAFNOSUPPORT, 10047,
        "[10047] Address family not supported by protocol family");
    row("EADDRINUSE", EADDRINUSE, 10048, "[10048] Address already in use");
    row("EADDRNOTAVAIL", EADDRNOTAVAIL, 10049, "[10049] Can't assign requested address");
    row("ENETDOWN", ENETDOWN, 10050, "[10050] Network is down");
    row("ENETUNREACH", ENETUNREACH, 10051, "[10051] Network is unreachable");
    row("ENETRESET", ENETRESET, 10052, "[10052] Net dropped connection or reset");
    row("ECONNABORTED", ECONNABORTED, 10053, "[10053] Software caused connection abort");
    row("ECONNRESET", ECONNRESET, 10054, "[10054] Connection reset by peer");
    row("EPIPE, sending after the peer reset", EPIPE, 10054, "[10054] Connection reset by peer");
    row("ENOBUFS", ENOBUFS, 10055, "[10055] No buffer space available");
    row("ENOMEM", ENOMEM, 10055, "[10055] No buffer space available");
    row("EISCONN", EISCONN, 10056, "[10056] Socket is already connected");
    row("ENOTCONN", ENOTCONN, 10057, "[10057] Socket is not connected");
    row("ESHUTDOWN", ESHUTDOWN, 10058, "[10058] Can't send after socket shutdown");
    row("ETOOMANYREFS", ETOOMANYREFS, 10059, "[10059] Too many references, can't splice");
    row("ETIMEDOUT", ETIMEDOUT, 10060, "[10060] Connection timed out");
    row("ECONNREFUSED", ECONNREFUSED, 10061, "[10061] Connection refused");
    row("ELOOP", ELOOP, 10062, "[10062] Too many levels of symbolic links");
    row("ENAMETOOLONG", ENAMETOOLONG, 10063, "[10063] File name too long");
    row("EHOSTDOWN", EHOSTDOWN, 10064, "[10064] Host is down");
    row("EHOSTUNREACH", EHOSTUNREACH, 10065, "[10065] No Route to Host");
    row("ENOTEMPTY", ENOTEMPTY, 10066, "[10066] Directory not empty");
    row("EUSERS", EUSERS, 10068, "[10068] Too many users");
    row("EDQUOT", EDQUOT, 10069, "[10069] Disc Quota Exceeded");
    row("ESTALE", ESTALE, 10070, "[10070] Stale NFS file handle");
    row("EREMOTE", EREMOTE, 10071, "[10071] Too many levels of remote in path");
    // No classic code means these; they must not borrow another code's text.
    for (int e : {EPROTO, ENODATA, EIO, ENOENT, 0}) {
        const QByteArray text = "Unspecified WinSock error " + QByteArray::number(e);
        const QByteArray name = "errno " + QByteArray::number(e) + " has no text";
        row(name.constData(), e, e, text.constData());
    }
}

void tst_Net::errnoMapping()
{
    QFETCH(int, errnoValue);
    QFETCH(int, code);
    QFETCH(QByteArray, text);
    QCOMPARE(winSockErrorFromErrno(errnoValue), code);
    QCOMPARE(GetWinSockErrorText(winSockErrorFromErrno(errnoValue)), text);
}

// A dotted address is connected without a look-up; a request of 10 bytes is
// sent whole and counted once.
void tst_Net::shortRequestFromDottedHost()
{
    answer(QByteArray(), LoopbackPeer::Hold);
    FakeDocument *doc = newDocument(QByteArray("abcdefgh\r\n"));
    const int key = fetch(*doc);
    QCOMPARE(key, 1);
    QCOMPARE(doc->transactionKey, key);
    QCOMPARE(m_engine->registry().documentCount(), 1);

    QTRY_VERIFY(doc->statuses.contains(QByteArray("Sent request to 127.0.0.1")));
    QTRY_COMPARE(m_peer->count(), 1);
    QTRY_COMPARE(m_peer->at(0).received, QByteArray("abcdefgh\r\n"));
    const CTransaction *t = m_engine->registry().FindTransaction(key);
    QVERIFY(t);
    QCOMPARE(t->bytesSent, 10u);
    QCOMPARE(t->bytesToSend, qint64(10));
    QCOMPARE(t->state, int(CTransaction::Sent));
    QCOMPARE(doc->statuses,
             QList<QByteArray>({"Connecting to 127.0.0.1", "Connected to 127.0.0.1",
                                "Sent request to 127.0.0.1"}));

    m_peer->send(0, QByteArray("iHello\tx\terror.host\t1\r\n.\r\n"));
    m_peer->close(0);
    QTRY_COMPARE(doc->finished, 1);
    QCOMPARE(doc->data, QByteArray("iHello\tx\terror.host\t1\r\n.\r\n"));
    QVERIFY(doc->failures.isEmpty());
    QCOMPARE(doc->callsAfterEnd, 0);
    QVERIFY(m_engine->hostCache().isEmpty());
    QVERIFY(m_ui->messages.isEmpty());
    QTRY_VERIFY(engineIdle());
}

// A request far larger than the socket buffers: the send blocks, the status
// shows the counts, and the rest goes out as the peer starts reading.
void tst_Net::blockedSendResumesOnWriteEvent()
{
    const qint64 bodyLength = 16 * 1024 * 1024;
    QByteArray selector(bodyLength, Qt::Uninitialized);
    for (qint64 i = 0; i < bodyLength; ++i)
        selector[i] = char('a' + i % 26);
    selector += "\r\n";
    const qint64 total = selector.size();

    m_peer->holdReading = true;
    m_peer->requestLength = total;
    answer(QByteArray("done\r\n"));
    FakeDocument *doc = newDocument(selector);
    const int key = fetch(*doc);
    QVERIFY(key > 0);

    const QRegularExpression progress(QStringLiteral("^Sent (\\d+) of (\\d+) bytes of request to 127\\.0\\.0\\.1$"));
    auto blockedCount = [&]() -> qint64 {
        for (qsizetype i = doc->statuses.size() - 1; i >= 0; --i) {
            const auto match = progress.match(QString::fromLatin1(doc->statuses.at(i)));
            if (match.hasMatch())
                return match.captured(1).toLongLong();
        }
        return -1;
    };
    QTRY_VERIFY(blockedCount() > 0);
    const CTransaction *t = m_engine->registry().FindTransaction(key);
    QVERIFY(t);
    QCOMPARE(t->state, int(CTransaction::SendBlocked));
    const qint64 sentSoFar = blockedCount();
    QVERIFY(sentSoFar < total);
    QCOMPARE(qint64(t->bytesSent), sentSoFar);
    QVERIFY(!doc->statuses.contains(QByteArray("Sent request to 127.0.0.1")));
    const QByteArray expected = QByteArray("Sent ") + QByteArray::number(sentSoFar) + " of "
                                + QByteArray::number(total) + " bytes of request to 127.0.0.1";
    QVERIFY(doc->statuses.contains(expected));

    m_peer->releaseReading();
    QTRY_COMPARE_WITH_TIMEOUT(doc->finished, 1, 15000);
    QCOMPARE(qint64(m_peer->at(0).received.size()), total);
    QVERIFY(m_peer->at(0).received == selector);
    QCOMPARE(doc->data, QByteArray("done\r\n"));
    QVERIFY(doc->failures.isEmpty());
    QVERIFY(doc->statuses.contains(QByteArray("Sent request to 127.0.0.1")));

    // The progress never goes backwards and never passes the total.
    qint64 last = 0;
    for (const QByteArray &s : std::as_const(doc->statuses)) {
        const auto match = progress.match(QString::fromLatin1(s));
        if (!match.hasMatch())
            continue;
        const qint64 n = match.captured(1).toLongLong();
        QCOMPARE(match.captured(2).toLongLong(), total);
        QVERIFY(n >= last && n < total);
        last = n;
    }
    QTRY_COMPARE(m_engine->transactionCount(), 0);
}

void tst_Net::uploadTerminator_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("appendTerminator");
    QTest::addColumn<QByteArray>("terminator");

    QTest::newRow("last byte LF") << QByteArray("name=x\r\nline two\n") << true
                                  << QByteArray(".\r\n");
    QTest::newRow("last byte CR LF") << QByteArray("one\r\ntwo\r\n") << true << QByteArray(".\r\n");
    QTest::newRow("no line end") << QByteArray("abc") << true << QByteArray("\r\n.\r\n");
    QTest::newRow("terminator off, LF at end") << QByteArray("abc\n") << false << QByteArray();
    QTest::newRow("terminator off, binary")
        << QByteArray("\x00\x01\xff\r", 4) << false << QByteArray();
    QTest::newRow("several chunks, no line end")
        << LoopbackPeer::pattern(0, 3 * 1024 * 1024 + 17) + QByteArray("z") << true
        << QByteArray("\r\n.\r\n");
    QTest::newRow("several chunks, LF at end")
        << LoopbackPeer::pattern(5, 1024 * 1024) + QByteArray("\n") << true << QByteArray(".\r\n");
    QTest::newRow("several chunks, terminator off")
        << LoopbackPeer::pattern(7, 2 * 1024 * 1024) << false << QByteArray();
}

void tst_Net::uploadTerminator()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, appendTerminator);
    QFETCH(QByteArray, terminator);

    const int fd = uploadFile(QStringLiteral("upload.bin"), content);
    QVERIFY(fd >= 0);

    const QByteArray selector("ask\t+\t1\r\n+-1\r\n");
    const QByteArray expected = selector + content + terminator;
    // The peer answers once the whole upload is in and keeps the line open, so
    // that anything sent beyond it would still be seen.
    m_peer->requestLength = expected.size();
    const QByteArray reply("+-1\r\nThanks\r\n");
    answer(reply, LoopbackPeer::Hold);
    FakeDocument *doc = newDocument(selector);
    doc->doneAfter = reply.size();
    const int key = fetch(*doc, fd, content.size(), appendTerminator);
    QVERIFY(key > 0);
    QCOMPARE(m_engine->registry().FindTransaction(key)->bytesToSend,
             qint64(selector.size() + content.size()));

    QTRY_COMPARE_WITH_TIMEOUT(doc->finished, 1, 10000);
    QCOMPARE(doc->data, reply);
    QVERIFY(doc->failures.isEmpty());
    QVERIFY(m_ui->messages.isEmpty());
    QCOMPARE(doc->statuses.last(), QByteArray("Sent request to 127.0.0.1"));
    QTRY_VERIFY(m_peer->at(0).disconnected);
    QCOMPARE(m_peer->at(0).received.size(), expected.size());
    QVERIFY(m_peer->at(0).received == expected);
    QTRY_COMPARE(m_engine->transactionCount(), 0);
}

// A file that ends before its announced length must not leave the send
// waiting forever, and must not end as a success either.
void tst_Net::uploadShorterThanAnnounced()
{
    const int fd = uploadFile(QStringLiteral("short.txt"), "12345");
    QVERIFY(fd >= 0);

    answer(QByteArray(), LoopbackPeer::Hold);
    FakeDocument *doc = newDocument(QByteArray("up\r\n"));
    QVERIFY(fetch(*doc, fd, 10, true) > 0);

    QTRY_COMPARE(doc->failures.size(), 1);
    QCOMPARE(m_ui->messages.size(), 2);
    QCOMPARE(m_ui->messages.at(0).text,
             QByteArray("Error reading file for upload:\nThe file ended after 5 of 10 bytes."));
    QCOMPARE(m_ui->messages.at(0).icon, UserInterface::NoIcon);
    QCOMPARE(m_ui->messages.at(0).buttons, UserInterface::Ok);
    QCOMPARE(m_ui->messages.at(0).helpContext, Help::None);

    const int code = doc->failures.at(0);
    QVERIFY2(code != 0, "a failed upload must not reach the document as status 0 (success)");
    QCOMPARE(code, int(WinSock::ConnectionAborted));
    QCOMPARE(m_ui->messages.at(1).text,
             QByteArray("Error sending request to host\n127.0.0.1\n[10053] Software caused connection abort"));
    QCOMPARE(m_ui->messages.at(1).icon, UserInterface::Exclamation);
    QCOMPARE(m_ui->messages.at(1).helpContext, Help::Send);
    QCOMPARE(doc->statuses.last(), QByteArray("Couldn't send request to 127.0.0.1"));
    QCOMPARE(doc->finished, 0);
    QCOMPARE(doc->callsAfterEnd, 0);
    QTRY_VERIFY(engineIdle());
    // The bytes that were there went out after the request.
    QTRY_VERIFY(m_peer->count() == 1 && m_peer->at(0).disconnected);
    QCOMPARE(m_peer->at(0).received, QByteArray("up\r\n12345"));
}

void tst_Net::replyEnds_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("ending");
    QTest::addColumn<qint64>("doneAfter");

    QByteArray everyByte;
    for (int i = 0; i < 256 * 64; ++i)
        everyByte += char(i % 256);
    QByteArray nuls("\0\0abc\0\r\n\0.\r\n", 12);
    nuls += QByteArray(64 * 1024, '\0');

    QTest::newRow("orderly close") << QByteArray("0About\tabout\thost\t70\r\n")
                                   << int(LoopbackPeer::Close) << qint64(-1);
    QTest::newRow("NUL bytes") << nuls << int(LoopbackPeer::Close) << qint64(-1);
    QTest::newRow("every byte value") << everyByte << int(LoopbackPeer::Close) << qint64(-1);
    QTest::newRow("close arrives with unread data, 100 KB")
        << LoopbackPeer::pattern(0, 100 * 1024) << int(LoopbackPeer::Close) << qint64(-1);
    QTest::newRow("close arrives with unread data, 8 MB")
        << LoopbackPeer::pattern(3, 8 * 1024 * 1024) << int(LoopbackPeer::Close) << qint64(-1);
    QTest::newRow("document done, server keeps the line open")
        << QByteArray("Some text\r\n.\r\n") << int(LoopbackPeer::Hold) << qint64(14);
}

void tst_Net::replyEnds()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, ending);
    QFETCH(qint64, doneAfter);

    answer(reply, LoopbackPeer::End(ending));
    FakeDocument *doc = newDocument(QByteArray("sel\r\n"));
    doc->doneAfter = doneAfter;
    QVERIFY(fetch(*doc) > 0);

    QTRY_COMPARE_WITH_TIMEOUT(doc->endings(), 1, 10000);
    QCOMPARE(doc->finished, 1);
    QVERIFY(doc->failures.isEmpty());
    QCOMPARE(doc->cancelled, 0);
    QVERIFY(m_ui->messages.isEmpty());
    QCOMPARE(doc->bytesAtFinish, qint64(doc->data.size()));
    QCOMPARE(doc->data.size(), reply.size());
    QVERIFY(doc->data == reply);
    QTRY_VERIFY(engineIdle());
    // The engine closes its end when the document has all it wants.
    QTRY_VERIFY(m_peer->at(0).disconnected);
    QCOMPARE(doc->callsAfterEnd, 0);
}

void tst_Net::resetIsAFailure_data()
{
    QTest::addColumn<qint64>("more");
    QTest::newRow("reset after everything was delivered") << qint64(0);
    QTest::newRow("reset in the middle of the reply") << qint64(32 * 1024 * 1024);
}

// A reset cuts the reply short, whatever had arrived: it must never read as a
// complete item. What did arrive stays with the document, byte for byte.
void tst_Net::resetIsAFailure()
{
    QFETCH(qint64, more);

    const QByteArray first = LoopbackPeer::pattern(1, 200 * 1024);
    const QByteArray reply = first + LoopbackPeer::pattern(1 + first.size(), more);
    answer(first, LoopbackPeer::Hold);
    FakeDocument *doc = newDocument(QByteArray("sel\r\n"));
    QVERIFY(fetch(*doc) > 0);
    QTRY_COMPARE_WITH_TIMEOUT(doc->data.size(), first.size(), 10000);
    QCOMPARE(doc->endings(), 0);
    // In the middle: far more than any socket buffer holds is on its way.
    if (more > 0)
        m_peer->send(0, reply.mid(first.size()));
    m_peer->reset(0);

    QTRY_COMPARE_WITH_TIMEOUT(doc->endings(), 1, 10000);
    QCOMPARE(doc->failures, QList<int>({10054}));
    QCOMPARE(doc->finished, 0);
    QCOMPARE(doc->statuses.last(),
             QByteArray("Read error from host 127.0.0.1 : [10054] Connection reset by peer"));
    QCOMPARE(m_ui->messages.size(), 1);
    QCOMPARE(m_ui->messages.at(0).text,
             QByteArray("Read error from host 127.0.0.1[10054] Connection reset by peer"));
    QVERIFY(doc->data.size() >= first.size());
    QVERIFY(doc->data.size() < reply.size() || more == 0);
    QVERIFY(doc->data == reply.left(doc->data.size()));
    QCOMPARE(doc->callsAfterEnd, 0);
    QVERIFY(engineIdle());
}

// A document that starts a new request while its reply is being read (a
// retry decided in OnData) is done with the old one: nothing of the old
// transfer reaches it any more, and the new one runs to its end.
void tst_Net::newRequestDropsTheOldOne()
{
    m_peer->route(QByteArray("first"), QByteArray("+-1\r\n.\r\n"), LoopbackPeer::Hold);
    m_peer->route(QByteArray("second"), QByteArray("the menu\r\n"));
    FakeDocument *doc = newDocument(QByteArray("first\r\n"));
    doc->doneAfter = 8;
    const int firstKey = fetch(*doc);
    QVERIFY(firstKey > 0);
    int secondKey = 0;
    doc->onData = [&] {
        if (secondKey == 0) {
            doc->item.selector = QByteArray("second\r\n");
            doc->doneAfter = -1;
            secondKey = fetch(*doc);
        }
    };

    QTRY_COMPARE(doc->finished, 1);
    QVERIFY(secondKey > firstKey);
    QCOMPARE(doc->data, QByteArray("+-1\r\n.\r\nthe menu\r\n"));
    QCOMPARE(doc->endings(), 1);
    QCOMPARE(m_peer->requests, QList<QByteArray>({"first\r\n", "second\r\n"}));
    // The first connection is closed by the client, though its server holds it.
    QTRY_VERIFY(m_peer->at(0).disconnected);
    QTRY_VERIFY(engineIdle());
    QCOMPARE(doc->callsAfterEnd, 0);
    QVERIFY(m_ui->messages.isEmpty());
}

void tst_Net::nameLookedUpOnceThenCached()
{
    FakeDocument *first = newDocument(QByteArray("one\r\n"), QByteArray("localhost"));
    FakeDocument *second = newDocument(QByteArray("two\r\n"), QByteArray("localhost"));
    answer(QByteArray("reply\r\n"));

    QVERIFY(fetch(*first) > 0);
    QCOMPARE(first->statuses.value(0), QByteArray("Resolving hostname localhost"));
    QCOMPARE(m_engine->pendingLookups().size(), 1);
    QTRY_COMPARE(first->finished, 1);
    QCOMPARE(first->data, QByteArray("reply\r\n"));
    QVERIFY(first->statuses.contains(QByteArray("Connecting to localhost")));
    QCOMPARE(m_engine->hostCache().size(), 1);
    QCOMPARE(m_engine->hostCache().value(QByteArray("localhost")), loopbackAddress());

    QVERIFY(fetch(*second) > 0);
    QCOMPARE(m_engine->pendingLookups().size(), 0);
    QTRY_COMPARE(second->finished, 1);
    QVERIFY(!second->sawStatusStarting("Resolving hostname"));
    QCOMPARE(second->statuses.value(0), QByteArray("Connecting to localhost"));
    QCOMPARE(m_peer->count(), 2);
    QCOMPARE(m_peer->at(1).received, QByteArray("two\r\n"));
    QVERIFY(m_ui->messages.isEmpty());
}

void tst_Net::autoStripDots_data()
{
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<int>("option");  // -1: not set, 0: off, 1: on
    QTest::addColumn<QByteArray>("lookedUp");

    QTest::newRow("one dot stripped") << QByteArray("localhost.") << 1 << QByteArray("localhost");
    QTest::newRow("of two dots only the last") << QByteArray("localhost..") << 1
                                               << QByteArray("localhost.");
    QTest::newRow("option off keeps the dot") << QByteArray("localhost.") << 0
                                              << QByteArray("localhost.");
    QTest::newRow("option not set keeps the dot") << QByteArray("localhost.") << -1
                                                  << QByteArray("localhost.");
    QTest::newRow("no dot, option on") << QByteArray("localhost") << 1 << QByteArray("localhost");
}

void tst_Net::autoStripDots()
{
    QFETCH(QByteArray, host);
    QFETCH(int, option);
    QFETCH(QByteArray, lookedUp);

    if (option >= 0)
        m_engine->autoStripDots = [option] { return option == 1; };
    answer(QByteArray("x\r\n"));
    FakeDocument *doc = newDocument(QByteArray("sel\r\n"), host);
    const int key = fetch(*doc);
    QVERIFY(key > 0);
    QCOMPARE(m_engine->registry().FindTransaction(key)->item.host, lookedUp);
    QCOMPARE(doc->item.host, host);
    QCOMPARE(doc->statuses.value(0), QByteArray("Resolving hostname ") + lookedUp);

    QTRY_COMPARE(doc->endings(), 1);
    // Whether a name with a trailing dot resolves depends on the resolver; the
    // cache only ever holds the name that was looked up.
    const QList<QByteArray> keys = m_engine->hostCache().keys();
    if (doc->finished == 1) {
        QCOMPARE(keys, QList<QByteArray>({lookedUp}));
        QCOMPARE(m_engine->hostCache().value(lookedUp), loopbackAddress());
    } else {
        QVERIFY(keys.isEmpty());
        QCOMPARE(doc->failures.size(), 1);
        QCOMPARE(m_ui->messages.size(), 1);
        const QByteArray head = QByteArray("Hostname lookup failure for ") + lookedUp + " :\n";
        QVERIFY(m_ui->messages.at(0).text.startsWith(head));
    }
    if (lookedUp == QByteArray("localhost"))
        QCOMPARE(doc->finished, 1);
}

// A look-up result without any address (a name with IPv6 addresses only is
// reached: see ipv6Connects). It is fed to the handler before the real
// answer, which then arrives for a handle no longer pending and is ignored.
void tst_Net::lookUpWithoutUsableAddress()
{
    FakeDocument *doc = newDocument(QByteArray("sel\r\n"), QByteArray("localhost"));
    const int key = fetch(*doc);
    QVERIFY(key > 0);
    const int handle = m_engine->registry().FindTransaction(key)->lookupHandle;
    QCOMPARE(m_engine->pendingLookups().find(handle), m_engine->registry().FindTransaction(key));

    QHostInfo info(handle);
    info.setHostName(QStringLiteral("localhost"));
    m_engine->OnHostResolved(handle, info);
    // The transaction is gone at once; the document hears of it from the
    // event loop.
    QCOMPARE(m_engine->transactionCount(), 0);
    QVERIFY(doc->failures.isEmpty());
    QTRY_COMPARE(doc->failures, QList<int>({11004}));

    QCOMPARE(doc->statuses.last(), QByteArray("Possible WinSock failure resolving localhost"));
    checkOnlyBox(*m_ui, "Problem looking up\nlocalhost\nPossible WinSock failure!",
                 Help::LookupProblem);
    QVERIFY(m_engine->hostCache().isEmpty());
    QVERIFY(engineIdle());

    // The real answer comes later and finds nothing to do. A second look-up of
    // the same name is answered after it.
    FakeDocument *probe = newDocument(QByteArray("probe\r\n"), QByteArray("localhost"));
    answer(QByteArray("ok"));
    QVERIFY(fetch(*probe) > 0);
    QTRY_COMPARE(probe->finished, 1);
    QCOMPARE(doc->callsAfterEnd, 0);
    QCOMPARE(m_ui->messages.size(), 1);
}

void tst_Net::connectionRefused_data()
{
    QTest::addColumn<QByteArray>("host");
    QTest::newRow("IPv4") << loopback;
    // Over IPv6 the texts are the same, with the host as given.
    QTest::newRow("IPv6") << QByteArray("[::1]");
}

void tst_Net::connectionRefused()
{
    QFETCH(QByteArray, host);

    const bool six = host.startsWith('[');
    TestPorts::RefusingPort refusing(six ? TestPorts::RefusingPort::IPv6
                                         : TestPorts::RefusingPort::IPv4);
    if (six && refusing.port() == 0)
        QSKIP("This machine has no IPv6 loopback (::1)");
    QVERIFY(refusing.port() != 0);
    FakeDocument *doc = newDocumentAt(QByteArray("\r\n"), host, refusing.port());
    QVERIFY(fetch(*doc) > 0);
    QTRY_COMPARE(doc->failures, QList<int>({10061}));
    checkOnlyBox(*m_ui, "Connect error to host\n" + host + "\n[10061] Connection refused",
                 Help::ConnectError);
    // The status line says what happened, not "Connecting to" any more.
    QCOMPARE(doc->statuses, QList<QByteArray>({"Connecting to " + host, "Can't connect to " + host
                                                   + " : [10061] Connection refused"}));
    QCOMPARE(doc->finished, 0);
    QCOMPARE(doc->callsAfterEnd, 0);
    QTRY_VERIFY(engineIdle());
}

// IPv6 literals, bare or bracketed as URLs write them, connect without a
// look-up; a name that resolves to IPv6 addresses only connects to the first.
void tst_Net::ipv6Connects_data()
{
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<bool>("lookedUp");

    QTest::newRow("bare literal") << QByteArray("::1") << false;
    QTest::newRow("bracketed literal") << QByteArray("[::1]") << false;
    QTest::newRow("literal written out") << QByteArray("0:0:0:0:0:0:0:1") << false;
    QTest::newRow("name with IPv6 addresses only") << QByteArray("localhost") << true;
}

void tst_Net::ipv6Connects()
{
    QFETCH(QByteArray, host);
    QFETCH(bool, lookedUp);

    LoopbackPeer peer6{QHostAddress(QHostAddress::LocalHostIPv6)};
    if (!peer6.isListening())
        QSKIP("This machine has no IPv6 loopback (::1)");
    peer6.answerAll(QByteArray("over six\r\n"));
    FakeDocument *doc = newDocumentAt(QByteArray("six\r\n"), host, peer6.port());
    const int key = fetch(*doc);
    QVERIFY(key > 0);
    if (lookedUp) {
        // The resolver's own answer for localhost may hold 127.0.0.1 too; this
        // one holds ::1 only and comes first.
        const int handle = m_engine->registry().FindTransaction(key)->lookupHandle;
        QHostInfo info(handle);
        info.setHostName(QString::fromLatin1(host));
        info.setAddresses({QHostAddress(QStringLiteral("::1"))});
        m_engine->OnHostResolved(handle, info);
    } else {
        QVERIFY(!doc->sawStatusStarting("Resolving hostname"));
    }
    QTRY_COMPARE(doc->finished, 1);
    QCOMPARE(doc->data, QByteArray("over six\r\n"));
    QCOMPARE(peer6.requests, QList<QByteArray>({"six\r\n"}));
    QVERIFY(doc->statuses.contains(QByteArray("Connecting to ") + host));
    QVERIFY(doc->failures.isEmpty());
    QVERIFY(m_ui->messages.isEmpty());
    if (lookedUp)
        QCOMPARE(m_engine->hostCache().value(host), QHostAddress(QStringLiteral("::1")));
    else
        QVERIFY(m_engine->hostCache().isEmpty());
}

// A code the table does not know still reaches the user with its number.
void tst_Net::unknownErrorCode()
{
    FakeDocument *doc = newDocument(QByteArray("\r\n"));
    const int key = fetch(*doc);
    QVERIFY(key > 0);
    const int socket = m_engine->registry().FindTransaction(key)->socket;
    QCOMPARE(m_engine->socketTransactions().find(socket), m_engine->registry().FindTransaction(key));

    m_engine->OnSocketConnect(socket, 10100);
    // Not from inside the handler: the document hears of it from the event loop.
    QVERIFY(doc->reports.isEmpty());
    QVERIFY(m_ui->messages.isEmpty());
    QCOMPARE(m_engine->pendingFailureCount(), 1);
    QTRY_COMPARE(doc->failures, QList<int>({10100}));
    checkOnlyBox(*m_ui, "Connect error to host\n127.0.0.1\nUnspecified WinSock error 10100",
                 Help::ConnectError);
    QVERIFY(engineIdle());
    // Whatever the socket still reports finds no transaction.
    checkNothingLate(doc);
}

void tst_Net::secondStopDoesNothing()
{
    answer(QByteArray(), LoopbackPeer::Hold);
    FakeDocument *a = newDocument(QByteArray("a\r\n"));
    FakeDocument *b = newDocument(QByteArray("b\r\n"));
    const int keyA = fetch(*a);
    const int keyB = fetch(*b);
    QCOMPARE(keyB, keyA + 1);
    QTRY_VERIFY(a->statuses.contains(QByteArray("Sent request to 127.0.0.1"))
                && b->statuses.contains(QByteArray("Sent request to 127.0.0.1")));

    m_engine->CancelTransaction(keyA);
    QCOMPARE(a->cancelled, 1);
    QVERIFY(!m_engine->registry().FindDocument(keyA));
    m_engine->CancelTransaction(keyA);
    QCOMPARE(a->cancelled, 1);
    QCOMPARE(a->callsAfterEnd, 0);
    QCOMPARE(b->endings(), 0);
    QCOMPARE(m_engine->registry().FindDocument(keyB), b);
    QCOMPARE(m_engine->registry().documentCount(), 1);

    QTRY_COMPARE(m_engine->transactionCount(), 1);
    m_peer->send(1, QByteArray("late\r\n"));
    m_peer->send(0, QByteArray("late\r\n"));
    m_peer->close(0);
    m_peer->close(1);
    QTRY_COMPARE(b->finished, 1);
    QTRY_COMPARE(m_engine->transactionCount(), 0);
    QVERIFY(a->data.isEmpty());
    QCOMPARE(a->callsAfterEnd, 0);
    QVERIFY(m_ui->messages.isEmpty());
}

void tst_Net::stopAll_data()
{
    QTest::addColumn<QString>("when");
    QTest::newRow("all waiting for the reply") << QStringLiteral("sent");
    QTest::newRow("all just started") << QStringLiteral("started");
    QTest::newRow("look-up, connecting and receiving") << QStringLiteral("mixed");
}

void tst_Net::stopAll()
{
    QFETCH(QString, when);

    answer(QByteArray("partial"), LoopbackPeer::Hold);
    QSignalSpy idle(m_engine.get(), &TransactionEngine::idle);
    QList<FakeDocument *> docs;
    if (when == QStringLiteral("mixed")) {
        FakeDocument *receiving = newDocument(QByteArray("r\r\n"));
        QVERIFY(fetch(*receiving) > 0);
        QTRY_COMPARE(receiving->data, QByteArray("partial"));
        FakeDocument *lookingUp = newDocument(QByteArray("l\r\n"), QByteArray("localhost"));
        FakeDocument *connecting = newDocument(QByteArray("c\r\n"));
        QVERIFY(fetch(*lookingUp) > 0);
        QVERIFY(fetch(*connecting) > 0);
        QCOMPARE(m_engine->pendingLookups().size(), 1);
        docs = {receiving, lookingUp, connecting};
    } else {
        for (const char *s : {"1\r\n", "2\r\n", "3\r\n"}) {
            docs.append(newDocument(QByteArray(s)));
            QVERIFY(fetch(*docs.last()) > 0);
        }
        if (when == QStringLiteral("sent"))
            QTRY_VERIFY(std::all_of(docs.cbegin(), docs.cend(), [](const FakeDocument *d) {
                return d->data == QByteArray("partial");
            }));
    }
    QCOMPARE(m_engine->registry().documentCount(), 3);
    idle.clear();

    m_engine->CancelAllTransactions();
    QCOMPARE(m_engine->registry().documentCount(), 0);
    for (FakeDocument *d : std::as_const(docs)) {
        QCOMPARE(d->cancelled, 1);
        QCOMPARE(d->endings(), 1);
    }

    // Whatever the peer still sends, and the look-up's answer, is absorbed.
    for (int i = 0; i < m_peer->count(); ++i)
        m_peer->send(i, QByteArray("more data"));
    QTRY_COMPARE(m_engine->transactionCount(), 0);
    QTRY_VERIFY(idle.count() > 0);
    QTRY_VERIFY([&] {
        for (int i = 0; i < m_peer->count(); ++i) {
            if (!m_peer->at(i).disconnected)
                return false;
        }
        return true;
    }());
    for (FakeDocument *d : std::as_const(docs)) {
        QCOMPARE(d->cancelled, 1);
        QCOMPARE(d->callsAfterEnd, 0);
    }
    QVERIFY(m_ui->messages.isEmpty());
}

void tst_Net::cancelledTransactionEventsAbsorbed_data()
{
    QTest::addColumn<bool>("fromOnData");
    QTest::newRow("Stop while the server streams") << false;
    QTest::newRow("Stop from inside OnData") << true;
}

// A 50 MB reply that the user stops after the first megabyte.
void tst_Net::cancelledTransactionEventsAbsorbed()
{
    QFETCH(bool, fromOnData);

    const qint64 endless = 50 * 1024 * 1024;
    const qint64 threshold = 1024 * 1024;
    answer(QByteArray(), LoopbackPeer::Close, endless);
    FakeDocument *doc = newDocument(QByteArray("big\r\n"));
    const int key = fetch(*doc);
    QVERIFY(key > 0);
    if (fromOnData) {
        doc->onData = [this, doc, key] {
            if (doc->data.size() >= threshold && doc->cancelled == 0)
                m_engine->CancelTransaction(key);
        };
    }
    QTRY_VERIFY_WITH_TIMEOUT(doc->data.size() >= threshold, 10000);
    if (!fromOnData)
        m_engine->CancelTransaction(key);
    const qsizetype receivedAtStop = doc->data.size();
    QCOMPARE(doc->cancelled, 1);

    QTRY_COMPARE(m_engine->transactionCount(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(m_peer->at(0).disconnected, 10000);
    QCOMPARE(doc->data.size(), receivedAtStop);
    QVERIFY(doc->data.size() < endless);
    QVERIFY(doc->data == LoopbackPeer::pattern(0, doc->data.size()));
    QCOMPARE(doc->cancelled, 1);
    QCOMPARE(doc->finished, 0);
    QVERIFY(doc->failures.isEmpty());
    QCOMPARE(doc->callsAfterEnd, 0);
    QVERIFY(m_ui->messages.isEmpty());
}

void tst_Net::documentGoneWhileLive_data()
{
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<bool>("waitForData");
    QTest::newRow("during look-up") << QByteArray("localhost") << false;
    QTest::newRow("while connecting") << loopback << false;
    QTest::newRow("while receiving") << loopback << true;
}

// A document closed while its transfer runs only unregisters its key; the
// transaction must find it gone and never call it again.
void tst_Net::documentGoneWhileLive()
{
    QFETCH(QByteArray, host);
    QFETCH(bool, waitForData);

    answer(QByteArray("first part\r\n"), LoopbackPeer::Hold);
    FakeDocument *doc = newDocument(QByteArray("sel\r\n"), host);
    const int key = fetch(*doc);
    QVERIFY(key > 0);
    if (waitForData)
        QTRY_COMPARE(doc->data, QByteArray("first part\r\n"));

    doc->gone = true;
    m_engine->registry().Unregister(key);
    QVERIFY(!m_engine->registry().FindDocument(key));
    if (waitForData) {
        m_peer->send(0, QByteArray("second part\r\n"));
        m_peer->close(0);
    }
    QTRY_COMPARE(m_engine->transactionCount(), 0);
    if (waitForData)
        QTRY_VERIFY(m_peer->at(0).disconnected);
    QCOMPARE(doc->callsWhileGone, 0);
    QCOMPARE(m_engine->registry().documentCount(), 0);
    QVERIFY(m_ui->messages.isEmpty());
}

void tst_Net::failureOnItsWay_data()
{
    QTest::addColumn<bool>("stop");
    QTest::newRow("Stop") << true;
    QTest::newRow("document gone") << false;
}

// Between the failing handler and the event loop's turn the document may be
// stopped or go away: it hears one end, or nothing, never the failure too.
void tst_Net::failureOnItsWay()
{
    QFETCH(bool, stop);

    FakeDocument *doc = newDocument(QByteArray("\r\n"));
    const int key = fetch(*doc);
    QVERIFY(key > 0);
    m_engine->OnSocketConnect(m_engine->registry().FindTransaction(key)->socket, 10061);
    QCOMPARE(m_engine->pendingFailureCount(), 1);
    QCOMPARE(m_engine->transactionCount(), 0);
    // Until it has been told, the document's transfer is still live.
    QCOMPARE(m_engine->registry().FindDocument(key), doc);
    if (stop) {
        m_engine->CancelTransaction(key);
        QCOMPARE(doc->cancelled, 1);
    } else {
        doc->gone = true;
        m_engine->registry().Unregister(key);
    }
    QTRY_COMPARE(m_engine->pendingFailureCount(), 0);
    QCOMPARE(m_engine->registry().documentCount(), 0);
    QVERIFY(doc->failures.isEmpty());
    QVERIFY(m_ui->messages.isEmpty());
    QCOMPARE(doc->callsAfterEnd, 0);
    QCOMPARE(doc->callsWhileGone, 0);
}

// With no descriptor left, socket() fails with EMFILE: one box, nothing
// registered, and the document is not told.
void tst_Net::socketCreationFailure()
{
    const int uploadFd = uploadFile(QStringLiteral("upload.txt"), "data\n");
    QVERIFY(uploadFd >= 0);
    FakeDocument *doc = newDocument(QByteArray("sel\r\n"));

    rlimit saved {};
    QCOMPARE(getrlimit(RLIMIT_NOFILE, &saved), 0);
    // The next descriptor gets the lowest free number; a limit at that number
    // leaves none.
    const int lowestFree = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    QVERIFY(lowestFree >= 0);
    ::close(lowestFree);
    rlimit low = saved;
    low.rlim_cur = rlim_t(lowestFree);
    QCOMPARE(setrlimit(RLIMIT_NOFILE, &low), 0);
    const int key = fetch(*doc, uploadFd, 5, true);
    const int fcntlResult = ::fcntl(uploadFd, F_GETFD);
    const int fcntlErrno = errno;
    QCOMPARE(setrlimit(RLIMIT_NOFILE, &saved), 0);

    QCOMPARE(key, 0);
    checkOnlyBox(*m_ui, "You are temporarily out of network resources\nTry again later!"
                        "[10024] Too many open files", Help::CreateSocket);
    QVERIFY(engineIdle());
    QCOMPARE(m_engine->registry().lastKey(), 0);
    QCOMPARE(doc->transactionKey, 0);
    QVERIFY(doc->statuses.isEmpty());
    QCOMPARE(doc->endings(), 0);
    // The upload file handed over is not leaked.
    QCOMPARE(fcntlResult, -1);
    QCOMPARE(fcntlErrno, EBADF);

    // With descriptors back, the next fetch works and gets the first key.
    answer(QByteArray("ok"));
    QCOMPARE(fetch(*doc), 1);
    QTRY_COMPARE(doc->finished, 1);
}

void tst_Net::hostNotFound_data()
{
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<bool>("lookedUp");
    QTest::newRow("name the resolver does not know")
        << QByteArray("nonexistent.invalid") << true;
    // The resolver and inet_addr() read a host name up to its first NUL, so
    // such a host would be reached while another one is shown: it is not
    // looked up at all.
    QTest::newRow("NUL after a dotted address") << QByteArray("127.0.0.1\0.evil.example", 23)
                                                << false;
    QTest::newRow("NUL at the end") << QByteArray("127.0.0.1\0", 10) << false;
    QTest::newRow("line feed") << QByteArray("127.0.0.1\n") << false;
    QTest::newRow("tab inside a name") << QByteArray("local\thost") << false;
    QTest::newRow("escape sequence") << QByteArray("\x1b[2J127.0.0.1") << false;
    QTest::newRow("DEL") << QByteArray("127.0.0.1\x7f") << false;
    QTest::newRow("NUL inside a bracketed IPv6 literal") << QByteArray("[::1\0evil]", 11) << false;
    QTest::newRow("line feed after an IPv6 literal") << QByteArray("::1\n") << false;
}

void tst_Net::hostNotFound()
{
    QFETCH(QByteArray, host);
    QFETCH(bool, lookedUp);

    answer(QByteArray("should never be read"));
    FakeDocument *doc = newDocument(QByteArray("sel\r\n"), host);
    QVERIFY(fetch(*doc) > 0);
    if (!lookedUp) {
        QCOMPARE(m_engine->transactionCount(), 0);
        QCOMPARE(m_engine->pendingLookups().size(), 0);
    }

    QTRY_COMPARE_WITH_TIMEOUT(doc->failures, QList<int>({11001}), 10000);
    QList<QByteArray> statuses{"Hostname lookup failure for " + host
                               + " : [11001] Host not found"};
    if (lookedUp)
        statuses.prepend("Resolving hostname " + host);
    QCOMPARE(doc->statuses, statuses);
    checkOnlyBox(*m_ui, "Hostname lookup failure for " + host + " :\n[11001] Host not found",
                 Help::HostLookup);
    QCOMPARE(doc->finished, 0);
    QCOMPARE(doc->callsAfterEnd, 0);
    QVERIFY(m_engine->hostCache().isEmpty());
    QVERIFY(engineIdle());
    // Nothing connected: a probe is the peer's first connection.
    FakeDocument *probe = newDocument(QByteArray("probe\r\n"));
    QVERIFY(fetch(*probe) > 0);
    QTRY_COMPARE(probe->finished, 1);
    QCOMPARE(m_peer->requests, QList<QByteArray>({"probe\r\n"}));
}

void tst_Net::boxRunsEventLoop_data()
{
    QTest::addColumn<QString>("where");
    QTest::newRow("box inside OnData while the reply goes on") << QStringLiteral("data");
    QTest::newRow("box of another document's failure") << QStringLiteral("failure");
    QTest::newRow("box when the reply is complete, server sends on") << QStringLiteral("finish");
    QTest::newRow("document gone inside OnData, box open") << QStringLiteral("gone");
}

// A message box runs its own event loop for as long as the user reads it.
// Meanwhile the peer keeps sending and then closes: no call may reach a
// document after its end (or while its own box is open), and the engine must
// end up with nothing left.
void tst_Net::boxRunsEventLoop()
{
    QFETCH(QString, where);

    const QByteArray head("head line\r\n");
    const QByteArray rest = LoopbackPeer::pattern(9, 256 * 1024);
    answer(head, LoopbackPeer::Hold);
    QSignalSpy idle(m_engine.get(), &TransactionEngine::idle);
    FakeDocument *doc = newDocument(QByteArray("sel\r\n"));
    bool sent = false;
    // Inside the box: the peer sends the rest and closes, once.
    auto sendRestAndClose = [&] {
        if (!sent && m_peer->count() == 1) {
            sent = true;
            m_peer->send(0, rest);
            m_peer->close(0);
        }
    };

    TestPorts::RefusingPort refusing;
    FakeDocument *other = nullptr;
    if (where == QStringLiteral("data") || where == QStringLiteral("gone")) {
        doc->onData = [&] {
            if (doc->chunks != 1)
                return;
            if (where == QStringLiteral("gone")) {
                // As a document does that is destroyed: it only unregisters.
                doc->gone = true;
                m_engine->registry().Unregister(doc->transactionKey);
            }
            m_ui->closeWhen = [&] {
                sendRestAndClose();
                return m_peer->at(0).disconnected
                       && (where == QStringLiteral("data") || m_engine->transactionCount() == 0);
            };
            doc->showBox(QByteArray("A box inside OnData"));
            m_ui->closeWhen = nullptr;
        };
    } else if (where == QStringLiteral("finish")) {
        doc->doneAfter = head.size();
        doc->onFinish = [&] {
            m_ui->closeWhen = [&] {
                sendRestAndClose();
                return m_peer->at(0).disconnected;
            };
            doc->showBox(QByteArray("A box when the reply is complete"));
            m_ui->closeWhen = nullptr;
        };
    }
    QVERIFY(fetch(*doc) > 0);
    if (where == QStringLiteral("failure")) {
        QTRY_COMPARE(doc->data, head);
        other = newDocumentAt(QByteArray("\r\n"), loopback, refusing.port());
        m_ui->closeWhen = [&] {
            sendRestAndClose();
            return doc->finished == 1;
        };
        QVERIFY(fetch(*other) > 0);
        QTRY_COMPARE(other->failures, QList<int>({10061}));
        m_ui->closeWhen = nullptr;
    }

    if (where == QStringLiteral("gone")) {
        QTRY_COMPARE(m_engine->transactionCount(), 0);
        QCOMPARE(doc->data, head);
        QCOMPARE(doc->callsWhileGone, 0);
    } else if (where == QStringLiteral("finish")) {
        QTRY_COMPARE(doc->finished, 1);
        QCOMPARE(doc->data, head);
        QCOMPARE(doc->callsAfterEnd, 0);
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(doc->finished, 1, 10000);
        QCOMPARE(doc->data.size(), head.size() + rest.size());
        QVERIFY(doc->data == head + rest);
        QCOMPARE(doc->bytesAtFinish, qint64(doc->data.size()));
    }
    QVERIFY(sent);
    QCOMPARE(m_ui->boxesGivenUp, 0);
    QCOMPARE(doc->reentered, 0);
    QCOMPARE(doc->callsDuringOwnBox, 0);
    QCOMPARE(doc->callsAfterEnd, 0);
    QVERIFY(doc->failures.isEmpty());
    if (other) {
        QCOMPARE(other->endings(), 1);
        QCOMPARE(other->callsAfterEnd, 0);
    }
    QTRY_VERIFY(engineIdle());
    QCOMPARE(m_engine->pendingFailureCount(), 0);
    QTRY_VERIFY(idle.count() > 0);
}

void tst_Net::engineDestroyedWhileLive_data()
{
    QTest::addColumn<QString>("when");
    QTest::newRow("looking up") << QStringLiteral("lookup");
    QTest::newRow("connecting") << QStringLiteral("connect");
    QTest::newRow("sending an upload") << QStringLiteral("upload");
    QTest::newRow("receiving") << QStringLiteral("receive");
}

// The program's end (or a test's cleanup after a failure) destroys the engine
// with transfers under way: their sockets and files are closed, nothing
// reaches a document, and late events find nothing.
void tst_Net::engineDestroyedWhileLive()
{
    QFETCH(QString, when);

    int uploadFd = -1;
    FakeDocument *doc = nullptr;
    if (when == QStringLiteral("lookup")) {
        doc = newDocument(QByteArray("sel\r\n"), QByteArray("localhost"));
        QVERIFY(fetch(*doc) > 0);
        QCOMPARE(m_engine->pendingLookups().size(), 1);
    } else if (when == QStringLiteral("connect")) {
        doc = newDocument(QByteArray("sel\r\n"));
        QVERIFY(fetch(*doc) > 0);
        QCOMPARE(m_engine->socketTransactions().size(), 1);
        QCOMPARE(doc->statuses, QList<QByteArray>({"Connecting to 127.0.0.1"}));
    } else if (when == QStringLiteral("upload")) {
        m_peer->holdReading = true;
        const QByteArray content = LoopbackPeer::pattern(0, 16 * 1024 * 1024);
        uploadFd = uploadFile(QStringLiteral("upload.bin"), content);
        QVERIFY(uploadFd >= 0);
        doc = newDocument(QByteArray("ask\r\n"));
        const int key = fetch(*doc, uploadFd, content.size(), true);
        QVERIFY(key > 0);
        QTRY_COMPARE(m_engine->registry().FindTransaction(key)->state,
                     int(CTransaction::SendBlocked));
    } else {
        answer(QByteArray("part of a reply\r\n"), LoopbackPeer::Hold);
        doc = newDocument(QByteArray("sel\r\n"));
        QVERIFY(fetch(*doc) > 0);
        QTRY_COMPARE(doc->data, QByteArray("part of a reply\r\n"));
    }
    const int callsBefore = doc->calls;

    m_engine.reset();
    QCOMPARE(doc->calls, callsBefore);
    if (uploadFd >= 0) {
        QCOMPARE(::fcntl(uploadFd, F_GETFD), -1);
        QCOMPARE(errno, EBADF);
    }
    // Whatever was still on its way arrives now and finds no engine.
    if (m_peer->count() > 0) {
        m_peer->releaseReading();
        QTRY_VERIFY(m_peer->at(0).disconnected);
    }
    bool probed = false;
    QHostInfo::lookupHost(QStringLiteral("localhost"), m_peer.get(),
                          [&](const QHostInfo &) { probed = true; });
    QTRY_VERIFY(probed);
    QCOMPARE(doc->calls, callsBefore);
    QCOMPARE(doc->endings(), 0);
}

int tst_Net::uploadFile(const QString &name, const QByteArray &content)
{
    const QString path = m_dir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return -1;
    file.close();
    return ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
}

void tst_Net::checkOnlyBox(const NestedLoopUserInterface &ui, const QByteArray &text, Help help,
                           UserInterface::Icon icon)
{
    QCOMPARE(ui.messages.size(), 1);
    QCOMPARE(ui.messages.at(0).text, text);
    QCOMPARE(ui.messages.at(0).icon, icon);
    QCOMPARE(ui.messages.at(0).buttons, UserInterface::Ok);
    QCOMPARE(ui.messages.at(0).helpContext, help);
}

void tst_Net::checkNothingLate(const FakeDocument *failed)
{
    FakeDocument *probe = newDocument(QByteArray("probe\r\n"));
    answer(QByteArray("ok"));
    QVERIFY(fetch(*probe) > 0);
    QTRY_COMPARE(probe->finished, 1);
    QCOMPARE(failed->callsAfterEnd, 0);
    QCOMPARE(m_ui->messages.size(), 1);
}

QTEST_GUILESS_MAIN(tst_Net)
#include "tst_net.moc"
