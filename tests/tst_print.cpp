#include "settings/appsettings.h"
#include "settings/profilefile.h"
#include "app/tarnwickapp.h"
#include "documents/gophertextdoc.h"
#include "documents/userinterface.h"
#include "support/testservers.h"
#include "ui/print/printlayout.h"
#include "ui/print/printmanager.h"
#include "ui/print/pagesetupdialog.h"
#include "ui/print/printsetupdialog.h"

#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QPrinter>
#include <QRadioButton>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <sys/types.h>

class tst_Print : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void geometry_data();
    void geometry();
    void pageStarts_data();
    void pageStarts();
    void printable();
    void marginSettings();
    void markedStretch_data();
    void markedStretch();
    void incompleteQuestion_data();
    void incompleteQuestion();
    void printedText_data();
    void printedText();
    void printedDirectory();
    void printedInTheHostsEncoding_data();
    void printedInTheHostsEncoding();
    void printedPhoneBook();
    void printedTextCutAtLimit();
    void wideLinesCostWhatFitsThePage();
    void stopSignalEndsItBetweenPages();
    void usage();
    void marginsHaveOnePlace();

private:
    struct Run
    {
        int exitCode = -1;
        QByteArray err;
        QStringList pages;  // the PDF's text, page by page
        qint64 pdfSize = -1;
    };
    Run print(const QString &url, const QByteArray &settings, const QStringList &extra = {});

    QTemporaryDir m_tree;
    std::unique_ptr<TestServer> m_server;
};

namespace {

QByteArray numberedText(int count, int formFeedAfter)
{
    QByteArray text;
    for (int i = 1; i <= count; ++i) {
        text += "line " + QByteArray::number(i).rightJustified(3, '0') + " of the test text\n";
        if (i == formFeedAfter)
            text += "\f\n";
    }
    return text;
}

} // namespace

void tst_Print::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(QFile::exists(QStringLiteral(TWK_BINARY)));
    QVERIFY(!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty());
    QByteArray wide;
    for (int i = 0; i < 100; ++i)
        wide += "wide " + QByteArray::number(i).rightJustified(3, '0') + ' '
                + QByteArray(100 * 1000, 'w') + '\n';
    QList<std::pair<QString, QByteArray>> files{
        {QStringLiteral("long.txt"), numberedText(130, 50)},
        {QStringLiteral("wide.txt"), wide},
        {QStringLiteral("many.txt"), numberedText(32000, 0)},
        {QStringLiteral("koi8.txt"), "\xF0\xD2\xC9\xD7\xC5\xD4, gopher\n"},
    };
    for (int i = 1; i <= 90; ++i)
        files.append({QStringLiteral("dir/entry%1.txt").arg(i, 3, 10, QLatin1Char('0')), "x\n"});
    QVERIFY2(TestServer::writeServedTree(m_tree.path(), files), qPrintable(TestServer::lastError()));
    m_server = TestServer::gophernicus(m_tree.path());
    QVERIFY2(m_server, qPrintable(TestServer::lastError()));
}

void tst_Print::geometry_data()
{
    QTest::addColumn<double>("margin");
    QTest::addColumn<bool>("header");
    QTest::addColumn<bool>("footer");
    QTest::addColumn<int>("bodyTop");
    QTest::addColumn<int>("bottomLimit");
    QTest::addColumn<int>("footerY");

    // Paper 8.5 x 11 inches at 600 dots per inch, lines 100 dots high.
    QTest::newRow("header and footer") << 1.0 << true << true << 900 << 5600 << 5900;
    QTest::newRow("header only") << 1.0 << true << false << 900 << 6000 << 5900;
    QTest::newRow("neither: the whole rectangle") << 1.0 << false << false << 600 << 6000 << 5900;
    QTest::newRow("half-inch margins") << 0.5 << false << true << 300 << 5900 << 6200;
}

void tst_Print::geometry()
{
    QFETCH(double, margin);
    QFETCH(bool, header);
    QFETCH(bool, footer);
    const PrintLayout layout({600, 600, 5100, 6600}, margin, margin, margin, margin, header, footer,
                             100);
    QCOMPARE(layout.left(), int(600 * margin));
    QCOMPARE(layout.width(), 5100 - int(1200 * margin));
    QTEST(layout.bodyTop(), "bodyTop");
    QTEST(layout.bottomLimit(), "bottomLimit");
    QTEST(layout.footerY(), "footerY");
}

