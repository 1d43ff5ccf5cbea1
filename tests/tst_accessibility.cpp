// What assistive technology finds in the windows, asked the way a screen
// reader asks through Qt's accessibility interfaces: the text of a text
// window, its caret and mark, the rows of a menu, the names of every control;
// and that the keyboard reaches every command, the focus shows and the
// colours follow the palette.

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
    switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::SpinBox:
    case QAccessible::Slider:
    case QAccessible::List:
    case QAccessible::Tree:
    case QAccessible::Table:
    case QAccessible::PageTab:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
    case QAccessible::ToolBar:
        return true;
    default:
        return false;
    }
}

// The controls under root that have no name, and column headers that only
// number their column, each described by its role and its widget's class.
QStringList unnamedControls(QWidget *root)
{
    QStringList found;
    std::function<void(QAccessibleInterface *, int)> walk = [&](QAccessibleInterface *iface,
                                                                 int depth) {
        if (!iface || depth > 40 || iface->state().invisible)
            return;
        const QAccessible::Role role = iface->role();
        const QString name = iface->text(QAccessible::Name).trimmed();
        const QString what = QString::number(int(role), 16) + QLatin1Char(' ')
                             + QString::fromLatin1(iface->object() ? iface->object()->metaObject()->className()
                                                                   : "?")
                             + (iface->object() ? QLatin1Char(' ') + iface->object()->objectName()
                                                : QString());
        if (isControl(role) && name.isEmpty())
            found.append(what);
        bool number = false;
        name.toInt(&number);
        if (role == QAccessible::ColumnHeader && (name.isEmpty() || number))
            found.append(what + QStringLiteral(" header \"") + name + QLatin1Char('"'));
        // The cells of lists and trees are named by their data; a combo box
        // is read by its own name, its popup list is its part.
        if (role == QAccessible::ComboBox)
            return;
        const bool itemView = role == QAccessible::List || role == QAccessible::Tree
                              || role == QAccessible::Table;
        for (int i = 0; i < iface->childCount(); ++i) {
            QAccessibleInterface *child = iface->child(i);
            if (itemView && child && child->role() != QAccessible::ColumnHeader)
                continue;
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

QColor pixelAt(QWidget *widget, QPoint at)
{
    return widget->grab().toImage().pixelColor(at);
}

QPalette darkPalette()
{
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x20, 0x22, 0x24));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Base, QColor(0x12, 0x12, 0x14));
    dark.setColor(QPalette::AlternateBase, QColor(0x28, 0x28, 0x2c));
    dark.setColor(QPalette::Text, QColor(0xf0, 0xf0, 0xf0));
    dark.setColor(QPalette::Button, QColor(0x30, 0x32, 0x36));
    dark.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
    dark.setColor(QPalette::HighlightedText, QColor(0x00, 0x00, 0x00));
    dark.setColor(QPalette::Link, QColor(0x8a, 0xb4, 0xf8));
    return dark;
}

