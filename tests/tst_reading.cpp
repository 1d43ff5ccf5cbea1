// What a screen reader reads of a text and of a menu: offsets of the text as
// shown, the caret's moves, and a menu's lines as items, paragraphs and
// pictures.

#include "app/tarnwickapp.h"
#include "documents/gopherdir.h"
#include "documents/pagereader.h"
#include "documents/qtextdoc.h"
#include "documents/textcaret.h"
#include "documents/textoffsets.h"
#include "documents/userinterface.h"
#include "net/transactionengine.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(TextPosition)
Q_DECLARE_METATYPE(TextCaret::Move)

namespace QTest {
template<> char *toString(const TextPosition &pos)
{
    const QByteArray text = QByteArray::number(pos.line) + ":" + QByteArray::number(pos.column);
    return qstrdup(text.constData());
}
} // namespace QTest

namespace {

CQTextDoc storeOf(const QByteArray &text)
{
    CQTextDoc store;
    store.setEndsAtDotLine(true);
    store.AddText(text);
    store.Finish();
    return store;
}

// The joined text, as the offsets must give it: every line decoded, "\n" between.
QString joined(const CQTextDoc &store, TextEncoding encoding)
{
    QStringList lines;
    for (int i = 0; i < store.GetLineCount(); ++i)
        lines.append(decodeText(store.GetLine(i), encoding));
    return lines.join(QLatin1Char('\n'));
}

QByteArray menuLine(char type, const QByteArray &title)
{
    return type + title + "\t/x\tgopher.example.org\t70\r\n";
}

QByteArray infoLines(const QList<QByteArray> &lines)
{
    QByteArray menu;
    for (const QByteArray &line : lines)
        menu += menuLine('i', line);
    return menu;
}

} // namespace

class tst_Reading : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void offsetsFollowTheText_data();
    void offsetsFollowTheText();
    void offsetsGrowWithArrivingLines();
    void terminatorReadsBackEmpty();
    void encodingCountsAfresh();

    void caretMoves_data();
    void caretMoves();
    void caretKeepsColumnAcrossShortLines();
    void caretInEmptyText();

    void artLines_data();
    void artLines();
    void gazetteReadsAsPage();
    void blocks_data();
    void blocks();
    void blockKeysSkipBlocks();
    void plainMenuReadsLinesAlone();
    void longRunIsReadInWindows();

private:
    // A directory document fed a menu, as a page when authored.
    std::unique_ptr<CGopherDir> directory(const QByteArray &menu, bool authored);

    QTemporaryDir m_dir;
    RecordingUserInterface m_ui;
    std::unique_ptr<CTarnwickApp> m_app;
};

void tst_Reading::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_dir.isValid());
    m_app = std::make_unique<CTarnwickApp>(m_ui);
    m_app->setSettingsPath(m_dir.filePath(QStringLiteral("tarnwick.ini")));
    m_app->engine().setOffline(true);
}

std::unique_ptr<CGopherDir> tst_Reading::directory(const QByteArray &menu, bool authored)
{
    auto doc = std::make_unique<CGopherDir>(m_app->context());
    doc->setAuthored(authored);
    (void)doc->Fetch(CBookmark('1', "Top", QByteArray(), QByteArray("gopher.example.org"), 70));
    bool done = false;
    doc->OnData(menu + ".\r\n", done);
    return doc;
}

// ---- Offsets ----

void tst_Reading::offsetsFollowTheText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("encoding");

    QTest::addRow("plain lines") << QByteArray("one\r\ntwo\r\n\r\nfour\r\n") << int(TextEncoding::Automatic);
    QTest::addRow("UTF-8 takes several bytes a character")
        << QByteArray("caf\xc3\xa9 au lait\r\n\xe2\x94\x80\xe2\x94\x80\r\nend\r\n") << int(TextEncoding::Automatic);
    QTest::addRow("a character beyond the BMP is two")
        << QByteArray("a\xf0\x9f\x90\x9f fish\r\nnext\r\n") << int(TextEncoding::Utf8);
    QTest::addRow("one byte a character in Latin-1")
        << QByteArray("caf\xc3\xa9\r\n\xe9t\xe9\r\n") << int(TextEncoding::Latin1);
    QTest::addRow("last line without a line end") << QByteArray("one\r\ntwo") << int(TextEncoding::Automatic);
    QTest::addRow("tabs stay characters") << QByteArray("a\tb\r\n\tc\r\n") << int(TextEncoding::Automatic);
}

