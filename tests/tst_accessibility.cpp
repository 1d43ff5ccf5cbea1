// What a screen reader finds through Qt's accessibility interfaces, that the
// keyboard reaches every command, the focus shows and colours follow the palette.

#include "app/tarnwickapp.h"
#include "documents/gopherdir.h"
#include "documents/gophertextdoc.h"
#include "documents/gopherxferdoc.h"
#include "documents/phonetext.h"
#include "documents/searchtext.h"
#include "documents/telnettext.h"
#include "documents/userinterface.h"
#include "gplus/asktext.h"
#include "items/typetable.h"
#include "net/transactionengine.h"
#include "settings/profilefile.h"
#include "settings/programfiles.h"
#include "tests/support/testservers.h"
#include "ui/bookmarks/bookmarkeditor.h"
#include "ui/bookmarks/categoriesdialog.h"
#include "ui/bookmarks/fetchbookmarkdialog.h"
#include "ui/bookmarks/homegopherdialog.h"
#include "ui/bookmarks/itemform.h"
#include "ui/commandicons.h"
#include "ui/dialogs/aboutdialog.h"
#include "ui/dialogs/downloadedfilesdialog.h"
#include "ui/dialogs/finddialog.h"
#include "ui/dialogs/winsockinfodialog.h"
#include "ui/fontmanager.h"
#include "ui/gplus/askview.h"
#include "ui/gplus/extviewsdialog.h"
#include "ui/gplus/iteminfowindow.h"
#include "ui/gplus/rankviewsdialog.h"
#include "ui/gplus/selectviewdialog.h"
#include "ui/guiprogram.h"
#include "ui/help/helpwindow.h"
#include "ui/image/picturewindow.h"
#include "ui/itemicons.h"
#include "ui/mainframe.h"
#include "ui/preferences/homeviewpage.h"
#include "ui/preferences/preferencesheet.h"
#include "ui/print/pagesetupdialog.h"
#include "ui/print/printsetupdialog.h"
#include "ui/views/bmview.h"
#include "ui/views/gopherdirview.h"
#include "ui/views/gophertextview.h"
#include "ui/views/gtreeview.h"
#include "ui/views/phoneview.h"
#include "ui/views/searchview.h"
#include "ui/views/telnetview.h"
#include "ui/views/xferview.h"

#include <QHash>
#include <QSet>
#include <QAccessible>
#include <QApplication>
#include <QHBoxLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPrinter>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <cmath>
#include <functional>
#include <memory>

namespace {

QAccessibleTextInterface *textOf(QWidget *widget)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget);
    return iface ? iface->textInterface() : nullptr;
}

// What a screen reader lands on and must be able to name.
bool isControl(QAccessible::Role role)
{
    using A = QAccessible;
    return QList<QAccessible::Role>{A::PushButton, A::CheckBox, A::RadioButton, A::ComboBox, A::EditableText,
                                    A::SpinBox, A::Slider, A::List, A::Tree, A::Table, A::PageTab,
                                    A::ButtonMenu, A::ButtonDropDown, A::ToolBar}
        .contains(role);
}

// The controls under root that have no name, and column headers that only
// number their column, each described by its role and its widget's class.
QStringList unnamedControls(QWidget *root)
{
    QStringList found;
    std::function<void(QAccessibleInterface *, int)> walk = [&](QAccessibleInterface *iface, int depth) {
        if (!iface || depth > 40 || iface->state().invisible)
            return;
        const QAccessible::Role role = iface->role();
        const QString name = iface->text(QAccessible::Name).trimmed();
        const QObject *object = iface->object();
        const QString what = QString::number(int(role), 16) + QLatin1Char(' ')
                             + QString::fromLatin1(object ? object->metaObject()->className() : "?")
                             + (object ? QLatin1Char(' ') + object->objectName() : QString());
        if (isControl(role) && name.isEmpty())
            found.append(what);
        bool number = false;
        name.toInt(&number);
        if (role == QAccessible::ColumnHeader && (name.isEmpty() || number))
            found.append(what + QStringLiteral(" header \"") + name + QLatin1Char('"'));
        // Cells are named by their data; a combo box's popup list is its part.
        if (role == QAccessible::ComboBox)
            return;
        const bool itemView = role == QAccessible::List || role == QAccessible::Tree
                              || role == QAccessible::Table;
        for (int i = 0; i < iface->childCount(); ++i) {
            QAccessibleInterface *child = iface->child(i);
            if (!itemView || !child || child->role() == QAccessible::ColumnHeader)
                walk(child, depth + 1);
        }
    };
    walk(QAccessible::queryAccessibleInterface(root), 0);
    return found;
}

