#include "documents/downloadedfiles.h"
#include "documents/picture.h"
#include "documents/programlauncher.h"
#include "app/tarnwickapp.h"
#include "settings/programfiles.h"
#include "settings/viewertable.h"
#include "documents/gopherxferdoc.h"
#include "documents/shortfilename.h"
#include "documents/userinterface.h"
#include "documents/windowregistry.h"
#include "net/transactionengine.h"
#include "tests/support/testservers.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <memory>
#include <optional>

#include <sys/resource.h>

namespace {

// The program without windows. The application goes first, as at exit.
struct Program
{
    explicit Program(const QString &settingsPath)
    {
        app.setSettingsPath(settingsPath);
        app.registerDefaultTemplates();
    }
    ~Program()
    {
        // A document whose fetch failed is deleted later; it goes while the
        // engine it was made with still exists.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    bool idle() const { return app.engine().registry().documentCount() == 0; }

    RecordingUserInterface ui;
    // Reset by a test to run the program's exit.
    std::unique_ptr<CTarnwickApp> appOwner = std::make_unique<CTarnwickApp>(ui);
    CTarnwickApp &app = *appOwner;
};

QList<QByteArray> texts(const RecordingUserInterface &ui)
{
    QList<QByteArray> out;
    for (const auto &m : ui.messages)
        out.append(m.text);
    return out;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Bytes no text rule would keep intact: every byte value, CR LF pairs, lone
// LFs and a "." line in the middle, which must not end the download.
QByteArray hostileBinary(int size)
{
    QByteArray data;
    data.reserve(size + 64);
    for (int i = 0; i < 256; ++i)
        data.append(char(i));
    data += "line\r\n.\r\nafter the dot line\n.\n\r\n..\r\n";
    QRandomGenerator random(7);
    while (data.size() < size)
        data.append(char(random.bounded(256)));
    data += "\r\n.\r\n tail";
    return data;
}

} // namespace

class tst_Downloads : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void extension_data();
    void extension();
    void fileErrorText_data();
    void fileErrorText();
    void rateInSixtyFourBits_data();
    void rateInSixtyFourBits();

    void realDownload_data();
    void realDownload();
    void generatedNames_data();
    void generatedNames();
    void saveDialogAndCreateFailure();
    void failingWrite_data();
    void failingWrite();
    void brokenOffIsNotDone_data();
    void brokenOffIsNotDone();
    void userChosenFile_data();
    void userChosenFile();
    void generatedNameTakenMeanwhile();
    void deleteMarkedAtExit();

    void viewerGetsHostilePathAsOneArgument();
    void findViewerOffersDialog_data();
    void findViewerOffersDialog();
    void desktopQueryDoesNotWait_data();
    void desktopQueryDoesNotWait();
    void launchFailures_data();
    void launchFailures();
    void dumpDownloads_data();
    void dumpDownloads();

    void picturesShowWithoutAViewer_data();
    void picturesShowWithoutAViewer();
    void savePictureAs_data();
    void savePictureAs();

private:
    CGopherXferDoc *download(Program &program, const CBookmark &item);

    QTemporaryDir m_tree;
    std::unique_ptr<TestServer> m_gophernicus;
    std::unique_ptr<TestServer> m_pygopherd;
    QByteArray m_binary;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_settings;
};

void tst_Downloads::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    m_binary = hostileBinary(300 * 1024);
    QVERIFY2(TestServer::writeServedTree(m_tree.path(), {{QStringLiteral("blob.bin"), m_binary},
                                                         {QStringLiteral("copy.bin"), "copy"},
                                                         {QStringLiteral("pub/v1.2/noext"), "data"},
                                                         {QStringLiteral("pic.gif"), "GIF89a, not read here"},
                                                         {QStringLiteral("pic.png"), "\x89PNG, not read here"},
                                                         {QStringLiteral("gophermap"), QByteArray()}}),
             qPrintable(TestServer::lastError()));
    m_gophernicus = TestServer::gophernicus(m_tree.path());
    QVERIFY2(m_gophernicus, qPrintable(TestServer::lastError()));
    m_pygopherd = TestServer::pygopherd(m_tree.path());
    QVERIFY2(m_pygopherd, qPrintable(TestServer::lastError()));
}

void tst_Downloads::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_settings = m_dir->filePath(QStringLiteral("tarnwick.ini"));
    QDir(m_dir->path()).mkpath(QStringLiteral("down"));
    QFile ini(m_settings);
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[Options]\nAuto File Name=1\n[Directories]\nDownload directory="
              + QFile::encodeName(m_dir->filePath(QStringLiteral("down"))) + "\nTemporary directory="
              + QFile::encodeName(m_dir->path()) + "\n");
    ViewerTable::associatedProgram = [](const QString &, QObject *,
                                        const ViewerTable::ViewerFound &found) { found({}); };
}

void tst_Downloads::cleanup()
{
    ViewerTable::associatedProgram = &ViewerTable::desktopAssociatedProgram;
    m_dir.reset();
}

CGopherXferDoc *tst_Downloads::download(Program &program, const CBookmark &item)
{
    return qobject_cast<CGopherXferDoc *>(program.app.OpenItem(item, 0, 0));
}