void tst_Reading::offsetsFollowTheText()
{
    QFETCH(QByteArray, text);
    QFETCH(int, encoding);
    const auto enc = TextEncoding(encoding);

    const CQTextDoc store = storeOf(text);
    TextOffsets offsets;
    offsets.update(store, enc);
    const QString whole = joined(store, enc);
    QCOMPARE(offsets.characterCount(), int(whole.size()));
    QCOMPARE(offsets.text(store, 0, offsets.characterCount()), whole);

    // Every stretch reads as the same stretch of the whole, and every
    // character's position reads back as its offset.
    for (int start = 0; start <= whole.size(); ++start) {
        QCOMPARE(offsets.text(store, start, start + 3), whole.mid(start, 3));
        const int line = offsets.lineAt(start);
        QCOMPARE(line, int(whole.left(start).count(QLatin1Char('\n'))));
        const TextPosition pos = offsets.positionOf(store, start);
        QCOMPARE(pos.line, line);
        const bool lowSurrogate = start < whole.size() && whole.at(start).isLowSurrogate();
        if (!lowSurrogate)
            QCOMPARE(offsets.offsetOf(store, pos), start);
    }
}

void tst_Reading::offsetsGrowWithArrivingLines()
{
    CQTextDoc store;
    TextOffsets offsets;
    store.AddText("first\r\nsec");
    TextOffsets::Change change = offsets.update(store, TextEncoding::Automatic);
    QVERIFY(change.inserted);
    QCOMPARE(change.position, 0);
    QCOMPARE(offsets.characterCount(), 5);

    // Nothing new: nothing changed.
    change = offsets.update(store, TextEncoding::Automatic);
    QVERIFY(!change.inserted);
    QCOMPARE(change.removedLength, 0);

    // A new line is inserted after the last, with the "\n" that now ends it.
    store.AddText("ond\r\nthird\r\n");
    change = offsets.update(store, TextEncoding::Automatic);
    QVERIFY(change.inserted);
    QCOMPARE(change.position, 5);
    QCOMPARE(change.removedLength, 0);
    QCOMPARE(offsets.text(store, change.position, offsets.characterCount()),
             QStringLiteral("\nsecond\nthird"));

    // A reload empties the text: all of it goes.
    store.Reset();
    change = offsets.update(store, TextEncoding::Automatic);
    QCOMPARE(change.position, 0);
    QCOMPARE(change.removedLength, 18);
    QVERIFY(!change.inserted);
    QCOMPARE(offsets.characterCount(), 0);
    QCOMPARE(offsets.lineAt(0), -1);
}

void tst_Reading::terminatorReadsBackEmpty()
{
    CQTextDoc store;
    TextOffsets offsets;
    store.AddText("text\r\n.\r\n");
    offsets.update(store, TextEncoding::Automatic);
    QCOMPARE(offsets.text(store, 0, 100), QStringLiteral("text\n."));

    // Once the text has ended the terminator line reads back empty: the last
    // line is counted again.
    store.Finish();
    const TextOffsets::Change change = offsets.update(store, TextEncoding::Automatic);
    QCOMPARE(change.position, 5);
    QCOMPARE(change.removedLength, 1);
    QVERIFY(change.inserted);
    QCOMPARE(offsets.characterCount(), 5);
    QCOMPARE(offsets.text(store, 0, 100), QStringLiteral("text\n"));
}

void tst_Reading::encodingCountsAfresh()
{
    const CQTextDoc store = storeOf("\xd0\xbc\xd0\xb8\xd1\x80\r\nok\r\n");
    TextOffsets offsets;
    offsets.update(store, TextEncoding::Automatic);
    QCOMPARE(offsets.characterCount(), 6);  // "мир\nok"
    const TextOffsets::Change change = offsets.update(store, TextEncoding::Latin1);
    QCOMPARE(change.position, 0);
    QCOMPARE(change.removedLength, 6);
    QVERIFY(change.inserted);
    QCOMPARE(offsets.characterCount(), 9);
    // The same bytes stay the same position under either encoding.
    QCOMPARE(offsets.positionOf(store, 7), (TextPosition{0, 1}));
}

// ---- The caret ----

