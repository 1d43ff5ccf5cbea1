#include "app/tarnwickapp.h"
#include "documents/gopherdir.h"
#include "documents/gophertextdoc.h"
#include "documents/userinterface.h"
#include "net/socks5transport.h"
#include "net/transactionengine.h"
#include "net/winsockerrors.h"
#include "settings/networksettings.h"
#include "tests/support/certificates.h"
#include "tests/support/loopbackpeer.h"
#include "tests/support/sockspeer.h"
#include "tests/support/testservers.h"

#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// Gopher over TLS (socat's TLS in front of gophernicus, certificates made by
// openssl here), trust on first use, and SOCKS5 proxies (microsocks, and a
// scripted proxy for the replies a real one gives only when things fail).

namespace {

using Pair = TestCertificates::Pair;

QByteArray day(const QDateTime &when)
{
    return when.toUTC().toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
}

QByteArray where(quint16 port)
{
    return "127.0.0.1:" + QByteArray::number(port);
}

// The program as the command-line modes make it: the real assembly, a real
// settings file, a user interface that records.
struct Program
{
    explicit Program(const QString &settingsPath)
    {
        app.setSettingsPath(settingsPath);
        app.registerDefaultTemplates();
        QObject::connect(&app, &CTarnwickApp::documentOpened, &app, [this](CTarnwickDoc *doc) {
            QObject::connect(doc, &CTarnwickDoc::statusChanged, &app,
                             [this](const QByteArray &text) { statuses.append(text); });
            last = doc;
        });
    }

    // Opens the URL and waits for its transfer to end: the status it ended
    // with, or none when it did not end.
    std::optional<int> fetch(const QByteArray &url)
    {
        CBookmark item;
        item.ParseURL(url);
        app.OpenItem(item, 0, 0);
        if (!last)
            return std::nullopt;
        // A document asked to trust a certificate fetches again before its
        // transfer ends.
        QSignalSpy ended(last.data(), &CTarnwickDoc::transferEnded);
        if (!ended.wait(20000))
            return std::nullopt;
        return ended.first().at(0).toInt();
    }
    QList<QByteArray> messageTexts() const
    {
        QList<QByteArray> texts;
        for (const auto &m : ui.messages)
            texts.append(m.text);
        return texts;
    }
    CGopherDir *dir() const { return qobject_cast<CGopherDir *>(last.data()); }

    RecordingUserInterface ui;
    CTarnwickApp app{ui};
    QPointer<CTarnwickDoc> last;
    QList<QByteArray> statuses;
};

} // namespace

class tst_Tls : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void menuOverTls();
    void changedCertificate_data();
    void changedCertificate();
    void wrongProtocol_data();
    void wrongProtocol();
    void hostileTls_data();
    void hostileTls();
    void knownTlsHostsUpgradeLinks();
    void tlsHostEntries_data();
    void tlsHostEntries();

    void throughMicrosocks_data();
    void throughMicrosocks();
    void proxyReplies_data();
    void proxyReplies();
    void onionNamesGoToTheProxyOnly_data();
    void onionNamesGoToTheProxyOnly();
    void proxyFromUrl_data();
    void proxyFromUrl();
    void proxyChoice();

    void dumpRefusesChangedCertificate_data();
    void dumpRefusesChangedCertificate();

private:
    QString settingsPath() const { return m_dir.filePath(QStringLiteral("tarnwick.ini")); }
    void writeSettings(const QByteArray &text);
    QByteArray settingsText() const;
    // The menu of the served tree, one line per item: type, title, URL.
    static QByteArray menu(const CGopherDir *dir);
    std::unique_ptr<TestServer> tlsServer(const Pair &certificate);

    QTemporaryDir m_served;
    QTemporaryDir m_certificates;
    std::optional<Pair> m_first;
    std::optional<Pair> m_second;
    std::optional<Pair> m_authority;
    std::optional<Pair> m_vouched;
    std::unique_ptr<TestServer> m_server; // TLS, first certificate
    std::unique_ptr<TestServer> m_plain;
    QTemporaryDir m_dir;
};

