#include "items/bookmark.h"
#include "items/displaytext.h"
#include "items/itemrecords.h"
#include "items/textencoding.h"
#include "items/typetable.h"

#include <QSet>
#include <QStringDecoder>
#include <QTest>

using namespace ItemRecords;

namespace {

CBookmark makeItem(char type, const QByteArray &selector, const QByteArray &host, quint16 port,
                   bool gopherPlus = false, bool askForm = false)
{
    CBookmark item(type, QByteArray("Title"), selector, host, port);
    item.SetGopherPlus(gopherPlus);
    item.SetAskForm(askForm);
    return item;
}

// Bytes of a literal that holds NULs.
template<qsizetype N>
QByteArray raw(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

QByteArray allBytes()
{
    QByteArray bytes;
    for (int b = 0; b < 256; ++b)
        bytes += char(b);
    return bytes;
}

} // namespace

class tst_Items: public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parseMenuLine_data();
    void parseMenuLine();
    void parseMenuLineHuge();
    void normalize();
    void assign();
    void flagSettersWriteOwnBit();
    void plusAttributes();

    void typeName_data();
    void typeName();
    void templates_data();
    void templates();
    void chooserRows();

    void url_data();
    void url();
    void parseUrl_data();
    void parseUrl();
    void parseUrlTitle();
    void parseUrlWithoutUrlLeavesItem();
    void urlRoundTrip_data();
    void urlRoundTrip();
    void ipv6RoundTrip_data();
    void ipv6RoundTrip();
    void tlsTravelsWithTheItem_data();
    void tlsTravelsWithTheItem();

    void escape_data();
    void escape();
    void unescape_data();
    void unescape();
    void escapeRoundTripEveryByte();

    void itemText_data();
    void itemText();
    void itemTextFlags_data();
    void itemTextFlags();
    void recordsTextSeparatesRecords();

    void accepts_data();
    void accepts();
    void clipboardField_data();
    void clipboardField();
    void singleItemFromKeys();
    void singleItemFromRecordUsesUrl();
    void multiItemTwoRecords();
    void multiItemReader_data();
    void multiItemReader();
    void multiItemManyRecords();
    void keysOnlyAtLineStart_data();
    void keysOnlyAtLineStart();

    void filterHostName_data();
    void filterHostName();

    void display_data();
    void display();
    void decode_data();
    void decode();
    void cp437EveryByteItsOwnCharacter();
    void typedTextEncodesToTheShownBytes();
};

Q_DECLARE_METATYPE(TextEncoding)

void tst_Items::parseMenuLine_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<char>("type");
    QTest::addColumn<QByteArray>("title");
    QTest::addColumn<QByteArray>("selector");
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("gopherPlus");
    QTest::addColumn<bool>("askForm");

    const auto row = [](const char *name, const QByteArray &line, char type, const QByteArray &title,
                        const QByteArray &selector, const QByteArray &host, int port,
                        bool plus = false, bool ask = false) {
        QTest::newRow(name) << line << type << title << selector << host << port << plus << ask;
    };
    row("text item, host lower-cased", "0About\t/about.txt\tHost.Example.ORG\t70", '0', "About",
        "/about.txt\r\n", "host.example.org", 70);
    row("gopher+ directory with empty selector", "1Dir\t\thost\t70\t+", '1', "Dir", "\r\n", "host",
        70, true);
    row("ask field sets ask form and gopher+", "0Form\tsel\thost\t70\t?", '0', "Form", "sel\r\n",
        "host", 70, true, true);
    row("telnet with empty port gets 23", "8Login\t\thost\t", '8', "Login", "\r\n", "host", 23);
    row("tn3270 with port 0 gets 23", "TLogin\t\thost\t0", 'T', "Login", "\r\n", "host", 23);
    row("text with empty port becomes error item", "0Login\t\thost\t", '3', "Login", "\r\n", "host",
        0);
    row("empty first field", "\tsel\thost\t70", '!', "<missing title>", "sel\r\n", "host", 70);
    row("unknown type keeps whole field as title", "xWeird\tsel\thost\t70", '!', "xWeird",
        "sel\r\n", "host", 70);
    row("info line with port 1 stays info", "iHello\t\terror.host\t1", 'i', "Hello", "\r\n",
        "error.host", 1);
    row("info line with port 0 becomes error item", "iHello\tfake\t(NULL)\t0", '3', "Hello",
        "fake\r\n", "(null)", 0);
    row("type character only gives empty title", "1\tsel\thost\t70", '1', QByteArray(), "sel\r\n",
        "host", 70);
    row("no tab at all", "just text", '3', "just text", "\r\n", "error", 0);
    row("selector holding CR gets no line end", "0T\ta\rb\thost\t70", '0', "T", "a\rb", "host", 70);
    row("selector holding LF gets no line end", "0T\ta\nb\thost\t70", '0', "T", "a\nb", "host", 70);
    row("port followed by letters", "0T\ts\thost\t70abc", '0', "T", "s\r\n", "host", 70);
    row("port above 65535 keeps low 16 bits", "0T\ts\thost\t65606", '0', "T", "s\r\n", "host", 70);
    row("port beyond 32 bits keeps low 16 bits", "0T\ts\thost\t4294967366", '0', "T", "s\r\n",
        "host", 70);
    row("port beyond 64 bits keeps low 16 bits", "0T\ts\thost\t99999999999999999999999", '0', "T",
        "s\r\n", "host", 65535);
    row("port with leading blanks and plus sign", "0T\ts\thost\t  +7070", '0', "T", "s\r\n", "host",
        7070);
    row("negative port wraps to 16 bits", "0T\ts\thost\t-70", '0', "T", "s\r\n", "host", 65466);
    row("port not a number", "0T\ts\thost\tseventy", '3', "T", "s\r\n", "host", 0);
    row("fields after the fifth are ignored", "0T\ts\thost\t70\t+\t?", '0', "T", "s\r\n", "host", 70,
        true);
    row("host bytes above 0x7F are not lower-cased", "0T\ts\tH\xD6ST\xC3\x84.Org\t70", '0', "T",
        "s\r\n", "h\xD6st\xC3\x84.org", 70);
    row("NUL bytes in every field", raw("\0ab\ts\0l\th\0st\t7\0" "0"), '!', raw("\0ab"),
        raw("s\0l\r\n"), raw("h\0st"), 7);
    row("NUL after a type character", raw("0\0\ts\th\t70"), '0', raw("\0"), "s\r\n", "h", 70);
    row("only tabs", "\t\t\t\t\t\t\t", '3', "<missing title>", "\r\n", "error", 0);
    row("empty line", QByteArray(), '3', "<missing title>", "\r\n", "error", 0);
}

