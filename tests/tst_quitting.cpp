#include "app/tarnwickapp.h"
#include "documents/gopherxferdoc.h"
#include "support/settingsfile.h"
#include "support/testservers.h"
#include "ui/gophermdichild.h"
#include "ui/guiprogram.h"
#include "ui/mainframe.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMdiArea>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <memory>

// Quitting and closing while transfers run: the question, and the stop signals that must not ask.
class tst_Quitting : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void quitAsksWhileTransfersRun_data();
    void quitAsksWhileTransfersRun();
    void closingADownloadWindow_data();
    void closingADownloadWindow();
    void stopSignalsEndTheProgramAsExitDoes_data();
    void stopSignalsEndTheProgramAsExitDoes();

private:
    // Answers the first message box as a user would, and keeps what it said.
    struct BoxAnswerer
    {
        explicit BoxAnswerer(const QString &how)
        {
            timer.setInterval(10);
            QObject::connect(&timer, &QTimer::timeout, &timer, [this, how] {
                auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                if (!box || !text.isEmpty())
                    return;
                text = box->text();
                defaultIsNo = static_cast<QAbstractButton *>(box->defaultButton()) == box->button(QMessageBox::No);
                if (how == u"Yes" || how == u"No")
                    box->button(how == u"Yes" ? QMessageBox::Yes : QMessageBox::No)->click();
                else
                    QTest::keyClick(box, how == u"Escape" ? Qt::Key_Escape : Qt::Key_Return);
            });
            timer.start();
        }
        QString text;
        bool defaultIsNo = false;
        QTimer timer;
    };
    QStringList downloads() const
    {
        return QDir(m_dir->filePath(QStringLiteral("down"))).entryList(QDir::Files | QDir::Hidden);
    }

    QTemporaryDir m_root;
    std::unique_ptr<TestServer> m_gophernicus, m_holding;
    std::unique_ptr<QTemporaryDir> m_dir;
    SettingsFile m_ini;
    std::unique_ptr<GuiProgram> m_program;
};

void tst_Quitting::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY2(TestServer::writeServedTree(m_root.path(),
                                         {{QStringLiteral("blob.bin"), QByteArray(40000, 'b')}}),
             qPrintable(TestServer::lastError()));
    m_gophernicus = TestServer::gophernicus(m_root.path());
    QVERIFY2(m_gophernicus, qPrintable(TestServer::lastError()));
    // Sends a little and holds the connection: a transfer that runs until stopped.
    m_holding = TestServer::scripted(
        R"([{"match": "*", "steps": [{"send": "abc"}, {"hold": true}]}])");
    QVERIFY2(m_holding, qPrintable(TestServer::lastError()));
}

void tst_Quitting::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("down")));
    m_ini.setPath(m_dir->filePath(QStringLiteral("tarnwick.ini")));
    m_ini.put("[Options]\nAuto File Name=1\n[Directories]\nDownload directory="
              + QFile::encodeName(m_dir->filePath(QStringLiteral("down")))
              + "\nTemporary directory=" + QFile::encodeName(m_dir->path()) + "\n");
    m_program = std::make_unique<GuiProgram>();
    m_program->app().setSettingsPath(m_ini.path());
    m_program->app().registerDefaultTemplates();
}

void tst_Quitting::cleanup()
{
    m_program.reset();
    m_dir.reset();
}

void tst_Quitting::quitAsksWhileTransfersRun_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("quits");
    QTest::newRow("Yes quits") << u"Yes"_qs << true;
    QTest::newRow("No stays") << u"No"_qs << false;
    QTest::newRow("Return keeps the default, No") << u"Return"_qs << false;
    QTest::newRow("Escape stays") << u"Escape"_qs << false;
}

// File > Exit and the close box are the frame's close; Ctrl+Q runs Exit.
void tst_Quitting::quitAsksWhileTransfersRun()
{
    QFETCH(QString, answer);
    QFETCH(bool, quits);
    CTarnwickApp &app = m_program->app();
    {
        CMainFrame frame(*m_program);
        frame.show();
        QPointer<CTarnwickDoc> download =
            app.OpenItem(CBookmark('9', "Held", "/held", "127.0.0.1", m_holding->port()), 0, 0);
        QPointer<CTarnwickDoc> text =
            app.OpenItem(CBookmark('0', "Text", "/text", "127.0.0.1", m_holding->port()), 0, 0);
        QVERIFY(download && text);
        QTRY_VERIFY(download->bytesReceived() > 0 && text->bytesReceived() > 0);
        QCOMPARE(frame.runningTransfers(), 2);

        BoxAnswerer answerer(answer);
        QCOMPARE(frame.close(), quits);
        QCOMPARE(answerer.text, u"2 transfers are running. Quit anyway?"_qs);
        QVERIFY(answerer.defaultIsNo);
        QCOMPARE(frame.isVisible(), !quits);
        QCOMPARE(m_ini.contents().contains("WindowPos="), quits);
        QCOMPARE(frame.runningTransfers(), 2);
    }
    // Gone with its windows, asking nothing more: the download cut short left nothing.
    if (quits)
        QCOMPARE(downloads(), QStringList());
}

