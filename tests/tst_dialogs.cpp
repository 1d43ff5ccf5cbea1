#include "ui/dialogs/aboutdialog.h"
#include "settings/appsettings.h"
#include "ui/dialogs/directoriesdialog.h"
#include "settings/profilefile.h"
#include "ui/dialogs/useroptionsdialog.h"
#include "ui/bookmarks/homegopherdialog.h"
#include "documents/userinterface.h"
#include "items/displaytext.h"
#include "net/transactionengine.h"
#include "ui/dialogs/winsockinfodialog.h"
#include "app/tarnwickapp.h"
#include "tests/support/settingsfile.h"
#include "ui/commanddialogs.h"
#include "ui/dialogs/finddialog.h"
#include "ui/qtuserinterface.h"
#include "ui/print/pagesetupdialog.h"
#include "ui/fontmanager.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

#include <memory>

Q_DECLARE_METATYPE(LogFont)

namespace {
QPushButton *helpButton(const QWidget *dialog)
{
    for (QPushButton *button : dialog->findChildren<QPushButton *>()) {
        if (button->text().remove(QLatin1Char('&')) == QStringLiteral("Help"))
            return button;
    }
    return nullptr;
}
} // namespace

class tst_Dialogs: public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void windowTitles();
    void fixedSizeDialogsCannotBeMaximised();

    // "Home Gopher Server(s)"
    void homeDialogFilledFromFile();
    void homeDialogMovesLoneSecondServer();
    void homeDialogRefusesPort_data();
    void homeDialogRefusesPort();
    void homeDialogAcceptsPort_data();
    void homeDialogAcceptsPort();
    void homeDialogRefusesLongText_data();
    void homeDialogRefusesLongText();
    void homeDialogCancelWritesNothing();
    void homeDialogKeepsUntouchedBytes();
    void homeDialogReportsWriteFailure();
    void homeDialogMoreButton();
    void homeDialogCentredOnParent();
    void homeDialogTakesTypingInHostServer_data();
    void homeDialogTakesTypingInHostServer();

    // "User Options", "Gopher Directories"
    void userOptionsFetchAction_data();
    void userOptionsFetchAction();
    void userOptionsShowsSwitches();
    void userOptionsWritesSevenKeys();
    void directoriesRoundTrip();

    // "WinSock Information", About
    void winSockVersionText_data();
    void winSockVersionText();
    void winSockForm();
    void aboutBox();

    // Fonts
    void fontEmptySectionGetsDefaults();
    void fontDefaults_data();
    void fontDefaults();
    void fontStoredIsUsed();
    void applyChosenFontWritesOnlyChangedKeys();
    void applyChosenFontOnEmptySectionWritesEveryKey();
    void fontRoundTrip_data();
    void fontRoundTrip();
    void fromQFontTakesChosenFace();
    void fromQFontPointSize();
    void usePrinterFontToggle();

    // Forms as the main frame opens them
    void homeDialogExplainsAndOffersSampleServer();
    void homeDialogOffersNothingForBadUrl_data();
    void homeDialogOffersNothingForBadUrl();
    void winSockHelpIsGreyed();
    void findDialogControlsDoNotOverlap();

private:
    QString filePath() const { return m_dir->filePath(QStringLiteral("tarnwick.ini")); }

    std::unique_ptr<QTemporaryDir> m_dir;
    SettingsFile m_ini;
    std::unique_ptr<ProfileFile> m_file;
    std::unique_ptr<RecordingUserInterface> m_ui;
};

void tst_Dialogs::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    // The font tests need a fixed-pitch face the platform resolves to for
    // certain: ./test installs fonts-dejavu-core.
    QVERIFY2(QFontDatabase::families().contains(QStringLiteral("DejaVu Sans Mono")),
             "DejaVu Sans Mono is missing: install fonts-dejavu-core");
    QVERIFY(QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).fixedPitch());
}

void tst_Dialogs::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_ini.setPath(filePath());
    m_file = std::make_unique<ProfileFile>(filePath());
    m_ui = std::make_unique<RecordingUserInterface>();
}

void tst_Dialogs::cleanup()
{
    m_ui.reset();
    m_file.reset();
    m_dir.reset();
}

void tst_Dialogs::windowTitles()
{
    AppSettings settings(*m_file);
    QCOMPARE(HomeGopherDialog(*m_file, m_ui.get()).windowTitle(), QStringLiteral("Home Gopher Server(s)"));
    QCOMPARE(UserOptionsDialog(settings, m_ui.get()).windowTitle(), QStringLiteral("User Options"));
    QCOMPARE(DirectoriesDialog(settings, m_ui.get()).windowTitle(), QStringLiteral("Gopher Directories"));
    QCOMPARE(WinSockInfoDialog(WinSockInfo()).windowTitle(), QStringLiteral("WinSock Information"));
    QCOMPARE(AboutDialog().windowTitle(), QStringLiteral("About Tarnwick"));
}

void tst_Dialogs::fixedSizeDialogsCannotBeMaximised()
{
    // Without the request, a window manager offers minimise and maximise
    // buttons on every dialog.
    AppSettings settings(*m_file);
    QtUserInterface ui;
    const std::unique_ptr<QWidget> dialogs[] = {
        std::make_unique<HomeGopherDialog>(*m_file, m_ui.get()),
        std::make_unique<UserOptionsDialog>(settings, m_ui.get()),
        std::make_unique<WinSockInfoDialog>(WinSockInfo()),
        std::make_unique<AboutDialog>(),
        std::make_unique<PageSetupDialog>(PrinterSetup()),
        ui.makeMessageBox("Connection refused", UserInterface::Exclamation, UserInterface::Ok,
                          Help::Connect),
    };
    for (const std::unique_ptr<QWidget> &dialog : dialogs) {
        const Qt::WindowFlags flags = dialog->windowFlags();
        QVERIFY2(flags & Qt::CustomizeWindowHint, qPrintable(dialog->windowTitle()));
        QVERIFY2(!(flags & Qt::WindowMaximizeButtonHint), qPrintable(dialog->windowTitle()));
        QVERIFY2(flags & Qt::WindowCloseButtonHint, qPrintable(dialog->windowTitle()));
    }
}

