#include "app/defaultgopherprogram.h"
#include "app/instancechannel.h"
#include "app/tarnwickapp.h"
#include "documents/userinterface.h"
#include "support/testservers.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <memory>

// Tarnwick on a Linux desktop: its installed files, the hand-over of URLs
// from a later start to the running program, and making it the desktop's
// Gopher program.
class tst_Desktop : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void desktopFilesValidate_data();
    void desktopFilesValidate();
    void installedProgramFindsItsTables();

    void readerFraming_data();
    void readerFraming();
    void encodeRefusesWhatBreaksALimit();
    void secondStartHandsOver_data();
    void secondStartHandsOver();
    void commandLineModesNeverHandOver();
    void brokenMessageIsRefusedAndServingGoesOn();
    void staleSocketDoesNotStopAStart();

    void makeDefaultGopherProgram_data();
    void makeDefaultGopherProgram();

private:
    QProcessEnvironment childEnvironment() const;

    QTemporaryDir m_runtime;
    QTemporaryDir m_home;
    std::unique_ptr<TestServer> m_server;
    std::unique_ptr<InstanceServer> m_instance;
};

namespace {

QByteArray frame(const QByteArray &url)
{
    char length[4];
    qToBigEndian(quint32(url.size()), length);
    return QByteArray(length, 4) + url;
}

const QByteArray End(4, '\0');

// Connects a peer to a program's socket and sends it a message.
bool sendTo(QLocalSocket &peer, const QString &path, const QByteArray &message)
{
    peer.connectToServer(path);
    return peer.waitForConnected(10000) && peer.write(message) == message.size();
}

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run run(const QString &program, const QStringList &arguments,
        const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
        const QString &directory = QString())
{
    QProcess process;
    process.setProcessEnvironment(env);
    if (!directory.isEmpty())
        process.setWorkingDirectory(directory);
    process.start(program, arguments);
    Run result;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished(5000);
        result.err = "did not finish: " + process.readAllStandardError();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

// A socket file as a crashed program leaves it: bound, but nobody listens.
bool makeStaleSocket(const QString &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (name.size() >= qsizetype(sizeof(address.sun_path))) {
        ::close(fd);
        return false;
    }
    memcpy(address.sun_path, name.constData(), name.size());
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0;
    ::close(fd);
    return bound;
}

} // namespace

void tst_Desktop::initTestCase()
{
    QVERIFY(m_runtime.isValid());
    QVERIFY(m_home.isValid());
    QVERIFY(QFile::exists(QStringLiteral(TWK_BINARY)));
    m_server = TestServer::gophernicus(QStringLiteral(TWK_SOURCE_DIR "/share/gopherspace"));
    QVERIFY2(m_server, qPrintable(TestServer::lastError()));
    m_instance = std::make_unique<InstanceServer>();
    QVERIFY(m_instance->listen(m_runtime.filePath(QStringLiteral("tarnwick.socket"))));
}

QProcessEnvironment tst_Desktop::childEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    env.insert(QStringLiteral("HOME"), m_home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
    // The history and the session stay in the test's home too.
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_STATE_HOME"), m_home.filePath(QStringLiteral("state")));
    env.remove(QStringLiteral("TWK_CONFIG"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

void tst_Desktop::desktopFilesValidate_data()
{
    QTest::addColumn<QString>("validator");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArrayList>("lines");  // each must be in the file

    QTest::newRow("desktop entry")
        << QStringLiteral("desktop-file-validate") << QStringList{QStringLiteral(TWK_DESKTOP_FILE)}
        << QByteArrayList{"Exec=tarnwick %u\n", "Icon=tarnwick\n",
                          "MimeType=x-scheme-handler/gopher;\n"};
    QTest::newRow("AppStream metainfo")
        << QStringLiteral("appstreamcli")
        << QStringList{QStringLiteral("validate"), QStringLiteral("--no-net"), QStringLiteral(TWK_METAINFO_FILE)}
        << QByteArrayList{"<launchable type=\"desktop-id\">tarnwick.desktop</launchable>",
                          "<binary>tarnwick</binary>"};
}

void tst_Desktop::desktopFilesValidate()
{
    QFETCH(QString, validator);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArrayList, lines);

    const QString program = QStandardPaths::findExecutable(validator);
    QVERIFY2(!program.isEmpty(), qPrintable(validator + QStringLiteral(" is not installed")));
    const Run result = run(program, arguments);
    QVERIFY2(result.exitCode == 0, QByteArray(result.out + result.err).constData());
    QFile file(arguments.last());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    for (const QByteArray &line : lines)
        QVERIFY2(text.contains(line), line.constData());
}

void tst_Desktop::installedProgramFindsItsTables()
{
    QTemporaryDir prefix;
    QVERIFY(prefix.isValid());
    const Run install = run(QStringLiteral("cmake"),
                            {QStringLiteral("--install"), QStringLiteral(TWK_BUILD_DIR),
                             QStringLiteral("--prefix"), prefix.path()});
    QVERIFY2(install.exitCode == 0, QByteArray(install.out + install.err).constData());

    const QStringList installed{
        QStringLiteral("bin/tarnwick"),
        QStringLiteral("share/tarnwick/extviews.cnf"),
        QStringLiteral("share/tarnwick/language.cnf"),
        QStringLiteral("share/applications/tarnwick.desktop"),
        QStringLiteral("share/metainfo/io.github.tarnwick.Tarnwick.metainfo.xml"),
        QStringLiteral("share/icons/hicolor/scalable/apps/tarnwick.svg"),
        QStringLiteral("share/icons/hicolor/16x16/apps/tarnwick.png"),
        QStringLiteral("share/icons/hicolor/256x256/apps/tarnwick.png"),
        QStringLiteral("share/man/man1/tarnwick.1.gz"),
        QStringLiteral("share/doc/tarnwick/examples/gopherspace/gophermap"),
    };
    for (const QString &path : installed)
        QVERIFY2(QFile::exists(prefix.filePath(path)), qPrintable(path));
    // The metainfo, the desktop entry and the icon as software centres see them together.
    const Run tree = run(QStringLiteral("appstreamcli"),
                         {QStringLiteral("validate-tree"), QStringLiteral("--no-net"), prefix.path()});
    QVERIFY2(tree.exitCode == 0, QByteArray(tree.out + tree.err).constData());

    // A Gopher+ item in two views: the shipped extended-views table ranks
    // plain text, so with the table found the text view is fetched, and
    // without it the program can only list the views.
    const QByteArray attributes("+-1\r\n+INFO: 0Tarn\t/tarn\t127.0.0.1\t70\t+\r\n+VIEWS:\r\n"
                                " application/pdf: <12k>\r\n text/plain En_US: <1k>\r\n.\r\n");
    auto route = [](const QByteArray &request, const QByteArray &reply) {
        return QJsonObject{{QStringLiteral("match"), QString::fromLatin1(request)},
                           {QStringLiteral("steps"),
                            QJsonArray{QJsonObject{{QStringLiteral("send"),
                                                    QString::fromLatin1(reply)}}}}};
    };
    const QJsonArray routes{route("/tarn\t!", attributes),
                            route("/tarn\t+text/plain En_US", "+-1\r\nHello\r\n.\r\n")};
    auto server = TestServer::scripted(
        QJsonDocument(QJsonObject{{QStringLiteral("routes"), routes}}).toJson());
    QVERIFY2(server, qPrintable(TestServer::lastError()));

    // Nothing of the build tree, the user or the current directory helps.
    QTemporaryDir elsewhere;
    QProcessEnvironment env = childEnvironment();
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    const QString program = prefix.filePath(QStringLiteral("bin/tarnwick"));
    const QStringList arguments{QStringLiteral("--dump"), server->url(QStringLiteral("0/tarn%09+"))};
    const Run found = run(program, arguments, env, elsewhere.path());
    QVERIFY2(found.exitCode == 0, found.err.constData());
    QVERIFY2(found.err.contains("view: text/plain En_US\n"), found.err.constData());
    QVERIFY2(found.out.startsWith("Hello\n"), found.out.constData());

    if (QFileInfo(QStringLiteral(TWK_INSTALL_DATADIR)).isDir())
        return;  // the system has its own copy of the tables
    QVERIFY(QDir(prefix.filePath(QStringLiteral("share/tarnwick"))).removeRecursively());
    const Run missing = run(program, arguments, env, elsewhere.path());
    QVERIFY2(!missing.err.contains("view: "), missing.err.constData());
}

void tst_Desktop::readerFraming_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("pieceSize");  // 0: all at once
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArrayList>("urls");

    const int done = InstanceChannel::Reader::Done;
    const int bad = InstanceChannel::Reader::Bad;
    const QByteArray a("gopher://a.example/");
    const QByteArray b("gopher://b.example:7070/0/x");
    const QByteArray two = "TWK1" + frame(a) + frame(b) + End;
    QTest::newRow("two URLs") << two << 0 << done << QByteArrayList{a, b};
    QTest::newRow("byte by byte") << two << 1 << done << QByteArrayList{a, b};
    QTest::newRow("no URL") << QByteArray("TWK1" + End) << 0 << done << QByteArrayList();
    QTest::newRow("cut short") << two.chopped(1) << 0 << int(InstanceChannel::Reader::NeedMore)
                               << QByteArrayList{a, b};
    QTest::newRow("wrong magic, seen at the first byte")
        << QByteArray("GET / HTTP/1.0\r\n") << 1 << bad << QByteArrayList();
    QTest::newRow("bytes after the end") << QByteArray(two + 'x') << 0 << bad << QByteArrayList{a, b};
    // Only the length of a URL over its limit: refused before the URL arrives.
    const QByteArray tooLong = "TWK1" + frame(QByteArray(InstanceChannel::MaxUrl + 1, 'u')).left(4);
    QTest::newRow("URL over its limit") << tooLong << 0 << bad << QByteArrayList();
    QByteArray endless("TWK1");
    while (endless.size() <= InstanceChannel::MaxMessage)
        endless += frame(QByteArray(1000, 'u'));
    QTest::newRow("message over its limit") << endless << 4096 << bad << QByteArrayList();
}

void tst_Desktop::readerFraming()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, pieceSize);
    QFETCH(int, status);
    QFETCH(QByteArrayList, urls);