void tst_Downloads::extension_data()
{
    QTest::addColumn<char>("type");
    QTest::addColumn<QByteArray>("title");
    QTest::addColumn<QByteArray>("selector");
    QTest::addColumn<QByteArray>("extension");
    QTest::addColumn<QByteArray>("filter");

    const QByteArray all("All Files (*.*) | *.* ||");
    QTest::newRow("selector jpeg keeps three letters")
        << 'I' << QByteArray("Photo") << QByteArray("/pics/cat.jpeg\r\n") << QByteArray("jpe")
        << QByteArray("jpe (*.jpe) | *.jpe | ") + all;
    QTest::newRow("dot of a directory name does not count")
        << '9' << QByteArray("noext") << QByteArray("/pub/v1.2/noext\r\n") << QByteArray("bin") << all;
    QTest::newRow("last component") << '9' << QByteArray("Sources") << QByteArray("/pub/v1.2/src.tar.gz")
                                    << QByteArray("gz") << QByteArray("gz (*.gz) | *.gz | ") + all;
    QTest::newRow("letters and digits only") << '9' << QByteArray("Tool") << QByteArray("/bin/tool.m-4")
                                             << QByteArray("m") << QByteArray("m (*.m) | *.m | ") + all;
    QTest::newRow("nothing usable: the title") << '9' << QByteArray("Notes.txt") << QByteArray("/n.-rf")
                                               << QByteArray("txt") << QByteArray("txt (*.txt) | *.txt | ") + all;
    QTest::newRow("title JPEG becomes jpg") << 'I' << QByteArray("My cat.JPEG")
                                            << QByteArray("/pics/cat\r\n") << QByteArray("jpg")
                                            << QByteArray("jpg (*.jpg) | *.jpg | ") + all;
    QTest::newRow("title tar.Z") << '9' << QByteArray("src.tar.Z") << QByteArray("/src\r\n")
                                 << QByteArray("z") << QByteArray("z (*.z) | *.z | ") + all;
    QTest::newRow("title dot at start does not count")
        << '9' << QByteArray(".profile") << QByteArray("/p\r\n") << QByteArray("bin") << all;
    QTest::newRow("Gopher+ view: selector dots not examined")
        << '5' << QByteArray("Archive") << QByteArray("/a.tar\t+application/zip\r\n")
        << QByteArray("zip") << QByteArray("Zip (*.zip) | *.zip | Executables (*.exe) | *.exe | ") + all;
    QTest::newRow("sound by type") << 's' << QByteArray("Bell") << QByteArray("/bell\r\n")
        << QByteArray("wav")
        << QByteArray("Wav (*.wav) | *.wav | Snd (*.snd) | *.snd | Mod (*.mod) | *.mod | Sun (*.au) | *.au | ") + all;
    QTest::newRow("unknown type") << 'M' << QByteArray("Mail") << QByteArray("/m\r\n")
                                  << QByteArray("???") << all;
    // The extended-view table of the test knows image/png only.
    QTest::newRow("a view the table knows names the extension")
        << 'I' << QByteArray("Picture.gif") << QByteArray("/pic.jpg\t+image/png\r\n")
        << QByteArray("png") << QByteArray("png (*.png) | *.png | ") + all;
}

void tst_Downloads::extension()
{
    QFETCH(char, type);
    QFETCH(QByteArray, title);
    QFETCH(QByteArray, selector);
    QFETCH(QByteArray, extension);
    QFETCH(QByteArray, filter);
    const auto kind = CGopherXferDoc::chooseExtension(
        CBookmark(type, title, selector, "h", 70),
        [](const QByteArray &view) { return view == "image/png" ? QByteArray("png") : QByteArray(); });
    QCOMPARE(kind.extension, extension);
    QCOMPARE(kind.filter, filter);
}

void tst_Downloads::fileErrorText_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("ENOENT") << ENOENT << QByteArray("The file could not be located.");
    QTest::newRow("ENOTDIR") << ENOTDIR << QByteArray("All or part of the path is invalid.");
    QTest::newRow("ENFILE") << ENFILE
                            << QByteArray("You cannot open any more files before closing some first.");
    QTest::newRow("EROFS") << EROFS << QByteArray("You don't have the right permission to open that file.");
    QTest::newRow("EIO") << EIO << QByteArray("There was a hardware error, probably disk.");
    QTest::newRow("EDQUOT") << EDQUOT
                            << QByteArray("The disk is full, you will have to do some cleanup first.");
    QTest::newRow("other") << EINVAL << QByteArray("An unspecified error occurred.");
}

void tst_Downloads::fileErrorText()
{
    QFETCH(int, error);
    QFETCH(QByteArray, text);
    QCOMPARE(CGopherXferDoc::fileErrorText(CGopherXferDoc::fileErrorCause(error)), text);
}

void tst_Downloads::rateInSixtyFourBits_data()
{
    QTest::addColumn<quint64>("bytes");
    QTest::addColumn<quint64>("ms");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("small") << quint64(1234) << quint64(1000) << QByteArray("1.2 KBytes/sec");
    // bytes x 10 passes 2^32 after about 430 MB.
    QTest::newRow("past 430 MB") << quint64(1000000000) << quint64(625)
                                 << QByteArray("1600000.0 KBytes/sec");
    QTest::newRow("past 4 GiB") << quint64(6000000000) << quint64(3000)
                                << QByteArray("2000000.0 KBytes/sec");
}