// WCAG's contrast ratio of two colours.
qreal contrast(const QColor &a, const QColor &b)
{
    const auto luminance = [](const QColor &c) {
        const auto channel = [](qreal v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const qreal la = luminance(a);
    const qreal lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
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

    void textWindowIsText();
    void textByBoundary_data();
    void textByBoundary();
    void caretAndMarkAsSelection();
    void readerFollowsArrivingLinesAndFind();
    void fullTextQueriesReadTheirLines();

    void menuRowsReadAsPage();
    void blockKeysSkipThePicture();
    void treesAreNamedWithoutNumberedColumn();
    void mainWindowControlsHaveNames();
    void dialogControlsHaveNames_data();
    void dialogControlsHaveNames();
    void everyCommandHasAKey();
    void focusShowsOnEveryPane();

    void drawnPicturesFollowPalette();
    void homeViewPicturesFollowPalette();
    void darkPaletteTakesDarkIcons();

private:
    void makeTextView(const QByteArray &text, bool finish = true);

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

// ---- Text windows ----

void tst_Accessibility::textWindowIsText()
{
    makeTextView("Gopher is plain text.\r\n");
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(m_view.get());
    QVERIFY(iface);
    QCOMPARE(iface->role(), QAccessible::EditableText);
    QVERIFY(iface->state().readOnly);
    QVERIFY(iface->state().multiLine);
    QVERIFY(iface->state().focusable);
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("About this server"));
    QVERIFY(iface->textInterface());
    QCOMPARE(iface->textInterface()->text(0, 100), QStringLiteral("Gopher is plain text."));
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
    QTest::addRow("the first line and its line end")
        << line << "at" << 3 << "Gopher is plain text.\n" << 0 << 22;
    QTest::addRow("an empty line") << line << "at" << 22 << "\n" << 22 << 23;
    QTest::addRow("the line after the first") << line << "after" << 0 << "\n" << 22 << 23;
    QTest::addRow("the line before the last") << line << "before" << 30 << "\n" << 22 << 23;
    QTest::addRow("the last line at the end of the text")
        << line << "at" << 41 << "It lives on, here." << 23 << 41;
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
    QFETCH(QString, text);
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
    QCOMPARE(got, text);
    QCOMPARE(from, start);
    QCOMPARE(to, end);
}

void tst_Accessibility::caretAndMarkAsSelection()
{
    makeTextView("Gopher is plain text.\r\n\r\nIt lives on, here.\r\n");
    QAccessibleTextInterface *iface = textOf(m_view.get());
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
    int start = -1;
    int end = -1;
    iface->selection(0, &start, &end);
    QCOMPARE(start, 26);
    QCOMPARE(end, 41);
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
    // What a reader is told as it happens is heard over AT-SPI (tst_atspi);
    // here the answers it gets when it asks again.
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
    int start = -1;
    int end = -1;
    iface->selection(0, &start, &end);
    QCOMPARE(start, 41);
    QCOMPARE(end, 47);
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

    // A reader walks the end of the text line by line and word by word: each
    // answer decodes the lines it touches, not the 32,766 of the text.
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

// ---- Menus ----

void tst_Accessibility::menuRowsReadAsPage()
{
    CGopherDir doc(m_app->context());
    doc.setAuthored(true);
    (void)doc.Fetch(CBookmark('1', "Page", QByteArray(), QByteArray("gopher.example.org"), 70));
    bool done = false;
    doc.OnData(menuLine('i', "+------+") + menuLine('i', "|~~~~~~|") + menuLine('i', "+------+")
                   + menuLine('i', "") + menuLine('i', "Welcome to the") + menuLine('i', "tarn.")
                   + menuLine('0', "About this server") + ".\r\n",
               done);
    CGopherDirView view(&doc, m_app.get(), nullptr, nullptr);
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
                                QStringLiteral("+------+"), QString(),
                                QStringLiteral("Welcome to the tarn."), QStringLiteral("tarn."),
                                QStringLiteral("Text: About this server")}));
}

