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

// Gopher over TLS (socat in front of gophernicus, certificates from openssl), trust on first use, SOCKS5 proxies.

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

// The real assembly with a real settings file and a user interface that records.
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

    // The status the transfer of url ended with, or none when it did not end.
    std::optional<int> fetch(const QByteArray &url, const std::optional<ProxySetting> &proxy = {})
    {
        if (proxy)
            app.network().setProxyOverride(proxy);
        CBookmark item;
        item.ParseURL(url);
        app.OpenItem(item, 0, 0);
        if (!last)
            return std::nullopt;
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
    QByteArray firstLine() const
    {
        auto *text = qobject_cast<CGopherTextDoc *>(last.data());
        return text ? text->store().GetLine(0) : QByteArray("(no text)");
    }
    // One line per item of the menu: type, title, URL.
    QByteArray menu() const
    {
        QByteArray text;
        const auto line = [&text](const CBookmark &item) {
            text += QByteArray(1, item.type) + ' ' + item.title + ' ' + item.GetURL() + '\n';
        };
        auto *dir = qobject_cast<CGopherDir *>(last.data());
        for (int i = 0; dir && i < dir->listCount(); ++i)
            line(dir->listItem(i));
        for (int i = 0; dir && i < dir->navigatorCount(); ++i)
            line(dir->navigatorItem(i));
        return text;
    }

    RecordingUserInterface ui;
    CTarnwickApp app{ui};
    QPointer<CTarnwickDoc> last;
    QList<QByteArray> statuses;
};

std::optional<ProxySetting> socks(const QByteArray &scheme, quint16 port, const QByteArray &login = {})
{
    return ProxySetting::fromUrl(QByteArray(scheme + "://" + login + where(port)));
}

} // namespace