// ---- "Home Gopher Server(s)" ----

void tst_Dialogs::homeDialogFilledFromFile()
{
    m_ini.put("[Home Gopher]\nCount of Home Gophers=2\nHome Server 1=gopher.one\nHome Port 1=7070\n"
        "Plus Server 1=1\nHome Selector 1=1/first\nInitial Menu=Home Sweet Home\n"
        "Home Server 2=gopher.two\nHome Port 2=71\nHome Selector 2=1/second\n");
    HomeGopherDialog dialog(*m_file, m_ui.get());
    QCOMPARE(dialog.hostEdit(1)->text(), QStringLiteral("gopher.one"));
    QCOMPARE(dialog.portEdit(1)->text(), QStringLiteral("7070"));
    QVERIFY(dialog.plusBox(1)->isChecked());
    QCOMPARE(dialog.selectorEdit(1)->text(), QStringLiteral("1/first"));
    QCOMPARE(dialog.menuTitleEdit()->text(), QStringLiteral("Home Sweet Home"));
    QCOMPARE(dialog.hostEdit(2)->text(), QStringLiteral("gopher.two"));
    QCOMPARE(dialog.portEdit(2)->text(), QStringLiteral("71"));
    QVERIFY(!dialog.plusBox(2)->isChecked());
    QCOMPARE(dialog.selectorEdit(2)->text(), QStringLiteral("1/second"));
    QVERIFY(dialog.secondServerShown());
    QCOMPARE(dialog.hostEdit(1)->maxLength(), 64);
    QCOMPARE(dialog.menuTitleEdit()->maxLength(), 80);

    // The labels are the program's own texts.
    auto *form = dialog.findChild<QFormLayout *>();
    QVERIFY(form);
    const auto labelOf = [form](QWidget *field) {
        auto *label = qobject_cast<QLabel *>(form->labelForField(field));
        return label ? label->text() : QString();
    };
    QCOMPARE(labelOf(dialog.hostEdit(1)), QStringLiteral("Host Server:"));
    QCOMPARE(labelOf(dialog.selectorEdit(1)), QStringLiteral("Selector:"));
    QCOMPARE(labelOf(dialog.menuTitleEdit()), QStringLiteral("Menu title:"));
    QCOMPARE(labelOf(dialog.hostEdit(2)), QStringLiteral("Server #2:"));
    QCOMPARE(dialog.plusBox(1)->text(), QStringLiteral("Plus:"));
}

void tst_Dialogs::homeDialogMovesLoneSecondServer()
{
    HomeGopherDialog dialog(*m_file, m_ui.get());
    dialog.hostEdit(2)->setText(QStringLiteral("Gopher.Two"));
    dialog.portEdit(2)->setText(QStringLiteral("7070"));
    dialog.plusBox(2)->setChecked(true);
    dialog.selectorEdit(2)->setText(QStringLiteral("1/second"));
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(m_ini.value("Home Gopher", "Count of Home Gophers"), QByteArray("1"));
    QCOMPARE(m_ini.value("Home Gopher", "Home Server 1"), QByteArray("gopher.two"));
    QCOMPARE(m_ini.value("Home Gopher", "Home Port 1"), QByteArray("7070"));
    QCOMPARE(m_ini.value("Home Gopher", "Plus Server 1"), QByteArray("1"));
    QCOMPARE(m_ini.value("Home Gopher", "Home Selector 1"), QByteArray("1/second"));
    QCOMPARE(m_ini.value("Home Gopher", "Home Server 2"), QByteArray("<absent>"));
    QCOMPARE(m_ini.value("Home Gopher", "Plus Server 2"), QByteArray("0"));
}

void tst_Dialogs::homeDialogRefusesPort_data()
{
    QTest::addColumn<int>("server");
    QTest::addColumn<QString>("port");
    QTest::newRow("letters") << 1 << QStringLiteral("abc");
    QTest::newRow("just above the range") << 1 << QStringLiteral("65536");
    QTest::newRow("empty") << 1 << QString();
    QTest::newRow("digits then letters") << 1 << QStringLiteral("80x");
    QTest::newRow("negative") << 1 << QStringLiteral("-80");
    QTest::newRow("zero") << 1 << QStringLiteral("0");
    QTest::newRow("beyond int") << 1 << QStringLiteral("99999999999");
    QTest::newRow("hidden second server") << 2 << QStringLiteral("0");
}

void tst_Dialogs::homeDialogRefusesPort()
{
    QFETCH(int, server);
    QFETCH(QString, port);
    m_ini.put("[Home Gopher]\nCount of Home Gophers=1\nHome Server 1=gopher.one\n");
    const QByteArray before = m_ini.contents();

    QWidget parent;
    parent.resize(600, 400);
    parent.show();
    HomeGopherDialog dialog(*m_file, m_ui.get(), &parent);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(!dialog.secondServerShown());
    dialog.hostEdit(1)->setText(QStringLiteral("gopher.changed"));
    dialog.portEdit(server)->setText(port);
    dialog.accept();

    QCOMPARE(m_ui->messages.size(), 1);
    QCOMPARE(m_ui->messages[0].text, QByteArray("Please enter an integer between 1 and 65535."));
    QCOMPARE(m_ui->messages[0].icon, UserInterface::Exclamation);
    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.result() != QDialog::Accepted);
    QCOMPARE(m_ini.contents(), before);
    QLineEdit *edit = dialog.portEdit(server);
    QCOMPARE(dialog.focusWidget(), edit);
    QCOMPARE(edit->selectedText(), port);
    // A refused field of the second server is brought into view.
    QCOMPARE(dialog.secondServerShown(), server == 2);
    QVERIFY(edit->isVisible());
}

