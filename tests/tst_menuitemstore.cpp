#include "documents/menuitemstore.h"

#include <QTest>

class tst_MenuItemStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void itemsAsParsed_data();
    void itemsAsParsed();
    void typeMarkAndIndex();
    void memoryStaysNearTheLineBytes();
};

void tst_MenuItemStore::itemsAsParsed_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("attributes");

    QTest::newRow("plain") << QByteArray("0About\t/about.txt\tExample.ORG\t70") << QByteArray();
    QTest::newRow("no title, no host")
        << QByteArray("1\t/x") << QByteArray();
    QTest::newRow("unknown type") << QByteArray("ZOdd\tsel\thost\t70") << QByteArray();
    QTest::newRow("gopher+ with attributes")
        << QByteArray("1Docs\t/docs\thost\t7070\t+")
        << QByteArray("+INFO: 1Docs\t/docs\thost\t7070\t+\r\n+ADMIN:\r\n Admin: Someone <a@b>\r\n"
                      "+VIEWS:\r\n text/plain: <1k>\r\n");
    QTest::newRow("ask form") << QByteArray("0Form\t/form\thost\t70\t?") << QByteArray();
    QTest::newRow("empty line") << QByteArray() << QByteArray();
}

void tst_MenuItemStore::itemsAsParsed()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, attributes);

    CBookmark expected;
    expected.ParseMenuLine(line);
    if (!attributes.isEmpty())
        expected.ParseAttributes(attributes);

    MenuItemStore store;
    store.append("iBefore\t\terror.host\t1");
    store.append(line, attributes);
    store.append("iAfter\t\terror.host\t1");
    QCOMPARE(store.count(), 3);
    const CBookmark got = store.item(1);
    QCOMPARE(got.type, expected.type);
    QCOMPARE(got.title, expected.title);
    QCOMPARE(got.selector, expected.selector);
    QCOMPARE(got.host, expected.host);
    QCOMPARE(got.port, expected.port);
    QCOMPARE(got.flags, expected.flags);
    QCOMPARE(got.attributeText, expected.attributeText);
    QCOMPARE(got.viewLines, expected.viewLines);
    QCOMPARE(got.askLines, expected.askLines);
    QCOMPARE(got.GetURL(), expected.GetURL());
    QCOMPARE(store.title(1), expected.title);
    QCOMPARE(store.item(2).title, QByteArray("After"));
}

void tst_MenuItemStore::typeMarkAndIndex()
{
    MenuItemStore store;
    store.append("1One\t/1\th\t70");
    store.append("1Two\t/2\th\t70");
    store.setType(1, '!');
    QCOMPARE(store.item(1).type, '!');
    QCOMPARE(store.item(0).type, '1');
    QCOMPARE(store.item(1, true).navigatorIndex, 1);
    QCOMPARE(store.item(1).navigatorIndex, 0);
    store.clear();
    QVERIFY(store.isEmpty());
    QCOMPARE(store.memoryUsed(), qsizetype(0));
}

void tst_MenuItemStore::memoryStaysNearTheLineBytes()
{
    // A large menu must cost little more than its own bytes: a heap object
    // per field showed up as the kernel clearing fresh pages.
    MenuItemStore store;
    qsizetype lineBytes = 0;
    constexpr int items = 100000;
    for (int i = 0; i < items; ++i) {
        const QByteArray line = "0Item number " + QByteArray::number(i) + "\t/files/item-"
                                + QByteArray::number(i) + ".txt\tgopher.example.org\t70";
        lineBytes += line.size();
        store.append(line);
    }
    QCOMPARE(store.count(), items);
    // The buffers grow by doubling, so up to twice the bytes may be reserved.
    QVERIFY2(store.memoryUsed() <= 2 * lineBytes + 150 * qsizetype(items),
             qPrintable(QString::number(store.memoryUsed())));
}

QTEST_GUILESS_MAIN(tst_MenuItemStore)
#include "tst_menuitemstore.moc"