void tst_Items::parseMenuLine()
{
    QFETCH(QByteArray, line);
    CBookmark item;
    item.ParseMenuLine(line);
    QTEST(item.type, "type");
    QTEST(item.title, "title");
    QTEST(item.selector, "selector");
    QTEST(item.host, "host");
    QTEST(int(item.port), "port");
    QTEST(item.IsGopherPlus(), "gopherPlus");
    QTEST(item.IsAskForm(), "askForm");
    QCOMPARE(item.itemTag, 0xFFFF0000u);
    QCOMPARE(item.itemSize, 0u);
}

void tst_Items::parseMenuLineHuge()
{
    const QByteArray big(1024 * 1024, 'a');
    CBookmark item;
    const QByteArray line = QByteArray("0") + big + '\t' + big + "\thost\t70";
    item.ParseMenuLine(line);
    QCOMPARE(item.type, '0');
    QCOMPARE(item.title.size(), big.size());
    QCOMPARE(item.selector.size(), big.size() + 2);
    QCOMPARE(item.port, quint16(70));

    // One field of a megabyte with no TAB, then a megabyte of TABs.
    item.ParseMenuLine(big);
    QCOMPARE(item.type, '3');
    QCOMPARE(item.title, big);
    QCOMPARE(item.host, QByteArray("error"));
    item.ParseMenuLine(QByteArray(1024 * 1024, '\t'));
    QCOMPARE(item.type, '3');
    QCOMPARE(item.title, QByteArray("<missing title>"));
    QCOMPARE(item.selector, QByteArray("\r\n"));
}

void tst_Items::normalize()
{
    CBookmark item('1', QByteArray(), QByteArray("/pub"), QByteArray("Gopher.Example.ORG"), 7070);
    QCOMPARE(item.title, QByteArray("gopher.example.org:7070"));
    QCOMPARE(item.selector, QByteArray("/pub\r\n"));
    QCOMPARE(item.host, QByteArray("gopher.example.org"));

    item.SetGopherPlus(true);
    item.SetAskForm(true);
    item.itemSize = 1234;
    item.itemTag = 0x1234;
    item.Normalize();
    QCOMPARE(item.flags, quint8(0));
    QCOMPARE(item.itemSize, 0u);
    QCOMPARE(item.itemTag, 0xFFFF0000u);
    QCOMPARE(item.selector, QByteArray("/pub\r\n"));
    QCOMPARE(item.title, QByteArray("gopher.example.org:7070"));
}

void tst_Items::assign()
{
    CBookmark source('0', QByteArray("T"), QByteArray("s"), QByteArray("h"), 71);
    source.SetGopherPlus(true);
    source.itemSize = 99;
    source.attributeText = QByteArray("attrs");
    source.parentKey = QByteArray("<URL=gopher://h/>");
    source.itemTag = 0x12345678;
    source.viewLines = {QByteArray("Text/plain: <1k>")};

    CBookmark target;
    target.askLines = {QByteArray("Ask: kept")};
    target.viewLines = {QByteArray("old 1"), QByteArray("old 2")};
    target.Assign(source);
    QCOMPARE(target.type, '0');
    QCOMPARE(target.title, QByteArray("T"));
    QCOMPARE(target.selector, QByteArray("s\r\n"));
    QCOMPARE(target.host, QByteArray("h"));
    QCOMPARE(target.port, quint16(71));
    QVERIFY(target.IsGopherPlus());
    QCOMPARE(target.itemSize, 99u);
    QCOMPARE(target.attributeText, QByteArray("attrs"));
    QCOMPARE(target.parentKey, QByteArray("<URL=gopher://h/>"));
    QCOMPARE(target.itemTag, 0x12345678u);
    QCOMPARE(target.viewLines, QList<QByteArray>{QByteArray("Text/plain: <1k>")});
    // The source has no ask lines: the target keeps its own.
    QCOMPARE(target.askLines, QList<QByteArray>{QByteArray("Ask: kept")});
}

void tst_Items::flagSettersWriteOwnBit()
{
    CBookmark item;
    item.flags = 0;
    item.SetAskForm(true);
    QVERIFY(item.IsAskForm());
    QVERIFY(!item.IsGopherPlus());
    item.SetGopherPlus(true);
    QCOMPARE(item.flags, quint8(3));
    item.SetAskForm(false);
    QCOMPARE(item.flags, quint8(1));
    item.SetGopherPlus(false);
    QCOMPARE(item.flags, quint8(0));
}

void tst_Items::plusAttributes()
{
    CBookmark item('0', QByteArray("T"), QByteArray("s"), QByteArray("h"), 70);
    item.attributeText = QByteArray("Extended information:\r\n");
    QCOMPARE(item.GetPlusAttributes(), QByteArray());
    item.SetGopherPlus(true);
    QCOMPARE(item.GetPlusAttributes(), QByteArray("Extended information:\r\n"));
}

void tst_Items::typeName_data()
{
    QTest::addColumn<char>("type");
    QTest::addColumn<bool>("askForm");
    QTest::addColumn<QByteArray>("name");

    QTest::newRow("text") << '0' << false << QByteArray("Text");
    QTest::newRow("binhex keeps its old name") << '4' << false << QByteArray("Max Binhex");
    QTest::newRow("tn3270") << 'T' << false << QByteArray("3270 terminal session");
    QTest::newRow("movies") << ';' << false << QByteArray("Movies+");
    QTest::newRow("pdf is unknown by name") << 'P' << false << QByteArray("Unknown");
    QTest::newRow("server error") << '3' << false << QByteArray("Server error");
    QTest::newRow("inline") << 'i' << false << QByteArray("Inline");
    QTest::newRow("attribute marker") << '$' << false << QByteArray("Getting extended info ...");
    QTest::newRow("unrecognised line") << '!' << false << QByteArray("Unknown");
    QTest::newRow("other character") << 'x' << false << QByteArray("Unknown");
    QTest::newRow("NUL type") << '\0' << false << QByteArray("Unknown");
    QTest::newRow("ask form wins over text") << '0' << true << QByteArray("Ask form");
    QTest::newRow("ask form wins over directory") << '1' << true << QByteArray("Ask form");
}

void tst_Items::typeName()
{
    QFETCH(char, type);
    QFETCH(bool, askForm);
    CBookmark item(type, QByteArray("T"), QByteArray("s"), QByteArray("h"), 70);
    item.SetGopherPlus(askForm);
    item.SetAskForm(askForm);
    QTEST(item.GetTypeName(), "name");
}

void tst_Items::templates_data()
{
    QTest::addColumn<QByteArray>("types");
    QTest::addColumn<bool>("askForm");
    QTest::addColumn<int>("templateId");

    QTest::newRow("attribute marker") << QByteArray("$") << false << 362;
    QTest::newRow("text") << QByteArray("0") << false << 5;
    QTest::newRow("directory") << QByteArray("1") << false << 4;
    QTest::newRow("phone book") << QByteArray("2") << false << 8;
    QTest::newRow("server error") << QByteArray("3") << false << 11;
    QTest::newRow("downloads, pdf included") << QByteArray("4569:;<IMPghps") << false << 6;
    QTest::newRow("index search") << QByteArray("7") << false << 7;
    QTest::newRow("telnet and tn3270") << QByteArray("8T") << false << 9;
    QTest::newRow("inline and unknown") << QByteArray("i?!xw\xE9") << false << 10;
    QTest::newRow("ask form text opens ask window") << QByteArray("0") << true << 363;
    QTest::newRow("ask form of any type") << QByteArray("17$x") << true << 363;
}

