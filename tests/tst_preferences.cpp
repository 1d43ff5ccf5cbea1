#include "ui/dialogs/directoriesdialog.h"
#include "app/mailsender.h"
#include "settings/profilefile.h"
#include "settings/programfiles.h"
#include "app/tarnwickapp.h"
#include "ui/dialogs/useroptionsdialog.h"
#include "ui/dialogs/viewersdialog.h"
#include "settings/viewertable.h"
#include "ui/bookmarks/homegopherdialog.h"
#include "documents/userinterface.h"
#include "tests/support/settingsfile.h"
#include "ui/guiprogram.h"
#include "ui/mainframe.h"
#include "ui/preferences/networkpage.h"
#include "ui/preferences/preferencesheet.h"
#include "ui/preferences/toolbarpage.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>

class tst_Preferences : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void sheetTabsAndButtons();
    void generalPageSeenByUserOptions();
    void directoriesPageSeenByDialog();
    void viewersPageSeenByDialog();
    void homePageWritesServerOne_data();
    void homePageWritesServerOne();
    void homeOnAnyPortKeepsSheetWorking();
    void refusedPageKeepsSheetOpen();
    void cancelWritesNothing();
    void toolbarPageMovesToolbar();
    void returnIsTheSheetsOk_data();
    void returnIsTheSheetsOk();
    void mnemonicsHaveTheirFields_data();
    void mnemonicsHaveTheirFields();
    void networkPageWritesOneChange();

    // Send
    void mailArgumentsAreOneVector();
    void nothingToSendSaysSo();

private:
    QString filePath() const { return m_dir->filePath(QStringLiteral("tarnwick.ini")); }

    std::unique_ptr<QTemporaryDir> m_dir;
    SettingsFile m_ini;
    std::unique_ptr<RecordingUserInterface> m_ui;
    std::unique_ptr<CTarnwickApp> m_app;
};

void tst_Preferences::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_Preferences::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_ini.setPath(filePath());
    m_ui = std::make_unique<RecordingUserInterface>();
    m_app = std::make_unique<CTarnwickApp>(*m_ui);
    m_app->setSettingsPath(filePath());
}

void tst_Preferences::cleanup()
{
    m_app.reset();
    m_ui.reset();
    m_dir.reset();
}

void tst_Preferences::sheetTabsAndButtons()
{
    CPreferenceSheet sheet(*m_app, *m_ui);
    QCOMPARE(sheet.windowTitle(), QStringLiteral("Tarnwick Preferences"));
    QStringList tabs;
    for (int i = 0; i < sheet.tabs()->count(); ++i)
        tabs << sheet.tabs()->tabText(i);
    const QStringList expected{QStringLiteral("Home Gopher"), QStringLiteral("Home View"),
                               QStringLiteral("General"), QStringLiteral("Toolbar"),
                               QStringLiteral("Directories"), QStringLiteral("Network"),
                               QStringLiteral("Languages"), QStringLiteral("Telnet"),
                               QStringLiteral("Viewers"), QStringLiteral("Extended Viewers")};
    QCOMPARE(tabs, expected);

    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    // Only the sheet's own OK and Cancel are shown: a page's would close the
    // page alone and leave an empty tab.
    int shownOk = 0;
    for (int i = 0; i < sheet.tabs()->count(); ++i) {
        sheet.tabs()->setCurrentIndex(i);
        for (auto *box : sheet.findChildren<QDialogButtonBox *>()) {
            QPushButton *ok = box->button(QDialogButtonBox::Ok);
            if (ok && ok->isVisible())
                ++shownOk;
        }
        QCOMPARE(shownOk, 1);
        shownOk = 0;
    }
    auto *home = sheet.page<HomeGopherDialog>(QStringLiteral("Home Gopher"));
    QVERIFY(home);
    QVERIFY(home->isPreferencesPage());
    QVERIFY(!home->secondServerShown());
    QVERIFY(!home->moreButton()->isVisible());
}