QByteArray menuLine(char type, const QByteArray &title)
{
    return type + title + "\t/x\tgopher.example.org\t70\r\n";
}

QPalette darkPalette()
{
    QPalette dark;
    const std::pair<QPalette::ColorRole, QRgb> colours[] = {
        {QPalette::Window, 0x202224}, {QPalette::WindowText, 0xeeeeee}, {QPalette::Base, 0x121214},
        {QPalette::AlternateBase, 0x28282c}, {QPalette::Text, 0xf0f0f0}, {QPalette::Button, 0x303236},
        {QPalette::ButtonText, 0xeeeeee}, {QPalette::Highlight, 0x3daee9},
        {QPalette::HighlightedText, 0x000000}, {QPalette::Link, 0x8ab4f8}};
    for (const auto &[role, rgb] : colours)
        dark.setColor(role, QColor(rgb));
    return dark;
}

// WCAG's contrast ratio of two colours.
qreal contrast(const QColor &a, const QColor &b)
{
    const auto luminance = [](const QColor &c) {
        const auto channel = [](qreal v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const qreal la = luminance(a);
    const qreal lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

// A view of a new document of type Doc, which the view owns.
std::pair<int, int> selectionOf(QAccessibleTextInterface *iface)
{
    int start = -1;
    int end = -1;
    iface->selection(0, &start, &end);
    return {start, end};
}

// Every colour in image, with its alpha.
QSet<QRgb> coloursOf(const QImage &image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixelColor(x, y).rgba());
    }
    return colours;
}

template <class View, class Doc, class... Args>
QWidget *viewOf(CTarnwickApp &app, Args... args)
{
    auto *doc = new Doc(app.context());
    auto *view = new View(doc, args...);
    doc->setParent(view);
    return view;
}

} // namespace

using Factory = std::function<QWidget *(CMainFrame &frame, CTarnwickApp &app)>;
Q_DECLARE_METATYPE(Factory)
Q_DECLARE_METATYPE(QAccessible::TextBoundaryType)

class tst_Accessibility : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void textByBoundary_data();
    void textByBoundary();
    void textWindowCaretAndMark();
    void readerFollowsArrivingLinesAndFind();
    void fullTextQueriesReadTheirLines();

    void menuRowsReadAsPage();
    void mainWindowControlsHaveNames();
    void dialogControlsHaveNames_data();
    void dialogControlsHaveNames();
    void everyCommandHasAKey();
    void focusShowsOnEveryPane();

    void drawnPicturesFollowPalette();
    void darkPaletteTakesDarkIcons();

private:
    void makeTextView(const QByteArray &text, bool finish = true);
    std::unique_ptr<CGopherDir> makeMenu(const QByteArray &lines, bool authored = false);

    QTemporaryDir m_dir;
    std::unique_ptr<RecordingUserInterface> m_ui;
    std::unique_ptr<ProfileFile> m_profile;
    std::unique_ptr<FontManager> m_fonts;
    std::unique_ptr<CTarnwickApp> m_app;
    std::unique_ptr<CGopherTextDoc> m_doc;
    std::unique_ptr<CGopherTextView> m_view;
};

void tst_Accessibility::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_dir.isValid());
    QAccessible::setActive(true);
}

void tst_Accessibility::init()
{
    m_ui = std::make_unique<RecordingUserInterface>();
    m_profile = std::make_unique<ProfileFile>(m_dir.filePath(QStringLiteral("tarnwick.ini")));
    m_fonts = std::make_unique<FontManager>(*m_profile);
    m_app = std::make_unique<CTarnwickApp>(*m_ui);
    m_app->setSettingsPath(m_dir.filePath(QStringLiteral("tarnwick.ini")));
    m_app->engine().setOffline(true);
}

void tst_Accessibility::cleanup()
{
    m_view.reset();
    m_doc.reset();
    m_fonts.reset();
    m_profile.reset();
    m_app.reset();
    m_ui.reset();
    QFile::remove(m_dir.filePath(QStringLiteral("tarnwick.ini")));
    QApplication::setPalette(QPalette());
}

