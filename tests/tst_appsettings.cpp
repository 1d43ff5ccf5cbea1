#include "settings/appsettings.h"
#include "settings/fontslot.h"
#include "settings/hostencodings.h"
#include "settings/profilefile.h"
#include "settings/settingkeys.h"
#include "bookmarks/homegophers.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <memory>

Q_DECLARE_METATYPE(HomeGophers::DialogFields)
Q_DECLARE_METATYPE(std::optional<WindowPlacement>)

class tst_AppSettings: public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    // AppSettings
    void optionDefaults();
    void settersWriteTheirKeys();
    void nonZeroOptionIsOn();
    void ensureDirectoryKeys_data();
    void ensureDirectoryKeys();
    void downloadDirectoryIsTheUsersFolder();
    void directoriesAreUtf8();
    void windowPlacement_data();
    void windowPlacement();
    void windowPlacementRoundTrip();
    void exitSettingsInOneReplacement();
    void everyKeyReadsItsDefaultAndRoundTrips();

    // FontSlot
    void loadWritesDefaultsThatReadBack_data();
    void loadWritesDefaultsThatReadBack();
    void loadKeepsStoredFont();
    void readStoredFont();
    void writeOnlyChangedKeys();

    // HomeGophers
    void homeSetters();
    void homeItem();
    void pickServer_data();
    void pickServer();
    void dialogFields();
    void applyDialog_data();
    void applyDialog();
    void applyDialogClearsOldServers();
    void applyPreferencesPage_data();
    void applyPreferencesPage();
    // HostEncodings
    void hostEncodingRoundTrip_data();
    void hostEncodingRoundTrip();
    void hostEncodingAutomaticRemovesKey();

private:
    QString filePath() const { return m_dir->filePath(QStringLiteral("tarnwick.ini")); }
    void put(const QByteArray &data);
    QByteArray contents() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ProfileFile> m_file;
};

void tst_AppSettings::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_AppSettings::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_file = std::make_unique<ProfileFile>(filePath());
}

void tst_AppSettings::cleanup()
{
    m_file.reset();
    m_dir.reset();
}

void tst_AppSettings::put(const QByteArray &data)
{
    QFile file(filePath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(data), data.size());
}

QByteArray tst_AppSettings::contents() const
{
    QFile file(filePath());
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return file.readAll();
}

void tst_AppSettings::optionDefaults()
{
    AppSettings settings(*m_file);
    QCOMPARE(settings.autoSelectView(), true);
    QCOMPARE(settings.autoViewFile(), false);
    QCOMPARE(settings.autoFileName(), false);
    QCOMPARE(settings.autoStripDots(), true);
    QCOMPARE(settings.bookmarkEditorFetchAction(), 0);
    QCOMPARE(settings.usePrinterFont(), false);
    QCOMPARE(settings.temporaryDirectory(), QString());
    QCOMPARE(settings.downloadDirectory(), QString());
    QVERIFY(!settings.windowPlacement());
    QCOMPARE(settings.toolbarSettings(), ToolbarSettings());
    QCOMPARE(contents(), QByteArray("<missing>"));
}

void tst_AppSettings::settersWriteTheirKeys()
{
    AppSettings settings(*m_file);
    QVERIFY(settings.setAutoSelectView(false));
    QVERIFY(settings.setAutoViewFile(true));
    QVERIFY(settings.setAutoFileName(true));
    QVERIFY(settings.setAutoStripDots(false));
    QVERIFY(settings.setBookmarkEditorFetchAction(7));
    QVERIFY(settings.setUsePrinterFont(true));
    QVERIFY(settings.setTemporaryDirectory(QStringLiteral("/var/tmp")));
    QVERIFY(settings.setDownloadDirectory(QStringLiteral("/home/u/Downloads")));
    QCOMPARE(contents(), QByteArray("[Options]\n"
                                    "Auto Select View=0\n"
                                    "Auto View File=1\n"
                                    "Auto File Name=1\n"
                                    "Auto Strip Dots=0\n"
                                    "Bookmark Editor Fetch Action=7\n"
                                    "\n[Printer Settings]\n"
                                    "Use Printer Font=1\n"
                                    "\n[Directories]\n"
                                    "Temporary directory=/var/tmp\n"
                                    "Download directory=/home/u/Downloads\n"));
    // Read back through the getters: each reads the key its setter writes.
    QCOMPARE(settings.autoSelectView(), false);
    QCOMPARE(settings.bookmarkEditorFetchAction(), 7);
    QCOMPARE(settings.usePrinterFont(), true);
}

