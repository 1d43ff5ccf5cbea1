#include "docs/userinterface.h"
#include "net/transaction.h"
#include "net/transactionengine.h"
#include "net/transactionregistry.h"
#include "net/winsockerrors.h"
#include "tests/support/ports.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

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

// A document as the engine sees it: it keeps every callback and notices any
// call that comes after the transfer has ended or after it went away.
class FakeDocument : public TransactionClient
{
public:
    FakeDocument(const QByteArray &host, quint16 port, const QByteArray &selector)
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
        data += bytes;
        ++chunks;
        if (doneAfter >= 0 && data.size() >= doneAfter)
            done = true;
        if (onData)
            onData();
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
    }
    void OnTransactionFailed(int errorCode) override
    {
        noteCall();
        failures.append(errorCode);
    }
    void OnTransactionCancelled() override
    {
        noteCall();
        ++cancelled;
    }

    int endings() const { return finished + int(failures.size()) + cancelled; }
    bool sawStatusStarting(const QByteArray &head) const
    {
        for (const QByteArray &s : statuses) {
            if (s.startsWith(head))
                return true;
        }
        return false;
    }

    CBookmark item;
    int transactionKey = 0;
    QByteArray data;
    int chunks = 0;
    qint64 doneAfter = -1;
    std::function<void()> onData;
    QList<QByteArray> statuses;
    int finished = 0;
    qint64 bytesAtFinish = -1;
    QList<int> failures;
    int cancelled = 0;
    int callsAfterEnd = 0;
    bool gone = false;
    int callsWhileGone = 0;

private:
    void noteCall()
    {
        if (gone)
            ++callsWhileGone;
        if (endings() > 0)
            ++callsAfterEnd;
    }
};

// A Gopher server on an in-process QTcpServer, on the engine's own event loop:
// it answers, holds, resets or streams as the test says.
class LoopbackPeer : public QObject
{
public:
    enum Ending { CloseAfterReply, HoldAfterReply, ResetAfterReply };

    struct Connection
    {
        QPointer<QTcpSocket> socket;
        QByteArray received;
        bool holding = false;
        bool replied = false;
        bool disconnected = false;
        bool resetWhenDrained = false;
        qint64 streamed = 0;
    };

    QByteArray reply;
    qint64 requestLength = -1;  // -1: the request ends with its first CR LF
    Ending ending = CloseAfterReply;
    bool holdReading = false;   // read nothing until releaseReading()
    qint64 streamBytes = 0;     // pattern bytes that follow the reply

