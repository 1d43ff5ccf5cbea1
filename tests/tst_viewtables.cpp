#include "settings/programfiles.h"
#include "app/tarnwickapp.h"
#include "documents/gophertextdoc.h"
#include "documents/windowregistry.h"
#include "net/transactionengine.h"
#include "tests/support/testservers.h"
#include "documents/userinterface.h"
#include "gplus/extendedviewtable.h"
#include "gplus/languagetable.h"
#include "items/bookmark.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QByteArray NotFoundText("Trying to load extended view information\n"
                              "from file 'extviews.cnf'\n\n"
                              "Looked in the following directories:\n"
                              "\tthe current directory\n\tthe directory Tarnwick is installed in\n"
                              "\tthe Windows directory\n\tthe path\n\n"
                              "Please check your configuration and try again!");

QByteArray record(const QByteArray &name, const QByteArray &ext, const QByteArray &type,
                  const QByteArray &viewer, int rank)
{
    return "#\nname=" + name + "\nextension=" + ext + "\ntype=" + type + "\nviewer=" + viewer
           + "\nrank=" + QByteArray::number(rank) + "\n";
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class tst_ViewTables : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void viewFileRoundTrip_data();
    void viewFileRoundTrip();
    void viewFileNotFound();
    void failedSaveKeepsOldFileAndDirtyFlag();
    void languageFileRoundTrip_data();
    void languageFileRoundTrip();
    void shippedTablesLoad();

    void viewLine_data();
    void viewLine();
    void chooseView_data();
    void chooseView();
    void dialogDefinesUnknownView();
    void openItemChoosesView_data();
    void openItemChoosesView();

private:
    ProgramFiles files() const;
    std::unique_ptr<QTemporaryDir> m_dir;
    RecordingUserInterface m_ui;
};

void tst_ViewTables::init()
{
    QStandardPaths::setTestModeEnabled(true);
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("user")));
    m_ui = RecordingUserInterface();
}

void tst_ViewTables::cleanup()
{
    m_dir.reset();
}

// The shipped copy is found beside the program; the user's copy goes to
// the user's directory.
ProgramFiles tst_ViewTables::files() const
{
    ProgramFiles f;
    f.programDirectory = m_dir->path();
    return f;
}

void tst_ViewTables::viewFileRoundTrip_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<QByteArray>("saved");

    const QByteArray longViewer = "/opt/" + QByteArray(300, 'v');
    QTest::newRow("duplicate names: the later wins, written once")
        << record("text/plain", "txt", "0", "a", 1) + record("text/plain", "doc", "9", "b", 2)
        << true << record("text/plain", "doc", "9", "b", 2);
    QTest::newRow("capital letters kept and written back")
        << record("Text/Plain", "txt", "0", "", 4) << true << record("Text/Plain", "txt", "0", "", 4);
    QTest::newRow("no # line: nothing loaded")
        << QByteArray("name=text/plain\ntype=0\n") << false << QByteArray("<missing>");
    QTest::newRow("lines before the first record belong to none")
        << "name=stray\nrank=9\n" + record("image/gif", "gif", "g", "", 0) << true
        << record("image/gif", "gif", "g", "", 0);
    QTest::newRow("line over 255 characters kept whole")
        << record("application/pdf", "pdf", "P", longViewer, 3) << true
        << record("application/pdf", "pdf", "P", longViewer, 3);
    QTest::newRow("value ends at the next =, odd keys ignored, empty type is !")
        << QByteArray("#\r\nname=audio/x=y\r\ntype=\r\nrank=12abc\r\ncolour=red\r\nviewer\r\n")
        << true << record("audio/x", "", "!", "", 12);
}