void tst_Preferences::generalPageSeenByUserOptions()
{
    {
        CPreferenceSheet sheet(*m_app, *m_ui);
        // The test's tree has no Gopher+ table files; their pages say so.
        m_ui->messages.clear();
        auto *page = sheet.page<UserOptionsDialog>(QStringLiteral("General"));
        QVERIFY(page);
        page->autoFileNameBox()->setChecked(true);
        page->minimizeButton()->setChecked(true);
        sheet.accept();
        QCOMPARE(sheet.result(), int(QDialog::Accepted));
    }
    QCOMPARE(m_ini.value("Options", "Auto File Name"), QByteArray("1"));
    UserOptionsDialog dialog(m_app->settings(), m_ui.get());
    QVERIFY(dialog.autoFileNameBox()->isChecked());
    QCOMPARE(dialog.fetchAction(), 1);
    QVERIFY(m_ui->messages.isEmpty());
}

void tst_Preferences::directoriesPageSeenByDialog()
{
    const QString temporary = m_dir->filePath(QStringLiteral("tmp area"));
    {
        CPreferenceSheet sheet(*m_app, *m_ui);
        auto *page = sheet.page<DirectoriesDialog>(QStringLiteral("Directories"));
        QVERIFY(page);
        page->temporaryEdit()->setText(temporary);
        sheet.accept();
        QCOMPARE(sheet.result(), int(QDialog::Accepted));
    }
    DirectoriesDialog dialog(m_app->settings(), m_ui.get());
    QCOMPARE(dialog.temporaryEdit()->text(), temporary);
}

void tst_Preferences::viewersPageSeenByDialog()
{
    CPreferenceSheet sheet(*m_app, *m_ui);
    auto *page = sheet.page<ViewersDialog>(QStringLiteral("Viewers"));
    QVERIFY(page);
    page->extensionEdit()->setText(QStringLiteral("PNG"));
    page->programEdit()->setText(QStringLiteral("/usr/bin/eog"));
    page->onAdd();
    sheet.accept();
    QCOMPARE(sheet.result(), int(QDialog::Accepted));

    // Read while the sheet is still alive: OK has written the table already.
    ViewerTable table(m_app->profile());
    ViewersDialog dialog(table);
    QCOMPARE(dialog.list()->count(), 1);
    QCOMPARE(dialog.list()->item(0)->text(), QStringLiteral("PNG\t/usr/bin/eog"));
}

void tst_Preferences::homePageWritesServerOne_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QByteArray>("writtenHost");
    QTest::addColumn<QByteArray>("writtenPort");
    QTest::addColumn<QByteArray>("count");
    QTest::addColumn<QByteArray>("selector");

    QTest::newRow("host cleaned, second server no longer counted")
        << QStringLiteral("Gopher.Example.ORG") << QStringLiteral("7070")
        << QByteArray("gopher.example.org") << QByteArray("7070") << QByteArray("1")
        << QByteArray("1/mine");
    QTest::newRow("empty host clears the server")
        << QString() << QStringLiteral("7070") << QByteArray("<absent>") << QByteArray("70")
        << QByteArray("0") << QByteArray("");
}

void tst_Preferences::homePageWritesServerOne()
{
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(QByteArray, writtenHost);
    QFETCH(QByteArray, writtenPort);
    QFETCH(QByteArray, count);
    QFETCH(QByteArray, selector);

    m_ini.put("[Home Gopher]\nCount of Home Gophers=2\nHome Server 1=gopher.one\nHome Port 1=71\n"
        "Home Selector 1=1/mine\nHome Server 2=gopher.two\nHome Port 2=72\n");
    {
        CPreferenceSheet sheet(*m_app, *m_ui);
        auto *page = sheet.page<HomeGopherDialog>(QStringLiteral("Home Gopher"));
        QVERIFY(page);
        QCOMPARE(page->hostEdit(1)->text(), QStringLiteral("gopher.one"));
        page->hostEdit(1)->setText(host);
        page->portEdit(1)->setText(port);
        sheet.accept();
        QCOMPARE(sheet.result(), int(QDialog::Accepted));
    }
    QCOMPARE(m_ini.value("Home Gopher", "Home Server 1"), writtenHost);
    QCOMPARE(m_ini.value("Home Gopher", "Home Port 1"), writtenPort);
    QCOMPARE(m_ini.value("Home Gopher", "Count of Home Gophers"), count);
    QCOMPARE(m_ini.value("Home Gopher", "Home Selector 1"), selector);
    // The second server keeps its keys.
    QCOMPARE(m_ini.value("Home Gopher", "Home Server 2"), QByteArray("gopher.two"));
    QCOMPARE(m_ini.value("Home Gopher", "Home Port 2"), QByteArray("72"));

    HomeGopherDialog dialog(m_app->profile(), m_ui.get());
    QCOMPARE(dialog.hostEdit(1)->text(),
             host.isEmpty() ? QString() : QString::fromUtf8(writtenHost));
}