void tst_Downloads::rateInSixtyFourBits()
{
    QFETCH(quint64, bytes);
    QFETCH(quint64, ms);
    QFETCH(QByteArray, text);
    QCOMPARE(CGopherXferDoc::formatRate(bytes, ms), text);
}

void tst_Downloads::realDownload_data()
{
    QTest::addColumn<bool>("plus");
    QTest::newRow("gophernicus") << false;
    QTest::newRow("pygopherd, +<size> reply") << true;
}

void tst_Downloads::realDownload()
{
    QFETCH(bool, plus);
    Program program(m_settings);
    const TestServer &server = plus ? *m_pygopherd : *m_gophernicus;
    CBookmark item('9', "Blob.bin", "/blob.bin", "127.0.0.1", server.port());
    if (plus) {
        item.SetGopherPlus(true);
        item.attributeText = "+INFO: 9Blob\t/blob.bin\t127.0.0.1\t70\t+\r\n";
    }
    QPointer<CGopherXferDoc> doc = download(program, item);
    QVERIFY(doc);
    QTRY_VERIFY(program.idle());
    QVERIFY2(program.ui.messages.isEmpty(), texts(program.ui).join('|').constData());
    QCOMPARE(doc->replyMode(), plus ? 2 : 0);
    QVERIFY(doc->isComplete());
    const QString expected = m_dir->filePath(QStringLiteral("down/blob.bin"));
    QCOMPARE(doc->path(), expected);
    QFile file(expected);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll() == m_binary);
    QCOMPARE(doc->bytesText(), QByteArray::number(m_binary.size()) + " bytes ... done");
    QVERIFY(doc->rateText().isEmpty() || doc->rateText().endsWith(" KBytes/sec"));
    QCOMPARE(program.app.downloadedFiles().files().size(), 1);
    QCOMPARE(program.app.downloadedFiles().files().first().keep, false);
}

void tst_Downloads::generatedNames_data()
{
    QTest::addColumn<QString>("downloadDir"); // relative to the test directory
    QTest::addColumn<QByteArray>("title");
    QTest::addColumn<bool>("occupied");
    QTest::addColumn<QString>("expectDir");
    QTest::addColumn<QString>("expectPrefix");

    QTest::newRow("free name") << u"down"_qs << QByteArray("Report") << false << u"down"_qs << u"report.bin"_qs;
    QTest::newRow("trailing slash") << u"down/"_qs << QByteArray("Report") << false << u"down"_qs << u"report.bin"_qs;
    QTest::newRow("taken: four-letter prefix") << u"down"_qs << QByteArray("Report") << true << u"down"_qs << u"repo"_qs;
    QTest::newRow("never an option") << u"down"_qs << QByteArray("--help") << false << u"down"_qs << u"help.bin"_qs;
    QTest::newRow("taken: short base is the prefix") << u"down"_qs << QByteArray("Abc") << true << u"down"_qs << u"abc"_qs;
    QTest::newRow("missing directory: temporary") << u"gone"_qs << QByteArray("Report") << false << QString() << u"report.bin"_qs;
    QTest::newRow("empty directory: temporary") << QString() << QByteArray("Report") << false << QString() << u"report.bin"_qs;
}

void tst_Downloads::generatedNames()
{
    QFETCH(QString, downloadDir);
    QFETCH(QByteArray, title);
    QFETCH(bool, occupied);
    QFETCH(QString, expectDir);
    QFETCH(QString, expectPrefix);

    Program program(m_settings);
    QVERIFY(program.app.settings().setDownloadDirectory(
        downloadDir.isEmpty() ? QString() : m_dir->filePath(downloadDir)));
    const QString dir = expectDir.isEmpty() ? m_dir->path() : m_dir->filePath(expectDir);
    const QString plain = dir + u'/' + QString::fromLatin1(MakeShortFileName(title)) + u".bin";
    if (occupied) {
        QFile taken(plain);
        QVERIFY(taken.open(QIODevice::WriteOnly));
        taken.write("mine");
    }
    QPointer<CGopherXferDoc> doc = download(program, CBookmark('9', title, "/blob", "127.0.0.1",
                                                               m_gophernicus->port()));
    QVERIFY(doc);
    QVERIFY(program.ui.fileDialogs.isEmpty());
    const QFileInfo info(doc->path());
    QCOMPARE(info.absolutePath(), dir);
    QVERIFY2(info.fileName().startsWith(expectPrefix), qPrintable(info.fileName()));
    QVERIFY(info.fileName().endsWith(u".bin"_qs));
    if (occupied) {
        QVERIFY(doc->path() != plain);
        QFile taken(plain);
        QVERIFY(taken.open(QIODevice::ReadOnly));
        QCOMPARE(taken.readAll(), QByteArray("mine"));
    }
    QTRY_VERIFY(program.idle());
}