void tst_Accessibility::makeTextView(const QByteArray &text, bool finish)
{
    m_doc = std::make_unique<CGopherTextDoc>(m_app->context());
    (void)m_doc->Fetch(CBookmark('0', "About this server", "/about", "gopher.example.org", 70));
    m_view = std::make_unique<CGopherTextView>(m_doc.get(), m_fonts.get());
    m_view->resize(400, 300);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    bool done = false;
    if (!text.isEmpty())
        m_doc->OnData(text, done);
    if (finish && !done)
        m_doc->FinishTransfer();
}

// A menu of the given lines, whole.
std::unique_ptr<CGopherDir> tst_Accessibility::makeMenu(const QByteArray &lines, bool authored)
{
    auto doc = std::make_unique<CGopherDir>(m_app->context());
    doc->setAuthored(authored);
    (void)doc->Fetch(CBookmark('1', "Page", QByteArray(), QByteArray("gopher.example.org"), 70));
    bool done = false;
    doc->OnData(lines + ".\r\n", done);
    return doc;
}

void tst_Accessibility::textByBoundary_data()
{
    QTest::addColumn<QAccessible::TextBoundaryType>("boundary");
    QTest::addColumn<QString>("which");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");

    // "Gopher is plain text.\n\nIt lives on, here." (41 characters)
    const auto line = QAccessible::LineBoundary;
    const auto word = QAccessible::WordBoundary;
    const auto character = QAccessible::CharBoundary;
    QTest::addRow("the first line and its line end") << line << "at" << 3 << "Gopher is plain text.\n" << 0 << 22;
    QTest::addRow("an empty line") << line << "at" << 22 << "\n" << 22 << 23;
    QTest::addRow("the line after the first") << line << "after" << 0 << "\n" << 22 << 23;
    QTest::addRow("the line before the last") << line << "before" << 30 << "\n" << 22 << 23;
    QTest::addRow("the last line at the end") << line << "at" << 41 << "It lives on, here." << 23 << 41;
    QTest::addRow("nothing after the last line") << line << "after" << 30 << "" << -1 << -1;
    QTest::addRow("nothing before the first line") << line << "before" << 5 << "" << -1 << -1;
    QTest::addRow("a word") << word << "at" << 11 << "plain" << 10 << 15;
    QTest::addRow("a word at its start") << word << "at" << 7 << "is" << 7 << 9;
    QTest::addRow("the word after the blank") << word << "after" << 9 << "plain" << 10 << 15;
    QTest::addRow("a word on the next line") << word << "at" << 26 << "lives" << 26 << 31;
    QTest::addRow("a character") << character << "at" << 1 << "o" << 1 << 2;
    QTest::addRow("no character at the end") << character << "at" << 41 << "" << 41 << 41;
}

void tst_Accessibility::textByBoundary()
{
    QFETCH(QAccessible::TextBoundaryType, boundary);
    QFETCH(QString, which);
    QFETCH(int, offset);
    QFETCH(int, start);
    QFETCH(int, end);

    makeTextView("Gopher is plain text.\r\n\r\nIt lives on, here.\r\n");
    QAccessibleTextInterface *iface = textOf(m_view.get());
    QVERIFY(iface);
    QCOMPARE(iface->characterCount(), 41);
    int from = -2;
    int to = -2;
    const QString got = which == QLatin1String("at")       ? iface->textAtOffset(offset, boundary, &from, &to)
                        : which == QLatin1String("before") ? iface->textBeforeOffset(offset, boundary, &from, &to)
                                                           : iface->textAfterOffset(offset, boundary, &from, &to);
    QTEST(got, "text");
    QCOMPARE(from, start);
    QCOMPARE(to, end);
}

