#include "documents/textmarker.h"

#include <QTest>

#include <optional>

Q_DECLARE_METATYPE(TextPosition)
Q_DECLARE_METATYPE(std::optional<WordRange>)

namespace {

// Starts marking at anchor and moves to current.
TextMarker dragged(TextPosition anchor, TextPosition current)
{
    TextMarker marker;
    marker.press(anchor, false);
    marker.move(current);
    return marker;
}

} // namespace

class tst_TextMarker : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pressShowsPosition_data();
    void pressShowsPosition();
    void pressWhileMarking();
    void pressWithCaptureElsewhere();
    void pressDropsMark();

    void markingText_data();
    void markingText();
    void moveWithoutPress();

    void clickShowsShare_data();
    void clickShowsShare();
    void backwardDragMarksInOrder();
    void releaseWithoutMarking();

    void scrollStepStaysInText_data();
    void scrollStepStaysInText();

    void wordAt_data();
    void wordAt();
    void wordCharacters_data();
    void wordCharacters();
    void selectWordMarks();
    void selectWordWithoutWordLeavesNoMark();
};

void tst_TextMarker::pressShowsPosition_data()
{
    QTest::addColumn<TextPosition>("pos");
    QTest::addColumn<QByteArray>("status");

    QTest::addRow("first cell counted from 1") << TextPosition{0, 0} << QByteArray("1:1 ...");
    QTest::addRow("line before column") << TextPosition{39, 11} << QByteArray("12:40 ...");
    QTest::addRow("last line of a full text")
        << TextPosition{0, 32765} << QByteArray("32766:1 ...");
}

void tst_TextMarker::pressShowsPosition()
{
    QFETCH(TextPosition, pos);
    QFETCH(QByteArray, status);

    TextMarker marker;
    QCOMPARE(marker.press(pos, false), status);
    QCOMPARE(marker.state(), TextMarker::Marking);
    QCOMPARE(marker.anchor(), pos);
    QCOMPARE(marker.current(), pos);
}

void tst_TextMarker::pressWhileMarking()
{
    TextMarker marker = dragged({2, 0}, {5, 1});
    QCOMPARE(marker.press({7, 3}, false), QByteArray("What!!!??? Left mouse down is not expected"));
    QCOMPARE(marker.state(), TextMarker::Marking);
    QCOMPARE(marker.anchor(), (TextPosition{2, 0}));
    QCOMPARE(marker.current(), (TextPosition{5, 1}));
}

void tst_TextMarker::pressWithCaptureElsewhere()
{
    TextMarker marker;
    QCOMPARE(marker.press({3, 4}, true), QByteArray("Some other window has captured the mouse"));
    QCOMPARE(marker.state(), TextMarker::NoMark);
    // No marking began, so a later button up reports nothing.
    QCOMPARE(marker.move({6, 4}), std::nullopt);
    QCOMPARE(marker.release(10), std::nullopt);
}

void tst_TextMarker::pressDropsMark()
{
    TextMarker marker;
    marker.setMarked({1, 1}, {4, 2});
    QCOMPARE(marker.press({3, 4}, true), QByteArray("Some other window has captured the mouse"));
    QCOMPARE(marker.state(), TextMarker::NoMark);

    marker.setMarked({1, 1}, {4, 2});
    QCOMPARE(marker.press({3, 4}, false), QByteArray("5:4 ..."));
    QCOMPARE(marker.state(), TextMarker::Marking);
    QCOMPARE(marker.start(), (TextPosition{3, 4}));
    QCOMPARE(marker.end(), (TextPosition{3, 4}));
}

void tst_TextMarker::markingText_data()
{
    QTest::addColumn<TextPosition>("anchor");
    QTest::addColumn<TextPosition>("current");
    QTest::addColumn<QByteArray>("status");

    QTest::addRow("forward on one line")
        << TextPosition{2, 0} << TextPosition{7, 0} << QByteArray("Marking 1:3 --> 1:8");
    QTest::addRow("forward to a later line with an earlier column")
        << TextPosition{9, 0} << TextPosition{4, 1} << QByteArray("Marking 1:10 --> 2:5");
    QTest::addRow("backward on one line")
        << TextPosition{7, 0} << TextPosition{2, 0} << QByteArray("Marking 1:3 <-- 1:8");
    QTest::addRow("backward to an earlier line with a later column")
        << TextPosition{4, 1} << TextPosition{9, 0} << QByteArray("Marking 1:10 <-- 2:5");
    QTest::addRow("back onto the anchor")
        << TextPosition{4, 1} << TextPosition{4, 1} << QByteArray("Marking 2:5 --> 2:5");
}

void tst_TextMarker::markingText()
{
    QFETCH(TextPosition, anchor);
    QFETCH(TextPosition, current);
    QFETCH(QByteArray, status);

    TextMarker marker;
    marker.press(anchor, false);
    QCOMPARE(marker.move(current), std::optional<QByteArray>(status));
    QCOMPARE(marker.anchor(), anchor);
    QCOMPARE(marker.current(), current);
}