void tst_ViewTables::viewFileRoundTrip()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, loaded);
    QFETCH(QByteArray, saved);
    const QString shipped = m_dir->filePath(QStringLiteral("extviews.cnf"));
    const QString user = m_dir->filePath(QStringLiteral("user/extviews.cnf"));
    QVERIFY(writeFile(shipped, file));

    ExtendedViewTable table(&m_ui);
    table.setProgramFiles(files(), user);
    QVERIFY(table.fileFound());
    QVERIFY(table.Load());
    QCOMPARE(table.isLoaded(), loaded);
    if (loaded)
        QCOMPARE(m_ui.mainStatus.last(), "Loaded " + QByteArray::number(table.count())
                                             + " extended views from " + shipped.toUtf8());
    // Lookups lower the name: a record written with capitals is never found.
    if (table.record("Text/Plain"))
        QVERIFY(!table.Lookup("Text/Plain"));

    QVERIFY(table.Save());
    QCOMPARE(readFile(user), saved);
    QCOMPARE(readFile(shipped), file); // the shipped copy is never written
    if (loaded) {
        // Read back, the user's copy gives the same records.
        const auto before = table.records();
        ExtendedViewTable again(&m_ui);
        ProgramFiles f = files();
        f.configDirectory = m_dir->filePath(QStringLiteral("user"));
        again.setProgramFiles(f, user);
        QCOMPARE(again.path(), user);
        QVERIFY(again.Load());
        QCOMPARE(again.records(), before);
    }
}

void tst_ViewTables::viewFileNotFound()
{
    ExtendedViewTable table(&m_ui);
    table.setProgramFiles(files(), QString());
    QVERIFY(!table.fileFound());
    QVERIFY(!table.Lookup("text/plain"));
    QCOMPARE(m_ui.messages.size(), 1);
    QCOMPARE(m_ui.messages[0].text, NotFoundText);

    // The file is looked for again on the next attempt.
    QVERIFY(writeFile(m_dir->filePath(QStringLiteral("extviews.cnf")),
                      record("text/plain", "txt", "0", "", 1)));
    QVERIFY(table.Lookup("TEXT/PLAIN"));
    QCOMPARE(m_ui.messages.size(), 1);
}

void tst_ViewTables::failedSaveKeepsOldFileAndDirtyFlag()
{
    const QString shipped = m_dir->filePath(QStringLiteral("extviews.cnf"));
    const QByteArray text = record("text/plain", "txt", "0", "", 1);
    QVERIFY(writeFile(shipped, text));
    // The user's directory cannot be made: a file stands where it would be.
    QVERIFY(writeFile(m_dir->filePath(QStringLiteral("blocked")), "x"));
    ExtendedViewTable table(&m_ui);
    table.setProgramFiles(files(), m_dir->filePath(QStringLiteral("blocked/extviews.cnf")));
    QVERIFY(table.Lookup("text/plain"));
    table.insert({"image/png", "png", 'I', "", 0});
    table.afterDialog(true, true);
    QVERIFY(table.isDirty());
    QCOMPARE(m_ui.messages.size(), 1);
    QVERIFY(m_ui.messages[0].text.startsWith("Unable to write file containing view info: \n"));
    QCOMPARE(readFile(shipped), text);

    // A cancelled dialog drops the edits: the next use reads the file again.
    table.afterDialog(false, false);
    QVERIFY(!table.isLoaded());
    QVERIFY(!table.Lookup("image/png"));
    QVERIFY(table.Lookup("text/plain"));
}

void tst_ViewTables::languageFileRoundTrip_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("saved");

    QTest::newRow("text after a second = dropped")
        << QByteArray("En_US=English=US\n") << QByteArray("En_US=English\n");
    QTest::newRow("no =: a tag with an empty name")
        << QByteArray("Klingon\r\n") << QByteArray("Klingon=\n");
    QTest::newRow("same tag twice: the last counts")
        << QByteArray("de_DE=Deutsch\nde_DE=German\n") << QByteArray("de_DE=German\n");
    QTest::newRow("tags are case-sensitive")
        << QByteArray("en_US=a\nEn_US=b\n") << QByteArray("En_US=b\nen_US=a\n");
    const QByteArray longName(400, 'n');
    QTest::newRow("line over 255 characters kept whole")
        << "xx_XX=" + longName + "\n" << "xx_XX=" + longName + "\n";
}

void tst_ViewTables::languageFileRoundTrip()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, saved);
    const QString shipped = m_dir->filePath(QStringLiteral("language.cnf"));
    const QString user = m_dir->filePath(QStringLiteral("user/language.cnf"));
    QVERIFY(writeFile(shipped, file));
    LanguageTable table(&m_ui);
    table.setPaths(shipped, user);
    QVERIFY(table.Load());
    QCOMPARE(m_ui.mainStatus.last(), "Loaded language info from " + shipped.toUtf8());
    table.afterDialog(true, true);
    QCOMPARE(readFile(user), saved);
    QCOMPARE(m_ui.mainStatus.last(), "Updated language info in " + user.toUtf8());
    QVERIFY(!table.isDirty());
    QCOMPARE(table.path(), user);
    LanguageTable again(&m_ui);
    again.setPaths(user, user);
    QVERIFY(again.Load());
    QCOMPARE(again.entries(), table.entries());
}

