#include "settings/profilefile.h"
#include "app/tarnwickapp.h"
#include "ui/bookmarks/bookmarkeditor.h"
#include "bookmarks/bookmarkstore.h"
#include "ui/bookmarks/categoriesdialog.h"
#include "ui/bookmarks/itemform.h"
#include "documents/userinterface.h"
#include "items/itemrecords.h"
#include "ui/views/bmview.h"
#include "ui/guiprogram.h"
#include "ui/mainframe.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class tst_BookmarkEditor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void editedTitleMovesToItsPlace();
    void askFormAloneIsAnEdit();
    void deleteConfirmsOnlySeveral_data();
    void deleteConfirmsOnlySeveral();
    void moveToCurrentCategoryAsksAgain();
    void moveThenCancelKeepsTargetSaved();
    void copyPasteBetweenCategories();
    void switchingCategoriesSavesFirst();
    void storeHandsNewItemToEditor();
    void okKeepsEditorWhenSaveFails();
    void leavingWithChangesAsks_data();
    void leavingWithChangesAsks();

    void categoriesDialogMessages_data();
    void categoriesDialogMessages();
    void categoriesDialogDeleteKeepsDefault();
    void categoriesDialogOkCreatesTypedName();
    void categoriesDialogTakesTheEntryItShows();
    void categoriesDialogCentredOnTheWindow();

    void itemFormUrlOrFields_data();
    void itemFormUrlOrFields();

    void treeFollowsTheStore();
    void sampleBookmarksAtFirstStartOnly();

private:
    void writeFile(const QByteArray &text);
    CBookmarkEditor *openEditor(const QByteArray &category);
    QStringList titles(const CBookmarkEditor *editor) const;
    void select(CBookmarkEditor *editor, const QStringList &rows);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ProfileFile> m_file;
    std::unique_ptr<CBookmarkStore> m_store;
    RecordingUserInterface m_ui;
    QList<CBookmark> m_opened;
    QByteArray m_chosen;
};

using namespace Qt::StringLiterals;

namespace {

const QByteArray TwoCategories =
    "[Default Category]\nCategory=Home\n[Bookmark Categories]\nCategory0=Home\nCategory1=Work\n"
    "[Bookmarks: Home]\nCount=3\n"
    "Name0=Charlie\nType0=0\nPort0=70\nPath0=%2Fc\nHost0=c.example\n"
    "Name1=Alpha\nType1=1\nPort1=70\nPath1=%2Fa\nHost1=a.example\n"
    "Name2=Bravo\nType2=1+\nPort2=7070\nPath2=%2Fb\nHost2=b.example\n"
    "[Bookmarks: Work]\nCount=1\nName0=Desk\nType0=0\nPort0=70\nPath0=%2Fd\nHost0=d.example\n";

} // namespace

void tst_BookmarkEditor::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_BookmarkEditor::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_file = std::make_unique<ProfileFile>(m_dir->filePath(QStringLiteral("tarnwick.ini")));
    m_ui = RecordingUserInterface();
    m_opened.clear();
    m_chosen.clear();
}

void tst_BookmarkEditor::cleanup()
{
    m_store.reset();
    m_file.reset();
    m_dir.reset();
}

void tst_BookmarkEditor::writeFile(const QByteArray &text)
{
    QFile f(m_file->path());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
    f.close();
    m_store = std::make_unique<CBookmarkStore>(*m_file, &m_ui);
    m_store->setChooser([this](int) { return m_chosen; });
    m_store->setEditorFactory([this](const QByteArray &category) {
        auto *editor = new CBookmarkEditor(
            *m_store, m_ui, category, [this](const CBookmark &item) { m_opened.append(item); },
            [] { return 0; });
        editor->show();
        return editor;
    });
}

CBookmarkEditor *tst_BookmarkEditor::openEditor(const QByteArray &category)
{
    m_chosen = category;
    if (m_store->GetDefaultCategory() != category)
        (void)m_store->SetDefaultCategory(category);
    m_store->OpenEditor();
    return static_cast<CBookmarkEditor *>(m_store->editor());
}