void tst_Dialogs::homeDialogAcceptsPort_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QByteArray>("storedHost");
    const QString one = QStringLiteral("gopher.one");
    QTest::newRow("lowest") << one << QStringLiteral("1") << QByteArray("1") << QByteArray("gopher.one");
    QTest::newRow("above the old limit") << one << QStringLiteral("42080") << QByteArray("42080") << QByteArray("gopher.one");
    QTest::newRow("highest") << one << QStringLiteral("65535") << QByteArray("65535") << QByteArray("gopher.one");
    QTest::newRow("blanks around") << one << QStringLiteral(" 7070 ") << QByteArray("7070") << QByteArray("gopher.one");
    QTest::newRow("host cleaned, port untouched")
        << QStringLiteral("MyHost_1 ") << QString() << QByteArray("70") << QByteArray("myhost1");
}

void tst_Dialogs::homeDialogAcceptsPort()
{
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(QByteArray, stored);
    HomeGopherDialog dialog(*m_file, m_ui.get());
    QVERIFY(!dialog.secondServerShown());
    dialog.hostEdit(1)->setText(host);
    if (!port.isNull())
        dialog.portEdit(1)->setText(port);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(m_ui->messages.isEmpty());
    QCOMPARE(m_ini.value("Home Gopher", "Home Port 1"), stored);
    QTEST(m_ini.value("Home Gopher", "Home Server 1"), "storedHost");
    QCOMPARE(m_ini.value("Home Gopher", "Count of Home Gophers"), QByteArray("1"));
}

void tst_Dialogs::homeDialogRefusesLongText_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<int>("field");  // 1 host 1, 2 host 2, 3 menu title

    const QByteArray host65(65, 'h');
    QTest::newRow("host of 65 characters")
        << QByteArray("[Home Gopher]\nHome Server 1=" + host65 + "\n")
        << QByteArray("Please enter no more than 64 characters.") << 1;
    QTest::newRow("second host of 65 characters")
        << QByteArray("[Home Gopher]\nHome Server 1=one\nHome Server 2=" + host65 + "\n")
        << QByteArray("Please enter no more than 64 characters.") << 2;
    QTest::newRow("menu title of 81 characters")
        << QByteArray("[Home Gopher]\nHome Server 1=one\nInitial Menu=" + QByteArray(81, 't') + "\n")
        << QByteArray("Please enter no more than 80 characters.") << 3;
    QTest::newRow("menu title of 81 non-ASCII characters")
        << QByteArray("[Home Gopher]\nHome Server 1=one\nInitial Menu=" + QByteArray("\xc3\xa9").repeated(81) + "\n")
        << QByteArray("Please enter no more than 80 characters.") << 3;
}

void tst_Dialogs::homeDialogRefusesLongText()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, message);
    QFETCH(int, field);
    m_ini.put(file);
    HomeGopherDialog dialog(*m_file, m_ui.get());
    QLineEdit *edit = field == 3 ? dialog.menuTitleEdit() : dialog.hostEdit(field);
    // A value from the file longer than the limit is shown whole, not cut.
    QCOMPARE(textBytes(edit->text()), file.mid(file.lastIndexOf('=') + 1).chopped(1));
    dialog.accept();
    QVERIFY(dialog.result() != QDialog::Accepted);
    QCOMPARE(m_ui->messages.size(), 1);
    QCOMPARE(m_ui->messages[0].text, message);
    QCOMPARE(m_ini.contents(), file);
    QCOMPARE(edit->selectedText(), edit->text());
    QVERIFY(dialog.secondServerShown() || field != 2);

    // Exactly at the limit is fine.
    edit->setText(QString(field == 3 ? 80 : 64, QLatin1Char('x')));
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(m_ui->messages.size(), 1);
}

void tst_Dialogs::homeDialogCancelWritesNothing()
{
    m_ini.put("[Home Gopher]\r\nCount of Home Gophers=1\r\nHome Server 1=Gopher.One\r\nHome Port 1=0\r\n");
    const QByteArray before = m_ini.contents();
    HomeGopherDialog dialog(*m_file, m_ui.get());
    dialog.hostEdit(1)->setText(QStringLiteral("other.host"));
    dialog.hostEdit(2)->setText(QStringLiteral("second.host"));
    dialog.menuTitleEdit()->setText(QStringLiteral("Changed"));
    dialog.reject();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(m_ini.contents(), before);
    QVERIFY(m_ui->messages.isEmpty());
}

void tst_Dialogs::homeDialogKeepsUntouchedBytes()
{
    // A title written by another program in Latin-1 survives OK unchanged.
    m_ini.put("[Home Gopher]\nCount of Home Gophers=1\nHome Server 1=one\nInitial Menu=Caf\xe9 Gopher\n"
        "Home Selector 1=1/Men\xfc\n");
    HomeGopherDialog dialog(*m_file, m_ui.get());
    QCOMPARE(dialog.menuTitleEdit()->text(), QStringLiteral("Caf\u00e9 Gopher"));
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(m_ini.value("Home Gopher", "Initial Menu"), QByteArray("Caf\xe9 Gopher"));
    QCOMPARE(m_ini.value("Home Gopher", "Home Selector 1"), QByteArray("1/Men\xfc"));

    // A field the user changed is stored as UTF-8.
    HomeGopherDialog again(*m_file, m_ui.get());
    again.menuTitleEdit()->setText(QStringLiteral("Caf\u00e9 Gopher!"));
    again.accept();
    QCOMPARE(m_ini.value("Home Gopher", "Initial Menu"), QByteArray("Caf\xc3\xa9 Gopher!"));
}