void tst_Accessibility::textWindowCaretAndMark()
{
    makeTextView("Gopher is plain text.\r\n\r\nIt lives on, here.\r\n");
    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(m_view.get());
    QCOMPARE(window->role(), QAccessible::EditableText);
    QVERIFY(window->state().readOnly && window->state().multiLine && window->state().focusable);
    QCOMPARE(window->text(QAccessible::Name), QStringLiteral("About this server"));
    QAccessibleTextInterface *iface = window->textInterface();
    QVERIFY(iface);
    QCOMPARE(iface->cursorPosition(), 0);
    QCOMPARE(iface->selectionCount(), 0);

    // The keys move the caret: a line down, a word on.
    QTest::keyClick(m_view.get(), Qt::Key_Down);
    QTest::keyClick(m_view.get(), Qt::Key_Down);
    QTest::keyClick(m_view.get(), Qt::Key_Right, Qt::ControlModifier);
    QCOMPARE(iface->cursorPosition(), 26);
    QCOMPARE(m_doc->lastStatus(), QByteArray("3:4, 66.6%"));

    // Shift marks from the caret: the mark is the selection and what Copy copies.
    QTest::keyClick(m_view.get(), Qt::Key_End, Qt::ShiftModifier);
    QCOMPARE(iface->selectionCount(), 1);
    QCOMPARE(selectionOf(iface), std::pair(26, 41));
    QCOMPARE(m_doc->lastStatus(), QByteArray("Marked 3:4 --> 3:19"));
    m_doc->OnEditCopy();
    QCOMPARE(m_ui->clipboard, QByteArray("lives on, here.\n"));

    // A reader sets the selection and the caret itself.
    iface->setSelection(0, 10, 15);
    QCOMPARE(m_doc->markMode(), int(CGopherTextDoc::Marked));
    QCOMPARE(m_doc->markStartColumn(), 10);
    QCOMPARE(m_doc->markEndColumn(), 15);
    m_doc->OnEditCopy();
    QCOMPARE(m_ui->clipboard, QByteArray("plain\n"));
    iface->removeSelection(0);
    QCOMPARE(iface->selectionCount(), 0);
    QCOMPARE(m_doc->markMode(), int(CGopherTextDoc::NoMark));
    iface->setCursorPosition(23);
    QCOMPARE(m_view->caret(), (TextPosition{0, 2}));
}

void tst_Accessibility::readerFollowsArrivingLinesAndFind()
{
    // The events a reader hears are in tst_atspi; here the answers when it asks again.
    makeTextView({}, false);
    QAccessibleTextInterface *iface = textOf(m_view.get());
    bool done = false;
    m_doc->OnData("first line\r\nsecond", done);
    QCOMPARE(iface->text(0, iface->characterCount()), QStringLiteral("first line"));
    m_doc->OnData(" line\r\nthird line with a needle\r\n", done);
    QCOMPARE(iface->text(0, iface->characterCount()),
             QStringLiteral("first line\nsecond line\nthird line with a needle"));

    // Find moves the caret to the line it found, and marks the match.
    m_doc->FindText("needle", true, false, false);
    QCOMPARE(iface->cursorPosition(), 41);
    QCOMPARE(iface->selectionCount(), 1);
    QCOMPARE(selectionOf(iface), std::pair(41, 47));
    int start = -1;
    int end = -1;
    QCOMPARE(iface->textAtOffset(iface->cursorPosition(), QAccessible::LineBoundary, &start, &end),
             QStringLiteral("third line with a needle"));

    // A reload empties the text.
    m_doc->DeleteContents();
    QCOMPARE(iface->characterCount(), 0);
    QCOMPARE(iface->cursorPosition(), 0);
    QCOMPARE(iface->selectionCount(), 0);
}

void tst_Accessibility::fullTextQueriesReadTheirLines()
{
    QByteArray text;
    for (int i = 1; i <= 32766; ++i)
        text += "line " + QByteArray::number(i) + " of the ledger\r\n";
    makeTextView(text);
    QAccessibleTextInterface *iface = textOf(m_view.get());
    const int count = iface->characterCount();
    QVERIFY(count > 600000);

    // Walking the end line by line and word by word decodes only the lines touched.
    const qint64 before = m_view->offsets().linesRead();
    int start = 0;
    int end = 0;
    int offset = count - 1;
    for (int step = 0; step < 100; ++step) {
        const QString line = iface->textBeforeOffset(offset, QAccessible::LineBoundary, &start, &end);
        QVERIFY(line.startsWith(QStringLiteral("line ")));
        (void)iface->textAtOffset(start + 6, QAccessible::WordBoundary, &start, &end);
        (void)iface->textAfterOffset(start, QAccessible::CharBoundary, &start, &end);
        iface->setCursorPosition(start);
        (void)iface->cursorPosition();
        offset = start - 6;
    }
    const qint64 read = m_view->offsets().linesRead() - before;
    QVERIFY2(read < 100 * 16, QByteArray::number(read).constData());
    QCOMPARE(iface->textAtOffset(count, QAccessible::LineBoundary, &start, &end),
             QStringLiteral("line 32766 of the ledger"));
}

