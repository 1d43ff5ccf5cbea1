#include "app/programoptions.h"
#include "settings/profilefile.h"
#include "bookmarks/bookmarkexchange.h"
#include "bookmarks/bookmarkstore.h"
#include "documents/userinterface.h"

#include <QFile>
#include <QRandomGenerator>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

Q_DECLARE_METATYPE(CBookmark)

class tst_Bookmarks : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void categoryList_data();
    void categoryList();
    void defaultCategory();
    void storedForm_data();
    void storedForm();
    void roundTrip_data();
    void roundTrip();
    void hostlessEntryIsPassedOver();
    void hostlessEntriesAreNotWritten();
    void additionAfterConversionShows();
    void categoryMessages_data();
    void categoryMessages();
    void renameMovesBookmarks();
    void deleteRemovesSection();
    void saveIsOneReplacement();
    void addBookmark();
    void addBookmarkToEditorCategory();
    void addBookmarkAsksWithoutDefault();
    void addBookmarkRecreatesMissingCategory();
    void conversion();
    void conversionAppendsToExistingDefault();
    void unwritableFileKeepsBookmarks();
    void killedSaveLeavesOldOrNew();

    void exportFormats_data();
    void exportFormats();
    void importText_data();
    void importText();
    void commandLineRoundTrip();
    void commandLineBackupRestores();
    void commandLineConvertsOldBookmarks();
    void commandLineErrors_data();
    void commandLineErrors();

private:
    void writeFile(const QByteArray &text);
    QByteArray readFile() const;
    std::unique_ptr<CBookmarkStore> makeStore();
    // Saves item alone in a new category "C".
    void saveInNewCategory(const CBookmark &item);
    struct Run
    {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };
    Run runTarnwick(const QStringList &arguments);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    std::unique_ptr<ProfileFile> m_file;
    RecordingUserInterface m_ui;
};

namespace {

class FakeEditor : public BookmarkEditorLink
{
public:
    QByteArray category;
    QList<CBookmark> added;
    QByteArray renamedTo;
    bool closed = false;
    QByteArray shownCategory() const override { return category; }
    void addItem(const CBookmark &item) override { added.append(item); }
    void categoryRenamed(const QByteArray &name) override { renamedTo = name; category = name; }
    void closeEditor() override { closed = true; }
};

CBookmark item(char type, const QByteArray &title, const QByteArray &selector,
               const QByteArray &host = "gopher.example.org", quint16 port = 70)
{
    return CBookmark(type, title, selector, host, port);
}

} // namespace

void tst_Bookmarks::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_Bookmarks::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_path = m_dir->filePath(QStringLiteral("tarnwick.ini"));
    m_file = std::make_unique<ProfileFile>(m_path);
    m_ui = RecordingUserInterface();
}

void tst_Bookmarks::cleanup()
{
    m_file.reset();
    m_dir.reset();
}