void tst_Dialogs::homeDialogReportsWriteFailure()
{
    // A settings path below a plain file cannot be written, whoever runs the test.
    const QString blocker = m_dir->filePath(QStringLiteral("blocker"));
    {
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    ProfileFile unwritable(blocker + QStringLiteral("/tarnwick.ini"));
    HomeGopherDialog dialog(unwritable, m_ui.get());
    dialog.hostEdit(1)->setText(QStringLiteral("gopher.one"));
    dialog.accept();
    QVERIFY(dialog.result() != QDialog::Accepted);
    QCOMPARE(m_ui->messages.size(), 1);
    QVERIFY2(m_ui->messages[0].text.startsWith("The home gopher settings could not be saved.\n"),
             m_ui->messages[0].text.constData());
    QVERIFY(m_ui->messages[0].text.size() > 46);
}

void tst_Dialogs::homeDialogMoreButton()
{
    HomeGopherDialog dialog(*m_file, m_ui.get());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(!dialog.hostEdit(2)->isVisible());
    const int smallHeight = dialog.height();
    QTest::mouseClick(dialog.moreButton(), Qt::LeftButton);
    QVERIFY(dialog.secondServerShown());
    QVERIFY(dialog.hostEdit(2)->isVisible());
    QTRY_VERIFY(dialog.height() > smallHeight);
    QTest::mouseClick(dialog.moreButton(), Qt::LeftButton);
    QVERIFY(!dialog.hostEdit(2)->isVisible());
    QTRY_COMPARE(dialog.height(), smallHeight);
}

void tst_Dialogs::homeDialogCentredOnParent()
{
    QWidget parent;
    parent.setGeometry(100, 80, 900, 700);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    HomeGopherDialog dialog(*m_file, m_ui.get(), &parent);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // Window frames are guessed without a window manager: allow for them.
    const QPoint offset = dialog.geometry().center() - parent.geometry().center();
    QVERIFY2(offset.manhattanLength() <= 50,
             qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
}

void tst_Dialogs::homeDialogTakesTypingInHostServer_data()
{
    QTest::addColumn<QString>("offered");
    QTest::newRow("first start") << QString();
    QTest::newRow("sample server offered") << QStringLiteral("gopher://127.0.0.1:7070/");
}

void tst_Dialogs::homeDialogTakesTypingInHostServer()
{
    QFETCH(QString, offered);
    HomeGopherDialog dialog(*m_file, m_ui.get());
    if (!offered.isEmpty())
        dialog.offerServer(offered);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCOMPARE(QApplication::focusWidget(), dialog.hostEdit(1));
    // Return with no host saves no empty home.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(dialog.isVisible());
    QVERIFY(!QFile::exists(filePath()));
    // What the user types goes into "Host Server:", and Return saves it.
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("gopher.example.org"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(m_ini.value("Home Gopher", "Home Server 1"), QByteArray("gopher.example.org"));
    QCOMPARE(m_ini.value("Home Gopher", "Count of Home Gophers"), QByteArray("1"));
}

// ---- "User Options", "Gopher Directories" ----

void tst_Dialogs::userOptionsFetchAction_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("checked");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("absent") << QByteArray() << QStringLiteral("keep") << QByteArray("0");
    QTest::newRow("0 keeps") << QByteArray("0") << QStringLiteral("keep") << QByteArray("0");
    QTest::newRow("1 minimises") << QByteArray("1") << QStringLiteral("minimize") << QByteArray("1");
    QTest::newRow("2 closes") << QByteArray("2") << QStringLiteral("close") << QByteArray("2");
    QTest::newRow("7 keeps") << QByteArray("7") << QStringLiteral("keep") << QByteArray("0");
    QTest::newRow("-1 keeps") << QByteArray("-1") << QStringLiteral("keep") << QByteArray("0");
}

void tst_Dialogs::userOptionsFetchAction()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, checked);
    QFETCH(QByteArray, written);
    if (!file.isNull())
        m_ini.put("[Options]\nBookmark Editor Fetch Action=" + file + "\n");
    AppSettings settings(*m_file);
    UserOptionsDialog dialog(settings, m_ui.get());
    QCOMPARE(dialog.keepButton()->isChecked(), checked == QStringLiteral("keep"));
    QCOMPARE(dialog.minimizeButton()->isChecked(), checked == QStringLiteral("minimize"));
    QCOMPARE(dialog.closeButton()->isChecked(), checked == QStringLiteral("close"));
    QCOMPARE(dialog.keepButton()->text(), QStringLiteral("Keep Bookmark Editor active after fetching"));
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(m_ini.value("Options", "Bookmark Editor Fetch Action"), written);
}

void tst_Dialogs::userOptionsShowsSwitches()
{
    AppSettings settings(*m_file);
    m_ini.put("[Options]\nAuto Select View=0\nAuto Strip Dots=0\nAuto File Name=1\nAuto View File=5\n");
    UserOptionsDialog dialog(settings, m_ui.get());
    QVERIFY(!dialog.autoSelectViewBox()->isChecked());
    QVERIFY(!dialog.autoStripDotsBox()->isChecked());
    QVERIFY(dialog.autoFileNameBox()->isChecked());
    QVERIFY(dialog.autoViewFileBox()->isChecked());
}