void tst_ViewTables::shippedTablesLoad()
{
    // The copies shipped with the program: every common view is known and
    // ranked, so opening an item needs no question by default.
    ProgramFiles f;
    f.programDirectory = QStringLiteral(TWK_SOURCE_DIR "/share/tarnwick");
    ExtendedViewTable views(&m_ui);
    views.setProgramFiles(f, m_dir->filePath(QStringLiteral("user/extviews.cnf")));
    for (const char *name : {"text/plain", "application/gopher+-menu", "image/gif", "image/jpeg",
                             "image/png", "application/pdf", "application/zip", "audio/mpeg",
                             "video/mp4", "text/html"}) {
        const CViewInfo *info = views.Lookup(name);
        QVERIFY2(info && info->rank > 0, name);
    }
    QSet<int> ranks;
    for (const CViewInfo &info : views.records())
        ranks.insert(info.rank);
    QCOMPARE(ranks.size(), views.count());
    LanguageTable languages(&m_ui);
    languages.setPaths(f.FindProgramFile(QStringLiteral("language.cnf")), QString());
    QCOMPARE(languages.DescribeLanguage("En_US"), QByteArray("English (United States)"));
    QCOMPARE(languages.DescribeLanguage("de_DE"), QByteArray("German"));
    QVERIFY(m_ui.messages.isEmpty());
}

void tst_ViewTables::viewLine_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("viewText");
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QByteArray>("tag");
    QTest::addColumn<QByteArray>("sizeText");
    QTest::addColumn<quint32>("itemSize");

    QTest::newRow("type, language and size")
        << QByteArray("text/plain En_US: <10k>") << QByteArray("text/plain En_US")
        << QByteArray("text/plain") << QByteArray("En_US") << QByteArray("<10k>") << 10240u;
    QTest::newRow("unit letter not read")
        << QByteArray("Text/plain: <2.5M>") << QByteArray("Text/plain") << QByteArray("Text/plain")
        << QByteArray() << QByteArray("<2.5M>") << 2560u;
    QTest::newRow("no colon: the whole line twice")
        << QByteArray("text/plain") << QByteArray("text/plain") << QByteArray("text/plain")
        << QByteArray() << QByteArray("text/plain") << 0u;
    QTest::newRow("no colon, leading digits")
        << QByteArray("12abc") << QByteArray("12abc") << QByteArray("12abc") << QByteArray()
        << QByteArray("12abc") << 12288u;
    QTest::newRow("colon but no size")
        << QByteArray("image/gif:") << QByteArray("image/gif") << QByteArray("image/gif")
        << QByteArray() << QByteArray() << 0u;
    QTest::newRow("second colon stays in the size, blanks in the tag")
        << QByteArray("a/b x y:  <3k>: z") << QByteArray("a/b x y") << QByteArray("a/b")
        << QByteArray("x y") << QByteArray("<3k>: z") << 3072u;
    QTest::newRow("huge size held at the largest")
        << QByteArray("a/b: <99999999999k>") << QByteArray("a/b") << QByteArray("a/b")
        << QByteArray() << QByteArray("<99999999999k>") << 4294967295u;
}

void tst_ViewTables::viewLine()
{
    QFETCH(QByteArray, line);
    const ViewChoice c = ExtendedViewTable::splitViewLine(line);
    QTEST(c.viewText, "viewText");
    QTEST(c.type, "type");
    QTEST(c.languageTag, "tag");
    QTEST(c.sizeText, "sizeText");
    CBookmark item('0', "t", "sel\tjunk", "h", 70);
    item.itemSize = 77;
    ExtendedViewTable::applyChoice(item, c, nullptr);
    QCOMPARE(item.selector, "sel\t+" + c.viewText + "\r\n");
    QFETCH(quint32, itemSize);
    QCOMPARE(item.itemSize, c.sizeText.isEmpty() ? 77u : itemSize);
}

