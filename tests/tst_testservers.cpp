#include "tests/support/ports.h"
#include "tests/support/testservers.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// The network tests trust these servers to behave exactly as described in
// tests/support/testservers.h; this test keeps them honest.

namespace {

struct Reply
{
    QByteArray data;
    int reads = 0;
    bool closed = false;
};

// Sends request and collects the reply until the server closes.
Reply fetch(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    Reply reply;
    QObject::connect(&socket, &QTcpSocket::readyRead, &socket, [&] {
        reply.data += socket.readAll();
        ++reply.reads;
    });
    QSignalSpy disconnected(&socket, &QTcpSocket::disconnected);
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write(request);
    reply.closed = disconnected.wait(10000);
    reply.data += socket.readAll();
    return reply;
}

// A plain blocking socket, for what QTcpSocket hides: reset versus close,
// a peer that stays silent, a send that blocks.
class RawClient
{
public:
    explicit RawClient(quint16 port, int sendBuffer = 0)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (sendBuffer > 0)
            ::setsockopt(m_fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(port);
        m_connectError = ::connect(m_fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0 ? 0 : errno;
    }
    ~RawClient() { ::close(m_fd); }
    int connectError() const { return m_connectError; }
    int fd() const { return m_fd; }

    bool sendAll(const QByteArray &bytes)
    {
        return ::send(m_fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) == bytes.size();
    }

    // Reads count bytes; fewer when the peer ends the connection or nothing
    // arrives for failMs (a test failure, never a wait for an event).
    QByteArray readExactly(qsizetype count, int failMs)
    {
        QByteArray data;
        char buffer[4096];
        while (data.size() < count) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, failMs) <= 0)
                break;
            const ssize_t n = ::recv(m_fd, buffer, size_t(std::min<qsizetype>(count - data.size(), sizeof buffer)), 0);
            if (n <= 0)
                break;
            data.append(buffer, n);
        }
        return data;
    }

    // Reads until the peer closes (returns 0), resets (ECONNRESET) or stays
    // silent for quietMs.
    enum class End { Closed, Reset, Quiet, OtherError };
    End readUntilEnd(QByteArray *data, int quietMs)
    {
        char buffer[65536];
        for (;;) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, quietMs) == 0)
                return End::Quiet;
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n == 0)
                return End::Closed;
            if (n < 0)
                return errno == ECONNRESET ? End::Reset : End::OtherError;
            data->append(buffer, n);
        }
    }

private:
    int m_fd = -1;
    int m_connectError = 0;
};

// Live processes whose command line names the tree (socat's and gophernicus's
// do); an exited process has an empty command line.
QList<qint64> processesServing(const QString &root)
{
    QList<qint64> pids;
    const QByteArray needle = root.toLocal8Bit();
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric)
            continue;
        QFile cmdline(QStringLiteral("/proc/") + entry + QStringLiteral("/cmdline"));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(needle))
            pids.append(pid);
    }
    return pids;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class tst_TestServers: public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void gophernicusMenuEndsWithDot();
    void gophernicusTextGetsCrLfAndNoDot();
    void gophernicusStopsWithItsChildren();
    void pygopherdAnswersGopherPlus();
    void pygopherdServesACopy();
    void sampleGopherspaceHasNoPortZeroLines_data();
    void sampleGopherspaceHasNoPortZeroLines();
    void scriptedSplitSends();
    void scriptedReset();
    void scriptedHold();
    void scriptedEndless();
    void scriptedLogsRequestsAndUploads();
    void scriptedRouteTimes();
    void scriptedNoReadBlocksALargeSend();
    void scriptedBadScriptIsReported();
    void unusedPortRefuses();

private:
    QTemporaryDir m_dir;
    QString m_root;
};

void tst_TestServers::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_TestServers::init()
{
    QVERIFY(m_dir.isValid());
    m_root = m_dir.path() + QStringLiteral("/root");
    QDir().mkpath(m_root + QStringLiteral("/sub"));
    QVERIFY(writeFile(m_root + QStringLiteral("/about.txt"), QByteArray("Hello\nworld\n")));
    QVERIFY(writeFile(m_root + QStringLiteral("/about.txt.abstract"), QByteArray("An abstract\n")));
    QVERIFY(writeFile(m_root + QStringLiteral("/sub/inner.txt"), QByteArray("inner\n")));
    QVERIFY(writeFile(m_root + QStringLiteral("/sub/latin1.txt"), QByteArray("caf\xe9\n")));
}