void tst_Dialogs::userOptionsWritesSevenKeys()
{
    AppSettings settings(*m_file);
    UserOptionsDialog dialog(settings, m_ui.get());
    QCOMPARE(dialog.autoSelectViewBox()->text(),
             QStringLiteral("Automatically pick the preferred view, the one with the highest rank"));
    QCOMPARE(dialog.autoStripDotsBox()->text(), QStringLiteral("Remove trailing period from hostname"));
    QCOMPARE(dialog.autoFileNameBox()->text(),
             QStringLiteral("Use the generated filename, check for uniqueness, don't prompt me"));
    QCOMPARE(dialog.autoViewFileBox()->text(),
             QStringLiteral("Always view the file when the download is complete"));
    QCOMPARE(dialog.closeButton()->text(), QStringLiteral("Close the Bookmark Editor after fetching"));
    QCOMPARE(dialog.minimizeButton()->text(), QStringLiteral("Minimize the Bookmark Editor after fetching"));
    QCOMPARE(dialog.rememberHistoryBox()->text(), QStringLiteral("Remember the items I open in the History"));
    QCOMPARE(dialog.reopenWindowsBox()->text(),
             QStringLiteral("Reopen the windows of the last session at start"));
    QVERIFY(dialog.rememberHistoryBox()->isChecked());
    QVERIFY(!dialog.reopenWindowsBox()->isChecked());

    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(dialog.reopenWindowsBox(), Qt::LeftButton);
    QTest::mouseClick(dialog.autoSelectViewBox(), Qt::LeftButton);
    QTest::mouseClick(dialog.autoFileNameBox(), Qt::LeftButton);
    QTest::mouseClick(dialog.autoViewFileBox(), Qt::LeftButton);
    QTest::mouseClick(dialog.closeButton(), Qt::LeftButton);
    QVERIFY(!dialog.keepButton()->isChecked());
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(m_ini.value("Options", "Auto Select View"), QByteArray("0"));
    QCOMPARE(m_ini.value("Options", "Auto Strip Dots"), QByteArray("1"));
    QCOMPARE(m_ini.value("Options", "Auto File Name"), QByteArray("1"));
    QCOMPARE(m_ini.value("Options", "Auto View File"), QByteArray("1"));
    QCOMPARE(m_ini.value("Options", "Bookmark Editor Fetch Action"), QByteArray("2"));
    QCOMPARE(m_ini.value("Options", "Remember History"), QByteArray("1"));
    QCOMPARE(m_ini.value("Options", "Reopen Windows"), QByteArray("1"));
    QCOMPARE(m_file->keys("Options").size(), 7);
}

void tst_Dialogs::directoriesRoundTrip()
{
    m_ini.put("[Directories]\nTemporary directory=/var/tmp\nDownload directory=/home/u/Downloads\n");
    AppSettings settings(*m_file);
    DirectoriesDialog dialog(settings, m_ui.get());
    QCOMPARE(dialog.temporaryEdit()->text(), QStringLiteral("/var/tmp"));
    QCOMPARE(dialog.downloadEdit()->text(), QStringLiteral("/home/u/Downloads"));
    auto *form = dialog.findChild<QFormLayout *>();
    QVERIFY(form);
    QCOMPARE(qobject_cast<QLabel *>(form->itemAt(0, QFormLayout::LabelRole)->widget())->text(),
             QStringLiteral("Directory for temporary files:"));
    QCOMPARE(qobject_cast<QLabel *>(form->itemAt(1, QFormLayout::LabelRole)->widget())->text(),
             QStringLiteral("Directory for downloading files:"));

    // Written as typed, without checks: a directory that does not exist is kept.
    dialog.temporaryEdit()->setText(QStringLiteral("/tmp/Gr\u00fc\u00dfe"));
    dialog.downloadEdit()->setText(QStringLiteral("no/such/dir"));
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(m_ini.value("Directories", "Temporary directory"), QByteArray("/tmp/Gr\xc3\xbc\xc3\x9f" "e"));
    QCOMPARE(m_ini.value("Directories", "Download directory"), QByteArray("no/such/dir"));

    DirectoriesDialog again(settings, m_ui.get());
    QCOMPARE(again.temporaryEdit()->text(), QStringLiteral("/tmp/Gr\u00fc\u00dfe"));
    QCOMPARE(again.downloadEdit()->text(), QStringLiteral("no/such/dir"));
    const QByteArray before = m_ini.contents();
    again.temporaryEdit()->clear();
    again.reject();
    QCOMPARE(m_ini.contents(), before);
}

// ---- "WinSock Information", About ----

void tst_Dialogs::winSockVersionText_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("text");
    QTest::newRow("1.1") << 0x0101 << QStringLiteral("1.1");
    QTest::newRow("minor in the high byte") << 0x0201 << QStringLiteral("1.2");
    QTest::newRow("2.0") << 0x0002 << QStringLiteral("2.0");
}

void tst_Dialogs::winSockVersionText()
{
    QFETCH(int, version);
    QFETCH(QString, text);
    QCOMPARE(WinSockInfoDialog::versionText(version), text);
}

void tst_Dialogs::winSockForm()
{
    WinSockInfo info;
    info.version = 0x0101;
    info.highVersion = 0x0202;
    info.description = "Line one\nLine two\r\nLine three";
    info.systemStatus = "Running";
    info.maxSockets = 1024;
    info.maxDatagram = 65507;
    WinSockInfoDialog dialog(info);
    QCOMPARE(dialog.versionEdit()->text(), QStringLiteral("1.1"));
    QCOMPARE(dialog.highVersionEdit()->text(), QStringLiteral("2.2"));
    QCOMPARE(dialog.description(), QByteArray("Line one\r\nLine two\r\nLine three"));
    QCOMPARE(dialog.descriptionEdit()->toPlainText(), QStringLiteral("Line one\nLine two\nLine three"));
    QCOMPARE(dialog.descriptionEdit()->document()->blockCount(), 3);
    QVERIFY(dialog.descriptionEdit()->isReadOnly());
    QVERIFY(dialog.versionEdit()->isReadOnly());
    QCOMPARE(dialog.systemStatusEdit()->text(), QStringLiteral("Running"));
    QCOMPARE(dialog.maxSocketsEdit()->text(), QStringLiteral("1024"));
    QCOMPARE(dialog.maxDatagramEdit()->text(), QStringLiteral("65507"));

    auto *form = dialog.findChild<QFormLayout *>();
    QVERIFY(form);
    QStringList labels;
    for (int row = 0; row < form->rowCount(); ++row)
        labels << qobject_cast<QLabel *>(form->itemAt(row, QFormLayout::LabelRole)->widget())->text();
    QCOMPARE(labels, (QStringList {QStringLiteral("Windows Sockets Version: "),
                                   QStringLiteral("Highest version: "), QStringLiteral("Description:"),
                                   QStringLiteral("System Status:"), QStringLiteral("Max Sockets: "),
                                   QStringLiteral("Max Datagram Length: ")}));

    // OK and Help, and Help reaches whoever shows the help.
    QSignalSpy help(&dialog, &WinSockInfoDialog::helpRequested);
    QPushButton *button = helpButton(&dialog);
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(help.size(), 1);

    // The form of the real socket layer.
    TransactionEngine engine;
    WinSockInfoDialog real(engine.winSockInfo());
    QCOMPARE(real.versionEdit()->text(), QStringLiteral("1.1"));
    QVERIFY(real.maxSocketsEdit()->text().toInt() > 0);
}

