#include "app/tarnwickapp.h"
#include "documents/gopherxferdoc.h"
#include "documents/picture.h"
#include "support/settingsfile.h"
#include "support/testservers.h"
#include "ui/guiprogram.h"
#include "ui/image/picturedecoder.h"
#include "ui/image/picturewindow.h"
#include "ui/image/pictureview.h"
#include "ui/help/helpwindow.h"
#include "ui/mainframe.h"
#include "ui/print/pictureprint.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QImageWriter>
#include <QLineEdit>
#include <QMdiArea>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>

namespace {

// Our own test pictures: bands of colour with a diagonal, drawn at test time.
QImage drawing(int width, int height, int shift = 0)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(30, 90, 150));
    QPainter painter(&image);
    painter.fillRect(0, height / 2, width, height - height / 2, QColor(40, 110, 60));
    painter.setPen(QPen(QColor(240, 220, 120), 3));
    painter.drawLine(shift % width, 0, width - 1, height - 1);
    return image;
}

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes;
}

void put16(QByteArray &out, int value)
{
    out += char(value & 0xFF);
    out += char((value >> 8) & 0xFF);
}

// Qt reads GIF but does not write it: the frames go out with a palette of
// their colours and codes of nine bits, a clear code keeping them so.
QByteArray gifOf(const QList<QImage> &frames, int delayCentiseconds)
{
    QList<QRgb> palette;
    for (const QImage &frame : frames) {
        for (int y = 0; y < frame.height(); ++y)
            for (int x = 0; x < frame.width(); ++x)
                if (!palette.contains(frame.pixel(x, y)))
                    palette.append(frame.pixel(x, y));
    }
    palette.resize(256, qRgb(0, 0, 0));
    const int width = frames.first().width();
    const int height = frames.first().height();
    QByteArray out("GIF89a");
    put16(out, width);
    put16(out, height);
    out += QByteArray("\xF7\x00\x00", 3);
    for (QRgb c : palette) {
        out += char(qRed(c));
        out += char(qGreen(c));
        out += char(qBlue(c));
    }
    if (frames.size() > 1)
        out += QByteArray("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    for (const QImage &frame : frames) {
        out += QByteArray("\x21\xF9\x04\x00", 4);
        put16(out, delayCentiseconds);
        out += QByteArray("\x00\x00\x2C", 3);
        put16(out, 0);
        put16(out, 0);
        put16(out, width);
        put16(out, height);
        out += QByteArray("\x00\x08", 2);
        QByteArray data;
        quint32 bits = 0;
        int count = 0;
        const auto code = [&](int c) {
            bits |= quint32(c) << count;
            for (count += 9; count >= 8; count -= 8, bits >>= 8)
                data += char(bits & 0xFF);
        };
        code(256);
        int run = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                code(int(palette.indexOf(frame.pixel(x, y))));
                if (++run == 254) {
                    code(256);
                    run = 0;
                }
            }
        }
        code(257);
        if (count > 0)
            data += char(bits & 0xFF);
        for (qsizetype i = 0; i < data.size(); i += 255) {
            const QByteArray block = data.mid(i, 255);
            out += char(block.size()) + block;
        }
        out += '\0';
    }
    return out + ';';
}

quint32 crc32(QByteArrayView bytes)
{
    quint32 crc = 0xFFFFFFFF;
    for (const char c : bytes) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

void put32(QByteArray &out, quint32 value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += char((value >> shift) & 0xFF);
}

// A small PNG whose header asks for a picture of that size.
QByteArray pngClaiming(quint32 width, quint32 height)
{
    QByteArray out("\x89PNG\r\n\x1A\n", 8);
    const auto chunk = [&out](const QByteArray &typeAndData) {
        put32(out, quint32(typeAndData.size() - 4));
        out += typeAndData;
        put32(out, crc32(typeAndData));
    };
    QByteArray header("IHDR");
    put32(header, width);
    put32(header, height);
    chunk(header + QByteArray("\x08\x02\x00\x00\x00", 5));
    chunk(QByteArray("IDAT\x78\x9C\x03\x00\x00\x00\x00\x01", 12));
    chunk("IEND");
    return out;
}

QByteArray withBytesFlipped(QByteArray bytes, qsizetype at, qsizetype count)
{
    for (qsizetype i = at; i < at + count && i < bytes.size(); ++i)
        bytes[i] = char(bytes.at(i) ^ 0x5A);
    return bytes;
}

// Made once the application exists (the JPEG writer is a plug-in).
QImage Wide;
QByteArray WidePng;
QByteArray SmallJpeg;
QByteArray Animation;

} // namespace