void tst_TestServers::gophernicusMenuEndsWithDot()
{
    auto server = TestServer::gophernicus(m_root);
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    const QByteArray port = QByteArray::number(server->port());

    // Directories first, then files, by name; ".abstract" files are files
    // to gophernicus.
    const Reply reply = fetch(server->port(), QByteArray("\r\n"));
    QVERIFY(reply.closed);
    QCOMPARE(reply.data, QByteArray("1sub\t/sub/\t127.0.0.1\t" + port + "\r\n"
                                    "0about.txt\t/about.txt\t127.0.0.1\t" + port + "\r\n"
                                    "0about.txt.abstract\t/about.txt.abstract\t127.0.0.1\t" + port + "\r\n"
                                    ".\r\n"));

    const Reply sub = fetch(server->port(), QByteArray("/sub/\r\n"));
    QCOMPARE(sub.data, QByteArray("0inner.txt\t/sub/inner.txt\t127.0.0.1\t" + port + "\r\n"
                                  "0latin1.txt\t/sub/latin1.txt\t127.0.0.1\t" + port + "\r\n.\r\n"));
}

void tst_TestServers::gophernicusTextGetsCrLfAndNoDot()
{
    auto server = TestServer::gophernicus(m_root);
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    QCOMPARE(fetch(server->port(), QByteArray("/about.txt\r\n")).data, QByteArray("Hello\r\nworld\r\n"));
    // Bytes are not converted between character sets ("-no").
    QCOMPARE(fetch(server->port(), QByteArray("/sub/latin1.txt\r\n")).data, QByteArray("caf\xe9\r\n"));
    // Plain Gopher only: a Gopher+ suffix is taken as a search string.
    QCOMPARE(fetch(server->port(), QByteArray("/about.txt\t+\r\n")).data, QByteArray("Hello\r\nworld\r\n"));
}

// stop() ends socat and the gophernicus it started for a connection still
// being served: no process serving the tree is left, and the client sees its
// connection end. (Whether the port then refuses is not asked: once free, the
// port may already belong to another test's server.)
void tst_TestServers::gophernicusStopsWithItsChildren()
{
    auto server = TestServer::gophernicus(m_root);
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    RawClient client(server->port());
    QCOMPARE(client.connectError(), 0);
    // socat and, for the connection, a gophernicus waiting for its selector
    // (a connection of an earlier test may still be on its way out).
    QTRY_VERIFY(processesServing(m_root).size() >= 2);
    server->stop();
    QTRY_COMPARE(processesServing(m_root), QList<qint64>());
    QByteArray data;
    const RawClient::End end = client.readUntilEnd(&data, 10000);
    QVERIFY(end == RawClient::End::Closed || end == RawClient::End::Reset);
    QCOMPARE(data, QByteArray());
}

void tst_TestServers::pygopherdAnswersGopherPlus()
{
    auto server = TestServer::pygopherd(m_root);
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    const QByteArray port = QByteArray::number(server->port());

    // A plain menu: every item carries "+", no "." line, no abstract lines.
    const Reply menu = fetch(server->port(), QByteArray("\r\n"));
    QVERIFY(menu.closed);
    QCOMPARE(menu.data, QByteArray("0about\t/about.txt\t127.0.0.1\t" + port + "\t+\r\n"
                                   "1sub\t/sub\t127.0.0.1\t" + port + "\t+\r\n"));

    const Reply plus = fetch(server->port(), QByteArray("\t$\r\n"));
    QVERIFY(plus.data.startsWith(QByteArray("+-2\r\n+INFO: 0about\t/about.txt\t127.0.0.1\t" + port + "\t+\r\n")));
    QVERIFY(plus.data.contains("+ABSTRACT:\r\n An abstract\r\n"));
    QVERIFY(plus.data.contains(QByteArray("+INFO: 1sub\t/sub\t127.0.0.1\t" + port + "\t+\r\n")));
    QVERIFY(!plus.data.endsWith(".\r\n"));

    QCOMPARE(fetch(server->port(), QByteArray("/about.txt\t+\r\n")).data, QByteArray("+12\r\nHello\nworld\n"));
    QVERIFY(fetch(server->port(), QByteArray("/missing\t+\r\n")).data.startsWith("--2\r\n"));
}

void tst_TestServers::pygopherdServesACopy()
{
    auto server = TestServer::pygopherd(m_root);
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    QVERIFY(fetch(server->port(), QByteArray("\r\n")).closed);
    QVERIFY(server->servedRoot() != m_root);
    QVERIFY(QFile::exists(server->servedRoot() + QStringLiteral("/.cache.pygopherd.dir")));
    QVERIFY(!QFile::exists(m_root + QStringLiteral("/.cache.pygopherd.dir")));
}