void tst_Print::pageStarts_data()
{
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<double>("margin");
    QTest::addColumn<QList<int>>("starts");

    // One inch of paper margin on a 10-inch page at 100 dpi with 100-dot
    // lines and no header or footer: eight lines a page.
    QByteArrayList twenty;
    for (int i = 0; i < 20; ++i)
        twenty.append("text");
    QTest::newRow("empty text is one page") << QByteArrayList{} << 1.0 << QList<int>{0};
    QTest::newRow("eight lines fill a page") << twenty.mid(0, 8) << 1.0 << QList<int>{0};
    QTest::newRow("the ninth starts a page") << twenty.mid(0, 9) << 1.0 << QList<int>{0, 8};
    QTest::newRow("twenty lines") << twenty << 1.0 << QList<int>{0, 8, 16};
    QTest::newRow("form feed line ends the page")
        << QByteArrayList{"a", "b", "\f", "c"} << 1.0 << QList<int>{0, 3};
    QTest::newRow("text after a form feed opens the next page")
        << QByteArrayList{"a", "\fb", "c"} << 1.0 << QList<int>{0, 1};
    QTest::newRow("form feed at the end adds no page")
        << QByteArrayList{"a", "b", "\f"} << 1.0 << QList<int>{0};
    QTest::newRow("empty lines take their place")
        << QByteArrayList{"", "", "", "", "", "", "", "", ""} << 1.0 << QList<int>{0, 8};
    QTest::newRow("margins wider than the page still end")
        << QByteArrayList{"a", "b", "c"} << 6.0 << QList<int>{0, 1, 2};
}

void tst_Print::pageStarts()
{
    QFETCH(QByteArrayList, lines);
    QFETCH(double, margin);
    const PrintLayout layout({100, 100, 1000, 1000}, margin, margin, margin, margin, false, false,
                             100);
    QTEST(layout.pageStarts(int(lines.size()), [&](int n) { return lines.at(n); }), "starts");
}

void tst_Print::printable()
{
    QCOMPARE(PrintLayout::printable("\f\fab\tc\td"), QStringLiteral("ab      c       d"));
    QCOMPARE(PrintLayout::printable("12345678\tx"), QStringLiteral("12345678        x"));
    QCOMPARE(PrintLayout::printable("\f\xC9\xCD\xBB\tx", TextEncoding::Cp437),
             QStringLiteral(u"╔═╗     x"));
}

void tst_Print::marginSettings()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tarnwick.ini"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Printer Setup]\r\nLeft margin=0.5\r\nTop margin=bogus\r\nPrint footer=0\r\n");
    file.close();
    ProfileFile profile(path);
    AppSettings settings(profile);
    const PrinterSetup read = settings.printerSetup();
    QCOMPARE(read.left, 0.5);
    QCOMPARE(read.right, 1.0);
    QCOMPARE(read.top, 1.0);
    QVERIFY(read.header);
    QVERIFY(!read.footer);

    PrinterSetup changed = read;
    changed.bottom = 0.75;
    QVERIFY(settings.setPrinterSetup(changed));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    QVERIFY2(written.contains("Left margin=0.500000"), written.constData());
    QVERIFY2(written.contains("Bottom margin=0.750000"), written.constData());
    QCOMPARE(settings.printerSetup(), changed);
}

void tst_Print::markedStretch_data()
{
    QTest::addColumn<QList<int>>("mark");  // mode, start line, start column, end line, end column
    QTest::addColumn<QByteArrayList>("printed");

    QTest::newRow("no mark: every line")
        << QList<int>{CGopherTextDoc::NoMark, 0, 0, 0, 0}
        << QByteArrayList{"alpha beta", "gamma delta", "epsilon"};
    QTest::newRow("across lines, cut at both columns")
        << QList<int>{CGopherTextDoc::Marked, 0, 6, 2, 3}
        << QByteArrayList{"beta", "gamma delta", "eps"};
    QTest::newRow("within one line")
        << QList<int>{CGopherTextDoc::Marked, 1, 2, 1, 7} << QByteArrayList{"mma d"};
    QTest::newRow("drawn upwards")
        << QList<int>{CGopherTextDoc::Marked, 1, 5, 0, 6} << QByteArrayList{"beta", "gamma"};
}

void tst_Print::markedStretch()
{
    QFETCH(QList<int>, mark);
    RecordingUserInterface ui;
    CTarnwickApp app(ui);
    CGopherTextDoc doc(app.context());
    bool done = false;
    doc.OnData("alpha beta\r\ngamma delta\r\nepsilon\r\n", done);
    doc.setMark(mark.at(0), mark.at(1), mark.at(2), mark.at(3), mark.at(4));
    const TextPrintSource source(doc);
    QByteArrayList printed;
    for (int n = 0; n < source.lineCount(); ++n)
        printed.append(source.line(n));
    QTEST(printed, "printed");
}