void tst_Items::templates()
{
    QFETCH(QByteArray, types);
    QFETCH(bool, askForm);
    QFETCH(int, templateId);
    for (const char type : std::as_const(types))
        QCOMPARE(TypeTable::templateForType(type, askForm), templateId);
}

void tst_Items::chooserRows()
{
    QByteArray order;
    for (const TypeTable::ChooserRow &row : TypeTable::ChooserRows)
        order += row.type;
    QCOMPARE(order, QByteArray("01I245678T9sg:;<hMP"));
    QCOMPARE(QByteArray(TypeTable::ChooserRows[4].name), QByteArray("Mac Binhex'd file"));
    QCOMPARE(QByteArray(TypeTable::ChooserRows[14].name), QByteArray("Movie+"));
    QCOMPARE(QByteArray(TypeTable::ChooserRows[18].name), QByteArray("PDF file"));

    // A 'P' item: "Unknown" in its record, a download when opened.
    CBookmark pdf('P', QByteArray("Paper"), QByteArray("/p.pdf"), QByteArray("h"), 70);
    QVERIFY(pdf.GetItemText().endsWith("\r\n** Unknown **\r\n"));
    QCOMPARE(TypeTable::templateForType('P', false), int(TypeTable::XferTemplate));
}

void tst_Items::url_data()
{
    QTest::addColumn<char>("type");
    QTest::addColumn<QByteArray>("selector");
    QTest::addColumn<int>("port");
    QTest::addColumn<QByteArray>("url");

    const auto row = [](const char *name, char type, const QByteArray &selector, int port,
                        const QByteArray &url) {
        QTest::newRow(name) << type << selector << port << url;
    };
    row("directory, empty selector, port 70", '1', QByteArray(), 70, "<URL=gopher://host/>");
    row("directory, empty selector, port 7070", '1', QByteArray(), 7070,
        "<URL=gopher://host:7070/>");
    row("text with blank and slash", '0', "a b/c", 70, "<URL=gopher://host/0a%20b%2Fc>");
    row("safe characters unchanged", '0', "x.y-z", 70, "<URL=gopher://host/0x.y-z>");
    row("percent written as %25", '0', "50%", 70, "<URL=gopher://host/050%25>");
    row("gopher+ marker kept, line end dropped", '1', "sel\t+\r\n", 70,
        "<URL=gopher://host/1sel%09+>");
    row("text with empty selector keeps its type", '0', QByteArray(), 70, "<URL=gopher://host/0>");
    row("directory with selector", '1', "/pub", 65535, "<URL=gopher://host:65535/1%2Fpub>");
    row("nothing after the first line end", '0', "a\r\nb", 70, "<URL=gopher://host/0a>");
}

void tst_Items::url()
{
    QFETCH(char, type);
    QFETCH(QByteArray, selector);
    QFETCH(int, port);
    const CBookmark item(type, QByteArray("T"), selector, QByteArray("host"), quint16(port));
    QTEST(item.GetURL(), "url");
}

void tst_Items::parseUrl_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<char>("type");
    QTest::addColumn<QByteArray>("selector");
    QTest::addColumn<bool>("gopherPlus");

    const auto row = [](const char *name, const QByteArray &text, const QByteArray &host, int port,
                        char type, const QByteArray &selector, bool plus = false) {
        QTest::newRow(name) << text << host << port << type << selector << plus;
    };
    row("upper-case prefix, host lower-cased", "GOPHER://HOST/0/A", "host", 70, '0', "/A\r\n");
    row("an escaped line end ends the selector: no second request line",
        "gopher://host:25/1HELO%20x%0D%0AMAIL%20FROM:%3Ca@b%3E", "host", 25, '1', "HELO x\r\n");
    row("an escaped LF ends it too", "gopher://host/0/a%0Ab", "host", 70, '0', "/a\r\n");
    // A NUL is a byte like any other: the URL form writes it as %00.
    row("escaped NUL is a byte of the selector", "gopher://host/0/a%00b", "host", 70, '0',
        QByteArray("/a\0b\r\n", 6));
    row("port not a number gives 0", "gopher://host:abc/1/x", "host", 0, '1', "/x\r\n");
    row("bracketed URL in text", "see <URL=gopher://host/1/x%20y> here", "host", 70, '1',
        "/x y\r\n");
    row("host only", "gopher://Host.Example", "host.example", 70, '1', "\r\n");
    row("host and port only", "gopher://host:7070", "host", 7070, '1', "\r\n");
    row("trailing slash gives directory", "gopher://host:7070/", "host", 7070, '1', "\r\n");
    row("type without selector", "gopher://host/0", "host", 70, '0', "\r\n");
    row("gopher+ marker sets the flag", "<URL=gopher://host/1sel%09+>", "host", 70, '1',
        "sel\t+\r\n", true);
    row("attribute request marker sets the flag", "gopher://host/0a%09!", "host", 70, '0',
        "a\t!\r\n", true);
    row("directory request marker sets the flag", "gopher://host/1a%09$", "host", 70, '1',
        "a\t$\r\n", true);
    row("port above 65535 is no port", "gopher://host:65606/", "host", 0, '1', "\r\n");
    row("port never wraps to 16 bits", "gopher://host:108576/0x", "host", 0, '0', "x\r\n");
    row("huge port does not overflow", "gopher://host:99999999999999999999999/0x", "host", 0,
        '0', "x\r\n");
    row("highest port", "gopher://host:65535/0x", "host", 65535, '0', "x\r\n");
    row("port 0 is no port", "gopher://host:0/0x", "host", 0, '0', "x\r\n");
    row("ends at a double quote", "href=\"gopher://host/0a\">", "host", 70, '0', "a\r\n");
    row("lower-case prefix found before upper-case", "GOPHER://one/0a gopher://two/0b", "two", 70,
        '0', "b\r\n");
    row("bad escapes kept", "gopher://host/0100%", "host", 70, '0', "100%\r\n");
    row("bracketed IPv6 literal with port", "gopher://[::1]:7070/1/", "::1", 7070, '1', "/\r\n");
    row("bracketed IPv6 literal, lower-cased, default port", "<URL=gopher://[FE80::A:1]/0a%3Ab>",
        "fe80::a:1", 70, '0', "a:b\r\n");
    row("bracketed IPv6 literal only", "gopher://[2001:db8::7]", "2001:db8::7", 70, '1', "\r\n");
    row("bracketed IPv6 literal and port only", "gopher://[::1]:71", "::1", 71, '1', "\r\n");
    row("unclosed bracket read by the plain rule", "gopher://[::1/0x", "[", 0, '0', "x\r\n");
}