// Pictures shown by the program itself: read away from the UI thread with
// Qt's image reader, faults said in words, the window's commands, the
// picture printed and the headless dump's "image" line.
class tst_Picture : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void readsPictures_data();
    void readsPictures();
    void faultsAreSaid_data();
    void faultsAreSaid();

    void pictureOpensWithoutSetup();
    void zoomScrollAndDrag();
    void copyAndSaveItem();
    void unreadablePictureSaysSoInTheWindow();
    void animationPlays();
    void samplePicturesOpen();
    void printedFittedToThePage();
    void dumpPrintsTheImageLine_data();
    void dumpPrintsTheImageLine();

private:
    CPictureWindow *openPicture(CMainFrame &frame, const QString &url,
                                const QByteArray &title = "A picture");

    QTemporaryDir m_tree;
    std::unique_ptr<TestServer> m_server;
    QTemporaryDir m_dir;
    std::unique_ptr<GuiProgram> m_program;
    CTarnwickApp *m_app = nullptr;
};

void tst_Picture::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(QFile::exists(QStringLiteral(TWK_BINARY)));
    Wide = drawing(600, 400);
    WidePng = encoded(Wide, "png");
    SmallJpeg = encoded(drawing(64, 48), "jpeg");
    Animation = gifOf({drawing(40, 30, 0), drawing(40, 30, 10), drawing(40, 30, 20)}, 2);
    QVERIFY(!WidePng.isEmpty() && !SmallJpeg.isEmpty());
    QVERIFY2(TestServer::writeServedTree(m_tree.path(),
                                         {{QStringLiteral("wide.png"), WidePng},
                                          {QStringLiteral("small.jpg"), SmallJpeg},
                                          {QStringLiteral("cut.jpg"), SmallJpeg.left(SmallJpeg.size() * 2 / 3)},
                                          {QStringLiteral("waves.gif"), Animation},
                                          {QStringLiteral("gophermap"), QByteArray()}}),
             qPrintable(TestServer::lastError()));
    m_server = TestServer::gophernicus(m_tree.path());
    QVERIFY2(m_server, qPrintable(TestServer::lastError()));
}

void tst_Picture::init()
{
    const QString settings = m_dir.filePath(QStringLiteral("tarnwick.ini"));
    QDir(m_dir.path()).mkpath(QStringLiteral("down"));
    QFile ini(settings);
    QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write("[Options]\nAuto File Name=1\n[Directories]\nDownload directory="
              + QFile::encodeName(m_dir.filePath(QStringLiteral("down"))) + '\n');
    ini.close();
    m_program = std::make_unique<GuiProgram>();
    m_app = &m_program->app();
    m_app->setSettingsPath(settings);
    m_app->registerDefaultTemplates();
}

void tst_Picture::cleanup()
{
    m_app = nullptr;
    m_program.reset();
    QDir(m_dir.filePath(QStringLiteral("down"))).removeRecursively();
}

CPictureWindow *tst_Picture::openPicture(CMainFrame &frame, const QString &url, const QByteArray &title)
{
    CBookmark item;
    item.ParseURL(url.toUtf8());
    item.title = title;
    if (!m_app->OpenItem(item, 0, 0))
        return nullptr;
    CPictureWindow *window = nullptr;
    const auto found = [&] {
        window = frame.activePictureWindow();
        return window && !window->isReading();
    };
    return QTest::qWaitFor(found, 20000) ? window : nullptr;
}