void tst_AppSettings::nonZeroOptionIsOn()
{
    put("[options]\nauto view file=5\nAUTO STRIP DOTS=0\n");
    AppSettings settings(*m_file);
    QCOMPARE(settings.autoViewFile(), true);
    QCOMPARE(settings.autoStripDots(), false);
}

void tst_AppSettings::ensureDirectoryKeys_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("tmp");   // a null string leaves the variable unset
    QTest::addColumn<QString>("temp");
    QTest::addColumn<QString>("tmpdir");
    QTest::addColumn<QByteArray>("after");  // "@D" stands for the download folder
    QTest::addColumn<int>("replacements");

    const QString unset;
    const QByteArray both("[Directories]\nTemporary directory=/scratch\nDownload directory=/data\n");
    QTest::newRow("TMP first") << QByteArray() << QStringLiteral("/tmp/a") << QStringLiteral("/tmp/b")
                               << QStringLiteral("/tmp/c")
                               << QByteArray("[Directories]\nTemporary directory=/tmp/a\nDownload directory=@D\n") << 1;
    QTest::newRow("TEMP without TMP") << QByteArray() << unset << QStringLiteral("/tmp/b") << QStringLiteral("/tmp/c")
                                      << QByteArray("[Directories]\nTemporary directory=/tmp/b\nDownload directory=@D\n")
                                      << 1;
    QTest::newRow("TMPDIR without TMP or TEMP")
        << QByteArray() << unset << unset << QStringLiteral("/var/tmp/x")
        << QByteArray("[Directories]\nTemporary directory=/var/tmp/x\nDownload directory=@D\n") << 1;
    QTest::newRow("/tmp without any of them")
        << QByteArray() << unset << unset << unset
        << QByteArray("[Directories]\nTemporary directory=/tmp\nDownload directory=@D\n") << 1;
    QTest::newRow("empty variables name no directory")
        << QByteArray() << QString(QLatin1String("")) << QString(QLatin1String("")) << QStringLiteral("/tmp/c")
        << QByteArray("[Directories]\nTemporary directory=/tmp/c\nDownload directory=@D\n") << 1;
    QTest::newRow("user's choice kept") << both << QStringLiteral("/tmp/a") << unset << unset << both << 0;
    QTest::newRow("compared with case")
        << QByteArray("[Directories]\nTemporary directory=/TMP/A\n") << QStringLiteral("/tmp/a") << unset << unset
        << QByteArray("[Directories]\nTemporary directory=/TMP/A\nDownload directory=@D\n") << 1;
    QTest::newRow("same text stays as it is")
        << QByteArray("[directories]\ntemporary directory = /tmp/a\n") << QStringLiteral("/tmp/a") << unset << unset
        << QByteArray("[directories]\ntemporary directory = /tmp/a\nDownload directory=@D\n") << 1;
}

void tst_AppSettings::ensureDirectoryKeys()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, tmp);
    QFETCH(QString, temp);
    QFETCH(QString, tmpdir);
    QFETCH(QByteArray, after);
    QFETCH(int, replacements);
    if (!before.isNull())
        put(before);
    QProcessEnvironment env;
    const struct { QString name; QString value; } variables[] = {
        {QStringLiteral("TMP"), tmp}, {QStringLiteral("TEMP"), temp}, {QStringLiteral("TMPDIR"), tmpdir}};
    for (const auto &variable : variables) {
        if (!variable.value.isNull())
            env.insert(variable.name, variable.value);
    }
    AppSettings settings(*m_file);
    QVERIFY(settings.ensureDirectoryKeys(env));
    QCOMPARE(contents(), after.replace("@D", AppSettings::defaultDownloadDirectory().toUtf8()));
    // Both keys of a first start in one replacement of the file.
    QCOMPARE(m_file->counters().replacements, replacements);
}