void tst_Accessibility::blockKeysSkipThePicture()
{
    CGopherDir doc(m_app->context());
    doc.setAuthored(true);
    (void)doc.Fetch(CBookmark('1', "Page", QByteArray(), QByteArray("gopher.example.org"), 70));
    bool done = false;
    doc.OnData(menuLine('i', "~~~~~~~~~~") + menuLine('i', "~~ ~~ ~~ ~~") + menuLine('i', "")
                   + menuLine('i', "Text.") + menuLine('0', "About") + menuLine('1', "More") + ".\r\n",
               done);
    CGopherDirView view(&doc, m_app.get(), nullptr, nullptr);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    view.selectRow(0);
    QTest::keyClick(&view, Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(view.selectedRow(), 3);
    QTest::keyClick(&view, Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(view.selectedRow(), 4);
    QTest::keyClick(&view, Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(view.selectedRow(), 3);
    QTest::keyClick(&view, Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(view.selectedRow(), 0);
    // Down still goes row by row, into the picture.
    QTest::keyClick(&view, Qt::Key_Down);
    QCOMPARE(view.selectedRow(), 1);
}

void tst_Accessibility::treesAreNamedWithoutNumberedColumn()
{
    CGopherDir doc(m_app->context());
    (void)doc.Fetch(CBookmark('1', "Home", QByteArray(), QByteArray("gopher.example.org"), 70));
    bool done = false;
    doc.OnData(menuLine('1', "Sub") + ".\r\n", done);
    CGTreeView navigator(&doc, nullptr, nullptr);
    CBMView bookmarks(nullptr, nullptr, nullptr);
    for (QWidget *tree : {static_cast<QWidget *>(&navigator), static_cast<QWidget *>(&bookmarks)}) {
        tree->show();
        QVERIFY(QTest::qWaitForWindowExposed(tree));
        QVERIFY2(unnamedControls(tree).isEmpty(), qPrintable(unnamedControls(tree).join(u',')));
    }
    QCOMPARE(QAccessible::queryAccessibleInterface(&navigator)->text(QAccessible::Name),
             QStringLiteral("Navigator"));
    QCOMPARE(QAccessible::queryAccessibleInterface(&bookmarks)->text(QAccessible::Name),
             QStringLiteral("Bookmarks"));
}

void tst_Accessibility::mainWindowControlsHaveNames()
{
    const std::unique_ptr<TestServer> server =
        TestServer::pygopherd(QStringLiteral(TWK_SOURCE_DIR "/share/gopherspace"));
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
    QTest::addColumn<Factory>("make");

    QTest::addRow("preferences sheet, every page") << Factory([](CMainFrame &f, CTarnwickApp &) -> QWidget * {
        return f.makePreferenceSheet().release();
    });
    QTest::addRow("Home Gopher Server(s)") << Factory([](CMainFrame &f, CTarnwickApp &a) -> QWidget * {
        return new HomeGopherDialog(a.profile(), &f.userInterface());
    });
    QTest::addRow("Home View") << Factory([](CMainFrame &f, CTarnwickApp &a) -> QWidget * {
        return new CHomeViewPage(a.homeGophers(), &f.userInterface());
    });
    QTest::addRow("Find") << Factory([](CMainFrame &, CTarnwickApp &) -> QWidget * { return new FindDialog; });
    QTest::addRow("About") << Factory([](CMainFrame &, CTarnwickApp &) -> QWidget * { return new AboutDialog; });
    QTest::addRow("WinSock Information") << Factory([](CMainFrame &f, CTarnwickApp &) -> QWidget * {
        return new WinSockInfoDialog(f.engine().winSockInfo());
    });
    QTest::addRow("Delete Files") << Factory([](CMainFrame &, CTarnwickApp &a) -> QWidget * {
        return new DownloadedFilesDialog(a.downloadedFiles());
    });
    QTest::addRow("New Gopher Item") << Factory([](CMainFrame &f, CTarnwickApp &) -> QWidget * {
        return new CItemForm(f.userInterface(), std::nullopt);
    });
    QTest::addRow("Fetch a Stored Bookmark") << Factory([](CMainFrame &f, CTarnwickApp &) -> QWidget * {
        return new CFetchBookmarkDialog(f.bookmarkStore());
    });
    QTest::addRow("Bookmark Categories") << Factory([](CMainFrame &f, CTarnwickApp &) -> QWidget * {
        return new CCategoriesDialog(f.bookmarkStore(), f.userInterface(), CBookmarkStore::ManageCategories);
    });
    QTest::addRow("Bookmark Editor") << Factory([](CMainFrame &f, CTarnwickApp &) -> QWidget * {
        return new CBookmarkEditor(f.bookmarkStore(), f.userInterface(), "Default",
                                   [](const CBookmark &) {}, [] { return 0; });
    });
    QTest::addRow("Rank Extended Views") << Factory([](CMainFrame &, CTarnwickApp &a) -> QWidget * {
        return new CRankViewsDialog(a.extendedViews());
    });
    QTest::addRow("Extended Views") << Factory([](CMainFrame &, CTarnwickApp &a) -> QWidget * {
        return new CExtViewsDialog(a.extendedViews(), "text/plain", '0');
    });
    QTest::addRow("Select Extended View") << Factory([](CMainFrame &, CTarnwickApp &) -> QWidget * {
        ViewChoice plain{"text/plain", "text/plain", "", "", "2k", 1};
        ViewChoice german{"text/plain De_DE", "text/plain", "De_DE", "German", "3k", -1};
        return new CSelectViewDialog({plain, german}, 0, [](int) { return true; });
    });
    QTest::addRow("Info on Gopher Item") << Factory([](CMainFrame &, CTarnwickApp &) -> QWidget * {
        return new CItemInfoWindow;
    });
    QTest::addRow("Printed Page Setup") << Factory([](CMainFrame &, CTarnwickApp &a) -> QWidget * {
        return new PageSetupDialog(a.settings().printerSetup());
    });
    QTest::addRow("Print Setup") << Factory([](CMainFrame &, CTarnwickApp &) -> QWidget * {
        static QPrinter printer;
        return new PrintSetupDialog(printer);
    });
    QTest::addRow("help window") << Factory([](CMainFrame &, CTarnwickApp &) -> QWidget * {
        return new HelpWindow;
    });
    QTest::addRow("ask form with every kind of question") << Factory([](CMainFrame &, CTarnwickApp &a) -> QWidget * {
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
    });
    QTest::addRow("index search") << Factory([](CMainFrame &, CTarnwickApp &a) -> QWidget * {
        auto *doc = new CSearchText(a.context());
        auto *view = new CSearchView(doc);
        doc->setParent(view);
        return view;
    });
    QTest::addRow("phone book") << Factory([](CMainFrame &, CTarnwickApp &a) -> QWidget * {
        auto *doc = new CPhoneText(a.context());
        auto *view = new CPhoneView(doc, nullptr);
        doc->setParent(view);
        return view;
    });
    QTest::addRow("download") << Factory([](CMainFrame &, CTarnwickApp &a) -> QWidget * {
        auto *doc = new CGopherXferDoc(a.context());
        auto *view = new CXferView(doc, false);
        doc->setParent(view);
        return view;
    });
    QTest::addRow("picture window") << Factory([](CMainFrame &, CTarnwickApp &a) -> QWidget * {
        auto *doc = new CGopherXferDoc(a.context());
        auto *window = new CPictureWindow(doc);
        doc->setParent(window);
        return window;
    });
    QTest::addRow("telnet session") << Factory([](CMainFrame &, CTarnwickApp &a) -> QWidget * {
        auto *doc = new CTelnetText(a.context());
        auto *view = new CTelnetView(doc);
        doc->setParent(view);
        return view;
    });
}

void tst_Accessibility::dialogControlsHaveNames()
{
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
    // Fetch is Return in the window it acts on; Viewers is a page of the
    // preferences sheet.
    for (const Command &c : CMainFrame::commands()) {
        if (c.id == CMainFrame::ID_FETCH || c.id == CMainFrame::ID_VIEWERS)
            continue;
        const bool inMenu = c.menu != CommandMenu::None;
        QVERIFY2(inMenu || !c.keys().isEmpty(), c.text);
    }
    // A key that belongs to two commands runs neither: Qt reports it as
    // ambiguous and drops it.
    QHash<QKeySequence, const char *> owners;
    for (const Command &c : CMainFrame::commands()) {
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
    CGopherDir doc(m_app->context());
    (void)doc.Fetch(CBookmark('1', "Home", QByteArray(), QByteArray("gopher.example.org"), 70));
    bool done = false;
    doc.OnData(menuLine('0', "About") + menuLine('1', "Sub") + ".\r\n", done);
    makeTextView("Some text.\r\n");
    QWidget window;
    auto *list = new CGopherDirView(&doc, m_app.get(), nullptr, nullptr, &window);
    auto *navigator = new CGTreeView(&doc, nullptr, nullptr, &window);
    auto *text = new CGopherTextView(m_doc.get(), m_fonts.get(), &window);
    auto *layout = new QHBoxLayout(&window);
    layout->addWidget(list);
    layout->addWidget(navigator);
    layout->addWidget(text);
    window.resize(700, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();

    // The pane with the keyboard, and only that one, is framed in the
    // highlight colour, whatever it shows as selected.
    const QColor highlight = window.palette().color(QPalette::Active, QPalette::Highlight);
    const QList<QAbstractScrollArea *> panes{list, navigator, text};
    for (QAbstractScrollArea *pane : panes) {
        pane->setFocus();
        QTRY_VERIFY(pane->hasFocus());
        for (QAbstractScrollArea *other : panes) {
            QWidget *viewport = other->viewport();
            const QColor edge = pixelAt(viewport, QPoint(0, viewport->height() / 2));
            QCOMPARE(edge == highlight, other == pane);
        }
    }
}

// ---- Colours ----

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
        const QImage image = icons.icon(type).toImage();
        qreal best = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.alpha() == 255)
                    best = qMax(best, contrast(c, base));
            }
        }
        QVERIFY2(best >= 7.0, QByteArray(1, type).constData());
    }
    // Drawn again in the palette of the moment once forgotten.
    const QImage dark = icons.icon('9').toImage();
    QApplication::setPalette(QPalette());
    icons.clear();
    QVERIFY(icons.icon('9').toImage() != dark);
}

void tst_Accessibility::homeViewPicturesFollowPalette()
{
    QApplication::setPalette(darkPalette());
    CHomeViewPage page(m_app->homeGophers(), m_ui.get());
    auto *picture = page.findChild<QToolButton *>(QStringLiteral("LAYOUT1"));
    QVERIFY(picture);
    const QImage image = picture->icon().pixmap(QSize(60, 42)).toImage();
    const QColor text = darkPalette().color(QPalette::Text);
    bool hasText = false;
    bool hasWhite = false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            hasText |= image.pixelColor(x, y) == text;
            hasWhite |= image.pixelColor(x, y) == QColor(Qt::white);
        }
    }
    QVERIFY(hasText);
    QVERIFY(!hasWhite);
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