void tst_Downloads::saveDialogAndCreateFailure()
{
    Program program(m_settings);
    QVERIFY(program.app.settings().setAutoFileName(false));
    const QString missing = m_dir->filePath(QStringLiteral("no/such/x.gif"));
    program.ui.fileDialogAnswers = {missing, QString()};
    CBookmark item('I', "Cat picture", "/cat", "127.0.0.1", m_gophernicus->port());
    QVERIFY(!program.app.OpenItem(item, 0, 0));
    QCOMPARE(program.ui.fileDialogs.size(), 1);
    const auto &d = program.ui.fileDialogs.first();
    QCOMPARE(d.title, u"Select File for Gopher Download"_qs);
    QCOMPARE(d.initialName, u"catpictu.gif"_qs);
    QCOMPARE(d.defaultExtension, u"gif"_qs);
    QCOMPARE(d.filter, u"Gif (*.gif)|*.gif|JPEG (*.jpg)|*.jpg|Targa (*.tga)|*.tga|Bitmap (*.bmp)|*.bmp|"
                       "PostScript (*.ps)|*.ps|Encapsulated PostScript (*.eps)|*.eps|All Files (*.*)|*.*||"_qs);
    QVERIFY(d.promptOverwrite);
    QCOMPARE(texts(program.ui), QList<QByteArray>{"Failed to create download file \n"
                                                  + QFile::encodeName(missing)
                                                  + "\nThe file could not be located."});
    // Cancel: nothing is created, fetched or listed.
    QVERIFY(!program.app.OpenItem(item, 0, 0));
    QCOMPARE(program.ui.messages.size(), 1);
    QVERIFY(program.app.downloadedFiles().files().isEmpty());
    QVERIFY(program.idle());
}

void tst_Downloads::failingWrite_data()
{
    QTest::addColumn<bool>("smallFileSystem");
    // /dev/full takes the open and refuses every write with ENOSPC.
    QTest::newRow("/dev/full") << false;
    // A 64 KiB tmpfs fills up part way through the file.
    QTest::newRow("full tmpfs") << true;
}

void tst_Downloads::failingWrite()
{
    QFETCH(bool, smallFileSystem);
    Program program(m_settings);
    QString expectedPath = QStringLiteral("/dev/full");
    const QString mountPoint = m_dir->filePath(QStringLiteral("small"));
    struct Unmount
    {
        QString path;
        ~Unmount()
        {
            if (!path.isEmpty())
                QProcess::execute(QStringLiteral("umount"), {path});
        }
    } unmount;
    if (smallFileSystem) {
        QDir().mkpath(mountPoint);
        if (QProcess::execute(QStringLiteral("mount"), {u"-t"_qs, u"tmpfs"_qs, u"-o"_qs,
                                                        u"size=64k"_qs, u"tmpfs"_qs, mountPoint})
            != 0)
            QSKIP("cannot mount a tmpfs here (needs root)");
        unmount.path = mountPoint;
        QVERIFY(program.app.settings().setDownloadDirectory(mountPoint));
        expectedPath = mountPoint + u"/blob.bin"_qs;
    } else {
        QVERIFY(program.app.settings().setAutoFileName(false));
        program.ui.fileDialogAnswers = {expectedPath};
    }
    QPointer<CGopherXferDoc> doc = download(
        program, CBookmark('9', "Blob", "/blob.bin", "127.0.0.1", m_gophernicus->port()));
    QVERIFY(doc);
    QCOMPARE(doc->path(), expectedPath);
    QTRY_VERIFY(program.idle());
    QVERIFY(doc->writeFailed());
    QVERIFY(!doc->isComplete());
    QVERIFY(!doc->isFileOpen());
    QVERIFY(doc->endStatus() != 0);
    QCOMPARE(texts(program.ui), QList<QByteArray>{"Failed to write download file\n"
                                                  + QFile::encodeName(expectedPath) + "\n"
                                                  "The disk is full, you will have to do some cleanup first."});
    QVERIFY(!doc->bytesText().contains("done"));
    QVERIFY(doc->bytesWritten() < quint64(m_binary.size()));
    QCOMPARE(doc->lastStatus(),
             "Received " + QByteArray::number(doc->bytesWritten()) + " bytes ... transfer failed");
    // No record, and on the full disk no file, not even the part that fitted.
    QVERIFY(program.app.downloadedFiles().files().isEmpty());
    if (smallFileSystem)
        QCOMPARE(QDir(mountPoint).entryList(QDir::Files | QDir::Hidden), QStringList());
    program.appOwner.reset();
    // A device is never deleted.
    QCOMPARE(QFileInfo::exists(expectedPath), !smallFileSystem);
}

void tst_Downloads::brokenOffIsNotDone_data()
{
    QTest::addColumn<QByteArray>("steps");
    QTest::addColumn<bool>("stop");
    QTest::addColumn<QByteArray>("status");
    QTest::newRow("announced size not reached") << QByteArray(R"([{"send": "+100\r\n0123456789"}, {"close": true}])")
                                                << false << QByteArray("Received 10 bytes ... transfer failed");
    QTest::newRow("reset") << QByteArray(R"([{"send": "0123"}, {"reset": true}])") << false
                           << QByteArray("Received 4 bytes ... transfer failed");
    QTest::newRow("refused") << QByteArray() << false << QByteArray("Received 0 bytes ... transfer failed");
    QTest::newRow("stopped") << QByteArray(R"([{"send": "abc"}, {"hold": true}])") << true << QByteArray("Transfer stopped");
}