void tst_Quitting::closingADownloadWindow_data()
{
    QTest::addColumn<bool>("finished");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("closes");
    QTest::newRow("running, No keeps it") << false << u"No"_qs << false;
    QTest::newRow("running, Yes stops it") << false << u"Yes"_qs << true;
    QTest::newRow("finished, no question") << true << u"No"_qs << true;
}

void tst_Quitting::closingADownloadWindow()
{
    QFETCH(bool, finished);
    QFETCH(QString, answer);
    QFETCH(bool, closes);
    CTarnwickApp &app = m_program->app();
    CMainFrame frame(*m_program);
    frame.show();
    const quint16 port = finished ? m_gophernicus->port() : m_holding->port();
    QPointer<CGopherXferDoc> doc = qobject_cast<CGopherXferDoc *>(
        app.OpenItem(CBookmark('9', "Blob", "/blob.bin", "127.0.0.1", port), 0, 0));
    QVERIFY(doc);
    auto *child = qobject_cast<CGopherMDIChild *>(frame.mdiArea()->activeSubWindow());
    QVERIFY(child);
    // The window's status line follows the transfer.
    QTRY_COMPARE(child->statusText(), finished ? u"Received 40000 bytes ... done"_qs : u"Received 3 bytes"_qs);

    BoxAnswerer answerer(answer);
    // Escape closes the active document, as the close box does.
    frame.runCommand(CMainFrame::ID_FILE_CLOSE);
    QCOMPARE(answerer.text, finished ? QString() : u"1 transfer is running. Close anyway?"_qs);
    if (!finished)
        QVERIFY(answerer.defaultIsNo);
    if (!closes) {
        QCOMPARE(frame.mdiArea()->subWindowList().size(), 1);
        QVERIFY(doc->hasLiveTransaction());
        QCOMPARE(downloads().size(), 1); // the part that is still arriving
        return;
    }
    QTRY_VERIFY(!doc);
    QCOMPARE(frame.mdiArea()->subWindowList().size(), 0);
    QCOMPARE(frame.runningTransfers(), 0);
    // A stopped download leaves nothing; a finished one stays until exit.
    QCOMPARE(downloads(), finished ? QStringList{u"blob.bin"_qs} : QStringList());
}

void tst_Quitting::stopSignalsEndTheProgramAsExitDoes_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
    QTest::newRow("SIGINT") << int(SIGINT);
}

// The program itself, with one download finished and one running: a stop
// signal ends it without a question, as File > Exit would end it.
void tst_Quitting::stopSignalsEndTheProgramAsExitDoes()
{
    QFETCH(int, signal);
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // The settings, the history and the session stay in the test's directory.
    for (const char *name : {"HOME", "XDG_RUNTIME_DIR"})
        env.insert(QString::fromLatin1(name), m_dir->path());
    for (auto [name, dir] : {std::pair{"XDG_CONFIG_HOME", "config"}, {"XDG_DATA_HOME", "data"}, {"XDG_STATE_HOME", "state"}})
        env.insert(QString::fromLatin1(name), m_dir->filePath(QString::fromLatin1(dir)));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(TWK_BINARY),
                  {QStringLiteral("-I"), m_dir->path(),
                   m_gophernicus->url(QStringLiteral("9/blob.bin")),
                   m_holding->url(QStringLiteral("9/held"))});
    QVERIFY(program.waitForStarted());
    // One file complete, and the part of the held one.
    QTRY_VERIFY_WITH_TIMEOUT(downloads().size() == 2 && downloads().filter(u".part"_qs).size() == 1, 30000);
    QVERIFY(!m_ini.contents().contains("WindowPos="));

    QSignalSpy finished(&program, &QProcess::finished);
    ::kill(pid_t(program.processId()), signal);
    QVERIFY(finished.wait(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    const QByteArray ini = m_ini.contents();
    QVERIFY2(ini.contains("WindowPos=") && ini.contains("[Toolbar]"), ini.constData());
    // The finished download was marked, the running one was stopped.
    QCOMPARE(downloads(), QStringList());
}

QTEST_MAIN(tst_Quitting)
#include "tst_quitting.moc"