void tst_Tls::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_served.isValid() && m_certificates.isValid());
    QVERIFY2(TestServer::writeServedTree(
                 m_served.path(),
                 {{QStringLiteral("gophermap"),
                   "0Hello\t/hello.txt\r\n1Elsewhere\t/\t127.0.0.1\t1\r\n1Inner\t/inner\r\n"},
                  {QStringLiteral("hello.txt"), "hello over TLS\n"},
                  {QStringLiteral("inner/note.txt"), "inside\n"}}),
             qPrintable(TestServer::lastError()));
    const QString dir = m_certificates.path();
    m_first = TestCertificates::selfSigned(dir, QStringLiteral("first"));
    m_second = TestCertificates::selfSigned(dir, QStringLiteral("second"));
    m_authority = TestCertificates::authority(dir, QStringLiteral("authority"));
    QVERIFY2(m_first && m_second && m_authority, qPrintable(TestCertificates::lastError()));
    m_vouched = TestCertificates::signedBy(*m_authority, dir, QStringLiteral("vouched"));
    QVERIFY2(m_vouched, qPrintable(TestCertificates::lastError()));
    m_server = tlsServer(*m_first);
    QVERIFY2(m_server, qPrintable(TestServer::lastError()));
    m_plain = TestServer::gophernicus(m_served.path());
    QVERIFY2(m_plain, qPrintable(TestServer::lastError()));
}

std::unique_ptr<TestServer> tst_Tls::tlsServer(const Pair &certificate)
{
    return TestServer::gophernicusTls(m_served.path(), certificate.certificate, certificate.key);
}

void tst_Tls::init()
{
    m_dir.~QTemporaryDir();
    new (&m_dir) QTemporaryDir();
    QVERIFY(m_dir.isValid());
}

void tst_Tls::cleanup()
{
    qunsetenv("SSL_CERT_FILE");
}

void tst_Tls::writeSettings(const QByteArray &text)
{
    QFile file(settingsPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(text), text.size());
}