void tst_AppSettings::downloadDirectoryIsTheUsersFolder()
{
    const QByteArray home = qgetenv("HOME");
    const QString fakeHome = m_dir->filePath(QStringLiteral("home"));
    qputenv("HOME", QFile::encodeName(fakeHome));
    const QString downloads = AppSettings::defaultDownloadDirectory();
    qputenv("HOME", home);
    // The folder in the user's home, wherever the program was started.
    QVERIFY2(downloads.startsWith(fakeHome + QLatin1Char('/')), qPrintable(downloads));
    QVERIFY(downloads != QDir::currentPath());
}

void tst_AppSettings::directoriesAreUtf8()
{
    const QString dir = QStringLiteral("/home/j\u00fcrgen/%1").arg(QString(300, QLatin1Char('d')));
    QProcessEnvironment env;
    env.insert(QStringLiteral("TMP"), dir);
    AppSettings settings(*m_file);
    QVERIFY(settings.ensureDirectoryKeys(env));
    // The whole path, however long, as UTF-8 bytes.
    QVERIFY(contents().contains("Temporary directory=/home/j\xc3\xbcrgen/ddd"));
    QCOMPARE(settings.temporaryDirectory(), dir);
    QVERIFY(settings.setDownloadDirectory(dir));
    QCOMPARE(settings.downloadDirectory(), dir);
}

void tst_AppSettings::windowPlacement_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<std::optional<WindowPlacement>>("expected");

    const WindowPlacement sample{2, 3, -1, -1, -32000, -32000, 10, 20, 810, 620};
    const std::optional<WindowPlacement> none;
    QTest::newRow("ten numbers") << QByteArray("WindowPos=2,3,-1,-1,-32000,-32000,10,20,810,620") << std::optional(sample);
    QTest::newRow("blanks before numbers") << QByteArray("WindowPos=2, 3, -1,\t-1, -32000,-32000,+10,20,810,620")
                                           << std::optional(sample);
    QTest::newRow("nine numbers") << QByteArray("WindowPos=2,3,-1,-1,-32000,-32000,10,20,810") << none;
    QTest::newRow("eleven numbers") << QByteArray("WindowPos=2,3,-1,-1,-32000,-32000,10,20,810,620,1") << none;
    QTest::newRow("trailing junk") << QByteArray("WindowPos=2,3,-1,-1,-32000,-32000,10,20,810,620x") << none;
    QTest::newRow("trailing comma") << QByteArray("WindowPos=2,3,-1,-1,-32000,-32000,10,20,810,620,") << none;
    QTest::newRow("empty field") << QByteArray("WindowPos=2,,-1,-1,-32000,-32000,10,20,810,620") << none;
    QTest::newRow("empty") << QByteArray("WindowPos=") << none;
    QTest::newRow("negative flags") << QByteArray("WindowPos=-2,3,-1,-1,-32000,-32000,10,20,810,620") << none;
    QTest::newRow("number too large") << QByteArray("WindowPos=2,3,-1,-1,-32000,-32000,10,20,810,2147483648")
                                      << none;
    QTest::newRow("absent") << QByteArray("Other=1") << none;
}

void tst_AppSettings::windowPlacement()
{
    QFETCH(QByteArray, file);
    QFETCH(std::optional<WindowPlacement>, expected);
    put("[Settings]\n" + file + '\n');
    AppSettings settings(*m_file);
    const std::optional<WindowPlacement> placement = settings.windowPlacement();
    QCOMPARE(placement.has_value(), expected.has_value());
    if (expected)
        QVERIFY(*placement == *expected);
}

