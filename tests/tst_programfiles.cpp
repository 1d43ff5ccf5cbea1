#include "settings/programfiles.h"

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
    void pathEntriesStopAtAnEmptyEntry();
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
    for (const char *name : {"config", "current", "user", "program", "onpath"})
        QVERIFY(QDir(m_root.path()).mkpath(QString::fromLatin1(name)));
    m_config = m_root.filePath(QStringLiteral("config"));
    m_current = m_root.filePath(QStringLiteral("current"));
    m_user = m_root.filePath(QStringLiteral("user"));
    m_program = m_root.filePath(QStringLiteral("program"));
    m_onPath = m_root.filePath(QStringLiteral("onpath"));
    for (const QString &d : {m_config, m_current, m_user, m_program, m_onPath})
        QFile::remove(d + QStringLiteral("/tarnwick.ini"));
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
    QTest::newRow("joined text stops at a blank")
        << QString() << QStringList{QStringLiteral("-I/cmd/dir more")} << QStringLiteral("/cmd/dir");
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
    QCOMPARE(ProgramFiles::configDirectoryFrom(arguments, env), expected);
}

void tst_ProgramFiles::searchOrder_data()
{
    QTest::addColumn<QStringList>("holding");  // directories that hold a tarnwick.ini
    QTest::addColumn<QString>("expected");
    QTest::newRow("configuration directory before the current one")
        << QStringList{QStringLiteral("config"), QStringLiteral("current")} << QStringLiteral("config");
    QTest::newRow("current before the per-user directory")
        << QStringList{QStringLiteral("current"), QStringLiteral("user")} << QStringLiteral("current");
    QTest::newRow("per-user before the program's directory")
        << QStringList{QStringLiteral("user"), QStringLiteral("program")} << QStringLiteral("user");
    QTest::newRow("program's directory before PATH")
        << QStringList{QStringLiteral("program"), QStringLiteral("onpath")} << QStringLiteral("program");
    QTest::newRow("PATH when nothing else") << QStringList{QStringLiteral("onpath")}
                                            << QStringLiteral("onpath");
    QTest::newRow("none anywhere: a new file goes to the directory the user named")
        << QStringList{} << QStringLiteral("config");
}

void tst_ProgramFiles::searchOrder()
{
    QFETCH(QStringList, holding);
    QFETCH(QString, expected);
    for (const QString &d : holding)
        QVERIFY(!touch(m_root.filePath(d)).isEmpty());
    ProgramFiles files;
    files.configDirectory = m_config;
    files.currentDirectory = m_current;
    files.userConfigDirectory = m_user;
    files.programDirectory = m_program;
    files.pathVariable = QStringLiteral("/nonexistent:") + m_onPath;
    QCOMPARE(files.FindProgramFile(QStringLiteral("tarnwick.ini")),
             m_root.filePath(expected) + QStringLiteral("/tarnwick.ini"));
}

void tst_ProgramFiles::pathEntriesStopAtAnEmptyEntry()
{
    QVERIFY(!touch(m_onPath).isEmpty());
    ProgramFiles files;
    files.currentDirectory = m_current;
    files.userConfigDirectory = m_user;
    files.pathVariable = QStringLiteral("/nonexistent::") + m_onPath;
    QCOMPARE(files.FindProgramFile(QStringLiteral("tarnwick.ini")),
             m_user + QStringLiteral("/tarnwick.ini"));
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
    files.currentDirectory = m_current;
    files.userConfigDirectory = m_user;
    QCOMPARE(files.FindProgramFile(QStringLiteral("tarnwick.ini")),
             files.configDirectory + QStringLiteral("/tarnwick.ini"));
    // Without a named directory, the per-user one.
    files.configDirectory.clear();
    QCOMPARE(files.FindProgramFile(QStringLiteral("tarnwick.ini")), m_user + QStringLiteral("/tarnwick.ini"));
}

QTEST_GUILESS_MAIN(tst_ProgramFiles)
#include "tst_programfiles.moc"