void tst_ViewTables::chooseView_data()
{
    QTest::addColumn<char>("itemType");
    QTest::addColumn<QList<QByteArray>>("views");
    QTest::addColumn<bool>("autoSelect");
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<int>("dialogs");     // how often the dialog was shown
    QTest::addColumn<int>("chosen");      // -1: cancelled
    QTest::addColumn<char>("typeAfter");

    // Known: text/plain rank 3, image/gif 0 (type g), application/pdf rank 3 (type P).
    const QList<QByteArray> three{"text/plain: <1k>", "image/gif: <2k>", "video/ogg: <3k>"};
    QTest::newRow("ranked first, auto select: no dialog")
        << '9' << three << true << QList<int>{} << 0 << 0 << '0';
    QTest::newRow("auto select off: the dialog")
        << '9' << three << false << QList<int>{1} << 1 << 1 << 'g';
    QTest::newRow("nothing ranked: the dialog, cancelled")
        << '9' << QList<QByteArray>{"image/gif", "video/ogg"} << true << QList<int>{-1} << 1 << -1
        << '9';
    QTest::newRow("equal highest ranks: the earlier line")
        << '9' << QList<QByteArray>{"image/gif", "Application/PDF: <1k>", "text/plain"} << true
        << QList<int>{} << 0 << 1 << 'P';
    QTest::newRow("a search keeps its type")
        << '7' << three << true << QList<int>{} << 0 << 0 << '7';
    QTest::newRow("a phone book keeps its type")
        << '2' << three << true << QList<int>{} << 0 << 0 << '2';
    QTest::newRow("an unknown view not defined: the dialog stays open")
        << '9' << three << false << QList<int>{2, 0} << 1 << 0 << '0';
}

void tst_ViewTables::chooseView()
{
    QFETCH(char, itemType);
    QFETCH(QList<QByteArray>, views);
    QFETCH(bool, autoSelect);
    QFETCH(QList<int>, answers);
    QVERIFY(writeFile(m_dir->filePath(QStringLiteral("extviews.cnf")),
                      record("text/plain", "txt", "0", "", 3) + record("image/gif", "gif", "g", "", 0)
                          + record("application/pdf", "pdf", "P", "", 3)));
    ExtendedViewTable table(&m_ui);
    table.setProgramFiles(files(), QString());
    m_ui.viewAnswers = answers;

    CBookmark item(itemType, "t", "sel", "h", 70);
    item.viewLines = views;
    ViewChoice picked;
    const bool ok = table.ChooseView(item, autoSelect, &picked);
    QTEST(int(m_ui.viewChoices.size()), "dialogs");
    QFETCH(int, chosen);
    QCOMPARE(ok, chosen >= 0);
    QTEST(item.type, "typeAfter");
    if (chosen >= 0) {
        QCOMPARE(picked.viewText, views.at(chosen).left(views.at(chosen).indexOf(':')));
        QCOMPARE(item.selector, "sel\t+" + picked.viewText + "\r\n");
    } else {
        QCOMPARE(item.selector, QByteArray("sel\r\n"));
    }
}

void tst_ViewTables::dialogDefinesUnknownView()
{
    QVERIFY(writeFile(m_dir->filePath(QStringLiteral("extviews.cnf")),
                      record("text/plain", "txt", "0", "", 0)));
    QVERIFY(writeFile(m_dir->filePath(QStringLiteral("language.cnf")), "De_DE=German\n"));
    LanguageTable languages(&m_ui);
    languages.setPaths(m_dir->filePath(QStringLiteral("language.cnf")), QString());
    ExtendedViewTable table(&m_ui, &languages);
    table.setProgramFiles(files(), m_dir->filePath(QStringLiteral("user/extviews.cnf")));
    // The user defines the view as a GIF image in the "Extended Views" dialog.
    m_ui.onEditViews = [](ExtendedViewTable &t, const QByteArray &name, char) {
        t.insert({name, "gif", 'g', "", 0});
        t.afterDialog(true, true);
    };
    m_ui.viewAnswers = {1};
    CBookmark item('I', "t", "pic", "h", 70);
    // pygopherd sends a +VIEWS block of its own twice: each view is offered once.
    item.viewLines = {"text/plain De_DE: <1k>", "Image/GIF Xx_YY: <4k>", "text/plain De_DE: <1k>"};
    QVERIFY(table.ChooseView(item, true));
    QCOMPARE(m_ui.viewDefinitions, QList<QByteArray>{"image/gif"});
    QCOMPARE(m_ui.viewChoices.size(), 1);
    const QList<ViewChoice> &shown = m_ui.viewChoices[0];
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[0].languageName, QByteArray("German"));
    QCOMPARE(shown[1].languageName, QByteArray("Xx_YY")); // unknown tag: the tag itself
    QCOMPARE(shown[0].rank, 0);
    QCOMPARE(shown[1].rank, -1);
    QCOMPARE(item.selector, QByteArray("pic\t+Image/GIF Xx_YY\r\n"));
    QCOMPARE(item.type, 'g');
    QCOMPARE(item.itemSize, 4096u);
    QVERIFY(readFile(m_dir->filePath(QStringLiteral("user/extviews.cnf"))).contains("name=image/gif\n"));
}

