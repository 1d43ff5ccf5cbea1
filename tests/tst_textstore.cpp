#include "documents/boolsearch.h"
#include "documents/maxarray.h"
#include "documents/qtextdoc.h"
#include "documents/shortfilename.h"
#include "documents/userinterface.h"

#include <QTest>

#include <atomic>
#include <cstdlib>

// Work is checked by counting, not by the clock: the bytes a piece of code
// asks the allocator for show growth that is not geometric and copies made
// line by line, whatever the machine's load. The test program replaces the C
// allocator's entry points (as the C library allows a program to) and passes
// every call on to it. Under a sanitizer, which owns those entry points, the
// counts are not taken.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TWK_NO_ALLOCATION_COUNTS
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) \
    || __has_feature(memory_sanitizer)
#define TWK_NO_ALLOCATION_COUNTS
#endif
#endif

Q_DECLARE_METATYPE(TextEncoding)

namespace {

std::atomic<bool> countingAllocations{false};
std::atomic<qint64> allocatedBytes{0};

// Bytes requested from the allocator while one object lives.
class AllocationCount
{
public:
    AllocationCount()
    {
        allocatedBytes = 0;
        countingAllocations = true;
    }
    ~AllocationCount() { countingAllocations = false; }
    AllocationCount(const AllocationCount &) = delete;
    AllocationCount &operator=(const AllocationCount &) = delete;

    static bool available()
    {
#ifdef TWK_NO_ALLOCATION_COUNTS
        return false;
#else
        return true;
#endif
    }
    qint64 bytes() const { return allocatedBytes; }
};

void countAllocation(size_t size)
{
    if (countingAllocations.load(std::memory_order_relaxed))
        allocatedBytes.fetch_add(qint64(size), std::memory_order_relaxed);
}

} // namespace

#ifndef TWK_NO_ALLOCATION_COUNTS
extern "C" {
// glibc's own entry points, which its malloc, calloc, realloc and free are.
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *pointer, size_t size);
void __libc_free(void *pointer);

void *malloc(size_t size) noexcept
{
    countAllocation(size);
    return __libc_malloc(size);
}

void *calloc(size_t count, size_t size) noexcept
{
    countAllocation(count * size);
    return __libc_calloc(count, size);
}

void *realloc(void *pointer, size_t size) noexcept
{
    countAllocation(size);
    return __libc_realloc(pointer, size);
}

void free(void *pointer) noexcept
{
    __libc_free(pointer);
}
}
#endif

namespace {

const QByteArray tooManyLines("This implementation handles files with less than 32,767 lines");
const QByteArray operatorHelp("You used one of the search operators\n"
                              "AND, OR, NOT or ADJ.  Each of these requires two\n"
                              "arguments, for example:\n"
                              "University AND Kestova");

void feed(CQTextDoc &store, const QByteArray &text, qsizetype blockSize)
{
    for (qsizetype at = 0; at < text.size(); at += blockSize)
        store.AddText(QByteArrayView(text).sliced(at, std::min(blockSize, text.size() - at)));
}

QByteArray numberedLines(int count, const QByteArray &padding = QByteArray())
{
    QByteArray text;
    for (int i = 1; i <= count; ++i)
        text += "line " + QByteArray::number(i) + padding + "\r\n";
    return text;
}

} // namespace

class tst_TextStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void maxArrayAdd();
    void maxArraySetAtAndRemoveLast();
    void maxArraySecondPage();
    void maxArrayManyAdds();

    void lines_data();
    void lines();
    void lineLimit_data();
    void lineLimit();
    void pendingLimit();
    void reset();
    void largeTextInBlocks();

    void match_data();
    void match();
    void matchInEncoding_data();
    void matchInEncoding();
    void matchWithoutCaseCopiesNoLine();
    void refusedPattern_data();
    void refusedPattern();

    void shortFileName_data();
    void shortFileName();
};