// An incomplete transfer leaves no file: neither its name nor the part that arrived.
void tst_Downloads::brokenOffIsNotDone()
{
    QFETCH(QByteArray, steps);
    QFETCH(bool, stop);
    QFETCH(QByteArray, status);
    auto server = TestServer::scripted(R"({"routes": [{"match": "*", "steps": )"
                                       + (steps.isEmpty() ? QByteArray("[]") : steps) + "}]}");
    QVERIFY2(server, qPrintable(TestServer::lastError()));
    if (steps.isEmpty())
        server->stop(); // nothing listens on its port any more
    Program program(m_settings);
    QPointer<CGopherXferDoc> doc = download(program, CBookmark('9', "Part", "/p", "127.0.0.1",
                                                               server->port()));
    QVERIFY(doc);
    const QString down = m_dir->filePath(QStringLiteral("down"));
    QCOMPARE(doc->path(), down + u"/part.bin"_qs);
    QVERIFY(doc->partPath().startsWith(down + u"/part.bin."_qs) && doc->partPath().endsWith(u".part"_qs));
    QSignalSpy complete(doc.data(), &CGopherXferDoc::fileComplete);
    if (stop) {
        QTRY_VERIFY(doc->bytesWritten() > 0);
        // While bytes arrive the file has not got its name.
        QVERIFY(!QFileInfo::exists(doc->path()));
        QVERIFY(QFileInfo::exists(doc->partPath()));
        QCOMPARE(doc->lastStatus(), QByteArray("Received 3 bytes"));
        doc->cancelTransfer();
    }
    QTRY_VERIFY(program.idle());
    QVERIFY(!doc->isComplete());
    QCOMPARE(complete.size(), 0);
    QVERIFY(!doc->bytesText().contains("done"));
    QCOMPARE(doc->lastStatus(), status);
    QCOMPARE(QDir(down).entryList(QDir::Files | QDir::Hidden), QStringList());
    QVERIFY(program.app.downloadedFiles().files().isEmpty());
}

void tst_Downloads::userChosenFile_data()
{
    QTest::addColumn<bool>("complete");
    QTest::newRow("complete") << true;
    QTest::newRow("broken off") << false;
}

// A chosen file stays at exit; one that had the name is replaced only by a complete download.
void tst_Downloads::userChosenFile()
{
    QFETCH(bool, complete);
    auto broken = TestServer::scripted(
        R"({"routes": [{"match": "*", "steps": [{"send": "+100\r\n01234"}, {"close": true}]}]})");
    QVERIFY2(broken, qPrintable(TestServer::lastError()));
    Program program(m_settings);
    QVERIFY(program.app.settings().setAutoFileName(false));
    const QString chosen = m_dir->filePath(QStringLiteral("mine/report.bin"));
    QVERIFY(QDir().mkpath(QFileInfo(chosen).absolutePath()));
    QVERIFY(writeFile(chosen, "the user's own"));
    program.ui.fileDialogAnswers = {chosen};
    const quint16 port = complete ? m_gophernicus->port() : broken->port();
    QPointer<CGopherXferDoc> doc = download(program, CBookmark('9', "Report", "/blob.bin",
                                                               "127.0.0.1", port));
    QVERIFY(doc);
    QTRY_VERIFY(program.idle());
    QCOMPARE(doc->isComplete(), complete);
    program.appOwner.reset();
    QVERIFY(readFile(chosen) == (complete ? m_binary : QByteArray("the user's own")));
    QCOMPARE(QDir(QFileInfo(chosen).absolutePath()).entryList(QDir::Files | QDir::Hidden),
             QStringList{u"report.bin"_qs});
}

// A generated name taken meanwhile is left alone: the download gets a unique name, and only that goes at exit.
void tst_Downloads::generatedNameTakenMeanwhile()
{
    Program program(m_settings);
    QPointer<CGopherXferDoc> doc = download(
        program, CBookmark('9', "Blob", "/blob.bin", "127.0.0.1", m_gophernicus->port()));
    QVERIFY(doc);
    const QString planned = doc->path();
    QVERIFY(writeFile(planned, "another program's"));
    QTRY_VERIFY(program.idle());
    QVERIFY(doc->isComplete());
    QVERIFY(doc->path() != planned);
    QVERIFY2(QFileInfo(doc->path()).fileName().startsWith(u"blob"_qs), qPrintable(doc->path()));
    const QString downloaded = doc->path();
    QVERIFY(readFile(downloaded) == m_binary);
    program.appOwner.reset();
    QVERIFY(!QFileInfo::exists(downloaded));
    QCOMPARE(readFile(planned), QByteArray("another program's"));
}