void tst_Print::incompleteQuestion_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("prints");
    QTest::newRow("OK prints anyway") << int(UserInterface::AnswerOk) << true;
    QTest::newRow("Cancel prints nothing") << int(UserInterface::AnswerCancel) << false;
}

void tst_Print::incompleteQuestion()
{
    QFETCH(int, answer);
    RecordingUserInterface ui;
    CTarnwickApp app(ui);
    CGopherTextDoc doc(app.context());
    bool done = false;
    doc.OnData("only part of it\r\n", done);
    const TextPrintSource source(doc);
    QVERIFY(!source.isComplete());
    const CPrintManager manager(source, PrinterSetup{}, QFont());
    ui.answers.append(answer);
    QTEST(manager.confirmIncomplete(ui), "prints");
    QCOMPARE(ui.messages.size(), 1);
    QCOMPARE(ui.messages.at(0).text, QByteArray("This document is not completely downloaded.\n"
                                                "Select 'OK' to print or preview anyway,\n"
                                                "otherwise select 'Cancel'"));
    QCOMPARE(ui.messages.at(0).buttons, UserInterface::OkCancel);
}

tst_Print::Run tst_Print::print(const QString &url, const QByteArray &settings,
                                const QStringList &extra)
{
    Run run;
    QTemporaryDir home;
    if (!home.isValid())
        return run;
    const QDir dir(home.path());
    dir.mkpath(QStringLiteral("config"));
    dir.mkpath(QStringLiteral("xdg"));
    QFile ini(dir.filePath(QStringLiteral("config/tarnwick.ini")));
    if (!ini.open(QIODevice::WriteOnly) || ini.write(settings) != settings.size())
        return run;
    ini.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TWK_CONFIG"), dir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("xdg")));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));

    QProcess process;
    process.setProcessEnvironment(env);
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(QStringLiteral(TWK_BINARY), QStringList{QStringLiteral("--print"), pdf, url} + extra);
    if (!process.waitForStarted() || !finished.wait(60000))
        return run;
    run.exitCode = process.exitCode();
    run.err = process.readAllStandardError();
    run.pdfSize = QFileInfo(pdf).size();

    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!text.waitForFinished(60000) || text.exitCode() != 0)
        return run;
    // pdftotext ends every page with a form feed.
    run.pages = QString::fromUtf8(text.readAllStandardOutput()).split(u'\f');
    if (!run.pages.isEmpty() && run.pages.last().trimmed().isEmpty())
        run.pages.removeLast();
    return run;
}

namespace {

QStringList nonEmptyLines(const QString &page)
{
    QStringList out;
    for (const QString &line : page.split(u'\n')) {
        if (!line.trimmed().isEmpty())
            out.append(line.trimmed());
    }
    return out;
}

} // namespace

void tst_Print::printedText_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<bool>("decorated");

    QTest::newRow("defaults: header and footer") << QByteArray() << true;
    QTest::newRow("neither header nor footer, small margins")
        << QByteArray("[Printer Setup]\r\nLeft margin=0.5\r\nTop margin=0.5\r\n"
                      "Bottom margin=0.5\r\nPrint header=0\r\nPrint footer=0\r\n")
        << false;
}

void tst_Print::printedText()
{
    QFETCH(QByteArray, settings);
    QFETCH(bool, decorated);
    const Run run = print(m_server->url(QStringLiteral("0/long.txt")), settings);
    QVERIFY2(run.exitCode == 0 && run.pages.size() >= 2, run.err.constData());
    QVERIFY2(run.err.contains(QByteArray("pages: " + QByteArray::number(run.pages.size()))),
             run.err.constData());

    static const QRegularExpression bodyLine(QStringLiteral("^line (\\d{3}) of the test text$"));
    int expected = 1;
    for (int p = 0; p < run.pages.size(); ++p) {
        QStringList lines = nonEmptyLines(run.pages.at(p));
        QVERIFY(!lines.isEmpty());
        if (decorated) {
            // An item opened from its URL alone is titled by its server.
            QCOMPARE(lines.first(), QStringLiteral("127.0.0.1:%1").arg(m_server->port()));
            QCOMPARE(lines.last(), QStringLiteral("Page %1").arg(p + 1));
            lines = lines.mid(1, lines.size() - 2);
        } else {
            QVERIFY(!run.pages.at(p).contains(QStringLiteral("Page ")));
        }
        // Every line whole, in order, none lost or repeated across pages.
        for (const QString &line : std::as_const(lines)) {
            const QRegularExpressionMatch match = bodyLine.match(line);
            QVERIFY2(match.hasMatch(), qPrintable(line));
            QCOMPARE(match.captured(1).toInt(), expected++);
        }
        // The form feed after line 50 ends its page.
        if (expected > 50 && expected - lines.size() <= 50)
            QCOMPARE(expected, 51);
    }
    QCOMPARE(expected, 131);
}