void tst_TextStore::maxArrayAdd()
{
    CMaxArray array;
    array.Add("ab");
    array.Add("");
    array.Add("cde\r\n");
    QCOMPARE(array.lastIndex(), 3);
    QCOMPARE(array.totalCharacters(), 7);
    QCOMPARE(array.GetAt(2), QByteArray("cde\r\n"));
    QCOMPARE(array.GetAt(3), QByteArray());
    QCOMPARE(array.GetAt(-1), QByteArray());

    QByteArray buffer("head:");
    array.CopyTo(buffer);
    QCOMPARE(buffer, QByteArray("head:abcde\r\n"));

    // After Add the last index is a count: nothing is stored there.
    array.RemoveLast();
    QCOMPARE(array.lastIndex(), 3);
    QCOMPARE(array.GetAt(2), QByteArray("cde\r\n"));
}

void tst_TextStore::maxArraySetAtAndRemoveLast()
{
    CMaxArray array;
    array.SetAt(0, "zero");
    array.SetAt(1, "one");
    QCOMPARE(array.lastIndex(), 1);
    array.RemoveLast();
    QCOMPARE(array.lastIndex(), 0);
    QCOMPARE(array.GetAt(1), QByteArray());
    QCOMPARE(array.GetAt(0), QByteArray("zero"));

    array.SetAt(5, "five");
    QCOMPARE(array.lastIndex(), 5);
    QCOMPARE(array.GetAt(3), QByteArray());
    QCOMPARE(array.GetAt(5), QByteArray("five"));

    array.RemoveLast();
    array.RemoveLast(); // nothing at index 4 any more
    QCOMPARE(array.GetAt(5), QByteArray());
    QCOMPARE(array.GetAt(0), QByteArray("zero"));

    array.RemoveAll();
    QCOMPARE(array.lastIndex(), 0);
    QCOMPARE(array.totalCharacters(), 0);
    QCOMPARE(array.GetAt(0), QByteArray());
    array.Add("again");
    QCOMPARE(array.GetAt(0), QByteArray("again"));
}

void tst_TextStore::maxArraySecondPage()
{
    const qsizetype page = CMaxArray::PageSize;
    CMaxArray array;
    array.SetAt(page + 2, "far");
    QCOMPARE(array.lastIndex(), page + 2);
    QCOMPARE(array.GetAt(page + 2), QByteArray("far"));
    QCOMPARE(array.GetAt(page), QByteArray());
    QCOMPARE(array.GetAt(2), QByteArray());
    QCOMPARE(array.GetAt(2 * page + 2), QByteArray());

    array.RemoveLast();
    QCOMPARE(array.lastIndex(), page + 1);
    QCOMPARE(array.GetAt(page + 2), QByteArray());

    // Removing the first string of a page drops the page; it comes back on demand.
    array.SetAt(page, "first");
    array.RemoveLast();
    QCOMPARE(array.GetAt(page), QByteArray());
    array.SetAt(page, "back");
    QCOMPARE(array.GetAt(page), QByteArray("back"));
}

// Adding is amortised constant work: the pages grow geometrically, so the
// bytes asked of the allocator stay a small multiple of what is stored. A
// string handle and a copy of a short line fit in 256 bytes; a page grown by
// a fixed step costs thousands per string (checked as it goes, so such a
// fault fails at once instead of running for minutes).
void tst_TextStore::maxArrayManyAdds()
{
    constexpr int count = 200000;
    constexpr qint64 perString = 256;
    QList<QByteArray> lines;
    QByteArray expected;
    for (int i = 0; i < count; ++i) {
        lines.append(QByteArray::number(i) + "\r\n");
        expected += lines.last();
    }
    const bool counted = AllocationCount::available();
    CMaxArray array;
    QByteArray copied;
    {
        const AllocationCount adding;
        for (int i = 0; i < count; ++i) {
            array.Add(lines.at(i));
            if (counted && adding.bytes() > perString * (i + 1) + 4096)
                QFAIL(qPrintable(QStringLiteral("%1 bytes for %2 strings").arg(adding.bytes()).arg(i + 1)));
        }
    }
    {
        const AllocationCount copying;
        array.CopyTo(copied);
        // One buffer of the final size, not one per string.
        if (counted)
            QVERIFY2(copying.bytes() <= 2 * expected.size() + 4096,
                     QByteArray::number(copying.bytes()).constData());
    }
    QCOMPARE(array.lastIndex(), count);
    QCOMPARE(array.totalCharacters(), expected.size());
    QCOMPARE(copied, expected);
}