void tst_Bookmarks::writeFile(const QByteArray &text)
{
    QFile f(m_path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

QByteArray tst_Bookmarks::readFile() const
{
    QFile f(m_path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::unique_ptr<CBookmarkStore> tst_Bookmarks::makeStore()
{
    return std::make_unique<CBookmarkStore>(*m_file, &m_ui);
}

void tst_Bookmarks::saveInNewCategory(const CBookmark &item)
{
    auto store = makeStore();
    QVERIFY(store->AddCategory("C"));
    CBookmarkArray array;
    array.append(item);
    QVERIFY(store->SaveCategory("C", array));
}

void tst_Bookmarks::categoryList_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArrayList>("categories");
    QTest::newRow("gap ends the list")
        << QByteArray("[Bookmark Categories]\nCategory0=A\nCategory2=C\n") << QByteArrayList{"A"};
    QTest::newRow("empty value ends the list")
        << QByteArray("[Bookmark Categories]\nCategory0=A\nCategory1=\nCategory2=C\n")
        << QByteArrayList{"A"};
}

void tst_Bookmarks::categoryList()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArrayList, categories);
    writeFile(file);
    QCOMPARE(makeStore()->GetCategories(), categories);
}

void tst_Bookmarks::defaultCategory()
{
    writeFile("[Bookmark Categories]\nCategory0=Only\n");
    auto store = makeStore();
    QCOMPARE(store->GetDefaultCategory(), QByteArray("Only"));
    QVERIFY(!readFile().contains("Default Category"));

    QVERIFY(store->AddCategory("Second"));
    QCOMPARE(store->GetDefaultCategory(), QByteArray());
    QVERIFY(store->SetDefaultCategory("Second"));
    QCOMPARE(makeStore()->GetDefaultCategory(), QByteArray("Second"));
}

void tst_Bookmarks::storedForm_data()
{
    QTest::addColumn<CBookmark>("item");
    QTest::addColumn<QByteArrayList>("lines");
    QTest::newRow("title escaped")
        << item('0', "A=B [x]", "/a\r\n")
        << QByteArrayList{"Name0=A%3DB%20%5Bx%5D", "Type0=0", "Port0=70", "Path0=%2Fa",
                          "Host0=gopher.example.org"};
    CBookmark both = item('1', "both", "sel\t+\r\n");
    both.SetGopherPlus(true);
    both.SetAskForm(true);
    QTest::newRow("ask form wins over Gopher+, TAB part dropped")
        << both << QByteArrayList{"Type0=1?", "Path0=sel"};
    CBookmark plus = item('1', "plus", "sel\t+\r\n", "Host.Example", 7070);
    plus.SetGopherPlus(true);
    QTest::newRow("Gopher+ directory, host lower-cased and unescaped")
        << plus << QByteArrayList{"Type0=1+", "Port0=7070", "Host0=host.example"};
    CBookmark secure = item('1', "secure", "/s\r\n");
    secure.tls = true;
    QTest::newRow("a TLS item gets a key of its own, the classic keys unchanged")
        << secure << QByteArrayList{"Type0=1", "Path0=%2Fs", "Host0=gopher.example.org", "TLS0=1"};
}

void tst_Bookmarks::storedForm()
{
    QFETCH(CBookmark, item);
    QFETCH(QByteArrayList, lines);
    saveInNewCategory(item);
    const QByteArray text = readFile();
    QVERIFY(text.contains("[Bookmarks: C]\n"));
    QVERIFY(text.contains("Count=1\n"));
    for (const QByteArray &line : lines)
        QVERIFY2(text.contains(QByteArray(line + "\n")), line.constData());
    // Older readers know nothing of TLS: plain items write no such key.
    QCOMPARE(text.contains("TLS0="), item.tls);
}

void tst_Bookmarks::roundTrip_data()
{
    QTest::addColumn<CBookmark>("item");
    QTest::addColumn<CBookmark>("expected");
    const CBookmark percent = item('0', "100% \\ \"quoted\"", "/a%b\\c\r\n");
    QTest::newRow("percent, backslash and quotes") << percent << percent;
    const CBookmark bytes = item('0', "caf\xc3\xa9 \xff", "/\xe2\x82\xac/\x80\r\n");
    QTest::newRow("non-ASCII bytes") << bytes << bytes;
    CBookmark tabbed = item('7', "search", "/find\tquery\r\n");
    QTest::newRow("search keeps the part before its TAB")
        << tabbed << item('7', "search", "/find\r\n");
    CBookmark both = item('1', "flags", "/f\r\n");
    both.SetGopherPlus(true);
    both.SetAskForm(true);
    CBookmark askOnly = both;
    askOnly.SetGopherPlus(false);
    QTest::newRow("both flags read back as ask form") << both << askOnly;
    QTest::newRow("empty title becomes host and port")
        << item('1', "", "/x\r\n", "h", 71) << item('1', "h:71", "/x\r\n", "h", 71);
    CBookmark secure = item('0', "secure", "/s\r\n");
    secure.tls = true;
    QTest::newRow("TLS kept") << secure << secure;
}

void tst_Bookmarks::roundTrip()
{
    QFETCH(CBookmark, item);
    QFETCH(CBookmark, expected);
    saveInNewCategory(item);
    ProfileFile fresh(m_path);
    const CBookmarkArray loaded = CBookmarkStore(fresh, nullptr).LoadCategory("C");
    QCOMPARE(loaded.size(), 1);
    const CBookmark &got = loaded.at(0);
    QCOMPARE(got.title, expected.title);
    QCOMPARE(got.selector, expected.selector);
    QCOMPARE(got.host, expected.host);
    QCOMPARE(got.port, expected.port);
    QCOMPARE(got.type, expected.type);
    QCOMPARE(got.flags, expected.flags);
    QCOMPARE(got.tls, expected.tls);
}

void tst_Bookmarks::hostlessEntryIsPassedOver()
{
    // An entry without a host (written by hand, or by an older version after
    // converting old bookmarks) hides nothing stored after it; the three
    // readers count the same entries.
    writeFile("[Bookmark Categories]\nCategory0=C\n[Bookmarks: C]\nCount=3\n"
              "Name0=one\nType0=\nPort0=70\nPath0=\nHost0=a\n"
              "Name1=two\nType1=0\nPort1=70\nPath1=\nHost1=\n"
              "Name2=three\nType2=0\nPort2=70\nPath2=\nHost2=c\n"
              "Name3=beyond the count\nType3=0\nPort3=70\nPath3=\nHost3=d\n");
    auto store = makeStore();
    const CBookmarkArray array = store->LoadCategory("C");
    QCOMPARE(array.size(), 2);
    QCOMPARE(array.at(0).type, '1');
    QCOMPARE(array.at(1).title, QByteArray("three"));
    QCOMPARE(store->ReadBookmark("C", 1)->title, QByteArray("three"));
    QVERIFY(!store->ReadBookmark("C", 2));
    QCOMPARE(store->GetBookmarkTitles("C"), (QByteArrayList{"one", "three"}));
}

void tst_Bookmarks::hostlessEntriesAreNotWritten()
{
    auto store = makeStore();
    QVERIFY(store->AddCategory("C"));
    CBookmarkArray array;
    array.append(item('0', "first", "/1"));
    CBookmark hostless = item('0', "no host", "/2");
    hostless.host.clear();
    array.append(hostless);
    array.append(item('0', "third", "/3"));
    QVERIFY(store->SaveCategory("C", array));
    QCOMPARE(store->GetBookmarkCount("C"), 2);
    QCOMPARE(store->GetBookmarkTitles("C"), (QByteArrayList{"first", "third"}));
    QVERIFY(!m_file->hasKey("Bookmarks: C", "Host2"));
    QVERIFY(!store->AddBookmark(hostless));
    QVERIFY(store->appendToCategory("C", {hostless, item('0', "fourth", "/4")}));
    QCOMPARE(store->GetBookmarkTitles("C"), (QByteArrayList{"first", "third", "fourth"}));
}

void tst_Bookmarks::additionAfterConversionShows()
{
    // Old bookmarks, one of them without a server: after the conversion,
    // every later addition is listed and survives the editor's next save.
    writeFile("[Bookmarks]\nCount of Saved Bookmarks=2\n"
              "Server 1=\nTitle 1=nowhere\nSelector 1=/n\n"
              "Server 2=old.example\nTitle 2=Old\nSelector 2=/o\n");
    auto store = makeStore();
    QCOMPARE(m_ui.messages.last().text,
             QByteArray("Converted 1 old style bookmarks to new format\nThey are in the 'Default' list now"));
    QVERIFY(store->appendToCategory("Default", {item('1', "Imported", "/i")}));
    QVERIFY(store->AddBookmark(item('0', "Added", "/a")));
    const QByteArrayList expected{"Old", "Imported", "Added"};
    QCOMPARE(store->GetBookmarkTitles("Default"), expected);
    QVERIFY(store->SaveCategory("Default", store->LoadCategory("Default")));
    QCOMPARE(makeStore()->GetBookmarkTitles("Default"), expected);
}

void tst_Bookmarks::categoryMessages_data()
{
    QTest::addColumn<QByteArray>("operation");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("add existing") << QByteArray("add A") << QByteArray("Sorry, that category already exists!");
    QTest::newRow("rename onto existing") << QByteArray("rename A B") << QByteArray("Sorry, that category already exists!");
    QTest::newRow("rename missing") << QByteArray("rename X Y") << QByteArray("Sorry, I couldn't find that category!");
    QTest::newRow("delete missing") << QByteArray("delete X") << QByteArray("Sorry, I couldn't find that category!");
    QTest::newRow("delete the editor's") << QByteArray("delete B") << QByteArray("Sorry, that category is in use!");
    QTest::newRow("bracket in a name") << QByteArray("add a]b") << QByteArray("A category name cannot hold a line end or ']'");
}

void tst_Bookmarks::categoryMessages()
{
    QFETCH(QByteArray, operation);
    QFETCH(QByteArray, message);
    writeFile("[Bookmark Categories]\nCategory0=A\nCategory1=B\n[Bookmarks: A]\nCount=1\nName0=keep\n"
              "Type0=1\nPort0=70\nPath0=\nHost0=a\n");
    const QByteArray before = readFile();
    auto store = makeStore();
    FakeEditor editor;
    editor.category = "B";
    store->setChooser([](int) { return QByteArray("B"); });
    store->setEditorFactory([&](const QByteArray &) { return &editor; });
    store->OpenEditor();
    QVERIFY(store->isEditorOpen());
    const QByteArrayList words = operation.split(' ');
    bool ok = true;
    if (words[0] == "add")
        ok = store->AddCategory(words[1]);
    else if (words[0] == "rename")
        ok = store->RenameCategory(words[1], words[2]);
    else
        ok = store->DeleteCategory(words[1]);
    QVERIFY(!ok);
    QCOMPARE(m_ui.messages.size(), 1);
    QCOMPARE(m_ui.messages.first().text, message);
    QCOMPARE(readFile(), before);
    QCOMPARE(store->GetCategories(), (QByteArrayList{"A", "B"}));
    store->editorClosed();
}

void tst_Bookmarks::renameMovesBookmarks()
{
    writeFile("[Default Category]\nCategory=A\n[Bookmark Categories]\nCategory0=A\nCategory1=B\n"
              "[Bookmarks: A]\nCount=1\nName0=keep\nType0=0\nPort0=70\nPath0=%2Fk\nHost0=a\n");
    auto store = makeStore();
    FakeEditor editor;
    editor.category = "A";
    store->setEditorFactory([&](const QByteArray &) { return &editor; });
    store->OpenEditor();
    QSignalSpy spy(store.get(), &CBookmarkStore::categoriesChanged);
    const int before = m_file->counters().replacements;
    QVERIFY(store->RenameCategory("A", "C"));
    QCOMPARE(m_file->counters().replacements, before + 1);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(editor.renamedTo, QByteArray("C"));
    QCOMPARE(store->GetCategories(), (QByteArrayList{"C", "B"}));
    QVERIFY(!m_file->hasSection("Bookmarks: A"));
    QCOMPARE(store->LoadCategory("C").at(0).selector, QByteArray("/k\r\n"));
    // The default setting is left as it was.
    QCOMPARE(m_file->getString("Default Category", "Category"), QByteArray("A"));
    store->editorClosed();
}

void tst_Bookmarks::deleteRemovesSection()
{
    writeFile("[Default Category]\nCategory=B\n[Bookmark Categories]\nCategory0=A\nCategory1=B\n"
              "Category2=C\n[Bookmarks: B]\nCount=1\nName0=x\nType0=0\nPort0=70\nPath0=\nHost0=a\n");
    auto store = makeStore();
    QVERIFY(store->DeleteCategory("B"));
    QCOMPARE(store->GetCategories(), (QByteArrayList{"A", "C"}));
    QVERIFY(!m_file->hasSection("Bookmarks: B"));
    QCOMPARE(m_file->getString("Bookmark Categories", "Category1"), QByteArray("C"));
    QVERIFY(!m_file->hasKey("Bookmark Categories", "Category2"));
    QCOMPARE(makeStore()->GetCategories(), (QByteArrayList{"A", "C"}));
}

void tst_Bookmarks::saveIsOneReplacement()
{
    auto store = makeStore();
    QVERIFY(store->AddCategory("Big"));
    CBookmarkArray array;
    for (int i = 0; i < 1000; ++i)
        array.append(item('0', "title " + QByteArray::number(i), "/s/" + QByteArray::number(i)));
    const int before = m_file->counters().replacements;
    QVERIFY(store->SaveCategory("Big", array));
    QCOMPARE(m_file->counters().replacements, before + 1);
    // A smaller save leaves no keys of the larger one behind.
    array.removeAt(10, 990);
    QVERIFY(store->SaveCategory("Big", array));
    QCOMPARE(m_file->keys("Bookmarks: Big").size(), 1 + 10 * 5);
    QCOMPARE(store->LoadCategory("Big").size(), 10);
}

void tst_Bookmarks::addBookmark()
{
    writeFile("[Bookmark Categories]\nCategory0=Only\n[Bookmarks: Only]\nCount=1\nName0=a\n"
              "Type0=1\nPort0=70\nPath0=\nHost0=a\n");
    auto store = makeStore();
    QList<QByteArray> status;
    store->setStatusSink([&](const QByteArray &text) { status.append(text); });
    const int before = m_file->counters().replacements;
    QVERIFY(store->AddBookmark(item('0', "New one", "/n")));
    QCOMPARE(m_file->counters().replacements, before + 1);
    QCOMPARE(store->GetBookmarkCount("Only"), 2);
    QCOMPARE(store->ReadBookmark("Only", 1)->title, QByteArray("New one"));
    QCOMPARE(status, QList<QByteArray>{"Saved 'New one' in 'Only'"});
}

void tst_Bookmarks::addBookmarkToEditorCategory()
{
    writeFile("[Default Category]\nCategory=A\n[Bookmark Categories]\nCategory0=A\nCategory1=B\n");
    auto store = makeStore();
    FakeEditor editor;
    editor.category = "A";
    store->setEditorFactory([&](const QByteArray &) { return &editor; });
    store->OpenEditor();
    QVERIFY(store->AddBookmark(item('0', "x", "/x")));
    QCOMPARE(editor.added.size(), 1);
    QCOMPARE(store->GetBookmarkCount("A"), 0);
    // Another category than the editor's is written straight to the file.
    editor.category = "B";
    QVERIFY(store->AddBookmark(item('0', "y", "/y")));
    QCOMPARE(editor.added.size(), 1);
    QCOMPARE(store->GetBookmarkCount("A"), 1);
    store.reset();
    QVERIFY(editor.closed);
}

void tst_Bookmarks::addBookmarkAsksWithoutDefault()
{
    writeFile("[Bookmark Categories]\nCategory0=A\nCategory1=B\n");
    auto store = makeStore();
    QList<int> modes;
    QByteArray answer;
    store->setChooser([&](int mode) {
        modes.append(mode);
        return answer;
    });
    const QByteArray before = readFile();
    QVERIFY(!store->AddBookmark(item('0', "x", "/x")));
    QCOMPARE(readFile(), before);
    answer = "B";
    QVERIFY(store->AddBookmark(item('0', "x", "/x")));
    QCOMPARE(modes, (QList<int>{CBookmarkStore::SaveBookmarkIn, CBookmarkStore::SaveBookmarkIn}));
    QCOMPARE(store->GetBookmarkCount("B"), 1);
}

void tst_Bookmarks::addBookmarkRecreatesMissingCategory()
{
    // The default names a category deleted since: the bookmark must land in
    // a category the user can see.
    writeFile("[Default Category]\nCategory=Gone\n[Bookmark Categories]\nCategory0=A\nCategory1=B\n"
              "[Bookmarks: Gone]\nCount=5\n");
    auto store = makeStore();
    QVERIFY(store->AddBookmark(item('0', "x", "/x")));
    QCOMPARE(store->GetCategories(), (QByteArrayList{"A", "B", "Gone"}));
    QCOMPARE(store->LoadCategory("Gone").size(), 1);
    QCOMPARE(store->GetBookmarkCount("Gone"), 1);
}

void tst_Bookmarks::conversion()
{
    writeFile("[Bookmarks]\nCount of Saved Bookmarks=3\n"
              "Server 1=Old.Example\nTitle 1=First % one\nItem Type 1=0+\nSelector 1=/a b\n"
              "Server 2=two.example\nPort 2=7070\nTitle 2=\nSelector 2=\n"
              "Server 3=three.example\nPort 3=71\nTitle 3=Third\nItem Type 3=7\nSelector 3=/s\n"
              "[Other]\nkeep=1\n");
    const int before = m_file->counters().replacements;
    auto store = makeStore();
    QCOMPARE(m_file->counters().replacements, before + 1);
    QCOMPARE(m_ui.messages.size(), 2);
    QCOMPARE(m_ui.messages.at(0).text, QByteArray("I'm about to convert your old bookmarks\ninto a new format."));
    QCOMPARE(m_ui.messages.at(1).text,
             QByteArray("Converted 3 old style bookmarks to new format\nThey are in the 'Default' list now"));
    QVERIFY(!m_file->hasSection("Bookmarks"));
    QCOMPARE(m_file->getString("Other", "keep"), QByteArray("1"));
    QCOMPARE(store->GetCategories(), QByteArrayList{"Default"});
    const CBookmarkArray array = store->LoadCategory("Default");
    QCOMPARE(array.size(), 3);
    QCOMPARE(array.at(0).host, QByteArray("old.example"));
    QCOMPARE(array.at(0).title, QByteArray("First % one"));
    QCOMPARE(array.at(0).selector, QByteArray("/a b\r\n"));
    QVERIFY(array.at(0).IsGopherPlus());
    QCOMPARE(array.at(0).port, quint16(70));
    QCOMPARE(array.at(1).type, '1');
    QCOMPARE(array.at(1).title, QByteArray("two.example:7070"));
    QCOMPARE(array.at(2).type, '7');
    // The second start finds nothing to convert.
    m_ui.messages.clear();
    makeStore();
    QVERIFY(m_ui.messages.isEmpty());
}

void tst_Bookmarks::conversionAppendsToExistingDefault()
{
    writeFile("[Bookmark Categories]\nCategory0=Default\nCategory1=Work\n"
              "[Bookmarks: Default]\nCount=1\nName0=existing\nType0=1\nPort0=70\nPath0=\nHost0=e\n"
              "[Bookmarks]\nCount of Saved Bookmarks=1\nServer 1=old\nTitle 1=old one\n");
    auto store = makeStore();
    QCOMPARE(store->GetCategories(), (QByteArrayList{"Default", "Work"}));
    const QByteArrayList titles = store->GetBookmarkTitles("Default");
    QCOMPARE(titles, (QByteArrayList{"existing", "old one"}));
    QVERIFY(!m_file->hasSection("Bookmarks"));
}

void tst_Bookmarks::unwritableFileKeepsBookmarks()
{
    writeFile("[Bookmark Categories]\nCategory0=A\n");
    auto store = makeStore();
    // A file where the settings file's folder should be: no one, not even
    // root, can write there.
    QFile blocker(m_dir->filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString path = m_dir->filePath(QStringLiteral("blocker/tarnwick.ini"));
    m_file->setPath(path);
    CBookmarkArray array;
    array.append(item('0', "x", "/x"));
    QVERIFY(!store->SaveCategory("A", array));
    QVERIFY(!store->AddCategory("B"));
    QCOMPARE(store->GetCategories(), QByteArrayList{"A"});
    QCOMPARE(m_ui.messages.size(), 2);
    const QByteArray text = m_ui.messages.first().text;
    QVERIFY2(text.startsWith(QByteArray("Couldn't save the bookmarks in " + path.toLocal8Bit() + ":\n")),
             text.constData());
    QVERIFY2(text.size() > 40 + path.size(), text.constData());
    QCOMPARE(readFile(), QByteArray("[Bookmark Categories]\nCategory0=A\n"));
}

void tst_Bookmarks::killedSaveLeavesOldOrNew()
{
    // A saver process writes a 2,000-bookmark category again and again,
    // alternating two versions, and is killed at random moments: the file
    // must then hold one whole version, never a mix, never nothing.
    writeFile("[Bookmark Categories]\nCategory0=Big\n[Other]\nkeep=1\n");
    constexpr int Count = 2000;
    QRandomGenerator random(20261207);
    for (int round = 0; round < 12; ++round) {
        QProcess saver;
        saver.start(QStringLiteral(TWK_SAVER), {m_path, QString::number(Count)});
        QVERIFY(saver.waitForStarted());
        QSignalSpy output(&saver, &QProcess::readyReadStandardOutput);
        QVERIFY(output.wait(60000));
        QSignalSpy finished(&saver, &QProcess::finished);
        QTimer::singleShot(random.bounded(1, 400), &saver, [&saver] { saver.kill(); });
        QVERIFY(finished.wait(60000));
        QCOMPARE(saver.exitStatus(), QProcess::CrashExit);

        ProfileFile file(m_path);
        CBookmarkStore store(file, nullptr);
        QCOMPARE(file.getString("Other", "keep"), QByteArray("1"));
        QCOMPARE(store.GetBookmarkCount("Big"), Count);
        const CBookmarkArray array = store.LoadCategory("Big");
        QCOMPARE(array.size(), Count);
        const QByteArray version = array.at(0).title.left(2);
        for (qsizetype i = 0; i < array.size(); ++i)
            QVERIFY(array.at(i).title.startsWith(version) && array.at(i).selector.startsWith(QByteArray('/' + version)));
    }
}

void tst_Bookmarks::exportFormats_data()
{
    QTest::addColumn<CBookmark>("item");
    QTest::addColumn<QByteArray>("urls");
    QTest::addColumn<QByteArray>("gophermap");
    QTest::newRow("directory with empty selector")
        << item('1', "Top", "") << QByteArray("gopher://gopher.example.org/\n")
        << QByteArray("1Top\t\tgopher.example.org\t70\n");
    QTest::newRow("escaped selector, other port")
        << item('0', "A b", "/a b\r\n", "h", 7070) << QByteArray("gopher://h:7070/0%2Fa%20b\n")
        << QByteArray("0A b\t/a b\th\t7070\n");
    CBookmark plus = item('1', "tab\tin title", "/p\t+\r\n");
    plus.SetGopherPlus(true);
    QTest::newRow("Gopher+ item, TAB in title")
        << plus << QByteArray("gopher://gopher.example.org/1%2Fp%09+\n")
        << QByteArray("1tab in title\t/p\tgopher.example.org\t70\t+\n");
    // As the store reads it back: an ask form without the Gopher+ flag.
    CBookmark ask = item('0', "Sign here", "/book", "::1", 7070);
    ask.SetAskForm(true);
    QTest::newRow("ask form, IPv6 host")
        << ask << QByteArray("gopher://[::1]:7070/0%2Fbook\n")
        << QByteArray("0Sign here\t/book\t::1\t7070\t?\n");
    QTest::newRow("type the menus do not know")
        << item('x', "Odd", "/x") << QByteArray("gopher://gopher.example.org/x%2Fx\n")
        << QByteArray("xOdd\t/x\tgopher.example.org\t70\n");
}

void tst_Bookmarks::exportFormats()
{
    QFETCH(CBookmark, item);
    QFETCH(QByteArray, urls);
    QFETCH(QByteArray, gophermap);
    using BookmarkExchange::Format;
    QCOMPARE(BookmarkExchange::exportItems({item}, Format::Urls), urls);
    QCOMPARE(BookmarkExchange::exportItems({item}, Format::Gophermap), gophermap);
    // A URL list reads back as the same item.
    const auto back = BookmarkExchange::importText(urls);
    QCOMPARE(back.items.size(), 1);
    QCOMPARE(back.items.at(0).selector, item.selector.isEmpty() ? QByteArray("\r\n") : item.selector);
    QCOMPARE(back.items.at(0).IsGopherPlus(), item.IsGopherPlus());
    // A gophermap reads back as the item the store keeps: title, type,
    // selector, host, port and the Gopher+ and ask marks.
    const auto map = BookmarkExchange::importText(gophermap);
    QCOMPARE(map.items.size(), 1);
    QCOMPARE(map.skipped, 0);
    const CBookmark &got = map.items.at(0);
    QCOMPARE(got.title, QByteArray(item.title).replace('\t', ' '));
    QCOMPARE(got.type, item.type);
    QCOMPARE(CBookmark::plainSelector(got.selector), CBookmark::plainSelector(item.selector));
    QCOMPARE(got.host, item.host);
    QCOMPARE(got.port, item.port);
    QCOMPARE(CBookmarkStore::entryOf(got).type, CBookmarkStore::entryOf(item).type);
}

void tst_Bookmarks::importText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArrayList>("titles");
    QTest::addColumn<QByteArrayList>("urls");
    QTest::addColumn<int>("skipped");
    QTest::newRow("URL list with titles, blank lines and junk")
        << QByteArray("gopher://a.example/1/x Some menu\r\n\n# comment\nhttp://web.example/\n"
                      "GOPHER://B.EXAMPLE:71/0/t\ngopher:///1/nohost\n")
        << QByteArrayList{"Some menu", "b.example:71"}
        << QByteArrayList{"gopher://a.example/1%2Fx", "gopher://b.example:71/0%2Ft"} << 3;
    QTest::newRow("lynx page")
        << QByteArray("<!DOCTYPE HTML>\n<title>Bookmark file</title>\n<ul>\n"
                      "<LI><a href=\"gopher://a.example/1/x\">Fish &amp; chips</a>\n"
                      "<LI><a href=\"http://web.example/\">Web</a>\n"
                      "<LI><A HREF=\"gopher://c.example:7070/7/find\">  Find\n it </A>\n</ul>\n")
        << QByteArrayList{"Fish & chips", "Find it"}
        << QByteArrayList{"gopher://a.example/1%2Fx", "gopher://c.example:7070/7%2Ffind"} << 1;
    QTest::newRow("wrong-case prefix is not a gopher URL")
        << QByteArray("Gopher://a.example/\n") << QByteArrayList{} << QByteArrayList{} << 1;
    QTest::newRow("gophermap as a server keeps it")
        << QByteArray("iWelcome\t\tnull.host\t1\r\n1Menu\t/m\ta.example\t70\r\n"
                      "+\t\tmirror.example\t70\r\n3Error\t\terror.host\t1\r\n"
                      "0No host\t/n\t\t70\r\n0No port\t/p\tb.example\t0\r\n"
                      "hWeb <a href=\"x\">\tURL:http://w.example/\tc.example\t70\r\n.\r\n")
        << QByteArrayList{"Menu", "Web <a href=\"x\">"}
        << QByteArrayList{"gopher://a.example/1%2Fm", "gopher://c.example/hURL%3Ahttp%3A%2F%2Fw.example%2F"}
        << 5;
}

void tst_Bookmarks::importText()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArrayList, titles);
    QFETCH(QByteArrayList, urls);
    QFETCH(int, skipped);
    const auto result = BookmarkExchange::importText(text);
    QByteArrayList gotTitles, gotUrls;
    for (const CBookmark &item : result.items) {
        gotTitles.append(item.title);
        gotUrls.append(BookmarkExchange::bareUrl(item));
    }
    QCOMPARE(gotTitles, titles);
    QCOMPARE(gotUrls, urls);
    QCOMPARE(result.skipped, skipped);
}

