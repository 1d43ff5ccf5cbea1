#include "documents/downloadedfiles.h"
#include "ui/dialogs/pathbrowser.h"
#include "settings/profilefile.h"
#include "ui/dialogs/viewersdialog.h"
#include "settings/viewertable.h"
#include "ui/dialogs/downloadedfilesdialog.h"

#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

class tst_DownloadViews : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void viewersDialogEditsTable();
    void deletedPairsStayInFileButAreNotLoaded();
    void downloadedFilesToggleTwice();
    void summaryText_data();
    void summaryText();
    void browseStartingPoint_data();
    void browseStartingPoint();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_DownloadViews::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_DownloadViews::viewersDialogEditsTable()
{
    ProfileFile file(m_dir->filePath(QStringLiteral("tarnwick.ini")));
    {
        ViewerTable table(file);
        ViewersDialog dialog(table);
        dialog.extensionEdit()->setText(QStringLiteral("gif"));
        QCOMPARE(dialog.extensionEdit()->text(), QStringLiteral("GIF")); // upper case
        dialog.programEdit()->setText(QStringLiteral("feh --scale-down"));
        dialog.onAdd();
        dialog.extensionEdit()->setText(QStringLiteral("PDF"));
        dialog.programEdit()->setText(QStringLiteral("evince"));
        dialog.onAdd();
        dialog.programEdit()->setText(QStringLiteral("okular"));
        dialog.onAdd(); // an existing extension is replaced
        QCOMPARE(dialog.list()->count(), 2);
        QCOMPARE(table.GetViewer("PDF"), QByteArray("okular"));
        dialog.extensionEdit()->setText(QStringLiteral("GIF"));
        dialog.onDelete();
        QCOMPARE(dialog.list()->count(), 1);
        QCOMPARE(dialog.list()->item(0)->text(), QStringLiteral("PDF\tokular"));
    }
    QCOMPARE(file.getInt("Viewers", "Viewer Count", -1), 1);
    QCOMPARE(file.getString("Viewers", "Ext0", ""), QByteArray("PDF"));
    QCOMPARE(file.getString("Viewers", "Viewer0", ""), QByteArray("okular"));
}

void tst_DownloadViews::deletedPairsStayInFileButAreNotLoaded()
{
    ProfileFile file(m_dir->filePath(QStringLiteral("tarnwick.ini")));
    {
        ViewerTable table(file);
        for (const char *e : {"AAA", "BBB", "CCC", "DDD", "EEE"})
            table.SetViewer(e, QByteArray("view-") + e);
    }
    {
        ViewerTable table(file);
        table.RemoveViewer("BBB");
        table.RemoveViewer("DDD");
    }
    QCOMPARE(file.getInt("Viewers", "Viewer Count", -1), 3);
    QVERIFY(file.hasKey("Viewers", "Ext4"));
    ViewerTable table(file);
    QCOMPARE(table.lines(), (QList<QByteArray>{"AAA\tview-AAA", "CCC\tview-CCC", "EEE\tview-EEE"}));
    // Lookups are exact: the page always stores upper case.
    QVERIFY(!table.HasViewer("aaa"));
}

void tst_DownloadViews::downloadedFilesToggleTwice()
{
    DownloadedFiles files;
    const QString a = m_dir->filePath(QStringLiteral("a.bin"));
    QFile f(a);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("12345");
    f.close();
    files.AddDownloadedFile(nullptr, a);
    files.AddDownloadedFile(nullptr, a); // one record per path
    files.AddDownloadedFile(nullptr, m_dir->filePath(QStringLiteral("gone.bin")));
    DownloadedFilesDialog dialog(files);
    QCOMPARE(dialog.list()->count(), 2);
    QCOMPARE(dialog.list()->item(0)->text(), QStringLiteral("x\t") + a);
    QCOMPARE(dialog.summary(), QStringLiteral("2 marked files, 5 bytes"));
    dialog.toggle(0);
    QCOMPARE(dialog.list()->item(0)->text(), QStringLiteral(" \t") + a);
    QCOMPARE(dialog.summary(), QStringLiteral("1 marked file, 0 bytes"));
    dialog.toggle(0);
    QCOMPARE(dialog.list()->item(0)->text(), QStringLiteral("x\t") + a);
    QCOMPARE(dialog.summary(), QStringLiteral("2 marked files, 5 bytes"));
}

void tst_DownloadViews::summaryText_data()
{
    QTest::addColumn<int>("marked");
    QTest::addColumn<quint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << 0 << quint64(0) << QStringLiteral("0 marked files, 0 bytes");
    QTest::newRow("past 4 GiB") << 1 << quint64(5000000000) << QStringLiteral("1 marked file, 5000000000 bytes");
}

void tst_DownloadViews::summaryText()
{
    QFETCH(int, marked);
    QFETCH(quint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(DownloadedFilesDialog::summaryText(marked, bytes), text);
}

void tst_DownloadViews::browseStartingPoint_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("name");
    QTest::newRow("empty") << QString() << QString() << QString();
    QTest::newRow("placeholders cut") << QStringLiteral("/usr/bin/x-terminal-emulator -e telnet %host% %port%")
                                      << QStringLiteral("/usr/bin") << QStringLiteral("x-terminal-emulator");
    QTest::newRow("quoted program with arguments") << QStringLiteral("'/opt/my tools/view' --fast")
                                                   << QStringLiteral("/opt/my tools") << QStringLiteral("view");
    QTest::newRow("bare name") << QStringLiteral("feh") << QString() << QStringLiteral("feh");
}

void tst_DownloadViews::browseStartingPoint()
{
    QFETCH(QString, command);
    QFETCH(QString, directory);
    QFETCH(QString, name);
    QString d;
    QString n;
    CPathBrowser::startingPoint(command, &d, &n);
    QCOMPARE(d, directory);
    QCOMPARE(n, name);
}

QTEST_MAIN(tst_DownloadViews)
#include "tst_downloadviews.moc"
