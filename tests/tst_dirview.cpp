#include "ui/views/gopherdirview.h"

#include "settings/profilefile.h"
#include "app/tarnwickapp.h"
#include "documents/gopherdir.h"
#include "documents/userinterface.h"
#include "net/transactionengine.h"
#include "ui/fontmanager.h"
#include "ui/gophermdichild.h"
#include "ui/views/gtreeview.h"
#include "ui/itemicons.h"

#include <QAccessible>
#include <QIcon>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QByteArray menuLine(char type, const QByteArray &title, const QByteArray &selector = {},
                    const QByteArray &host = QByteArray("gopher.example.org"), int port = 70)
{
    return type + title + '\t' + selector + '\t' + host + '\t' + QByteArray::number(port) + "\r\n";
}

// A directory document without a network: replies are fed by hand.
struct DirFixture
{
    explicit DirFixture(const QByteArray &title = QByteArray("Home Gopher"))
    {
        // The test feeds the replies itself: no request goes anywhere.
        app.engine().setOffline(true);
        (void)doc.Fetch(CBookmark('1', title, QByteArray(), QByteArray("gopher.example.org"), 70));
    }
    void feed(const QByteArray &bytes)
    {
        bool done = false;
        doc.OnData(bytes, done);
    }

    RecordingUserInterface ui;
    CTarnwickApp app{ui};
    CGopherDir doc{app.context()};
};

QByteArray numberedMenu(int count)
{
    QByteArray menu;
    for (int i = 0; i < count; ++i)
        menu += menuLine('0', QByteArray("Item ") + QByteArray::number(i),
                         QByteArray("/item") + QByteArray::number(i));
    return menu;
}

// Clicks and scrolling need the widget's geometry.
bool showOnScreen(QWidget &widget, QSize size = QSize(300, 300))
{
    widget.resize(size);
    widget.show();
    return QTest::qWaitForWindowExposed(&widget);
}

QImage imageOf(const QIcon &icon)
{
    return icon.pixmap(QSize(ItemIcons::IconSize, ItemIcons::IconSize)).toImage();
}

QImage imageOf(const QPixmap &pixmap)
{
    return pixmap.toImage();
}

} // namespace

class tst_DirView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void iconKeys_data();
    void iconKeys();
    void everyTypeHasItsOwnPicture();
    void picturesLoadOnFirstUse();
    void failureImages();

    void keysAtBothEnds_data();
    void keysAtBothEnds();
    void pageKeysMoveByVisibleRows();
    void clickSelectionReachesDocument();
    void emptyListReportsInvalidSelection();
    void doubleClickOpensThroughApplication();
    void unknownTypeIsMarkedWhenShown();
    void findHintSelectsAndScrolls();
    void clearHintEmptiesList();
    void accessibleNameIsTypeAndTitle();
    void fontChangeKeepsSelection();
    void encodingChangeRedrawsTitles();
    void rowHeightIsAtLeastSixteen();
    void horizontalExtentFollowsLongestRow();
    void largeMenuLayoutGrowsWithItsLength();

    void navigatorRootIsOwnItem();
    void navigatorRootTextIsCut();
    void navigatorAndTitleFollowTheEncoding();
    void clickFetchesNodeIntoSameDocument();
    void rootButtonCollapsesAndLabelFetches();
    void doubleClickKeepsNodeOpen();
    void emptyDirectoryLosesButton();
    void failureMarks_data();
    void failureMarks();
    void menuEndedByCloseCompletes();
    void clickDuringTransactionDoesNothing();
    void navigatorContextMenu();

private:
    std::unique_ptr<ProfileFile> m_profile;
    QTemporaryDir m_dir;
};

void tst_DirView::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    // The drawn pictures are what a desktop without an icon theme shows.
    QIcon::setThemeSearchPaths({});
    QIcon::setThemeName(QStringLiteral("tarnwick-no-theme"));
}

void tst_DirView::init()
{
    QVERIFY(m_dir.isValid());
    m_profile = std::make_unique<ProfileFile>(m_dir.filePath(QStringLiteral("tarnwick.ini")));
}

// ---- Item icons ----

void tst_DirView::iconKeys_data()
{
    QTest::addColumn<char>("type");
    QTest::addColumn<bool>("askForm");
    QTest::addColumn<char>("key");
    QTest::addColumn<char>("typeAfter");

    QTest::newRow("text") << '0' << false << '0' << '0';
    QTest::newRow("directory") << '1' << false << '1' << '1';
    QTest::newRow("image plus shows the image icon") << ':' << false << 'I' << ':';
    QTest::newRow("gif shows the image icon") << 'g' << false << 'I' << 'g';
    QTest::newRow("sound plus shows the sound icon") << '<' << false << 's' << '<';
    QTest::newRow("ask form wins over its type") << '0' << true << '?' << '0';
    QTest::newRow("ask form on a directory") << '1' << true << '?' << '1';
    QTest::newRow("unknown type becomes bang") << 'x' << false << '!' << '!';
    QTest::newRow("dollar has no icon row") << '$' << false << '!' << '!';
    QTest::newRow("no type at all") << '\0' << false << '!' << '!';
    QTest::newRow("info line") << 'i' << false << 'i' << 'i';
}