void tst_AppSettings::windowPlacementRoundTrip()
{
    const WindowPlacement placement{4294967295u, 1, -1, -1, -2147483647 - 1, 2147483647, 0, 0, 1, 1};
    AppSettings settings(*m_file);
    QVERIFY(settings.setWindowPlacement(placement));
    QCOMPARE(contents(), QByteArray("[Settings]\nWindowPos=4294967295,1,-1,-1,-2147483648,2147483647,0,0,1,1\n"));
    QVERIFY(settings.windowPlacement() == placement);
}

void tst_AppSettings::exitSettingsInOneReplacement()
{
    put("[Settings]\nWindowPos=0,1,-1,-1,-1,-1,0,0,10,10\n");
    AppSettings settings(*m_file);
    const WindowPlacement placement{2, 3, -1, -1, -1, -1, 10, 20, 810, 620};
    const ToolbarSettings toolbar{1, 2, false, true, -3, 4, 500, 600};
    QVERIFY(settings.setExitSettings(placement, toolbar));
    QCOMPARE(m_file->counters().replacements, 1);
    QCOMPARE(contents(), QByteArray("[Settings]\nWindowPos=2,3,-1,-1,-1,-1,10,20,810,620\n\n[Toolbar]\nPosition=1\n"
                                    "Size=2\nShow Toolbar=0\nShow Tooltips=1\nDock X=-3\nDock Y=4\nFloat X=500\n"
                                    "Float Y=600\n"));
    QCOMPARE(settings.toolbarSettings(), toolbar);
}

void tst_AppSettings::everyKeyReadsItsDefaultAndRoundTrips()
{
    using Type = SettingKey::Type;
    QSet<QByteArray> places;
    for (const SettingKey *key : SettingKeys::all) {
        const Setting setting = !key->section ? Setting(*key, QByteArrayView("AskFont"))
                                : QByteArrayView(key->name).contains("%s")
                                    ? Setting::named(*key, QByteArrayView("host.example"))
                                    : Setting(*key, 2);
        const QByteArray place = setting.section().toLower() + '/' + setting.name().toLower();
        QVERIFY2(!places.contains(place), place.constData());
        places.insert(place);

        QVERIFY2(!setting.isSet(*m_file), place.constData());
        switch (key->type) {
        case Type::Flag:
            QCOMPARE(setting.flag(*m_file), key->number != 0);
            QVERIFY(setting.setFlag(*m_file, key->number == 0));
            QCOMPARE(setting.flag(*m_file), key->number == 0);
            QCOMPARE(m_file->getString(setting.section(), setting.name()), QByteArray(key->number == 0 ? "1" : "0"));
            break;
        case Type::Number:
            QCOMPARE(setting.number(*m_file), key->number);
            QVERIFY(setting.setNumber(*m_file, -12345));
            QCOMPARE(setting.number(*m_file), -12345);
            break;
        case Type::Text:
            QCOMPARE(setting.text(*m_file), QByteArray(key->text));
            QVERIFY(setting.setText(*m_file, "\"quoted\" and blank "));
            QCOMPARE(setting.text(*m_file), QByteArray("\"quoted\" and blank "));
            break;
        }
        // Written where and as it is declared: the name with its number.
        QVERIFY2(m_file->keys(setting.section()).contains(setting.name()), place.constData());
        QVERIFY2(!setting.name().contains('%'), place.constData());
        QVERIFY(setting.remove(*m_file));
        QVERIFY(!setting.isSet(*m_file));
    }
}

void tst_AppSettings::loadWritesDefaultsThatReadBack_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");

    const QByteArray written("[BMFont]\nHeight=-11\nWeight=400\nItalic=0\nUnderline=0\nOut Precision=0\n"
                             "Clip Precision=0\nQuality=2\nPitchAndFamily=34\nFaceName=\n");
    QTest::newRow("no section") << QByteArray() << written;
    QTest::newRow("height 0 with other keys counts as empty")
        << QByteArray("[BMFont]\nHeight=0\nWeight=700\nItalic=1\nFaceName=Arial\n")
        << QByteArray("[BMFont]\nHeight=-11\nWeight=400\nItalic=0\nFaceName=\nUnderline=0\nOut Precision=0\n"
                      "Clip Precision=0\nQuality=2\nPitchAndFamily=34\n");
}