QStringList tst_BookmarkEditor::titles(const CBookmarkEditor *editor) const
{
    QStringList result;
    for (int i = 0; i < editor->list()->count(); ++i)
        result.append(editor->list()->item(i)->text());
    return result;
}

void tst_BookmarkEditor::select(CBookmarkEditor *editor, const QStringList &rows)
{
    editor->list()->clearSelection();
    for (const QString &title : rows)
        editor->list()->findItems(title, Qt::MatchExactly).first()->setSelected(true);
}

void tst_BookmarkEditor::editedTitleMovesToItsPlace()
{
    writeFile(TwoCategories);
    CBookmarkEditor *editor = openEditor("Home");
    select(editor, {u"Alpha"_s});
    editor->titleField()->setCursorPosition(0);
    QTest::keyClicks(editor->titleField(), QStringLiteral("Zulu "));
    select(editor, {u"Bravo"_s});
    QCOMPARE(titles(editor), (QStringList{u"Bravo"_s, u"Charlie"_s, u"Zulu Alpha"_s}));
    QCOMPARE(editor->statusText(), QStringLiteral("Status: Modified 'Zulu Alpha'"));
    editor->onOk();
    QCOMPARE(m_store->GetBookmarkTitles("Home"), (QByteArrayList{"Charlie", "Zulu Alpha", "Bravo"}));
}

void tst_BookmarkEditor::askFormAloneIsAnEdit()
{
    writeFile(TwoCategories);
    CBookmarkEditor *editor = openEditor("Home");
    select(editor, {u"Alpha"_s});
    editor->askFormBox()->click();
    select(editor, {u"Bravo"_s});
    QVERIFY(editor->isModified());
    editor->onOk();
    QVERIFY(m_store->ReadBookmark("Home", 1)->IsAskForm());
}

void tst_BookmarkEditor::deleteConfirmsOnlySeveral_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("questions");
    QTest::addColumn<QString>("status");
    QTest::newRow("one") << QStringList{u"Bravo"_s} << 0 << QStringLiteral("Status: Deleted 'Bravo'");
    QTest::newRow("three") << QStringList{u"Alpha"_s, u"Bravo"_s, u"Charlie"_s} << 1
                           << QStringLiteral("Status: Deleted 3 items");
}

void tst_BookmarkEditor::deleteConfirmsOnlySeveral()
{
    QFETCH(QStringList, rows);
    QFETCH(int, questions);
    QFETCH(QString, status);
    writeFile(TwoCategories);
    CBookmarkEditor *editor = openEditor("Home");
    select(editor, rows);
    editor->onDelete();
    QCOMPARE(m_ui.messages.size(), questions);
    if (questions)
        QCOMPARE(m_ui.messages.first().text, QByteArray("Are you sure you want to delete all these bookmarks?"));
    QCOMPARE(editor->statusText(), status);
    QCOMPARE(editor->bookmarks().size(), 3 - rows.size());
    // The file changes only when the category is saved.
    QCOMPARE(m_store->GetBookmarkCount("Home"), 3);
    // The remaining entries still point at their own items.
    for (int i = 0; i < editor->list()->count(); ++i) {
        const QListWidgetItem *entry = editor->list()->item(i);
        QCOMPARE(editor->bookmarks().at(entry->data(Qt::UserRole).toLongLong()).title,
                 entry->text().toUtf8());
    }
    editor->onOk();
    QCOMPARE(m_store->GetBookmarkCount("Home"), 3 - rows.size());
}

void tst_BookmarkEditor::moveToCurrentCategoryAsksAgain()
{
    writeFile(TwoCategories);
    CBookmarkEditor *editor = openEditor("Home");
    const QByteArray before = QByteArray(m_file->getString("Bookmarks: Home", "Name0"));
    select(editor, {u"Alpha"_s});
    m_chosen = "Home";
    m_ui.answers = {UserInterface::AnswerOk, UserInterface::AnswerCancel};
    editor->onMove();
    QCOMPARE(m_ui.messages.size(), 2);
    QCOMPARE(m_ui.messages.first().text,
             QByteArray("That's the category we're currently using!\nLet's try this again ..."));
    QCOMPARE(editor->bookmarks().size(), 3);
    QVERIFY(!editor->isModified());
    QCOMPARE(m_file->getString("Bookmarks: Home", "Name0"), before);
    editor->list()->clearSelection();
    editor->onMove();
    QCOMPARE(m_ui.messages.last().text, QByteArray("First select one or more bookmarks to move"));
    editor->onOk();
}