void tst_DirView::iconKeys()
{
    QFETCH(char, type);
    QFETCH(bool, askForm);
    QFETCH(char, key);
    QFETCH(char, typeAfter);

    ItemIcons icons;
    CBookmark item;
    item.type = type;
    item.SetAskForm(askForm);
    QCOMPARE(ItemIcons::iconKey(item), key);
    const QPixmap shown = icons.icon(item);
    QCOMPARE(item.type, typeAfter);
    QCOMPARE(shown.cacheKey(), icons.icon(key).cacheKey());
}

void tst_DirView::everyTypeHasItsOwnPicture()
{
    ItemIcons icons;
    QList<QImage> seen;
    for (const char type : ItemIcons::typeChars()) {
        if (type == 'i')
            continue;
        const QPixmap pixmap = icons.icon(type);
        QVERIFY2(!pixmap.isNull(), QByteArray(1, type).constData());
        QCOMPARE(pixmap.deviceIndependentSize().toSize(),
                 QSize(ItemIcons::IconSize, ItemIcons::IconSize));
        const QImage image = pixmap.toImage();
        QVERIFY2(!seen.contains(image), QByteArray(1, type).constData());
        seen.append(image);
    }
    QCOMPARE(seen.size(), ItemIcons::RowCount - 1);
    QCOMPARE(ItemIcons::tableRow('g'), -1);
    QCOMPARE(ItemIcons::tableRow('!'), ItemIcons::RowCount - 1);
    // Info lines are text only.
    QVERIFY(icons.icon('i').isNull());
}

void tst_DirView::picturesLoadOnFirstUse()
{
    ItemIcons icons;
    QVERIFY(!icons.isLoaded('I'));
    CBookmark gif('g', QByteArray("cat"), QByteArray("/cat.gif"), QByteArray("h"), 70);
    (void)icons.icon(gif);
    QVERIFY(icons.isLoaded('I'));
    QVERIFY(!icons.isLoaded('0'));
}

void tst_DirView::failureImages()
{
    ItemIcons icons;
    QList<QImage> seen{imageOf(icons.icon('1'))};
    for (const int image : {5, 6, 7, 8, 11}) {
        const QPixmap pixmap = icons.navigatorImage(image);
        QVERIFY(!pixmap.isNull());
        QVERIFY(!seen.contains(pixmap.toImage()));
        seen.append(pixmap.toImage());
    }
    QVERIFY(icons.navigatorImage(4).isNull());
    QVERIFY(icons.navigatorImage(9).isNull());
}

// ---- Directory list ----

void tst_DirView::keysAtBothEnds_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("expected");

    // 30 rows; -1 stands for the last row.
    QTest::newRow("down on the last row stays") << -1 << int(Qt::Key_Down) << -1;
    QTest::newRow("up on the first row stays") << 0 << int(Qt::Key_Up) << 0;
    QTest::newRow("down moves one row") << 4 << int(Qt::Key_Down) << 5;
    QTest::newRow("up moves one row") << 4 << int(Qt::Key_Up) << 3;
    QTest::newRow("page down near the end gives the last row") << 27 << int(Qt::Key_PageDown) << -1;
    QTest::newRow("page up near the top gives the first row") << 2 << int(Qt::Key_PageUp) << 0;
    QTest::newRow("home") << 17 << int(Qt::Key_Home) << 0;
    QTest::newRow("end") << 3 << int(Qt::Key_End) << -1;
}

void tst_DirView::keysAtBothEnds()
{
    QFETCH(int, start);
    QFETCH(int, key);
    QFETCH(int, expected);

    DirFixture f;
    f.feed(numberedMenu(30) + ".\r\n");
    CGopherDirView view(&f.doc, nullptr, nullptr, nullptr);
    QVERIFY(showOnScreen(view, QSize(300, view.rowHeight() * 6 + 2 * view.frameWidth())));
    const int last = f.doc.listCount() - 1;
    view.selectRow(start < 0 ? last : start);

    QTest::keyClick(&view, Qt::Key(key));
    const int row = expected < 0 ? last : expected;
    QCOMPARE(view.selectedRow(), row);
    QCOMPARE(f.doc.findPosition(), row);
    QCOMPARE(f.doc.GetItem().title, QByteArray("Item ") + QByteArray::number(row));
}

