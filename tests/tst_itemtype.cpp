#include "ui/itemtype.h"

#include "items/typetable.h"

#include <QComboBox>
#include <QTest>

class tst_ItemType: public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newChooserIsDirectory();
    void everyRowReadsBack_data();
    void everyRowReadsBack();
    void typesWithoutRowChangeNothing_data();
    void typesWithoutRowChangeNothing();
    void userChoiceIsRead();
    void noSelectionKeepsLastType();
};

void tst_ItemType::newChooserIsDirectory()
{
    QComboBox combo;
    CItemType chooser(combo);
    QCOMPARE(combo.count(), 19);
    QCOMPARE(combo.currentText(), QStringLiteral("Directory"));
    QCOMPARE(chooser.type(), '1');
    QCOMPARE(combo.itemText(0), QStringLiteral("Text file"));
    QCOMPARE(combo.itemText(4), QStringLiteral("Mac Binhex'd file"));
    QCOMPARE(combo.itemText(18), QStringLiteral("PDF file"));
}

void tst_ItemType::everyRowReadsBack_data()
{
    QTest::addColumn<char>("type");
    QTest::addColumn<QString>("shown");

    for (const TypeTable::ChooserRow &row : TypeTable::ChooserRows)
        QTest::addRow("type %c", row.type) << row.type << QString::fromLatin1(row.name);
    QTest::newRow("pdf shown by its chooser name") << 'P' << QStringLiteral("PDF file");
    QTest::newRow("telnet shown as session") << '8' << QStringLiteral("Telnet session");
}

void tst_ItemType::everyRowReadsBack()
{
    QFETCH(char, type);
    QComboBox combo;
    CItemType chooser(combo);
    QVERIFY(chooser.setType(type) < 19);
    QTEST(combo.currentText(), "shown");
    QCOMPARE(chooser.type(), type);
}

void tst_ItemType::typesWithoutRowChangeNothing_data()
{
    QTest::addColumn<char>("type");

    QTest::newRow("server error") << '3';
    QTest::newRow("inline") << 'i';
    QTest::newRow("attribute marker") << '$';
    QTest::newRow("unrecognised") << '!';
    QTest::newRow("NUL") << '\0';
}

void tst_ItemType::typesWithoutRowChangeNothing()
{
    QFETCH(char, type);
    QComboBox combo;
    CItemType chooser(combo);
    QCOMPARE(chooser.setType('g'), 12);
    QCOMPARE(chooser.setType(type), 19);
    QCOMPARE(combo.currentText(), QStringLiteral("GIF file"));
    QCOMPARE(chooser.type(), 'g');
}

void tst_ItemType::userChoiceIsRead()
{
    QComboBox combo;
    CItemType chooser(combo);
    combo.setCurrentIndex(combo.findText(QStringLiteral("Index search")));
    QCOMPARE(chooser.type(), '7');
}

void tst_ItemType::noSelectionKeepsLastType()
{
    QComboBox combo;
    CItemType chooser(combo);
    QVERIFY(chooser.setType('h') < 19);
    combo.setCurrentIndex(-1);
    QCOMPARE(chooser.type(), 'h');
}

QTEST_MAIN(tst_ItemType)
#include "tst_itemtype.moc"