// Menu lines with port 0 show as error items; pygopherd writes gophermap
// lines without a TAB that way, so the sample's info lines carry a port.
void tst_TestServers::sampleGopherspaceHasNoPortZeroLines_data()
{
    QTest::addColumn<QByteArray>("selector");
    QTest::addColumn<int>("minimumItems");
    QTest::newRow("top menu") << QByteArray("") << 10;
    QTest::newRow("library") << QByteArray("/library") << 3;
    QTest::newRow("three levels down") << QByteArray("/library/field-notes/old-maps") << 2;
    QTest::newRow("search answer") << QByteArray("/search\ttarn heron") << 2;
}

void tst_TestServers::sampleGopherspaceHasNoPortZeroLines()
{
    QFETCH(QByteArray, selector);
    QFETCH(int, minimumItems);
    auto server = TestServer::pygopherd(QStringLiteral(TWK_SOURCE_DIR "/share/gopherspace"));
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    const Reply reply = fetch(server->port(), selector + "\r\n");
    QVERIFY(reply.closed);
    QVERIFY(reply.data.endsWith("\r\n"));
    QList<QByteArray> lines = reply.data.split('\n');
    lines.removeLast();
    int items = 0;
    for (const QByteArray &line : std::as_const(lines)) {
        QVERIFY2(line.endsWith('\r'), line.constData());
        const QList<QByteArray> fields = line.chopped(1).split('\t');
        QVERIFY2(fields.size() >= 4 && fields.at(3).toInt() > 0, line.constData());
        if (!line.startsWith('i'))
            ++items;
    }
    QVERIFY2(items >= minimumItems, qPrintable(QString::number(items)));
}

// The second half leaves the server only after the client has read the first
// and said so: the two halves cannot arrive in one read.
void tst_TestServers::scriptedSplitSends()
{
    auto server = TestServer::scripted(QByteArray(R"({"routes": [
        {"match": "split", "steps": [{"send": "0Ti"}, {"read_until": "ack"},
                                     {"send": "tle\tsel\th\t70\r\n.\r\n"}]}]})"));
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    QTcpSocket socket;
    Reply reply;
    connect(&socket, &QTcpSocket::readyRead, this, [&] {
        reply.data += socket.readAll();
        ++reply.reads;
        if (reply.data == "0Ti")
            socket.write("ack");
    });
    QSignalSpy disconnected(&socket, &QTcpSocket::disconnected);
    socket.connectToHost(QHostAddress::LocalHost, server->port());
    socket.write("split\r\n");
    QVERIFY(disconnected.wait(10000));
    reply.data += socket.readAll();
    QCOMPARE(reply.data, QByteArray("0Title\tsel\th\t70\r\n.\r\n"));
    QVERIFY2(reply.reads >= 2, "the two halves arrived in one read");
    QCOMPARE(server->received(), QList<QByteArray>{"split\r\nack"});
}

void tst_TestServers::scriptedReset()
{
    // The reset follows the client's word that it has read the data, so the
    // data cannot be lost with the reset.
    auto server = TestServer::scripted(QByteArray(R"([
        {"match": "x", "steps": [{"send": "abc\r\n"}, {"read_until": "ack"}, {"reset": true}]},
        {"match": "*", "steps": [{"send": "ok"}]}])"));
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    RawClient client(server->port());
    QCOMPARE(client.connectError(), 0);
    QVERIFY(client.sendAll(QByteArray("x\r\n")));
    QCOMPARE(client.readExactly(5, 10000), QByteArray("abc\r\n"));
    QVERIFY(client.sendAll(QByteArray("ack")));
    QByteArray data;
    QCOMPARE(client.readUntilEnd(&data, 10000), RawClient::End::Reset);
    QCOMPARE(data, QByteArray());
    // The server carries on.
    QCOMPARE(fetch(server->port(), QByteArray("y\r\n")).data, QByteArray("ok"));
}

// A held connection stays open and silent while the server goes on reading:
// the server logs what the client sends, and once it has logged it, nothing
// more has come and the connection has not been closed.
void tst_TestServers::scriptedHold()
{
    auto server = TestServer::scripted(QByteArray(R"([
        {"match": "hold", "steps": [{"send": "x"}, {"hold": true}]},
        {"match": "*", "steps": [{"send": "ok"}]}])"));
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    {
        RawClient client(server->port());
        QVERIFY(client.sendAll(QByteArray("hold\r\n")));
        QCOMPARE(client.readExactly(1, 10000), QByteArray("x"));
        QVERIFY(client.sendAll(QByteArray("still there?")));
        QTRY_COMPARE(server->received(), QList<QByteArray>{"hold\r\nstill there?"});
        pollfd p{client.fd(), POLLIN, 0};
        QCOMPARE(::poll(&p, 1, 0), 0);
    }
    QCOMPARE(fetch(server->port(), QByteArray("other\r\n")).data, QByteArray("ok"));
}