tst_Bookmarks::Run tst_Bookmarks::runTarnwick(const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_dir->path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir->filePath(QStringLiteral("xdg")));
    env.remove(QStringLiteral("TWK_CONFIG"));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(m_dir->path());
    process.start(QStringLiteral(TWK_BINARY),
                  QStringList{QStringLiteral("-I"), m_dir->path()} + arguments);
    Run run;
    if (!process.waitForFinished(60000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

void tst_Bookmarks::commandLineRoundTrip()
{
    writeFile("[Bookmark Categories]\nCategory0=Home\n");
    const QString list = m_dir->filePath(QStringLiteral("list.txt"));
    QFile f(list);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("gopher://a.example/1/x%20y Menu one\nnot a url\ngopher://b.example:7070/0/t\n");
    f.close();

    Run run = runTarnwick({QStringLiteral("--import-bookmarks"), list});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QByteArray("Added 2 bookmarks to 'Home', skipped 1 lines\n"));
    run = runTarnwick({QStringLiteral("--export-bookmarks")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QByteArray("gopher://a.example/1%2Fx%20y\ngopher://b.example:7070/0%2Ft\n"));

    run = runTarnwick({QStringLiteral("--import-bookmarks"), list, QStringLiteral("--category"),
                       QStringLiteral("New one")});
    QCOMPARE(run.out, QByteArray("Added 2 bookmarks to 'New one', skipped 1 lines\n"));
    run = runTarnwick({QStringLiteral("--export-bookmarks"), QStringLiteral("--category"),
                       QStringLiteral("*"), QStringLiteral("--format"), QStringLiteral("gophermap")});
    QCOMPARE(run.out, QByteArray("iHome\t\tnull.host\t1\n"
                                 "1Menu one\t/x y\ta.example\t70\n0b.example:7070\t/t\tb.example\t7070\n"
                                 "iNew one\t\tnull.host\t1\n"
                                 "1Menu one\t/x y\ta.example\t70\n0b.example:7070\t/t\tb.example\t7070\n"));
    QCOMPARE(makeStore()->GetCategories(), (QByteArrayList{"Home", "New one"}));
}

void tst_Bookmarks::commandLineBackupRestores()
{
    // Every category exported as a gophermap comes back in a new settings
    // file, each bookmark with its title, type, selector, host, port and
    // marks, into the category it was in.
    writeFile("[Bookmark Categories]\nCategory0=Home\nCategory1=Work\n"
              "[Default Category]\nCategory=Home\n"
              "[Bookmarks: Home]\nCount=2\n"
              "Name0=Menu%20one\nType0=1+\nPort0=70\nPath0=%2Fx%20y\nHost0=a.example\n"
              "Name1=Book\nType1=0?\nPort1=7070\nPath1=%2Fbook\nHost1=b.example\n"
              "[Bookmarks: Work]\nCount=2\n"
              "Name0=Find%20it\nType0=7\nPort0=71\nPath0=%2Ffind\nHost0=c.example\n"
              "Name1=Odd%20%25%20one\nType1=x\nPort1=70\nPath1=\nHost1=d.example\n");
    const CBookmarkArray home = makeStore()->LoadCategory("Home");
    const CBookmarkArray work = makeStore()->LoadCategory("Work");
    Run run = runTarnwick({QStringLiteral("--export-bookmarks"), QStringLiteral("--category"),
                           QStringLiteral("*"), QStringLiteral("--format"), QStringLiteral("gophermap")});
    QCOMPARE(run.exitCode, 0);
    QFile backup(m_dir->filePath(QStringLiteral("backup")));
    QVERIFY(backup.open(QIODevice::WriteOnly));
    backup.write(run.out);
    backup.close();

    writeFile("");
    run = runTarnwick({QStringLiteral("--import-bookmarks"), backup.fileName(),
                       QStringLiteral("--category"), QStringLiteral("*")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QByteArray("Added 2 bookmarks to 'Home'\nAdded 2 bookmarks to 'Work'\n"
                                 "Added 4 bookmarks to 2 categories, skipped 0 lines\n"));
    auto store = makeStore();
    QCOMPARE(store->GetCategories(), (QByteArrayList{"Home", "Work"}));
    for (const auto &[name, before] : {std::pair{"Home", home}, std::pair{"Work", work}}) {
        const CBookmarkArray after = store->LoadCategory(name);
        QCOMPARE(after.size(), before.size());
        for (qsizetype i = 0; i < after.size(); ++i) {
            const CBookmarkStore::Entry a = CBookmarkStore::entryOf(after.at(i));
            const CBookmarkStore::Entry b = CBookmarkStore::entryOf(before.at(i));
            QCOMPARE(a.name + ' ' + a.type + ' ' + a.port + ' ' + a.path + ' ' + a.host,
                     b.name + ' ' + b.type + ' ' + b.port + ' ' + b.path + ' ' + b.host);
        }
    }

    // Into one category, the headings are lines that gave no bookmark.
    run = runTarnwick({QStringLiteral("--import-bookmarks"), backup.fileName(),
                       QStringLiteral("--category"), QStringLiteral("All")});
    QCOMPARE(run.out, QByteArray("Added 4 bookmarks to 'All', skipped 2 lines\n"));
}

void tst_Bookmarks::commandLineConvertsOldBookmarks()
{
    writeFile("[Bookmarks]\nCount of Saved Bookmarks=1\nServer 1=old.example\nTitle 1=Old\n"
              "Selector 1=/o\n");
    const Run run = runTarnwick({QStringLiteral("--export-bookmarks")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QByteArray("gopher://old.example/1%2Fo\n"));
    QCOMPARE(run.err, QByteArray("message: I'm about to convert your old bookmarks\\ninto a new format.\n"
                                 "message: Converted 1 old style bookmarks to new format\\n"
                                 "They are in the 'Default' list now\n"));
    QVERIFY(!m_file->hasSection("Bookmarks"));
}

void tst_Bookmarks::commandLineErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("err");
    QTest::newRow("unknown format")
        << QStringList{QStringLiteral("--export-bookmarks"), QStringLiteral("--format"), QStringLiteral("html")}
        << 2
        << QByteArray("tarnwick: unknown format 'html' (urls or gophermap)\n"
                      + ProgramOptions::usageText().toUtf8());
    QTest::newRow("missing category")
        << QStringList{QStringLiteral("--export-bookmarks"), QStringLiteral("--category"), QStringLiteral("Nope")}
        << 1 << QByteArray("tarnwick: no such category: Nope\n");
    QTest::newRow("no default category")
        << QStringList{QStringLiteral("--export-bookmarks")} << 1
        << QByteArray("tarnwick: there is no default category\n");
}

void tst_Bookmarks::commandLineErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, err);
    writeFile("[Bookmark Categories]\nCategory0=A\nCategory1=B\n");
    const Run run = runTarnwick(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.err, err);
    QVERIFY(run.out.isEmpty());
}

QTEST_GUILESS_MAIN(tst_Bookmarks)
#include "tst_bookmarks.moc"
