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
#include <QImageWriter>
#include <QMdiArea>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
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

// Qt writes no GIF: a palette of the frames' colours and nine-bit codes, a
// clear code keeping them so.
QByteArray gifOf(const QList<QImage> &frames, int delayCentiseconds)
{
    QList<QRgb> palette;
    for (const QImage &frame : frames)
        for (int y = 0; y < frame.height(); ++y)
            for (int x = 0; x < frame.width(); ++x)
                if (!palette.contains(frame.pixel(x, y)))
                    palette.append(frame.pixel(x, y));
    palette.resize(256, qRgb(0, 0, 0));
    const int width = frames.first().width(), height = frames.first().height();
    QByteArray out("GIF89a");
    put16(out, width);
    put16(out, height);
    out += QByteArray("\xF7\x00\x00", 3);
    for (QRgb c : palette)
        out.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
    if (frames.size() > 1)
        out += QByteArray("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    for (const QImage &frame : frames) {
        out += QByteArray("\x21\xF9\x04\x00", 4);
        put16(out, delayCentiseconds);
        out += QByteArray("\x00\x00\x2C\x00\x00\x00\x00", 7);
        put16(out, width);
        put16(out, height);
        out += QByteArray("\x00\x08", 2);
        QByteArray data;
        quint32 bits = 0;
        int count = 0, run = 0;
        const auto code = [&](int c) {
            bits |= quint32(c) << count;
            for (count += 9; count >= 8; count -= 8, bits >>= 8)
                data += char(bits & 0xFF);
        };
        code(256);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                code(int(palette.indexOf(frame.pixel(x, y))));
                if (++run == 254) {
                    code(256);
                    run = 0;
                }
            }
        code(257);
        if (count > 0)
            data += char(bits & 0xFF);
        for (qsizetype i = 0; i < data.size(); i += 255)
            out += char(data.mid(i, 255).size()) + data.mid(i, 255);
        out += '\0';
    }
    return out + ';';
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
        quint32 crc = 0xFFFFFFFF;
        for (const char c : typeAndData) {
            crc ^= quint8(c);
            for (int k = 0; k < 8; ++k)
                crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
        }
        put32(out, ~crc);
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

QString status(int width, int height, const char *format, qsizetype bytes)
{
    return QString::fromUtf8("%1 \xC3\x97 %2, %3, %4 bytes").arg(width).arg(height).arg(QLatin1String(format)).arg(bytes);
}

const QByteArray Cut("The picture could not be read: the file ends before the picture does");

// Made once the application exists (the JPEG writer is a plug-in).
QImage Wide;
QByteArray WidePng, SmallJpeg, Animation;

} // namespace

// Pictures shown by the program itself: decoded away from the UI thread,
// faults said in words, the window's commands, printing and the dump.
class tst_Picture : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void decodes_data();
    void decodes();
    void windowShowsWhatArrived_data();
    void windowShowsWhatArrived();
    void pictureWindowBesideItsDownload();
    void zoomScrollAndDrag();
    void printedFittedToThePage();
    void dumpPrintsTheImageLine_data();
    void dumpPrintsTheImageLine();

private:
    CPictureWindow *openPicture(CMainFrame &frame, const QString &url);

    QTemporaryDir m_tree;
    std::unique_ptr<TestServer> m_server;
    std::unique_ptr<TestServer> m_sample; // the sample gopherspace, as ./run serves it
    QTemporaryDir m_dir;
    std::unique_ptr<GuiProgram> m_program;
};

void tst_Picture::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
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
    m_sample = TestServer::pygopherd(QStringLiteral(TWK_SOURCE_DIR "/share/gopherspace"));
    QVERIFY2(m_sample, qPrintable(TestServer::lastError()));
}

void tst_Picture::init()
{
    QDir(m_dir.path()).mkpath(QStringLiteral("down"));
    SettingsFile ini;
    ini.setPath(m_dir.filePath(QStringLiteral("tarnwick.ini")));
    ini.put("[Options]\nAuto File Name=1\n[Directories]\nDownload directory="
            + QFile::encodeName(m_dir.filePath(QStringLiteral("down"))) + '\n');
    m_program = std::make_unique<GuiProgram>();
    m_program->app().setSettingsPath(ini.path());
    m_program->app().registerDefaultTemplates();
}

void tst_Picture::cleanup()
{
    m_program.reset();
    QDir(m_dir.filePath(QStringLiteral("down"))).removeRecursively();
}

CPictureWindow *tst_Picture::openPicture(CMainFrame &frame, const QString &url)
{
    CBookmark item;
    item.ParseURL(url.toUtf8());
    item.title = "A picture";
    if (!m_program->app().OpenItem(item, 0, 0))
        return nullptr;
    CPictureWindow *window = nullptr;
    const auto read = [&] { return (window = frame.activePictureWindow()) && !window->isReading(); };
    return QTest::qWaitFor(read, 20000) ? window : nullptr;
}