void tst_Items::parseUrl()
{
    QFETCH(QByteArray, text);
    CBookmark item;
    item.SetAskForm(true);
    item.ParseURL(text);
    QTEST(item.host, "host");
    QTEST(int(item.port), "port");
    QTEST(item.type, "type");
    QTEST(item.selector, "selector");
    QTEST(item.IsGopherPlus(), "gopherPlus");
    QVERIFY(!item.IsAskForm());
}

void tst_Items::parseUrlTitle()
{
    CBookmark titled('0', QByteArray("Mine"), QByteArray("x"), QByteArray("old"), 70);
    titled.ParseURL(QByteArray("gopher://new:71/1/y"));
    QCOMPARE(titled.title, QByteArray("Mine"));
    QCOMPARE(titled.host, QByteArray("new"));

    CBookmark fresh;
    fresh.ParseURL(QByteArray("gopher://New:71/1/y"));
    QCOMPARE(fresh.title, QByteArray("new:71"));
}

void tst_Items::parseUrlWithoutUrlLeavesItem()
{
    const CBookmark original('0', QByteArray("T"), QByteArray("s"), QByteArray("h"), 99);
    for (const QByteArray &text : {QByteArray("Gopher://host/"), QByteArray("http://host/"),
                                   QByteArray(), QByteArray("gopher:/host")}) {
        CBookmark item = original;
        item.ParseURL(text);
        QCOMPARE(item.host, original.host);
        QCOMPARE(item.port, original.port);
        QCOMPARE(item.type, original.type);
        QCOMPARE(item.selector, original.selector);
    }
}

void tst_Items::tlsTravelsWithTheItem_data()
{
    QTest::addColumn<QByteArray>("reader"); // "url", "single" or "multi"
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("urls");   // of the items read, joined by blanks

    CBookmark secure('0', "Secure", "/s", "tls.example", 7443);
    secure.tls = true;
    const CBookmark plain('1', "Plain", "/p", "plain.example", 70);
    QTest::newRow("gophers:// reads as TLS")
        << QByteArray("url") << QByteArray("gophers://tls.example/0/a") << QByteArray("<URL=gophers://tls.example/0%2Fa>");
    QTest::newRow("upper-case GOPHERS://")
        << QByteArray("url") << QByteArray("GOPHERS://TLS.EXAMPLE:7443/") << QByteArray("<URL=gophers://tls.example:7443/>");
    QTest::newRow("the first lower-case URL decides, TLS or not")
        << QByteArray("url") << QByteArray("GOPHERS://a/0x then gopher://b/0y") << QByteArray("<URL=gopher://b/0y>");
    QTest::newRow("a scheme that only starts like one is none")
        << QByteArray("url") << QByteArray("gophersx://a/0x gophers://b/0y") << QByteArray("<URL=gophers://b/0y>");
    QTest::newRow("the record of a TLS item, pasted into a form")
        << QByteArray("single") << secure.GetItemText() << secure.GetURL();
    QTest::newRow("records pasted into the editor keep TLS where it was")
        << QByteArray("multi") << ItemRecords::recordsText({secure, plain})
        << secure.GetURL() + ' ' + plain.GetURL();
    QTest::newRow("a record's URL naming another server does not make it TLS")
        << QByteArray("multi") << QByteArray("Host=plain.example\r\n<URL=gophers://other.example/>\r\n")
        << QByteArray("<URL=gopher://plain.example/>");
}

void tst_Items::tlsTravelsWithTheItem()
{
    QFETCH(QByteArray, reader);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, urls);
    QList<QByteArray> got;
    if (reader == "url") {
        CBookmark item;
        item.ParseURL(text);
        got.append(item.GetURL());
    } else if (reader == "single") {
        QVERIFY(ItemRecords::acceptsText(text));
        const ItemRecords::ItemFields fields = ItemRecords::readSingleItem(text);
        CBookmark item(fields.type, fields.title, fields.selector, fields.host, fields.port);
        item.tls = fields.tls;
        got.append(item.GetURL());
    } else {
        for (const CBookmark &item : ItemRecords::readItems(text))
            got.append(item.GetURL());
    }
    QCOMPARE(got.join(' '), urls);
}

void tst_Items::urlRoundTrip_data()
{
    QTest::addColumn<char>("type");
    QTest::addColumn<QByteArray>("selector");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("gopherPlus");

    const QList<std::pair<const char *, QByteArray>> selectors = {
        {"empty", QByteArray()},
        {"blanks", QByteArray(" a  b ")},
        {"percent", QByteArray("100% %41 %")},
        {"tab plus", QByteArray("/menu\t+")},
        {"high bytes", QByteArray("/caf\xC3\xA9/\xFF\x80")},
        {"equals and question mark", QByteArray("/cgi?a=b&c=d")},
        {"every safe character", QByteArray("$-_.+!*'()")},
        {"control bytes", QByteArray("\x01\x1F\x7F")},
    };
    for (const char type : {'0', '1', '7', '9'}) {
        for (const int port : {70, 7070, 65535}) {
            for (const auto &[name, selector] : selectors) {
                const bool plus = selector.contains("\t+");
                QTest::addRow("type %c, %s, port %d", type, name, port)
                    << type << selector << port << plus;
            }
        }
    }
}

void tst_Items::urlRoundTrip()
{
    QFETCH(char, type);
    QFETCH(QByteArray, selector);
    QFETCH(int, port);
    QFETCH(bool, gopherPlus);
    const CBookmark original = makeItem(type, selector, QByteArray("gopher.example.org"),
                                        quint16(port), gopherPlus);
    CBookmark copy;
    copy.ParseURL(original.GetURL());
    QCOMPARE(copy.host, original.host);
    QCOMPARE(copy.port, original.port);
    QCOMPARE(copy.type, original.type);
    QCOMPARE(copy.selector, original.selector);
    QCOMPARE(copy.IsGopherPlus(), original.IsGopherPlus());
}

// A host holding ':' is an IPv6 literal: URLs, titles and the clipboard
// record write it in brackets before a port, and every reader gives back the
// host without them.
void tst_Items::ipv6RoundTrip_data()
{
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<QByteArray>("title");

    QTest::newRow("loopback, default port")
        << QByteArray("::1") << 70 << QByteArray("<URL=gopher://[::1]/0sel%3A1>")
        << QByteArray("[::1]:70");
    QTest::newRow("documentation prefix, own port")
        << QByteArray("2001:db8::70") << 7070
        << QByteArray("<URL=gopher://[2001:db8::70]:7070/0sel%3A1>")
        << QByteArray("[2001:db8::70]:7070");
    QTest::newRow("mapped IPv4")
        << QByteArray("::ffff:127.0.0.1") << 71
        << QByteArray("<URL=gopher://[::ffff:127.0.0.1]:71/0sel%3A1>")
        << QByteArray("[::ffff:127.0.0.1]:71");
}