void tst_DirView::pageKeysMoveByVisibleRows()
{
    DirFixture f;
    f.feed(numberedMenu(100) + ".\r\n");
    CGopherDirView view(&f.doc, nullptr, nullptr, nullptr);
    QVERIFY(showOnScreen(view, QSize(300, view.rowHeight() * 7 + view.rowHeight() / 2
                                              + 2 * view.frameWidth())));
    const int page = view.pageSize();
    QVERIFY(page >= 5 && page <= 8);

    view.selectRow(10);
    QTest::keyClick(&view, Qt::Key_PageDown);
    QCOMPARE(view.selectedRow(), 10 + page);
    QTest::keyClick(&view, Qt::Key_PageUp);
    QTest::keyClick(&view, Qt::Key_PageUp);
    QCOMPARE(view.selectedRow(), 10 - page);
    // The selected row is scrolled into view.
    view.selectRow(90);
    QTest::keyClick(&view, Qt::Key_Down);
    QVERIFY(view.viewport()->rect().intersects(view.visualRect(view.model()->index(91, 0))));
}

void tst_DirView::clickSelectionReachesDocument()
{
    DirFixture f;
    f.feed(menuLine('0', "First") + menuLine('7', "Search", "/find") + menuLine('9', "Binary") + ".\r\n");
    CGopherDirView view(&f.doc, nullptr, nullptr, nullptr);
    QVERIFY(showOnScreen(view, QSize(300, 200)));
    QSignalSpy selected(&view, &CGopherDirView::itemSelected);

    const QRect row = view.visualRect(view.model()->index(1, 0));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, row.center());
    QCOMPARE(view.selectedRow(), 1);
    QCOMPARE(f.doc.findPosition(), 1);
    QCOMPARE(f.doc.GetItem().title, QByteArray("Search"));
    QCOMPARE(f.doc.GetItem().selector, QByteArray("/find\r\n"));
    QCOMPARE(selected.count(), 1);

    // A click below the last row keeps the selection, as list boxes do.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(20, view.viewport()->height() - 3));
    QCOMPARE(view.selectedRow(), 1);
    QCOMPARE(f.doc.GetItem().title, QByteArray("Search"));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ControlModifier, row.center());
    QCOMPARE(view.selectedRow(), 1);
}

void tst_DirView::emptyListReportsInvalidSelection()
{
    DirFixture f;
    CGopherDirView view(&f.doc, nullptr, nullptr, nullptr);
    QVERIFY(!view.canFetchSelected());
    QTest::keyClick(&view, Qt::Key_Down);
    QCOMPARE(f.doc.lastStatus(), QByteArray("Directory has invalid selection"));
    QTest::keyClick(&view, Qt::Key_Return);
    QCOMPARE(f.doc.lastStatus(), QByteArray("Double click has invalid selection"));

    f.feed(menuLine('0', "One") + ".\r\n");
    QVERIFY(!view.canFetchSelected());
    view.selectRow(0);
    QVERIFY(view.canFetchSelected());
}

void tst_DirView::doubleClickOpensThroughApplication()
{
    DirFixture f;
    f.feed(menuLine('i', "Welcome", "", "error.host", 1) + menuLine('0', "About this server", "/about")
           + menuLine('0', "News", "/news") + ".\r\n");
    CTarnwickApp &app = f.app;
    app.setSettingsPath(m_dir.filePath(QStringLiteral("app.ini")));
    app.registerDefaultTemplates();
    CGopherDirView view(&f.doc, &app, nullptr, nullptr);
    QVERIFY(showOnScreen(view, QSize(300, 200)));
    QList<CTarnwickDoc *> opened;
    connect(&app, &CTarnwickApp::documentOpened, &app,
            [&opened](CTarnwickDoc *doc) { opened.append(doc); });

    const QRect row = view.visualRect(view.model()->index(2, 0));
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, row.center());
    QCOMPARE(opened.count(), 1);
    auto *doc = opened.at(0);
    QVERIFY(doc);
    QCOMPARE(doc->item().title, QByteArray("News"));
    QCOMPARE(doc->item().selector, QByteArray("/news\r\n"));
    QCOMPARE(doc->item().parentKey, f.doc.windowKey());
    QVERIFY(!f.doc.windowKey().isEmpty());
    QCOMPARE(f.doc.findPosition(), 2);
    // The document's own list item is untouched.
    QVERIFY(f.doc.listItem(2).parentKey.isEmpty());

    // An info line opens nothing; Enter opens the selected row.
    view.selectRow(0);
    view.fetchSelected();
    QCOMPARE(opened.count(), 1);
    view.selectRow(1);
    QTest::keyClick(&view, Qt::Key_Enter);
    QCOMPARE(opened.count(), 2);
    QCOMPARE(opened.at(1)->item().title, QByteArray("About this server"));
}