void tst_TextMarker::moveWithoutPress()
{
    TextMarker marker;
    QCOMPARE(marker.move({3, 3}), std::nullopt);
    QCOMPARE(marker.state(), TextMarker::NoMark);
    marker.setMarked({0, 0}, {2, 0});
    QCOMPARE(marker.move({3, 3}), std::nullopt);
    QCOMPARE(marker.end(), (TextPosition{2, 0}));
}

void tst_TextMarker::clickShowsShare_data()
{
    QTest::addColumn<TextPosition>("pos");
    QTest::addColumn<int>("lineCount");
    QTest::addColumn<QByteArray>("status");

    QTest::addRow("first line of three")
        << TextPosition{0, 0} << 3 << QByteArray("1:1, 0.0%");
    QTest::addRow("second line of three, tenths cut not rounded")
        << TextPosition{4, 1} << 3 << QByteArray("2:5, 33.3%");
    QTest::addRow("third line of three")
        << TextPosition{0, 2} << 3 << QByteArray("3:1, 66.6%");
    QTest::addRow("half way") << TextPosition{0, 50} << 100 << QByteArray("51:1, 50.0%");
    QTest::addRow("single line") << TextPosition{12, 0} << 1 << QByteArray("1:13, 0.0%");
    QTest::addRow("last of a full text")
        << TextPosition{0, 32765} << 32766 << QByteArray("32766:1, 99.9%");
    QTest::addRow("tenths of a short text")
        << TextPosition{0, 1} << 8 << QByteArray("2:1, 12.5%");
    QTest::addRow("no lines counted") << TextPosition{0, 0} << 0 << QByteArray("1:1, 0.0%");
}

void tst_TextMarker::clickShowsShare()
{
    QFETCH(TextPosition, pos);
    QFETCH(int, lineCount);
    QFETCH(QByteArray, status);

    TextMarker marker;
    marker.press(pos, false);
    QCOMPARE(marker.release(lineCount), std::optional<QByteArray>(status));
    QCOMPARE(marker.state(), TextMarker::NoMark);
    QCOMPARE(TextMarker::positionText(pos, lineCount), status);
}

void tst_TextMarker::backwardDragMarksInOrder()
{
    TextMarker marker;
    QCOMPARE(marker.press({4, 1}, false), QByteArray("2:5 ..."));
    QCOMPARE(marker.move({2, 0}), std::optional<QByteArray>("Marking 1:3 <-- 2:5"));
    QCOMPARE(marker.release(3), std::optional<QByteArray>("Marked 1:3 --> 2:5"));
    QCOMPARE(marker.state(), TextMarker::Marked);
    QCOMPARE(marker.start(), (TextPosition{2, 0}));
    QCOMPARE(marker.end(), (TextPosition{4, 1}));
    QCOMPARE(marker.anchor(), (TextPosition{2, 0}));
    QCOMPARE(marker.markedText(), QByteArray("Marked 1:3 --> 2:5"));
}

void tst_TextMarker::releaseWithoutMarking()
{
    TextMarker marker;
    QCOMPARE(marker.release(3), std::nullopt);
    marker.setMarked({0, 0}, {3, 0});
    QCOMPARE(marker.release(3), std::nullopt);
    QCOMPARE(marker.state(), TextMarker::Marked);
}

void tst_TextMarker::scrollStepStaysInText_data()
{
    QTest::addColumn<TextPosition>("current");
    QTest::addColumn<int>("delta");
    QTest::addColumn<int>("lineLength");
    QTest::addColumn<TextPosition>("expected");
    QTest::addColumn<QByteArray>("status");

    QTest::addRow("one line up")
        << TextPosition{3, 5} << -1 << 40 << TextPosition{3, 4} << QByteArray("Marking 5:4 <-- 6:1");
    QTest::addRow("up at the first line stays")
        << TextPosition{3, 0} << -1 << 40 << TextPosition{3, 0} << QByteArray("Marking 1:4 <-- 6:1");
    QTest::addRow("one line down")
        << TextPosition{3, 7} << 1 << 40 << TextPosition{3, 8} << QByteArray("Marking 6:1 --> 9:4");
    QTest::addRow("down at the last line stays")
        << TextPosition{3, 9} << 1 << 40 << TextPosition{3, 9} << QByteArray("Marking 6:1 --> 10:4");
    QTest::addRow("column cut to a shorter line")
        << TextPosition{30, 7} << 1 << 2 << TextPosition{2, 8} << QByteArray("Marking 6:1 --> 9:3");
}

void tst_TextMarker::scrollStepStaysInText()
{
    QFETCH(TextPosition, current);
    QFETCH(int, delta);
    QFETCH(int, lineLength);
    QFETCH(TextPosition, expected);
    QFETCH(QByteArray, status);

    TextMarker marker = dragged({0, 5}, current);
    QCOMPARE(marker.scrollStep(delta, 9, lineLength), std::optional<QByteArray>(status));
    QCOMPARE(marker.current(), expected);

    TextMarker idle;
    QCOMPARE(idle.scrollStep(delta, 9, lineLength), std::nullopt);
}