void tst_TestServers::scriptedEndless()
{
    auto server = TestServer::scripted(QByteArray(R"([
        {"match": "endless", "steps": [{"endless": "iline\t\terror.host\t1"}]},
        {"match": "*", "steps": [{"send": "ok"}]}])"));
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    {
        RawClient client(server->port());
        QVERIFY(client.sendAll(QByteArray("endless\r\n")));
        QByteArray data;
        char buffer[65536];
        while (data.size() < 4 * 1024 * 1024) {
            const ssize_t n = ::recv(client.fd(), buffer, sizeof buffer, 0);
            QVERIFY(n > 0);
            data.append(buffer, n);
        }
        QVERIFY(data.startsWith("iline\t\terror.host\t1\r\niline\t\terror.host\t1\r\n"));
    }
    QCOMPARE(fetch(server->port(), QByteArray("next\r\n")).data, QByteArray("ok"));
}

void tst_TestServers::scriptedLogsRequestsAndUploads()
{
    auto server = TestServer::scripted(QByteArray(R"([
        {"match": "ask\t+", "steps": [{"read_until_terminator": true}, {"send": "+-1\r\nthanks\r\n.\r\n"}]},
        {"match": )") + TestServer::jsonBytes(QByteArray("\xe9\x01\t\"\\")) + QByteArray(R"(, "steps": [{"send": "matched"}]},
        {"match": "*", "steps": [{"send_hex": "00ff0d0a"}]}])"));
    QVERIFY2(server, qPrintable(TestServer::lastError()));

    const QByteArray upload("ask\t+\r\n1\r\nanswer one\r\n..\r\n.\r\n");
    QCOMPARE(fetch(server->port(), upload).data, QByteArray("+-1\r\nthanks\r\n.\r\n"));
    QCOMPARE(fetch(server->port(), QByteArray("\xe9t\xe9\t$\n", 6)).data, QByteArray("\x00\xff\r\n", 4));
    QCOMPARE(fetch(server->port(), QByteArray("\xe9\x01\t\"\\\r\n")).data, QByteArray("matched"));

    QTRY_COMPARE(server->requests().size(), 3);
    QCOMPARE(server->requests().at(0), QByteArray("ask\t+\r\n"));
    QCOMPARE(server->requests().at(1), QByteArray("\xe9t\xe9\t$\n", 6));
    QCOMPARE(server->received().at(0), upload);
}

void tst_TestServers::scriptedRouteTimes()
{
    auto server = TestServer::scripted(QByteArray(R"([
        {"prefix": "home", "times": 1, "steps": [{"send": "first"}]},
        {"prefix": "home", "steps": [{"send": "again"}]}])"));
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    QCOMPARE(fetch(server->port(), QByteArray("home\r\n")).data, QByteArray("first"));
    QCOMPARE(fetch(server->port(), QByteArray("home page\r\n")).data, QByteArray("again"));
    // No route: closed without a reply.
    const Reply none = fetch(server->port(), QByteArray("elsewhere\r\n"));
    QVERIFY(none.closed);
    QVERIFY(none.data.isEmpty());
}

void tst_TestServers::scriptedNoReadBlocksALargeSend()
{
    auto server = TestServer::scripted(QByteArray(R"([{"match": "*", "steps": [{"no_read": true}]}])"));
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    RawClient client(server->port(), 4096);
    QVERIFY(client.sendAll(QByteArray("upload\r\n")));
    QVERIFY(::fcntl(client.fd(), F_SETFL, O_NONBLOCK) == 0);
    const QByteArray block(65536, 'u');
    qint64 sent = 0;
    int lastErrno = 0;
    while (sent < 64 * 1024 * 1024) {
        const ssize_t n = ::send(client.fd(), block.constData(), size_t(block.size()), MSG_NOSIGNAL);
        if (n < 0) {
            lastErrno = errno;
            break;
        }
        sent += n;
    }
    QCOMPARE(lastErrno, EWOULDBLOCK);
    QVERIFY2(sent < 1024 * 1024, qPrintable(QString::number(sent)));
}

void tst_TestServers::scriptedBadScriptIsReported()
{
    auto server = TestServer::scripted(QByteArray(R"([{"match": "*", "steps": [{"explode": true}]}])"));
    QVERIFY(!server);
    QVERIFY2(TestServer::lastError().contains(QStringLiteral("unknown step 'explode'")),
             qPrintable(TestServer::lastError()));
}

void tst_TestServers::unusedPortRefuses()
{
    TestPorts::RefusingPort refusing;
    RawClient client(refusing.port());
    QCOMPARE(client.connectError(), ECONNREFUSED);
}

QTEST_GUILESS_MAIN(tst_TestServers)
#include "tst_testservers.moc"