void tst_Accessibility::menuRowsReadAsPage()
{
    const auto doc = makeMenu(menuLine('i', "+------+") + menuLine('i', "|~~~~~~|") + menuLine('i', "+------+")
                                  + menuLine('i', "") + menuLine('i', "Welcome to the") + menuLine('i', "tarn.")
                                  + menuLine('0', "About this server"),
                              true);
    CGopherDirView view(doc.get(), m_app.get(), nullptr, nullptr);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(&view);
    QCOMPARE(list->role(), QAccessible::List);
    QCOMPARE(list->text(QAccessible::Name), QStringLiteral("Items"));
    QStringList rows;
    for (int i = 0; i < list->childCount(); ++i) {
        QAccessibleInterface *cell = list->child(i);
        if (cell && cell->role() == QAccessible::ListItem)
            rows.append(cell->text(QAccessible::Name));
    }
    QCOMPARE(rows, (QStringList{QStringLiteral("Picture, 3 lines"), QStringLiteral("|~~~~~~|"),
                                QStringLiteral("+------+"), QString(), QStringLiteral("Welcome to the tarn."),
                                QStringLiteral("tarn."), QStringLiteral("Text: About this server")}));

    // Ctrl+Down and Ctrl+Up go block by block past the picture; Down row by row into it.
    view.selectRow(0);
    const std::pair<Qt::Key, Qt::KeyboardModifiers> keys[] = {
        {Qt::Key_Down, Qt::ControlModifier}, {Qt::Key_Down, Qt::ControlModifier}, {Qt::Key_Up, Qt::ControlModifier},
        {Qt::Key_Up, Qt::ControlModifier}, {Qt::Key_Down, Qt::NoModifier}};
    QList<int> selected;
    for (const auto &[key, modifiers] : keys) {
        QTest::keyClick(&view, key, modifiers);
        selected.append(view.selectedRow());
    }
    QCOMPARE(selected, (QList<int>{4, 6, 4, 0, 1}));
}

void tst_Accessibility::mainWindowControlsHaveNames()
{
    const std::unique_ptr<TestServer> server = TestServer::pygopherd(QStringLiteral(TWK_SOURCE_DIR "/share/gopherspace"));
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    GuiProgram program;
    program.app().setSettingsPath(m_dir.filePath(QStringLiteral("frame.ini")));
    program.app().registerDefaultTemplates();
    CMainFrame frame(program);
    frame.resize(900, 700);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    for (const QString &path : {QString(), QStringLiteral("0/about.txt")}) {
        CBookmark item;
        item.ParseURL(server->url(path).toUtf8());
        CTarnwickDoc *doc = program.app().OpenItem(item, 0, 0);
        QVERIFY(doc);
        QSignalSpy ended(doc, &CTarnwickDoc::transferEnded);
        QVERIFY(ended.wait(10000));
    }
    QCOMPARE(frame.mdiArea()->subWindowList().size(), 2);
    const QStringList unnamed = unnamedControls(&frame);
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
}