void tst_BookmarkEditor::moveThenCancelKeepsTargetSaved()
{
    writeFile(TwoCategories);
    CBookmarkEditor *editor = openEditor("Home");
    select(editor, {u"Alpha"_s, u"Charlie"_s});
    m_chosen = "Work";
    editor->onMove();
    QCOMPARE(editor->statusText(), QStringLiteral("Status: Moved 2 bookmarks"));
    QCOMPARE(titles(editor), QStringList{u"Bravo"_s});
    QCOMPARE(m_store->GetBookmarkTitles("Work"), (QByteArrayList{"Desk", "Alpha", "Charlie"}));
    m_ui.answers = {UserInterface::AnswerOk};
    editor->onCancel();
    QCOMPARE(m_ui.messages.last().text, QByteArray("Cancelling will cause changes to be ignored"));
    QVERIFY(!m_store->isEditorOpen());
    // The moved bookmarks are now in both categories on disk.
    QCOMPARE(m_store->GetBookmarkCount("Home"), 3);
    QCOMPARE(m_store->GetBookmarkCount("Work"), 3);
}

void tst_BookmarkEditor::copyPasteBetweenCategories()
{
    writeFile(TwoCategories);
    CBookmarkEditor *editor = openEditor("Home");
    select(editor, {u"Bravo"_s, u"Charlie"_s});
    editor->onCopy();
    QCOMPARE(editor->statusText(), QStringLiteral("Status: Copied 2 items to clipboard"));
    QVERIFY(m_ui.clipboard.contains("Name=Bravo\r\nType=1+\r\nPort=7070\r\nPath=/b\r\nHost=b.example\r\n"));
    QVERIFY(m_ui.clipboard.contains("\r\n\r\nName=Charlie\r\n"));

    m_chosen = "Work";
    editor->openCategoryList();
    editor->chooseCategory("Work");
    QCOMPARE(editor->windowTitle(), QStringLiteral("Category: Work, 1 bookmarks"));
    editor->list()->clearSelection();
    editor->onPaste();
    QCOMPARE(editor->statusText(), QStringLiteral("Status: Copied 2 items from the clipboard"));
    QCOMPARE(editor->list()->selectedItems().size(), 2);
    editor->onOk();
    const CBookmarkArray work = m_store->LoadCategory("Work");
    QCOMPARE(work.size(), 3);
    QCOMPARE(work.at(1).title, QByteArray("Bravo"));
    QCOMPARE(work.at(1).port, quint16(7070));
    QVERIFY(work.at(1).IsGopherPlus());
    QCOMPARE(work.at(2).selector, QByteArray("/c\r\n"));
}

void tst_BookmarkEditor::switchingCategoriesSavesFirst()
{
    writeFile(TwoCategories);
    CBookmarkEditor *editor = openEditor("Home");
    select(editor, {u"Alpha"_s});
    editor->onDelete();
    editor->openCategoryList();
    QCOMPARE(m_store->GetBookmarkCount("Home"), 2);
    QCOMPARE(editor->categoryList()->count(), 2);
    editor->chooseCategory("Work");
    QCOMPARE(titles(editor), QStringList{u"Desk"_s});
    QVERIFY(!editor->isModified());
    editor->onOk();
}

void tst_BookmarkEditor::storeHandsNewItemToEditor()
{
    writeFile(TwoCategories);
    CBookmarkEditor *editor = openEditor("Home");
    m_store->OpenEditor();  // a second editor is never made
    QCOMPARE(m_store->editor(), editor);
    QVERIFY(m_store->AddBookmark(CBookmark('0', "Echo", "/e", "e.example", 70)));
    QCOMPARE(titles(editor), (QStringList{u"Alpha"_s, u"Bravo"_s, u"Charlie"_s, u"Echo"_s}));
    QCOMPARE(editor->list()->selectedItems().first()->text(), QStringLiteral("Echo"));
    QCOMPARE(m_store->GetBookmarkCount("Home"), 4);
    editor->onOk();
}

