#include "app/programoptions.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

// The command line: one parser for every mode, --help and --version without a display, usage errors
// with exit status 2, the manual page and README listing the parser's options, the user's settings only.
class tst_ProgramOptions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
    void answersWithoutADisplay_data();
    void answersWithoutADisplay();
    void manualAndReadmeListTheOptions_data();
    void manualAndReadmeListTheOptions();
    void settingsFileComesFromTheUser();
};

namespace {

using Mode = ProgramOptions::Mode;

struct Run { int exitCode = -1; QByteArray out, err; };

Run run(const QStringList &arguments, const QProcessEnvironment &env, const QString &directory)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(directory);
    process.start(QStringLiteral(TWK_BINARY), arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished(5000);
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

// The user's home and configuration in a directory of the test's, no TWK_CONFIG.
QProcessEnvironment environmentAt(const QTemporaryDir &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.remove(QStringLiteral("TWK_CONFIG"));
    return env;
}

QString optionName(const QString &name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

} // namespace

void tst_ProgramOptions::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QStringList>("positional");

    const QString url = QStringLiteral("gopher://127.0.0.1:7070/1/");
    const auto row = [](const char *name, QStringList arguments, Mode mode, const QString &error,
                        QStringList positional = {}) {
        arguments.prepend(QStringLiteral("tarnwick"));
        QTest::newRow(name) << arguments << int(mode) << error << positional;
    };
    const auto s = [](const char *text) { return QString::fromUtf8(text); };

    row("nothing: the windows on the home gopher", {}, Mode::Window, {});
    row("URLs for the windows, TLS too, through a proxy",
        {url, s("gophers://h/1/"), s("--proxy"), s("socks5h://127.0.0.1:9050"), s("--trust-new-certificate")},
        Mode::Window, {}, {url, s("gophers://h/1/")});
    row("the mode after its options, options after the URL",
        {s("--authored"), s("--timeout"), s("5"), url, s("-I"), s("/d"), s("--dump")}, Mode::Dump, {}, {url});
    row("--print names the file, the URL stands anywhere", {url, s("--print"), s("out.pdf")}, Mode::Print, {}, {url});
    row("--print=FILE", {s("--print=out.pdf"), url}, Mode::Print, {}, {url});
    row("export", {s("--export-bookmarks"), s("--category"), s("*")}, Mode::ExportBookmarks, {});
    row("import", {s("--category"), s("New"), s("--import-bookmarks"), s("list.txt")}, Mode::ImportBookmarks, {});
    row("the history as a gophermap", {s("--format"), s("gophermap"), s("--history")}, Mode::History, {});
    row("the history with a category", {s("--history"), s("--category"), s("x")}, Mode::History,
        s("--category cannot be used with --history"));
    row("an unknown option beside --help", {s("--dump"), s("--help"), s("--bogus-mode")}, Mode::Window,
        s("unknown option 'bogus-mode'"));
    row("-h with a mode", {s("--dump"), url, s("-h")}, Mode::Help, {});
    row("an argument after -- is a URL", {s("--dump"), s("--"), url}, Mode::Dump, {}, {url});
    row("unknown short option", {s("-x"), url}, Mode::Window, s("unknown option 'x'"));
    row("-I without its directory", {s("-I")}, Mode::Window, s("missing value after '-I'"));
    row("two modes", {s("--dump"), s("--print"), s("x.pdf"), url}, Mode::Dump,
        s("--dump and --print cannot be used together"));
    row("an option of another mode", {s("--dump"), url, s("--format"), s("urls")}, Mode::Dump,
        s("--format cannot be used with --dump"));
    row("a mode's option without the mode", {url, s("--timeout"), s("5")}, Mode::Window,
        s("--timeout needs --dump or --print"));
    row("the windows with something that is no URL", {url, s("stray")}, Mode::Window, s("not a gopher URL: stray"));
    row("bookmarks with a URL", {s("--export-bookmarks"), url}, Mode::ExportBookmarks,
        QStringLiteral("unexpected argument '%1'").arg(url));
    row("a proxy for the bookmarks", {s("--export-bookmarks"), s("--proxy"), s("socks5h://h:1")},
        Mode::ExportBookmarks, s("--proxy cannot be used with --export-bookmarks"));
}

void tst_ProgramOptions::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, mode);
    QFETCH(QString, error);
    const ProgramOptions options = ProgramOptions::parse(arguments);
    QCOMPARE(options.error(), error);
    QCOMPARE(options.ok(), error.isEmpty());
    if (!error.isEmpty())
        return;
    QCOMPARE(int(options.mode()), mode);
    if (options.mode() != Mode::Help && options.mode() != Mode::Version)
        QTEST(options.positional(), "positional");
}