    InstanceChannel::Reader reader;
    const qsizetype step = pieceSize > 0 ? pieceSize : bytes.size();
    for (qsizetype at = 0; at < bytes.size(); at += step)
        reader.feed(QByteArrayView(bytes).sliced(at, std::min(step, bytes.size() - at)));
    QCOMPARE(int(reader.status()), status);
    if (status != InstanceChannel::Reader::Bad || !urls.isEmpty())
        QCOMPARE(reader.urls(), urls);
}

void tst_Desktop::encodeRefusesWhatBreaksALimit()
{
    QCOMPARE(InstanceChannel::encode({"gopher://a/"}), QByteArray("TWK1" + frame("gopher://a/") + End));
    QVERIFY(InstanceChannel::encode({QByteArray(InstanceChannel::MaxUrl + 1, 'u')}).isEmpty());
    QVERIFY(InstanceChannel::encode(QByteArrayList(200, QByteArray(8000, 'u'))).isEmpty());
    // Many URLs fit as long as the message does.
    QVERIFY(!InstanceChannel::encode(QByteArrayList(1000, QByteArray(500, 'u'))).isEmpty());
}

void tst_Desktop::secondStartHandsOver_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArrayList>("handedOver");
    QTest::addColumn<int>("opened");
    QTest::addColumn<QByteArray>("message");  // shown by the running program

    const QString menu = m_server->url();
    const QString text = m_server->url(QStringLiteral("0/about.txt"));
    QTest::newRow("one URL") << QStringList{menu} << QByteArrayList{menu.toUtf8()} << 1
                             << QByteArray();
    QTest::newRow("no URL: the running program comes forward")
        << QStringList() << QByteArrayList() << 0 << QByteArray();
    QTest::newRow("no host")
        << QStringList{QStringLiteral("gopher:///1/x")} << QByteArrayList{"gopher:///1/x"} << 0
        << QByteArray("Not a gopher URL: gopher:///1/x");
    QTest::newRow("control bytes and a port that is no number")
        << QStringList{QStringLiteral("gopher://h\x1b[2J:port/")}
        << QByteArrayList{"gopher://h\x1b[2J:port/"} << 0
        << QByteArray("Not a gopher URL: gopher://h?[2J:port/");
    // The running program goes on after a refusal, and opens the good ones
    // of a mixed list.
    QTest::newRow("several URLs, one refused")
        << QStringList{text, QStringLiteral("gopher://"), menu}
        << QByteArrayList{text.toUtf8(), "gopher://", menu.toUtf8()} << 2
        << QByteArray("Not a gopher URL: gopher://");
}