void tst_Print::printedDirectory()
{
    const Run run = print(m_server->url(QStringLiteral("1/dir/")), QByteArray());
    QVERIFY2(run.exitCode == 0 && run.pages.size() >= 2, run.err.constData());
    int expected = 1;
    for (int p = 0; p < run.pages.size(); ++p) {
        const QStringList lines = nonEmptyLines(run.pages.at(p));
        QCOMPARE(lines.first(), QStringLiteral("127.0.0.1:%1").arg(m_server->port()));
        QCOMPARE(lines.last(), QStringLiteral("Page %1").arg(p + 1));
        for (const QString &line : lines.mid(1, lines.size() - 2)) {
            QCOMPARE(line, QStringLiteral("entry%1.txt").arg(expected++, 3, 10, QLatin1Char('0')));
        }
    }
    QCOMPARE(expected, 91);
}

void tst_Print::printedInTheHostsEncoding_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("printed");

    QTest::newRow("no choice: Latin-1 for bytes that are not UTF-8")
        << QByteArray() << QStringLiteral(u"ðÒÉ×ÅÔ, gopher");
    QTest::newRow("the settings file's choice for the host")
        << QByteArray("[Encodings]\r\n127.0.0.1=KOI8-R\r\n") << QStringLiteral(u"Привет, gopher");
}

// --print draws what a window of the host shows.
void tst_Print::printedInTheHostsEncoding()
{
    QFETCH(QByteArray, settings);
    const Run run = print(m_server->url(QStringLiteral("0/koi8.txt")), settings);
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QCOMPARE(run.pages.size(), 1);
    const QStringList lines = nonEmptyLines(run.pages.first());
    QCOMPARE(lines.size(), 3);
    QTEST(lines.at(1), "printed");
}

void tst_Print::printedPhoneBook()
{
    // Eighty persons of one field each: an answer line, then a blank line
    // and a name per person, over several pages.
    QTemporaryDir dir;
    QByteArray book(R"({"fields": [["name", "max 64 Indexed Lookup Public", "Full name."]], "persons": [)");
    for (int i = 1; i <= 80; ++i)
        book += (i > 1 ? "," : "") + QByteArray(R"({"name": "Person )") + QByteArray::number(i) + "\"}";
    book += "]}";
    QFile data(dir.filePath(QStringLiteral("book.json")));
    QVERIFY(data.open(QIODevice::WriteOnly) && data.write(book) == book.size() && data.flush());
    auto cso = TestServer::cso(data.fileName());
    QVERIFY2(cso, qPrintable(TestServer::lastError()));

    const Run run = print(cso->url(QStringLiteral("2")), QByteArray(),
                          {QStringLiteral("--query"), QStringLiteral("name=*")});
    QVERIFY2(run.exitCode == 0 && run.pages.size() >= 2, run.err.constData());
    QStringList body;
    for (int p = 0; p < run.pages.size(); ++p) {
        const QStringList lines = nonEmptyLines(run.pages.at(p));
        QCOMPARE(lines.first(), QStringLiteral("127.0.0.1:%1").arg(cso->port()));
        QCOMPARE(lines.last(), QStringLiteral("Page %1").arg(p + 1));
        body += lines.mid(1, lines.size() - 2);
    }
    QCOMPARE(body.size(), 81);
    QCOMPARE(body.first(), QStringLiteral("There were 80 matches to your request."));
    for (int i = 1; i <= 80; ++i)
        QCOMPARE(body.at(i), QStringLiteral("name: Person %1").arg(i));
}

// A text over the line limit prints what was kept, and the exit status and
// the last line of standard error say it was cut.
void tst_Print::printedTextCutAtLimit()
{
    QByteArray text;
    for (int i = 1; i <= 33000; ++i)
        text += "line " + QByteArray::number(i) + "\r\n";
    auto server = TestServer::scripted(
        "[{\"match\": \"*\", \"steps\": [{\"send\": " + TestServer::jsonBytes(text) + "}]}]");
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    const Run run = print(server->url(QStringLiteral("0/long")), QByteArray());
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.endsWith("tarnwick: the text was cut at 32,767 lines\n"), run.err.right(300).constData());
    QVERIFY(!run.pages.isEmpty());
    QVERIFY(run.pages.last().contains(QStringLiteral("line 32767")));
    QVERIFY(!run.pages.last().contains(QStringLiteral("line 32768")));
}