void tst_TextStore::lines_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArrayList>("lines"); // after Finish
    QTest::addColumn<int>("countBeforeFinish");
    QTest::addColumn<bool>("endedBeforeFinish");
    QTest::addColumn<int>("longest");

    QTest::newRow("crlf line ends") << QByteArray("one\r\ntwo\r\n")
                                    << QByteArrayList{"one", "two"} << 2 << false << 3;
    QTest::newRow("lf line ends") << QByteArray("one\ntwo\n")
                                  << QByteArrayList{"one", "two"} << 2 << false << 3;
    QTest::newRow("cr line ends, last cr waits") << QByteArray("one\rtwo\r")
                                                 << QByteArrayList{"one", "two"} << 1 << false << 3;
    QTest::newRow("lf then cr is two line ends") << QByteArray("a\n\rb\n")
                                                 << QByteArrayList{"a", "", "b"} << 3 << false << 1;
    QTest::newRow("cr cr lf is two line ends") << QByteArray("a\r\r\nb\n")
                                               << QByteArrayList{"a", "", "b"} << 3 << false << 1;
    QTest::newRow("form feed ends a line") << QByteArray("page one\fpage two\r\n")
                                           << QByteArrayList{"page one", "page two"} << 2 << false
                                           << 8;
    QTest::newRow("form feed before crlf") << QByteArray("a\f\r\nb\r\n")
                                           << QByteArrayList{"a", "", "b"} << 3 << false << 1;
    QTest::newRow("sub drops the rest of the line") << QByteArray("keep\x1a lost\r\nnext\r\n")
                                                    << QByteArrayList{"keep", "next"} << 2 << false
                                                    << 4;
    QTest::newRow("two dots kept") << QByteArray("..\r\n..more\r\n")
                                   << QByteArrayList{"..", "..more"} << 2 << false << 6;
    QTest::newRow("tabs and blanks kept") << QByteArray("a\tb  \r\n")
                                          << QByteArrayList{"a\tb  "} << 1 << false << 5;
    QTest::newRow("empty lines kept") << QByteArray("\r\n\r\n\n")
                                      << QByteArrayList{"", "", ""} << 3 << false << 0;
    QTest::newRow("dot line ends, still counted") << QByteArray("a\r\nb\r\n.\r\n")
                                                  << QByteArrayList{"a", "b", ""} << 3 << true << 1;
    QTest::newRow("dot line with lf") << QByteArray("a\n.\n")
                                      << QByteArrayList{"a", ""} << 2 << true << 1;
    QTest::newRow("text behind the dot line ignored") << QByteArray("a\r\n.\r\nlate\r\nx")
                                                      << QByteArrayList{"a", ""} << 2 << true << 1;
    QTest::newRow("dot and blank is text") << QByteArray(". \r\n")
                                           << QByteArrayList{". "} << 1 << false << 2;
    QTest::newRow("last line without line end") << QByteArray("a\r\nlast")
                                                << QByteArrayList{"a", "last"} << 1 << false << 4;
    QTest::newRow("lone cr at the end") << QByteArray("a\n\r")
                                        << QByteArrayList{"a", ""} << 1 << false << 1;
    QTest::newRow("last partial line has sub") << QByteArray("a\nb\x1a\x1a")
                                               << QByteArrayList{"a", "b"} << 1 << false << 1;
    QTest::newRow("dot without line end ends") << QByteArray("a\r\n.")
                                               << QByteArrayList{"a", ""} << 1 << false << 1;
    QTest::newRow("empty text") << QByteArray() << QByteArrayList{} << 0 << false << 0;
}

