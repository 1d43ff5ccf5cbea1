#include "gplus/extendedviewtable.h"
#include "ui/gplus/extviewsdialog.h"
#include "ui/gplus/iteminfowindow.h"
#include "ui/gplus/languagesdialog.h"
#include "gplus/languagetable.h"
#include "ui/gplus/rankviewsdialog.h"
#include "ui/gplus/selectviewdialog.h"
#include "documents/userinterface.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {

CViewInfo view(const QByteArray &name, char type, int rank)
{
    return CViewInfo{name, QByteArray(), type, QByteArray(), rank};
}

QStringList texts(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out.append(list->item(i)->text());
    return out;
}

} // namespace

class tst_GplusDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void selectView_data();
    void selectView();
    void extendedViewsEdits();
    void cancelWithChangesAsks();
    void rankedOrder_data();
    void rankedOrder();
    void rankingButtons();
    void languageRename();
    void itemInfoInTheHostEncoding_data();
    void itemInfoInTheHostEncoding();
};

void tst_GplusDialogs::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_GplusDialogs::selectView_data()
{
    QTest::addColumn<int>("best");
    QTest::addColumn<bool>("okAtFirst");
    QTest::addColumn<bool>("accepts");
    QTest::addColumn<int>("result");

    QTest::newRow("best preselected") << 1 << true << true << 1;
    QTest::newRow("nothing ranked: OK waits for a row") << -1 << false << true << 2;
    QTest::newRow("view left undefined: the dialog stays open") << -1 << false << false << -1;
}

void tst_GplusDialogs::selectView()
{
    QFETCH(int, best);
    QFETCH(bool, accepts);
    const QList<ViewChoice> entries{{"application/pdf", "application/pdf", "", "", "<1k>", 0},
                                    {"text/plain En_US", "text/plain", "En_US", "English", "<2k>", 3},
                                    {"image/gif", "image/gif", "", "", "<9k>", -1}};
    QList<int> asked;
    CSelectViewDialog dialog(entries, best, [&](int i) { asked.append(i); return accepts; });
    QTEST(dialog.okEnabled(), "okAtFirst");
    QCOMPARE(dialog.list()->topLevelItem(1)->text(1), QStringLiteral("English"));
    QCOMPARE(dialog.list()->topLevelItem(1)->text(2), QStringLiteral("<2k>"));
    if (best < 0) {
        dialog.accept();
        QVERIFY(asked.isEmpty());
        dialog.list()->setCurrentItem(dialog.list()->topLevelItem(2));
        QVERIFY(dialog.okEnabled());
    }
    // A double-click is OK.
    Q_EMIT dialog.list()->itemActivated(dialog.list()->currentItem(), 0);
    QCOMPARE(asked.size(), 1);
    QTEST(dialog.chosen(), "result");
    QCOMPARE(dialog.result() == QDialog::Accepted, accepts);
}

void tst_GplusDialogs::extendedViewsEdits()
{
    ExtendedViewTable table;
    table.insert(view("text/plain", '0', 2));
    CExtViewsDialog dialog(table, "Image/GIF", 'g');
    QCOMPARE(dialog.statusText(), QStringLiteral("Status: Edit this view, then click the 'Add' button"));
    QCOMPARE(dialog.viewField()->text(), QStringLiteral("image/gif"));
    QCOMPARE(dialog.typeField()->currentText(), QStringLiteral("GIF file"));
    dialog.add();
    QCOMPARE(dialog.statusText(), QStringLiteral("Status: Added view image/gif"));
    QVERIFY(table.record("image/gif"));
    QCOMPARE(table.record("image/gif")->type, 'g');
    QCOMPARE(texts(dialog.names()), (QStringList{QStringLiteral("image/gif"), QStringLiteral("text/plain")}));

    // Typed capitals become lower case.
    dialog.viewField()->setFocus();
    dialog.viewField()->selectAll();
    QTest::keyClicks(dialog.viewField(), QStringLiteral("TEXT/plain"));
    QCOMPARE(dialog.viewField()->text(), QStringLiteral("text/plain"));
    QTest::keyClicks(dialog.extensionField(), QStringLiteral("txt"));
    // Choosing another name applies the pending edit as a change first.
    dialog.selectName(QStringLiteral("image/gif"));
    QCOMPARE(table.record("text/plain")->extension, QByteArray("txt"));
    QCOMPARE(table.record("text/plain")->rank, 2);
    QCOMPARE(dialog.statusText(), QStringLiteral("Status: Ranking: 0"));
    QVERIFY(dialog.changed());

    ExtendedViewTable empty;
    CExtViewsDialog plain(empty, QByteArray(), 0);
    QCOMPARE(plain.statusText(), QStringLiteral("Status: Loaded 0 extended views ... done"));
    QCOMPARE(plain.typeField()->currentText(), QStringLiteral("Directory"));
}