void tst_Print::wideLinesCostWhatFitsThePage()
{
    // A hundred lines of 100,000 characters: what lies beyond the paper's
    // edge is not laid out, so it is neither drawn nor stored in the PDF.
    // (gophernicus breaks lines that long; pygopherd sends the file as it is.)
    const std::unique_ptr<TestServer> server = TestServer::pygopherd(m_tree.path());
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    const Run run = print(server->url(QStringLiteral("0/wide.txt")), QByteArray());
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QCOMPARE(run.pages.size(), 2);
    const QStringList lines = nonEmptyLines(run.pages.first());
    QVERIFY2(lines.value(1).startsWith(QStringLiteral("wide 000 wwwwwwwwww")), qPrintable(lines.value(1)));
    // The line runs on to the paper's edge.
    QVERIFY2(lines.value(1).size() > 60, qPrintable(lines.value(1)));
    QVERIFY2(run.pdfSize > 0 && run.pdfSize < 200 * 1000, QByteArray::number(run.pdfSize).constData());
}

void tst_Print::stopSignalEndsItBetweenPages()
{
    // Thousands of pages (deep margins, 32,000 lines): SIGTERM once the text
    // has arrived ends the printing at the next page, and no PDF is left
    // that would pass for the whole text.
    QTemporaryDir home;
    QVERIFY(home.isValid());
    QFile ini(home.filePath(QStringLiteral("tarnwick.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[Printer Setup]\nTop margin=4.5\nBottom margin=4.5\n");
    ini.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TWK_CONFIG"), home.path());
    env.insert(QStringLiteral("HOME"), home.path());
    const QString pdf = home.filePath(QStringLiteral("many.pdf"));
    QProcess process;
    process.setProcessEnvironment(env);
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(QStringLiteral(TWK_BINARY),
                  {QStringLiteral("--print"), pdf, m_server->url(QStringLiteral("0/many.txt"))});
    QVERIFY(process.waitForStarted());
    QByteArray err;
    QTRY_VERIFY_WITH_TIMEOUT((err += process.readAllStandardError()).contains(" ... done"), 60000);
    QVERIFY(finished.isEmpty());
    ::kill(pid_t(process.processId()), SIGTERM);
    QVERIFY(finished.wait(60000));
    err += process.readAllStandardError();
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    static const QRegularExpression stopped(
        QStringLiteral("\ntarnwick: stopped by SIGTERM after (\\d+) of (\\d+) pages; (.*) not written\n$"));
    const QRegularExpressionMatch match = stopped.match(QString::fromUtf8(err));
    QVERIFY2(match.hasMatch(), err.constData());
    QVERIFY(match.captured(1).toInt() < match.captured(2).toInt());
    QVERIFY(match.captured(2).toInt() > 2000);
    QCOMPARE(match.captured(3), pdf);
    QVERIFY(!QFile::exists(pdf));
}

void tst_Print::usage()
{
    QProcess process;
    process.start(QStringLiteral(TWK_BINARY), {QStringLiteral("--print"), QStringLiteral("x.pdf")});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardError().contains("usage: tarnwick"));
}

void tst_Print::marginsHaveOnePlace()
{
    // "Printed Page Setup" shows the margins printing uses, under a title
    // the window manager has room for.
    const PrinterSetup setup{0.5, 0.75, 1.25, 1.5, true, false};
    PageSetupDialog page(setup);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QCOMPARE(page.windowTitle(), QStringLiteral("Printed Page Setup"));
    QVERIFY(page.width() > page.fontMetrics().horizontalAdvance(page.windowTitle()) + 100);
    QCOMPARE(page.setup(), setup);

    // "Print Setup" chooses the printer, the paper and its orientation; it
    // has no margins of its own that printing would not use.
    QPrinter printer;
    PrintSetupDialog print(printer);
    QCOMPARE(print.windowTitle(), QStringLiteral("Print Setup"));
    QVERIFY(print.findChildren<QDoubleSpinBox *>().isEmpty());
    const int pdf = print.printerList()->findText(QStringLiteral("PDF file"));
    QVERIFY(pdf >= 0);
    print.printerList()->setCurrentIndex(pdf);
    print.paperList()->setCurrentIndex(print.paperList()->findText(QPageSize::name(QPageSize::A5)));
    print.landscapeButton()->setChecked(true);
    print.accept();
    QCOMPARE(printer.outputFormat(), QPrinter::PdfFormat);
    QCOMPARE(printer.pageLayout().pageSize().id(), QPageSize::A5);
    QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Landscape);
}

QTEST_MAIN(tst_Print)
#include "tst_print.moc"
