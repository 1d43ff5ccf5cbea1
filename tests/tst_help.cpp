#include "settings/programfiles.h"
#include "app/tarnwickapp.h"
#include "documents/helptopics.h"
#include "net/transactionengine.h"
#include "ui/dialogs/winsockinfodialog.h"
#include "ui/commanddialogs.h"
#include "ui/guiprogram.h"
#include "ui/mainframe.h"
#include "ui/qtuserinterface.h"
#include "ui/help/helpwindow.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QLineEdit>
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
    void helpWindowFollowsLinksBackAndForward();
    void helpWindowFinds_data();
    void helpWindowFinds();
    void messageBoxHelpLeavesTheQuestionOpen();
    void escapeAnswersBoxesWithHelp_data();
    void escapeAnswersBoxesWithHelp();

private:
    // "Open in browser" records into m_opened instead of starting a browser.
    const QList<QUrl> &record(QtUserInterface &ui);
    // The page the help window shows, with its anchor.
    static QString shownPage(const QtUserInterface &ui);
    // The help window after showing topic, or null.
    HelpWindow *show(QtUserInterface &ui, const HelpTopic &topic);

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

QString tst_Help::shownPage(const QtUserInterface &ui)
{
    if (!ui.helpWindow() || !ui.helpWindow()->isVisible())
        return QString();
    const QUrl url = ui.helpWindow()->browser()->source();
    return url.fragment().isEmpty() ? url.fileName() : url.fileName() + u'#' + url.fragment();
}

HelpWindow *tst_Help::show(QtUserInterface &ui, const HelpTopic &topic)
{
    record(ui);
    return ui.showHelp(topic) ? ui.helpWindow() : nullptr;
}

void tst_Help::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    // The manual is found beside the program by the settings file's search.
    QTemporaryDir elsewhere;
    ProgramFiles files;
    files.userConfigDirectory = elsewhere.path();
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
    QCOMPARE(shownPage(ui), QStringLiteral("messages.html#host-lookup"));
    QVERIFY(ui.helpWindow()->browser()->toPlainText().contains(QStringLiteral("Contents")));
    QVERIFY(QFile::exists(ui.helpWindow()->browser()->source().toLocalFile()));

    // A dialog's Help button, greyed until the manual is attached.
    TransactionEngine engine;
    const std::unique_ptr<WinSockInfoDialog> dialog = makeWinSockInfo(nullptr, engine.winSockInfo());
    ui.attachHelp(dialog.get(), HelpPage::Messages);
    QPushButton *help = dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Help);
    QVERIFY(help->isEnabled());
    help->click();
    QCOMPARE(shownPage(ui), QStringLiteral("messages.html"));
    // The pages are the program's own window: nothing went to a browser.
    QVERIFY(opened.isEmpty());
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
    QCOMPARE(shownPage(program.ui()), page);
    QVERIFY(opened.isEmpty());
}

void tst_Help::helpWindowFollowsLinksBackAndForward()
{
    QtUserInterface ui;
    HelpWindow *window = show(ui, HelpTopics::topic(HelpPage::Contents));
    QVERIFY(window && QTest::qWaitForWindowExposed(window));
    QCOMPARE(window->windowTitle(), QStringLiteral("Contents - Tarnwick Help"));
    QVERIFY(!window->backAction()->isEnabled());

    // From the keyboard: Tab to the second link of the page ("Using Help"), Return follows it.
    QTextBrowser *page = window->browser();
    QTest::keyClick(page, Qt::Key_Tab);
    QTest::keyClick(page, Qt::Key_Tab);
    QTest::keyClick(page, Qt::Key_Return);
    QTRY_COMPARE(shownPage(ui), QStringLiteral("using-help.html"));
    QCOMPARE(window->windowTitle(), QStringLiteral("Using Help - Tarnwick Help"));

    QVERIFY(window->backAction()->isEnabled());
    window->backAction()->trigger();
    QCOMPARE(shownPage(ui), QStringLiteral("index.html"));
    QVERIFY(window->forwardAction()->isEnabled());
    window->forwardAction()->trigger();
    QCOMPARE(shownPage(ui), QStringLiteral("using-help.html"));

    QVERIFY(ui.showHelp(HelpTopics::topic(HelpPage::Printing)));
    QCOMPARE(shownPage(ui), QStringLiteral("printing.html"));
    window->contentsAction()->trigger();
    QCOMPARE(shownPage(ui), QStringLiteral("index.html"));
    // One window, whatever asks for help.
    QCOMPARE(ui.helpWindow(), window);

    // "Open in browser" is the only hand-over; without a browser the window says so.
    QVERIFY(ui.showHelp(HelpTopics::topic(Help::Connect)));
    QVERIFY(m_opened.isEmpty());
    window->openInBrowserAction()->trigger();
    QCOMPARE(m_opened.size(), 1);
    QCOMPARE(m_opened.at(0).fileName(), QStringLiteral("messages.html"));
    QCOMPARE(m_opened.at(0).fragment(), QStringLiteral("connect"));
    ui.urlOpener = [](const QUrl &) { return false; };
    window->openInBrowserAction()->trigger();
    QVERIFY(window->message().startsWith(QStringLiteral("No web browser could be started for ")));
    QCOMPARE(shownPage(ui), QStringLiteral("messages.html#connect"));
}