// Every block size must give the same lines: a server may split anywhere.
void tst_TextStore::lines()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArrayList, lines);
    QFETCH(int, countBeforeFinish);
    QFETCH(bool, endedBeforeFinish);
    QFETCH(int, longest);

    for (qsizetype blockSize = 1; blockSize <= std::max<qsizetype>(1, text.size()); ++blockSize) {
        RecordingUserInterface ui;
        CQTextDoc store(&ui);
        feed(store, text, blockSize);
        const QByteArray where = "block size " + QByteArray::number(blockSize);
        QVERIFY2(store.GetLineCount() == countBeforeFinish, where.constData());
        QVERIFY2(store.IsEnded() == endedBeforeFinish, where.constData());

        store.Finish();
        QVERIFY(store.IsEnded());
        QVERIFY2(store.GetLineCount() == lines.size(), where.constData());
        for (int i = 0; i < lines.size(); ++i)
            QVERIFY2(store.GetLine(i) == lines.at(i), QByteArray(where + " line " + QByteArray::number(i)).constData());
        QCOMPARE(store.GetLine(int(lines.size())), QByteArray());
        QCOMPARE(store.GetLongestLine(), longest);
        QCOMPARE(store.pendingLength(), 0);
        QVERIFY(ui.messages.isEmpty());

        store.Finish(); // a second end of transfer changes nothing
        QCOMPARE(store.GetLineCount(), int(lines.size()));
    }
}

void tst_TextStore::lineLimit_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("blockSize");
    QTest::addColumn<bool>("overflow");
    QTest::addColumn<QByteArray>("lastLine"); // line 32,767 (index 32,766) after Finish

    const QByteArray full = numberedLines(32767);
    QTest::newRow("32,767th line stored, message once") << full + "more\r\n.\r\n" << 4096 << true
                                                       << QByteArray("line 32767");
    QTest::newRow("32,767 lines in one block") << full + "more\r\n" << int(full.size() + 6) << true
                                               << QByteArray("line 32767");
    QTest::newRow("32,767th line without line end")
            << numberedLines(32766) + "tail" << 4096 << true << QByteArray("tail");
    QTest::newRow("32,766 lines and dot end normally")
            << numberedLines(32766) + ".\r\n" << 4096 << false << QByteArray();
}

void tst_TextStore::lineLimit()
{
    QFETCH(QByteArray, text);
    QFETCH(int, blockSize);
    QFETCH(bool, overflow);
    QFETCH(QByteArray, lastLine);

    RecordingUserInterface ui;
    CQTextDoc store(&ui);
    feed(store, text, blockSize);
    store.Finish();
    store.AddText("ignored\r\n");

    QCOMPARE(store.GetLineCount(), 32767);
    QCOMPARE(store.IsOverflow(), overflow);
    QCOMPARE(store.GetLine(0), QByteArray("line 1"));
    QCOMPARE(store.GetLine(32765), QByteArray("line 32766"));
    QCOMPARE(store.GetLine(32766), lastLine);
    QCOMPARE(store.GetLine(32767), QByteArray());
    if (overflow) {
        QCOMPARE(ui.messages.size(), 1);
        QCOMPARE(ui.messages.first().text, tooManyLines);
        QCOMPARE(ui.messages.first().icon, UserInterface::Exclamation);
    } else {
        QVERIFY(ui.messages.isEmpty());
    }
}

void tst_TextStore::pendingLimit()
{
    CQTextDoc store;
    // A line that reaches 32,767 characters keeps its first 32,766; the rest
    // of it, up to its line end, is dropped.
    store.AddText("start");
    store.AddText(QByteArray(CQTextDoc::MaxPending - 5, 'x'));
    QCOMPARE(store.pendingLength(), CQTextDoc::MaxPending - 1);
    store.AddText(" end\r\n");
    QCOMPARE(store.GetLineCount(), 1);
    QCOMPARE(store.GetLine(0), "start" + QByteArray(CQTextDoc::MaxPending - 6, 'x'));

    // One character less fits, and the line end that follows is not lost.
    store.AddText("start");
    store.AddText(QByteArray(CQTextDoc::MaxPending - 6, 'x'));
    QCOMPARE(store.pendingLength(), CQTextDoc::MaxPending - 1);
    store.AddText("\r\n");
    QCOMPARE(store.GetLineCount(), 2);
    QCOMPARE(store.GetLine(1).size(), CQTextDoc::MaxPending - 1);

    // A line that never ends keeps its memory bounded; the text goes on after it.
    for (int i = 0; i < 100; ++i) {
        store.AddText(QByteArray(4096, 'y'));
        QVERIFY(store.pendingLength() < CQTextDoc::MaxPending);
    }
    store.AddText("\r\nnext\r\n");
    QCOMPARE(store.GetLineCount(), 4);
    QCOMPARE(store.GetLine(2), QByteArray(CQTextDoc::MaxPending - 1, 'y'));
    QCOMPARE(store.GetLine(3), QByteArray("next"));

    // A large block holding line ends is split, not dropped.
    const QByteArray many = numberedLines(5000);
    QVERIFY(many.size() > CQTextDoc::MaxPending);
    store.AddText(many);
    QCOMPARE(store.GetLineCount(), 5004);
    QCOMPARE(store.GetLine(5003), QByteArray("line 5000"));
}

