#include "documents/replyframer.h"

#include <QTest>

using Header = ReplyFramer::Header;
Q_DECLARE_METATYPE(ReplyFramer::Header)

namespace {

struct Outcome
{
    QByteArray body;
    bool completeWhileOpen = false;
    Header header = Header::Pending;
    bool isShort = false;
    quint64 size = 0;
};

// Feeds the pieces, then (unless the reply ended by itself) the close.
Outcome run(const QList<QByteArray> &pieces, bool dotKind)
{
    ReplyFramer framer(dotKind);
    Outcome out;
    for (const QByteArray &piece : pieces)
        out.body += framer.feed(piece);
    out.completeWhileOpen = framer.isComplete();
    out.body += framer.finish();
    out.header = framer.header();
    out.isShort = framer.isShort();
    out.size = framer.announcedSize();
    return out;
}

QString describe(const QList<QByteArray> &pieces)
{
    QStringList parts;
    for (const QByteArray &p : pieces)
        parts << QString::number(p.size());
    return parts.join(QLatin1Char('+'));
}

} // namespace

class tst_ReplyFramer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void framing_data();
    void framing();
    void framerStartsAfresh();
};

void tst_ReplyFramer::framing_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("dotKind");    // a menu or a text: a headerless reply ends at "."
    QTest::addColumn<int>("header");
    QTest::addColumn<QByteArray>("body");  // what the document gets
    QTest::addColumn<bool>("complete");    // ended before the server closed
    QTest::addColumn<bool>("isShort");
    QTest::addColumn<quint64>("size");

    const QByteArray lines("ab\r\n.\r\ncd\r\n");
    auto row = [](const char *name, const QByteArray &reply, bool dotKind, Header header,
                  const QByteArray &body, bool complete, bool isShort = false, quint64 size = 0) {
        QTest::newRow(name) << reply << dotKind << int(header) << body << complete << isShort
                            << size;
    };

    // "+N": exactly N bytes are the item, however many arrive.
    row("+N exact", "+5\r\nHello", false, Header::ByteCount, "Hello", true, false, 5);
    row("+N overshoot: the rest is not the item", "+5\r\nHello world\r\n.\r\n", true,
        Header::ByteCount, "Hello", true, false, 5);
    row("+N keeps blank lines after its header", "+6\r\n\r\nab\r\n", true, Header::ByteCount,
        "\r\nab\r\n", true, false, 6);
    row("+N with LF alone", "+3\nabcdef", false, Header::ByteCount, "abc", true, false, 3);
    row("+N: a dot line is data", "+10\r\n.\r\nabcde\r\nzz", true, Header::ByteCount,
        ".\r\nabcde\r\n", true, false, 10);
    row("+0 is an empty item", "+0\r\nignored", false, Header::ByteCount, "", true, false, 0);
    row("+N short when the server closes", "+1000\r\nabc", false, Header::ByteCount, "abc",
        false, true, 1000);

    // "+-1" and "+-2".
    row("+-1 ends at the dot line", "+-1\r\n" + lines, false, Header::DotTerminated,
        "ab\r\n.\r\n", true);
    row("+-1 with LF alone", "+-1\nab\n.\nzz", false, Header::DotTerminated, "ab\n.\n", true);
    row("+-1 empty reply", "+-1\r\n.\r\n", false, Header::DotTerminated, ".\r\n", true);
    row("+-1: two dots are data", "+-1\r\n..\r\n.x\r\n", false, Header::DotTerminated,
        "..\r\n.x\r\n", false);
    row("+-1: dot after a lone CR", "+-1\r\na\r.\r\n", false, Header::DotTerminated,
        "a\r.\r\n", true);
    row("+-2 runs to the close", "+-2\r\n" + lines, true, Header::UntilClose, lines, false);

    // "+" without digits is a header without a size.
    row("+ alone: no size", "+\r\nabc\r\n.\r\n", true, Header::NoSize, "abc\r\n.\r\n", false);

    // Gopher+ error replies.
    row("--1 ends at the dot line", "--1\r\n1 admin\r\nGone\r\n.\r\nzz", false, Header::Error,
        "1 admin\r\nGone\r\n.\r\n", true);
    row("--2 runs to the close", "--2\r\n1 admin\r\n.\r\nzz", false, Header::ErrorUntilClose,
        "1 admin\r\n.\r\nzz", false);

    // No header.
    row("no header, menu or text: ends at the dot line", lines, true, Header::None,
        "ab\r\n.\r\n", true);
    row("no header, download: runs to the close", lines, false, Header::None, lines, false);
    row("no header, dot line and CR: waits for a LF", "ab\r\n.\r", true, Header::None,
        "ab\r\n.\r", false);
    row("no header, dot line ended by CR alone", "ab\r\n.\rzz", true, Header::None,
        "ab\r\n.\r", true);
    row("+12a is data", "+12a\r\nxyz", true, Header::None, "+12a\r\nxyz", false);
    row("--1 without its line end is data", "--1", false, Header::None, "--1", false);
    row("+5 without its line end is data", "+5", false, Header::None, "+5", false);
    row("twenty-one digits are data", "+123456789012345678901\r\nx", false, Header::None,
        "+123456789012345678901\r\nx", false);
    row("empty reply", "", true, Header::None, "", false);
}

// Every way of cutting the reply must give the same result: in one piece,
// byte by byte, and cut once at every position.
void tst_ReplyFramer::framing()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, dotKind);
    QFETCH(int, header);
    QFETCH(QByteArray, body);
    QFETCH(bool, complete);
    QFETCH(bool, isShort);
    QFETCH(quint64, size);

    QList<QList<QByteArray>> splits{{reply}};
    QList<QByteArray> bytes;
    for (const char c : reply)
        bytes.append(QByteArray(1, c));
    splits.append(bytes);
    for (qsizetype at = 1; at < reply.size(); ++at)
        splits.append({reply.left(at), reply.mid(at)});

    for (const QList<QByteArray> &pieces : std::as_const(splits)) {
        const Outcome out = run(pieces, dotKind);
        const QByteArray where = describe(pieces).toUtf8();
        QVERIFY2(out.body == body, QByteArray(where + ": " + out.body.toPercentEncoding()).constData());
        QVERIFY2(int(out.header) == header, where.constData());
        QVERIFY2(out.completeWhileOpen == complete, where.constData());
        QVERIFY2(out.isShort == isShort, where.constData());
        if (out.header == Header::ByteCount)
            QVERIFY2(out.size == size, where.constData());
    }
}

void tst_ReplyFramer::framerStartsAfresh()
{
    ReplyFramer framer(true);
    QCOMPARE(framer.feed("+3\r\nabcdef"), QByteArray("abc"));
    QVERIFY(framer.isComplete());
    framer.reset(false);
    QVERIFY(!framer.isComplete());
    QCOMPARE(framer.header(), Header::Pending);
    QCOMPARE(framer.feed("ab\r\n.\r\ncd"), QByteArray("ab\r\n.\r\ncd"));
    QCOMPARE(framer.bodyBytes(), 9u);
    QVERIFY(!framer.isComplete());
}

QTEST_GUILESS_MAIN(tst_ReplyFramer)

#include "tst_replyframer.moc"