void tst_TextMarker::wordAt_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("column");
    QTest::addColumn<std::optional<WordRange>>("word");

    using W = std::optional<WordRange>;
    QTest::addRow("first letter of a word") << QByteArray("hello world") << 0 << W({0, 5});
    QTest::addRow("inside a word") << QByteArray("hello world") << 8 << W({6, 11});
    QTest::addRow("last letter of a word") << QByteArray("hello world") << 4 << W({0, 5});
    QTest::addRow("space between two words takes the right one")
        << QByteArray("hello world") << 5 << W({6, 11});
    QTest::addRow("run of spaces takes the next word")
        << QByteArray("ab    cd ef") << 3 << W({6, 8});
    QTest::addRow("leading spaces take the first word")
        << QByteArray("   first second") << 0 << W({3, 8});
    QTest::addRow("trailing spaces take the last word to the left")
        << QByteArray("hello world   ") << 12 << W({6, 11});
    QTest::addRow("beyond the line end takes the last word")
        << QByteArray("hello world") << 40 << W({6, 11});
    QTest::addRow("opening parenthesis takes the dots after it")
        << QByteArray("(...)") << 0 << W({1, 4});
    QTest::addRow("closing parenthesis takes the next word")
        << QByteArray("(...) next") << 4 << W({6, 10});
    QTest::addRow("parenthesis at the end takes the word before")
        << QByteArray("see (this)") << 9 << W({5, 9});
    QTest::addRow("tab separates") << QByteArray("one\ttwo") << 3 << W({4, 7});
    QTest::addRow("vertical bar separates") << QByteArray("left|right") << 2 << W({0, 4});
    QTest::addRow("brackets and braces separate")
        << QByteArray("[a]{b}") << 2 << W({4, 5});
    QTest::addRow("address punctuation joins")
        << QByteArray("see gopher://host.example:70/1/x?y=z, then") << 10 << W({4, 37});
    QTest::addRow("quotes join") << QByteArray("say \"it's\" now") << 6 << W({4, 10});
    QTest::addRow("bytes beyond ASCII separate")
        << QByteArray("caf\xc3\xa9 au") << 1 << W({0, 3});
    QTest::addRow("line with no word character") << QByteArray(" ( ) [ ] { } | \t") << 2 << W();
    QTest::addRow("empty line") << QByteArray() << 0 << W();
}

void tst_TextMarker::wordAt()
{
    QFETCH(QByteArray, line);
    QFETCH(int, column);
    QFETCH(std::optional<WordRange>, word);

    const std::optional<WordRange> found = TextMarker::wordAt(line, column);
    QCOMPARE(found.has_value(), word.has_value());
    if (word) {
        QCOMPARE(found->start, word->start);
        QCOMPARE(found->end, word->end);
    }
}

void tst_TextMarker::wordCharacters_data()
{
    QTest::addColumn<char>("c");
    QTest::addColumn<bool>("word");

    for (char c : QByteArray("-_/\\'\"=+*&^%$#@!~`:;.,<>?"))
        QTest::addRow("'%c' joins", c) << c << true;
    for (char c : QByteArray("azAZ09"))
        QTest::addRow("'%c' joins", c) << c << true;
    for (char c : QByteArray(" ()[]{}|"))
        QTest::addRow("'%c' separates", c) << c << false;
    QTest::addRow("tab separates") << '\t' << false;
    QTest::addRow("DEL separates") << '\x7f' << false;
    QTest::addRow("byte 0xe9 separates") << '\xe9' << false;
}

void tst_TextMarker::wordCharacters()
{
    QFETCH(char, c);
    QFETCH(bool, word);

    QCOMPARE(TextMarker::isWordCharacter(c), word);
    const QByteArray line = QByteArray("ab") + c + "cd";
    const std::optional<WordRange> found = TextMarker::wordAt(line, 0);
    QVERIFY(found);
    QCOMPARE(found->end, word ? 5 : 2);
}

void tst_TextMarker::selectWordMarks()
{
    TextMarker marker;
    QVERIFY(marker.selectWord("hello world", 7, 5));
    QCOMPARE(marker.state(), TextMarker::Marked);
    QCOMPARE(marker.start(), (TextPosition{6, 7}));
    QCOMPARE(marker.end(), (TextPosition{11, 7}));
    QCOMPARE(marker.markedText(), QByteArray("Marked 8:7 --> 8:12"));
}

void tst_TextMarker::selectWordWithoutWordLeavesNoMark()
{
    TextMarker marker;
    marker.setMarked({0, 0}, {5, 0});
    QVERIFY(!marker.selectWord("   |   ", 2, 3));
    QCOMPARE(marker.state(), TextMarker::NoMark);
}

QTEST_GUILESS_MAIN(tst_TextMarker)
#include "tst_textmarker.moc"
