#include "settings/hostencodings.h"
#include "app/tarnwickapp.h"
#include "documents/gophertextdoc.h"
#include "documents/userinterface.h"
#include "items/displaytext.h"

#include <QTemporaryDir>
#include <QTest>

// A status line or box that names an item reads its title (and the server's
// words) as the item's window does.
class tst_StatusTitles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void savingNamesTheTitleAsShown_data();
    void savingNamesTheTitleAsShown();
    void serverErrorBoxReadsAsShown();
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

void tst_StatusTitles::serverErrorBoxReadsAsShown()
{
    RecordingUserInterface ui;
    CTarnwickApp app(ui);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    app.setSettingsPath(dir.filePath(QStringLiteral("tarnwick.ini")));
    QVERIFY(app.hostEncodings().setEncoding("bbs.example", TextEncoding::Koi8R));
    // The reply is handed over here: no request goes anywhere.
    app.engine().setOffline(true);
    CGopherTextDoc doc(app.context());
    CBookmark item('0', "\xE1\xD2\xC8\xC9\xD7", "/archive\t+", "bbs.example", 70);
    item.SetGopherPlus(true);
    QVERIFY(doc.Fetch(item));
    bool done = false;
    doc.OnData("--1\r\n1 admin\r\n\xF5\xDB\xC5\xCC\r\n.\r\n", done);
    doc.FinishTransfer();

    QCOMPARE(ui.messages.size(), 1);
    QCOMPARE(displayText(ui.messages.first().text),
             QStringLiteral(u"Re: the item 'Архив'\r\nThis item is not available!\r\n"
                            u"The Gopher server 'bbs.example'\r\nreturned the following text:"
                            u"\r\n\r\nadmin\r\nУшел\r\n"));
}

QTEST_GUILESS_MAIN(tst_StatusTitles)
#include "tst_statustitles.moc"