void tst_TextStore::reset()
{
    RecordingUserInterface ui;
    CQTextDoc store(&ui);
    store.AddText(QByteArray(numberedLines(32767) + "partial"));
    QVERIFY(store.IsOverflow());
    store.Reset();
    QCOMPARE(store.GetLineCount(), 0);
    QCOMPARE(store.GetLongestLine(), 0);
    QVERIFY(!store.IsEnded());
    QVERIFY(!store.IsOverflow());
    QCOMPARE(store.pendingLength(), 0);
    QCOMPARE(store.GetLine(0), QByteArray());
    store.AddText("fresh\r\n");
    QCOMPARE(store.GetLine(0), QByteArray("fresh"));
}

// A 2.4 MB text of 32,766 lines, in blocks from one byte to the whole text.
// The work stays in proportion to the text: only the partial line waits for
// the next block, and each line is copied once. The lines, their handles and
// a copy of one block come to a few times the text; copying the rest of a
// block after every line, or the partial line with every byte, costs tens to
// thousands of times (checked block by block, so such a fault fails at once).
void tst_TextStore::largeTextInBlocks()
{
    const QByteArray text = numberedLines(32766, QByteArray(62, '.')) + ".\r\n";
    QVERIFY(text.size() > 2400000);
    const qsizetype lineLength = 72 + 2;
    const bool counted = AllocationCount::available();
    for (const qsizetype blockSize : {qsizetype(1), qsizetype(7), qsizetype(4096),
                                      qsizetype(200 * 1024), text.size()}) {
        const QByteArray where = "block size " + QByteArray::number(blockSize);
        CQTextDoc store;
        {
            const AllocationCount feeding;
            for (qsizetype at = 0; at < text.size(); at += blockSize) {
                const qsizetype size = std::min(blockSize, text.size() - at);
                store.AddText(QByteArrayView(text).sliced(at, size));
                QVERIFY2(store.pendingLength() < lineLength, where.constData());
                if (counted && feeding.bytes() > 16 * (at + size) + 65536)
                    QFAIL(QByteArray(where + ": " + QByteArray::number(feeding.bytes())
                                     + " bytes for " + QByteArray::number(at + size))
                              .constData());
            }
            store.Finish();
            if (counted)
                QVERIFY2(feeding.bytes() <= 16 * text.size(), where.constData());
        }
        QCOMPARE(store.GetLineCount(), 32767);
        QCOMPARE(store.GetLine(32765), QByteArray("line 32766" + QByteArray(62, '.')));
        QCOMPARE(store.GetLine(32766), QByteArray());
        QCOMPARE(store.GetLongestLine(), 72);
    }
}

