#include "tests/support/testservers.h"

#include "tests/support/ports.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <map>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int startAttempts = 5;
constexpr int readyTimeoutMs = 10000;
constexpr int stopTimeoutMs = 3000;

QString &lastErrorText()
{
    static QString text;
    return text;
}

QString testsDir()
{
    return QStringLiteral(TWK_TESTS_DIR);
}

QString python()
{
    // The system interpreter: pygopherd is installed for it, and the scripts
    // use its standard library only.
    return QStringLiteral("/usr/bin/python3");
}

bool acceptsConnections(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

} // namespace

TestServer::TestServer(Kind kind)
    : m_kind(kind)
{
}

TestServer::~TestServer()
{
    stop();
}

QString TestServer::lastError()
{
    return lastErrorText();
}

bool TestServer::writeServedTree(const QString &root,
                                 const QList<std::pair<QString, QByteArray>> &files)
{
    lastErrorText().clear();
    const QDir dir(root);
    const QFile::Permissions everybody = QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup
                                         | QFile::ExeGroup;
    if (!QFile::setPermissions(root, QFile::permissions(root) | everybody)) {
        lastErrorText() = QStringLiteral("cannot open up ") + root;
        return false;
    }
    for (const auto &[name, content] : files) {
        const QString path = dir.filePath(name);
        if (!dir.mkpath(QFileInfo(path).path())) {
            lastErrorText() = QStringLiteral("cannot make the directory of ") + path;
            return false;
        }
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
            lastErrorText() = QStringLiteral("cannot write ") + path;
            return false;
        }
    }
    return true;
}

QStringList TestServer::defaultGophernicusOptions()
{
    return {QStringLiteral("-nv"), QStringLiteral("-nu"), QStringLiteral("-nh"), QStringLiteral("-nf"),
            QStringLiteral("-nd"), QStringLiteral("-nl"), QStringLiteral("-no"), QStringLiteral("-ns"),
            QStringLiteral("-nm"), QStringLiteral("-nx")};
}

std::unique_ptr<TestServer> TestServer::gophernicus(const QString &root)
{
    return gophernicus(root, defaultGophernicusOptions());
}

std::unique_ptr<TestServer> TestServer::gophernicus(const QString &root, const QStringList &options)
{
    return startGophernicus(root, options, QString());
}

std::unique_ptr<TestServer> TestServer::gophernicusTls(const QString &root, const QString &certificate,
                                                       const QString &key)
{
    return startGophernicus(root, defaultGophernicusOptions(),
                            QStringLiteral(",cert=") + certificate + QStringLiteral(",key=") + key
                                + QStringLiteral(",verify=0"));
}

std::unique_ptr<TestServer> TestServer::microsocks(const QString &user, const QString &password)
{
    lastErrorText().clear();
    const QString program = QStandardPaths::findExecutable(QStringLiteral("microsocks"));
    if (program.isEmpty()) {
        lastErrorText() = QStringLiteral("microsocks is not installed");
        return nullptr;
    }
    for (int attempt = 0; attempt < startAttempts; ++attempt) {
        std::unique_ptr<TestServer> server(new TestServer(Kind::Socks));
        server->m_port = TestPorts::freePort();
        QStringList arguments{QStringLiteral("-i"), host(), QStringLiteral("-p"),
                              QString::number(server->m_port)};
        if (!user.isEmpty())
            arguments << QStringLiteral("-u") << user << QStringLiteral("-P") << password;
        if (server->startProcess(program, arguments) && server->waitForConnect())
            return server;
    }
    return nullptr;
}

std::unique_ptr<TestServer> TestServer::startGophernicus(const QString &root, const QStringList &options,
                                                         const QString &tlsOptions)
{
    lastErrorText().clear();
    if (!QFileInfo(root).isDir()) {
        lastErrorText() = QStringLiteral("gophernicus: no such directory: ") + root;
        return nullptr;
    }
    const QString socat = QStandardPaths::findExecutable(QStringLiteral("socat"));
    if (socat.isEmpty() || !QFileInfo::exists(QStringLiteral("/usr/sbin/gophernicus"))) {
        lastErrorText() = QStringLiteral("gophernicus: socat or /usr/sbin/gophernicus is not installed");
        return nullptr;
    }
    const QString absRoot = QFileInfo(root).absoluteFilePath();
    for (int attempt = 0; attempt < startAttempts; ++attempt) {
        std::unique_ptr<TestServer> server(new TestServer(Kind::Gophernicus));
        server->m_servedRoot = absRoot;
        server->m_tls = !tlsOptions.isEmpty();
        server->m_port = TestPorts::freePort();
        const QString port = QString::number(server->m_port);
        // gophernicus serves one connection on stdin/stdout, like under inetd;
        // socat accepts and forks one per connection. "-nr" lets it run as root.
        QStringList command{QStringLiteral("/usr/sbin/gophernicus"), QStringLiteral("-nr")};
        command << options << QStringLiteral("-h") << host() << QStringLiteral("-p") << port
                << QStringLiteral("-r") << absRoot;
        // Behind TLS socat relays the bytes itself (nofork is refused there).
        const QStringList arguments{
            (server->m_tls ? QStringLiteral("OPENSSL-LISTEN:") : QStringLiteral("TCP-LISTEN:")) + port
                + QStringLiteral(",bind=127.0.0.1,fork,reuseaddr,backlog=64") + tlsOptions,
            QStringLiteral("EXEC:\"") + command.join(QLatin1Char(' '))
                + (server->m_tls ? QStringLiteral("\"") : QStringLiteral("\",nofork"))};
        if (server->startProcess(socat, arguments) && server->waitForConnect())
            return server;
    }
    return nullptr;
}