void tst_AppSettings::loadWritesDefaultsThatReadBack()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    if (!before.isNull())
        put(before);
    FontSlot slot("BMFont");
    QVERIFY(slot.load(*m_file));
    QVERIFY(!slot.needsCreation);
    QCOMPARE(slot.current, FontSlot::defaults("BMFont"));
    QCOMPARE(contents(), after);
    QCOMPARE(m_file->counters().replacements, 1);

    // The next start reads the very same font, not the "System" face of an
    // absent key nor a stale key of the old font.
    FontSlot again("BMFont");
    QVERIFY(again.load(*m_file));
    QCOMPARE(again.current, FontSlot::defaults("BMFont"));
    QCOMPARE(contents(), after);
}

void tst_AppSettings::loadKeepsStoredFont()
{
    const QByteArray stored("[AskFont]\nHeight=-20\n");
    put(stored);
    FontSlot slot("AskFont");
    QVERIFY(slot.load(*m_file));
    QCOMPARE(slot.current.height, -20);
    QCOMPARE(slot.current.weight, 400);
    QCOMPARE(slot.current.faceName, QByteArray("System"));
    QCOMPARE(contents(), stored);
}

void tst_AppSettings::readStoredFont()
{
    put("[TextFont]\nHeight=-15\nWeight=700\nItalic=1\nUnderline=1\nOut Precision=3\nClip Precision=2\n"
        "Quality=5\nPitchAndFamily=49\nFaceName=An extremely long face name that goes on\n"
        "[DirFont]\nHeight=-9\nFaceName=123456789012345678901234567890\xc3\xa9x\n");
    FontSlot text("TextFont");
    QVERIFY(text.read(*m_file));
    LogFont expected;
    expected.height = -15;
    expected.weight = 700;
    expected.italic = 1;
    expected.underline = 1;
    expected.outPrecision = 3;
    expected.clipPrecision = 2;
    expected.quality = 5;
    expected.pitchAndFamily = 49;
    expected.faceName = "An extremely long face name tha";
    QCOMPARE(text.current, expected);

    // The cut does not split a UTF-8 character.
    FontSlot dir("DirFont");
    QVERIFY(dir.read(*m_file));
    QCOMPARE(dir.current.faceName, QByteArray("123456789012345678901234567890"));

    FontSlot phone("PhoneFont");
    phone.current.height = 99;
    QVERIFY(!phone.read(*m_file));
    QCOMPARE(phone.current, LogFont());
}

void tst_AppSettings::writeOnlyChangedKeys()
{
    put("[TextFont]\nHeight = -12\n; chosen by hand\nWeight=400\nFaceName=Mono\n");
    FontSlot slot("TextFont");
    QVERIFY(slot.read(*m_file));
    slot.saved = slot.current;
    slot.current.weight = 700;
    slot.current.italic = 1;
    QVERIFY(slot.write(*m_file));
    QCOMPARE(contents(), QByteArray("[TextFont]\nHeight = -12\n; chosen by hand\nWeight=700\nFaceName=Mono\n"
                                    "Italic=1\n"));
    QCOMPARE(slot.saved, slot.current);

    // Nothing changed: nothing written.
    QVERIFY(slot.write(*m_file));
    QVERIFY(contents().endsWith("Italic=1\n"));

    // Height 0 (no font) writes Height alone.
    slot.current.height = 0;
    slot.current.weight = 100;
    QVERIFY(slot.write(*m_file));
    QCOMPARE(contents(), QByteArray("[TextFont]\nHeight = 0\n; chosen by hand\nWeight=700\nFaceName=Mono\n"
                                    "Italic=1\n"));
}