void tst_Picture::decodes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("message"); // empty: read
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QList<int>>("delays");
    QTest::newRow("png") << WidePng << QByteArray() << QSize(600, 400) << QList<int>{100};
    // Two hundredths of a second are stretched to the shortest delay.
    QTest::newRow("animated gif") << Animation << QByteArray() << QSize(40, 30) << QList<int>{20, 20, 20};
    const QByteArray damaged("The picture could not be read: its data is damaged");
    const auto fault = [](const char *name, const QByteArray &bytes, const QByteArray &message) {
        QTest::newRow(name) << bytes << message << QSize() << QList<int>();
    };
    fault("png cut in its data", WidePng.left(WidePng.size() / 2), Cut);
    fault("png without its end chunk", WidePng.chopped(12), Cut);
    fault("png with a damaged data chunk", withBytesFlipped(WidePng, WidePng.indexOf("IDAT") + 40, 16), damaged);
    fault("gif cut in a frame", Animation.left(Animation.size() * 3 / 5), Cut);
    fault("gif without its trailer", Animation.chopped(1), Cut);
    fault("gif with a stray block", Animation.chopped(1) + "\x99;", damaged);
    fault("jpeg cut in its scan", SmallJpeg.left(SmallJpeg.size() * 2 / 3), Cut);
    fault("jpeg with a broken marker", withBytesFlipped(SmallJpeg, SmallJpeg.indexOf("\xFF\xC0"), 2), damaged);
    fault("text", "A gopher menu line, not a picture\r\n",
          "The picture could not be read: not a picture format Tarnwick knows");
    fault("empty", QByteArray(), "The picture could not be read: the file is empty");
    fault("a header asking for too much", pngClaiming(40000, 40000),
          "The picture could not be read: at 40000 \xC3\x97 40000 pixels it needs more than 512 MB");
}