QByteArray tst_Tls::settingsText() const
{
    QFile file(settingsPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray tst_Tls::menu(const CGopherDir *dir)
{
    QByteArray text;
    const auto line = [&text](const CBookmark &item) {
        text += QByteArray(1, item.type) + ' ' + item.title + ' ' + item.GetURL() + '\n';
    };
    for (int i = 0; dir && i < dir->listCount(); ++i)
        line(dir->listItem(i));
    for (int i = 0; dir && i < dir->navigatorCount(); ++i)
        line(dir->navigatorItem(i));
    return text;
}

// The first visit: the menu comes over TLS, its links to the same server go
// over TLS too, and the certificate is remembered, with the host.
void tst_Tls::menuOverTls()
{
    Program program(settingsPath());
    const quint16 port = m_server->port();
    const QByteArray url = m_server->url().toUtf8();
    QCOMPARE(url, "gophers://" + where(port) + '/');
    QCOMPARE(program.fetch(url), 0);
    const QByteArray secure = "<URL=gophers://" + where(port);
    QCOMPARE(menu(program.dir()), "0 Hello " + secure + "/0%2Fhello.txt>\n"
                                  "1 Elsewhere <URL=gopher://127.0.0.1:1/1%2F>\n"
                                  "1 Inner " + secure + "/1%2Finner>\n");
    QVERIFY(program.statuses.contains("Remembered the certificate of " + where(port) + " (SHA-256 "
                                      + m_first->fingerprint + ')'));
    QCOMPARE(program.last->windowKey(), secure + "/>");

    const QByteArray ini = settingsText();
    QVERIFY2(ini.contains(QByteArray("[Certificates]\n" + where(port) + '=' + m_first->fingerprint + ' ')), ini.constData());
    QVERIFY2(ini.contains(QByteArray("[TLS Hosts]\nHost0=" + where(port) + '\n')), ini.constData());

    const ConnectionInfo &connection = program.last->connectionInfo();
    QVERIFY(connection.tls);
    QCOMPARE(connection.protocol, QByteArray("TLSv1.3"));
    QCOMPARE(connection.certificate.fingerprint, m_first->fingerprint);
    QVERIFY(!connection.certificate.verifiedForHost);
    QCOMPARE(connection.certificate.notAfter, m_first->notAfter);
    QCOMPARE(day(connection.trustedSince), day(QDateTime::currentDateTimeUtc()));
    const QByteArray info = connection.infoText();
    QVERIFY2(info.startsWith("Connection=TLSv1.3, TLS_"), info.constData());
    QVERIFY(info.contains(QByteArray("Certificate SHA-256=" + m_first->fingerprint + "\r\n")));
    QVERIFY(info.contains(QByteArray("Trusted since=" + day(QDateTime::currentDateTimeUtc()) + "\r\n")));

    // A text of the menu over the same connection kind, the same certificate:
    // nothing more is written.
    const QByteArray before = settingsText();
    Program again(settingsPath());
    QCOMPARE(again.fetch(secure.mid(5) + "/0/hello.txt"), 0);
    auto *text = qobject_cast<CGopherTextDoc *>(again.last.data());
    QVERIFY(text);
    QCOMPARE(text->store().GetLine(0), QByteArray("hello over TLS"));
    QCOMPARE(settingsText(), before);
    QVERIFY(again.ui.messages.isEmpty());
}

void tst_Tls::changedCertificate_data()
{
    QTest::addColumn<QString>("shown");      // "second" self-signed, or "vouched" by the authority
    QTest::addColumn<bool>("trustThisRun");  // --trust-new-certificate
    QTest::addColumn<int>("answer");         // to the box; 0: no box expected
    QTest::addColumn<bool>("fetched");
    QTest::addColumn<QByteArray>("status");  // the one that says what became of the certificate

    QTest::newRow("self-signed, the user refuses")
        << QStringLiteral("second") << false << int(UserInterface::AnswerNo) << false
        << QByteArray("The certificate of %1 has changed");
    QTest::newRow("self-signed, the user trusts it")
        << QStringLiteral("second") << false << int(UserInterface::AnswerYes) << true
        << QByteArray("The certificate of %1 has changed");
    QTest::newRow("an authority of the system vouches for it")
        << QStringLiteral("vouched") << false << 0 << true
        << QByteArray("Remembered the new certificate of %1, vouched for by a certificate authority "
                      "(SHA-256 %2)");
    QTest::newRow("trusted for this run")
        << QStringLiteral("second") << true << 0 << true
        << QByteArray("Remembered the new certificate of %1 (SHA-256 %2)");
}

void tst_Tls::changedCertificate()
{
    QFETCH(QString, shown);
    QFETCH(bool, trustThisRun);
    QFETCH(int, answer);
    QFETCH(bool, fetched);
    QFETCH(QByteArray, status);
    const Pair &now = shown == QLatin1String("vouched") ? *m_vouched : *m_second;
    auto server = tlsServer(now);
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    const quint16 port = server->port();
    // What the first visit remembered.
    const QByteArray old = m_first->fingerprint;
    writeSettings("[Certificates]\n" + where(port) + '=' + old
                  + " 2026-01-02T03:04:05Z 2027-01-03T00:00:00Z\n");
    if (shown == QLatin1String("vouched"))
        qputenv("SSL_CERT_FILE", QFile::encodeName(m_authority->certificate));

    Program program(settingsPath());
    program.app.network().setAcceptChangedCertificates(trustThisRun);
    if (answer)
        program.ui.answers = {answer};
    const std::optional<int> ended = program.fetch(server->url().toUtf8());
    QVERIFY(ended);
    QCOMPARE(*ended, fetched ? 0 : int(WinSock::ConnectionAborted));
    QCOMPARE(menu(program.dir()).count('\n'), fetched ? 3 : 0);
    status.replace("%1", where(port)).replace("%2", now.fingerprint);
    QVERIFY2(program.statuses.contains(status), program.statuses.join('\n').constData());

    if (answer) {
        QCOMPARE(program.messageTexts(),
                 QList<QByteArray>{"The certificate of " + where(port) + " has changed.\n\nRemembered: "
                                   + old + "\n    trusted since 2026-01-02, valid until 2027-01-03\n"
                                   "Now shown: " + now.fingerprint + "\n    valid from "
                                   + day(now.notBefore) + " until " + day(now.notAfter)
                                   + "\n\nNo certificate authority of this system vouches for the "
                                     "new one.\n\nTrust the new certificate?"});
        QCOMPARE(program.ui.messages.first().buttons, UserInterface::YesNo);
        QCOMPARE(program.ui.messages.first().helpContext, Help::CertificateChanged);
    } else {
        QCOMPARE(program.messageTexts(), QList<QByteArray>());
    }
    const QByteArray remembered = NetworkSettings(program.app.profile())
                                      .knownCertificate("127.0.0.1", port)
                                      .value_or(KnownCertificate())
                                      .fingerprint;
    QCOMPARE(remembered, fetched ? now.fingerprint : old);
}

void tst_Tls::wrongProtocol_data()
{
    QTest::addColumn<bool>("tlsServer");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("a plain server on a gophers:// address")
        << false << QByteArray("1/") << QByteArray("%1 did not answer over TLS")
        << QByteArray("%1 did not answer over TLS.\nIt may be a plain Gopher server: try gopher:// "
                      "instead of gophers://.");
    // A TLS server answers a plain request with an alert; socat resets the
    // connection instead, and the read error says what it may mean.
    QTest::newRow("a TLS server on a gopher:// address")
        << true << QByteArray("0/hello.txt") << QByteArray("%1 answered over TLS")
        << QByteArray("%1 answered over TLS, not plain Gopher.\nTry gophers:// instead of gopher://.");
    QTest::newRow("socat's TLS on a gopher:// address: a reset")
        << true << QByteArray("0/socat") << QByteArray("Read error from host 127.0.0.1 : [10054] Connection reset by peer")
        << QByteArray("Read error from host 127.0.0.1[10054] Connection reset by peer\n\nThe server "
                      "dropped the connection before answering. If it speaks only TLS, try gophers:// "
                      "instead of gopher://.");
}

void tst_Tls::wrongProtocol()
{
    QFETCH(bool, tlsServer);
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, status);
    QFETCH(QByteArray, message);
    LoopbackPeer alerting;
    QVERIFY(alerting.isListening());
    alerting.answerAll(QByteArray("\x15\x03\x01\x00\x02\x02\x0a", 7), LoopbackPeer::Close);
    const bool socat = path == "0/socat";
    if (socat)
        path = "0/hello.txt";
    const quint16 port = socat ? m_server->port() : tlsServer ? alerting.port() : m_plain->port();
    const QByteArray url = (tlsServer ? "gopher://" : "gophers://") + where(port) + '/' + path;
    Program program(settingsPath());
    QCOMPARE(program.fetch(url), socat ? int(WinSock::ConnectionReset) : int(WinSock::ConnectionAborted));
    message.replace("%1", where(port));
    QCOMPARE(program.messageTexts(), QList<QByteArray>{message});
    QCOMPARE(program.ui.messages.first().helpContext, Help::Tls);
    QVERIFY(program.statuses.contains(status.replace("%1", where(port))));
}

// Bytes no TLS server sends, from a peer that answers the hello with them.
void tst_Tls::hostileTls_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("message");
    const QByteArray notTls("%1 did not answer over TLS.\nIt may be a plain Gopher server: try "
                            "gopher:// instead of gophers://.");
    QTest::newRow("a Gopher menu") << QByteArray("iHello\t\terror.host\t1\r\n.\r\n") << notTls;
    QTest::newRow("nothing, then the close") << QByteArray() << notTls;
    QTest::newRow("a record header announcing 64 KiB, then the close")
        << QByteArray("\x16\x03\x03\xff\xff", 5) << notTls;
    QTest::newRow("a handshake record cut short")
        << QByteArray("\x16\x03\x03\x00\x40\x02\x00\x00", 8) << notTls;
    QTest::newRow("a fatal alert")
        << QByteArray("\x15\x03\x03\x00\x02\x02\x28", 7)
        << QByteArray("Could not make a TLS connection to\n%1\nsslv3 alert handshake failure");
    QTest::newRow("a server hello of nonsense")
        << QByteArray("\x16\x03\x03\x00\x06\x02\x00\x00\x02\xff\xff", 11)
        << QByteArray("Could not make a TLS connection to\n%1\nlength mismatch");
}