void tst_AppSettings::homeSetters()
{
    HomeGophers home(*m_file);
    QVERIFY(home.SetHomeServer(2, "gopher.example.org"));
    QVERIFY(home.SetHomePort(2, 7070));
    QVERIFY(home.SetHomeSelector(2, "1/x"));
    QVERIFY(home.SetPlusServer(2, 5));
    QVERIFY(home.SetPlusServer(1, 1));
    QVERIFY(home.SetInitialMenu("Home"));
    QVERIFY(home.SetHomeType(3));
    QVERIFY(home.SetHomeCount(2));
    QCOMPARE(contents(), QByteArray("[Home Gopher]\nHome Server 2=gopher.example.org\nHome Port 2=7070\n"
                                    "Home Selector 2=1/x\nPlus Server 2=0\nPlus Server 1=1\nInitial Menu=Home\n"
                                    "Home Type=3\nCount of Home Gophers=2\n"));
    QVERIFY(home.SetHomeServer(2, QByteArray()));
    QVERIFY(!m_file->hasKey("Home Gopher", "Home Server 2"));
}

void tst_AppSettings::homeItem()
{
    put("[Home Gopher]\nHome Server 1=gopher.example.org\nHome Port 1=7070\nHome Selector 1=1/home\n"
        "Plus Server 1=5\nInitial Menu=My Home\nHome Server 2=other.example.org\n");
    HomeGophers home(*m_file);
    const CBookmark first = home.homeItem(1);
    QCOMPARE(first.type, '1');
    QCOMPARE(first.title, QByteArray("My Home"));
    QCOMPARE(first.selector, QByteArray("1/home\r\n"));
    QCOMPARE(first.host, QByteArray("gopher.example.org"));
    QCOMPARE(first.port, quint16(7070));
    QVERIFY(first.IsGopherPlus());

    const CBookmark second = home.homeItem(2);
    QCOMPARE(second.host, QByteArray("other.example.org"));
    QCOMPARE(second.port, quint16(70));
    QCOMPARE(second.selector, QByteArray("\r\n"));
    QVERIFY(!second.IsGopherPlus());
}

void tst_AppSettings::pickServer_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<int>("expected");

    const QTimeZone utc = QTimeZone::utc();
    // 2024-01-01 00:00:00: 0+0+0+1+0+124 = 125, odd.
    const QDateTime odd(QDate(2024, 1, 1), QTime(0, 0, 0), utc);
    // 2024-03-15 10:20:30: 30+20+10+15+2+124 = 201, odd; one second later even.
    const QDateTime even(QDate(2024, 3, 15), QTime(10, 20, 31), utc);
    QTest::newRow("one server") << 1 << odd << 1;
    QTest::newRow("two servers, odd sum") << 2 << odd << 2;
    QTest::newRow("two servers, even sum") << 2 << even << 1;
    QTest::newRow("two servers, odd sum in March") << 2 << even.addSecs(-1) << 2;
    QTest::newRow("local time counts as UTC")
        << 2 << QDateTime(QDate(2024, 1, 1), QTime(1, 0, 0), QTimeZone(3600)) << 2;
    QTest::newRow("count written by hand") << 3 << odd << 3;
}

void tst_AppSettings::pickServer()
{
    QFETCH(int, count);
    QFETCH(QDateTime, now);
    QFETCH(int, expected);
    QCOMPARE(HomeGophers::pickServer(count, now), expected);
}

void tst_AppSettings::dialogFields()
{
    put("[Home Gopher]\nHome Server 1=a.example\nHome Port 1=7070\nHome Selector 1=1/a\nPlus Server 1=5\n"
        "Initial Menu=Menu\nHome Server 2=b.example\nHome Selector 2=1/b\n");
    HomeGophers home(*m_file);
    const HomeGophers::DialogFields fields = home.dialogFields();
    QCOMPARE(fields.host1, QByteArray("a.example"));
    QCOMPARE(fields.port1, 7070);
    QCOMPARE(fields.plus1, true);
    QCOMPARE(fields.selector1, QByteArray("1/a"));
    QCOMPARE(fields.initialMenu, QByteArray("Menu"));
    QCOMPARE(fields.host2, QByteArray("b.example"));
    QCOMPARE(fields.port2, 70);
    QCOMPARE(fields.plus2, false);
    QCOMPARE(fields.selector2, QByteArray("1/b"));
}