void tst_Preferences::homeOnAnyPortKeepsSheetWorking()
{
    // A home gopher on a port above 32767 (set in the dialog or by hand)
    // must not keep OK from writing the other pages.
    m_ini.put("[Home Gopher]\nCount of Home Gophers=1\nHome Server 1=gopher.one\nHome Port 1=42080\n");
    CPreferenceSheet sheet(*m_app, *m_ui);
    m_ui->messages.clear();
    sheet.page<DirectoriesDialog>(QStringLiteral("Directories"))
        ->temporaryEdit()
        ->setText(QStringLiteral("/elsewhere"));
    sheet.accept();
    QVERIFY(m_ui->messages.isEmpty());
    QCOMPARE(sheet.result(), int(QDialog::Accepted));
    QCOMPARE(m_ini.value("Home Gopher", "Home Port 1"), QByteArray("42080"));
    QVERIFY(m_ini.contents().contains("/elsewhere"));
}

void tst_Preferences::refusedPageKeepsSheetOpen()
{
    m_ini.put("[Home Gopher]\nCount of Home Gophers=1\nHome Server 1=gopher.one\n");
    const QByteArray before = m_ini.contents();
    CPreferenceSheet sheet(*m_app, *m_ui);
    m_ui->messages.clear();
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    sheet.tabs()->setCurrentIndex(2);
    auto *home = sheet.page<HomeGopherDialog>(QStringLiteral("Home Gopher"));
    home->portEdit(1)->setText(QStringLiteral("65536"));
    sheet.page<DirectoriesDialog>(QStringLiteral("Directories"))
        ->temporaryEdit()
        ->setText(QStringLiteral("/elsewhere"));
    sheet.accept();

    QCOMPARE(m_ui->messages.size(), 1);
    QCOMPARE(m_ui->messages[0].text, QByteArray("Please enter an integer between 1 and 65535."));
    QVERIFY(sheet.isVisible());
    QVERIFY(sheet.result() != QDialog::Accepted);
    QCOMPARE(sheet.tabs()->currentWidget(), home);
    QVERIFY(home->isVisible());
    // The refusing page comes first: nothing after it has been written.
    QCOMPARE(m_ini.contents(), before);

    // Put right, OK goes through.
    home->portEdit(1)->setText(QStringLiteral("70"));
    sheet.accept();
    QCOMPARE(sheet.result(), int(QDialog::Accepted));
    QCOMPARE(m_ini.value("Directories", "Temporary directory"), QByteArray("/elsewhere"));
}

