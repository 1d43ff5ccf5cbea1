#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <utility>

class QProcess;

// A Gopher server on 127.0.0.1 for the length of a test: Debian's gophernicus
// (plain Gopher, menus end with "."), Debian's pygopherd (Gopher+), or our
// scripted server (tests/servers/scripted_server.py) for what real servers
// will not do: split lines, resets, endless replies, ask forms, CSO.
//
//     auto server = TestServer::gophernicus(root);
//     QVERIFY2(server, qPrintable(TestServer::lastError()));
//     ... gopher://127.0.0.1:server->port()/ ...
//
// Each server runs in its own process group on a free port picked at run
// time; the destructor stops the whole group.
class TestServer
{
public:
    enum class Kind { Gophernicus, Pygopherd, Scripted, Cso, Socks };

    ~TestServer();
    TestServer(const TestServer &) = delete;
    TestServer &operator=(const TestServer &) = delete;

    // Serves root with gophernicus behind socat. options replace
    // defaultGophernicusOptions(); "-nr", "-h", "-p" and "-r" are always given.
    static std::unique_ptr<TestServer> gophernicus(const QString &root);
    static std::unique_ptr<TestServer> gophernicus(const QString &root, const QStringList &options);
    // Without header, footer, dates and sizes, parent links, charset
    // conversion, syslog or shared memory: menus list exactly the files, and
    // text files come back with the bytes on disk (LF turned into CR LF).
    static QStringList defaultGophernicusOptions();

    // gophernicus behind socat's TLS listener (OPENSSL-LISTEN) with the PEM
    // certificate and key given: url() then begins "gophers://".
    static std::unique_ptr<TestServer> gophernicusTls(const QString &root, const QString &certificate,
                                                      const QString &key);

    // microsocks, a SOCKS5 proxy, on 127.0.0.1; it asks for the user name and
    // password when they are given.
    static std::unique_ptr<TestServer> microsocks(const QString &user = {},
                                                  const QString &password = {});

    // Serves a copy of root (pygopherd writes cache files into its tree).
    static std::unique_ptr<TestServer> pygopherd(const QString &root);

    // Replies from a JSON script; see tests/servers/scripted_server.py.
    static std::unique_ptr<TestServer> scripted(const QByteArray &scriptJson);

    // Our CSO phone-book server (tests/servers/cso_server.py), with its
    // built-in book or the JSON book in dataFile.
    static std::unique_ptr<TestServer> cso(const QString &dataFile = QString());

    // bytes as a quoted JSON string in the script's convention (one
    // character per byte), for building scripts from QByteArray data.
    static QByteArray jsonBytes(const QByteArray &bytes);

    // Writes the files (path relative to root, content) into root and makes
    // the tree readable by everybody, as gophernicus serves nothing else.
    // On failure returns false and lastError() says why.
    [[nodiscard]] static bool writeServedTree(const QString &root,
                                              const QList<std::pair<QString, QByteArray>> &files);

    // Why the last factory call returned nullptr.
    static QString lastError();

    Kind kind() const { return m_kind; }
    quint16 port() const { return m_port; }
    static QString host() { return QStringLiteral("127.0.0.1"); }
    // gopher://127.0.0.1:port/ followed by path (e.g. "1/sub/").
    QString url(const QString &path = QString()) const;
    // The tree pygopherd serves (the copy); the given root for gophernicus.
    QString servedRoot() const { return m_servedRoot; }

    // Scripted and CSO servers only, in order of arrival: the request bytes of each
    // connection (up to and including the first LF).
    QList<QByteArray> requests() const;
    // Scripted and CSO servers only, by connection: every byte the server has read on
    // it so far (request, uploads, what arrived before the close).
    QList<QByteArray> received() const;

    // Stops the server now (the destructor does the same).
    void stop();

private:
    explicit TestServer(Kind kind);
    [[nodiscard]] bool startProcess(const QString &program, const QStringList &arguments);
    static std::unique_ptr<TestServer> startGophernicus(const QString &root, const QStringList &options,
                                                        const QString &listenOptions);
    [[nodiscard]] bool waitForConnect();
    [[nodiscard]] bool waitForPortLine();
    QString processOutput() const;
    QList<std::pair<int, QByteArray>> logEntries(const QString &key) const;

    Kind m_kind;
    quint16 m_port = 0;
    bool m_tls = false;
    QString m_servedRoot;
    QTemporaryDir m_workDir;
    std::unique_ptr<QProcess> m_process;
    qint64 m_pid = 0;
};