std::unique_ptr<TestServer> TestServer::pygopherd(const QString &root)
{
    lastErrorText().clear();
    if (!QFileInfo(root).isDir()) {
        lastErrorText() = QStringLiteral("pygopherd: no such directory: ") + root;
        return nullptr;
    }
    if (!QFileInfo::exists(QStringLiteral("/usr/sbin/pygopherd"))) {
        lastErrorText() = QStringLiteral("pygopherd: /usr/sbin/pygopherd is not installed");
        return nullptr;
    }
    const QString launcher = testsDir() + QStringLiteral("/servers/run_pygopherd.py");
    for (int attempt = 0; attempt < startAttempts; ++attempt) {
        std::unique_ptr<TestServer> server(new TestServer(Kind::Pygopherd));
        if (!server->m_workDir.isValid()) {
            lastErrorText() = QStringLiteral("pygopherd: cannot create a temporary directory");
            return nullptr;
        }
        server->m_servedRoot = server->m_workDir.filePath(QStringLiteral("root"));
        server->m_port = TestPorts::freePort();
        const QStringList arguments{launcher,
                                    QStringLiteral("--root"), QFileInfo(root).absoluteFilePath(),
                                    QStringLiteral("--port"), QString::number(server->m_port),
                                    QStringLiteral("--workdir"), server->m_workDir.path()};
        if (server->startProcess(python(), arguments) && server->waitForConnect())
            return server;
    }
    return nullptr;
}

std::unique_ptr<TestServer> TestServer::scripted(const QByteArray &scriptJson)
{
    lastErrorText().clear();
    std::unique_ptr<TestServer> server(new TestServer(Kind::Scripted));
    if (!server->m_workDir.isValid()) {
        lastErrorText() = QStringLiteral("scripted server: cannot create a temporary directory");
        return nullptr;
    }
    const QString scriptPath = server->m_workDir.filePath(QStringLiteral("script.json"));
    QFile script(scriptPath);
    if (!script.open(QIODevice::WriteOnly) || script.write(scriptJson) != scriptJson.size()) {
        lastErrorText() = QStringLiteral("scripted server: cannot write ") + scriptPath;
        return nullptr;
    }
    script.close();
    const QStringList arguments{testsDir() + QStringLiteral("/servers/scripted_server.py"),
                                QStringLiteral("--script"), scriptPath,
                                QStringLiteral("--log"), server->m_workDir.filePath(QStringLiteral("log.jsonl"))};
    // Port 0: the server binds first and then says which port it got, so
    // there is no race to retry.
    if (server->startProcess(python(), arguments) && server->waitForPortLine())
        return server;
    return nullptr;
}

std::unique_ptr<TestServer> TestServer::cso(const QString &dataFile)
{
    lastErrorText().clear();
    std::unique_ptr<TestServer> server(new TestServer(Kind::Cso));
    if (!server->m_workDir.isValid()) {
        lastErrorText() = QStringLiteral("CSO server: cannot create a temporary directory");
        return nullptr;
    }
    QStringList arguments{testsDir() + QStringLiteral("/servers/cso_server.py"),
                          QStringLiteral("--log"), server->m_workDir.filePath(QStringLiteral("log.jsonl"))};
    if (!dataFile.isEmpty())
        arguments << QStringLiteral("--data") << dataFile;
    if (server->startProcess(python(), arguments) && server->waitForPortLine())
        return server;
    return nullptr;
}