void tst_Picture::readsPictures_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QList<int>>("delays");
    QTest::newRow("png") << WidePng << QByteArray("png") << QSize(600, 400) << QList<int>{100};
    // Two hundredths of a second are stretched to the shortest delay.
    QTest::newRow("animated gif") << Animation << QByteArray("gif") << QSize(40, 30)
                                  << QList<int>{20, 20, 20};
}

void tst_Picture::readsPictures()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, size);
    QFETCH(QList<int>, delays);
    const QString path = m_dir.filePath(QStringLiteral("picture"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();
    const DecodedPicture picture = PictureDecoder::decode(path);
    QVERIFY2(picture.facts.readable(), picture.facts.problem.constData());
    QTEST(picture.facts.format, "format");
    QCOMPARE(QSize(picture.facts.width, picture.facts.height), size);
    QCOMPARE(picture.bytes, quint64(bytes.size()));
    QCOMPARE(picture.delays, delays);
    QCOMPARE(picture.frames.size(), delays.size());
    // Drawn directly by the screen, whatever the file held.
    QCOMPARE(picture.frames.first().format(), QImage::Format_RGB32);
}

void tst_Picture::faultsAreSaid_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("message");
    const QByteArray cut("The picture could not be read: the file ends before the picture does");
    const QByteArray damaged("The picture could not be read: its data is damaged");
    QTest::newRow("png cut in its data") << WidePng.left(WidePng.size() / 2) << cut;
    QTest::newRow("png without its end chunk") << WidePng.chopped(12) << cut;
    QTest::newRow("png with a damaged data chunk")
        << withBytesFlipped(WidePng, WidePng.indexOf("IDAT") + 40, 16) << damaged;
    QTest::newRow("gif cut in a frame") << Animation.left(Animation.size() * 3 / 5) << cut;
    QTest::newRow("gif without its trailer") << Animation.chopped(1) << cut;
    QTest::newRow("gif with a stray block") << Animation.chopped(1) + "\x99;" << damaged;
    QTest::newRow("jpeg cut in its scan") << SmallJpeg.left(SmallJpeg.size() * 2 / 3) << cut;
    QTest::newRow("jpeg with a broken marker")
        << withBytesFlipped(SmallJpeg, SmallJpeg.indexOf("\xFF\xC0") , 2) << damaged;
    QTest::newRow("text") << QByteArray("A gopher menu line, not a picture\r\n")
                          << QByteArray("The picture could not be read: not a picture format Tarnwick knows");
    QTest::newRow("empty") << QByteArray() << QByteArray("The picture could not be read: the file is empty");
    QTest::newRow("a header asking for too much")
        << pngClaiming(40000, 40000)
        << QByteArray("The picture could not be read: at 40000 \xC3\x97 40000 pixels it needs more "
                      "than 512 MB");
}