void tst_DirView::unknownTypeIsMarkedWhenShown()
{
    DirFixture f;
    ItemIcons icons;
    f.feed(menuLine('$', "Odd one") + menuLine('g', "Cat picture") + ".\r\n");
    QCOMPARE(f.doc.listItem(0).type, '$');
    CGopherDirView view(&f.doc, nullptr, nullptr, &icons);
    QVERIFY(showOnScreen(view, QSize(300, 200)));
    QTRY_COMPARE(f.doc.listItem(0).type, '!');
    QCOMPARE(f.doc.listItem(1).type, 'g');
    const QVariant decoration = view.model()->index(1, 0).data(Qt::DecorationRole);
    QCOMPARE(decoration.value<QPixmap>().cacheKey(), icons.icon('I').cacheKey());
}

void tst_DirView::findHintSelectsAndScrolls()
{
    DirFixture f;
    f.feed(numberedMenu(200) + menuLine('0', "Needle") + ".\r\n");
    CGopherDirView view(&f.doc, nullptr, nullptr, nullptr);
    QVERIFY(showOnScreen(view, QSize(300, 150)));

    f.doc.FindText(QByteArray("needle"), true, false, false);
    QCOMPARE(view.selectedRow(), 200);
    QCOMPARE(f.doc.GetItem().title, QByteArray("Needle"));
    QCOMPARE(f.doc.findPosition(), 201);
    QVERIFY(view.viewport()->rect().intersects(view.visualRect(view.model()->index(200, 0))));
    QVERIFY(f.ui.messages.isEmpty());
}

void tst_DirView::clearHintEmptiesList()
{
    DirFixture f;
    f.feed(numberedMenu(5) + ".\r\n");
    CGopherDirView view(&f.doc, nullptr, nullptr, nullptr);
    QCOMPARE(view.model()->rowCount(), 5);
    QVERIFY(view.isComplete());
    f.doc.OnReload();
    QCOMPARE(view.model()->rowCount(), 0);
    QVERIFY(!view.isComplete());
    f.feed(numberedMenu(3));
    QCOMPARE(view.model()->rowCount(), 3);
}

void tst_DirView::accessibleNameIsTypeAndTitle()
{
    DirFixture f;
    f.feed(menuLine('0', "About this server") + menuLine('1', "Sub") + menuLine('7', "Find it")
           + ".\r\n");
    CGopherDirView view(&f.doc, nullptr, nullptr, nullptr);
    QCOMPARE(view.model()->index(0, 0).data(Qt::AccessibleTextRole).toString(),
             QStringLiteral("Text: About this server"));
    QCOMPARE(view.model()->index(1, 0).data(Qt::AccessibleTextRole).toString(),
             QStringLiteral("Index search: Find it"));

    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(&view);
    QVERIFY(list);
    QAccessibleInterface *cell = nullptr;
    for (int i = 0; i < list->childCount() && !cell; ++i) {
        QAccessibleInterface *child = list->child(i);
        if (child && child->role() == QAccessible::ListItem)
            cell = child;
    }
    QVERIFY(cell);
    QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("Text: About this server"));
}

// Titles follow the encoding chosen for the directory's host; the items keep
// the server's bytes, and the selection stays.
void tst_DirView::encodingChangeRedrawsTitles()
{
    DirFixture f;
    f.app.setSettingsPath(m_dir.filePath(QStringLiteral("encodings.ini")));
    const QByteArray art("\xC9\xCD\xBB Art");
    f.feed(menuLine('0', art) + menuLine('0', "\xE1\xD2\xC8\xC9\xD7", "/archive") + ".\r\n");
    CGopherDirView view(&f.doc, &f.app, nullptr, nullptr);
    view.selectRow(1);
    const auto title = [&view](int row) {
        return view.model()->index(row, 0).data(Qt::DisplayRole).toString();
    };
    QCOMPARE(view.model()->rowCount(), 2);
    QCOMPARE(title(0), QStringLiteral(u"ÉÍ» Art"));

    QVERIFY(f.app.hostEncodings().setEncoding("gopher.example.org", TextEncoding::Cp437));
    QCOMPARE(view.encoding(), TextEncoding::Cp437);
    QCOMPARE(title(0), QStringLiteral(u"╔═╗ Art"));
    QVERIFY(f.app.hostEncodings().setEncoding("gopher.example.org", TextEncoding::Koi8R));
    QCOMPARE(title(1), QStringLiteral(u"Архив"));
    QCOMPARE(view.model()->index(1, 0).data(Qt::AccessibleTextRole).toString(),
             QStringLiteral(u"Text: Архив"));
    QCOMPARE(view.selectedRow(), 1);
    QCOMPARE(f.doc.listItem(0).title, art);
}