void tst_Picture::decodes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, message);
    QFETCH(QSize, size);
    QFETCH(QList<int>, delays);
    const QString path = m_dir.filePath(QStringLiteral("picture"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();
    const DecodedPicture picture = PictureDecoder::decode(path);
    if (!message.isEmpty()) {
        QCOMPARE(Picture::unreadableMessage(picture.facts.problem), message);
        QVERIFY(picture.frames.isEmpty());
        return;
    }
    QVERIFY2(picture.facts.readable(), picture.facts.problem.constData());
    QCOMPARE(QSize(picture.facts.width, picture.facts.height), size);
    QCOMPARE(picture.bytes, quint64(bytes.size()));
    QCOMPARE(picture.delays, delays);
    QCOMPARE(picture.frames.size(), delays.size());
    // Drawn directly by the screen, whatever the file held.
    QCOMPARE(picture.frames.first().format(), QImage::Format_RGB32);
}

void tst_Picture::windowShowsWhatArrived_data()
{
    QTest::addColumn<bool>("sample");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QByteArray>("message"); // empty: the picture is shown
    QTest::newRow("png") << false << u"I/wide.png"_qs << status(600, 400, "PNG", WidePng.size()) << QByteArray();
    QTest::newRow("gif") << false << u"g/waves.gif"_qs << status(40, 30, "GIF", Animation.size()) << QByteArray();
    QTest::newRow("cut jpeg") << false << u"I/cut.jpg"_qs
                              << QString::number(SmallJpeg.size() * 2 / 3) + u" bytes"_qs << Cut;
    QTest::newRow("sample gif") << true << u"g/images/tarn.gif"_qs << status(24, 16, "GIF", 256) << QByteArray();
    QTest::newRow("sample png") << true << u"I/images/tarn.png"_qs << status(24, 16, "PNG", 137) << QByteArray();
}

void tst_Picture::windowShowsWhatArrived()
{
    QFETCH(bool, sample);
    QFETCH(QString, path);
    QFETCH(QByteArray, message);
    CMainFrame frame(*m_program);
    frame.show();
    CPictureWindow *window = openPicture(frame, (sample ? m_sample : m_server)->url(path));
    QVERIFY(window);
    QTEST(window->statusText(), "status");
    QCOMPARE(window->hasPicture(), message.isEmpty());
    if (path == u"g/waves.gif") {
        // It plays, and loops for ever as the file asks.
        QTRY_COMPARE(window->view()->frameIndex(), 2);
        QTRY_COMPARE(window->view()->frameIndex(), 0);
        QCOMPARE(window->view()->currentFrame(), drawing(40, 30, 0));
    }
    if (message.isEmpty())
        return;
    QCOMPARE(window->messageText(), QString::fromUtf8(message));
    frame.updateCommandStates();
    for (int id : {CMainFrame::ID_ZOOM_IN, CMainFrame::ID_ZOOM_FIT, CMainFrame::ID_EDIT_COPY, CMainFrame::ID_PRINT})
        QVERIFY2(!frame.action(id)->isEnabled(), qPrintable(frame.action(id)->text()));
    // What arrived can still be saved.
    QVERIFY(frame.action(CMainFrame::ID_FILE_SAVE)->isEnabled());
}

void tst_Picture::pictureWindowBesideItsDownload()
{
    CMainFrame frame(*m_program);
    frame.show();
    CPictureWindow *window = openPicture(frame, m_server->url(QStringLiteral("I/wide.png")));
    QVERIFY(window);
    QCOMPARE(frame.mdiArea()->subWindowList().size(), 2);
    QCOMPARE(window->windowTitle(), QStringLiteral("A picture"));
    QVERIFY(window->view()->hasFocus());
    QGuiApplication::clipboard()->clear();
    frame.runCommand(CMainFrame::ID_EDIT_COPY);
    QCOMPARE(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32), Wide);
    // The item behind the picture: Info is the download's.
    QVERIFY(qobject_cast<CGopherXferDoc *>(frame.activeDocument()));
    QTRY_VERIFY(frame.action(CMainFrame::ID_INFO)->isEnabled());
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

    // The keys, as a user types them at the picture.
    for (auto [key, scale] : {std::pair{Qt::Key_1, 1.0}, {Qt::Key_Plus, 1.25}, {Qt::Key_Equal, 1.5625},
                              {Qt::Key_Minus, 1.25}, {Qt::Key_Minus, 1.0}, {Qt::Key_Minus, 0.8}}) {
        QTest::keyClick(view, key, Qt::ControlModifier);
        QCOMPARE(view->scale(), scale);
        QVERIFY(!view->fitsWindow());
    }
    // The wheel with Ctrl zooms.
    QWheelEvent wheel(QPointF(50, 50), view->viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &wheel);
    QCOMPARE(view->scale(), 1.0);

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

void tst_Picture::printedFittedToThePage()
{
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
    // At ten dots per inch: the 6.5 inches between the margins, half as high, below the heading.
    const auto run = [](const QString &program, const QStringList &arguments) {
        QProcess process;
        process.start(program, arguments);
        return process.waitForFinished(30000) ? process.readAllStandardOutput() : QByteArray("did not run");
    };
    QCOMPARE(run(u"pdftoppm"_qs, {u"-r"_qs, u"10"_qs, u"-png"_qs, u"-singlefile"_qs, pdf, m_dir.filePath(u"page"_qs)}),
             QByteArray());
    const QImage page(m_dir.filePath(QStringLiteral("page.png")));
    QCOMPARE(page.size(), QSize(85, 110));
    QRect dark;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 128)
                dark |= QRect(x, y, 1, 1);
    QVERIFY2(qAbs(dark.left() - 10) <= 1 && qAbs(dark.width() - 65) <= 1, qPrintable(QStringLiteral("%1 %2").arg(dark.left()).arg(dark.width())));
    QVERIFY2(qAbs(dark.height() - 33) <= 1 && dark.top() > 10, qPrintable(QString::number(dark.height())));
    const QByteArray words = run(u"pdftotext"_qs, {pdf, u"-"_qs});
    QVERIFY2(words.contains("A wide picture") && words.contains("Page 1"), words.constData());
}

void tst_Picture::dumpPrintsTheImageLine_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("image");   // the line after "file"
    QTest::addColumn<QByteArray>("message"); // on standard error
    QTest::newRow("png") << u"I/wide.png"_qs << QByteArray("image\t600x400\tpng\n") << QByteArray();
    QTest::newRow("jpeg as a PNG item") << u"p/small.jpg"_qs << QByteArray("image\t64x48\tjpeg\n") << QByteArray();
    QTest::newRow("animated gif") << u"g/waves.gif"_qs << QByteArray("image\t40x30\tgif\n") << QByteArray();
    QTest::newRow("cut jpeg") << u"I/cut.jpg"_qs << QByteArray() << QByteArray("message: " + Cut + '\n');
    QTest::newRow("a binary is no picture") << u"9/wide.png"_qs << QByteArray() << QByteArray();
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
    QVERIFY2(lines.startsWith(QByteArray("file\t" + QFile::encodeName(out) + '/')), lines.constData());
    QCOMPARE(lines.mid(lines.indexOf('\n') + 1), image);
    const QByteArray err = process.readAllStandardError();
    QVERIFY2(message.isEmpty() ? !err.contains("message:") : err.contains(message), err.constData());
}

QTEST_MAIN(tst_Picture)
#include "tst_picture.moc"
