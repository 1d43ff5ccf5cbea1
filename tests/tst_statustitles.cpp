#include "app/hostencodings.h"
#include "app/tarnwickapp.h"
#include "docs/gophertextdoc.h"
#include "docs/userinterface.h"
#include "items/displaytext.h"

#include <QTemporaryDir>
#include <QTest>

// A status line that names an item reads its title as the item's window does.
class tst_StatusTitles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void savingNamesTheTitleAsShown_data();
    void savingNamesTheTitleAsShown();
};

void tst_StatusTitles::savingNamesTheTitleAsShown_data()
{
    QTest::addColumn<TextEncoding>("encoding");
    QTest::addColumn<QString>("title");

    // The title "\xE1\xD2\xC8\xC9\xD7" as each encoding reads it.
    QTest::newRow("automatic: not UTF-8, so Latin-1")
        << TextEncoding::Automatic << QStringLiteral(u"áÒÈÉ×");
    QTest::newRow("KOI8-R") << TextEncoding::Koi8R << QStringLiteral(u"Архив");
}

void tst_StatusTitles::savingNamesTheTitleAsShown()
{
    QFETCH(TextEncoding, encoding);
    QFETCH(QString, title);

    RecordingUserInterface ui;
    CTarnwickApp app(ui);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    app.setSettingsPath(dir.filePath(QStringLiteral("tarnwick.ini")));
    QVERIFY(app.hostEncodings().setEncoding("bbs.example", encoding));
    CGopherTextDoc doc(app.context());
    doc.item() = CBookmark('0', "\xE1\xD2\xC8\xC9\xD7", "/archive", "bbs.example", 70);
    const QString path = dir.filePath(QStringLiteral("archive.txt"));
    QVERIFY(doc.saveTo(path));

    QVERIFY(ui.mainStatus.size() >= 2);
    QCOMPARE(displayText(ui.mainStatus.first()), QStringLiteral("Saving ") + title);
    QCOMPARE(displayText(ui.mainStatus.last()),
             QStringLiteral("Saved '") + title + QStringLiteral("' in ") + path
                 + QStringLiteral(" ... done"));
}

QTEST_GUILESS_MAIN(tst_StatusTitles)
#include "tst_statustitles.moc"