void tst_Tls::hostileTls()
{
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, message);
    LoopbackPeer peer;
    QVERIFY(peer.isListening());
    peer.requestLength = 5;
    peer.answerAll(reply, LoopbackPeer::Close);
    Program program(settingsPath());
    QCOMPARE(program.fetch("gophers://" + where(peer.port()) + "/0/x"), int(WinSock::ConnectionAborted));
    QCOMPARE(program.messageTexts(), QList<QByteArray>{message.replace("%1", where(peer.port()))});
    QVERIFY(!settingsText().contains("[Certificates]"));
}

// A host on the list is asked over TLS whatever its links say.
void tst_Tls::knownTlsHostsUpgradeLinks()
{
    const quint16 port = m_server->port();
    writeSettings("[Network]\nRemember TLS Hosts=0\n[TLS Hosts]\nHost0=" + where(port) + '\n');
    Program program(settingsPath());
    QCOMPARE(program.fetch("gopher://" + where(port) + "/0/hello.txt"), 0);
    QCOMPARE(program.last->windowKey(), "<URL=gophers://" + where(port) + "/0%2Fhello.txt>");
    QVERIFY(program.last->connectionInfo().tls);

    // Without the switch, a host that answered is not added.
    Program other(settingsPath());
    QCOMPARE(other.fetch(m_plain->url().toUtf8()), 0);
    QCOMPARE(other.app.network().tlsHosts(), QList<QByteArray>{where(port)});
}