void tst_Items::ipv6RoundTrip()
{
    QFETCH(QByteArray, host);
    QFETCH(int, port);
    QFETCH(QByteArray, url);
    QFETCH(QByteArray, title);

    const CBookmark item('0', QByteArray(), QByteArray("sel:1"), host, quint16(port));
    QCOMPARE(item.title, title);
    QCOMPARE(item.GetURL(), url);

    CBookmark parsed;
    parsed.ParseURL(url);
    QCOMPARE(parsed.host, host);
    QCOMPARE(int(parsed.port), port);
    QCOMPARE(parsed.selector, QByteArray("sel:1\r\n"));
    QCOMPARE(parsed.GetURL(), url);

    // The clipboard record, through both readers.
    const QByteArray record = item.GetItemText();
    QVERIFY(record.contains(QByteArray("Host=" + host + "\r\n")));
    const ItemRecords::ItemFields fields = ItemRecords::readSingleItem(record);
    QCOMPARE(fields.host, host);
    QCOMPARE(int(fields.port), port);
    const QList<CBookmark> items = ItemRecords::readItems(ItemRecords::recordsText({item, item}));
    QCOMPARE(items.size(), 2);
    for (const CBookmark &read : items) {
        QCOMPARE(read.host, host);
        QCOMPARE(int(read.port), port);
        QCOMPARE(read.GetURL(), url);
    }
}

void tst_Items::escape_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("escaped");

    QTest::newRow("tab") << QByteArray("\t") << QByteArray("%09");
    QTest::newRow("blank") << QByteArray(" ") << QByteArray("%20");
    QTest::newRow("line end") << QByteArray("\r\n") << QByteArray("%0D%0A");
    QTest::newRow("slash and blank") << QByteArray("a b/c") << QByteArray("a%20b%2Fc");
    QTest::newRow("safe characters, letters and digits")
        << QByteArray("$-_.+!*'()AZaz09") << QByteArray("$-_.+!*'()AZaz09");
    QTest::newRow("reserved characters")
        << QByteArray("%=?:#&\"<>") << QByteArray("%25%3D%3F%3A%23%26%22%3C%3E");
    QTest::newRow("high bytes upper-case hex")
        << QByteArray("\x80\xAB\xFF") << QByteArray("%80%AB%FF");
    QTest::newRow("NUL") << raw("\0") << QByteArray("%00");
}

void tst_Items::escape()
{
    QFETCH(QByteArray, text);
    QTEST(CBookmark::EscapeSelector(text), "escaped");
}

void tst_Items::unescape_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("plain");

    QTest::newRow("escape in the middle") << QByteArray("a%41b") << QByteArray("aAb");
    QTest::newRow("lower-case digits") << QByteArray("%4a") << QByteArray("J");
    QTest::newRow("upper-case digits") << QByteArray("%4A") << QByteArray("J");
    QTest::newRow("no percent keeps white space")
        << QByteArray(" a b\t\r\n") << QByteArray(" a b\t\r\n");
    QTest::newRow("first white-space run is cut")
        << QByteArray("a \r\n\tb%20c d") << QByteArray("ab c d");
    QTest::newRow("only the first run is cut")
        << QByteArray("a b c%41") << QByteArray("ab cA");
    QTest::newRow("percent at the end") << QByteArray("ab%") << QByteArray("ab%");
    QTest::newRow("percent with one digit at the end") << QByteArray("ab%4") << QByteArray("ab%4");
    QTest::newRow("percent with non-hex digits") << QByteArray("%zz%4g") << QByteArray("%zz%4g");
    QTest::newRow("percent before an escape") << QByteArray("%%41") << QByteArray("%A");
    QTest::newRow("escaped percent is not decoded twice")
        << QByteArray("%2541") << QByteArray("%41");
    QTest::newRow("escaped NUL") << QByteArray("a%00b") << raw("a\0b");
}

void tst_Items::unescape()
{
    QFETCH(QByteArray, text);
    QTEST(CBookmark::UnescapeSelector(text), "plain");
}

void tst_Items::escapeRoundTripEveryByte()
{
    const QByteArray bytes = allBytes();
    for (const char c : bytes) {
        const QByteArray one(1, c);
        QCOMPARE(CBookmark::UnescapeSelector(CBookmark::EscapeSelector(one)), one);
    }
    const QByteArray escaped = CBookmark::EscapeSelector(bytes);
    QCOMPARE(CBookmark::UnescapeSelector(escaped), bytes);
    // The escaped form is plain text: nothing a URL reader would stop at.
    for (const char c : escaped)
        QVERIFY(c > ' ' && c < 0x7F && c != '"' && c != '>');
}

void tst_Items::itemText_data()
{
    QTest::addColumn<char>("type");
    QTest::addColumn<QByteArray>("title");
    QTest::addColumn<QByteArray>("selector");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("gopherPlus");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("gopher+ text")
        << '0' << QByteArray("About \xC3\xA9") << QByteArray("/about.txt\t+\r\n") << 7070 << true
        << QByteArray("Name=About \xC3\xA9\r\nType=0+\r\nPort=7070\r\nPath=/about.txt\r\nHost=host\r\n"
                      "<URL=gopher://host:7070/0%2Fabout.txt%09+>\r\n** Text **\r\n");
    QTest::newRow("search item")
        << '7' << QByteArray("Find") << QByteArray("/find\tword\r\n") << 70 << false
        << QByteArray("Name=Find\r\nType=7\r\nPort=70\r\nPath=/find\tword\r\nHost=host\r\n"
                      "<URL=gopher://host/7%2Ffind%09word>\r\n** Index search **\r\n");
}

void tst_Items::itemText()
{
    QFETCH(char, type);
    QFETCH(QByteArray, title);
    QFETCH(QByteArray, selector);
    QFETCH(int, port);
    QFETCH(bool, gopherPlus);
    CBookmark item(type, title, selector, QByteArray("host"), quint16(port));
    item.SetGopherPlus(gopherPlus);
    QTEST(item.GetItemText(), "text");

    // An item that never went through normalisation has no line end of its
    // own; its "Host=" line still starts a line.
    CBookmark raw;
    raw.type = type;
    raw.selector = QByteArray("/find");
    raw.host = QByteArray("host");
    raw.port = 70;
    QVERIFY(raw.GetItemText().contains("Path=/find\r\nHost=host\r\n"));
}