void tst_BookmarkEditor::okKeepsEditorWhenSaveFails()
{
    writeFile(TwoCategories);
    CBookmarkEditor *editor = openEditor("Home");
    select(editor, {u"Alpha"_s});
    editor->onDelete();
    QFile blocker(m_dir->filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    m_file->setPath(m_dir->filePath(QStringLiteral("blocker/tarnwick.ini")));
    editor->onOk();
    QVERIFY(m_store->isEditorOpen());
    QVERIFY(editor->isModified());
    QVERIFY(m_ui.messages.last().text.startsWith("Couldn't save the bookmarks in "));
    m_ui.answers = {UserInterface::AnswerOk};
    editor->onCancel();
}

void tst_BookmarkEditor::categoriesDialogMessages_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("create existing") << "Work" << QString() << "create"
                                     << QByteArray("That category already exists.  Please try again!");
    QTest::newRow("rename without selection") << "New" << QString() << "rename"
                                              << QByteArray("Please select a category from the list");
    QTest::newRow("rename to same") << "Work" << "Work" << "rename" << QByteArray("Please enter a new name");
    QTest::newRow("ok without selection") << QString() << QString() << "ok"
                                          << QByteArray("Please select a category from the list");
}

void tst_BookmarkEditor::categoriesDialogMessages()
{
    QFETCH(QString, name);
    QFETCH(QString, selected);
    QFETCH(QString, button);
    QFETCH(QByteArray, message);
    writeFile("[Bookmark Categories]\nCategory0=Home\nCategory1=Work\n");
    CCategoriesDialog dialog(*m_store, m_ui, CBookmarkStore::ManageCategories);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Bookmark Categories"));
    QCOMPARE(dialog.defaultList()->currentText(), QStringLiteral("<no default category>"));
    dialog.list()->clearSelection();
    if (!selected.isEmpty())
        dialog.list()->setCurrentItem(dialog.list()->findItems(selected, Qt::MatchExactly).first());
    dialog.nameField()->setText(name);
    if (button == QLatin1String("create"))
        dialog.onCreate();
    else if (button == QLatin1String("rename"))
        dialog.onRename();
    else if (button == QLatin1String("delete"))
        dialog.onDelete();
    else
        dialog.onOk();
    QCOMPARE(m_ui.messages.size(), 1);
    QCOMPARE(m_ui.messages.first().text, message);
    QCOMPARE(m_store->GetCategories(), (QByteArrayList{"Home", "Work"}));
}

void tst_BookmarkEditor::categoriesDialogDeleteKeepsDefault()
{
    writeFile("[Default Category]\nCategory=Home\n[Bookmark Categories]\nCategory0=Home\nCategory1=Work\n"
              "Category2=Play\n");
    CCategoriesDialog dialog(*m_store, m_ui, CBookmarkStore::ManageCategories);
    QCOMPARE(dialog.defaultList()->currentText(), QStringLiteral("Home"));
    QCOMPARE(dialog.list()->currentItem()->text(), QStringLiteral("Home"));
    dialog.list()->setCurrentRow(1);
    dialog.onDelete();
    QCOMPARE(m_ui.messages.first().text, QByteArray("Are you sure you want to delete 'Work'?"));
    QCOMPARE(dialog.list()->currentItem()->text(), QStringLiteral("Play"));
    QCOMPARE(dialog.nameField()->text(), QStringLiteral("Play"));
    QCOMPARE(dialog.defaultList()->currentText(), QStringLiteral("Home"));
    dialog.onOk();
    QCOMPARE(dialog.result(), QByteArray("Play"));
    QCOMPARE(m_store->GetCategories(), (QByteArrayList{"Home", "Play"}));
    QCOMPARE(m_store->GetDefaultCategory(), QByteArray("Home"));
}

void tst_BookmarkEditor::leavingWithChangesAsks_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("Cancel") << QStringLiteral("cancel");
    QTest::newRow("close box") << QStringLiteral("close");
    QTest::newRow("Escape") << QStringLiteral("escape");
}

