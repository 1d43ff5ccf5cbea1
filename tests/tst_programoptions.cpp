#include "app/programoptions.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

// The command line: one parser for every mode, --help and --version that
// answer without a display, usage errors with exit status 2, the manual page
// and the README listing the options the parser knows, and the settings file
// taken from the user's directory only.
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

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run run(const QStringList &arguments, const QProcessEnvironment &env, const QString &directory = {})
{
    QProcess process;
    process.setProcessEnvironment(env);
    if (!directory.isEmpty())
        process.setWorkingDirectory(directory);
    process.start(QStringLiteral(TWK_BINARY), arguments);
    Run result;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished(5000);
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QString readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The text from a line that starts with the heading to the next heading of
// the same kind.
QString section(const QString &text, const QString &heading, const QString &nextHeading)
{
    const qsizetype start = text.indexOf(u'\n' + heading + u'\n');
    if (start < 0)
        return {};
    const qsizetype end = text.indexOf(u'\n' + nextHeading, start + heading.size() + 2);
    return text.mid(start, end < 0 ? -1 : end - start);
}

QSet<QString> optionNames(const QStringList &tags)
{
    static const QRegularExpression option(QStringLiteral("(?:^|[\\s`\"(,])(--?[A-Za-z][A-Za-z-]*)"));
    QSet<QString> names;
    for (const QString &tag : tags) {
        for (const QRegularExpressionMatch &m : option.globalMatch(tag))
            names.insert(m.captured(1));
    }
    return names;
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
    row("URLs for the windows", {url, s("gopher://h/0/x")}, Mode::Window, {}, {url, s("gopher://h/0/x")});
    row("options after the mode and after the URL", {s("--dump"), url, s("--authored"), s("-I"), s("/d")},
        Mode::Dump, {}, {url});
    row("the mode after its options", {s("--authored"), s("--timeout"), s("5"), url, s("--dump")},
        Mode::Dump, {}, {url});
    row("--print names the file, the URL stands anywhere", {url, s("--print"), s("out.pdf")},
        Mode::Print, {}, {url});
    row("--print=FILE", {s("--print=out.pdf"), url}, Mode::Print, {}, {url});
    row("export", {s("--export-bookmarks"), s("--category"), s("*")}, Mode::ExportBookmarks, {});
    row("import", {s("--category"), s("New"), s("--import-bookmarks"), s("list.txt")},
        Mode::ImportBookmarks, {});
    row("the history as a gophermap", {s("--format"), s("gophermap"), s("--history")}, Mode::History, {});
    row("the history with a URL", {s("--history"), url}, Mode::History,
        QStringLiteral("unexpected argument '%1'").arg(url));
    row("the history with a category", {s("--history"), s("--category"), s("x")}, Mode::History,
        s("--category cannot be used with --history"));
    row("-h", {s("-h")}, Mode::Help, {});
    row("an unknown option beside --help", {s("--dump"), s("--help"), s("--bogus-mode")},
        Mode::Window, s("unknown option 'bogus-mode'"));
    row("--help with a mode", {s("--dump"), url, s("--help")}, Mode::Help, {});
    row("--version", {s("--version")}, Mode::Version, {});
    row("an argument after -- is a URL", {s("--dump"), s("--"), url}, Mode::Dump, {}, {url});

    row("unknown option", {url, s("--bogus")}, Mode::Window, s("unknown option 'bogus'"));
    row("unknown short option", {s("-x"), url}, Mode::Window, s("unknown option 'x'"));
    row("missing value", {url, s("--print")}, Mode::Print, s("missing value after '--print'"));
    row("-I without its directory", {s("-I")}, Mode::Window, s("missing value after '-I'"));
    row("two modes", {s("--dump"), s("--print"), s("x.pdf"), url}, Mode::Dump,
        s("--dump and --print cannot be used together"));
    row("an option of another mode", {s("--dump"), url, s("--format"), s("urls")}, Mode::Dump,
        s("--format cannot be used with --dump"));
    row("a mode's option without the mode", {url, s("--timeout"), s("5")}, Mode::Window,
        s("--timeout needs --dump or --print"));
    row("--dump without a URL", {s("--dump")}, Mode::Dump, s("--dump needs a URL"));
    row("--dump with two", {s("stray"), s("--dump"), url}, Mode::Dump,
        s("--dump takes one URL, not 2 arguments"));
    row("the windows with something that is no URL", {url, s("stray")}, Mode::Window,
        s("not a gopher URL: stray"));
    row("bookmarks with a URL", {s("--export-bookmarks"), url}, Mode::ExportBookmarks,
        QStringLiteral("unexpected argument '%1'").arg(url));
    row("TLS URLs for the windows, through a proxy",
        {s("gophers://h/1/"), s("--proxy"), s("socks5h://127.0.0.1:9050"), s("--trust-new-certificate")},
        Mode::Window, {}, {s("gophers://h/1/")});
    row("a proxy that is no SOCKS5 URL", {s("--dump"), url, s("--proxy"), s("http://127.0.0.1:8080")},
        Mode::Dump, s("--proxy takes socks5h://HOST:PORT or socks5://HOST:PORT, not 'http://127.0.0.1:8080'"));
    row("a proxy for the bookmarks", {s("--export-bookmarks"), s("--proxy"), s("socks5h://h:1")},
        Mode::ExportBookmarks, s("--proxy cannot be used with --export-bookmarks"));
}

void tst_ProgramOptions::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, mode);
    QFETCH(QString, error);
    QFETCH(QStringList, positional);

    const ProgramOptions options = ProgramOptions::parse(arguments);
    QCOMPARE(options.error(), error);
    QCOMPARE(options.ok(), error.isEmpty());
    if (!error.isEmpty())
        return;
    QCOMPARE(int(options.mode()), mode);
    if (options.mode() != Mode::Help && options.mode() != Mode::Version)
        QCOMPARE(options.positional(), positional);
}