class tst_Tls : public QObject
{
    Q_OBJECT

private:
    QString settingsPath() const { return m_dir->filePath(QStringLiteral("tarnwick.ini")); }
    void writeSettings(const QByteArray &text)
    {
        QFile file(settingsPath());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    }
    QByteArray settingsText() const
    {
        QFile file(settingsPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    std::unique_ptr<TestServer> tlsServer(const Pair &pair)
    {
        return TestServer::gophernicusTls(m_served.path(), pair.certificate, pair.key);
    }

    QTemporaryDir m_served;
    QTemporaryDir m_certificates;
    std::optional<Pair> m_first, m_second, m_authority, m_vouched;
    std::unique_ptr<TestServer> m_server; // TLS, first certificate
    std::unique_ptr<TestServer> m_plain;
    std::optional<QTemporaryDir> m_dir;

private Q_SLOTS:
    void init() { m_dir.emplace(); }
    void cleanup() { qunsetenv("SSL_CERT_FILE"); }

    void initTestCase()
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
        m_plain = TestServer::gophernicus(m_served.path());
        QVERIFY2(m_server && m_plain, qPrintable(TestServer::lastError()));
    }

    // The first visit: the menu and its links to the same server go over TLS; certificate and host are remembered.
    void menuOverTls()
    {
        Program program(settingsPath());
        const QByteArray at = where(m_server->port()), secure = "<URL=gophers://" + at;
        QCOMPARE(program.fetch(m_server->url().toUtf8()), 0);
        QCOMPARE(program.menu(), "0 Hello " + secure + "/0%2Fhello.txt>\n"
                                 "1 Elsewhere <URL=gopher://127.0.0.1:1/1%2F>\n"
                                 "1 Inner " + secure + "/1%2Finner>\n");
        QVERIFY(program.statuses.contains("Remembered the certificate of " + at + " (SHA-256 " + m_first->fingerprint + ')'));
        QCOMPARE(program.last->windowKey(), secure + "/>");
        const QByteArray ini = settingsText();
        QVERIFY2(ini.contains(QByteArray("[Certificates]\n" + at + '=' + m_first->fingerprint + ' ')), ini.constData());
        QVERIFY2(ini.contains(QByteArray("[TLS Hosts]\nHost0=" + at + '\n')), ini.constData());
        const ConnectionInfo &connection = program.last->connectionInfo();
        QVERIFY(connection.tls && !connection.certificate.verifiedForHost);
        const QByteArray info = connection.infoText();
        QVERIFY2(info.startsWith("Connection=TLSv1.3, TLS_"), info.constData());
        QVERIFY(info.contains(QByteArray("Certificate SHA-256=" + m_first->fingerprint + "\r\n")));
        QVERIFY(info.contains(QByteArray("Trusted since=" + day(QDateTime::currentDateTimeUtc()) + "\r\n")));

        // Again with the same certificate: nothing more is written, nothing asked.
        Program again(settingsPath());
        QCOMPARE(again.fetch(secure.mid(5) + "/0/hello.txt"), 0);
        QCOMPARE(again.firstLine(), QByteArray("hello over TLS"));
        QCOMPARE(settingsText(), ini);
        QVERIFY(again.ui.messages.isEmpty());
    }

    void changedCertificate_data()
    {
        QTest::addColumn<bool>("vouched");       // by the authority, else the second self-signed one
        QTest::addColumn<bool>("trustThisRun");  // --trust-new-certificate
        QTest::addColumn<int>("answer");         // to the box; 0: no box expected
        QTest::addColumn<QByteArray>("status");  // what became of the certificate
        const QByteArray changed("The certificate of %1 has changed");
        QTest::newRow("self-signed, the user refuses") << false << false << int(UserInterface::AnswerNo) << changed;
        QTest::newRow("self-signed, the user trusts it") << false << false << int(UserInterface::AnswerYes) << changed;
        QTest::newRow("an authority of the system vouches for it")
            << true << false << 0
            << QByteArray("Remembered the new certificate of %1, vouched for by a certificate authority (SHA-256 %2)");
        QTest::newRow("trusted for this run") << false << true << 0
                                              << QByteArray("Remembered the new certificate of %1 (SHA-256 %2)");
    }

    void changedCertificate()
    {
        QFETCH(bool, vouched);
        QFETCH(bool, trustThisRun);
        QFETCH(int, answer);
        QFETCH(QByteArray, status);
        const Pair &now = vouched ? *m_vouched : *m_second;
        const bool fetched = answer != int(UserInterface::AnswerNo);
        auto server = tlsServer(now);
        QVERIFY2(server, qPrintable(TestServer::lastError()));
        const quint16 port = server->port();
        const QByteArray old = m_first->fingerprint;
        writeSettings("[Certificates]\n" + where(port) + '=' + old + " 2026-01-02T03:04:05Z 2027-01-03T00:00:00Z\n");
        if (vouched)
            qputenv("SSL_CERT_FILE", QFile::encodeName(m_authority->certificate));

        Program program(settingsPath());
        program.app.network().setAcceptChangedCertificates(trustThisRun);
        if (answer)
            program.ui.answers = {answer};
        QCOMPARE(program.fetch(server->url().toUtf8()), fetched ? 0 : int(WinSock::ConnectionAborted));
        QCOMPARE(program.menu().count('\n'), fetched ? 3 : 0);
        status.replace("%1", where(port)).replace("%2", now.fingerprint);
        QVERIFY2(program.statuses.contains(status), program.statuses.join('\n').constData());
        QList<QByteArray> box;
        if (answer)
            box = {"The certificate of " + where(port) + " has changed.\n\nRemembered: " + old
                   + "\n    trusted since 2026-01-02, valid until 2027-01-03\nNow shown: " + now.fingerprint
                   + "\n    valid from " + day(now.notBefore) + " until " + day(now.notAfter)
                   + "\n\nNo certificate authority of this system vouches for the new one.\n\nTrust the new certificate?"};
        QCOMPARE(program.messageTexts(), box);
        if (answer) {
            QCOMPARE(program.ui.messages.first().buttons, UserInterface::YesNo);
            QCOMPARE(program.ui.messages.first().helpContext, Help::CertificateChanged);
        }
        const auto remembered = NetworkSettings(program.app.profile()).knownCertificate("127.0.0.1", port);
        QCOMPARE(remembered.value_or(KnownCertificate()).fingerprint, fetched ? now.fingerprint : old);
    }

    // A peer of the other protocol, or bytes no TLS server sends.
    void wrongPeer_data()
    {
        QTest::addColumn<QByteArray>("scheme");
        QTest::addColumn<QByteArray>("reply");   // "plain": gophernicus; "socat": the TLS server; else a peer's bytes
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("status");  // empty: not checked
        const QByteArray notTls("%1 did not answer over TLS.\nIt may be a plain Gopher server: try "
                                "gopher:// instead of gophers://."), noAnswer("%1 did not answer over TLS");
        const auto row = [](const char *name, const char *scheme, const QByteArray &reply, const QByteArray &message,
                            const QByteArray &status = {}) {
            QTest::newRow(name) << QByteArray(scheme) << reply << message << status;
        };
        row("a plain server on a gophers:// address", "gophers", "plain", notTls, noAnswer);
        row("a Gopher menu", "gophers", "iHello\t\terror.host\t1\r\n.\r\n", notTls);
        row("nothing, then the close", "gophers", "", notTls);
        row("a record header announcing 64 KiB, then the close", "gophers", QByteArray("\x16\x03\x03\xff\xff", 5), notTls);
        row("a handshake record cut short", "gophers", QByteArray("\x16\x03\x03\x00\x40\x02\x00\x00", 8), notTls);
        row("a fatal alert", "gophers", QByteArray("\x15\x03\x03\x00\x02\x02\x28", 7),
            "Could not make a TLS connection to\n%1\nsslv3 alert handshake failure");
        row("a server hello of nonsense", "gophers", QByteArray("\x16\x03\x03\x00\x06\x02\x00\x00\x02\xff\xff", 11),
            "Could not make a TLS connection to\n%1\nlength mismatch");
        row("a TLS alert on a gopher:// address", "gopher", QByteArray("\x15\x03\x01\x00\x02\x02\x0a", 7),
            "%1 answered over TLS, not plain Gopher.\nTry gophers:// instead of gopher://.", "%1 answered over TLS");
        // socat resets the connection instead of an alert.
        row("socat's TLS on a gopher:// address: a reset", "gopher", "socat",
            "Read error from host 127.0.0.1[10054] Connection reset by peer\n\nThe server dropped the connection "
            "before answering. If it speaks only TLS, try gophers:// instead of gopher://.",
            "Read error from host 127.0.0.1 : [10054] Connection reset by peer");
    }

    void wrongPeer()
    {
        QFETCH(QByteArray, scheme);
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, message);
        QFETCH(QByteArray, status);
        LoopbackPeer peer;
        QVERIFY(peer.isListening());
        peer.requestLength = scheme == "gophers" ? 5 : -1;
        peer.answerAll(reply, LoopbackPeer::Close);
        const quint16 port = reply == "plain" ? m_plain->port() : reply == "socat" ? m_server->port() : peer.port();
        Program program(settingsPath());
        QCOMPARE(program.fetch(scheme + "://" + where(port) + "/0/hello.txt"),
                 reply == "socat" ? int(WinSock::ConnectionReset) : int(WinSock::ConnectionAborted));
        QCOMPARE(program.messageTexts(), QList<QByteArray>{message.replace("%1", where(port))});
        QCOMPARE(program.ui.messages.first().helpContext, Help::Tls);
        if (!status.isEmpty())
            QVERIFY(program.statuses.contains(status.replace("%1", where(port))));
        QVERIFY(!settingsText().contains("[Certificates]"));
    }