void tst_Dialogs::aboutBox()
{
    AboutDialog about(QStringLiteral("/home/ann/.config/tarnwick/tarnwick.ini"));
    auto *name = about.findChild<QLabel *>(QStringLiteral("programName"));
    auto *version = about.findChild<QLabel *>(QStringLiteral("version"));
    auto *settings = about.findChild<QLabel *>(QStringLiteral("settingsFile"));
    QVERIFY(name && version && settings);
    QCOMPARE(settings->text(), QStringLiteral("Settings file: /home/ann/.config/tarnwick/tarnwick.ini"));
    QCOMPARE(name->text(), QStringLiteral("Tarnwick 2.0"));
    QVERIFY(version->text().contains(QStringLiteral("2.0.0")));
    QVERIFY(version->text().contains(QStringLiteral("2026-12-07")));
}

// ---- Fonts ----

void tst_Dialogs::fontEmptySectionGetsDefaults()
{
    m_ini.put("[DirFont]\nHeight=0\nWeight=700\nItalic=1\nQuality=4\nFaceName=Old Face\n");
    FontManager fonts(*m_file);
    const QFont font = fonts.font(FontManager::DirFont);
    QCOMPARE(font.pixelSize(), 11);
    QCOMPARE(font.weight(), QFont::Normal);
    QVERIFY(!font.italic());
    QCOMPARE(font.family(), QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    QCOMPARE(m_ini.value("DirFont", "Height"), QByteArray("-11"));
    QCOMPARE(m_ini.value("DirFont", "Weight"), QByteArray("400"));
    QCOMPARE(m_ini.value("DirFont", "Italic"), QByteArray("0"));
    QCOMPARE(m_ini.value("DirFont", "Quality"), QByteArray("2"));
    QCOMPARE(m_ini.value("DirFont", "PitchAndFamily"), QByteArray("34"));
    QCOMPARE(m_ini.value("DirFont", "FaceName"), QByteArray(""));

    // The font is made once: a later change of the file is not picked up.
    m_ini.put("[DirFont]\nHeight=-30\n");
    QCOMPARE(fonts.font(FontManager::DirFont).pixelSize(), 11);
}

void tst_Dialogs::fontDefaults_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<bool>("fixed");
    QTest::newRow("BMFont") << int(FontManager::BMFont) << 11 << false;
    QTest::newRow("TreeFont") << int(FontManager::TreeFont) << 11 << false;
    QTest::newRow("DirFont") << int(FontManager::DirFont) << 11 << false;
    QTest::newRow("TextFont") << int(FontManager::TextFont) << 12 << true;
    QTest::newRow("PhoneFont, Courier New") << int(FontManager::PhoneFont) << 13 << true;
    QTest::newRow("AskFont, Courier New") << int(FontManager::AskFont) << 11 << true;
}

void tst_Dialogs::fontDefaults()
{
    QFETCH(int, kind);
    QFETCH(int, pixels);
    QFETCH(bool, fixed);
    FontManager fonts(*m_file);
    const QFont font = fonts.font(FontManager::Kind(kind));
    QCOMPARE(font.pixelSize(), pixels);
    // A fixed-pitch slot asks for a fixed-pitch font and names the
    // platform's fixed-pitch face behind its own ("Courier New" is rarely
    // installed on Linux), so the font drawn is fixed-pitch either way.
    QCOMPARE(font.fixedPitch(), fixed);
    const QString platformFixed = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    QCOMPARE(font.families().value(font.families().size() - 1, font.family()) == platformFixed,
             fixed);
    QCOMPARE(QFontInfo(font).fixedPitch(), fixed);
    const QByteArray section = FontManager::sectionName(FontManager::Kind(kind));
    QCOMPARE(m_file->getInt(section, "Height", 0), -pixels);
}

void tst_Dialogs::fontStoredIsUsed()
{
    m_ini.put("[TextFont]\nHeight=-20\nWeight=700\nItalic=1\nUnderline=1\nPitchAndFamily=1\n"
        "FaceName=DejaVu Sans Mono\n");
    const QByteArray before = m_ini.contents();
    FontManager fonts(*m_file);
    const QFont font = fonts.font(FontManager::TextFont);
    QCOMPARE(font.pixelSize(), 20);
    QCOMPARE(font.weight(), QFont::Bold);
    QVERIFY(font.italic());
    QVERIFY(font.underline());
    QCOMPARE(font.family(), QStringLiteral("DejaVu Sans Mono"));
    QCOMPARE(m_ini.contents(), before);
}