void tst_ProgramOptions::answersWithoutADisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");

    const QByteArray help = ProgramOptions::helpText().toUtf8();
    const QByteArray usage = ProgramOptions::usageText().toUtf8();
    QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << 0 << help << QByteArray();
    QTest::newRow("-h") << QStringList{QStringLiteral("-h")} << 0 << help << QByteArray();
    QTest::newRow("--version") << QStringList{QStringLiteral("--version")} << 0
                               << QByteArray("Tarnwick 2.0.0\n") << QByteArray();
    QTest::newRow("unknown option")
        << QStringList{QStringLiteral("--bogus"), QStringLiteral("gopher://h/")} << 2 << QByteArray()
        << QByteArray("tarnwick: unknown option 'bogus'\n" + usage);
    QTest::newRow("missing argument")
        << QStringList{QStringLiteral("--import-bookmarks")} << 2 << QByteArray()
        << QByteArray("tarnwick: missing value after '--import-bookmarks'\n" + usage);
    QTest::newRow("the windows need a display")
        << QStringList{QStringLiteral("gopher://h/")} << 1 << QByteArray()
        << QByteArray("tarnwick: no display to open the windows on (neither DISPLAY nor "
                      "WAYLAND_DISPLAY is set); --dump and --print work without one\n");

    // The usage names every mode, so a reader finds the one meant.
    for (const char *mode : {"--dump URL", "--print FILE.pdf URL", "--export-bookmarks",
                             "--import-bookmarks FILE", "--history"})
        QVERIFY2(usage.contains(QByteArray(QByteArray("tarnwick [-I DIR] ") + mode)), mode);
    for (const ProgramOptions::Option &option : ProgramOptions::options()) {
        const QString name = (option.names.last().size() == 1 ? QStringLiteral("-") : QStringLiteral("--"))
                             + option.names.last();
        QVERIFY2(help.contains(name.toUtf8()), qPrintable(name));
    }
}

void tst_ProgramOptions::answersWithoutADisplay()
{
    QFETCH(QStringList, arguments);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    QTemporaryDir home;
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    const Run result = run(arguments, env);
    QTEST(result.exitCode, "exitCode");
    QTEST(result.out, "out");
    QTEST(result.err, "err");
}