    // A host on the list is asked over TLS whatever its links say; with remembering off, no host is added.
    void knownTlsHostsUpgradeLinks()
    {
        const quint16 port = m_server->port();
        writeSettings("[Network]\nRemember TLS Hosts=0\n[TLS Hosts]\nHost0=" + where(port) + '\n');
        Program program(settingsPath());
        QCOMPARE(program.fetch("gopher://" + where(port) + "/0/hello.txt"), 0);
        QCOMPARE(program.last->windowKey(), "<URL=gophers://" + where(port) + "/0%2Fhello.txt>");
        QVERIFY(program.last->connectionInfo().tls);
        Program other(settingsPath());
        QCOMPARE(other.fetch(m_plain->url().toUtf8()), 0);
        QCOMPARE(other.app.network().tlsHosts(), QList<QByteArray>{where(port)});
    }

    void tlsHostEntries_data()
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

    void tlsHostEntries()
    {
        QFETCH(QByteArray, entry);
        QFETCH(QByteArray, host);
        QFETCH(int, port);
        QFETCH(bool, matches);
        QCOMPARE(NetworkSettings::entryMatches(entry, host, quint16(port)), matches);
    }

    void throughMicrosocks_data()
    {
        QTest::addColumn<QByteArray>("proxyScheme");
        QTest::addColumn<bool>("login");
        QTest::addColumn<bool>("tls");
        QTest::newRow("names resolved by the proxy") << QByteArray("socks5h") << false << false;
        QTest::newRow("names resolved here") << QByteArray("socks5") << false << false;
        QTest::newRow("with a user name and password") << QByteArray("socks5h") << true << false;
        QTest::newRow("TLS through the proxy") << QByteArray("socks5h") << false << true;
    }

