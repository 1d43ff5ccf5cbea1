#include "settings/programfiles.h"

#include "app/programoptions.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_ProgramFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void configDirectoryFromEnvironmentAndCommandLine_data();
    void configDirectoryFromEnvironmentAndCommandLine();
    void searchOrder_data();
    void searchOrder();
    void candidateOfAFileIsItsDirectory();
    void newFileInANamedDirectoryNotYetMade();

private:
    QString touch(const QString &dir);
    QTemporaryDir m_root;
    QString m_config, m_current, m_user, m_program, m_onPath;
};

void tst_ProgramFiles::init()
{
    QVERIFY(m_root.isValid());
    for (const char *name : {"config", "current", "user", "program", "onpath", "data"})
        QVERIFY(QDir(m_root.path()).mkpath(QString::fromLatin1(name)));
    m_config = m_root.filePath(QStringLiteral("config"));
    m_current = m_root.filePath(QStringLiteral("current"));
    m_user = m_root.filePath(QStringLiteral("user"));
    m_program = m_root.filePath(QStringLiteral("program"));
    m_onPath = m_root.filePath(QStringLiteral("onpath"));
    for (const QString &d : {m_config, m_current, m_user, m_program, m_onPath,
                             m_root.filePath(QStringLiteral("data"))}) {
        QFile::remove(d + QStringLiteral("/tarnwick.ini"));
        QFile::remove(d + QStringLiteral("/extviews.cnf"));
    }
}

QString tst_ProgramFiles::touch(const QString &dir)
{
    QFile f(dir + QStringLiteral("/tarnwick.ini"));
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write("[Options]\n");
    return f.fileName();
}

void tst_ProgramFiles::configDirectoryFromEnvironmentAndCommandLine_data()
{
    QTest::addColumn<QString>("twkConfig");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");
    QTest::newRow("environment only") << QStringLiteral("/env/dir") << QStringList{} << QStringLiteral("/env/dir");
    QTest::newRow("-I wins over the environment")
        << QStringLiteral("/env/dir") << QStringList{QStringLiteral("-I"), QStringLiteral("/cmd/dir")}
        << QStringLiteral("/cmd/dir");
    QTest::newRow("-IDIR joined") << QString() << QStringList{QStringLiteral("-I/cmd/dir")}
                                  << QStringLiteral("/cmd/dir");
    QTest::newRow("-I then further arguments")
        << QString()
        << QStringList{QStringLiteral("-I"), QStringLiteral("/cmd/dir"), QStringLiteral("gopher://h/")}
        << QStringLiteral("/cmd/dir");
    QTest::newRow("an argument is a path, blanks and all")
        << QString() << QStringList{QStringLiteral("-I/cmd/my dir")} << QStringLiteral("/cmd/my dir");
    QTest::newRow("-I after the URL")
        << QStringLiteral("/env/dir")
        << QStringList{QStringLiteral("gopher://h/"), QStringLiteral("-I"), QStringLiteral("/cmd/dir")}
        << QStringLiteral("/cmd/dir");
    QTest::newRow("neither") << QString() << QStringList{QStringLiteral("gopher://h/")} << QString();
}

void tst_ProgramFiles::configDirectoryFromEnvironmentAndCommandLine()
{
    QFETCH(QString, twkConfig);
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    QProcessEnvironment env;
    if (!twkConfig.isEmpty())
        env.insert(QStringLiteral("TWK_CONFIG"), twkConfig);
    arguments.prepend(QStringLiteral("tarnwick"));
    const ProgramOptions options = ProgramOptions::parse(arguments);
    QVERIFY2(options.ok(), qPrintable(options.error()));
    QCOMPARE(options.configDirectory(env), expected);
}