void tst_Preferences::networkPageWritesOneChange()
{
    const QByteArray fingerprint = QByteArray("AB:").repeated(31) + "CD";
    m_ini.put("[TLS Hosts]\nHost0=old.example\nHost1=kept.example:7443\n[Certificates]\n::1:7443="
              + fingerprint + " 2026-01-02T03:04:05Z 2027-02-03T00:00:00Z\nother.example:70="
              + fingerprint + " 2026-01-02T03:04:05Z -\n");
    CPreferenceSheet sheet(*m_app, *m_ui);
    auto *page = sheet.page<CNetworkPage>(QStringLiteral("Network"));
    QVERIFY(page);
    QCOMPARE(page->proxyHostEdit()->text(), QString());
    QCOMPARE(page->proxyPortEdit()->text(), QStringLiteral("9050"));
    QVERIFY(page->resolveBox()->isChecked());
    QVERIFY(page->rememberHostsBox()->isChecked());
    QCOMPARE(page->tlsHostList()->count(), 2);
    QTreeWidget *certificates = page->certificateList();
    QCOMPARE(certificates->topLevelItemCount(), 2);
    QCOMPARE(certificates->topLevelItem(0)->text(0), QStringLiteral("[::1]:7443"));
    QCOMPARE(certificates->topLevelItem(0)->text(2), QStringLiteral("2026-01-02"));
    QCOMPARE(certificates->topLevelItem(0)->text(3), QStringLiteral("2027-02-03"));

    certificates->setCurrentItem(certificates->topLevelItem(0));
    m_ui->messages.clear();
    page->viewCertificate();
    QCOMPARE(m_ui->messages.size(), 1);
    QCOMPARE(m_ui->messages[0].text, "Host: [::1]:7443\nSHA-256 fingerprint:\n" + fingerprint
                                         + "\nTrusted since: 2026-01-02\nValid until: 2027-02-03");
    page->forgetCertificate();
    page->tlsHostList()->setCurrentRow(0);
    page->removeHost();
    page->tlsHostEdit()->setText(QStringLiteral("new.example:70"));
    page->addHost();
    page->rememberHostsBox()->setChecked(false);
    page->proxyHostEdit()->setText(QStringLiteral("127.0.0.1"));
    page->proxyPortEdit()->setText(QStringLiteral("0"));
    page->resolveBox()->setChecked(false);
    page->proxyUserEdit()->setText(QStringLiteral("tor"));

    // A proxy without a port that could be one keeps the sheet open.
    m_ui->messages.clear();
    sheet.accept();
    QVERIFY(sheet.result() != QDialog::Accepted);
    QCOMPARE(m_ui->messages.size(), 1);
    QCOMPARE(m_ui->messages[0].text, QByteArray("The proxy port must be a number from 1 to 65535."));
    QVERIFY(!m_ini.contents().contains("[Network]"));
    QCOMPARE(m_ini.value("TLS Hosts", "Host0"), QByteArray("old.example"));

    page->proxyPortEdit()->setText(QStringLiteral("9150"));
    const int replacements = m_app->profile().counters().replacements;
    sheet.accept();
    QCOMPARE(sheet.result(), int(QDialog::Accepted));
    // The page's keys go in one replacement of the file (other pages write
    // their own).
    QVERIFY(m_app->profile().counters().replacements - replacements <= 4);
    QCOMPARE(m_ini.value("Network", "Proxy Host"), QByteArray("127.0.0.1"));
    QCOMPARE(m_ini.value("Network", "Proxy Port"), QByteArray("9150"));
    QCOMPARE(m_ini.value("Network", "Proxy Resolves Names"), QByteArray("0"));
    QCOMPARE(m_ini.value("Network", "Proxy User"), QByteArray("tor"));
    QCOMPARE(m_ini.value("Network", "Remember TLS Hosts"), QByteArray("0"));
    QCOMPARE(m_app->network().tlsHosts(), (QList<QByteArray>{"kept.example:7443", "new.example:70"}));
    QVERIFY(!m_app->network().knownCertificate("::1", 7443));
    QVERIFY(m_app->network().knownCertificate("other.example", 70));
    const std::optional<ProxySetting> proxy = m_app->network().proxy();
    QVERIFY(proxy);
    QCOMPARE(proxy->hostPort(), QByteArray("127.0.0.1:9150"));
    QVERIFY(!proxy->resolvesNames);
}

void tst_Preferences::cancelWritesNothing()
{
    m_ini.put("[Options]\nAuto File Name=0\n");
    const QByteArray before = m_ini.contents();
    {
        CPreferenceSheet sheet(*m_app, *m_ui);
        sheet.page<UserOptionsDialog>(QStringLiteral("General"))->autoFileNameBox()->setChecked(true);
        auto *viewers = sheet.page<ViewersDialog>(QStringLiteral("Viewers"));
        viewers->extensionEdit()->setText(QStringLiteral("TXT"));
        viewers->programEdit()->setText(QStringLiteral("/usr/bin/less"));
        viewers->onAdd();
        sheet.reject();
        QCOMPARE(sheet.result(), int(QDialog::Rejected));
    }
    QCOMPARE(m_ini.contents(), before);
}

