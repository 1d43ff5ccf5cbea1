#include "ui/qtuserinterface.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QMessageBox>
#include <QTest>

class tst_UserInterface : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void longTextsKeepTheBoxSmall_data();
    void longTextsKeepTheBoxSmall();
    void questionDefaultingToNo();
};

void tst_UserInterface::longTextsKeepTheBoxSmall_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("cut");

    QByteArray manyLines;
    for (int i = 1; i <= 3000; ++i)
        manyLines += "Line " + QByteArray::number(i) + " of the server's error text\r\n";
    QByteArray fortyLines;
    for (int i = 1; i <= 40; ++i)
        fortyLines += "Line " + QByteArray::number(i) + "\n";

    QTest::newRow("3,000 lines of a Gopher+ error") << manyLines << true;
    QTest::newRow("one endless line") << QByteArray(100000, 'x') << true;
    QTest::newRow("many short words") << QByteArray("word ").repeated(5000) << true;
    QTest::newRow("forty lines fit") << fortyLines << false;
    QTest::newRow("a few lines") << QByteArray("Connect error to host\n127.0.0.1\n[10061] Connection "
                                               "refused")
                                 << false;
}

// A server decides how long its error text is; the box must still fit on the
// screen, with the whole text one click away.
void tst_UserInterface::longTextsKeepTheBoxSmall()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, cut);

    QtUserInterface ui;
    const auto box = ui.makeMessageBox(text, UserInterface::Exclamation, UserInterface::Ok);
    QString whole = QString::fromLatin1(text);
    whole.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    const QString shown = box->text();
    QVERIFY(shown.count(QLatin1Char('\n')) <= QtUserInterface::MaxBoxLines);
    QVERIFY(shown.size() <= QtUserInterface::MaxBoxCharacters + 4);
    if (cut) {
        QVERIFY(shown.endsWith(QLatin1String("\n...")));
        QVERIFY(whole.startsWith(shown.chopped(4)));
        QCOMPARE(box->detailedText(), whole);
    } else {
        QCOMPARE(shown, whole);
        QVERIFY(box->detailedText().isEmpty());
    }
    QCOMPARE(box->icon(), QMessageBox::Warning);
}

// A question about handing a server's address to another program: Enter and
// Escape both answer No.
void tst_UserInterface::questionDefaultingToNo()
{
    QtUserInterface ui;
    const auto box = ui.makeMessageBox("Open it?", UserInterface::Question,
                                       UserInterface::YesNoDefaultNo);
    QCOMPARE(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(static_cast<QAbstractButton *>(box->defaultButton()), box->button(QMessageBox::No));
    box->show();
    QVERIFY(QTest::qWaitForWindowExposed(box.get()));
    QTest::keyClick(box.get(), Qt::Key_Return);
    QCOMPARE(box->result(), int(QMessageBox::No));
    RecordingUserInterface recorder;
    UserInterface &asked = recorder;
    QCOMPARE(asked.messageBox("Open it?", UserInterface::Question, UserInterface::YesNoDefaultNo),
             int(UserInterface::AnswerNo));
}

QTEST_MAIN(tst_UserInterface)
#include "tst_userinterface.moc"