void tst_Picture::faultsAreSaid()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, message);
    const QString path = m_dir.filePath(QStringLiteral("fault"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();
    const DecodedPicture picture = PictureDecoder::decode(path);
    QCOMPARE(Picture::unreadableMessage(picture.facts.problem), message);
    QVERIFY(picture.frames.isEmpty());
}

void tst_Picture::pictureOpensWithoutSetup()
{
    CMainFrame frame(*m_program);
    frame.resize(1000, 800);
    frame.show();
    CPictureWindow *window = openPicture(frame, m_server->url(QStringLiteral("I/wide.png")), "Wide");
    QVERIFY(window);
    // The download keeps its own window; the picture gets one beside it.
    QCOMPARE(frame.mdiArea()->subWindowList().size(), 2);
    QCOMPARE(window->statusText(),
             QString::fromUtf8("600 \xC3\x97 400, PNG, ") + QString::number(WidePng.size())
                 + QStringLiteral(" bytes"));
    QCOMPARE(window->windowTitle(), QStringLiteral("Wide"));
    QVERIFY(window->view()->hasFocus());
    // The item behind the picture: Info and the download's file handling.
    CTarnwickDoc *download = frame.activeDocument();
    QVERIFY(qobject_cast<CGopherXferDoc *>(download));
    QVERIFY(download->item().selector.startsWith("/wide.png"));
    QTRY_VERIFY(frame.action(CMainFrame::ID_INFO)->isEnabled());
    QCOMPARE(m_app->downloadedFiles().files().size(), 1);
    QCOMPARE(m_app->downloadedFiles().files().first().keep, false);
    // F1 opens the manual's section on pictures.
    frame.userInterface().setHelpDirectory(QStringLiteral(TWK_SOURCE_DIR "/share/help"));
    frame.runCommand(CMainFrame::ID_HELP);
    QVERIFY(frame.userInterface().helpWindow());
    const QUrl opened = frame.userInterface().helpWindow()->browser()->source();
    QCOMPARE(opened.fileName() + u'#' + opened.fragment(), QStringLiteral("download.html#picture"));
    frame.userInterface().helpWindow()->close();
    // Esc closes the picture, not the download.
    frame.runCommand(CMainFrame::ID_FILE_CLOSE);
    QTRY_COMPARE(frame.mdiArea()->subWindowList().size(), 1);
    QVERIFY(!frame.activePictureWindow());
    // The download's window brings the picture back, once.
    qobject_cast<CGopherXferDoc *>(frame.activeDocument())->ViewFile();
    qobject_cast<CGopherXferDoc *>(frame.activeDocument())->ViewFile();
    QTRY_COMPARE(frame.mdiArea()->subWindowList().size(), 2);
    // Closing the download takes its picture window with it.
    QPointer<CPictureWindow> again = frame.activePictureWindow();
    QVERIFY(again);
    again->document()->OnCloseDocument();
    QTRY_VERIFY(!again);
    QTRY_COMPARE(frame.mdiArea()->subWindowList().size(), 0);
}

void tst_Picture::zoomScrollAndDrag()
{
    CMainFrame frame(*m_program);
    frame.resize(1000, 800);
    frame.show();
    CPictureWindow *window = openPicture(frame, m_server->url(QStringLiteral("I/wide.png")));
    QVERIFY(window);
    window->resize(400, 300);
    PictureView *view = window->view();
    QTRY_VERIFY(view->scale() < 1.0);
    QVERIFY(view->fitsWindow());
    QTRY_VERIFY(frame.action(CMainFrame::ID_ZOOM_FIT)->isChecked());
    QCOMPARE(view->horizontalScrollBar()->maximum(), 0);

    const auto run = [&frame](int id) { frame.runCommand(id); };
    run(CMainFrame::ID_ZOOM_ACTUAL);
    QCOMPARE(view->scale(), 1.0);
    QVERIFY(!view->fitsWindow());
    run(CMainFrame::ID_ZOOM_IN);
    QCOMPARE(view->scale(), 1.25);
    run(CMainFrame::ID_ZOOM_OUT);
    run(CMainFrame::ID_ZOOM_OUT);
    QCOMPARE(view->scale(), 0.8);
    // The keys, as a user types them at the picture.
    QTest::keyClick(view, Qt::Key_1, Qt::ControlModifier);
    QCOMPARE(view->scale(), 1.0);
    QTest::keyClick(view, Qt::Key_Plus, Qt::ControlModifier);
    QCOMPARE(view->scale(), 1.25);
    QTest::keyClick(view, Qt::Key_Equal, Qt::ControlModifier);
    QCOMPARE(view->scale(), 1.5625);
    QTest::keyClick(view, Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(view->scale(), 1.25);
    // The wheel with Ctrl zooms; without it, it scrolls.
    QWheelEvent wheel(QPointF(50, 50), view->viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &wheel);
    QCOMPARE(view->scale(), 1.5625);

    // Scrolling by keys and by dragging.
    QVERIFY(view->horizontalScrollBar()->maximum() > 0);
    QTest::keyClick(view, Qt::Key_End);
    QCOMPARE(view->horizontalScrollBar()->value(), view->horizontalScrollBar()->maximum());
    QCOMPARE(view->verticalScrollBar()->value(), view->verticalScrollBar()->maximum());
    QTest::keyClick(view, Qt::Key_Home);
    QCOMPARE(view->horizontalScrollBar()->value(), 0);
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, QPoint(200, 150));
    QTest::mouseMove(view->viewport(), QPoint(150, 110));
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(150, 110));
    QCOMPARE(view->horizontalScrollBar()->value(), 50);
    QCOMPARE(view->verticalScrollBar()->value(), 40);

    QTest::keyClick(view, Qt::Key_0, Qt::ControlModifier);
    QVERIFY(view->fitsWindow());
    QVERIFY(view->scale() < 1.0);
}