void tst_DirView::fontChangeKeepsSelection()
{
    DirFixture f;
    f.feed(numberedMenu(10) + ".\r\n");
    FontManager fonts(*m_profile);
    CGopherDirView view(&f.doc, nullptr, &fonts, nullptr);
    // Without a selection, a new font selects the first row.
    QCOMPARE(view.selectedRow(), -1);
    QFont font = fonts.font(FontManager::DirFont);
    font.setPixelSize(14);
    (void)fonts.applyChosenFont(FontManager::DirFont, font);
    QCOMPARE(view.selectedRow(), 0);
    QCOMPARE(f.doc.GetItem().title, QByteArray("Item 0"));

    view.selectRow(3);
    QFont big = fonts.font(FontManager::DirFont);
    big.setPixelSize(30);
    (void)fonts.applyChosenFont(FontManager::DirFont, big);
    QCOMPARE(view.font().pixelSize(), 30);
    QVERIFY(view.rowHeight() >= 30);
    QCOMPARE(view.selectedRow(), 3);
    QCOMPARE(view.model()->rowCount(), 10);

    // Another kind of font leaves the list alone.
    QFont tree = fonts.font(FontManager::TreeFont);
    tree.setPixelSize(9);
    (void)fonts.applyChosenFont(FontManager::TreeFont, tree);
    QCOMPARE(view.font().pixelSize(), 30);
}

void tst_DirView::rowHeightIsAtLeastSixteen()
{
    DirFixture f;
    FontManager fonts(*m_profile);
    QFont tiny = fonts.font(FontManager::DirFont);
    tiny.setPixelSize(6);
    (void)fonts.applyChosenFont(FontManager::DirFont, tiny);
    CGopherDirView view(&f.doc, nullptr, &fonts, nullptr);
    QCOMPARE(view.rowHeight(), 16);
}

void tst_DirView::horizontalExtentFollowsLongestRow()
{
    DirFixture f;
    const QByteArray longTitle(300, 'W');
    f.feed(menuLine('0', "Short") + menuLine('0', longTitle) + ".\r\n");
    CGopherDirView view(&f.doc, nullptr, nullptr, nullptr);
    QVERIFY(showOnScreen(view, QSize(200, 200)));
    const int textWidth = view.fontMetrics().horizontalAdvance(QString::fromLatin1(longTitle));
    QTRY_VERIFY(view.horizontalExtent() >= textWidth + 24);
    QTRY_VERIFY(view.horizontalScrollBar()->maximum() >= textWidth + 24 - view.viewport()->width());
}

void tst_DirView::largeMenuLayoutGrowsWithItsLength()
{
    DirFixture f;
    CGopherDirView view(&f.doc, nullptr, nullptr, nullptr);
    QVERIFY(showOnScreen(view, QSize(400, 300)));

    constexpr int Count = 200000;
    QByteArray menu = numberedMenu(Count) + ".\r\n";
    // Small chunks, as from a slow link: each one adds rows.
    constexpr qsizetype Chunk = 4096;
    const qsizetype half = menu.size() / 2;
    qsizetype pos = 0;
    for (; pos < half; pos += Chunk) {
        f.feed(menu.mid(pos, Chunk));
        QCoreApplication::processEvents();
    }
    // Rows held back while the list is long still arrive without more data.
    QTRY_COMPARE(view.model()->rowCount(), f.doc.listCount());
    QVERIFY(view.model()->rowCount() > Count / 3);
    for (; pos < menu.size(); pos += Chunk) {
        f.feed(menu.mid(pos, Chunk));
        QCoreApplication::processEvents();
    }
    QCOMPARE(view.model()->rowCount(), Count);
    view.selectRow(0);
    QTest::keyClick(&view, Qt::Key_End);
    QCoreApplication::processEvents();
    QCOMPARE(view.selectedRow(), Count - 1);
    QCOMPARE(f.doc.GetItem().title, QByteArray("Item ") + QByteArray::number(Count - 1));
    QCOMPARE(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());

    // Laying the whole list out again for each of the 4,000 blocks would
    // lay out hundreds of millions of rows. Batches that grow with the list lay
    // out a few times its length, plus one pass for each short wait that
    // shows held-back rows; the bound leaves room for a slow machine.
    const qint64 work = view.rowsLaidOut();
    QVERIFY2(work >= Count && work <= 100 * qint64(Count), QByteArray::number(work).constData());
}

// ---- Navigator ----

namespace {

QTreeWidgetItem *child(QTreeWidgetItem *node, int i)
{
    return node ? node->child(i) : nullptr;
}

void clickLabel(CGTreeView &tree, QTreeWidgetItem *node)
{
    const QRect rect = tree.visualItemRect(node);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, QPoint(rect.left() + 30, rect.center().y()));
}

void clickButton(CGTreeView &tree, QTreeWidgetItem *node)
{
    const QRect rect = tree.visualItemRect(node);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {},
                      QPoint(rect.left() - tree.indentation() / 2, rect.center().y()));
}

const QByteArray TopMenu = menuLine('0', "Readme") + menuLine('1', "Docs", "/docs")
                           + menuLine('1', "Files", "/files") + ".\r\n";

} // namespace