    LoopbackPeer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, &LoopbackPeer::onNewConnection);
    }

    [[nodiscard]] bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    quint16 port() const { return m_server.serverPort(); }
    int count() const { return int(m_connections.size()); }
    Connection &at(int i) { return *m_connections.at(size_t(i)); }

    void releaseReading()
    {
        for (auto &c : m_connections) {
            if (!c->holding)
                continue;
            c->holding = false;
            if (c->socket)
                c->socket->setReadBufferSize(0);
            onReadyRead(c.get());
        }
    }
    void send(int i, const QByteArray &bytes)
    {
        if (QTcpSocket *s = at(i).socket)
            s->write(bytes);
    }
    void close(int i)
    {
        if (QTcpSocket *s = at(i).socket)
            s->disconnectFromHost();
    }
    // Ends the connection with a reset instead of an orderly close.
    void reset(int i)
    {
        QTcpSocket *s = at(i).socket;
        if (!s)
            return;
        const linger hard {1, 0};
        ::setsockopt(int(s->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        s->abort();
        at(i).disconnected = true;
    }

    static QByteArray pattern(qint64 offset, qint64 length)
    {
        QByteArray bytes(length, Qt::Uninitialized);
        for (qint64 k = 0; k < length; ++k)
            bytes[k] = char((offset + k) % 251);
        return bytes;
    }

private:
    void onNewConnection()
    {
        while (QTcpSocket *s = m_server.nextPendingConnection()) {
            auto c = std::make_unique<Connection>();
            Connection *raw = c.get();
            raw->socket = s;
            if (holdReading) {
                raw->holding = true;
                s->setReadBufferSize(1);
            }
            connect(s, &QTcpSocket::readyRead, this, [this, raw] { onReadyRead(raw); });
            connect(s, &QTcpSocket::bytesWritten, this, [this, raw] { onBytesWritten(raw); });
            connect(s, &QTcpSocket::disconnected, this, [this, raw] {
                if (!raw->holding && raw->socket && raw->socket->isOpen())
                    raw->received += raw->socket->readAll();
                raw->disconnected = true;
            });
            m_connections.push_back(std::move(c));
        }
    }

    void onReadyRead(Connection *c)
    {
        if (c->holding || !c->socket)
            return;
        const qsizetype before = c->received.size();
        c->received += c->socket->readAll();
        if (c->replied)
            return;
        const bool complete = requestLength >= 0
                                  ? c->received.size() >= requestLength
                                  : c->received.indexOf("\r\n", qMax<qsizetype>(0, before - 1)) >= 0;
        if (complete)
            answer(c);
    }

    void answer(Connection *c)
    {
        c->replied = true;
        if (!reply.isEmpty())
            c->socket->write(reply);
        if (streamBytes > 0)
            pump(c);
        else
            endReply(c);
    }

    void pump(Connection *c)
    {
        QTcpSocket *s = c->socket;
        while (s && s->state() == QAbstractSocket::ConnectedState && c->streamed < streamBytes
               && s->bytesToWrite() < 512 * 1024) {
            const qint64 n = qMin<qint64>(64 * 1024, streamBytes - c->streamed);
            s->write(pattern(c->streamed, n));
            c->streamed += n;
        }
        if (c->streamed == streamBytes)
            endReply(c);
    }

    void endReply(Connection *c)
    {
        switch (ending) {
        case CloseAfterReply:
            c->socket->disconnectFromHost();
            break;
        case ResetAfterReply:
            c->resetWhenDrained = true;
            onBytesWritten(c);
            break;
        case HoldAfterReply:
            break;
        }
    }

    void onBytesWritten(Connection *c)
    {
        QTcpSocket *s = c->socket;
        if (!s)
            return;
        if (c->replied && c->streamed < streamBytes)
            pump(c);
        if (c->resetWhenDrained && s->bytesToWrite() == 0) {
            c->resetWhenDrained = false;
            const int index = indexOf(c);
            reset(index);
        }
    }

    int indexOf(const Connection *c) const
    {
        for (size_t i = 0; i < m_connections.size(); ++i) {
            if (m_connections[i].get() == c)
                return int(i);
        }
        return -1;
    }

    QTcpServer m_server;
    std::vector<std::unique_ptr<Connection>> m_connections;
};

quint32 loopbackAddress()
{
    return quint32(htonl(INADDR_LOOPBACK));
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

    void nameLookedUpOnceThenCached();
    void autoStripDots_data();
    void autoStripDots();
    void lookUpFailure();
    void lookUpWithoutUsableAddress_data();
    void lookUpWithoutUsableAddress();
    void connectionRefused();
    void unknownErrorCode();

    void secondStopDoesNothing();
    void stopAll_data();
    void stopAll();
    void cancelledTransactionEventsAbsorbed_data();
    void cancelledTransactionEventsAbsorbed();
    void documentGoneWhileLive_data();
    void documentGoneWhileLive();
    void socketCreationFailure();

private:
    int fetch(FakeDocument &doc, int uploadFile = -1, qint64 uploadLength = 0,
              bool appendTerminator = true)
    {
        return m_engine->StartTransaction(&doc, uploadFile, uploadLength, appendTerminator);
    }
    // The peer must be listening before a document is pointed at it.
    FakeDocument *newDocument(const QByteArray &selector, const QByteArray &host = loopback)
    {
        m_documents.push_back(std::make_unique<FakeDocument>(host, m_peer->port(), selector));
        return m_documents.back().get();
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<RecordingUserInterface> m_ui;
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
    m_ui = std::make_unique<RecordingUserInterface>();
    m_peer = std::make_unique<LoopbackPeer>();
    QVERIFY(m_peer->listen());
    m_engine = std::make_unique<TransactionEngine>(m_ui.get());
}

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

    QTest::newRow("refused") << 10061 << QByteArray("[10061] Connection refused");
    QTest::newRow("reset") << 10054 << QByteArray("[10054] Connection reset by peer");
    QTest::newRow("host not found") << 11001 << QByteArray("[11001] Host not found");
    QTest::newRow("10000 reads as no error") << 10000 << QByteArray("[0] No Error");
    QTest::newRow("route, capital R") << 10065 << QByteArray("[10065] No Route to Host");
    QTest::newRow("quota, capitals") << 10069 << QByteArray("[10069] Disc Quota Exceeded");
    QTest::newRow("comma and colon")
        << 11003 << QByteArray("[11003] Non-Recoverable errors: FORMERR, REFUSED, NOTIMP");
    QTest::newRow("apostrophe") << 10049 << QByteArray("[10049] Can't assign requested address");
    QTest::newRow("no data") << 11004
                             << QByteArray("[11004] Valid name, no data record of requested type");
    QTest::newRow("zero has no text") << 0 << QByteArray("Unspecified WinSock error 0");
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

    QTest::newRow("ECONNREFUSED") << ECONNREFUSED << 10061;
    QTest::newRow("ETIMEDOUT") << ETIMEDOUT << 10060;
    QTest::newRow("ECONNRESET") << ECONNRESET << 10054;
    QTest::newRow("ENETUNREACH") << ENETUNREACH << 10051;
    QTest::newRow("EHOSTUNREACH") << EHOSTUNREACH << 10065;
    QTest::newRow("EMFILE") << EMFILE << 10024;
    QTest::newRow("ENOBUFS") << ENOBUFS << 10055;
    QTest::newRow("EWOULDBLOCK") << EWOULDBLOCK << 10035;
    QTest::newRow("EAGAIN") << EAGAIN << 10035;
    QTest::newRow("no error") << 0 << 0;
}

void tst_Net::errnoMapping()
{
    QFETCH(int, errnoValue);
    QFETCH(int, code);
    QCOMPARE(winSockErrorFromErrno(errnoValue), code);
}

// A dotted address is connected without a look-up; a request of 10 bytes is
// sent whole and counted once.
void tst_Net::shortRequestFromDottedHost()
{
    m_peer->ending = LoopbackPeer::HoldAfterReply;
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
    QTRY_COMPARE(m_engine->transactionCount(), 0);
    QCOMPARE(m_engine->registry().documentCount(), 0);
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
    m_peer->reply = QByteArray("done\r\n");
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

    const QString path = m_dir->filePath(QStringLiteral("upload.bin"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), qint64(content.size()));
    }
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    QVERIFY(fd >= 0);

    const QByteArray selector("ask\t+\t1\r\n+-1\r\n");
    const QByteArray expected = selector + content + terminator;
    // The peer answers once the whole upload is in and keeps the line open, so
    // that anything sent beyond it would still be seen.
    m_peer->requestLength = expected.size();
    m_peer->reply = QByteArray("+-1\r\nThanks\r\n");
    m_peer->ending = LoopbackPeer::HoldAfterReply;
    FakeDocument *doc = newDocument(selector);
    doc->doneAfter = m_peer->reply.size();
    const int key = fetch(*doc, fd, content.size(), appendTerminator);
    QVERIFY(key > 0);
    QCOMPARE(m_engine->registry().FindTransaction(key)->bytesToSend,
             qint64(selector.size() + content.size()));

    QTRY_COMPARE_WITH_TIMEOUT(doc->finished, 1, 10000);
    QCOMPARE(doc->data, m_peer->reply);
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
    const QString path = m_dir->filePath(QStringLiteral("short.txt"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write("12345"), qint64(5));
    }
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    QVERIFY(fd >= 0);

    m_peer->ending = LoopbackPeer::HoldAfterReply;
    FakeDocument *doc = newDocument(QByteArray("up\r\n"));
    QVERIFY(fetch(*doc, fd, 10, true) > 0);

    QTRY_COMPARE(doc->failures.size(), 1);
    QCOMPARE(m_ui->messages.size(), 2);
    QCOMPARE(m_ui->messages.at(0).text,
             QByteArray("Error reading file for upload:\nThe file ended after 5 of 10 bytes."));
    QCOMPARE(m_ui->messages.at(0).icon, UserInterface::NoIcon);
    QCOMPARE(m_ui->messages.at(0).buttons, UserInterface::Ok);
    QCOMPARE(m_ui->messages.at(0).helpContext, 0);

    const int code = doc->failures.at(0);
    QVERIFY2(code != 0, "a failed upload must not reach the document as status 0 (success)");
    QCOMPARE(code, int(WinSock::ConnectionAborted));
    QCOMPARE(m_ui->messages.at(1).text,
             QByteArray("Error sending request to host\n127.0.0.1\n[10053] Software caused connection abort"));
    QCOMPARE(m_ui->messages.at(1).icon, UserInterface::Exclamation);
    QCOMPARE(m_ui->messages.at(1).helpContext, 369);
    QCOMPARE(doc->statuses.last(), QByteArray("Couldn't send request to 127.0.0.1"));
    QCOMPARE(doc->finished, 0);
    QCOMPARE(doc->callsAfterEnd, 0);
    QTRY_COMPARE(m_engine->transactionCount(), 0);
    QCOMPARE(m_engine->registry().documentCount(), 0);
    // The bytes that were there went out after the request.
    QTRY_VERIFY(m_peer->count() == 1 && m_peer->at(0).disconnected);
    QCOMPARE(m_peer->at(0).received, QByteArray("up\r\n12345"));
}