void tst_Reading::caretMoves_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<TextPosition>("from");
    QTest::addColumn<TextCaret::Move>("move");
    QTest::addColumn<TextPosition>("to");

    const QByteArray text("Gopher is a protocol,  older than the web.\r\n\r\nIt lives on.\r\n");
    QTest::addRow("right within a line") << text << TextPosition{2, 0} << TextCaret::CharRight << TextPosition{3, 0};
    QTest::addRow("right at a line end goes to the next line")
        << text << TextPosition{42, 0} << TextCaret::CharRight << TextPosition{0, 1};
    QTest::addRow("left at a line start goes to the line before")
        << text << TextPosition{0, 2} << TextCaret::CharLeft << TextPosition{0, 1};
    QTest::addRow("left at the start stays") << text << TextPosition{0, 0} << TextCaret::CharLeft << TextPosition{0, 0};
    QTest::addRow("word right to the next word") << text << TextPosition{1, 0} << TextCaret::WordRight << TextPosition{7, 0};
    QTest::addRow("word right over punctuation and spaces")
        << text << TextPosition{12, 0} << TextCaret::WordRight << TextPosition{23, 0};
    QTest::addRow("word right after the last word ends the line")
        << text << TextPosition{38, 0} << TextCaret::WordRight << TextPosition{42, 0};
    QTest::addRow("word right at a line end goes on") << text << TextPosition{42, 0} << TextCaret::WordRight << TextPosition{0, 1};
    QTest::addRow("word left at a word start goes to the word before") << text << TextPosition{10, 0} << TextCaret::WordLeft << TextPosition{7, 0};
    QTest::addRow("word left from inside a word") << text << TextPosition{12, 0} << TextCaret::WordLeft << TextPosition{10, 0};
    QTest::addRow("word left at a line start goes back a line")
        << text << TextPosition{0, 2} << TextCaret::WordLeft << TextPosition{0, 1};
    QTest::addRow("line end") << text << TextPosition{3, 2} << TextCaret::LineEnd << TextPosition{12, 2};
    QTest::addRow("line start") << text << TextPosition{3, 2} << TextCaret::LineStart << TextPosition{0, 2};
    QTest::addRow("text end") << text << TextPosition{3, 0} << TextCaret::TextEnd << TextPosition{12, 2};
    QTest::addRow("text start") << text << TextPosition{3, 2} << TextCaret::TextStart << TextPosition{0, 0};
    QTest::addRow("down past the last line stays on it") << text << TextPosition{4, 2} << TextCaret::LineDown << TextPosition{4, 2};
    QTest::addRow("a page down stops at the last line") << text << TextPosition{4, 0} << TextCaret::PageDown << TextPosition{4, 2};

    const QByteArray utf8("a\xc3\xa9\xf0\x9f\x90\x9f" "b\r\n");
    QTest::addRow("right over a two-byte character") << utf8 << TextPosition{1, 0} << TextCaret::CharRight << TextPosition{3, 0};
    QTest::addRow("right over a character beyond the BMP")
        << utf8 << TextPosition{3, 0} << TextCaret::CharRight << TextPosition{7, 0};
    QTest::addRow("left over a character beyond the BMP")
        << utf8 << TextPosition{7, 0} << TextCaret::CharLeft << TextPosition{3, 0};
}

void tst_Reading::caretMoves()
{
    QFETCH(QByteArray, text);
    QFETCH(TextPosition, from);
    QFETCH(TextCaret::Move, move);
    QFETCH(TextPosition, to);

    const CQTextDoc store = storeOf(text);
    TextCaret caret;
    caret.setPosition(store, TextEncoding::Automatic, from);
    QCOMPARE(caret.position(), from);
    QCOMPARE(caret.move(move, store, TextEncoding::Automatic, 10), to != from);
    QCOMPARE(caret.position(), to);
}

void tst_Reading::caretKeepsColumnAcrossShortLines()
{
    const CQTextDoc store = storeOf("a long first line\r\nab\r\n\r\nanother long line\r\n");
    TextCaret caret;
    caret.setPosition(store, TextEncoding::Automatic, {10, 0});
    caret.move(TextCaret::LineDown, store, TextEncoding::Automatic);
    QCOMPARE(caret.position(), (TextPosition{2, 1}));
    caret.move(TextCaret::LineDown, store, TextEncoding::Automatic);
    QCOMPARE(caret.position(), (TextPosition{0, 2}));
    caret.move(TextCaret::LineDown, store, TextEncoding::Automatic);
    QCOMPARE(caret.position(), (TextPosition{10, 3}));
    // A move along the line sets the column anew.
    caret.move(TextCaret::LineStart, store, TextEncoding::Automatic);
    caret.move(TextCaret::PageUp, store, TextEncoding::Automatic, 3);
    QCOMPARE(caret.position(), (TextPosition{0, 0}));
}