void tst_Tls::tlsHostEntries_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("matches");
    QTest::newRow("a host alone: every port") << QByteArray("Gopher.Example") << QByteArray("gopher.example") << 7070 << true;
    QTest::newRow("host and port") << QByteArray("gopher.example:7443") << QByteArray("gopher.example") << 7443 << true;
    QTest::newRow("another port") << QByteArray("gopher.example:7443") << QByteArray("gopher.example") << 70 << false;
    QTest::newRow("another host") << QByteArray("gopher.example") << QByteArray("example") << 70 << false;
    QTest::newRow("IPv6 with port") << QByteArray("[::1]:7443") << QByteArray("::1") << 7443 << true;
    QTest::newRow("IPv6 bare: every port") << QByteArray("::1") << QByteArray("[::1]") << 70 << true;
    QTest::newRow("a port that is no number") << QByteArray("h:x") << QByteArray("h") << 70 << false;
}

void tst_Tls::tlsHostEntries()
{
    QFETCH(QByteArray, entry);
    QFETCH(QByteArray, host);
    QFETCH(int, port);
    QFETCH(bool, matches);
    QCOMPARE(NetworkSettings::entryMatches(entry, host, quint16(port)), matches);
}

void tst_Tls::throughMicrosocks_data()
{
    QTest::addColumn<QByteArray>("proxyScheme");
    QTest::addColumn<bool>("login");
    QTest::addColumn<bool>("tls");
    QTest::newRow("names resolved by the proxy") << QByteArray("socks5h") << false << false;
    QTest::newRow("names resolved here") << QByteArray("socks5") << false << false;
    QTest::newRow("with a user name and password") << QByteArray("socks5h") << true << false;
    QTest::newRow("TLS through the proxy") << QByteArray("socks5h") << false << true;
}