void tst_ProgramOptions::answersWithoutADisplay_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");

    const QByteArray help = ProgramOptions::helpText().toUtf8();
    const QByteArray usage = ProgramOptions::usageText().toUtf8();
    QTest::newRow("--help") << u"--help"_qs << 0 << help << QByteArray();
    QTest::newRow("--version") << u"--version"_qs << 0 << QByteArray("Tarnwick 2.0.0\n") << QByteArray();
    QTest::newRow("missing argument") << u"--import-bookmarks"_qs << 2 << QByteArray()
        << QByteArray("tarnwick: missing value after '--import-bookmarks'\n" + usage);
    QTest::newRow("the windows need a display") << u"gopher://h/"_qs << 1 << QByteArray()
        << QByteArray("tarnwick: no display to open the windows on (neither DISPLAY nor "
                      "WAYLAND_DISPLAY is set); --dump and --print work without one\n");

    // The usage names every mode, the help every option.
    for (const char *mode : {"--dump URL", "--print FILE.pdf URL", "--export-bookmarks", "--import-bookmarks FILE",
                             "--history"})
        QVERIFY2(usage.contains(QByteArray(QByteArray("tarnwick [-I DIR] ") + mode)), mode);
    for (const ProgramOptions::Option &option : ProgramOptions::options())
        QVERIFY2(help.contains(optionName(option.names.last()).toUtf8()), qPrintable(option.names.last()));
}

void tst_ProgramOptions::answersWithoutADisplay()
{
    QFETCH(QString, argument);
    QTemporaryDir home;
    QProcessEnvironment env = environmentAt(home);
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    const Run result = run({argument}, env, home.path());
    QTEST(result.exitCode, "exitCode");
    QTEST(result.out, "out");
    QTEST(result.err, "err");
}

void tst_ProgramOptions::manualAndReadmeListTheOptions_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("heading");
    QTest::addColumn<QString>("nextHeading");
    QTest::addColumn<QString>("entry");  // the lines that name options
    QTest::newRow("manual page: the tags after .TP") << QStringLiteral(TWK_SOURCE_DIR "/share/man/tarnwick.1")
        << u"\n.SH OPTIONS\n"_qs << u"\n.SH "_qs << u"^\\.TP\\n(.*)$"_qs;
    QTest::newRow("README: the first column of the table") << QStringLiteral(TWK_SOURCE_DIR "/README.md")
        << u"\n## Command line\n"_qs << u"\n## "_qs << u"^\\|( `[^|]*)\\|"_qs;
}

void tst_ProgramOptions::manualAndReadmeListTheOptions()
{
    QFETCH(QString, path);
    QFETCH(QString, heading);
    QFETCH(QString, nextHeading);
    QFETCH(QString, entry);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(file.readAll()).replace(QLatin1String("\\-"), QLatin1String("-"));
    const qsizetype start = text.indexOf(heading);
    QVERIFY(start >= 0);
    text = text.mid(start, text.indexOf(nextHeading, start + heading.size()) - start);

    static const QRegularExpression option(QStringLiteral("(?:^|[\\s`\"(,])(--?[A-Za-z][A-Za-z-]*)"));
    QSet<QString> listed, known;
    for (const QRegularExpressionMatch &line :
         QRegularExpression(entry, QRegularExpression::MultilineOption).globalMatch(text)) {
        for (const QRegularExpressionMatch &m : option.globalMatch(line.captured(1)))
            listed.insert(m.captured(1));
    }
    for (const ProgramOptions::Option &option : ProgramOptions::options()) {
        for (const QString &name : option.names)
            known.insert(optionName(name));
    }
    const QSet<QString> missing = known - listed, unknown = listed - known;
    QVERIFY2(missing.isEmpty(), qPrintable(QStringList(missing.values()).join(u' ') + u" not listed"_qs));
    QVERIFY2(unknown.isEmpty(), qPrintable(QStringList(unknown.values()).join(u' ') + u" unknown"_qs));
}

void tst_ProgramOptions::settingsFileComesFromTheUser()
{
    // A tarnwick.ini in the current directory (an unpacked archive, the downloads) decides nothing.
    QTemporaryDir home;
    QVERIFY(QDir(home.path()).mkpath(QStringLiteral("archive")));
    const QString archive = home.filePath(QStringLiteral("archive"));
    QFile stray(archive + QStringLiteral("/tarnwick.ini"));
    QVERIFY(stray.open(QIODevice::WriteOnly));
    stray.write("[Bookmark Categories]\nCategory0=Stray\n[Default Category]\nCategory=Stray\n"
                "[Bookmarks: Stray]\nCount=1\nName0=Planted\nType0=1\nPort0=70\nPath0=/x\nHost0=planted.example\n");
    stray.close();

    QProcessEnvironment env = environmentAt(home);
    env.insert(QStringLiteral("PATH"), archive + QStringLiteral(":/usr/bin:/bin"));
    const Run fromHere = run({QStringLiteral("--export-bookmarks")}, env, archive);
    QCOMPARE(fromHere.err, QByteArray("tarnwick: there is no default category\n"));
    QCOMPARE(fromHere.exitCode, 1);
    QVERIFY(!QFile::exists(home.filePath(QStringLiteral("config/tarnwick/tarnwick.ini"))));

    // Named with -I, the same file is the user's choice.
    const Run chosen = run({QStringLiteral("--export-bookmarks"), QStringLiteral("-I"), archive}, env, home.path());
    QCOMPARE(chosen.exitCode, 0);
    QCOMPARE(chosen.out, QByteArray("gopher://planted.example/1%2Fx\n"));
}

QTEST_GUILESS_MAIN(tst_ProgramOptions)
#include "tst_programoptions.moc"