void tst_Net::replyEnds_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("ending");
    QTest::addColumn<qint64>("doneAfter");
    QTest::addColumn<bool>("resetOnceDelivered");
    QTest::addColumn<bool>("wholeReply");

    QByteArray everyByte;
    for (int i = 0; i < 256 * 64; ++i)
        everyByte += char(i % 256);
    QByteArray nuls("\0\0abc\0\r\n\0.\r\n", 12);
    nuls += QByteArray(64 * 1024, '\0');

    QTest::newRow("orderly close") << QByteArray("0About\tabout\thost\t70\r\n") << 0
                                   << qint64(-1) << false << true;
    QTest::newRow("NUL bytes") << nuls << 0 << qint64(-1) << false << true;
    QTest::newRow("every byte value") << everyByte << 0 << qint64(-1) << false << true;
    QTest::newRow("close arrives with unread data, 100 KB")
        << LoopbackPeer::pattern(0, 100 * 1024) << 0 << qint64(-1) << false << true;
    QTest::newRow("close arrives with unread data, 8 MB")
        << LoopbackPeer::pattern(3, 8 * 1024 * 1024) << 0 << qint64(-1) << false << true;
    QTest::newRow("document done, server keeps the line open")
        << QByteArray("Some text\r\n.\r\n") << int(LoopbackPeer::HoldAfterReply)
        << qint64(14) << false << true;
    QTest::newRow("reset by peer after delivery is a normal end")
        << LoopbackPeer::pattern(1, 200 * 1024) << int(LoopbackPeer::HoldAfterReply)
        << qint64(-1) << true << true;
    QTest::newRow("reset by peer in the middle")
        << LoopbackPeer::pattern(2, 2 * 1024 * 1024) << int(LoopbackPeer::ResetAfterReply)
        << qint64(-1) << false << false;
}