void tst_AppSettings::applyDialog_data()
{
    QTest::addColumn<HomeGophers::DialogFields>("fields");
    QTest::addColumn<QByteArray>("after");

    HomeGophers::DialogFields both{"MyHost_1 ", 0, true, "1/a", "Home", "Other.Example.ORG", 7070, false, ""};
    QTest::newRow("both servers, written in order")
        << both
        << QByteArray("[Home Gopher]\nHome Server 1=myhost1\nHome Server 2=other.example.org\nInitial Menu=Home\n"
                      "Home Port 1=70\nHome Port 2=7070\nPlus Server 1=1\nPlus Server 2=0\n"
                      "Count of Home Gophers=2\nHome Selector 1=1/a\nHome Selector 2=\n");
    HomeGophers::DialogFields second{"", 7000, true, "1/ignored", "Home", "b.example", 7071, true, "1/b"};
    QTest::newRow("server 2 only moves to block 1")
        << second
        << QByteArray("[Home Gopher]\nHome Server 1=b.example\nInitial Menu=Home\nHome Port 1=7071\n"
                      "Home Port 2=70\nPlus Server 1=1\nPlus Server 2=0\nCount of Home Gophers=1\n"
                      "Home Selector 1=1/b\nHome Selector 2=\n");
    HomeGophers::DialogFields first{"a.example", 7000, false, "1/a", "", "", 7071, true, "1/b"};
    QTest::newRow("server 1 only clears block 2")
        << first
        << QByteArray("[Home Gopher]\nHome Server 1=a.example\nInitial Menu=\nHome Port 1=7000\n"
                      "Home Port 2=70\nPlus Server 1=0\nPlus Server 2=0\nCount of Home Gophers=1\n"
                      "Home Selector 1=1/a\nHome Selector 2=\n");
    HomeGophers::DialogFields none{"", 7000, true, "1/a", "Home", "_!@ ", 7071, true, "1/b"};
    QTest::newRow("no host after filtering clears both blocks")
        << none
        << QByteArray("[Home Gopher]\nInitial Menu=Home\nHome Port 1=70\nHome Port 2=70\nPlus Server 1=0\n"
                      "Plus Server 2=0\nCount of Home Gophers=0\nHome Selector 1=\nHome Selector 2=\n");
}

void tst_AppSettings::applyDialog()
{
    QFETCH(HomeGophers::DialogFields, fields);
    QFETCH(QByteArray, after);
    HomeGophers home(*m_file);
    QVERIFY(home.applyDialog(fields));
    QCOMPARE(contents(), after);
    QCOMPARE(m_file->counters().replacements, 1);
}

void tst_AppSettings::applyDialogClearsOldServers()
{
    put("[Home Gopher]\nHome Server 1=a.example\nHome Server 2=b.example\nCount of Home Gophers=2\n");
    HomeGophers home(*m_file);
    HomeGophers::DialogFields fields = home.dialogFields();
    fields.host1.clear();
    fields.host2 = " ";
    QVERIFY(home.applyDialog(fields));
    QVERIFY(!m_file->hasKey("Home Gopher", "Home Server 1"));
    QVERIFY(!m_file->hasKey("Home Gopher", "Home Server 2"));
    QCOMPARE(home.GetHomeCount(), 0);
}

void tst_AppSettings::applyPreferencesPage_data()
{
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<QByteArray>("after");

    const QByteArray twoServers("[Home Gopher]\nHome Server 1=a.example\nHome Server 2=b.example\n"
                                "Home Port 2=7071\nCount of Home Gophers=2\n");
    QTest::newRow("host given counts one server")
        << QByteArray("New.Example_")
        << QByteArray("[Home Gopher]\nHome Server 1=new.example\nHome Server 2=b.example\nHome Port 2=7071\n"
                      "Count of Home Gophers=1\nInitial Menu=Menu\nHome Port 1=70\nPlus Server 1=1\n"
                      "Home Selector 1=1/sel\n");
    QTest::newRow("empty host clears server 1")
        << QByteArray(" ")
        << QByteArray("[Home Gopher]\nHome Server 2=b.example\nHome Port 2=7071\nCount of Home Gophers=0\n"
                      "Initial Menu=Menu\nHome Port 1=70\nPlus Server 1=0\nHome Selector 1=\n");
}