void tst_Items::itemTextFlags_data()
{
    QTest::addColumn<bool>("gopherPlus");
    QTest::addColumn<bool>("askForm");
    QTest::addColumn<QByteArray>("typeLine");
    QTest::addColumn<QByteArray>("nameLine");

    QTest::newRow("plain") << false << false << QByteArray("\r\nType=1\r\n")
                           << QByteArray("** Directory **\r\n");
    QTest::newRow("gopher+") << true << false << QByteArray("\r\nType=1+\r\n")
                             << QByteArray("** Directory **\r\n");
    QTest::newRow("ask form wins") << true << true << QByteArray("\r\nType=1?\r\n")
                                   << QByteArray("** Ask form **\r\n");
}

void tst_Items::itemTextFlags()
{
    QFETCH(bool, gopherPlus);
    QFETCH(bool, askForm);
    const CBookmark item = makeItem('1', QByteArray("/d"), QByteArray("h"), 70, gopherPlus,
                                    askForm);
    const QByteArray text = item.GetItemText();
    QFETCH(QByteArray, typeLine);
    QFETCH(QByteArray, nameLine);
    QVERIFY2(text.contains(typeLine), text.constData());
    QVERIFY2(text.endsWith(nameLine), text.constData());
}

void tst_Items::recordsTextSeparatesRecords()
{
    const CBookmark a = makeItem('0', QByteArray("a"), QByteArray("h"), 70);
    const CBookmark b = makeItem('1', QByteArray("b"), QByteArray("h"), 71);
    QCOMPARE(recordsText({a, b}), a.GetItemText() + "\r\n" + b.GetItemText() + "\r\n");
    QCOMPARE(recordsText({}), QByteArray());
}

void tst_Items::accepts_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("accepted");

    for (const char *mark : {"Name=", "Host=", "Port=", "Type=", "Path="}) {
        QTest::addRow("line starting %s", mark) << QByteArray("xx\r\n") + mark + " yy" << true;
        QTest::addRow("%s inside a line", mark) << QByteArray("xx ") + mark + " yy" << false;
    }
    for (const char *mark : {"gopher://", "GOPHER://"})
        QTest::addRow("holds %s", mark) << QByteArray("xx ") + mark + " yy" << true;
    QTest::newRow("mixed-case prefix") << QByteArray("Gopher://host/") << false;
    QTest::newRow("lower-case key") << QByteArray("name=x host=y") << false;
    QTest::newRow("key without equals") << QByteArray("Name: x") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void tst_Items::accepts()
{
    QFETCH(QByteArray, text);
    QTEST(acceptsText(text), "accepted");
}

void tst_Items::clipboardField_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");

    QTest::newRow("value up to the line end")
        << QByteArray("Name=Foo Bar\r\nHost=h\r\n") << QByteArray("Name=") << QByteArray("Foo Bar");
    QTest::newRow("value at the end of the text")
        << QByteArray("Name=Foo\r\nHost=h") << QByteArray("Host=") << QByteArray("h");
    QTest::newRow("first occurrence wins")
        << QByteArray("Host=a\nHost=b") << QByteArray("Host=") << QByteArray("a");
    QTest::newRow("missing key") << QByteArray("Name=Foo") << QByteArray("Host=") << QByteArray();
    QTest::newRow("value holding equals")
        << QByteArray("Path=/cgi?a=b\r\n") << QByteArray("Path=") << QByteArray("/cgi?a=b");
    QTest::newRow("URL from its prefix")
        << QByteArray("Host=h\r\n<URL=gopher://h/1x>\r\n** Directory **\r\n")
        << QByteArray("gopher://") << QByteArray("gopher://h/1x>");
    QTest::newRow("URL holding equals stays whole")
        << QByteArray("gopher://h/7/s?q=x\r\n") << QByteArray("gopher://")
        << QByteArray("gopher://h/7/s?q=x");
    QTest::newRow("bare URL ends at the line end")
        << QByteArray("gopher://h/1x\r\nName=Other\r\n") << QByteArray("gopher://")
        << QByteArray("gopher://h/1x");
    QTest::newRow("upper-case URL key")
        << QByteArray("GOPHER://H/0A") << QByteArray("GOPHER://") << QByteArray("GOPHER://H/0A");
}

void tst_Items::clipboardField()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, key);
    QTEST(GetClipboardField(text, key), "value");
}

void tst_Items::singleItemFromKeys()
{
    ItemFields fields = readSingleItem(
        QByteArray("Name=Menu\r\nType=1?+\r\nPort=7070x\r\nPath=/m\r\nHost=Host\r\n"));
    QCOMPARE(fields.title, QByteArray("Menu"));
    QCOMPARE(fields.type, '1');
    QVERIFY(fields.typeSet);
    QVERIFY(fields.gopherPlus);
    QVERIFY(fields.askForm);
    QCOMPARE(fields.port, quint16(7070));
    QCOMPARE(fields.selector, QByteArray("/m"));
    QCOMPARE(fields.host, QByteArray("Host"));
    QVERIFY(fields.url.isEmpty());

    fields = readSingleItem(QByteArray("Host=h\r\nPort=none\r\n"));
    QVERIFY(!fields.typeSet);
    QCOMPARE(fields.port, quint16(0));
    QVERIFY(!fields.gopherPlus);
    QVERIFY(!fields.askForm);
}

void tst_Items::singleItemFromRecordUsesUrl()
{
    const CBookmark item = makeItem('0', QByteArray("/a b\t+"), QByteArray("host"), 7070, true);
    ItemFields fields = readSingleItem(item.GetItemText());
    QCOMPARE(fields.url, QByteArray("gopher://host:7070/0%2Fa%20b%09+"));
    QCOMPARE(fields.title, QByteArray("host:7070"));
    QCOMPARE(fields.selector, QByteArray("/a b\t+\r\n"));
    QCOMPARE(fields.host, QByteArray("host"));
    QCOMPARE(fields.port, quint16(7070));
    QCOMPARE(fields.type, '0');
    QVERIFY(fields.typeSet);
    QVERIFY(fields.gopherPlus);
    QVERIFY(!fields.askForm);

    // Two records on the clipboard: the first URL is taken, not the next name.
    const CBookmark a = makeItem('1', QByteArray("/a"), QByteArray("one"), 70);
    const CBookmark b = makeItem('0', QByteArray("/b"), QByteArray("two"), 70);
    fields = readSingleItem(recordsText({a, b}));
    QCOMPARE(fields.host, QByteArray("one"));
    QCOMPARE(fields.selector, QByteArray("/a\r\n"));

    fields = readSingleItem(QByteArray("GOPHER://Two/0x\nName=Other"));
    QCOMPARE(fields.host, QByteArray("two"));
    QCOMPARE(fields.type, '0');
    QCOMPARE(fields.selector, QByteArray("x\r\n"));
}