void tst_BookmarkEditor::leavingWithChangesAsks()
{
    QFETCH(QString, way);
    writeFile(TwoCategories);
    CBookmarkEditor *editor = openEditor("Home");
    select(editor, {u"Alpha"_s});
    editor->onDelete();
    QVERIFY(editor->isModified());
    const auto leave = [&] {
        if (way == QLatin1String("cancel"))
            editor->onCancel();
        else if (way == QLatin1String("close"))
            editor->close();
        else
            QTest::keyClick(editor->list(), Qt::Key_Escape);
    };
    m_ui.answers = {UserInterface::AnswerCancel};
    leave();
    QCOMPARE(m_ui.messages.size(), 1);
    QCOMPARE(m_ui.messages.last().text, QByteArray("Cancelling will cause changes to be ignored"));
    QVERIFY(m_store->isEditorOpen());
    QVERIFY(editor->isVisible());
    m_ui.answers = {UserInterface::AnswerOk};
    leave();
    QCOMPARE(m_ui.messages.size(), 2);
    QVERIFY(!m_store->isEditorOpen());
    QCOMPARE(m_store->GetBookmarkCount("Home"), 3);
}

void tst_BookmarkEditor::categoriesDialogTakesTheEntryItShows()
{
    // The first bookmark of a new user: "Default" exists (written at the
    // first start), no default category is set yet.
    writeFile("[Bookmark Categories]\nCategory0=Default\n");
    CCategoriesDialog dialog(*m_store, m_ui, CBookmarkStore::SaveBookmarkIn);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    // The list takes the keyboard and shows "Default" as its entry; OK (here
    // Return) takes it.
    QTRY_COMPARE(dialog.nameField()->text(), QStringLiteral("Default"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(m_ui.messages.isEmpty());
    QCOMPARE(dialog.result(), QByteArray("Default"));
    QVERIFY(!dialog.isVisible());
}

void tst_BookmarkEditor::categoriesDialogCentredOnTheWindow()
{
    writeFile(TwoCategories);
    QWidget window;
    window.setGeometry(100, 80, 1000, 700);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    CCategoriesDialog dialog(*m_store, m_ui, CBookmarkStore::ManageCategories, &window);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // Window frames are guessed without a window manager: allow for them.
    const QPoint offset = dialog.frameGeometry().center() - window.frameGeometry().center();
    QVERIFY2(offset.manhattanLength() <= 50,
             qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
}

void tst_BookmarkEditor::categoriesDialogOkCreatesTypedName()
{
    writeFile("[Bookmark Categories]\nCategory0=Home\nCategory1=Work\n");
    CCategoriesDialog dialog(*m_store, m_ui, CBookmarkStore::SaveBookmarkIn);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Select category to save bookmark in"));
    QTest::keyClicks(dialog.nameField(), QStringLiteral("Later"));
    m_ui.answers = {UserInterface::AnswerNo, UserInterface::AnswerYes};
    dialog.onOk();
    QCOMPARE(dialog.result(), QByteArray());
    QCOMPARE(m_store->GetCategories().size(), 2);
    dialog.onOk();
    QCOMPARE(m_ui.messages.last().text, QByteArray("Do you wish to create the category 'Later'?"));
    QCOMPARE(dialog.result(), QByteArray("Later"));
    QCOMPARE(m_store->GetCategories(), (QByteArrayList{"Home", "Work", "Later"}));
}

void tst_BookmarkEditor::itemFormUrlOrFields_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QByteArray>("fetched");  // empty: the form stays open
    QTest::newRow("URL with empty server name")
        << QString() << "70" << "gopher://u.example:7070/0/x" << QByteArray("<URL=gopher://u.example:7070/0%2Fx>");
    QTest::newRow("server name wins over URL")
        << "f.example" << "71" << "gopher://u.example/0/x" << QByteArray("<URL=gopher://f.example:71/>");
    QTest::newRow("port 0 keeps the form open") << "f.example" << "0" << QString() << QByteArray();
    QTest::newRow("URL without host keeps the form open") << QString() << "70" << "gopher://" << QByteArray();
}

void tst_BookmarkEditor::itemFormUrlOrFields()
{
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(QString, url);
    QFETCH(QByteArray, fetched);
    CItemForm form(m_ui, std::nullopt);
    QVERIFY(!form.pasteButton()->isEnabled());
    form.hostField()->setText(host);
    form.portField()->setText(port);
    form.urlField()->setText(url);
    form.onOk();
    QCOMPARE(form.result().has_value(), !fetched.isEmpty());
    if (form.result())
        QCOMPARE(form.result()->GetURL(), fetched);
}

void tst_BookmarkEditor::treeFollowsTheStore()
{
    writeFile(TwoCategories);
    CBMView tree(m_store.get(), nullptr, nullptr);
    QTreeWidgetItem *root = tree.rootNode();
    QCOMPARE(root->text(0), QStringLiteral("Bookmarks"));
    QVERIFY(root->isExpanded());
    QCOMPARE(root->childCount(), 2);
    QCOMPARE(root->child(0)->childCount(), 0);
    tree.expandAllNodes(true);
    QCOMPARE(root->child(0)->childCount(), 3);
    QCOMPARE(root->child(0)->child(2)->data(0, CBMView::ImageRole).toInt(), 4);

    QVERIFY(m_store->AddCategory("Play"));
    QVERIFY(m_store->RenameCategory("Work", "Office"));
    QVERIFY(m_store->DeleteCategory("Home"));
    root = tree.rootNode();
    QCOMPARE(root->childCount(), 2);
    QCOMPARE(root->child(0)->text(0), QStringLiteral("Office"));
    QCOMPARE(root->child(1)->text(0), QStringLiteral("Play"));

    CBookmark image('g', "Picture", "/p.gif", "p.example", 70);
    (void)m_store->SetDefaultCategory("Play");
    QVERIFY(m_store->AddBookmark(image));
    tree.expandAllNodes(true);
    QTreeWidgetItem *leaf = tree.rootNode()->child(1)->child(0);
    QCOMPARE(leaf->text(0), QStringLiteral("Picture"));
    QCOMPARE(leaf->data(0, CBMView::ImageRole).toInt(), 14);
    QList<CBookmark> opened;
    tree.setOpener([&](const CBookmark &item) { opened.append(item); });
    QVERIFY(!tree.fetchNode(tree.rootNode()->child(1)));
    QVERIFY(tree.fetchNode(leaf));
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened.first().selector, QByteArray("/p.gif\r\n"));
}

void tst_BookmarkEditor::sampleBookmarksAtFirstStartOnly()
{
    const QString path = m_dir->filePath(QStringLiteral("tarnwick.ini"));
    qputenv("TWK_SAMPLE_SERVER", "gopher://127.0.0.1:7071/");
    {
        GuiProgram program;
        CTarnwickApp &app = program.app();
        app.setSettingsPath(path);
        CMainFrame frame(program);
        QCOMPARE(frame.bookmarkStore().GetCategories(), QByteArrayList{"Default"});
        const CBookmarkArray items = frame.bookmarkStore().LoadCategory("Default");
        QCOMPARE(items.size(), 7);
        QCOMPARE(items.at(1).GetURL(), QByteArray("<URL=gopher://127.0.0.1:7071/0%2Fabout.txt>"));
        QCOMPARE(app.homeGophers().GetHomeType(), 2);
        QVERIFY(frame.bookmarkStore().DeleteCategory("Default"));
        QVERIFY(frame.bookmarkStore().AddCategory("Mine"));
        QVERIFY(app.homeGophers().SetHomeType(0));
    }
    {
        GuiProgram program;
        CTarnwickApp &app = program.app();
        app.setSettingsPath(path);
        CMainFrame frame(program);
        QCOMPARE(frame.bookmarkStore().GetCategories(), QByteArrayList{"Mine"});
        QCOMPARE(app.homeGophers().GetHomeType(), 0);
    }
    qunsetenv("TWK_SAMPLE_SERVER");
}

QTEST_MAIN(tst_BookmarkEditor)
#include "tst_bookmarkeditor.moc"