void tst_DirView::navigatorRootIsOwnItem()
{
    DirFixture f;
    CGTreeView tree(&f.doc, nullptr, nullptr);
    QCOMPARE(tree.topLevelItemCount(), 1);
    f.feed(TopMenu);
    QCOMPARE(tree.topLevelItemCount(), 1);
    QTreeWidgetItem *root = tree.rootNode();
    QCOMPARE(root, tree.topLevelItem(0));
    QCOMPARE(root->text(0), QStringLiteral("Home Gopher"));
    QCOMPARE(root->childCount(), 2);
    QCOMPARE(root->child(0)->text(0), QStringLiteral("Docs"));
    QCOMPARE(root->child(1)->text(0), QStringLiteral("Files"));
    QCOMPARE(tree.navigatorNodeCount(), 2);
    // The window's own directory opens its outline when it arrives.
    QVERIFY(root->isExpanded());
    QCOMPARE(root->child(0)->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
}

void tst_DirView::navigatorRootTextIsCut()
{
    DirFixture f(QByteArray(300, 'r'));
    CGTreeView tree(&f.doc, nullptr, nullptr);
    QCOMPARE(tree.rootNode()->text(0), QString(256, QLatin1Char('r')));
}

// Node texts and the window title are drawn in the host's encoding and are
// drawn again when it changes. A node shows its title as the menu that listed
// it did: in the encoding of the host that sent that menu.
void tst_DirView::navigatorAndTitleFollowTheEncoding()
{
    const QByteArray archive("\xE1\xD2\xC8\xC9\xD7");  // "Архив" in KOI8-R
    DirFixture f(archive);
    f.app.setSettingsPath(m_dir.filePath(QStringLiteral("navigator.ini")));
    CGTreeView tree(&f.doc, nullptr, nullptr);
    CGopherMDIChild window(&f.doc);
    f.doc.setTitle(archive);
    f.feed(menuLine('0', "\xF0\xD2\xC9\xD7\xC5\xD4", "/hello.txt")
           + menuLine('1', "\xF0\xD2\xC9\xD7\xC5\xD4", "/hello")
           + menuLine('1', "\xF0\xD2\xC9\xD7\xC5\xD4", "/", "other.example") + ".\r\n");
    QTreeWidgetItem *root = tree.rootNode();
    QCOMPARE(root->childCount(), 2);
    QCOMPARE(root->text(0), QStringLiteral(u"áÒÈÉ×"));
    QCOMPARE(window.windowTitle(), QStringLiteral(u"áÒÈÉ×"));

    QVERIFY(f.app.hostEncodings().setEncoding("other.example", TextEncoding::Cp437));
    QCOMPARE(root->child(1)->text(0), QStringLiteral(u"ðÒÉ×ÅÔ"));
    QVERIFY(f.app.hostEncodings().setEncoding("gopher.example.org", TextEncoding::Koi8R));
    QCOMPARE(root->text(0), QStringLiteral(u"Архив"));
    QCOMPARE(root->child(0)->text(0), QStringLiteral(u"Привет"));
    QCOMPARE(root->child(1)->text(0), QStringLiteral(u"Привет"));
    QCOMPARE(window.windowTitle(), QStringLiteral(u"Архив"));
    QCOMPARE(f.doc.title(), archive);
    // Find in the list (its documents) looks for what the list shows.
    f.doc.FindText(QStringLiteral(u"ПРИВЕТ").toUtf8(), true, false, false);
    QVERIFY(f.ui.messages.isEmpty());
    QCOMPARE(f.doc.findPosition(), 1);

    // A node added after the change is drawn in the encoding at once.
    tree.clickNode(root->child(0), false);
    f.feed(menuLine('1', archive, "/hello/old") + ".\r\n");
    QCOMPARE(root->child(0)->childCount(), 1);
    QCOMPARE(root->child(0)->child(0)->text(0), QStringLiteral(u"Архив"));
}

void tst_DirView::clickFetchesNodeIntoSameDocument()
{
    DirFixture f;
    CGTreeView tree(&f.doc, nullptr, nullptr);
    QVERIFY(showOnScreen(tree));
    f.feed(TopMenu);
    const QByteArray topKey = f.doc.windowKey();
    QTreeWidgetItem *docs = child(tree.rootNode(), 0);
    QVERIFY(docs);
    tree.rootNode()->setExpanded(true);

    clickLabel(tree, docs);
    QCOMPARE(tree.currentItem(), docs);
    QCOMPARE(f.doc.item().title, QByteArray("Docs"));
    QCOMPARE(f.doc.item().selector, QByteArray("/docs\r\n"));
    QCOMPARE(f.doc.item().parentKey, topKey);
    QCOMPARE(f.doc.listCount(), 0);
    QVERIFY(!f.doc.navigatorFlag());
    QVERIFY(!tree.doubleClickOrButton());

    f.feed(menuLine('0', "Manual") + menuLine('1', "Old docs", "/docs/old") + ".\r\n");
    QCOMPARE(f.doc.listCount(), 1);
    QCOMPARE(docs->childCount(), 1);
    QCOMPARE(docs->child(0)->text(0), QStringLiteral("Old docs"));
    QCOMPARE(tree.rootNode()->childCount(), 2);
    // A plain click shows the directory without opening its outline.
    QVERIFY(!docs->isExpanded());
    QCOMPARE(docs->data(0, CGTreeView::ExpandedBeforeRole).toBool(), true);

    // The button fetches it again, opens it and adds no known child twice.
    clickButton(tree, docs);
    QVERIFY(tree.doubleClickOrButton());
    QVERIFY(f.doc.navigatorFlag());
    f.feed(menuLine('1', "Old docs", "/docs/old") + ".\r\n");
    QCOMPARE(f.doc.navigatorCount(), 3);
    QCOMPARE(docs->childCount(), 1);
    QVERIFY(docs->isExpanded());
    QVERIFY(!tree.doubleClickOrButton());
}

void tst_DirView::rootButtonCollapsesAndLabelFetches()
{
    DirFixture f;
    CGTreeView tree(&f.doc, nullptr, nullptr);
    QVERIFY(showOnScreen(tree));
    f.feed(TopMenu);
    QTreeWidgetItem *root = tree.rootNode();
    QVERIFY(root->isExpanded());
    const QByteArray key = f.doc.windowKey();

    clickButton(tree, root);
    QVERIFY(!root->isExpanded());
    QVERIFY(!f.doc.hasLiveTransaction());
    QCOMPARE(f.doc.windowKey(), key);
    QCOMPARE(f.doc.listCount(), 1);
    QVERIFY(!tree.doubleClickOrButton());

    // "+" on the closed node fetches it again and keeps it open.
    clickButton(tree, root);
    QVERIFY(tree.doubleClickOrButton());
    QCOMPARE(f.doc.listCount(), 0);
    f.feed(TopMenu);
    QVERIFY(root->isExpanded());

    // A click on the root's label fetches the window's own item.
    clickLabel(tree, child(root, 0));
    f.feed(".\r\n");
    QCOMPARE(f.doc.item().title, QByteArray("Docs"));
    clickLabel(tree, root);
    QCOMPARE(f.doc.item().title, QByteArray("Home Gopher"));
    QCOMPARE(f.doc.item().selector, QByteArray("\r\n"));
    // The root's sub-directories are known already.
    QVERIFY(f.doc.navigatorFlag());
    f.feed(TopMenu);
    QCOMPARE(root->childCount(), 2);
    QCOMPARE(f.doc.listCount(), 1);
}

void tst_DirView::doubleClickKeepsNodeOpen()
{
    DirFixture f;
    CGTreeView tree(&f.doc, nullptr, nullptr);
    QVERIFY(showOnScreen(tree));
    f.feed(TopMenu);
    QTreeWidgetItem *files = child(tree.rootNode(), 1);
    const QRect rect = tree.visualItemRect(files);
    // A double-click arrives as a press, a release and the double-click.
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, QPoint(rect.left() + 30, rect.center().y()));
    QVERIFY(!tree.doubleClickOrButton());
    QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {}, QPoint(rect.left() + 30, rect.center().y()));
    QCOMPARE(f.doc.item().title, QByteArray("Files"));
    QVERIFY(tree.doubleClickOrButton());
    f.feed(menuLine('1', "Music", "/files/music") + ".\r\n");
    QCOMPARE(files->childCount(), 1);
    QVERIFY(files->isExpanded());
}