void tst_TextStore::match_data()
{
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("matches");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");

    QTest::newRow("plain, any case") << QByteArray("gopher") << false
                                     << QByteArray("The Gopher Protocol") << true << 4 << 10;
    QTest::newRow("plain, match case misses") << QByteArray("gopher") << true
                                              << QByteArray("The Gopher Protocol") << false << -1 << -1;
    QTest::newRow("plain, match case hits") << QByteArray("Gopher") << true
                                            << QByteArray("The Gopher") << true << 4 << 10;
    QTest::newRow("plain pattern not trimmed") << QByteArray(" gopher") << false
                                               << QByteArray("Gopher first") << false << -1 << -1;
    QTest::newRow("and, right term first") << QByteArray("University AND Kestova") << false
                                           << QByteArray("Kestova State University") << true << 0
                                           << 24;
    QTest::newRow("and, one term missing") << QByteArray("University AND Kestova") << false
                                           << QByteArray("University of Nowhere") << false << -1
                                           << -1;
    QTest::newRow("or, left only") << QByteArray("apple OR pear") << false
                                   << QByteArray("an apple") << true << 3 << 8;
    QTest::newRow("or, right only") << QByteArray("apple OR pear") << false
                                    << QByteArray("a pear") << true << 2 << 6;
    QTest::newRow("or, both as for and") << QByteArray("apple OR pear") << false
                                         << QByteArray("pear and apple") << true << 0 << 14;
    QTest::newRow("or, neither") << QByteArray("apple OR pear") << false
                                 << QByteArray("plum") << false << -1 << -1;
    QTest::newRow("not, right term absent") << QByteArray("gopher NOT plus") << false
                                            << QByteArray("a gopher menu") << true << 2 << 8;
    QTest::newRow("not, right term present") << QByteArray("gopher NOT plus") << false
                                             << QByteArray("gopher PLUS menu") << false << -1 << -1;
    QTest::newRow("adj, terms side by side") << QByteArray("gopher ADJ server") << false
                                             << QByteArray("a gopher server here") << true << 2
                                             << 15;
    QTest::newRow("adj, terms far apart") << QByteArray("gopher ADJ server") << false
                                          << QByteArray("gopher is not really a kind of server")
                                          << false << -1 << -1;
    QTest::newRow("adj, right term first") << QByteArray("server ADJ gopher") << false
                                           << QByteArray("a gopher server") << true << 2 << 15;
    QTest::newRow("adj, distance of half the line") << QByteArray("a1 ADJ b2") << false
                                                    << QByteArray("a1xxxxxxxxb2xxxxxxxx") << true
                                                    << 0 << 12;
    QTest::newRow("adj, half of an odd length rounds down")
            << QByteArray("a1 ADJ b2") << false << QByteArray("a1xxxxxxxxxb2xxxxxxxx") << false
            << -1 << -1;
    QTest::newRow("range covers a term holding the other") << QByteArray("gopher AND go") << false
                                                           << QByteArray("gopher") << true << 0 << 6;
    QTest::newRow("operator at position 0 is text") << QByteArray(" AND gopher") << false
                                                    << QByteArray("x and gopher") << true << 1
                                                    << 12;
    QTest::newRow("operator at position 0, no text") << QByteArray(" AND gopher") << false
                                                     << QByteArray("gopher") << false << -1 << -1;
    QTest::newRow("operator without blank after is text") << QByteArray("gopher AND") << false
                                                          << QByteArray("Gopher and more") << true
                                                          << 0 << 10;
    QTest::newRow("AND found before OR decides") << QByteArray("a OR b AND c") << false
                                                 << QByteArray("a or b c") << true << 0 << 8;
    QTest::newRow("AND decides, OR is part of a term") << QByteArray("a OR b AND c") << false
                                                       << QByteArray("a c") << false << -1 << -1;
    QTest::newRow("second operator stays in right term") << QByteArray("x AND y AND z") << false
                                                         << QByteArray("x y and z") << true << 0
                                                         << 9;
    QTest::newRow("blanks around operator trimmed") << QByteArray("gopher  AND \t server") << false
                                                    << QByteArray("gopher server") << true << 0
                                                    << 13;
    QTest::newRow("match case applies to terms") << QByteArray("Gopher AND Server") << true
                                                 << QByteArray("gopher server") << false << -1 << -1;
    QTest::newRow("lower case only for ascii") << QByteArray("\xc4") << false
                                               << QByteArray("\xe4") << false << -1 << -1;
}