void tst_ViewTables::openItemChoosesView_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<int>("dialogs");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("Auto Select View on by default: the ranked view")
        << QByteArray() << QList<int>{} << 0 << QByteArray("/n\t+text/plain En_US\r\n")
        << QByteArray("Hello");
    QTest::newRow("Auto Select View off: the user's choice")
        << QByteArray("[Options]\r\nAuto Select View=0\r\n") << QList<int>{1} << 1
        << QByteArray("/n\t+text/plain De_DE\r\n") << QByteArray("Hallo");
    QTest::newRow("cancelled: nothing is fetched")
        << QByteArray("[Options]\r\nAuto Select View=0\r\n") << QList<int>{-1} << 1 << QByteArray()
        << QByteArray();
}

void tst_ViewTables::openItemChoosesView()
{
    QFETCH(QByteArray, settings);
    QFETCH(QList<int>, answers);
    QFETCH(QByteArray, request);
    QVERIFY(writeFile(m_dir->filePath(QStringLiteral("extviews.cnf")),
                      record("text/plain", "txt", "0", "", 2)));
    QVERIFY(writeFile(m_dir->filePath(QStringLiteral("tarnwick.ini")), settings));
    auto route = [](const char *match, const QByteArray &reply) {
        return QJsonObject{{QStringLiteral("match"), QString::fromLatin1(match)},
                           {QStringLiteral("steps"),
                            QJsonArray{QJsonObject{{QStringLiteral("send"), QString::fromLatin1(reply)}}}}};
    };
    auto server = TestServer::scripted(QJsonDocument(QJsonArray{
        route("/n\t+text/plain En_US", "+-1\r\nHello\r\n.\r\n"),
        route("/n\t+text/plain De_DE", "+-1\r\nHallo\r\n.\r\n")}).toJson());
    QVERIFY2(server, qPrintable(TestServer::lastError()));

    CTarnwickApp app(m_ui);
    app.setSettingsPath(m_dir->filePath(QStringLiteral("tarnwick.ini")));
    app.setProgramFiles(files());
    app.registerDefaultTemplates();
    m_ui.viewAnswers = answers;

    // An item of a Gopher+ menu: its attributes came with the menu. Its type
    // is a binary's; the view's record makes it a text.
    CBookmark item('9', "Notes", "/n", "127.0.0.1", server->port());
    item.SetGopherPlus(true);
    item.ParseAttributes("+VIEWS:\r\n text/plain En_US: <1k>\r\n text/plain De_DE: <1k>\r\n");
    QPointer<CTarnwickDoc> doc = app.OpenItem(item, 0, 0);
    QTEST(int(m_ui.viewChoices.size()), "dialogs");
    if (request.isEmpty()) {
        QVERIFY(!doc);
        return;
    }
    auto *text = qobject_cast<CGopherTextDoc *>(doc.data());
    QVERIFY(text);
    QTRY_COMPARE(app.engine().registry().documentCount(), 0);
    QCOMPARE(server->requests(), QList<QByteArray>{request});
    QTEST(text->store().GetLine(0), "text");
    QCOMPARE(text->item().itemSize, 1024u);
}

QTEST_GUILESS_MAIN(tst_ViewTables)
#include "tst_viewtables.moc"