    void throughMicrosocks()
    {
        QFETCH(QByteArray, proxyScheme);
        QFETCH(bool, login);
        QFETCH(bool, tls);
        auto proxy = login ? TestServer::microsocks(QStringLiteral("tarn"), QStringLiteral("wick pass"))
                           : TestServer::microsocks();
        QVERIFY2(proxy, qPrintable(TestServer::lastError()));
        const QByteArray target = "localhost:" + QByteArray::number((tls ? m_server : m_plain)->port());
        Program program(settingsPath());
        // "localhost" is the proxy's to look up, or ours.
        QCOMPARE(program.fetch((tls ? "gophers://" : "gopher://") + target + "/0/hello.txt",
                               socks(proxyScheme, proxy->port(), login ? "tarn:wick%20pass@" : "")),
                 0);
        QCOMPARE(program.firstLine(), QByteArray("hello over TLS"));
        QCOMPARE(program.app.engine().hostCache().contains("localhost"), proxyScheme == "socks5");
        QVERIFY(program.statuses.contains("Asking the proxy " + where(proxy->port()) + " to connect to " + target));
        QCOMPARE(program.last->connectionInfo().proxy, where(proxy->port()));
        QCOMPARE(program.last->connectionInfo().tls, tls);
    }

    void proxyReplies_data()
    {
        QTest::addColumn<QByteArray>("methodReply");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("message");
        const QByteArray ok("\x05\x00", 2);
        const auto refused = [&ok](const char *name, int code, int status, const char *text,
                                   const QByteArray &rest = QByteArray("\x00\x01\x00\x00\x00\x00\x00\x00", 8)) {
            QTest::newRow(name) << ok << QByteArray("\x05", 1) + char(code) + rest << status
                                << "The SOCKS5 proxy %1 could not connect to\ngopher.example:70\n" + QByteArray(text);
        };
        const auto failed = [](const char *name, const QByteArray &method, const QByteArray &reply, const char *text) {
            QTest::newRow(name) << method << reply << int(WinSock::ConnectionAborted) << "The SOCKS5 proxy\n%1\n" + QByteArray(text);
        };
        refused("refused by its rules", 2, WinSock::Access, "Connection not allowed by the proxy's rules");
        refused("host unreachable", 4, WinSock::HostUnreachable, "Host unreachable");
        refused("connection refused", 5, WinSock::ConnectionRefused, "Connection refused");
        refused("TTL expired", 6, WinSock::TimedOut, "TTL expired");
        refused("address type not supported", 8, WinSock::ConnectionAborted, "Address type not supported by the proxy");
        refused("a code no RFC knows", 0x42, WinSock::ConnectionAborted, "Unknown SOCKS5 reply code 66");
        // Replies no proxy should give.
        refused("a refusal without a usable address type", 4, WinSock::HostUnreachable, "Host unreachable",
                QByteArray("\x00\x09", 2) + QByteArray(6, '\0'));
        failed("it wants a login nobody gave", QByteArray("\x05\xff", 2), {}, "The proxy wants a user name and password.");
        failed("a method that was not offered", QByteArray("\x05\x01", 2), {},
               "The proxy chose a way to log in that was not offered.");
        const char *notSocks = "The proxy does not answer as a SOCKS5 proxy.";
        failed("not SOCKS5 at all", "HTTP/1.0 400 Bad\r\n\r\n", {}, notSocks);
        failed("a reply of another version", ok, QByteArray("\x04\x00\x00\x01\x00\x00\x00\x00\x00\x00", 10), notSocks);
        failed("success with an unknown address type", ok, QByteArray("\x05\x00\x00\x07\x00\x00", 6), notSocks);
        failed("a reply cut short", ok, QByteArray("\x05\x00\x00\x01\x7f", 5), "The proxy closed the connection.");
    }