void tst_Downloads::deleteMarkedAtExit()
{
    Program program(m_settings);
    QPointer<CGopherXferDoc> first = download(
        program, CBookmark('9', "First", "/blob.bin", "127.0.0.1", m_gophernicus->port()));
    QPointer<CGopherXferDoc> second = download(
        program, CBookmark('9', "Second", "/copy.bin", "127.0.0.1", m_gophernicus->port()));
    QVERIFY(first && second);
    QTRY_VERIFY(program.idle());
    const QString marked = first->path();
    const QString kept = second->path();
    program.app.downloadedFiles().SetKeepFile(kept, true);
    // Closing a window does not delete its file; exit does.
    first->OnCloseDocument();
    QTRY_VERIFY(!first);
    QVERIFY(QFileInfo::exists(marked));
    program.appOwner.reset();
    QVERIFY(!QFileInfo::exists(marked));
    QVERIFY(QFileInfo::exists(kept));
}

void tst_Downloads::viewerGetsHostilePathAsOneArgument()
{
    // The viewer is a script that writes each argument it got on a line.
    const QString record = m_dir->filePath(QStringLiteral("argv.txt"));
    const QString script = m_dir->filePath(QStringLiteral("my viewer.sh"));
    QFile s(script);
    QVERIFY(s.open(QIODevice::WriteOnly));
    s.write("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.tmp\"\nmv \"$0.tmp\" '"
            + QFile::encodeName(record) + "'\n");
    s.close();
    QVERIFY(s.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    Program program(m_settings);
    {
        ViewerTable table(program.app.profile());
        table.SetViewer("BIN", "'" + QFile::encodeName(script) + "' --flag 'two words'");
    }
    QVERIFY(program.app.settings().setAutoFileName(false));
    const QString hostile = m_dir->filePath(QStringLiteral("-x $(touch pwned);'q\" `id` a.bin"));
    program.ui.fileDialogAnswers = {hostile};
    QPointer<CGopherXferDoc> doc = download(
        program, CBookmark('9', "Blob", "/blob.bin", "127.0.0.1", m_gophernicus->port()));
    QVERIFY(doc);
    QTRY_VERIFY(program.idle());
    QVERIFY(doc->isComplete());
    doc->ViewFile();
    QVERIFY(program.ui.messages.isEmpty());
    QCOMPARE(doc->lastStatus(), "Running ''" + QFile::encodeName(script) + "' --flag 'two words' "
                                    + QFile::encodeName(hostile) + "'");
    QTRY_VERIFY(QFileInfo::exists(record));
    QFile r(record);
    QVERIFY(r.open(QIODevice::ReadOnly));
    QCOMPARE(r.readAll(), "--flag\ntwo words\n" + QFile::encodeName(hostile) + '\n');
    QVERIFY(!QFileInfo::exists(QStringLiteral("pwned")));
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("pwned"))));
}

void tst_Downloads::findViewerOffersDialog_data()
{
    QTest::addColumn<QByteArray>("associated");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QByteArray>("program");
    QTest::addColumn<int>("dialogs");
    QTest::addColumn<int>("storedCount");
    QTest::newRow("desktop application") << QByteArray("xdg-open") << false << QByteArray("xdg-open") << 0 << 0;
    QTest::newRow("dialog cancelled") << QByteArray() << false << QByteArray() << 1 << 0;
    QTest::newRow("dialog confirmed") << QByteArray() << true << QByteArray("feh") << 1 << 1;
}

void tst_Downloads::findViewerOffersDialog()
{
    QFETCH(QByteArray, associated);
    QFETCH(bool, answer);
    QFETCH(QByteArray, program);
    QFETCH(int, dialogs);
    QFETCH(int, storedCount);
    ViewerTable::associatedProgram = [associated](const QString &, QObject *,
                                                  const ViewerTable::ViewerFound &found) {
        found(associated);
    };
    Program p(m_settings);
    if (answer)
        p.ui.viewerDialogAnswers = {{"GIF", "feh"}};
    QByteArray found("<not told>");
    ViewerTable::FindViewer(
        p.app.profile(), "GIF", m_dir->filePath(QStringLiteral("x.gif")),
        [&p](ViewerTable &table, const QByteArray &ext) { return p.ui.editViewers(table, ext); },
        nullptr, [&found](const QByteArray &viewer) { found = viewer; });
    QCOMPARE(found, program);
    QCOMPARE(p.ui.viewerDialogs.size(), dialogs);
    if (dialogs)
        QCOMPARE(p.ui.viewerDialogs.first(), QByteArray("GIF"));
    QCOMPARE(p.app.profile().getInt("Viewers", "Viewer Count", 0), storedCount);
}

void tst_Downloads::desktopQueryDoesNotWait_data()
{
    QTest::addColumn<QByteArray>("answer");  // what xdg-mime prints
    QTest::addColumn<QByteArray>("viewer");
    QTest::newRow("the desktop has an application") << QByteArray("feh.desktop") << QByteArray("xdg-open");
    QTest::newRow("it has none") << QByteArray() << QByteArray();
}

// The desktop is asked by a child process; the answer comes through the
// event loop, never while the window waits.
void tst_Downloads::desktopQueryDoesNotWait()
{
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, viewer);
    const QString bin = m_dir->filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(bin));
    for (const auto &[name, text] :
         {std::pair{QStringLiteral("xdg-open"), QByteArray("#!/bin/sh\nexit 0\n")},
          std::pair{QStringLiteral("xdg-mime"), QByteArray("#!/bin/sh\necho '" + answer + "'\n")}}) {
        QFile script(bin + QLatin1Char('/') + name);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(text);
        script.close();
        QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin));
    std::optional<QByteArray> found;
    ViewerTable::desktopAssociatedProgram(m_dir->filePath(QStringLiteral("x.gif")), nullptr,
                                          [&found](const QByteArray &program) { found = program; });
    qputenv("PATH", path);
    QVERIFY(!found);
    QTRY_VERIFY(found.has_value());
    QCOMPARE(*found, viewer);
}