void tst_Dialogs::applyChosenFontWritesOnlyChangedKeys()
{
    // "Weight=0400" reads as 400: rewriting that key would change its text.
    const QByteArray file("[TextFont]\nHeight=-12\nWeight=0400\nItalic=0\nUnderline=0\n"
                          "Out Precision=3\nClip Precision=2\nQuality=2\nPitchAndFamily=1\nFaceName=\n");
    m_ini.put(file);
    FontManager fonts(*m_file);
    QSignalSpy changed(&fonts, &FontManager::fontChanged);
    QFont chosen = fonts.font(FontManager::TextFont);
    QCOMPARE(m_ini.contents(), file);
    chosen.setItalic(true);
    QVERIFY(fonts.applyChosenFont(FontManager::TextFont, chosen));

    QByteArray expected = file;
    expected.replace("Italic=0", "Italic=1");
    QCOMPARE(m_ini.contents(), expected);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed[0][0].toInt(), int(FontManager::TextFont));
    QVERIFY(fonts.font(FontManager::TextFont).italic());

    // A bigger, bold font: Height and Weight change, nothing else.
    chosen.setPixelSize(16);
    chosen.setWeight(QFont::Bold);
    QVERIFY(fonts.applyChosenFont(FontManager::TextFont, chosen));
    expected.replace("Height=-12", "Height=-16");
    expected.replace("Weight=0400", "Weight=700");
    QCOMPARE(m_ini.contents(), expected);
    QCOMPARE(changed.size(), 2);
    QCOMPARE(fonts.font(FontManager::TextFont).pixelSize(), 16);
}

void tst_Dialogs::applyChosenFontOnEmptySectionWritesEveryKey()
{
    m_ini.put("[PhoneFont]\nHeight=0\nWeight=900\nFaceName=Stale\n");
    FontManager fonts(*m_file);
    QSignalSpy changed(&fonts, &FontManager::fontChanged);
    QFont chosen = FontManager::toQFont(FontSlot::defaults("PhoneFont"));
    chosen.setPixelSize(15);
    QVERIFY(fonts.applyChosenFont(FontManager::PhoneFont, chosen));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed[0][0].toInt(), int(FontManager::PhoneFont));
    QCOMPARE(m_ini.value("PhoneFont", "Height"), QByteArray("-15"));
    QCOMPARE(m_ini.value("PhoneFont", "Weight"), QByteArray("400"));
    QCOMPARE(m_ini.value("PhoneFont", "Quality"), QByteArray("1"));
    QCOMPARE(m_ini.value("PhoneFont", "PitchAndFamily"), QByteArray("49"));
    QCOMPARE(m_ini.value("PhoneFont", "FaceName"), QByteArray("Courier New"));
}

void tst_Dialogs::fontRoundTrip_data()
{
    QTest::addColumn<LogFont>("description");
    const auto make = [](qint32 height, qint32 weight, quint8 italic, quint8 underline,
                         quint8 pitch, const char *face) {
        LogFont font;
        font.height = height;
        font.weight = weight;
        font.italic = italic;
        font.underline = underline;
        font.outPrecision = 3;
        font.clipPrecision = 2;
        font.quality = 1;
        font.pitchAndFamily = pitch;
        font.faceName = QByteArray(face);
        return font;
    };
    QTest::newRow("default face") << make(-11, 400, 0, 0, 34, "");
    QTest::newRow("bold italic underlined") << make(-14, 700, 1, 1, 34, "");
    QTest::newRow("fixed default face") << make(-12, 400, 0, 0, 1, "");
    QTest::newRow("Courier New") << make(-13, 400, 0, 1, 49, "Courier New");
    QTest::newRow("installed face") << make(-18, 700, 1, 0, 34, "DejaVu Serif");
    QTest::newRow("cell height") << make(16, 400, 0, 0, 34, "");
    QTest::newRow("light") << make(-11, 300, 0, 0, 34, "");
    QTest::newRow("unset weight") << make(-11, 0, 0, 0, 34, "");
}

void tst_Dialogs::fontRoundTrip()
{
    QFETCH(LogFont, description);
    const QFont font = FontManager::toQFont(description);
    QCOMPARE(font.pixelSize(), qAbs(description.height));
    QCOMPARE(font.italic(), description.italic != 0);
    QCOMPARE(font.underline(), description.underline != 0);
    QCOMPARE(FontManager::fromQFont(font, description), description);

    // Size, weight and slant come from the font, not from the base.
    LogFont other = description;
    other.height = -40;
    other.weight = 900;
    other.italic = !description.italic;
    other.underline = !description.underline;
    const LogFont fromOther = FontManager::fromQFont(font, other);
    QCOMPARE(fromOther.height, description.height < 0 ? description.height : -description.height);
    QCOMPARE(fromOther.weight, description.weight <= 0 ? 400 : description.weight);
    QCOMPARE(fromOther.italic, description.italic);
    QCOMPARE(fromOther.underline, description.underline);
    QCOMPARE(fromOther.faceName, description.faceName);
}

void tst_Dialogs::fromQFontTakesChosenFace()
{
    const LogFont base = FontSlot::defaults("DirFont");
    QFont chosen;
    chosen.setFamilies({QStringLiteral("Tarnwick Test Face")});
    chosen.setPixelSize(15);
    LogFont result = FontManager::fromQFont(chosen, base);
    QCOMPARE(result.faceName, QByteArray("Tarnwick Test Face"));
    QCOMPARE(result.height, -15);
    QCOMPARE(result.quality, base.quality);

    // Face names are kept to 31 bytes, never half a character.
    chosen.setFamilies({QString(30, QLatin1Char('a')) + QStringLiteral("\u00e9\u00e9")});
    result = FontManager::fromQFont(chosen, base);
    QCOMPARE(result.faceName, QByteArray(30, 'a'));

    // A fixed-pitch face chosen for a proportional font makes it fixed-pitch.
    chosen.setFamilies({QStringLiteral("DejaVu Sans Mono")});
    result = FontManager::fromQFont(chosen, base);
    QCOMPARE(result.faceName, QByteArray("DejaVu Sans Mono"));
    QCOMPARE(result.pitchAndFamily, quint8(0x31));
    QVERIFY(QFontInfo(FontManager::toQFont(result)).fixedPitch());
}