void tst_Accessibility::dialogControlsHaveNames_data()
{
    QTest::addColumn<QString>("name"); // the window's own, where it has one to check
    QTest::addColumn<Factory>("make");
#define NAMED(row, name, ...)                                                                                    \
    QTest::addRow(row) << QStringLiteral(name)                                                                 \
                       << Factory([]([[maybe_unused]] CMainFrame &f, [[maybe_unused]] CTarnwickApp &a) \
                                      -> QWidget * { return __VA_ARGS__; })
#define ROW(row, ...) NAMED(row, "", __VA_ARGS__)
    NAMED("navigator, without a numbered column", "Navigator", viewOf<CGTreeView, CGopherDir>(a, nullptr, nullptr));
    NAMED("bookmarks, without a numbered column", "Bookmarks", new CBMView(nullptr, nullptr, nullptr));
    ROW("preferences sheet, every page", f.makePreferenceSheet().release());
    ROW("Home Gopher Server(s)", new HomeGopherDialog(a.profile(), &f.userInterface()));
    ROW("Home View", new CHomeViewPage(a.homeGophers(), &f.userInterface()));
    ROW("Find", new FindDialog);
    ROW("About", new AboutDialog);
    ROW("WinSock Information", new WinSockInfoDialog(f.engine().winSockInfo()));
    ROW("Delete Files", new DownloadedFilesDialog(a.downloadedFiles()));
    ROW("New Gopher Item", new CItemForm(f.userInterface(), std::nullopt));
    ROW("Fetch a Stored Bookmark", new CFetchBookmarkDialog(f.bookmarkStore()));
    ROW("Bookmark Categories",
        new CCategoriesDialog(f.bookmarkStore(), f.userInterface(), CBookmarkStore::ManageCategories));
    ROW("Bookmark Editor", new CBookmarkEditor(f.bookmarkStore(), f.userInterface(), "Default",
                                               [](const CBookmark &) {}, [] { return 0; }));
    ROW("Rank Extended Views", new CRankViewsDialog(a.extendedViews()));
    ROW("Extended Views", new CExtViewsDialog(a.extendedViews(), "text/plain", '0'));
    ROW("Select Extended View",
        new CSelectViewDialog({ViewChoice{"text/plain", "text/plain", "", "", "2k", 1},
                               ViewChoice{"text/plain De_DE", "text/plain", "De_DE", "German", "3k", -1}},
                              0, [](int) { return true; }));
    ROW("Info on Gopher Item", new CItemInfoWindow);
    ROW("Printed Page Setup", new PageSetupDialog(a.settings().printerSetup()));
    ROW("Print Setup", [] { static QPrinter printer; return new PrintSetupDialog(printer); }());
    ROW("help window", new HelpWindow);
    ROW("ask form with every kind of question", [&a] {
        CBookmark item('0', "Form", "/form", "127.0.0.1", 70);
        item.SetGopherPlus(true);
        item.SetAskForm(true);
        item.attributeText = "Extended information: <none>\r\n";
        item.askLines = {"Note: Tell us", "Ask: Name\tJo", "AskP: Password\tsecret", "AskL: Lines",
                         "Select: Tea:\t1", "Choose: Colour\tred\tgreen", "ChooseF: Upload"};
        auto *doc = new CAskText(a.context());
        (void)doc->Fetch(item);
        auto *view = new CAskView(doc, nullptr);
        doc->setParent(view);
        return view;
    }());
    ROW("index search", viewOf<CSearchView, CSearchText>(a));
    ROW("phone book", viewOf<CPhoneView, CPhoneText>(a, nullptr));
    ROW("download", viewOf<CXferView, CGopherXferDoc>(a, false));
    ROW("picture window", viewOf<CPictureWindow, CGopherXferDoc>(a));
    ROW("telnet session", viewOf<CTelnetView, CTelnetText>(a));
#undef ROW
#undef NAMED
}

void tst_Accessibility::dialogControlsHaveNames()
{
    QFETCH(QString, name);
    QFETCH(Factory, make);
    GuiProgram program;
    program.app().setSettingsPath(m_dir.filePath(QStringLiteral("dialogs.ini")));
    // The shipped tables and the manual of the build tree.
    ProgramFiles files;
    files.configDirectory = m_dir.path();
    files.programDirectory = QCoreApplication::applicationDirPath() + QStringLiteral("/..");
    program.app().setProgramFiles(files);
    program.app().registerDefaultTemplates();
    program.app().engine().setOffline(true);
    CMainFrame frame(program);
    const std::unique_ptr<QWidget> window(make(frame, program.app()));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    if (!name.isEmpty())
        QCOMPARE(QAccessible::queryAccessibleInterface(window.get())->text(QAccessible::Name), name);
    QStringList unnamed = unnamedControls(window.get());
    // Each page of a sheet, as the reader sees it once its tab is chosen.
    for (QTabWidget *tabs : window->findChildren<QTabWidget *>()) {
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            for (const QString &control : unnamedControls(window.get()))
                unnamed.append(tabs->tabText(i) + QStringLiteral(": ") + control);
        }
    }
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
}

void tst_Accessibility::everyCommandHasAKey()
{
    // Fetch is Return in its window; Viewers is a page of the preferences sheet.
    // A key of two commands runs neither: Qt drops it as ambiguous.
    QHash<QKeySequence, const char *> owners;
    for (const Command &c : CMainFrame::commands()) {
        if (c.id != CMainFrame::ID_FETCH && c.id != CMainFrame::ID_VIEWERS)
            QVERIFY2(c.menu != CommandMenu::None || !c.keys().isEmpty(), c.text);
        for (const QKeySequence &key : c.keys()) {
            const char *other = owners.value(key, nullptr);
            QVERIFY2(!other, qPrintable(key.toString() + QStringLiteral(": ") + QString::fromUtf8(other)
                                        + QStringLiteral(" and ") + QString::fromUtf8(c.text)));
            owners.insert(key, c.text ? c.text : "?");
        }
    }
}

