#include "items/bookmark.h"

#include <QTest>

class tst_Attributes: public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
    void appendsToListsAndReplacesText();
    void hostileInput_data();
    void hostileInput();
};

void tst_Attributes::parse_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<QByteArray>>("views");
    QTest::addColumn<QList<QByteArray>>("asks");

    const QByteArray none("Extended information: <none>\r\n");

    QTest::newRow("admin and views blocks")
        << QByteArray("+INFO: 0About\t/about\thost\t70\t+\r\n"
                      "+ADMIN:\r\n"
                      " Admin: Pat <pat@example.org>\r\n"
                      " Mod-Date: <19950101000000>\r\n"
                      "+VIEWS:\r\n"
                      " Text/plain: <2k>\r\n"
                      ".\r\n")
        << QByteArray("Extended information:\r\n"
                      "Administrative info:\r\n"
                      "Admin: Pat <pat@example.org>\r\n"
                      "Mod-Date: <19950101000000>\r\n"
                      "Extended view info:\r\n"
                      "Text/plain: <2k>\r\n")
        << QList<QByteArray>{QByteArray("Text/plain: <2k>")} << QList<QByteArray>();
    QTest::newRow("only an info line")
        << QByteArray("+INFO: 1Menu\t\thost\t70\t+\r\n") << none << QList<QByteArray>()
        << QList<QByteArray>();
    QTest::newRow("one data line is not enough")
        << QByteArray("+ADMIN:\r\n Admin: Pat\r\n") << none << QList<QByteArray>()
        << QList<QByteArray>();
    QTest::newRow("two data lines are shown")
        << QByteArray("+ADMIN:\r\n Admin: Pat\r\n Mod-Date: x\r\n")
        << QByteArray("Extended information:\r\nAdministrative info:\r\nAdmin: Pat\r\n"
                      "Mod-Date: x\r\n")
        << QList<QByteArray>() << QList<QByteArray>();
    QTest::newRow("ask lines never shown")
        << QByteArray("+ASK:\r\n Ask: Name?\r\n Choose: Colour?\tred\tblue\r\n")
        << QByteArray("Extended information:\r\nAsk info was found\r\n") << QList<QByteArray>()
        << QList<QByteArray>{QByteArray("Ask: Name?"), QByteArray("Choose: Colour?\tred\tblue")};
    QTest::newRow("ask lines count as data lines, one alone does not")
        << QByteArray("+ASK:\r\n Ask: Name?\r\n") << none << QList<QByteArray>()
        << QList<QByteArray>{QByteArray("Ask: Name?")};
    QTest::newRow("unknown block shown as it stands")
        << QByteArray("+LOCAL-THING: yes\r\n one\r\n two\r\n")
        << QByteArray("Extended information:\r\n+LOCAL-THING: yes\r\none\r\ntwo\r\n")
        << QList<QByteArray>() << QList<QByteArray>();
    QTest::newRow("block name after other characters")
        << QByteArray("+X +VIEWS:\r\n a\r\n b\r\n")
        << QByteArray("Extended information:\r\nExtended view info:\r\na\r\nb\r\n")
        << QList<QByteArray>{QByteArray("a"), QByteArray("b")} << QList<QByteArray>();
    QTest::newRow("earlier name in the list wins")
        << QByteArray("+INFO+VIEWS\r\n a\r\n b\r\n")
        << QByteArray("Extended information:\r\na\r\nb\r\n") << QList<QByteArray>()
        << QList<QByteArray>();
    QTest::newRow("abstract block")
        << QByteArray("+ABSTRACT:\r\n First line\r\n Second line\r\n")
        << QByteArray("Extended information:\r\nAbstract:\r\nFirst line\r\nSecond line\r\n")
        << QList<QByteArray>() << QList<QByteArray>();
    QTest::newRow("blanks stripped, tabs kept")
        << QByteArray("+ABSTRACT:\r\n   spaced\r\n\ttabbed\r\n")
        << QByteArray("Extended information:\r\nAbstract:\r\nspaced\r\n\ttabbed\r\n")
        << QList<QByteArray>() << QList<QByteArray>();
    QTest::newRow("end marker alone counts nothing")
        << QByteArray("+-1\r\n.\r\n") << none << QList<QByteArray>() << QList<QByteArray>();
    QTest::newRow("dot ends the input")
        << QByteArray("+ABSTRACT:\r\n a\r\n.\r\n b\r\n c\r\n") << none << QList<QByteArray>()
        << QList<QByteArray>();
    QTest::newRow("text after the last line end ignored")
        << QByteArray("+VIEWS:\r\n a\r\n b\r\n c") << QByteArray("Extended information:\r\n"
                                                             "Extended view info:\r\na\r\nb\r\n")
        << QList<QByteArray>{QByteArray("a"), QByteArray("b")} << QList<QByteArray>();
    QTest::newRow("empty lines vanish")
        << QByteArray("\r\n+ABSTRACT:\r\n\r\n\n\r a\r\n\r\n\r\n b\r\n")
        << QByteArray("Extended information:\r\nAbstract:\r\na\r\nb\r\n") << QList<QByteArray>()
        << QList<QByteArray>();
    QTest::newRow("lone LF stays inside a line")
        << QByteArray("+ABSTRACT:\r\n a\nb\r\n c\r\n")
        << QByteArray("Extended information:\r\nAbstract:\r\na\nb\r\nc\r\n") << QList<QByteArray>()
        << QList<QByteArray>();
    QTest::newRow("data before any header")
        << QByteArray("one\r\ntwo\r\n") << QByteArray("Extended information:\r\none\r\ntwo\r\n")
        << QList<QByteArray>() << QList<QByteArray>();
    QTest::newRow("empty reply") << QByteArray() << none << QList<QByteArray>()
                                 << QList<QByteArray>();
}