void tst_TextStore::match()
{
    QFETCH(QByteArray, pattern);
    QFETCH(bool, matchCase);
    QFETCH(QByteArray, text);
    QFETCH(bool, matches);
    QFETCH(int, start);
    QFETCH(int, end);

    RecordingUserInterface ui;
    CBoolSearch search(&ui);
    search.SetMatchCase(matchCase);
    QVERIFY(search.SetPattern(pattern));
    QCOMPARE(search.Match(text), matches);
    QCOMPARE(search.GetMatchStart(), start);
    QCOMPARE(search.GetMatchEnd(), end);
    QVERIFY(ui.messages.isEmpty());
}

void tst_TextStore::matchInEncoding_data()
{
    QTest::addColumn<TextEncoding>("encoding");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("matches");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");

    using E = TextEncoding;
    const QByteArray archive("Old \xE1\xD2\xC8\xC9\xD7 1993");  // "Архив" in KOI8-R
    QTest::newRow("KOI8-R, Cyrillic without regard to case")
        << E::Koi8R << QStringLiteral(u"архив") << false << archive << true << 4 << 9;
    QTest::newRow("KOI8-R, Cyrillic case must match")
        << E::Koi8R << QStringLiteral(u"архив") << true << archive << false << -1 << -1;
    QTest::newRow("KOI8-R, terms joined by AND")
        << E::Koi8R << QStringLiteral(u"OLD AND АРХИВ") << false << archive << true << 0 << 9;
    QTest::newRow("CP437, box drawing")
        << E::Cp437 << QStringLiteral(u"╔═╗") << false << QByteArray("  \xC9\xCD\xBB") << true
        << 2 << 5;
    QTest::newRow("Latin-1, accented capital")
        << E::Latin1 << QStringLiteral(u"CAFÉ") << false << QByteArray("un caf\xE9") << true << 3
        << 7;
    QTest::newRow("Windows-1252, curly quotes")
        << E::Windows1252 << QStringLiteral(u"“x”") << false << QByteArray("a \x93x\x94") << true
        << 2 << 5;
    QTest::newRow("a character the encoding lacks matches nothing")
        << E::Latin1 << QStringLiteral(u"Жук") << false << QByteArray("\xC6\xD5\xCB") << false
        << -1 << -1;
    QTest::newRow("OR: the other term still matches")
        << E::Latin1 << QStringLiteral(u"Жук OR bug") << false << QByteArray("a bug") << true << 2
        << 5;
    QTest::newRow("NOT with a term the encoding lacks excludes nothing")
        << E::Latin1 << QStringLiteral(u"bug NOT Жук") << false << QByteArray("a bug") << true << 2
        << 5;
    QTest::newRow("Automatic keeps the typed UTF-8")
        << E::Automatic << QStringLiteral(u"café") << false << QByteArray("caf\xC3\xA9!") << true
        << 0 << 5;
    QTest::newRow("Automatic, a line that is not UTF-8 is Latin-1")
        << E::Automatic << QStringLiteral(u"café") << false << QByteArray("un caf\xE9") << true
        << 3 << 7;
}

void tst_TextStore::matchInEncoding()
{
    QFETCH(TextEncoding, encoding);
    QFETCH(QString, typed);
    QFETCH(bool, matchCase);
    QFETCH(QByteArray, text);

    RecordingUserInterface ui;
    CBoolSearch search(&ui);
    search.SetMatchCase(matchCase);
    search.SetEncoding(encoding);
    QVERIFY(search.SetPattern(typed.toUtf8()));
    QTEST(search.Match(text), "matches");
    QTEST(search.GetMatchStart(), "start");
    QTEST(search.GetMatchEnd(), "end");
    // The same search goes on to the next line with its own result.
    QVERIFY(!search.Match(QByteArray("nothing here")));
}

// Find goes through every line of a long text: the line lowered for a match
// without regard to case goes into one buffer the search keeps, not a copy
// per line.
void tst_TextStore::matchWithoutCaseCopiesNoLine()
{
    if (!AllocationCount::available())
        QSKIP("allocations are not counted under a sanitizer");
    CBoolSearch search;
    search.SetEncoding(TextEncoding::Koi8R);
    QVERIFY(search.SetPattern(QStringLiteral(u"Архив").toUtf8()));
    const QByteArray line(200, 'x');
    QVERIFY(!search.Match(line));
    qint64 bytes = 0;
    {
        const AllocationCount matching;
        for (int i = 0; i < 1000; ++i)
            (void)search.Match(line);
        bytes = matching.bytes();
    }
    QCOMPARE(bytes, 0);
}