void tst_DirView::emptyDirectoryLosesButton()
{
    DirFixture f;
    CGTreeView tree(&f.doc, nullptr, nullptr);
    QVERIFY(showOnScreen(tree));
    f.feed(TopMenu);
    QTreeWidgetItem *files = child(tree.rootNode(), 1);
    clickButton(tree, files);
    QCOMPARE(f.doc.item().title, QByteArray("Files"));
    f.feed(menuLine('9', "tarball.tgz", "/files/t.tgz") + ".\r\n");
    QCOMPARE(files->childCount(), 0);
    QCOMPARE(files->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
    // Without a button the indentation is not a button any more.
    f.doc.OnReload();
    f.feed(".\r\n");
    const QByteArray key = f.doc.windowKey();
    clickButton(tree, files);
    QCOMPARE(f.doc.windowKey(), key);
}

void tst_DirView::failureMarks_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("image");

    QTest::newRow("timed out") << 10060 << 7;
    QTest::newRow("refused") << 10061 << 6;
    QTest::newRow("host not found, try again") << 11002 << 5;
    QTest::newRow("connection reset is another failure") << 10054 << 8;
    QTest::newRow("host not found is another failure") << 11001 << 8;
    QTest::newRow("cancelled") << -1 << 11;
}

void tst_DirView::failureMarks()
{
    QFETCH(int, error);
    QFETCH(int, image);

    DirFixture f;
    ItemIcons icons;
    CGTreeView tree(&f.doc, nullptr, &icons);
    QVERIFY(showOnScreen(tree));
    f.feed(TopMenu);
    QTreeWidgetItem *docs = child(tree.rootNode(), 0);
    clickLabel(tree, docs);
    if (error == -1)
        f.doc.OnTransactionCancelled();
    else
        f.doc.OnTransactionFailed(error);
    QCOMPARE(imageOf(docs->icon(0)), imageOf(icons.navigatorImage(image)));
    QCOMPARE(imageOf(tree.rootNode()->icon(0)), imageOf(icons.icon('1')));
    QCOMPARE(imageOf(child(tree.rootNode(), 1)->icon(0)), imageOf(icons.icon('1')));

    // A later fetch that succeeds gives the node its picture back.
    clickLabel(tree, docs);
    f.feed(".\r\n");
    QCOMPARE(imageOf(docs->icon(0)), imageOf(icons.icon('1')));
}

