#include "app/defaultgopherprogram.h"
#include "app/instancechannel.h"
#include "app/tarnwickapp.h"
#include "documents/userinterface.h"
#include "net/transactionengine.h"
#include "support/testservers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
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
    void handOverPastIdlePeersAnswersFirst();
    void secondProgramOnlyWhenNothingListens_data();
    void secondProgramOnlyWhenNothingListens();
    void manyUrlsAskFirst_data();
    void manyUrlsAskFirst();

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
        << QByteArrayList{"Exec=tarnwick %U\n", "Icon=io.github.tarnwick.Tarnwick\n",
                          "MimeType=x-scheme-handler/gopher;\n"};
    // The software centre shows the README's pictures.
    QByteArrayList metainfo{"<launchable type=\"desktop-id\">io.github.tarnwick.Tarnwick.desktop</launchable>",
                            "<binary>tarnwick</binary>", "<url type=\"homepage\">"};
    QFile readme(QStringLiteral(TWK_SOURCE_DIR "/README.md"));
    QVERIFY(readme.open(QIODevice::ReadOnly));
    static const QRegularExpression picture(QStringLiteral("!\\[[^\\]]*\\]\\((share/screenshots/[^)]+)\\)"));
    for (const QRegularExpressionMatch &m : picture.globalMatch(QString::fromUtf8(readme.readAll())))
        metainfo.append("/" + m.captured(1).toUtf8() + "</image>");
    QVERIFY(metainfo.size() > 10);
    QTest::newRow("AppStream metainfo")
        << QStringLiteral("appstreamcli")
        << QStringList{QStringLiteral("validate"), QStringLiteral("--no-net"), QStringLiteral(TWK_METAINFO_FILE)}
        << metainfo;
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
        QStringLiteral("share/applications/io.github.tarnwick.Tarnwick.desktop"),
        QStringLiteral("share/metainfo/io.github.tarnwick.Tarnwick.metainfo.xml"),
        QStringLiteral("share/icons/hicolor/scalable/apps/io.github.tarnwick.Tarnwick.svg"),
        QStringLiteral("share/icons/hicolor/16x16/apps/io.github.tarnwick.Tarnwick.png"),
        QStringLiteral("share/icons/hicolor/256x256/apps/io.github.tarnwick.Tarnwick.png"),
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

void tst_Desktop::handOverPastIdlePeersAnswersFirst()
{
    // Peers that connect and say nothing fill every place...
    std::vector<std::unique_ptr<QLocalSocket>> idle;
    for (qsizetype i = 0; i < InstanceServer::MaxConnections; ++i) {
        idle.push_back(std::make_unique<QLocalSocket>());
        QVERIFY(sendTo(*idle.back(), m_instance->socketPath(), QByteArray()));
    }
    QTRY_COMPARE_WITH_TIMEOUT(m_instance->findChildren<QLocalSocket *>().size(),
                              InstanceServer::MaxConnections, 10000);
    // ...and a real start still hands its URL over, in the place of the oldest, and
    // has its answer before the running program opens (or asks about) windows.
    QProcess second;
    second.setProcessEnvironment(childEnvironment());
    int exitCode = -1;
    QElapsedTimer clock;
    const QMetaObject::Connection busy = connect(
        m_instance.get(), &InstanceServer::urlsReceived, this,
        [&] {
            // Kept from the event loop until the starter has ended or given up.
            clock.start();
            if (second.waitForFinished(15000) && second.exitStatus() == QProcess::NormalExit)
                exitCode = second.exitCode();
        },
        Qt::DirectConnection);
    QSignalSpy received(m_instance.get(), &InstanceServer::urlsReceived);
    second.start(QStringLiteral(TWK_BINARY), {m_server->url()});
    QVERIFY(received.wait(30000));
    disconnect(busy);
    if (second.state() != QProcess::NotRunning) {
        second.kill();
        second.waitForFinished(5000);
    }
    QCOMPARE(exitCode, 0);
    // Well inside the starter's five seconds of patience.
    QVERIFY2(clock.elapsed() < 4000, QByteArray::number(clock.elapsed()).constData());
    QCOMPARE(received.at(0).at(0).value<QByteArrayList>(), QByteArrayList{m_server->url().toUtf8()});
    QTRY_COMPARE_WITH_TIMEOUT(idle.front()->state(), QLocalSocket::UnconnectedState, 10000);
    QCOMPARE(idle.back()->state(), QLocalSocket::ConnectedState);
}