void tst_Picture::copyAndSaveItem()
{
    CMainFrame frame(*m_program);
    frame.show();
    CPictureWindow *window = openPicture(frame, m_server->url(QStringLiteral("I/wide.png")));
    QVERIFY(window);
    QGuiApplication::clipboard()->clear();
    frame.runCommand(CMainFrame::ID_EDIT_COPY);
    QCOMPARE(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32), Wide);

    // Save Item: the bytes as they came from the server, under the name chosen.
    const QString target = m_dir.filePath(QStringLiteral("kept picture.png"));
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Save Picture As"));
            // The folder chosen and the name typed, as a user would.
            dialog->setDirectory(QFileInfo(target).path());
            auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            name->setText(QFileInfo(target).fileName());
            static_cast<QDialog *>(dialog)->accept();
        }
    });
    answer.start(20);
    frame.runCommand(CMainFrame::ID_FILE_SAVE);
    answer.stop();
    QTRY_COMPARE(frame.statusMessage(),
                 QStringLiteral("Saved 'A picture' in ") + target + QStringLiteral(" ... done"));
    QFile saved(target);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), WidePng);
}

void tst_Picture::unreadablePictureSaysSoInTheWindow()
{
    CMainFrame frame(*m_program);
    frame.show();
    CPictureWindow *window = openPicture(frame, m_server->url(QStringLiteral("I/cut.jpg")));
    QVERIFY(window);
    QCOMPARE(window->messageText(),
             QStringLiteral("The picture could not be read: the file ends before the picture does"));
    QCOMPARE(window->statusText(), QString::number(SmallJpeg.size() * 2 / 3) + QStringLiteral(" bytes"));
    frame.updateCommandStates();
    for (int id : {CMainFrame::ID_ZOOM_IN, CMainFrame::ID_ZOOM_FIT, CMainFrame::ID_EDIT_COPY,
                   CMainFrame::ID_PRINT})
        QVERIFY2(!frame.action(id)->isEnabled(), qPrintable(frame.action(id)->text()));
    // What arrived can still be saved.
    QVERIFY(frame.action(CMainFrame::ID_FILE_SAVE)->isEnabled());
}

void tst_Picture::animationPlays()
{
    CMainFrame frame(*m_program);
    frame.show();
    CPictureWindow *window = openPicture(frame, m_server->url(QStringLiteral("g/waves.gif")));
    QVERIFY(window);
    QCOMPARE(window->statusText(), QString::fromUtf8("40 \xC3\x97 30, GIF, ") + QString::number(Animation.size())
                                       + QStringLiteral(" bytes"));
    PictureView *view = window->view();
    QTRY_COMPARE(view->frameIndex(), 2);
    // It loops for ever, as the file asks.
    QTRY_COMPARE(view->frameIndex(), 0);
    QCOMPARE(view->currentFrame(), drawing(40, 30, 0));
}

void tst_Picture::samplePicturesOpen()
{
    // The sample gopherspace, served as ./run serves it.
    auto sample = TestServer::pygopherd(QStringLiteral(TWK_SOURCE_DIR "/share/gopherspace"));
    QVERIFY2(sample, qPrintable(TestServer::lastError()));
    CMainFrame frame(*m_program);
    frame.show();
    for (const auto &[path, status] :
         {std::pair{QStringLiteral("g/images/tarn.gif"), QString::fromUtf8("24 \xC3\x97 16, GIF, 256 bytes")},
          std::pair{QStringLiteral("I/images/tarn.png"), QString::fromUtf8("24 \xC3\x97 16, PNG, 137 bytes")}}) {
        CPictureWindow *window = openPicture(frame, sample->url(path));
        QVERIFY(window);
        QCOMPARE(window->statusText(), status);
        QVERIFY(window->hasPicture());
    }
}