void tst_Help::helpWindowFinds_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("message");
    QTest::newRow("on the page") << QStringLiteral("gopher") << true << QString();
    QTest::newRow("not on the page") << QStringLiteral("xylophone") << false << QStringLiteral("\"xylophone\" is not on this page");
}

void tst_Help::helpWindowFinds()
{
    QFETCH(QString, word);
    QFETCH(bool, found);
    QFETCH(QString, message);
    QtUserInterface ui;
    HelpWindow *window = show(ui, HelpTopics::topic(HelpPage::Contents));
    QVERIFY(window);
    QTest::keyClicks(window->findField(), word);
    QTest::keyClick(window->findField(), Qt::Key_Return);
    QCOMPARE(window->browser()->textCursor().selectedText().toLower(), found ? word : QString());
    QCOMPARE(window->message(), message);
    if (!found)
        return;
    // Again, and backwards, from the keyboard; the search goes round the page.
    const int first = window->browser()->textCursor().position();
    QTest::keyClick(window->findField(), Qt::Key_Return);
    QVERIFY(window->browser()->textCursor().position() != first);
    QTest::keyClick(window->findField(), Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(window->browser()->textCursor().position(), first);
    QTest::keyClick(window->findField(), Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(window->message(), QStringLiteral("Continued from the bottom of the page"));
}

void tst_Help::messageBoxHelpLeavesTheQuestionOpen()
{
    QtUserInterface ui;
    record(ui);
    bool checked = false;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        box->button(QMessageBox::Help)->click();
        // The box still asks; the page is a window of the box's, so the box does not block it.
        QVERIFY(box->isVisible());
        QCOMPARE(shownPage(ui), QStringLiteral("messages.html#connect-error"));
        QCOMPARE(ui.helpWindow()->parentWidget(), box);
        QVERIFY(ui.helpWindow()->isWindow());
        checked = true;
        box->button(QMessageBox::No)->click();
    });
    QCOMPARE(ui.messageBox("Connection refused", UserInterface::Exclamation, UserInterface::YesNo,
                           Help::ConnectError),
             int(UserInterface::AnswerNo));
    QVERIFY(checked);
    // The page outlives the box, as a window of its own.
    QVERIFY(ui.helpWindow() && ui.helpWindow()->isVisible());
    QCOMPARE(ui.helpWindow()->parentWidget(), nullptr);
    QCOMPARE(shownPage(ui), QStringLiteral("messages.html#connect-error"));
}

void tst_Help::escapeAnswersBoxesWithHelp_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("answer");
    QTest::newRow("OK") << int(UserInterface::Ok) << int(QMessageBox::Ok);
    QTest::newRow("OK, Cancel") << int(UserInterface::OkCancel) << int(QMessageBox::Cancel);
    QTest::newRow("Yes, No") << int(UserInterface::YesNo) << int(QMessageBox::No);
    QTest::newRow("Yes, No, Cancel") << int(UserInterface::YesNoCancel) << int(QMessageBox::Cancel);
    QTest::newRow("Retry, Cancel") << int(UserInterface::RetryCancel) << int(QMessageBox::Cancel);
}

void tst_Help::escapeAnswersBoxesWithHelp()
{
    QFETCH(int, buttons);
    QFETCH(int, answer);
    QtUserInterface ui;
    const auto box = ui.makeMessageBox("Connection refused", UserInterface::Exclamation,
                                       UserInterface::Buttons(buttons), Help::Connect);
    box->show();
    QVERIFY(QTest::qWaitForWindowExposed(box.get()));
    QTest::keyClick(box.get(), Qt::Key_Escape);
    QVERIFY(!box->isVisible());
    QCOMPARE(box->clickedButton(), box->button(QMessageBox::StandardButton(answer)));
}

QTEST_MAIN(tst_Help)
#include "tst_help.moc"