void tst_Dialogs::fromQFontPointSize()
{
    // The font dialog hands back point sizes.
    QFont chosen = FontManager::toQFont(FontSlot::defaults("TextFont"));
    chosen.setPointSize(14);
    const LogFont result = FontManager::fromQFont(chosen, FontSlot::defaults("TextFont"));
    QVERIFY(result.height < 0);
    QCOMPARE(result.height, -QFontInfo(chosen).pixelSize());
}

void tst_Dialogs::usePrinterFontToggle()
{
    FontManager fonts(*m_file);
    QVERIFY(!fonts.printerFontStored());
    QVERIFY(!fonts.toggleUsePrinterFont());
    QVERIFY(!fonts.usePrinterFont());
    QCOMPARE(m_ini.value("Printer Settings", "Use Printer Font"), QByteArray("<absent>"));

    m_ini.put("[PrinterFont]\nHeight=-40\nFaceName=DejaVu Serif\n");
    QVERIFY(fonts.printerFontStored());
    QVERIFY(fonts.toggleUsePrinterFont());
    QVERIFY(fonts.usePrinterFont());
    QCOMPARE(m_ini.value("Printer Settings", "Use Printer Font"), QByteArray("1"));
    QVERIFY(fonts.toggleUsePrinterFont());
    QVERIFY(!fonts.usePrinterFont());
    QCOMPARE(FontManager::menuText(FontManager::TreeFont), QStringLiteral("&Document List..."));
}

// ---- Forms as the main frame opens them ----

void tst_Dialogs::homeDialogExplainsAndOffersSampleServer()
{
    m_ini.put("[Home Gopher]\nInitial Menu=Kept title\n");
    qputenv(SampleServerVariable, "gopher://127.0.0.1:7071/1/sample");
    CTarnwickApp app(*m_ui);
    app.setSettingsPath(filePath());
    const std::unique_ptr<HomeGopherDialog> dialog = makeHomeServerSetup(nullptr, app, *m_ui);
    qunsetenv(SampleServerVariable);
    QCOMPARE(dialog->explanation()->text(),
             QStringLiteral("Your home gopher is the Gopher server whose menu Tarnwick opens at "
                            "start and on Home Gopher."));
    QVERIFY(!dialog->explanation()->text().contains(QLatin1Char('\n')));
    QVERIFY(!dialog->offerButton()->isHidden());
    QCOMPARE(dialog->offerButton()->text(), QStringLiteral("Use the &sample server 127.0.0.1:7071"));

    QTest::mouseClick(dialog->offerButton(), Qt::LeftButton);
    QCOMPARE(dialog->hostEdit(1)->text(), QStringLiteral("127.0.0.1"));
    QCOMPARE(dialog->portEdit(1)->text(), QStringLiteral("7071"));
    QCOMPARE(dialog->selectorEdit(1)->text(), QStringLiteral("/sample"));
    dialog->accept();
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(m_ini.value("Home Gopher", "Home Server 1"), QByteArray("127.0.0.1"));
    QCOMPARE(m_ini.value("Home Gopher", "Home Port 1"), QByteArray("7071"));
    QCOMPARE(m_ini.value("Home Gopher", "Home Selector 1"), QByteArray("/sample"));
    QCOMPARE(m_ini.value("Home Gopher", "Initial Menu"), QByteArray("Kept title"));
    QCOMPARE(m_ini.value("Home Gopher", "Count of Home Gophers"), QByteArray("1"));
}

void tst_Dialogs::homeDialogOffersNothingForBadUrl_data()
{
    QTest::addColumn<QByteArray>("url");
    QTest::newRow("not set") << QByteArray();
    QTest::newRow("no host") << QByteArray("gopher:///1/");
    QTest::newRow("port beyond the dialog's range") << QByteArray("gopher://127.0.0.1:65536/");
    QTest::newRow("not a URL") << QByteArray("sample");
}

void tst_Dialogs::homeDialogOffersNothingForBadUrl()
{
    QFETCH(QByteArray, url);
    if (url.isEmpty())
        qunsetenv(SampleServerVariable);
    else
        qputenv(SampleServerVariable, url);
    CTarnwickApp app(*m_ui);
    app.setSettingsPath(filePath());
    const std::unique_ptr<HomeGopherDialog> dialog = makeHomeServerSetup(nullptr, app, *m_ui);
    qunsetenv(SampleServerVariable);
    QVERIFY(dialog->offerButton()->isHidden());
}

void tst_Dialogs::winSockHelpIsGreyed()
{
    // Until the manual is attached to it, the form's Help is greyed.
    TransactionEngine engine;
    const std::unique_ptr<WinSockInfoDialog> dialog = makeWinSockInfo(nullptr, engine.winSockInfo());
    QPushButton *help = helpButton(dialog.get());
    QVERIFY(help);
    QVERIFY(!help->isEnabled());
}

void tst_Dialogs::findDialogControlsDoNotOverlap()
{
    FindDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *matchCase = dialog.findChild<QCheckBox *>();
    auto *direction = dialog.findChild<QGroupBox *>();
    QVERIFY(matchCase && direction);
    QCOMPARE(direction->title(), QStringLiteral("Direction"));
    QVERIFY2(!matchCase->geometry().intersects(direction->geometry()),
             qPrintable(QStringLiteral("%1 %2").arg(matchCase->geometry().right()).arg(direction->geometry().left())));
    // The whole text of the check box is shown.
    QVERIFY(matchCase->width() >= matchCase->sizeHint().width());
}

QTEST_MAIN(tst_Dialogs)
#include "tst_dialogs.moc"
