// What a screen reader reads: a text's offsets and caret, a menu's lines as items, paragraphs and pictures.

#include "app/tarnwickapp.h"
#include "documents/gopherdir.h"
#include "documents/pagereader.h"
#include "documents/qtextdoc.h"
#include "documents/textcaret.h"
#include "documents/textoffsets.h"
#include "documents/userinterface.h"
#include "net/transactionengine.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <tuple>

Q_DECLARE_METATYPE(TextPosition)
Q_DECLARE_METATYPE(TextCaret::Move)

namespace QTest {
template<> char *toString(const TextPosition &pos)
{
    return qstrdup(QByteArray(QByteArray::number(pos.line) + ":" + QByteArray::number(pos.column)).constData());
}
} // namespace QTest

namespace {

constexpr auto Auto = TextEncoding::Automatic;

CQTextDoc storeOf(const QByteArray &text)
{
    CQTextDoc store;
    store.setEndsAtDotLine(true);
    store.AddText(text);
    store.Finish();
    return store;
}

auto changeOf(const TextOffsets::Change &c) { return std::tuple(c.position, c.removedLength, c.inserted); }

QByteArray menuLine(char type, const QByteArray &title) { return type + title + "\t/x\tgopher.example.org\t70\r\n"; }

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
    void offsetsChangeWithTheStore();
    void caretMoves_data();
    void caretMoves();
    void caretComesBackIntoAShorterText();
    void artLines();
    void blocks_data();
    void blocks();
    void blockKeysSkipBlocks();

private:
    std::unique_ptr<CGopherDir> directory(const QByteArray &menu, bool authored = true);

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

void tst_Reading::offsetsFollowTheText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("encoding");
    const auto row = [](const char *name, const QByteArray &text, TextEncoding encoding) {
        QTest::newRow(name) << text << int(encoding);
    };
    row("UTF-8 takes several bytes a character", "caf\xc3\xa9 au lait\r\n\xe2\x94\x80\xe2\x94\x80\r\n\r\nend\r\n", Auto);
    row("a character beyond the BMP is two", "a\xf0\x9f\x90\x9f fish\r\nnext\r\n", TextEncoding::Utf8);
    row("one byte a character in Latin-1", "caf\xc3\xa9\r\n\xe9t\xe9\r\n", TextEncoding::Latin1);
    row("tabs stay characters, the last line has no line end", "a\tb\r\n\tc\r\ntwo", Auto);
}

void tst_Reading::offsetsFollowTheText()
{
    QFETCH(QByteArray, text);
    QFETCH(int, encoding);
    const auto enc = TextEncoding(encoding);
    const CQTextDoc store = storeOf(text);
    TextOffsets offsets;
    offsets.update(store, enc);
    QStringList lines;
    for (int i = 0; i < store.GetLineCount(); ++i)
        lines.append(decodeText(store.GetLine(i), enc));
    const QString whole = lines.join(QLatin1Char('\n'));
    QCOMPARE(offsets.characterCount(), int(whole.size()));

    // Every stretch reads as that stretch of the whole; every position reads back as its offset.
    for (int start = 0; start <= whole.size(); ++start) {
        QCOMPARE(offsets.text(store, start, start + 3), whole.mid(start, 3));
        const int line = offsets.lineAt(start);
        QCOMPARE(line, int(whole.left(start).count(QLatin1Char('\n'))));
        const TextPosition pos = offsets.positionOf(store, start);
        QCOMPARE(pos.line, line);
        if (start == whole.size() || !whole.at(start).isLowSurrogate())
            QCOMPARE(offsets.offsetOf(store, pos), start);
    }
}

void tst_Reading::offsetsChangeWithTheStore()
{
    CQTextDoc store;
    TextOffsets offsets;
    store.AddText("first\r\nsec");
    QCOMPARE(changeOf(offsets.update(store, Auto)), std::tuple(0, 0, true));
    QCOMPARE(offsets.characterCount(), 5);
    const TextOffsets::Change none = offsets.update(store, Auto);  // nothing new: nothing changed
    QVERIFY(!none.inserted && none.removedLength == 0);
    // A new line goes in after the last, with the "\n" that now ends it.
    store.AddText("ond\r\nthird\r\n.\r\n");
    QCOMPARE(changeOf(offsets.update(store, Auto)), std::tuple(5, 0, true));
    QCOMPARE(offsets.text(store, 5, 100), QStringLiteral("\nsecond\nthird\n."));
    // Once the text has ended the terminator line reads back empty.
    store.Finish();
    QCOMPARE(changeOf(offsets.update(store, Auto)), std::tuple(19, 1, true));
    QCOMPARE(offsets.text(store, 0, 100), QStringLiteral("first\nsecond\nthird\n"));
    // A reload empties the text: all of it goes.
    store.Reset();
    QCOMPARE(changeOf(offsets.update(store, Auto)), std::tuple(0, 19, false));
    QCOMPARE(offsets.lineAt(0), -1);

    // Another encoding counts afresh; the same bytes keep their position.
    const CQTextDoc cyrillic = storeOf("\xd0\xbc\xd0\xb8\xd1\x80\r\nok\r\n");
    offsets.update(cyrillic, Auto);
    QCOMPARE(offsets.characterCount(), 6);
    QCOMPARE(changeOf(offsets.update(cyrillic, TextEncoding::Latin1)), std::tuple(0, 6, true));
    QCOMPARE(offsets.characterCount(), 9);
    QCOMPARE(offsets.positionOf(cyrillic, 7), (TextPosition{0, 1}));
}