void tst_DirView::menuEndedByCloseCompletes()
{
    DirFixture f;
    CGTreeView tree(&f.doc, nullptr, nullptr);
    QVERIFY(showOnScreen(tree));
    // A server that never sends the "." line.
    f.feed(menuLine('1', "Docs", "/docs"));
    f.doc.FinishTransfer();
    QVERIFY(tree.rootNode()->isExpanded());

    QTreeWidgetItem *docs = child(tree.rootNode(), 0);
    clickButton(tree, docs);
    f.feed(menuLine('0', "Readme"));
    f.doc.FinishTransfer();
    QCOMPARE(docs->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
    QVERIFY(!tree.doubleClickOrButton());
}

void tst_DirView::clickDuringTransactionDoesNothing()
{
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    RecordingUserInterface ui;
    CTarnwickApp app(ui);
    CGopherDir doc(app.context());
    CGTreeView tree(&doc, nullptr, nullptr);
    QVERIFY(showOnScreen(tree));

    QVERIFY(doc.Fetch(CBookmark('1', QByteArray("Slow"), QByteArray(), QByteArray("127.0.0.1"),
                                silent.serverPort())));
    QVERIFY(doc.hasLiveTransaction());
    QTRY_VERIFY(silent.hasPendingConnections());
    // Part of the menu has arrived; the server is still sending.
    bool done = false;
    doc.OnData(menuLine('1', "Docs", "/docs", QByteArray("127.0.0.1"), silent.serverPort()), done);
    QTreeWidgetItem *docs = child(tree.rootNode(), 0);
    QVERIFY(docs);
    tree.rootNode()->setExpanded(true);

    clickLabel(tree, docs);
    clickButton(tree, docs);
    QCOMPARE(doc.item().title, QByteArray("Slow"));
    QVERIFY(!tree.doubleClickOrButton());
    QCOMPARE(tree.currentItem(), tree.rootNode());

    doc.cancelTransfer();
    QVERIFY(!doc.hasLiveTransaction());
    clickLabel(tree, docs);
    QCOMPARE(doc.item().title, QByteArray("Docs"));
    doc.cancelTransfer();
    QTRY_COMPARE(app.engine().transactionCount(), 0);
}

void tst_DirView::navigatorContextMenu()
{
    DirFixture f;
    FontManager fonts(*m_profile);
    CGTreeView tree(&f.doc, &fonts, nullptr);
    QCOMPARE(tree.font(), fonts.font(FontManager::TreeFont));
    QVERIFY(showOnScreen(tree));
    f.feed(TopMenu);
    clickLabel(tree, child(tree.rootNode(), 0));
    f.feed(menuLine('1', "Old docs", "/docs/old") + ".\r\n");

    std::unique_ptr<QMenu> menu(tree.createContextMenu());
    const QList<QAction *> actions = menu->actions();
    QCOMPARE(actions.size(), 3);
    QCOMPARE(actions[0]->text(), QStringLiteral("Expand All"));
    QCOMPARE(actions[1]->text(), QStringLiteral("Collapse All"));
    QCOMPARE(actions[2]->text(), QStringLiteral("Edit Bookmarks..."));
    QVERIFY(!actions[2]->isEnabled());

    actions[0]->trigger();
    QVERIFY(tree.rootNode()->isExpanded());
    QVERIFY(child(tree.rootNode(), 0)->isExpanded());
    actions[1]->trigger();
    QVERIFY(!tree.rootNode()->isExpanded());
    QVERIFY(!child(tree.rootNode(), 0)->isExpanded());
}

QTEST_MAIN(tst_DirView)
#include "tst_dirview.moc"