void tst_AppSettings::applyPreferencesPage()
{
    QFETCH(QByteArray, host);
    QFETCH(QByteArray, after);
    put("[Home Gopher]\nHome Server 1=a.example\nHome Server 2=b.example\nHome Port 2=7071\n"
        "Count of Home Gophers=2\n");
    HomeGophers home(*m_file);
    QVERIFY(home.applyPreferencesPage(host, 0, true, "1/sel", "Menu"));
    QCOMPARE(contents(), after);
}

Q_DECLARE_METATYPE(TextEncoding)

// A choice is kept per host under its own key, read back for that host only
// (an IPv6 literal with or without brackets is one host), and told to every
// window once written.
void tst_AppSettings::hostEncodingRoundTrip_data()
{
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<TextEncoding>("encoding");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("sameHost");

    QTest::newRow("CP437 for a name")
        << QByteArray("bbs.example.org") << TextEncoding::Cp437
        << QByteArray("[Other]\nx=1\n\n[Encodings]\nbbs.example.org=CP437\n")
        << QByteArray("BBS.example.org");
    QTest::newRow("KOI8-R for a bracketed IPv6 literal")
        << QByteArray("[2001:db8::1]") << TextEncoding::Koi8R
        << QByteArray("[Other]\nx=1\n\n[Encodings]\n2001:db8::1=KOI8-R\n")
        << QByteArray("2001:db8::1");
}

void tst_AppSettings::hostEncodingRoundTrip()
{
    QFETCH(QByteArray, host);
    QFETCH(TextEncoding, encoding);
    QFETCH(QByteArray, sameHost);

    put("[Other]\nx=1\n");
    HostEncodings encodings(*m_file);
    QSignalSpy changed(&encodings, &HostEncodings::encodingChanged);
    QCOMPARE(encodings.encoding(host), TextEncoding::Automatic);
    QVERIFY(encodings.setEncoding(host, encoding));
    QTEST(contents(), "file");
    QCOMPARE(m_file->counters().replacements, 1);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(encodings.encoding(host), encoding);
    QCOMPARE(encodings.encoding(sameHost), encoding);
    QCOMPARE(encodings.encoding(QByteArray("another.host")), TextEncoding::Automatic);
    // A second reader of the same file (another run) sees it too.
    ProfileFile again(filePath());
    QCOMPARE(HostEncodings(again).encoding(host), encoding);
}

void tst_AppSettings::hostEncodingAutomaticRemovesKey()
{
    put("[Encodings]\nkeep=CP437\nold=KOI8-R\nodd=EBCDIC\n");
    HostEncodings encodings(*m_file);
    QCOMPARE(encodings.encoding(QByteArray("odd")), TextEncoding::Automatic);
    QVERIFY(encodings.setEncoding(QByteArray("old"), TextEncoding::Automatic));
    QCOMPARE(contents(), QByteArray("[Encodings]\nkeep=CP437\nodd=EBCDIC\n"));
    QCOMPARE(encodings.encoding(QByteArray("old")), TextEncoding::Automatic);
    QCOMPARE(encodings.encoding(QByteArray("keep")), TextEncoding::Cp437);
    // A host that cannot be a key is refused and nothing is written.
    QSignalSpy changed(&encodings, &HostEncodings::encodingChanged);
    QVERIFY(!encodings.setEncoding(QByteArray("a=b"), TextEncoding::Cp437));
    QVERIFY(!encodings.setEncoding(QByteArray(), TextEncoding::Cp437));
    QCOMPARE(changed.size(), 0);
    QCOMPARE(contents(), QByteArray("[Encodings]\nkeep=CP437\nodd=EBCDIC\n"));
}

QTEST_GUILESS_MAIN(tst_AppSettings)
#include "tst_appsettings.moc"