void tst_Reading::caretMoves_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<TextPosition>("from");
    QTest::addColumn<QList<TextCaret::Move>>("moves");
    QTest::addColumn<TextPosition>("to");

    QByteArray text("Gopher is a protocol,  older than the web.\r\n\r\nIt lives on.\r\n");
    const auto row = [&text](const char *name, TextPosition from, QList<TextCaret::Move> moves, TextPosition to) {
        QTest::newRow(name) << text << from << moves << to;
    };
    using C = TextCaret;
    row("right within a line", {2, 0}, {C::CharRight}, {3, 0});
    row("right at a line end goes to the next line", {42, 0}, {C::CharRight}, {0, 1});
    row("left at a line start goes to the line before", {0, 2}, {C::CharLeft}, {0, 1});
    row("left at the start stays", {0, 0}, {C::CharLeft}, {0, 0});
    row("word right to the next word", {1, 0}, {C::WordRight}, {7, 0});
    row("word right over punctuation and spaces", {12, 0}, {C::WordRight}, {23, 0});
    row("word right after the last word ends the line", {38, 0}, {C::WordRight}, {42, 0});
    row("word left at a word start goes to the word before", {10, 0}, {C::WordLeft}, {7, 0});
    row("word left from inside a word", {12, 0}, {C::WordLeft}, {10, 0});
    row("word left at a line start goes back a line", {0, 2}, {C::WordLeft}, {0, 1});
    row("line end", {3, 2}, {C::LineEnd}, {12, 2});
    row("text end", {3, 0}, {C::TextEnd}, {12, 2});
    row("down past the last line stays on it", {4, 2}, {C::LineDown}, {4, 2});
    row("a page down stops at the last line", {4, 0}, {C::PageDown}, {4, 2});
    text = "a\xc3\xa9\xf0\x9f\x90\x9f" "b\r\n";
    row("right over a two-byte character", {1, 0}, {C::CharRight}, {3, 0});
    row("right over a character beyond the BMP", {3, 0}, {C::CharRight}, {7, 0});
    row("left over a character beyond the BMP", {7, 0}, {C::CharLeft}, {3, 0});
    text = "a long first line\r\nab\r\n\r\nanother long line\r\n";
    row("down to a shorter line", {10, 0}, {C::LineDown}, {2, 1});
    row("down to an empty line", {10, 0}, {C::LineDown, C::LineDown}, {0, 2});
    row("down across short lines keeps the column", {10, 0}, {C::LineDown, C::LineDown, C::LineDown}, {10, 3});
    row("a move along the line sets the column anew", {10, 0}, {C::LineDown, C::LineStart, C::PageUp}, {0, 0});
    text.clear();
    row("nothing moves in an empty text", {0, 0}, {C::TextEnd}, {0, 0});
}

void tst_Reading::caretMoves()
{
    QFETCH(QByteArray, text);
    QFETCH(TextPosition, from);
    QFETCH(QList<TextCaret::Move>, moves);
    QFETCH(TextPosition, to);
    const CQTextDoc store = storeOf(text);
    TextCaret caret;
    caret.setPosition(store, Auto, from);
    QCOMPARE(caret.position(), from);
    bool moved = false;
    for (const TextCaret::Move move : moves)
        moved = caret.move(move, store, Auto, 10);
    QCOMPARE(moved, to != from);
    QCOMPARE(caret.position(), to);
}

void tst_Reading::caretComesBackIntoAShorterText()
{
    TextCaret caret;
    caret.setPosition(storeOf("one\r\ntwo\r\nthree\r\n"), Auto, {4, 2});
    caret.clamp(storeOf("x\r\n"), Auto);
    QCOMPARE(caret.position(), (TextPosition{1, 0}));
}