void tst_GplusDialogs::cancelWithChangesAsks()
{
    ExtendedViewTable table;
    CExtViewsDialog dialog(table, "a/b", '9');
    int asked = 0;
    bool answer = false;
    dialog.confirmCancel = [&] { ++asked; return answer; };
    dialog.reject();
    QCOMPARE(asked, 0); // nothing changed: no question
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    dialog.setResult(-1);
    dialog.add();
    dialog.reject();
    QCOMPARE(asked, 1);
    QCOMPARE(dialog.result(), -1); // the user kept the dialog
    answer = true;
    dialog.reject();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

void tst_GplusDialogs::rankedOrder_data()
{
    QTest::addColumn<QList<int>>("ranks"); // of views a, b, c, d
    QTest::addColumn<QList<QByteArray>>("order");

    QTest::newRow("ranks in sequence") << QList<int>{1, 3, 2, 0} << QList<QByteArray>{"b", "c", "a"};
    QTest::newRow("gaps keep the name order") << QList<int>{7, 9, 0, 5} << QList<QByteArray>{"a", "b", "d"};
    QTest::newRow("partly in sequence") << QList<int>{1, 9, 3, 0} << QList<QByteArray>{"c", "b", "a"};
}

void tst_GplusDialogs::rankedOrder()
{
    QFETCH(QList<int>, ranks);
    ExtendedViewTable table;
    const QList<QByteArray> names{"a", "b", "c", "d"};
    for (int i = 0; i < 4; ++i)
        table.insert(view(names[i], '0', ranks[i]));
    QTEST(CRankViewsDialog::rankedOrder(table), "order");
}

void tst_GplusDialogs::rankingButtons()
{
    ExtendedViewTable table;
    table.insert(view("a", '0', 2));
    table.insert(view("b", '0', 1));
    table.insert(view("c", '0', 0));
    table.insert(view("d", '0', 0));
    CRankViewsDialog dialog(table);
    QCOMPARE(texts(dialog.ranked()), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    // RANK puts the unranked view below the ranked selection.
    dialog.ranked()->setCurrentRow(0);
    dialog.unranked()->setCurrentRow(1);
    dialog.rank();
    QCOMPARE(texts(dialog.ranked()), (QStringList{QStringLiteral("a"), QStringLiteral("d"), QStringLiteral("b")}));
    QCOMPARE(dialog.unranked()->currentRow(), 0);
    dialog.lower();
    dialog.lower(); // already last: nothing
    QCOMPARE(texts(dialog.ranked()), (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("d")}));
    dialog.ranked()->setCurrentRow(0);
    dialog.unrank();
    QCOMPARE(texts(dialog.unranked()), (QStringList{QStringLiteral("a"), QStringLiteral("c")}));
    QCOMPARE(table.record("a")->rank, 0);
    dialog.accept();
    QCOMPARE(table.record("b")->rank, 2);
    QCOMPARE(table.record("d")->rank, 1);
    QCOMPARE(table.record("c")->rank, 0);
    QVERIFY(dialog.changed());
}

void tst_GplusDialogs::languageRename()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("language.cnf"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("En_US=English\nDe_DE=German\n");
    file.close();
    RecordingUserInterface ui;
    LanguageTable table(&ui);
    table.setPaths(path, path);
    CLanguagesDialog dialog(table);
    QCOMPARE(dialog.list()->topLevelItemCount(), 2);
    QVERIFY(!dialog.list()->currentItem());

    // "Add" with a known tag and no row chosen changes nothing.
    dialog.tagField()->setText(QStringLiteral("En_US"));
    dialog.nameField()->setText(QStringLiteral("Other"));
    dialog.add();
    QCOMPARE(table.entries().value("En_US"), QByteArray("English"));
    QVERIFY(!dialog.changed());

    // Renaming a tag leaves only the new one, in the table and the file.
    dialog.list()->setCurrentItem(dialog.list()->findItems(QStringLiteral("En_US"), Qt::MatchExactly).first());
    dialog.tagField()->clear();
    QTest::keyClicks(dialog.tagField(), QStringLiteral("en_GB"));
    dialog.accept();
    table.afterDialog(true, dialog.changed());
    QVERIFY(!table.contains("En_US"));
    QCOMPARE(table.entries().value("en_GB"), QByteArray("English"));
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray("De_DE=German\nen_GB=English\n"));
}


void tst_GplusDialogs::itemInfoInTheHostEncoding_data()
{
    QTest::addColumn<TextEncoding>("encoding");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("abstract");

    // The title "\xC9\xCD\xBB Art" and the abstract "\xE1\xD2\xC8\xC9\xD7" as
    // each encoding reads them.
    QTest::newRow("automatic: not UTF-8, so Latin-1")
        << TextEncoding::Automatic << QStringLiteral(u"ÉÍ» Art") << QStringLiteral(u"áÒÈÉ×");
    QTest::newRow("CP437") << TextEncoding::Cp437 << QStringLiteral(u"╔═╗ Art")
                           << QStringLiteral(u"ß╥╚╔╫");
    QTest::newRow("KOI8-R") << TextEncoding::Koi8R << QStringLiteral(u"им╩ Art")
                            << QStringLiteral(u"Архив");
}

void tst_GplusDialogs::itemInfoInTheHostEncoding()
{
    QFETCH(TextEncoding, encoding);
    QFETCH(QString, name);
    QFETCH(QString, abstract);

    CBookmark item('1', "\xC9\xCD\xBB Art", "/art", "bbs.example", 70);
    item.SetGopherPlus(true);
    item.attributeText = "+ABSTRACT:\r\n \xE1\xD2\xC8\xC9\xD7\r\n";
    CItemInfoWindow window;
    window.setItem(item, encoding);
    // The record keeps its layout: one field a line, the attributes after it.
    const QStringList lines = window.text().split(QLatin1Char('\n'));
    QCOMPARE(lines.value(0), QStringLiteral("Name=") + name);
    QCOMPARE(lines.value(1), QStringLiteral("Type=1+"));
    QCOMPARE(lines.value(4), QStringLiteral("Host=bbs.example"));
    QVERIFY2(window.text().endsWith(QStringLiteral("+ABSTRACT:\n ") + abstract + QLatin1Char('\n')),
             qPrintable(window.text()));
}

QTEST_MAIN(tst_GplusDialogs)
#include "tst_gplusdialogs.moc"