void tst_Downloads::launchFailures_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QByteArray>("reason");
    QTest::newRow("not on the path") << u"no-such-viewer-xyz"_qs << QByteArray("The file was not found");
    QTest::newRow("missing file") << u"@/nothere"_qs << QByteArray("The file was not found");
    QTest::newRow("missing folder") << u"@/nodir/viewer"_qs << QByteArray("The path was not found");
    QTest::newRow("not executable") << u"@/plain"_qs
                                    << QByteArray("There was a sharing or network protection error");
    QTest::newRow("a folder") << u"@"_qs << QByteArray("There was a sharing or network protection error");
}

void tst_Downloads::launchFailures()
{
    QFETCH(QString, program);
    QFETCH(QByteArray, reason);
    program.replace(u"@"_qs, m_dir->path());
    QFile plain(m_dir->filePath(QStringLiteral("plain")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    RecordingUserInterface ui;
    const QByteArray line = QFile::encodeName(program) + " /tmp/a file.gif";
    QVERIFY(!ProgramLauncher::RunProgram(&ui, {program, u"/tmp/a file.gif"_qs}, line));
    QCOMPARE(texts(ui), QList<QByteArray>{"Couldn't run " + line + '\n' + reason});
}

void tst_Downloads::dumpDownloads_data()
{
    QTest::addColumn<QString>("path"); // on the served tree; empty: a port that refuses
    QTest::addColumn<int>("fileSizeLimit"); // 0: none; else a disk that fills up part way
    QTest::addColumn<int>("exitCode"); // 0: one file is kept
    QTest::addColumn<QByteArrayList>("stdErr");
    QTest::newRow("downloaded") << u"9/blob.bin"_qs << 0 << 0
                                << QByteArrayList{"status: " + QByteArray::number(m_binary.size()) + " bytes ... done\n"};
    // The dots of a directory once made "2/n" the extension, and no file.
    QTest::newRow("dotted directory") << u"9/pub/v1.2/noext"_qs << 0 << 0 << QByteArrayList{" bytes ... done\n"};
    QTest::newRow("connection refused") << QString() << 0 << 1 << QByteArrayList{"status: 0 bytes\n"};
    // The count is what reached the disk, and nothing is left of the file.
    QTest::newRow("full disk") << u"9/blob.bin"_qs << 100000 << 1
                               << QByteArrayList{"status: 100000 bytes\n", "message: Failed to write download file\\n"};
}

void tst_Downloads::dumpDownloads()
{
    QFETCH(QString, path);
    QFETCH(int, fileSizeLimit);
    QFETCH(int, exitCode);
    QFETCH(QByteArrayList, stdErr);
    auto stopped = TestServer::scripted(R"({"routes": []})");
    QVERIFY2(stopped, qPrintable(TestServer::lastError()));
    stopped->stop();
    const QString url = path.isEmpty() ? QStringLiteral("gopher://127.0.0.1:")
                                             + QString::number(stopped->port())
                                             + QStringLiteral("/9/blob.bin")
                                       : m_gophernicus->url(path);
    const QString out = m_dir->filePath(QStringLiteral("out"));
    QDir().mkpath(out);
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TWK_CONFIG"), m_dir->path());
    env.insert(QStringLiteral("HOME"), m_dir->path());
    process.setProcessEnvironment(env);
    if (fileSizeLimit) {
        process.setChildProcessModifier([fileSizeLimit] {
            const struct rlimit limit = {rlim_t(fileSizeLimit), rlim_t(fileSizeLimit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            // A write past the limit fails with EFBIG instead of ending the program.
            ::signal(SIGXFSZ, SIG_IGN);
        });
    }
    process.start(QStringLiteral(TWK_BINARY),
                  {QStringLiteral("--download-dir"), out, QStringLiteral("--dump"), url});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), exitCode);
    const QByteArray stdOut = process.readAllStandardOutput();
    const QByteArray err = process.readAllStandardError();
    for (const QByteArray &line : stdErr)
        QVERIFY2(err.contains(line), err.constData());
    // The name comes from the title a URL gives the item; a file is named
    // only when it is complete, and it stays.
    const QStringList left = QDir(out).entryList(QDir::Files | QDir::Hidden);
    if (exitCode != 0) {
        QCOMPARE(stdOut, QByteArray());
        QCOMPARE(left, QStringList());
        return;
    }
    QCOMPARE(left.size(), 1);
    QCOMPARE(stdOut, "file\t" + QFile::encodeName(out + u'/' + left.first()) + '\n');
    if (path == u"9/blob.bin"_qs)
        QVERIFY(readFile(out + u'/' + left.first()) == m_binary);
}

void tst_Downloads::picturesShowWithoutAViewer_data()
{
    QTest::addColumn<char>("type");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("viewer");      // the Viewers table's entry
    QTest::addColumn<QByteArray>("view");        // a Gopher+ view, fetched from pygopherd
    QTest::addColumn<QByteArray>("viewsViewer"); // extviews.cnf's viewer for it
    QTest::addColumn<bool>("shown");
    const QByteArray none, png("pic.png"), feh("feh"), view("image/png");
    QTest::newRow("GIF item") << 'g' << QByteArray("pic.gif") << none << none << none << true;
    QTest::newRow("type p") << 'p' << png << none << none << none << true;
    QTest::newRow("the Viewers table names one") << 'I' << png << feh << none << none << false;
    QTest::newRow("a binary") << '9' << png << none << none << none << false;
    QTest::newRow("Gopher+ image view") << 'I' << png << none << view << none << true;
    QTest::newRow("its record names a viewer") << 'I' << png << none << view << feh << false;
}

// A finished picture opens in the program's own window unless a viewer is named for it.
void tst_Downloads::picturesShowWithoutAViewer()
{
    QFETCH(char, type);
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, viewer);
    QFETCH(QByteArray, view);
    QFETCH(QByteArray, viewsViewer);
    QFETCH(bool, shown);
    QVERIFY(writeFile(m_dir->filePath(QStringLiteral("extviews.cnf")),
                      "#\nname=image/png\nextension=png\ntype=I\nviewer=" + viewsViewer + "\nrank=1\n"));
    Program program(m_settings);
    ProgramFiles files;
    files.programDirectory = m_dir->path();
    program.app.setProgramFiles(files);
    if (!viewer.isEmpty())
        ViewerTable(program.app.profile()).SetViewer("PNG", viewer);
    CBookmark item(type, "Pic", "/" + file, "127.0.0.1", (view.isEmpty() ? m_gophernicus : m_pygopherd)->port());
    if (!view.isEmpty()) {
        item.SetGopherPlus(true);
        item.attributeText = "+INFO: I\tPic\t/" + file + "\t127.0.0.1\t70\t+\r\n+VIEWS:\r\n " + view
                             + ": <1k>\r\n";
        item.viewLines = {view + ": <1k>"};
    }
    QPointer<CGopherXferDoc> doc = download(program, item);
    QVERIFY(doc);
    QTRY_VERIFY(program.idle());
    QVERIFY(doc->isComplete());
    QCOMPARE(doc->viewType(), view);
    QCOMPARE(program.ui.pictures, shown ? QStringList{doc->path()} : QStringList{});
    if (shown) {
        // "View file" asks the picture window again, never the Viewers dialog.
        doc->ViewFile();
        QCOMPARE(program.ui.pictures.size(), 2);
        QVERIFY(program.ui.viewerDialogs.isEmpty());
    }
    // The download is handled as before: listed, marked for deletion.
    QCOMPARE(program.app.downloadedFiles().files().size(), 1);
    QVERIFY(!program.app.downloadedFiles().files().first().keep);
}

void tst_Downloads::savePictureAs_data()
{
    QTest::addColumn<QString>("target");   // below the test directory; "@" the download itself
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("a new file") << QStringLiteral("saved copy.gif") << QByteArray();
    QTest::newRow("a folder that is not there")
        << QStringLiteral("nowhere/copy.gif")
        << QByteArray("Failed to create picture file\n@/nowhere/copy.gif\nThe file could not be located.");
    QTest::newRow("the download itself") << QStringLiteral("@") << QByteArray();
}

// Save Item of a picture window: the bytes as they arrived.
void tst_Downloads::savePictureAs()
{
    QFETCH(QString, target);
    QFETCH(QByteArray, message);
    Program program(m_settings);
    QPointer<CGopherXferDoc> doc =
        download(program, CBookmark('g', "Pic", "/pic.gif", "127.0.0.1", m_gophernicus->port()));
    QVERIFY(doc);
    QTRY_VERIFY(program.idle());
    const QString path = target == u"@"_qs ? doc->path() : m_dir->filePath(target);
    program.ui.fileDialogAnswers = {path};
    Picture::saveAs(*doc);
    const UserInterface::FileDialog &dialog = program.ui.fileDialogs.constLast();
    QCOMPARE(dialog.title, u"Save Picture As"_qs);
    QCOMPARE(dialog.initialName, QFileInfo(doc->path()).fileName());
    QCOMPARE(dialog.filter, u"GIF (*.gif)|*.gif|All Files (*.*)|*.*||"_qs);
    if (!message.isEmpty()) {
        QTRY_COMPARE(texts(program.ui),
                     QList<QByteArray>{message.replace('@', QFile::encodeName(m_dir->path()))});
        return;
    }
    QTRY_COMPARE(program.ui.mainStatus.constLast(),
                 "Saved 'Pic' in " + QFile::encodeName(path) + " ... done");
    QVERIFY(program.ui.messages.isEmpty());
    QCOMPARE(readFile(path), QByteArray("GIF89a, not read here"));
    // Saved where it is, the download is kept at exit.
    QCOMPARE(program.app.downloadedFiles().files().first().keep, target == u"@"_qs);
}

QTEST_GUILESS_MAIN(tst_Downloads)
#include "tst_downloads.moc"