void tst_Net::replyEnds()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, ending);
    QFETCH(qint64, doneAfter);
    QFETCH(bool, resetOnceDelivered);
    QFETCH(bool, wholeReply);

    m_peer->reply = reply;
    m_peer->ending = LoopbackPeer::Ending(ending);
    FakeDocument *doc = newDocument(QByteArray("sel\r\n"));
    doc->doneAfter = doneAfter;
    QVERIFY(fetch(*doc) > 0);

    if (resetOnceDelivered) {
        QTRY_COMPARE_WITH_TIMEOUT(doc->data.size(), reply.size(), 10000);
        QCOMPARE(doc->finished, 0);
        m_peer->reset(0);
    }
    QTRY_COMPARE_WITH_TIMEOUT(doc->endings(), 1, 10000);
    QCOMPARE(doc->finished, 1);
    QVERIFY(doc->failures.isEmpty());
    QCOMPARE(doc->cancelled, 0);
    QVERIFY(m_ui->messages.isEmpty());
    QCOMPARE(doc->bytesAtFinish, qint64(doc->data.size()));
    if (wholeReply) {
        QCOMPARE(doc->data.size(), reply.size());
        QVERIFY(doc->data == reply);
    } else {
        QVERIFY(reply.startsWith(doc->data));
    }
    QTRY_COMPARE(m_engine->transactionCount(), 0);
    QCOMPARE(m_engine->registry().documentCount(), 0);
    // The engine closes its end when the document has all it wants.
    QTRY_VERIFY(m_peer->at(0).disconnected);
    QCOMPARE(doc->callsAfterEnd, 0);
}