void tst_Reading::artLines()
{
    for (const QString &art : {u" +-----------------------------------+"_qs, u" |  T H E   T A R N   G A Z E T T E  |"_qs,
                               u"  ~~~/ \\~~~  ~~~~~~~  ~~~~~~~~~  ~~~~~"_qs, u" / _` | '_ \\| | | | '_ \\"_qs,
                               u"\u2554\u2550\u2550 Menu \u2550\u2550\u2557"_qs, u"MMMMMMM   MMMMMMM  ab"_qs,
                               u"\u28ff\u28f7\u28c0 \u28ff\u28ff"_qs})
        QVERIFY2(PageReader::isArtLine(art), qPrintable(art));
    for (const QString &prose : {u"A page written the way gopherholes are"_qs, u"== From the shelves =="_qs,
                                 u"\"+\" line after it names this one."_qs, u"Open 09:30 - 17:00, 12/05/2024"_qs,
                                 u"gopher://gopher.example.org/1/phlog"_qs, u"- eggs, milk and bread"_qs, u"     "_qs})
        QVERIFY2(!PageReader::isArtLine(prose), qPrintable(prose));
}

void tst_Reading::blocks_data()
{
    QTest::addColumn<QByteArray>("menu");
    QTest::addColumn<bool>("authored");
    QTest::addColumn<QStringList>("texts");

    QTest::addRow("a paragraph under a picture without a blank line")
        << infoLines({"#####  #####", "#   #  #", "#####  ####", "Words come after the", "drawing."}) << true
        << QStringList{u"Picture, 3 lines"_qs, u"#   #  #"_qs, u"#####  ####"_qs,
                       u"Words come after the drawing."_qs, u"drawing."_qs};
    QTest::addRow("a single rule is read as it is") << infoLines({"Heading", "-------", "Text under it."}) << true
        << QStringList{u"Heading ------- Text under it."_qs, u"-------"_qs, u"Text under it."_qs};
    QTest::addRow("items end paragraphs")
        << infoLines({"Before the", "link."}) + menuLine('0', "Notes") + infoLines({"After it."}) << true
        << QStringList{u"Before the link."_qs, u"link."_qs, u"Text: Notes"_qs, u"After it."_qs};
    QTest::addRow("blank lines end paragraphs") << infoLines({"One.", "", "Two."}) << true
                                                << QStringList{u"One."_qs, QString(), u"Two."_qs};
    // Without the author's layout the directories are not among the lines: no text joined across them.
    QTest::addRow("a plain menu reads lines alone")
        << infoLines({"=#=#=#=#", "#=#=#=#=", "Before the"}) + menuLine('1', "Dir") + infoLines({"link."}) << false
        << QStringList{u"Picture, 2 lines"_qs, u"#=#=#=#="_qs, u"Before the"_qs, u"link."_qs};
}

void tst_Reading::blocks()
{
    QFETCH(QByteArray, menu);
    QFETCH(bool, authored);
    QFETCH(QStringList, texts);
    const std::unique_ptr<CGopherDir> dir = directory(menu, authored);
    const PageReader reader(*dir, Auto);
    QCOMPARE(dir->listCount(), int(texts.size()));
    for (int row = 0; row < texts.size(); ++row)
        QCOMPARE(reader.textOf(row), texts.at(row));
}

void tst_Reading::blockKeysSkipBlocks()
{
    const std::unique_ptr<CGopherDir> dir = directory(
        infoLines({"/\\/\\/\\/\\", "\\/\\/\\/\\/", "", "", "Some text", "more"}) + menuLine('1', "A directory")
        + infoLines({""}));
    const PageReader reader(*dir, Auto);
    // Nothing after the last item but a blank line.
    QCOMPARE((QList<int>{reader.nextBlock(0), reader.nextBlock(5), reader.nextBlock(6)}), (QList<int>{4, 6, -1}));
    QCOMPARE((QList<int>{reader.previousBlock(6), reader.previousBlock(5), reader.previousBlock(4),
                         reader.previousBlock(0)}),
             (QList<int>{4, 4, 0, -1}));

    // Nothing but info lines: a block never reaches across a window of rows.
    QList<QByteArray> lines;
    for (int i = 0; i < 3 * PageReader::ScanRows; ++i)
        lines.append("line " + QByteArray::number(i));
    const std::unique_ptr<CGopherDir> run = directory(infoLines(lines));
    const PageReader runReader(*run, Auto);
    QCOMPARE(runReader.blockAt(PageReader::ScanRows + 10),
             (PageReader::Block{PageReader::Block::Paragraph, PageReader::ScanRows, PageReader::ScanRows}));
    QCOMPARE(runReader.nextBlock(10), PageReader::ScanRows);
}

QTEST_GUILESS_MAIN(tst_Reading)
#include "tst_reading.moc"