void tst_Attributes::parse()
{
    QFETCH(QByteArray, reply);
    CBookmark item;
    item.ParseAttributes(reply);
    QTEST(item.attributeText, "text");
    QTEST(item.viewLines, "views");
    QTEST(item.askLines, "asks");
}

void tst_Attributes::appendsToListsAndReplacesText()
{
    CBookmark item;
    item.attributeText = QByteArray("old text");
    item.viewLines = {QByteArray("old view")};
    item.askLines = {QByteArray("Ask: old")};
    item.ParseAttributes(QByteArray("+VIEWS:\r\n new view\r\n+ASK:\r\n Ask: new\r\n"));
    QCOMPARE(item.attributeText,
             QByteArray("Extended information:\r\nExtended view info:\r\nnew view\r\n"
                        "Ask info was found\r\n"));
    QCOMPARE(item.viewLines, (QList<QByteArray>{QByteArray("old view"), QByteArray("new view")}));
    QCOMPARE(item.askLines, (QList<QByteArray>{QByteArray("Ask: old"), QByteArray("Ask: new")}));
}

void tst_Attributes::hostileInput_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("textSize");
    QTest::addColumn<int>("views");

    const QByteArray mega(1024 * 1024, 'x');
    QTest::newRow("a megabyte without a line end") << mega << 30 << 0;
    QTest::newRow("a megabyte of line ends") << QByteArray(1024 * 1024, '\n') << 30 << 0;
    QTest::newRow("a megabyte of blanks in one line")
        << QByteArray("+VIEWS:\r\n") + QByteArray(1024 * 1024, ' ') + "\r\n" + " v\r\n"
        << 23 + 21 + 2 + 3 << 2;
    QTest::newRow("a megabyte view line")
        << QByteArray("+VIEWS:\r\n ") + mega + "\r\n v\r\n" << 23 + 21 + mega.size() + 2 + 3
        << 2;
    QTest::newRow("NUL bytes")
        << QByteArray("+VIEWS:\r\n\0a\r\n\0b\r\n.\r\n", 20) << 23 + 21 + 4 + 4 << 2;
    QByteArray many("+VIEWS:\r\n");
    for (int i = 0; i < 100000; ++i)
        many += " v\r\n";
    QTest::newRow("many view lines") << many << 23 + 21 + 100000 * 3 << 100000;
}

void tst_Attributes::hostileInput()
{
    QFETCH(QByteArray, reply);
    CBookmark item;
    item.ParseAttributes(reply);
    QTEST(int(item.attributeText.size()), "textSize");
    QTEST(int(item.viewLines.size()), "views");
}

QTEST_GUILESS_MAIN(tst_Attributes)
#include "tst_attributes.moc"