void tst_Accessibility::focusShowsOnEveryPane()
{
    const auto doc = makeMenu(menuLine('0', "About") + menuLine('1', "Sub"));
    makeTextView("Some text.\r\n");
    QWidget window;
    auto *layout = new QHBoxLayout(&window);
    const QList<QAbstractScrollArea *> panes{new CGopherDirView(doc.get(), m_app.get(), nullptr, nullptr, &window),
                                             new CGTreeView(doc.get(), nullptr, nullptr, &window),
                                             new CGopherTextView(m_doc.get(), m_fonts.get(), &window)};
    for (QAbstractScrollArea *pane : panes)
        layout->addWidget(pane);
    window.resize(700, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();

    // The pane with the keyboard, and only it, is framed in the highlight colour.
    const QColor highlight = window.palette().color(QPalette::Active, QPalette::Highlight);
    for (QAbstractScrollArea *pane : panes) {
        pane->setFocus();
        QTRY_VERIFY(pane->hasFocus());
        for (QAbstractScrollArea *other : panes) {
            QWidget *viewport = other->viewport();
            const QColor edge = viewport->grab().toImage().pixelColor(QPoint(0, viewport->height() / 2));
            QCOMPARE(edge == highlight, other == pane);
        }
    }
}

void tst_Accessibility::drawnPicturesFollowPalette()
{
    // The drawn pictures, as on a desktop without an icon theme.
    const QString theme = QIcon::themeName();
    const QString fallback = QIcon::fallbackThemeName();
    QIcon::setThemeName(QStringLiteral("tarnwick-no-theme"));
    QIcon::setFallbackThemeName(QStringLiteral("tarnwick-no-theme"));
    const auto restore = qScopeGuard([&] {
        QIcon::setThemeName(theme);
        QIcon::setFallbackThemeName(fallback);
    });
    QApplication::setPalette(darkPalette());
    ItemIcons icons;
    const QColor base = darkPalette().color(QPalette::Base);
    for (const char type : ItemIcons::typeChars()) {
        if (type == 'i')
            continue;
        // Every picture shows lines that stand out on the dark base.
        qreal best = 0;
        for (const QRgb c : coloursOf(icons.icon(type).toImage())) {
            if (qAlpha(c) == 255)
                best = qMax(best, contrast(QColor::fromRgba(c), base));
        }
        QVERIFY2(best >= 7.0, QByteArray(1, type).constData());
    }
    // The Home View layouts are drawn in the palette's text colour.
    CHomeViewPage page(m_app->homeGophers(), m_ui.get());
    auto *picture = page.findChild<QToolButton *>(QStringLiteral("LAYOUT1"));
    QVERIFY(picture);
    const QSet<QRgb> layout = coloursOf(picture->icon().pixmap(QSize(60, 42)).toImage());
    QVERIFY(layout.contains(darkPalette().color(QPalette::Text).rgba()));
    QVERIFY(!layout.contains(QColor(Qt::white).rgba()));
    // Drawn again in the palette of the moment once forgotten.
    const QImage dark = icons.icon('9').toImage();
    QApplication::setPalette(QPalette());
    icons.clear();
    QVERIFY(icons.icon('9').toImage() != dark);
}

void tst_Accessibility::darkPaletteTakesDarkIcons()
{
    QVERIFY(!CommandIcons::isDark(QPalette(Qt::white)));
    QVERIFY(CommandIcons::isDark(darkPalette()));
    QApplication::setPalette(darkPalette());
    CommandIcons::useFallbackTheme();
    QCOMPARE(QIcon::fallbackThemeName(), QLatin1String(CommandIcons::DarkFallbackTheme));
    QApplication::setPalette(QPalette());
    CommandIcons::useFallbackTheme();
    QCOMPARE(QIcon::fallbackThemeName(), QLatin1String(CommandIcons::FallbackTheme));
}

QTEST_MAIN(tst_Accessibility)
#include "tst_accessibility.moc"