QByteArray TestServer::jsonBytes(const QByteArray &bytes)
{
    const QByteArray array = QJsonDocument(QJsonArray{QString::fromLatin1(bytes)}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

QString TestServer::url(const QString &path) const
{
    return (m_tls ? QStringLiteral("gophers://127.0.0.1:") : QStringLiteral("gopher://127.0.0.1:"))
           + QString::number(m_port) + QLatin1Char('/') + path;
}

bool TestServer::startProcess(const QString &program, const QStringList &arguments)
{
    if (!m_workDir.isValid()) {
        lastErrorText() = QStringLiteral("cannot create a temporary directory for the server");
        return false;
    }
    m_process = std::make_unique<QProcess>();
    // A group of its own, so that stop() reaches the children socat and
    // pygopherd fork, and so that pygopherd's "kill my process group" on
    // SIGTERM cannot reach the test.
    m_process->setChildProcessModifier([] { ::setsid(); });
    // Output goes to a file: a pipe nobody reads would fill up and stall
    // the server. The scripted server's stdout says which port it got.
    const QString outputFile = m_workDir.filePath(QStringLiteral("server.out"));
    if (m_kind == Kind::Scripted || m_kind == Kind::Cso) {
        m_process->setStandardErrorFile(outputFile);
    } else {
        m_process->setProcessChannelMode(QProcess::MergedChannels);
        m_process->setStandardOutputFile(outputFile);
    }
    m_process->start(program, arguments);
    if (!m_process->waitForStarted(readyTimeoutMs)) {
        lastErrorText() = program + QStringLiteral(": ") + m_process->errorString();
        m_process.reset();
        return false;
    }
    m_pid = m_process->processId();
    return true;
}

QString TestServer::processOutput() const
{
    QFile output(m_workDir.filePath(QStringLiteral("server.out")));
    if (!output.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(output.readAll().right(4000)).trimmed();
}

bool TestServer::waitForConnect()
{
    const QDeadlineTimer deadline(readyTimeoutMs);
    while (!deadline.hasExpired()) {
        if (m_process->state() == QProcess::NotRunning) {
            lastErrorText() = QStringLiteral("server exited before listening on port ")
                              + QString::number(m_port) + QStringLiteral(": ") + processOutput();
            stop();
            return false;
        }
        if (acceptsConnections(m_port))
            return true;
        QTest::qWait(20);
    }
    lastErrorText() = QStringLiteral("server did not accept connections on port ") + QString::number(m_port)
                      + QStringLiteral(" within 10 s: ") + processOutput();
    stop();
    return false;
}

bool TestServer::waitForPortLine()
{
    const QDeadlineTimer deadline(readyTimeoutMs);
    QByteArray out;
    while (!deadline.hasExpired()) {
        out += m_process->readAllStandardOutput();
        const qsizetype end = out.indexOf('\n');
        if (end >= 0) {
            const QByteArray line = out.left(end).trimmed();
            bool ok = false;
            const uint port = line.startsWith("PORT ") ? line.mid(5).toUInt(&ok) : 0;
            if (ok && port > 0 && port <= 65535) {
                m_port = quint16(port);
                return true;
            }
            lastErrorText() = QStringLiteral("scripted server: unexpected output: ") + QString::fromLocal8Bit(line);
            stop();
            return false;
        }
        if (m_process->state() == QProcess::NotRunning) {
            lastErrorText() = QStringLiteral("scripted server exited: ") + processOutput();
            stop();
            return false;
        }
        QTest::qWait(20);
    }
    lastErrorText() = QStringLiteral("scripted server did not start listening within 10 s: ") + processOutput();
    stop();
    return false;
}

void TestServer::stop()
{
    if (!m_process)
        return;
    if (m_pid > 0) {
        ::kill(pid_t(-m_pid), SIGTERM);
        if (!m_process->waitForFinished(stopTimeoutMs))
            ::kill(pid_t(-m_pid), SIGKILL);
        // Children that outlived their parent (a connection still being
        // served) belong to the same group.
        ::kill(pid_t(-m_pid), SIGKILL);
    }
    m_process->waitForFinished(stopTimeoutMs);
    m_process.reset();
    m_pid = 0;
}

QList<std::pair<int, QByteArray>> TestServer::logEntries(const QString &key) const
{
    QList<std::pair<int, QByteArray>> entries;
    if (m_kind != Kind::Scripted && m_kind != Kind::Cso)
        return entries;
    QFile log(m_workDir.filePath(QStringLiteral("log.jsonl")));
    if (!log.open(QIODevice::ReadOnly))
        return entries;
    const QList<QByteArray> lines = log.readAll().split('\n');
    // The last piece is empty or a line still being written.
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QJsonObject entry = QJsonDocument::fromJson(lines.at(i)).object();
        if (key.isEmpty() || entry.contains(key))
            entries.append({entry.value(QStringLiteral("conn")).toInt(),
                            QByteArray::fromHex(entry.value(QStringLiteral("hex")).toString().toLatin1())});
    }
    return entries;
}

QList<QByteArray> TestServer::requests() const
{
    QList<QByteArray> result;
    const auto entries = logEntries(QStringLiteral("request"));
    for (const auto &entry : entries)
        result.append(entry.second);
    return result;
}

QList<QByteArray> TestServer::received() const
{
    std::map<int, QByteArray> byConnection;
    const auto entries = logEntries(QString());
    for (const auto &entry : entries)
        byConnection[entry.first] += entry.second;
    QList<QByteArray> result;
    for (const auto &[connection, bytes] : byConnection)
        result.append(bytes);
    return result;
}