void tst_Desktop::secondProgramOnlyWhenNothingListens_data()
{
    QTest::addColumn<QByteArray>("answer");  // empty: none
    QTest::addColumn<QByteArray>("err");
    QTest::newRow("refuses") << QByteArray(1, InstanceChannel::Nak)
                             << QByteArray("tarnwick: the running Tarnwick refused the URLs (each may be 8 KiB long, "
                                           "all together 1 MiB)\n");
    QTest::newRow("does not answer")
        << QByteArray() << QByteArray("tarnwick: the running Tarnwick (%1) did not answer; nothing was opened\n");
}

void tst_Desktop::secondProgramOnlyWhenNothingListens()
{
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, err);
    // A listener that does not take the URLs: the start says so and ends, opening nothing.
    QTemporaryDir runtime;
    const QString path = runtime.filePath(QStringLiteral("tarnwick.socket"));
    QLocalServer listener;
    QVERIFY(listener.listen(path));
    QList<QLocalSocket *> peers;
    connect(&listener, &QLocalServer::newConnection, this, [&] {
        while (QLocalSocket *peer = listener.nextPendingConnection()) {
            peers.append(peer);
            connect(peer, &QLocalSocket::readyRead, peer, [peer, answer] {
                peer->readAll();
                if (!answer.isEmpty())
                    peer->write(answer);
            });
        }
    });
    QProcessEnvironment env = childEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    QProcess second;
    second.setProcessEnvironment(env);
    QSignalSpy finished(&second, &QProcess::finished);
    second.start(QStringLiteral(TWK_BINARY), {m_server->url()});
    QVERIFY(finished.wait(30000));
    QCOMPARE(second.exitCode(), 1);
    QCOMPARE(second.readAllStandardError(), err.replace("%1", QFile::encodeName(path)));
    QCOMPARE(peers.size(), 1);
}

void tst_Desktop::manyUrlsAskFirst_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<int>("opened");
    QTest::newRow("a few open at once") << 32 << QList<int>() << 32;
    QTest::newRow("many: all of them") << 40 << QList<int>{UserInterface::AnswerYes} << 40;
    QTest::newRow("many: only the first ones") << 400 << QList<int>{UserInterface::AnswerNo} << 32;
}

void tst_Desktop::manyUrlsAskFirst()
{
    QFETCH(int, count);
    QFETCH(QList<int>, answers);
    QFETCH(int, opened);
    QByteArrayList urls;
    for (int i = 0; i < count; ++i)
        urls.append("gopher://127.0.0.1:9/0/item" + QByteArray::number(i));
    RecordingUserInterface ui;
    ui.answers = answers;
    CTarnwickApp app(ui);
    app.registerDefaultTemplates();
    app.engine().setOffline(true);
    QCOMPARE(InstanceChannel::openUrls(app, urls), opened);
    QCOMPARE(ui.messages.size(), answers.size());
    if (answers.isEmpty())
        return;
    QCOMPARE(ui.messages.at(0).text, "Open " + QByteArray::number(count)
                                         + " windows, one for each gopher URL?\nNo opens the first 32.");
    QCOMPARE(ui.messages.at(0).buttons, UserInterface::YesNo);
}

void tst_Desktop::makeDefaultGopherProgram_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("message");

    QTest::newRow("done") << QStringList{QStringLiteral("true")} << true
                          << QByteArray("Tarnwick is now the default Gopher program.\n"
                                        "io.github.tarnwick.Tarnwick.desktop is not installed yet: "
                                        "gopher: links reach Tarnwick once it is.");
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
                          QStringLiteral("io.github.tarnwick.Tarnwick.desktop"),
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