void tst_Desktop::secondStartHandsOver()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArrayList, handedOver);
    QFETCH(int, opened);
    QFETCH(QByteArray, message);

    QSignalSpy received(m_instance.get(), &InstanceServer::urlsReceived);
    QProcess second;
    second.setProcessEnvironment(childEnvironment());
    QSignalSpy finished(&second, &QProcess::finished);
    second.start(QStringLiteral(TWK_BINARY), arguments);
    QVERIFY(received.wait(30000));
    QVERIFY(finished.count() == 1 || finished.wait(30000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    const QByteArrayList urls = received.at(0).at(0).value<QByteArrayList>();
    QCOMPARE(urls, handedOver);

    // What the running program does with them.
    RecordingUserInterface ui;
    CTarnwickApp app(ui);
    app.registerDefaultTemplates();
    QCOMPARE(InstanceChannel::openUrls(app, urls), opened);
    QCOMPARE(ui.messages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QCOMPARE(ui.messages.at(0).text, message);
}

void tst_Desktop::commandLineModesNeverHandOver()
{
    QSignalSpy received(m_instance.get(), &InstanceServer::urlsReceived);
    const Run dump = run(QStringLiteral(TWK_BINARY),
                         {QStringLiteral("--dump"), QStringLiteral("gopher:///1/x")},
                         childEnvironment(), m_home.path());
    QCOMPARE(dump.exitCode, 2);
    QCOMPARE(dump.err, QByteArray("tarnwick: not a gopher URL: gopher:///1/x\n"));
    QCOMPARE(received.count(), 0);
}

void tst_Desktop::brokenMessageIsRefusedAndServingGoesOn()
{
    QSignalSpy refused(m_instance.get(), &InstanceServer::messageRefused);
    QLocalSocket peer;
    QVERIFY(sendTo(peer, m_instance->socketPath(), "TWK1" + frame("gopher://a/") + "junk after the URL"));
    QTRY_COMPARE_WITH_TIMEOUT(peer.bytesAvailable(), 1, 10000);
    QCOMPARE(peer.read(1), QByteArray(1, InstanceChannel::Nak));
    QCOMPARE(refused.count(), 1);

    QSignalSpy received(m_instance.get(), &InstanceServer::urlsReceived);
    QLocalSocket next;
    QVERIFY(sendTo(next, m_instance->socketPath(), InstanceChannel::encode({"gopher://b/"})));
    QVERIFY(received.wait(10000));
    QTRY_COMPARE_WITH_TIMEOUT(next.bytesAvailable(), 1, 10000);
    QCOMPARE(next.read(1), QByteArray(1, InstanceChannel::Ack));
}

void tst_Desktop::staleSocketDoesNotStopAStart()
{
    QTemporaryDir runtime;
    const QString path = runtime.filePath(QStringLiteral("tarnwick.socket"));
    QVERIFY(makeStaleSocket(path));
    QCOMPARE(InstanceChannel::handOver(path, {"gopher://a/"}), InstanceChannel::HandOver::NoServer);

    InstanceServer first;
    QVERIFY(first.listen(path));
    // A live program keeps its socket.
    InstanceServer second;
    QVERIFY(!second.listen(path));
    QSignalSpy received(&first, &InstanceServer::urlsReceived);
    QLocalSocket peer;
    QVERIFY(sendTo(peer, path, InstanceChannel::encode({"gopher://a/"})));
    QVERIFY(received.wait(10000));

    // A program on a configuration directory of its own is a program apart.
    const QString plain = InstanceChannel::defaultSocketPath();
    const QString own = InstanceChannel::defaultSocketPath(runtime.path());
    QVERIFY(own.endsWith(QLatin1String(".socket")));
    QVERIFY(own != plain);
    QCOMPARE(InstanceChannel::defaultSocketPath(runtime.path() + QLatin1Char('/')), own);
}

void tst_Desktop::makeDefaultGopherProgram_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("message");

    QTest::newRow("done") << QStringList{QStringLiteral("true")} << true
                          << QByteArray("Tarnwick is now the default Gopher program.\n"
                                        "tarnwick.desktop is not installed yet: gopher: links "
                                        "reach Tarnwick once it is.");
    QTest::newRow("program fails")
        << QStringList{QStringLiteral("sh"), QStringLiteral("-c"),
                       QStringLiteral("echo no mimeapps.list >&2; exit 3")}
        << false
        << QByteArray("Couldn't make Tarnwick the default Gopher program.\n"
                      "sh -c 'echo no mimeapps.list >&2; exit 3' ended with code 3:\n"
                      "no mimeapps.list");
    QTest::newRow("program missing")
        << QStringList{QStringLiteral("no-such-xdg-mime")} << false
        << QByteArray("Couldn't make Tarnwick the default Gopher program.\n"
                      "Couldn't run no-such-xdg-mime\nThe file was not found");
}

void tst_Desktop::makeDefaultGopherProgram()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, ok);
    QFETCH(QByteArray, message);

    QCOMPARE(DefaultGopherProgram::defaultArguments(),
             QStringList({QStringLiteral("xdg-mime"), QStringLiteral("default"),
                          QStringLiteral("tarnwick.desktop"),
                          QStringLiteral("x-scheme-handler/gopher")}));
    // No desktop entry of ours where the desktop looks.
    qputenv("XDG_DATA_HOME", m_home.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_DATA_DIRS", m_home.filePath(QStringLiteral("shared")).toUtf8());

    RecordingUserInterface ui;
    DefaultGopherProgram handler(ui);
    handler.setArguments(arguments);
    QSignalSpy finished(&handler, &DefaultGopherProgram::finished);
    const bool started = handler.start();
    if (started)
        QVERIFY(finished.wait(30000));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), ok);
    QCOMPARE(ui.messages.size(), 1);
    QCOMPARE(ui.messages.at(0).text, message);
    QVERIFY(!handler.isRunning());
}

QTEST_GUILESS_MAIN(tst_Desktop)

#include "tst_desktop.moc"