void tst_Picture::printedFittedToThePage()
{
    QVERIFY(!QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty());
    RecordingUserInterface ui;
    CTarnwickApp app(ui);
    CGopherXferDoc doc(app.context());
    doc.setTitle("A wide picture");
    const QString pdf = m_dir.filePath(QStringLiteral("picture.pdf"));
    {
        QPdfWriter writer(pdf);
        writer.setPageSize(QPageSize(QPageSize::Letter));
        writer.setResolution(300);
        // Margins count from the paper's edge, as on a printer set to full page.
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QImage dark(600, 300, QImage::Format_RGB32);
        dark.fill(Qt::black);
        QVERIFY(printPicture(writer, dark, doc, PrinterSetup{}, QFont(QStringLiteral("DejaVu Sans"), 10)));
    }
    // Drawn at ten dots per inch: the picture spans the 6.5 inches between
    // the margins, half as high, below the heading.
    QProcess render;
    render.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("10"), QStringLiteral("-png"),
                                              QStringLiteral("-singlefile"), pdf, m_dir.filePath(QStringLiteral("page"))});
    QVERIFY(render.waitForFinished(30000));
    const QImage page(m_dir.filePath(QStringLiteral("page.png")));
    QCOMPARE(page.size(), QSize(85, 110));
    QRect dark;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 128)
                dark |= QRect(x, y, 1, 1);
    QVERIFY2(qAbs(dark.left() - 10) <= 1 && qAbs(dark.width() - 65) <= 1, qPrintable(QStringLiteral("%1 %2").arg(dark.left()).arg(dark.width())));
    QVERIFY2(qAbs(dark.height() - 33) <= 1 && dark.top() > 10, qPrintable(QString::number(dark.height())));
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    QVERIFY(text.waitForFinished(30000));
    const QByteArray words = text.readAllStandardOutput();
    QVERIFY2(words.contains("A wide picture") && words.contains("Page 1"), words.constData());
}

void tst_Picture::dumpPrintsTheImageLine_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("image");    // the line after "file"
    QTest::addColumn<QByteArray>("message");  // on standard error
    QTest::newRow("png") << QStringLiteral("I/wide.png") << QByteArray("image\t600x400\tpng\n") << QByteArray();
    QTest::newRow("jpeg as a PNG item") << QStringLiteral("p/small.jpg") << QByteArray("image\t64x48\tjpeg\n")
                                        << QByteArray();
    QTest::newRow("animated gif") << QStringLiteral("g/waves.gif") << QByteArray("image\t40x30\tgif\n")
                                  << QByteArray();
    QTest::newRow("cut jpeg") << QStringLiteral("I/cut.jpg") << QByteArray()
                              << QByteArray("message: The picture could not be read: the file ends before "
                                            "the picture does\n");
    QTest::newRow("a binary is no picture") << QStringLiteral("9/wide.png") << QByteArray() << QByteArray();
}

void tst_Picture::dumpPrintsTheImageLine()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, image);
    QFETCH(QByteArray, message);
    const QString out = m_dir.filePath(QStringLiteral("dump"));
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TWK_CONFIG"), m_dir.path());
    env.insert(QStringLiteral("HOME"), m_dir.path());
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(TWK_BINARY),
                  {QStringLiteral("--download-dir"), out, QStringLiteral("--dump"), m_server->url(path)});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    const QByteArray lines = process.readAllStandardOutput();
    const qsizetype fileEnd = lines.indexOf('\n') + 1;
    QVERIFY2(lines.startsWith(QByteArray("file\t" + QFile::encodeName(out) + '/')), lines.constData());
    QCOMPARE(lines.mid(fileEnd), image);
    const QByteArray err = process.readAllStandardError();
    QVERIFY2(message.isEmpty() ? !err.contains("message:") : err.contains(message), err.constData());
}

QTEST_MAIN(tst_Picture)
#include "tst_picture.moc"