void tst_Reading::caretInEmptyText()
{
    CQTextDoc store;
    TextCaret caret;
    QVERIFY(!caret.move(TextCaret::TextEnd, store, TextEncoding::Automatic));
    QCOMPARE(caret.position(), (TextPosition{0, 0}));
    // A caret left beyond a shorter text comes back into it.
    const CQTextDoc longer = storeOf("one\r\ntwo\r\nthree\r\n");
    caret.setPosition(longer, TextEncoding::Automatic, {4, 2});
    const CQTextDoc shorter = storeOf("x\r\n");
    caret.clamp(shorter, TextEncoding::Automatic);
    QCOMPARE(caret.position(), (TextPosition{1, 0}));
}

// ---- Menus as pages ----

void tst_Reading::artLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("art");

    QTest::addRow("a box edge") << QStringLiteral(" +-----------------------------------+") << true;
    QTest::addRow("letters spaced out") << QStringLiteral(" |  T H E   T A R N   G A Z E T T E  |") << true;
    QTest::addRow("waves") << QStringLiteral("  ~~~/ \\~~~  ~~~~~~~  ~~~~~~~~~  ~~~~~") << true;
    QTest::addRow("figlet") << QStringLiteral(" / _` | '_ \\| | | | '_ \\") << true;
    QTest::addRow("box drawing (CP437 decoded)") << QStringLiteral("\u2554\u2550\u2550 Menu \u2550\u2550\u2557") << true;
    QTest::addRow("a block of one letter") << QStringLiteral("MMMMMMM   MMMMMMM  ab") << true;
    QTest::addRow("Braille art") << QStringLiteral("\u28ff\u28f7\u28c0 \u28ff\u28ff") << true;
    QTest::addRow("prose") << QStringLiteral("A page written the way gopherholes are") << false;
    QTest::addRow("a heading with signs") << QStringLiteral("== From the shelves ==") << false;
    QTest::addRow("quoted speech") << QStringLiteral("\"+\" line after it names this one.") << false;
    QTest::addRow("times and dates") << QStringLiteral("Open 09:30 - 17:00, 12/05/2024") << false;
    QTest::addRow("an address") << QStringLiteral("gopher://gopher.example.org/1/phlog") << false;
    QTest::addRow("a short list") << QStringLiteral("- eggs, milk and bread") << false;
    QTest::addRow("blank") << QStringLiteral("     ") << false;
}

void tst_Reading::artLines()
{
    QFETCH(QString, line);
    QFETCH(bool, art);
    QCOMPARE(PageReader::isArtLine(line), art);
}