void tst_ProgramFiles::searchOrder_data()
{
    // Which tarnwick.ini and which extviews.cnf are used when these
    // directories hold one. The settings file comes from the user alone.
    QTest::addColumn<bool>("named");  // -I or TWK_CONFIG given
    QTest::addColumn<QStringList>("holding");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("table");  // empty: not found
    const QStringList all{QStringLiteral("config"), QStringLiteral("current"), QStringLiteral("user"),
                          QStringLiteral("program"), QStringLiteral("data"), QStringLiteral("onpath")};
    QTest::newRow("named directory first") << true << all << QStringLiteral("config")
                                           << QStringLiteral("config");
    QTest::newRow("per-user directory without a named one")
        << false << all << QStringLiteral("user") << QStringLiteral("user");
    QTest::newRow("a named directory stands alone for the settings")
        << true << QStringList{QStringLiteral("user"), QStringLiteral("program")}
        << QStringLiteral("config") << QStringLiteral("program");
    QTest::newRow("never the current directory, never PATH")
        << false << QStringList{QStringLiteral("current"), QStringLiteral("onpath")}
        << QStringLiteral("user") << QString();
    QTest::newRow("shipped tables beside the program")
        << false << QStringList{QStringLiteral("program"), QStringLiteral("data")}
        << QStringLiteral("user") << QStringLiteral("program");
    QTest::newRow("shipped tables in the data directory")
        << false << QStringList{QStringLiteral("data"), QStringLiteral("current")}
        << QStringLiteral("user") << QStringLiteral("data");
}

void tst_ProgramFiles::searchOrder()
{
    QFETCH(bool, named);
    QFETCH(QStringList, holding);
    QFETCH(QString, settings);
    QFETCH(QString, table);
    for (const QString &d : holding) {
        QVERIFY(!touch(m_root.filePath(d)).isEmpty());
        QFile cnf(m_root.filePath(d) + QStringLiteral("/extviews.cnf"));
        QVERIFY(cnf.open(QIODevice::WriteOnly));
    }
    // The process's current directory and PATH hold them too.
    const QString oldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_current));
    QProcessEnvironment env;
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_root.filePath(QStringLiteral("xdg")));
    env.insert(QStringLiteral("PATH"), m_onPath);
    ProgramFiles files = ProgramFiles::forThisProcess(named ? m_config : QString(), env);
    QDir::setCurrent(oldCurrent);
    QCOMPARE(files.userConfigDirectory, m_root.filePath(QStringLiteral("xdg/tarnwick")));
    files.userConfigDirectory = m_user;
    files.programDirectory = m_program;
    files.dataDirectory = m_root.filePath(QStringLiteral("data"));
    QCOMPARE(files.settingsFile(), m_root.filePath(settings) + QStringLiteral("/tarnwick.ini"));
    QCOMPARE(files.FindProgramFile(QStringLiteral("extviews.cnf")),
             table.isEmpty() ? QString() : m_root.filePath(table) + QStringLiteral("/extviews.cnf"));
    QCOMPARE(files.userFilePath(QStringLiteral("extviews.cnf")),
             (named ? m_config : m_user) + QStringLiteral("/extviews.cnf"));
}

void tst_ProgramFiles::candidateOfAFileIsItsDirectory()
{
    const QString file = touch(m_program);
    QCOMPARE(ProgramFiles::makeFilePath(file, QStringLiteral("other.cnf")),
             m_program + QStringLiteral("/other.cnf"));
    QCOMPARE(ProgramFiles::makeFilePath(QString(), QStringLiteral("x")), QString());
}

void tst_ProgramFiles::newFileInANamedDirectoryNotYetMade()
{
    // "-I ~/gopher" names a directory that does not exist yet: the settings
    // file is made there on the first write, not in the per-user directory.
    ProgramFiles files;
    files.configDirectory = m_root.filePath(QStringLiteral("named/later"));
    files.userConfigDirectory = m_user;
    QCOMPARE(files.settingsFile(), files.configDirectory + QStringLiteral("/tarnwick.ini"));
    // Without a named directory, the per-user one.
    files.configDirectory.clear();
    QCOMPARE(files.settingsFile(), m_user + QStringLiteral("/tarnwick.ini"));
}

QTEST_GUILESS_MAIN(tst_ProgramFiles)
#include "tst_programfiles.moc"