    void proxyReplies()
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
        QCOMPARE(program.fetch("gopher://gopher.example/", socks("socks5h", proxy.port())), status);
        QCOMPARE(program.messageTexts(), QList<QByteArray>{message.replace("%1", where(proxy.port()))});
        QCOMPARE(program.ui.messages.first().helpContext, Help::Proxy);
        QVERIFY(program.app.engine().hostCache().isEmpty());
    }

    // An onion name never reaches the resolver: refused without a proxy, else sent to it as a name (type 3).
    void onionNamesGoToTheProxyOnly_data()
    {
        QTest::addColumn<QByteArray>("proxyScheme"); // empty: no proxy
        QTest::newRow("no proxy") << QByteArray();
        QTest::newRow("socks5h") << QByteArray("socks5h");
        QTest::newRow("socks5, addresses elsewhere") << QByteArray("socks5");
    }

    void onionNamesGoToTheProxyOnly()
    {
        QFETCH(QByteArray, proxyScheme);
        const QByteArray onion("tarnwickexampleonionaddressxxxxxxxxxxxxxxxxxxxxxxxxxxxxx.onion");
        SocksPeer proxy;
        QVERIFY(proxy.isListening());
        proxy.reply = QByteArray("\x05\x04\x00\x01\x00\x00\x00\x00\x00\x00", 10);
        Program program(settingsPath());
        program.fetch("gopher://" + onion.toUpper() + "/1/",
                      proxyScheme.isEmpty() ? std::nullopt : socks(proxyScheme, proxy.port()));
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

    void proxyFromUrl_data()
    {
        QTest::addColumn<QByteArray>("url");
        QTest::addColumn<QByteArray>("proxy"); // host|port|resolves|user|password, empty: refused
        QTest::newRow("Tor") << QByteArray("socks5h://127.0.0.1:9050") << QByteArray("127.0.0.1|9050|1||");
        QTest::newRow("local resolution, default port, slash")
            << QByteArray("SOCKS5://Proxy.Example/") << QByteArray("proxy.example|1080|0||");
        QTest::newRow("user and escaped password")
            << QByteArray("socks5h://me:p%40ss@[::1]:1080") << QByteArray("::1|1080|1|me|p@ss");
        for (const char *refused : {"http://127.0.0.1:8080", "socks4://127.0.0.1:1080", "socks5h://:9050",
                                    "socks5h://h:0", "socks5h://h:65536", "socks5h://h:", "socks5h://a b:1"})
            QTest::newRow(refused) << QByteArray(refused) << QByteArray();
    }

    void proxyFromUrl()
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
    void proxyChoice()
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

    void dumpRefusesChangedCertificate_data()
    {
        QTest::addColumn<bool>("trust");
        QTest::newRow("refused") << false;
        QTest::newRow("--trust-new-certificate") << true;
    }

    void dumpRefusesChangedCertificate()
    {
        QFETCH(bool, trust);
        const QByteArray old(32 * 3 - 1, 'A'), was = where(m_server->port()) + '=';
        writeSettings("[Certificates]\n" + was + old + " 2026-01-02T03:04:05Z -\n");
        QProcess tarnwick;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TWK_CONFIG"), m_dir->path());
        env.remove(QStringLiteral("ALL_PROXY"));
        env.remove(QStringLiteral("all_proxy"));
        tarnwick.setProcessEnvironment(env);
        tarnwick.start(QStringLiteral(TWK_BINARY),
                       (trust ? QStringList{QStringLiteral("--trust-new-certificate")} : QStringList())
                           + QStringList{QStringLiteral("--dump"), m_server->url() + QStringLiteral("0/hello.txt")});
        QVERIFY(tarnwick.waitForFinished(30000));
        const QByteArray out = tarnwick.readAllStandardOutput(), err = tarnwick.readAllStandardError();
        QCOMPARE(tarnwick.exitCode(), trust ? 0 : 1);
        QCOMPARE(out, trust ? QByteArray("hello over TLS\n") : QByteArray());
        QVERIFY(settingsText().contains(QByteArray(was + (trust ? m_first->fingerprint : old))));
        if (trust)
            return;
        QVERIFY2(err.contains(QByteArray("message: The certificate of " + was.chopped(1) + " has changed.\\n\\nRemembered: " + old)),
                 err.constData());
        QVERIFY2(err.contains(QByteArray("\\nNow shown: " + m_first->fingerprint + "\\n")), err.constData());
        QVERIFY2(err.contains("\\nRefused: --trust-new-certificate accepts it.\n"), err.constData());
    }
};

QTEST_GUILESS_MAIN(tst_Tls)
#include "tst_tls.moc"