void tst_Reading::gazetteReadsAsPage()
{
    // The sample's page, as pygopherd serves its gophermap.
    QFile file(QStringLiteral(TWK_SOURCE_DIR "/share/gopherspace/gazette/gophermap"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray menu;
    for (QByteArray line : file.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        while (line.count('\t') < 3)
            line += line.count('\t') == 1 ? "\t127.0.0.1" : line.count('\t') == 2 ? "\t70" : "\t";
        menu += line + "\r\n";
    }
    const std::unique_ptr<CGopherDir> dir = directory(menu, true);
    const PageReader reader(*dir, TextEncoding::Automatic);
    QCOMPARE(reader.textOf(0), QStringLiteral("Picture, 5 lines"));
    QCOMPARE(reader.blockAt(3), (PageReader::Block{PageReader::Block::Picture, 0, 5}));
    QCOMPARE(reader.textOf(5), QString());
    QCOMPARE(reader.textOf(6), QStringLiteral("A page written the way gopherholes are written today: "
                                              "headings, paragraphs and a banner in info lines, links "
                                              "between. View > Menu as Authored shows it in the "
                                              "author's order."));
    QCOMPARE(reader.textOf(7), QStringLiteral("written today: headings, paragraphs and"));
    QCOMPARE(reader.textOf(12), QStringLiteral("== From the shelves =="));
    QCOMPARE(reader.textOf(13), QStringLiteral("Directory: Field notes"));
    QCOMPARE(reader.textOf(15), QStringLiteral("Text: About Tarnwick"));
    // The block key goes from the banner to the paragraph, passing the blank line.
    QCOMPARE(reader.nextBlock(0), 6);
    QCOMPARE(reader.nextBlock(2), 6);
    QCOMPARE(reader.nextBlock(6), 12);
    QCOMPARE(reader.previousBlock(6), 0);
    QCOMPARE(reader.previousBlock(8), 6);
}

void tst_Reading::blocks_data()
{
    QTest::addColumn<QByteArray>("menu");
    QTest::addColumn<QStringList>("texts");

    QTest::addRow("a paragraph under a picture without a blank line")
        << infoLines({"#####  #####", "#   #  #", "#####  ####", "Words come after the", "drawing."})
        << QStringList{QStringLiteral("Picture, 3 lines"), QStringLiteral("#   #  #"),
                       QStringLiteral("#####  ####"), QStringLiteral("Words come after the drawing."),
                       QStringLiteral("drawing.")};
    QTest::addRow("a single rule is read as it is")
        << infoLines({"Heading", "-------", "Text under it."})
        << QStringList{QStringLiteral("Heading ------- Text under it."), QStringLiteral("-------"),
                       QStringLiteral("Text under it.")};
    QTest::addRow("items end paragraphs")
        << infoLines({"Before the", "link."}) + menuLine('0', "Notes") + infoLines({"After it."})
        << QStringList{QStringLiteral("Before the link."), QStringLiteral("link."),
                       QStringLiteral("Text: Notes"), QStringLiteral("After it.")};
    QTest::addRow("blank lines end paragraphs")
        << infoLines({"One.", "", "Two."})
        << QStringList{QStringLiteral("One."), QString(), QStringLiteral("Two.")};
}

void tst_Reading::blocks()
{
    QFETCH(QByteArray, menu);
    QFETCH(QStringList, texts);

    const std::unique_ptr<CGopherDir> dir = directory(menu, true);
    const PageReader reader(*dir, TextEncoding::Automatic);
    QCOMPARE(dir->listCount(), int(texts.size()));
    for (int row = 0; row < texts.size(); ++row)
        QCOMPARE(reader.textOf(row), texts.at(row));
}

void tst_Reading::blockKeysSkipBlocks()
{
    const QByteArray menu = infoLines({"/\\/\\/\\/\\", "\\/\\/\\/\\/", "", "", "Some text", "more"})
                            + menuLine('1', "A directory") + infoLines({""});
    const std::unique_ptr<CGopherDir> dir = directory(menu, true);
    const PageReader reader(*dir, TextEncoding::Automatic);
    QCOMPARE(reader.nextBlock(0), 4);
    QCOMPARE(reader.nextBlock(5), 6);
    QCOMPARE(reader.nextBlock(6), -1);  // only a blank line after the last item
    QCOMPARE(reader.previousBlock(6), 4);
    QCOMPARE(reader.previousBlock(5), 4);
    QCOMPARE(reader.previousBlock(4), 0);
    QCOMPARE(reader.previousBlock(0), -1);
}

void tst_Reading::plainMenuReadsLinesAlone()
{
    // Without the author's layout the directories are not among the lines,
    // so text is not joined across them; pictures still are pictures.
    const QByteArray menu = infoLines({"=#=#=#=#", "#=#=#=#=", "Before the"}) + menuLine('1', "Dir")
                            + infoLines({"link."});
    const std::unique_ptr<CGopherDir> dir = directory(menu, false);
    const PageReader reader(*dir, TextEncoding::Automatic);
    QCOMPARE(dir->listCount(), 4);
    QCOMPARE(reader.textOf(0), QStringLiteral("Picture, 2 lines"));
    QCOMPARE(reader.textOf(2), QStringLiteral("Before the"));
    QCOMPARE(reader.textOf(3), QStringLiteral("link."));
}

void tst_Reading::longRunIsReadInWindows()
{
    // A server that sends nothing but info lines: a block never reaches
    // across a window of rows, so finding one reads a bounded number.
    QList<QByteArray> lines;
    for (int i = 0; i < 3 * PageReader::ScanRows; ++i)
        lines.append("line " + QByteArray::number(i));
    const std::unique_ptr<CGopherDir> dir = directory(infoLines(lines), true);
    const PageReader reader(*dir, TextEncoding::Automatic);
    const PageReader::Block block = reader.blockAt(PageReader::ScanRows + 10);
    QCOMPARE(block, (PageReader::Block{PageReader::Block::Paragraph, PageReader::ScanRows,
                                       PageReader::ScanRows}));
    QCOMPARE(reader.nextBlock(10), PageReader::ScanRows);
}

QTEST_GUILESS_MAIN(tst_Reading)
#include "tst_reading.moc"