void tst_Tls::throughMicrosocks()
{
    QFETCH(QByteArray, proxyScheme);
    QFETCH(bool, login);
    QFETCH(bool, tls);
    auto proxy = login ? TestServer::microsocks(QStringLiteral("tarn"), QStringLiteral("wick pass"))
                       : TestServer::microsocks();
    QVERIFY2(proxy, qPrintable(TestServer::lastError()));
    const TestServer &server = tls ? *m_server : *m_plain;
    Program program(settingsPath());
    const QByteArray proxyUrl = proxyScheme + "://" + (login ? "tarn:wick%20pass@" : "") + where(proxy->port());
    program.app.network().setProxyOverride(ProxySetting::fromUrl(proxyUrl));
    // "localhost" is the proxy's to look up, or ours.
    const QByteArray url = (tls ? "gophers" : "gopher") + QByteArray("://localhost:")
                           + QByteArray::number(server.port()) + "/0/hello.txt";
    QCOMPARE(program.fetch(url), 0);
    auto *text = qobject_cast<CGopherTextDoc *>(program.last.data());
    QVERIFY(text);
    QCOMPARE(text->store().GetLine(0), QByteArray("hello over TLS"));
    QCOMPARE(program.app.engine().hostCache().contains("localhost"), proxyScheme == "socks5");
    QVERIFY(program.statuses.contains("Asking the proxy " + where(proxy->port())
                                      + " to connect to localhost:" + QByteArray::number(server.port())));
    QCOMPARE(program.last->connectionInfo().proxy, where(proxy->port()));
    QCOMPARE(program.last->connectionInfo().tls, tls);
}

void tst_Tls::proxyReplies_data()
{
    QTest::addColumn<QByteArray>("methodReply");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("message");
    const auto refused = [](int code) -> QByteArray {
        return QByteArray("\x05", 1) + char(code) + QByteArray("\x00\x01\x00\x00\x00\x00\x00\x00", 8);
    };
    const QByteArray could("The SOCKS5 proxy %1 could not connect to\ngopher.example:70\n");
    const QByteArray failed("The SOCKS5 proxy\n%1\n");
    const QByteArray ok("\x05\x00", 2);
    QTest::newRow("refused by its rules") << ok << refused(2) << int(WinSock::Access)
                                          << could + "Connection not allowed by the proxy's rules";
    QTest::newRow("host unreachable") << ok << refused(4) << int(WinSock::HostUnreachable)
                                      << could + "Host unreachable";
    QTest::newRow("connection refused") << ok << refused(5) << int(WinSock::ConnectionRefused)
                                        << could + "Connection refused";
    QTest::newRow("TTL expired") << ok << refused(6) << int(WinSock::TimedOut) << could + "TTL expired";
    QTest::newRow("address type not supported")
        << ok << refused(8) << int(WinSock::ConnectionAborted)
        << could + "Address type not supported by the proxy";
    QTest::newRow("a code no RFC knows") << ok << refused(0x42) << int(WinSock::ConnectionAborted)
                                         << could + "Unknown SOCKS5 reply code 66";
    // Replies no proxy should give.
    QTest::newRow("a refusal without a usable address type")
        << ok << QByteArray("\x05\x04\x00\x09", 4) + QByteArray(6, '\0') << int(WinSock::HostUnreachable)
        << could + "Host unreachable";
    QTest::newRow("it wants a login nobody gave")
        << QByteArray("\x05\xff", 2) << QByteArray() << int(WinSock::ConnectionAborted)
        << failed + "The proxy wants a user name and password.";
    QTest::newRow("a method that was not offered")
        << QByteArray("\x05\x01", 2) << QByteArray() << int(WinSock::ConnectionAborted)
        << failed + "The proxy chose a way to log in that was not offered.";
    QTest::newRow("not SOCKS5 at all") << QByteArray("HTTP/1.0 400 Bad\r\n\r\n") << QByteArray()
                                       << int(WinSock::ConnectionAborted)
                                       << failed + "The proxy does not answer as a SOCKS5 proxy.";
    QTest::newRow("a reply of another version")
        << ok << QByteArray("\x04\x00\x00\x01\x00\x00\x00\x00\x00\x00", 10) << int(WinSock::ConnectionAborted)
        << failed + "The proxy does not answer as a SOCKS5 proxy.";
    QTest::newRow("success with an unknown address type")
        << ok << QByteArray("\x05\x00\x00\x07\x00\x00", 6) << int(WinSock::ConnectionAborted)
        << failed + "The proxy does not answer as a SOCKS5 proxy.";
    QTest::newRow("a reply cut short") << ok << QByteArray("\x05\x00\x00\x01\x7f", 5)
                                       << int(WinSock::ConnectionAborted)
                                       << failed + "The proxy closed the connection.";
}