void tst_Preferences::toolbarPageMovesToolbar()
{
    GuiProgram program;
    program.app().setSettingsPath(filePath());
    // The shipped tables of the build tree, so the sheet's pages find them.
    ProgramFiles files;
    files.configDirectory = m_dir->path();
    files.programDirectory = QCoreApplication::applicationDirPath() + QStringLiteral("/..");
    program.app().setProgramFiles(files);
    CMainFrame frame(program);
    const std::unique_ptr<CPreferenceSheet> sheet = frame.makePreferenceSheet();
    auto *page = sheet->page<CToolbarPage>(QStringLiteral("Toolbar"));
    QVERIFY(page);
    QAbstractButton *bottom = page->positionGroup()->button(1);
    QCOMPARE(bottom->text(), QStringLiteral("&Bottom"));
    bottom->setChecked(true);
    sheet->accept();
    QCOMPARE(frame.toolBarArea(frame.toolBar()), Qt::BottomToolBarArea);
    QCOMPARE(m_ini.value("Toolbar", "Position"), QByteArray("1"));
}

void tst_Preferences::returnIsTheSheetsOk_data()
{
    QTest::addColumn<QString>("tab");
    for (const char *tab : {"Home Gopher", "Directories", "Telnet", "Viewers"})
        QTest::newRow(tab) << QString::fromLatin1(tab);
}

void tst_Preferences::returnIsTheSheetsOk()
{
    QFETCH(QString, tab);
    CPreferenceSheet sheet(*m_app, *m_ui);
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    QDialog *page = sheet.page(tab);
    QVERIFY(page);
    sheet.tabs()->setCurrentWidget(page);
    auto *field = page->findChild<QLineEdit *>();
    QVERIFY(field);
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(sheet.result(), int(QDialog::Accepted));
    QVERIFY(!sheet.isVisible());
}

void tst_Preferences::mnemonicsHaveTheirFields_data()
{
    QTest::addColumn<QString>("tab");
    for (const char *tab : {"Home Gopher", "Home View", "General", "Toolbar", "Directories",
                            "Languages", "Telnet", "Viewers", "Extended Viewers"})
        QTest::newRow(tab) << QString::fromLatin1(tab);
}

void tst_Preferences::mnemonicsHaveTheirFields()
{
    // A label with a mnemonic and no field shows its ampersand ("Vie&wer:")
    // and its key leads nowhere.
    QFETCH(QString, tab);
    CPreferenceSheet sheet(*m_app, *m_ui);
    QVERIFY(sheet.page(tab));
    for (const QLabel *label : sheet.page(tab)->findChildren<QLabel *>()) {
        const QString text = QString(label->text()).remove(QStringLiteral("&&"));
        if (label->textFormat() == Qt::PlainText || !text.contains(u'&'))
            continue;
        QVERIFY2(label->buddy(), qPrintable(label->text()));
    }
}

void tst_Preferences::mailArgumentsAreOneVector()
{
    // A title from a server stays one argument, whatever it holds.
    const QStringList expected{QStringLiteral("xdg-email"), QStringLiteral("--attach"),
                               QStringLiteral("/tmp/a b.txt"), QStringLiteral("--subject"),
                               QStringLiteral("notes; rm -rf ~ $(id)")};
    QCOMPARE(MailSender::arguments(QStringLiteral("/tmp/a b.txt"), "notes; rm -rf ~ $(id)"), expected);
}

void tst_Preferences::nothingToSendSaysSo()
{
    QVERIFY(!MailSender::send(nullptr, m_dir->path(), *m_ui));
    QCOMPARE(m_ui->messages.size(), 1);
    QCOMPARE(m_ui->messages[0].text, QByteArray("There is no document or downloaded file to send."));
    // Nothing was written for the mail program.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList());
}

QTEST_MAIN(tst_Preferences)
#include "tst_preferences.moc"