void tst_Items::multiItemTwoRecords()
{
    const CBookmark a = makeItem('0', QByteArray("/a b"), QByteArray("one"), 70, true);
    CBookmark b = makeItem('1', QByteArray("/b"), QByteArray("two"), 7070);
    b.title = QByteArray("Second \xFF");
    const QList<CBookmark> items = readItems(recordsText({a, b}));
    QCOMPARE(items.size(), 2);
    for (int i = 0; i < 2; ++i) {
        const CBookmark &original = i == 0 ? a : b;
        QCOMPARE(items[i].title, original.title);
        QCOMPARE(items[i].type, original.type);
        QCOMPARE(items[i].selector, original.selector);
        QCOMPARE(items[i].host, original.host);
        QCOMPARE(items[i].port, original.port);
        QCOMPARE(items[i].IsGopherPlus(), original.IsGopherPlus());
    }
}

void tst_Items::multiItemReader_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected"); // per item: type, port, host, selector, title, flags

    QTest::newRow("host only gives directory on port 70")
        << QByteArray("Host=Gopher.Example\r\n")
        << QByteArray("1|70|gopher.example|\r\n|gopher.example:70|0;");
    QTest::newRow("type 1?+ sets only gopher+")
        << QByteArray("Type=1?+\r\nHost=h\r\n") << QByteArray("1|70|h|\r\n|h:70|1;");
    QTest::newRow("type 0? sets only ask form")
        << QByteArray("Type=0?\r\nHost=h\r\n") << QByteArray("0|70|h|\r\n|h:70|2;");
    QTest::newRow("bare URLs each on a line")
        << QByteArray("gopher://a/0x\r\ngopher://b:71/1y\r\n")
        << QByteArray("0|70|a|x\r\n|a:70|0;1|71|b|y\r\n|b:71|0;");
    QTest::newRow("upper-case URL")
        << QByteArray("see GOPHER://A/0X here") << QByteArray("0|70|a|X\r\n|a:70|0;");
    QTest::newRow("missing key taken from the next record")
        << QByteArray("Host=a\r\n\r\nName=B\r\nHost=b\r\n")
        << QByteArray("1|70|a|\r\n|B|0;1|70|b|\r\n|b:70|0;");
    QTest::newRow("empty host and no URL gives nothing")
        << QByteArray("Host=\r\nName=x\r\n") << QByteArray();
    QTest::newRow("no marks at all") << QByteArray("Name=x\r\nType=0\r\n") << QByteArray();
    QTest::newRow("empty text") << QByteArray() << QByteArray();
    QTest::newRow("port junk reads 0, so type kept")
        << QByteArray("Port=x\r\nType=0\r\nHost=h\r\n") << QByteArray("0|0|h|\r\n|h:0|0;");
}

void tst_Items::multiItemReader()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);
    QByteArray got;
    for (const CBookmark &item : readItems(text)) {
        got += item.type + QByteArray("|") + QByteArray::number(item.port) + '|' + item.host
            + '|' + item.selector + '|' + item.title + '|' + QByteArray::number(item.flags) + ';';
    }
    QCOMPARE(got, expected);
}

void tst_Items::multiItemManyRecords()
{
    // A long clipboard text of records that lack most keys must not be searched
    // to its end for every record.
    QByteArray text;
    const int count = 100000;
    for (int i = 0; i < count; ++i)
        text += "Host=h" + QByteArray::number(i) + "\r\n";
    const QList<CBookmark> items = readItems(text);
    QCOMPARE(items.size(), count);
    QCOMPARE(items.last().host, QByteArray("h99999"));
    QCOMPARE(items.last().port, quint16(70));
}

void tst_Items::keysOnlyAtLineStart_data()
{
    QTest::addColumn<QByteArray>("title");
    QTest::addColumn<QByteArray>("selector");

    QTest::newRow("title holding a host key") << QByteArray("Free Host=evil.example") << QByteArray("/x");
    QTest::newRow("title holding a URL") << QByteArray("see gopher://evil.example/1trap") << QByteArray("/x");
    QTest::newRow("title holding every key")
        << QByteArray("Name=n Type=7 Port=99 Path=/evil Host=evil.example GOPHER://EVIL/0x") << QByteArray("/x");
    QTest::newRow("selector holding a URL") << QByteArray("Link") << QByteArray("URL:gopher://evil.example/1");
    QTest::newRow("selector holding a host key") << QByteArray("Link") << QByteArray("/q?Host=evil.example");
}

void tst_Items::keysOnlyAtLineStart()
{
    // What a server puts in a title or selector is a value, never a key of
    // the record: a pasted item points where the record says.
    QFETCH(QByteArray, title);
    QFETCH(QByteArray, selector);
    CBookmark item = makeItem('0', selector, QByteArray("good.example"), 7070);
    item.title = title;

    const ItemFields fields = readSingleItem(item.GetItemText());
    QCOMPARE(fields.host, QByteArray("good.example"));
    QCOMPARE(fields.port, quint16(7070));
    QCOMPARE(fields.type, '0');
    QCOMPARE(fields.selector, selector + "\r\n");

    // Without the URL line, the keys themselves.
    QByteArray record = item.GetItemText();
    record.truncate(record.indexOf("<URL="));
    const ItemFields keys = readSingleItem(record);
    QCOMPARE(keys.host, QByteArray("good.example"));
    QCOMPARE(keys.title, title);
    QCOMPARE(keys.selector, selector);
    QCOMPARE(keys.port, quint16(7070));

    const QList<CBookmark> items = readItems(recordsText({item, item}));
    QCOMPARE(items.size(), 2);
    for (const CBookmark &read : items) {
        QCOMPARE(read.host, QByteArray("good.example"));
        QCOMPARE(read.port, quint16(7070));
        QCOMPARE(read.type, '0');
        QCOMPARE(read.title, title);
        QCOMPARE(read.selector, selector + "\r\n");
    }
}

void tst_Items::filterHostName_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("filtered");

    QTest::newRow("plain host kept") << QByteArray("gopher-1.example.org")
                                     << QByteArray("gopher-1.example.org");
    QTest::newRow("blanks, underscore, slash and colon dropped")
        << QByteArray(" my_host:70/x ") << QByteArray("myhost70x");
    QTest::newRow("upper case dropped") << QByteArray("ABCdef") << QByteArray("def");
    QTest::newRow("bytes above 0x7F and NUL dropped")
        << raw("h\xC3\xA9\0st") << QByteArray("hst");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("IPv6 literal kept") << QByteArray("2001:DB8::1") << QByteArray("2001:db8::1");
    QTest::newRow("IPv6 literal in brackets, stored without")
        << QByteArray(" [::1] ") << QByteArray("::1");
    QTest::newRow("bracketed name is no literal") << QByteArray("[host]:70")
                                                  << QByteArray("host70");
}

void tst_Items::filterHostName()
{
    QFETCH(QByteArray, text);
    QTEST(FilterHostName(text), "filtered");
}