void tst_Net::nameLookedUpOnceThenCached()
{
    FakeDocument *first = newDocument(QByteArray("one\r\n"), QByteArray("localhost"));
    FakeDocument *second = newDocument(QByteArray("two\r\n"), QByteArray("localhost"));
    m_peer->reply = QByteArray("reply\r\n");

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
    m_peer->reply = QByteArray("x\r\n");
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

void tst_Net::lookUpFailure()
{
    m_documents.push_back(
        std::make_unique<FakeDocument>(QByteArray("nonexistent.invalid"), 70, QByteArray("\r\n")));
    FakeDocument *doc = m_documents.back().get();
    QVERIFY(fetch(*doc) > 0);
    QTRY_COMPARE_WITH_TIMEOUT(doc->failures, QList<int>({11001}), 10000);
    QCOMPARE(doc->statuses,
             QList<QByteArray>({"Resolving hostname nonexistent.invalid",
                                "Hostname lookup failure for nonexistent.invalid : [11001] Host not found"}));
    QCOMPARE(m_ui->messages.size(), 1);
    QCOMPARE(m_ui->messages.at(0).text,
             QByteArray("Hostname lookup failure for nonexistent.invalid :\n[11001] Host not found"));
    QCOMPARE(m_ui->messages.at(0).icon, UserInterface::Exclamation);
    QCOMPARE(m_ui->messages.at(0).helpContext, 365);
    QCOMPARE(doc->finished, 0);
    QCOMPARE(doc->callsAfterEnd, 0);
    QVERIFY(m_engine->hostCache().isEmpty());
    QCOMPARE(m_engine->transactionCount(), 0);
    QCOMPARE(m_engine->registry().documentCount(), 0);
}

// Results the resolver could give that carry no IPv4 address. They are fed to
// the handler before the real answer, which then arrives for a handle no
// longer pending and is ignored.
void tst_Net::lookUpWithoutUsableAddress_data()
{
    QTest::addColumn<QList<QHostAddress>>("addresses");
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QByteArray>("box");
    QTest::addColumn<int>("helpContext");
    QTest::addColumn<int>("code");

    QTest::newRow("IPv6 only")
        << QList<QHostAddress>({QHostAddress(QStringLiteral("::1"))})
        << QByteArray("Hostname lookup failure for localhost : [11004] Valid name, no data record of requested type")
        << QByteArray("Hostname lookup failure for localhost :\n[11004] Valid name, no data record of requested type")
        << 365 << 11004;
    QTest::newRow("no address at all")
        << QList<QHostAddress>()
        << QByteArray("Possible WinSock failure resolving localhost")
        << QByteArray("Problem looking up\nlocalhost\nPossible WinSock failure!") << 366 << 11004;
}

void tst_Net::lookUpWithoutUsableAddress()
{
    QFETCH(QList<QHostAddress>, addresses);
    QFETCH(QByteArray, status);
    QFETCH(QByteArray, box);
    QFETCH(int, helpContext);
    QFETCH(int, code);

    FakeDocument *doc = newDocument(QByteArray("sel\r\n"), QByteArray("localhost"));
    const int key = fetch(*doc);
    QVERIFY(key > 0);
    const int handle = m_engine->registry().FindTransaction(key)->lookupHandle;
    QCOMPARE(m_engine->pendingLookups().find(handle), m_engine->registry().FindTransaction(key));

    QHostInfo info(handle);
    info.setHostName(QStringLiteral("localhost"));
    info.setAddresses(addresses);
    m_engine->OnHostResolved(handle, info);

    QCOMPARE(doc->statuses.last(), status);
    QCOMPARE(m_ui->messages.size(), 1);
    QCOMPARE(m_ui->messages.at(0).text, box);
    QCOMPARE(m_ui->messages.at(0).icon, UserInterface::Exclamation);
    QCOMPARE(m_ui->messages.at(0).helpContext, helpContext);
    QCOMPARE(doc->failures.size(), 1);
    QVERIFY2(doc->failures.at(0) != 0, "a failed look-up must not reach the document as success");
    QCOMPARE(doc->failures.at(0), code);
    QVERIFY(m_engine->hostCache().isEmpty());
    QCOMPARE(m_engine->transactionCount(), 0);
    QCOMPARE(m_engine->registry().documentCount(), 0);

    // The real answer comes later and finds nothing to do. A second look-up of
    // the same name is answered after it.
    FakeDocument *probe = newDocument(QByteArray("probe\r\n"), QByteArray("localhost"));
    m_peer->reply = QByteArray("ok");
    QVERIFY(fetch(*probe) > 0);
    QTRY_COMPARE(probe->finished, 1);
    QCOMPARE(doc->callsAfterEnd, 0);
    QCOMPARE(m_ui->messages.size(), 1);
}

void tst_Net::connectionRefused()
{
    TestPorts::RefusingPort refusing;
    const quint16 port = refusing.port();
    QVERIFY(port != 0);
    m_documents.push_back(std::make_unique<FakeDocument>(loopback, port, QByteArray("\r\n")));
    FakeDocument *doc = m_documents.back().get();
    QVERIFY(fetch(*doc) > 0);
    QTRY_COMPARE(doc->failures, QList<int>({10061}));
    QCOMPARE(m_ui->messages.size(), 1);
    QCOMPARE(m_ui->messages.at(0).text,
             QByteArray("Connect error to host\n127.0.0.1\n[10061] Connection refused"));
    QCOMPARE(m_ui->messages.at(0).icon, UserInterface::Exclamation);
    QCOMPARE(m_ui->messages.at(0).buttons, UserInterface::Ok);
    QCOMPARE(m_ui->messages.at(0).helpContext, 368);
    QCOMPARE(doc->statuses, QList<QByteArray>({"Connecting to 127.0.0.1"}));
    QCOMPARE(doc->finished, 0);
    QCOMPARE(doc->callsAfterEnd, 0);
    QTRY_COMPARE(m_engine->transactionCount(), 0);
    QCOMPARE(m_engine->registry().documentCount(), 0);
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
    QCOMPARE(doc->failures, QList<int>({10100}));
    QCOMPARE(m_ui->messages.size(), 1);
    QCOMPARE(m_ui->messages.at(0).text,
             QByteArray("Connect error to host\n127.0.0.1\nUnspecified WinSock error 10100"));
    QCOMPARE(m_ui->messages.at(0).helpContext, 368);
    QCOMPARE(m_engine->transactionCount(), 0);
    QCOMPARE(m_engine->registry().documentCount(), 0);

    // Whatever the socket still reports finds no transaction.
    FakeDocument *probe = newDocument(QByteArray("probe\r\n"));
    m_peer->reply = QByteArray("ok");
    QVERIFY(fetch(*probe) > 0);
    QTRY_COMPARE(probe->finished, 1);
    QCOMPARE(doc->callsAfterEnd, 0);
    QCOMPARE(m_ui->messages.size(), 1);
}

void tst_Net::secondStopDoesNothing()
{
    m_peer->ending = LoopbackPeer::HoldAfterReply;
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

    m_peer->ending = LoopbackPeer::HoldAfterReply;
    m_peer->reply = QByteArray("partial");
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
    m_peer->streamBytes = endless;
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

    m_peer->ending = LoopbackPeer::HoldAfterReply;
    m_peer->reply = QByteArray("first part\r\n");
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

// With no descriptor left, socket() fails with EMFILE: one box, nothing
// registered, and the document is not told.
void tst_Net::socketCreationFailure()
{
    const QString path = m_dir->filePath(QStringLiteral("upload.txt"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write("data\n"), qint64(5));
    }
    const int uploadFd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
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
    QCOMPARE(m_ui->messages.size(), 1);
    QCOMPARE(m_ui->messages.at(0).text,
             QByteArray("You are temporarily out of network resources\nTry again later![10024] Too many open files"));
    QCOMPARE(m_ui->messages.at(0).icon, UserInterface::Exclamation);
    QCOMPARE(m_ui->messages.at(0).buttons, UserInterface::Ok);
    QCOMPARE(m_ui->messages.at(0).helpContext, 364);
    QCOMPARE(m_engine->registry().documentCount(), 0);
    QCOMPARE(m_engine->registry().lastKey(), 0);
    QCOMPARE(m_engine->transactionCount(), 0);
    QCOMPARE(doc->transactionKey, 0);
    QVERIFY(doc->statuses.isEmpty());
    QCOMPARE(doc->endings(), 0);
    // The upload file handed over is not leaked.
    QCOMPARE(fcntlResult, -1);
    QCOMPARE(fcntlErrno, EBADF);

    // With descriptors back, the next fetch works and gets the first key.
    m_peer->reply = QByteArray("ok");
    QCOMPARE(fetch(*doc), 1);
    QTRY_COMPARE(doc->finished, 1);
}

QTEST_GUILESS_MAIN(tst_Net)
#include "tst_net.moc"