void tst_TextStore::refusedPattern_data()
{
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<QByteArray>("message");

    QTest::newRow("empty pattern") << QByteArray() << QByteArray("Please enter a search pattern");
    QTest::newRow("AND without right term") << QByteArray("term AND ") << operatorHelp;
    QTest::newRow("OR with blank right term") << QByteArray("term OR \t ") << operatorHelp;
    QTest::newRow("NOT without right term") << QByteArray("term NOT ") << operatorHelp;
    QTest::newRow("ADJ without right term") << QByteArray("term ADJ ") << operatorHelp;
    QTest::newRow("blank left term") << QByteArray("  AND term") << operatorHelp;
}

void tst_TextStore::refusedPattern()
{
    QFETCH(QByteArray, pattern);
    QFETCH(QByteArray, message);

    RecordingUserInterface ui;
    CBoolSearch search(&ui);
    QVERIFY(!search.SetPattern(pattern));
    QCOMPARE(ui.messages.size(), 1);
    QCOMPARE(ui.messages.first().text, message);
    QCOMPARE(ui.messages.first().icon, UserInterface::Exclamation);
    QCOMPARE(search.GetMatchStart(), -1);
    QCOMPARE(search.GetMatchEnd(), -1);
}

void tst_TextStore::shortFileName_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("name");

    QTest::newRow("year, slash, mixed word, extension") << QByteArray("1994/Mixed.Word.ext")
                                                        << QByteArray("mixed");
    QTest::newRow("cut to eight characters") << QByteArray("1995/GopherServerList.txt")
                                             << QByteArray("gopherse");
    QTest::newRow("no allowed character") << QByteArray("!!! ???") << QByteArray();
    QTest::newRow("no allowed character before dot") << QByteArray("***.txt") << QByteArray();
    QTest::newRow("leading dot removed") << QByteArray(".profile") << QByteArray("profile");
    QTest::newRow("all dots") << QByteArray("....") << QByteArray();
    QTest::newRow("leading dots, then extension") << QByteArray("..foo.txt") << QByteArray("footxt");
    QTest::newRow("backslash separator") << QByteArray("C:\\GOPHER\\Readme.1st")
                                         << QByteArray("readme");
    QTest::newRow("slash before backslash") << QByteArray("a\\b/Last.txt") << QByteArray("last");
    QTest::newRow("trailing slash, whole source") << QByteArray("Docs/") << QByteArray("docs");
    QTest::newRow("nothing usable after slash") << QByteArray("About/!!!") << QByteArray("about");
    QTest::newRow("word just before the dot") << QByteArray("Read me now.txt") << QByteArray("now");
    QTest::newRow("odd character before the dot") << QByteArray("My File (2).txt")
                                                  << QByteArray("myfile2");
    QTest::newRow("blanks and punctuation skipped") << QByteArray("Hello, World!")
                                                    << QByteArray("hellowor");
    QTest::newRow("digits, hyphen, underscore") << QByteArray("V1_2-Beta") << QByteArray("v1_2-bet");
    QTest::newRow("leading hyphens left out") << QByteArray("--rf *") << QByteArray("rf");
    QTest::newRow("hyphens before the dot") << QByteArray("-x-.tar") << QByteArray("x-");
    QTest::newRow("only hyphens") << QByteArray("---") << QByteArray();
    QTest::newRow("non-ascii bytes skipped") << QByteArray("Caf\xc3\xa9 Menu")
                                             << QByteArray("cafmenu");
}

void tst_TextStore::shortFileName()
{
    QFETCH(QByteArray, source);
    QFETCH(QByteArray, name);
    QCOMPARE(MakeShortFileName(source), name);
}

QTEST_GUILESS_MAIN(tst_TextStore)
#include "tst_textstore.moc"
