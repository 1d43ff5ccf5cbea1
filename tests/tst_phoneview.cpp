#include "app/tarnwickapp.h"
#include "documents/phonetext.h"
#include "documents/userinterface.h"
#include "ui/views/phoneview.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

namespace {

void feed(CPhoneText &book, const QByteArray &bytes)
{
    bool done = false;
    book.OnData(bytes, done);
}

} // namespace

class tst_PhoneView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fieldsFillTheFieldList();
    void doubleClickSelectsThePerson_data();
    void doubleClickSelectsThePerson();
};

void tst_PhoneView::fieldsFillTheFieldList()
{
    RecordingUserInterface ui;
    CTarnwickApp app(ui);
    CPhoneText book(app.context());
    CPhoneView view(&book, nullptr);
    QVERIFY(!view.searchButton()->isEnabled());
    QCOMPARE(view.searchButton()->text(), QStringLiteral("  Search  "));
    feed(book, "-200:1:name:Indexed Lookup\r\n-200:2:notes:Public\r\n-200:3:phone:Lookup\r\n");
    feed(book, "200:Ok.\r\n");
    QCOMPARE(view.fieldList()->count(), 2);
    QCOMPARE(view.fieldList()->itemText(1), QStringLiteral("phone"));
    QCOMPARE(view.responseList()->count(), 0);
    QVERIFY(view.searchButton()->isEnabled());

    // Choosing two fields in a row builds the query.
    view.fieldList()->activated(0);
    view.fieldList()->activated(1);
    QCOMPARE(view.queryEdit()->text(), QStringLiteral("name= phone="));
}

void tst_PhoneView::doubleClickSelectsThePerson_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QList<int>>("selected");

    // Lines: 0 " ", 1 "a: 1", 2 "b: 1", 3 " ", 4 "a: 2", 5 "b: 2"
    QTest::newRow("first person") << 2 << QList<int>{0, 1, 2};
    QTest::newRow("last person") << 4 << QList<int>{3, 4, 5};
    QTest::newRow("on a separator") << 3 << QList<int>{3, 4, 5};
}

void tst_PhoneView::doubleClickSelectsThePerson()
{
    QFETCH(int, row);
    QFETCH(QList<int>, selected);
    RecordingUserInterface ui;
    CTarnwickApp app(ui);
    CPhoneText book(app.context());
    CPhoneView view(&book, nullptr);
    feed(book, "200:Ok.\r\n");
    book.item() = CBookmark('2', "Staff", "", "127.0.0.1", 9);
    book.SetQuery("a=x");
    book.SendQuery();
    feed(book, "-200:1:a: 1\r\n-200:1:b: 1\r\n-200:2:a: 2\r\n-200:2:b: 2\r\n200:Ok.\r\n");
    QCOMPARE(view.responseList()->count(), 6);
    Q_EMIT view.responseList()->itemDoubleClicked(view.responseList()->item(row));
    QCOMPARE(view.selectedLines(), selected);
    QCOMPARE(book.findLine(), row);

    // Copy takes the selection.
    book.OnEditCopy();
    QCOMPARE(ui.clipboard.count('\n'), 3);
}

QTEST_MAIN(tst_PhoneView)
#include "tst_phoneview.moc"