void tst_Tls::proxyReplies()
{
    QFETCH(QByteArray, methodReply);
    QFETCH(QByteArray, reply);
    QFETCH(int, status);
    QFETCH(QByteArray, message);
    SocksPeer proxy;
    QVERIFY(proxy.isListening());
    proxy.methodReply = methodReply;
    proxy.reply = reply;
    Program program(settingsPath());
    program.app.network().setProxyOverride(ProxySetting::fromUrl(QByteArray("socks5h://" + where(proxy.port()))));
    QCOMPARE(program.fetch("gopher://gopher.example/"), status);
    QCOMPARE(program.messageTexts(), QList<QByteArray>{message.replace("%1", where(proxy.port()))});
    QCOMPARE(program.ui.messages.first().helpContext, Help::Proxy);
    QVERIFY(program.app.engine().hostCache().isEmpty());
}

// An onion name never reaches the resolver: without a proxy it is refused,
// with one it goes to the proxy as a name (address type 3), even when the
// proxy is to be given addresses.
void tst_Tls::onionNamesGoToTheProxyOnly_data()
{
    QTest::addColumn<QByteArray>("proxyScheme"); // empty: no proxy
    QTest::newRow("no proxy") << QByteArray();
    QTest::newRow("socks5h") << QByteArray("socks5h");
    QTest::newRow("socks5, addresses elsewhere") << QByteArray("socks5");
}

void tst_Tls::onionNamesGoToTheProxyOnly()
{
    QFETCH(QByteArray, proxyScheme);
    const QByteArray onion("tarnwickexampleonionaddressxxxxxxxxxxxxxxxxxxxxxxxxxxxxx.onion");
    SocksPeer proxy;
    QVERIFY(proxy.isListening());
    proxy.reply = QByteArray("\x05\x04\x00\x01\x00\x00\x00\x00\x00\x00", 10);
    Program program(settingsPath());
    if (!proxyScheme.isEmpty())
        program.app.network().setProxyOverride(ProxySetting::fromUrl(QByteArray(proxyScheme + "://" + where(proxy.port()))));
    program.fetch("gopher://" + onion.toUpper() + "/1/");
    for (const QByteArray &status : std::as_const(program.statuses))
        QVERIFY2(!status.startsWith("Resolving hostname"), status.constData());
    QVERIFY(program.app.engine().hostCache().isEmpty());
    if (proxyScheme.isEmpty()) {
        QCOMPARE(program.messageTexts(),
                 QList<QByteArray>{onion + " is a Tor onion service, reached only through Tor.\n"
                                   "Set a SOCKS5 proxy on the Network page of the preferences, or "
                                   "start with --proxy socks5h://HOST:PORT.\nTor's SOCKS port is "
                                   "usually 127.0.0.1:9050."});
        QCOMPARE(proxy.requests.size(), 0);
    } else {
        QCOMPARE(proxy.requests, QList<QByteArray>{QByteArray("\x05\x01\x00\x03", 4) + char(onion.size())
                                                   + onion + QByteArray("\x00\x46", 2)});
    }
}

void tst_Tls::proxyFromUrl_data()
{
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<QByteArray>("proxy"); // host|port|resolves|user|password, empty: refused
    QTest::newRow("Tor") << QByteArray("socks5h://127.0.0.1:9050") << QByteArray("127.0.0.1|9050|1||");
    QTest::newRow("local resolution, default port, slash")
        << QByteArray("SOCKS5://Proxy.Example/") << QByteArray("proxy.example|1080|0||");
    QTest::newRow("user and escaped password")
        << QByteArray("socks5h://me:p%40ss@[::1]:1080") << QByteArray("::1|1080|1|me|p@ss");
    QTest::newRow("http is not ours") << QByteArray("http://127.0.0.1:8080") << QByteArray();
    QTest::newRow("socks4 is not ours") << QByteArray("socks4://127.0.0.1:1080") << QByteArray();
    QTest::newRow("no host") << QByteArray("socks5h://:9050") << QByteArray();
    QTest::newRow("port 0") << QByteArray("socks5h://h:0") << QByteArray();
    QTest::newRow("port past 65535") << QByteArray("socks5h://h:65536") << QByteArray();
    QTest::newRow("empty port") << QByteArray("socks5h://h:") << QByteArray();
    QTest::newRow("a blank in the host") << QByteArray("socks5h://a b:1") << QByteArray();
}