void tst_Items::display_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("utf8");

    QTest::newRow("ASCII") << QByteArray("About") << QStringLiteral("About") << true;
    QTest::newRow("valid UTF-8") << QByteArray("Gr\xC3\xBC\xC3\x9F" "e")
                                 << QStringLiteral(u"Grüße") << true;
    QTest::newRow("Latin-1") << QByteArray("Gr\xFC\xDF" "e") << QStringLiteral(u"Grüße") << false;
    QTest::newRow("UTF-8 cut short at the end")
        << QByteArray("abc\xC3") << QStringLiteral(u"abcÃ") << false;
    QTest::newRow("overlong form is not UTF-8")
        << QByteArray("\xC0\xAF") << QStringLiteral(u"À¯") << false;
    QTest::newRow("encoded surrogate is not UTF-8")
        << QByteArray("\xED\xA0\x80") << QStringLiteral(u"í\u00A0\u0080") << false;
    QTest::newRow("byte order mark kept")
        << QByteArray("\xEF\xBB\xBFx") << QStringLiteral(u"\uFEFFx") << true;
    QTest::newRow("NUL kept") << raw("a\0b") << QString::fromUtf16(u"a\0b", 3) << true;
    QTest::newRow("empty") << QByteArray() << QString() << true;
}

void tst_Items::display()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(bool, utf8);
    QCOMPARE(displayText(bytes), text);
    // Text shown from valid UTF-8 goes back to the bytes the server sent.
    if (utf8)
        QCOMPARE(textBytes(text), bytes);
}

void tst_Items::decode_data()
{
    QTest::addColumn<TextEncoding>("encoding");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    using E = TextEncoding;
    QTest::newRow("CP437 box drawing")
        << E::Cp437 << QByteArray("\xC9\xCD\xBB\xBA \xC8\xCD\xBC\xC5\xB3")
        << QStringLiteral(u"╔═╗║ ╚═╝┼│");
    QTest::newRow("CP437 shades and blocks")
        << E::Cp437 << QByteArray("\xB0\xB1\xB2\xDB\xDC\xDF") << QStringLiteral(u"░▒▓█▄▀");
    QTest::newRow("CP437 PC glyphs, TAB and line ends kept")
        << E::Cp437 << QByteArray("\x01\x03\t\x1A\r\n\x7F") << QStringLiteral(u"☺♥\t→\r\n⌂");
    QTest::newRow("CP437 letters and Greek")
        << E::Cp437 << QByteArray("\x82\x9C\xE1\xE3\xF8\xFF") << QStringLiteral(u"é£ßπ°\u00A0");
    QTest::newRow("KOI8-R Cyrillic")
        << E::Koi8R << QByteArray("\xF0\xD2\xC9\xD7\xC5\xD4, \xED\xC9\xD2")
        << QStringLiteral(u"Привет, Мир");
    QTest::newRow("KOI8-R box drawing and yo")
        << E::Koi8R << QByteArray("\x80\x81\xA3\xB3") << QStringLiteral(u"─│ёЁ");
    QTest::newRow("Windows-1252 euro and quotes")
        << E::Windows1252 << QByteArray("\x80 5, \x93x\x94 \x85") << QStringLiteral(u"€ 5, “x” …");
    QTest::newRow("Windows-1252 Latin letters as Latin-1")
        << E::Windows1252 << QByteArray("caf\xE9") << QStringLiteral(u"café");
    QTest::newRow("Latin-1 keeps C1 bytes")
        << E::Latin1 << QByteArray("\x80\xE9") << QStringLiteral(u"\u0080é");
    QTest::newRow("Latin-1 forced on UTF-8 bytes")
        << E::Latin1 << QByteArray("caf\xC3\xA9") << QStringLiteral(u"cafÃ©");
    QTest::newRow("UTF-8 forced, invalid byte replaced")
        << E::Utf8 << QByteArray("a\xFF" "b") << QStringLiteral(u"a\uFFFDb");
    QTest::newRow("Automatic, valid UTF-8")
        << E::Automatic << QByteArray("caf\xC3\xA9") << QStringLiteral(u"café");
    QTest::newRow("Automatic, invalid UTF-8 read as Latin-1")
        << E::Automatic << QByteArray("caf\xE9 \xC3") << QStringLiteral(u"café Ã");
    for (const TextEncoding encoding : allTextEncodings) {
        QTest::addRow("%s, ASCII unchanged", encodingName(encoding).constData())
            << encoding << QByteArray("Menu 1: ~/x") << QStringLiteral("Menu 1: ~/x");
    }
}

void tst_Items::decode()
{
    QFETCH(TextEncoding, encoding);
    QFETCH(QByteArray, bytes);
    QTEST(decodeText(bytes, encoding), "text");
}

// Text typed to be found gives back, in each one-byte encoding, the very
// byte that shows each character; a character the encoding lacks gives none.
void tst_Items::typedTextEncodesToTheShownBytes()
{
    for (const TextEncoding encoding : allTextEncodings) {
        if (encoding == TextEncoding::Automatic || encoding == TextEncoding::Utf8) {
            QCOMPARE(encodeText(QStringLiteral(u"Жук"), encoding).value_or("?"),
                     QStringLiteral(u"Жук").toUtf8());
            continue;
        }
        for (int b = 0; b < 256; ++b) {
            const char byte = char(b);
            const QString shown = decodeText(QByteArrayView(&byte, 1), encoding);
            if (shown == QStringView(u"\uFFFD"))
                continue;
            QCOMPARE(encodeText(shown, encoding).value_or("?"), QByteArray(1, byte));
        }
    }
    QCOMPARE(encodeText(QStringLiteral(u"Жук"), TextEncoding::Koi8R).value_or("?"),
             QByteArray("\xF6\xD5\xCB"));
    QVERIFY(!encodeText(QStringLiteral(u"Жук"), TextEncoding::Latin1).has_value());
}

// A mistyped table shows as two bytes drawn alike or as a byte that does not
// match the published mapping (which ICU also carries, when Qt has it).
void tst_Items::cp437EveryByteItsOwnCharacter()
{
    const QByteArray all = allBytes();
    const QString text = decodeText(all, TextEncoding::Cp437);
    QCOMPARE(text.size(), 256);
    QCOMPARE(QSet<QChar>(text.cbegin(), text.cend()).size(), 256);
    QCOMPARE(text.mid(0x20, 0x5F), QString::fromLatin1(all.mid(0x20, 0x5F)));

    QStringDecoder system("IBM437");
    if (!system.isValid())
        QSKIP("Qt has no IBM437 converter here to compare the upper half with");
    const QString published = system.decode(all.mid(0x80));
    QCOMPARE(published.size(), 128);
    for (int b = 0x80; b < 0x100; ++b) {
        // 0xE6 is the micro sign in Unicode's table, Greek mu in ICU's.
        if (b != 0xE6)
            QCOMPARE(text.at(b), published.at(b - 0x80));
    }
    QCOMPARE(text.at(0xE6), QChar(0x00B5));
}

QTEST_GUILESS_MAIN(tst_Items)
#include "tst_items.moc"