void tst_ProgramOptions::manualAndReadmeListTheOptions_data()
{
    QTest::addColumn<QSet<QString>>("listed");

    // The manual page: the tags of the OPTIONS section (the line after each .TP).
    const QString manual = section(readFile(QStringLiteral(TWK_SOURCE_DIR "/share/man/tarnwick.1")),
                                   QStringLiteral(".SH OPTIONS"), QStringLiteral(".SH "));
    QStringList tags;
    const QStringList lines = manual.split(u'\n');
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        if (lines.at(i) == QLatin1String(".TP"))
            tags.append(QString(lines.at(i + 1)).replace(QLatin1String("\\-"), QLatin1String("-")));
    }
    QTest::newRow("manual page") << optionNames(tags);

    // The README: the first column of the table under "Command line".
    const QString readme = section(readFile(QStringLiteral(TWK_SOURCE_DIR "/README.md")),
                                   QStringLiteral("## Command line"), QStringLiteral("## "));
    QStringList cells;
    for (const QString &line : readme.split(u'\n')) {
        if (line.startsWith(QLatin1String("| `")))
            cells.append(line.section(u'|', 1, 1));
    }
    QTest::newRow("README") << optionNames(cells);
}

void tst_ProgramOptions::manualAndReadmeListTheOptions()
{
    QFETCH(QSet<QString>, listed);
    QSet<QString> known;
    for (const ProgramOptions::Option &option : ProgramOptions::options()) {
        for (const QString &name : option.names)
            known.insert((name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name);
    }
    const QSet<QString> missing = known - listed;
    const QSet<QString> unknown = listed - known;
    QVERIFY2(missing.isEmpty(), qPrintable(QStringList(missing.values()).join(u' ') + QStringLiteral(" not listed")));
    QVERIFY2(unknown.isEmpty(), qPrintable(QStringList(unknown.values()).join(u' ') + QStringLiteral(" unknown")));
}

void tst_ProgramOptions::settingsFileComesFromTheUser()
{
    // A tarnwick.ini in the current directory (an unpacked archive, the
    // download directory) is not the user's: it decides nothing.
    QTemporaryDir home;
    QVERIFY(QDir(home.path()).mkpath(QStringLiteral("archive")));
    const QString archive = home.filePath(QStringLiteral("archive"));
    QFile stray(archive + QStringLiteral("/tarnwick.ini"));
    QVERIFY(stray.open(QIODevice::WriteOnly));
    stray.write("[Bookmark Categories]\nCategory0=Stray\n[Default Category]\nCategory=Stray\n"
                "[Bookmarks: Stray]\nCount=1\nName0=Planted\nType0=1\nPort0=70\nPath0=/x\n"
                "Host0=planted.example\n");
    stray.close();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.remove(QStringLiteral("TWK_CONFIG"));
    env.insert(QStringLiteral("PATH"), archive + QStringLiteral(":/usr/bin:/bin"));
    const Run fromHere = run({QStringLiteral("--export-bookmarks")}, env, archive);
    QCOMPARE(fromHere.err, QByteArray("tarnwick: there is no default category\n"));
    QCOMPARE(fromHere.exitCode, 1);
    QVERIFY(!QFile::exists(home.filePath(QStringLiteral("config/tarnwick/tarnwick.ini"))));

    // Named with -I (or TWK_CONFIG), the same file is the user's choice.
    for (const bool byOption : {true, false}) {
        QProcessEnvironment named = env;
        QStringList arguments{QStringLiteral("--export-bookmarks")};
        if (byOption)
            arguments << QStringLiteral("-I") << archive;
        else
            named.insert(QStringLiteral("TWK_CONFIG"), archive);
        const Run chosen = run(arguments, named, home.path());
        QCOMPARE(chosen.exitCode, 0);
        QCOMPARE(chosen.out, QByteArray("gopher://planted.example/1%2Fx\n"));
    }
}

QTEST_GUILESS_MAIN(tst_ProgramOptions)
#include "tst_programoptions.moc"
