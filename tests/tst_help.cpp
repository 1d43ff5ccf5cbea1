#include "settings/programfiles.h"
#include "app/tarnwickapp.h"
#include "documents/helptopics.h"
#include "net/transactionengine.h"
#include "ui/dialogs/winsockinfodialog.h"
#include "ui/commanddialogs.h"
#include "ui/guiprogram.h"
#include "ui/mainframe.h"
#include "ui/qtuserinterface.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

// The manual as the build tree holds it: every page and anchor the program
// opens exists, every link between pages lands, and the help commands and
// message boxes open the right place.
class tst_Help : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void topicsExist_data();
    void topicsExist();
    void linksResolve();
    void messageBoxAndDialogHelp();
    void helpCommandsOpenPages_data();
    void helpCommandsOpenPages();

private:
    // Pages open into m_opened instead of a browser.
    const QList<QUrl> &record(QtUserInterface &ui);

    QString m_help;
    QList<QUrl> m_opened;
};

namespace {

QString readPage(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

const QList<QUrl> &tst_Help::record(QtUserInterface &ui)
{
    m_opened.clear();
    ui.urlOpener = [this](const QUrl &url) {
        m_opened.append(url);
        return true;
    };
    ui.setHelpDirectory(m_help);
    return m_opened;
}

void tst_Help::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    // The manual is found beside the program by the settings file's search.
    QTemporaryDir elsewhere;
    ProgramFiles files;
    files.currentDirectory = elsewhere.path();
    files.programDirectory = QStringLiteral(TWK_BUILD_DIR);
    RecordingUserInterface ui;
    CTarnwickApp app(ui);
    app.setProgramFiles(files);
    m_help = app.helpDirectory();
    QCOMPARE(QDir(m_help).canonicalPath(), QDir(QStringLiteral(TWK_BUILD_DIR "/help")).canonicalPath());
}

void tst_Help::topicsExist_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("anchor");
    for (const Help context : HelpTopics::allContexts()) {
        const HelpTopic topic = HelpTopics::topic(context);
        QTest::addRow("context %d", int(context)) << topic.page << topic.anchor;
    }
    for (const HelpPage page : HelpTopics::allPages()) {
        const HelpTopic topic = HelpTopics::topic(page);
        QTest::addRow("page %d", int(page)) << topic.page << topic.anchor;
    }
}

void tst_Help::topicsExist()
{
    QFETCH(QString, page);
    QFETCH(QString, anchor);
    const QString text = readPage(QDir(m_help).filePath(page));
    QVERIFY2(!text.isEmpty(), qPrintable(page));
    if (!anchor.isEmpty())
        QVERIFY2(text.contains(QStringLiteral("id=\"%1\"").arg(anchor)),
                 qPrintable(page + u'#' + anchor));
}

void tst_Help::linksResolve()
{
    static const QRegularExpression href(QStringLiteral("href=\"([^\"#]*)(?:#([^\"]*))?\""));
    const QStringList pages = QDir(m_help).entryList({QStringLiteral("*.html")});
    QVERIFY(pages.size() >= HelpTopics::allPages().size());
    for (const QString &name : pages) {
        const QString text = readPage(QDir(m_help).filePath(name));
        for (const QRegularExpressionMatch &link : href.globalMatch(text)) {
            const QString target = link.captured(1).isEmpty() ? name : link.captured(1);
            const QString where = name + QStringLiteral(" -> ") + link.captured(0);
            QVERIFY2(!target.contains(u':'), qPrintable(where)); // no links off the manual
            const QString linked = readPage(QDir(m_help).filePath(target));
            QVERIFY2(!linked.isEmpty(), qPrintable(where));
            if (!link.captured(2).isEmpty())
                QVERIFY2(linked.contains(QStringLiteral("id=\"%1\"").arg(link.captured(2))),
                         qPrintable(where));
        }
    }
}

void tst_Help::messageBoxAndDialogHelp()
{
    QtUserInterface ui;
    QVERIFY(!ui.makeMessageBox("plain", UserInterface::Exclamation, UserInterface::Ok)
                 ->button(QMessageBox::Help));
    const auto box = ui.makeMessageBox("Hostname lookup failure for nowhere.example :",
                                       UserInterface::Exclamation, UserInterface::Ok,
                                       Help::HostLookup);
    QVERIFY(box->button(QMessageBox::Help));

    const QList<QUrl> &opened = record(ui);
    QVERIFY(ui.showHelp(HelpTopics::topic(Help::HostLookup)));
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened.at(0).fileName(), QStringLiteral("messages.html"));
    QCOMPARE(opened.at(0).fragment(), QStringLiteral("host-lookup"));
    QVERIFY(QFile::exists(opened.at(0).toLocalFile()));

    // A dialog's Help button, greyed until the manual is attached.
    TransactionEngine engine;
    const std::unique_ptr<WinSockInfoDialog> dialog = makeWinSockInfo(nullptr, engine.winSockInfo());
    ui.attachHelp(dialog.get(), HelpPage::Messages);
    QPushButton *help = dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Help);
    QVERIFY(help->isEnabled());
    help->click();
    QCOMPARE(opened.size(), 2);
    QCOMPARE(opened.at(1).fileName(), QStringLiteral("messages.html"));
}

void tst_Help::helpCommandsOpenPages_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("page");
    QTest::newRow("F1 without a window") << int(CMainFrame::ID_HELP) << QStringLiteral("main-window.html");
    QTest::newRow("Shift+F1 the same") << int(CMainFrame::ID_CONTEXT_HELP) << QStringLiteral("main-window.html");
    QTest::newRow("Index") << int(CMainFrame::ID_HELP_INDEX) << QStringLiteral("index.html");
    QTest::newRow("Using Help") << int(CMainFrame::ID_HELP_USING) << QStringLiteral("using-help.html");
}

void tst_Help::helpCommandsOpenPages()
{
    QFETCH(int, command);
    QFETCH(QString, page);
    QTemporaryDir dir;
    GuiProgram program;
    program.app().setSettingsPath(dir.filePath(QStringLiteral("tarnwick.ini")));
    CMainFrame frame(program);
    const QList<QUrl> &opened = record(program.ui());
    frame.updateCommandStates();
    QVERIFY(frame.action(command)->isEnabled());
    frame.runCommand(command);
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened.at(0).fileName(), page);
}

QTEST_MAIN(tst_Help)
#include "tst_help.moc"