void tst_Tls::proxyFromUrl()
{
    QFETCH(QByteArray, url);
    QFETCH(QByteArray, proxy);
    const std::optional<ProxySetting> got = ProxySetting::fromUrl(url);
    QCOMPARE(got ? got->host + '|' + QByteArray::number(got->port) + '|'
                       + (got->resolvesNames ? "1" : "0") + '|' + got->user + '|' + got->password
                 : QByteArray(),
             proxy);
}

// --proxy before the settings before ALL_PROXY (then all_proxy).
void tst_Tls::proxyChoice()
{
    Program program(settingsPath());
    NetworkSettings &network = program.app.network();
    QProcessEnvironment env;
    env.insert(QStringLiteral("all_proxy"), QStringLiteral("socks5h://lower:1"));
    network.setProxyFromEnvironment(env);
    QCOMPARE(network.proxy()->host, QByteArray("lower"));
    env.insert(QStringLiteral("ALL_PROXY"), QStringLiteral("socks5://upper:2"));
    network.setProxyFromEnvironment(env);
    QCOMPARE(network.proxy()->host, QByteArray("upper"));
    ProxySetting stored;
    stored.host = "stored";
    QVERIFY(network.setStoredProxy(stored));
    QCOMPARE(network.proxy()->host, QByteArray("stored"));
    network.setProxyOverride(ProxySetting::fromUrl("socks5h://given:3"));
    QCOMPARE(network.proxy()->host, QByteArray("given"));
    stored.host.clear();
    QVERIFY(network.setStoredProxy(stored));
    network.setProxyOverride(std::nullopt);
    QCOMPARE(network.proxy()->host, QByteArray("upper"));
    network.setProxyFromEnvironment(QProcessEnvironment());
    QVERIFY(!network.proxy());
}

void tst_Tls::dumpRefusesChangedCertificate_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("refused") << QStringList() << 1;
    QTest::newRow("--trust-new-certificate") << QStringList{QStringLiteral("--trust-new-certificate")} << 0;
}

void tst_Tls::dumpRefusesChangedCertificate()
{
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    const quint16 port = m_server->port();
    const QByteArray old(32 * 3 - 1, 'A');
    writeSettings("[Certificates]\n" + where(port) + '=' + old + " 2026-01-02T03:04:05Z -\n");
    QProcess tarnwick;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TWK_CONFIG"), m_dir.path());
    env.remove(QStringLiteral("ALL_PROXY"));
    env.remove(QStringLiteral("all_proxy"));
    tarnwick.setProcessEnvironment(env);
    tarnwick.start(QStringLiteral(TWK_BINARY),
                   options + QStringList{QStringLiteral("--dump"), QString::fromUtf8(m_server->url().toUtf8() + "0/hello.txt")});
    QVERIFY(tarnwick.waitForFinished(30000));
    const QByteArray out = tarnwick.readAllStandardOutput();
    const QByteArray err = tarnwick.readAllStandardError();
    QCOMPARE(tarnwick.exitCode(), exitCode);
    if (exitCode == 0) {
        QCOMPARE(out, QByteArray("hello over TLS\n"));
        QVERIFY(settingsText().contains(QByteArray(where(port) + '=' + m_first->fingerprint)));
        return;
    }
    QVERIFY(out.isEmpty());
    QVERIFY2(err.contains(QByteArray("message: The certificate of " + where(port) + " has changed.\\n\\nRemembered: " + old)),
             err.constData());
    QVERIFY2(err.contains(QByteArray("\\nNow shown: " + m_first->fingerprint + "\\n")), err.constData());
    QVERIFY2(err.contains("\\nRefused: --trust-new-certificate accepts it.\n"), err.constData());
    QVERIFY(settingsText().contains(QByteArray(where(port) + '=' + old)));
}

QTEST_GUILESS_MAIN(tst_Tls)
#include "tst_tls.moc"
