#include "ui/views/gophertextview.h"

#include "settings/hostencodings.h"
#include "settings/profilefile.h"
#include "app/tarnwickapp.h"
#include "documents/gophertextdoc.h"
#include "documents/userinterface.h"
#include "ui/fontmanager.h"

#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(TextPosition)

namespace {

QtMessageHandler previousHandler = nullptr;

// The offscreen platform cannot grab the pointer for real; the widget still
// records the capture, which is what the view relies on.
void dropGrabWarning(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message == QStringLiteral("This plugin does not support grabbing the mouse"))
        return;
    previousHandler(type, context, message);
}

QByteArray numberedLines(int count)
{
    QByteArray text;
    for (int i = 1; i <= count; ++i)
        text += "line " + QByteArray::number(i) + "\r\n";
    return text;
}

} // namespace

class tst_TextView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void clickShowsPosition_data();
    void clickShowsPosition();
    void backwardDragMarksInOrder();
    void captureHeldElsewhere();
    void doubleClickMarksWord_data();
    void doubleClickMarksWord();
    void rightClickClearsMark();
    void autoScrollWhileHeldBelow();
    void findMarksAndScrolls();
    void findFarRightScrollsAcross();
    void keysScroll();
    void keysNeedTheirBar();
    void followEndKeepsEndInView();
    void reloadClearsMark();
    void emptyDocumentIgnoresInput();
    void fullTextDrawsOnlyTheScreen();
    void tabsExpandForHitTesting();
    void utf8ColumnsAreBytes();
    void encodingRedrawsSaveKeepsBytes();
    void findLooksForWhatIsShown();
    void fontChangeRecomputesGeometry();
    void printFollowsMarkAndCompletion();

private:
    // Feeds text to the document; `finish` ends the transfer as a server
    // closing the connection would.
    void feed(const QByteArray &text, bool finish = true);
    // Feeds `text` (if any) as a whole transfer, then shows the view.
    void makeView(const QByteArray &text = {});
    QPoint at(TextPosition pos) const;

    QTemporaryDir m_dir;
    std::unique_ptr<RecordingUserInterface> m_ui;
    std::unique_ptr<CTarnwickApp> m_app;
    std::unique_ptr<ProfileFile> m_profile;
    std::unique_ptr<FontManager> m_fonts;
    std::unique_ptr<CGopherTextDoc> m_doc;
    std::unique_ptr<CGopherTextView> m_view;
};

void tst_TextView::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_dir.isValid());
    previousHandler = qInstallMessageHandler(dropGrabWarning);
}

void tst_TextView::init()
{
    m_ui = std::make_unique<RecordingUserInterface>();
    m_profile = std::make_unique<ProfileFile>(m_dir.filePath(QStringLiteral("tarnwick.ini")));
    m_fonts = std::make_unique<FontManager>(*m_profile);
    m_app = std::make_unique<CTarnwickApp>(*m_ui);
    m_doc = std::make_unique<CGopherTextDoc>(m_app->context());
}

void tst_TextView::cleanup()
{
    m_view.reset();
    m_doc.reset();
    m_fonts.reset();
    m_profile.reset();
    m_app.reset();
    m_ui.reset();
    QFile::remove(m_dir.filePath(QStringLiteral("tarnwick.ini")));
}

void tst_TextView::feed(const QByteArray &text, bool finish)
{
    bool done = false;
    m_doc->OnData(text, done);
    if (finish && !done)
        m_doc->FinishTransfer();
}

void tst_TextView::makeView(const QByteArray &text)
{
    if (!text.isEmpty())
        feed(text);
    m_view = std::make_unique<CGopherTextView>(m_doc.get(), m_fonts.get());
    m_view->resize(400, 300);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
}

QPoint tst_TextView::at(TextPosition pos) const
{
    const QRect cell = m_view->characterRect(pos);
    return cell.isValid() ? cell.center() : QPoint(-1000, -1000);
}

void tst_TextView::clickShowsPosition_data()
{
    QTest::addColumn<TextPosition>("pos");
    QTest::addColumn<QByteArray>("status");

    QTest::addRow("first column of line 1") << TextPosition{0, 0} << QByteArray("1:1, 0.0%");
    QTest::addRow("fifth column of line 2") << TextPosition{4, 1} << QByteArray("2:5, 33.3%");
    QTest::addRow("last character of line 3") << TextPosition{5, 2} << QByteArray("3:6, 66.6%");
}

void tst_TextView::clickShowsPosition()
{
    QFETCH(TextPosition, pos);
    QFETCH(QByteArray, status);

    feed("first\r\nsecond line\r\nthird!\r\n");
    QCOMPARE(m_doc->store().GetLineCount(), 3);
    makeView();

    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {}, at(pos));
    QCOMPARE(m_doc->lastStatus(), status);
    QCOMPARE(m_doc->markMode(), int(CGopherTextDoc::NoMark));
    QCOMPARE(m_view->marker().state(), TextMarker::NoMark);
    QCOMPARE(QWidget::mouseGrabber(), nullptr);
}

void tst_TextView::backwardDragMarksInOrder()
{
    makeView("abcdefgh\r\n0123456789\r\nthird\r\n");
    QWidget *viewport = m_view->viewport();

    QTest::mousePress(viewport, Qt::LeftButton, {}, at({4, 1}));
    QCOMPARE(m_doc->lastStatus(), QByteArray("2:5 ..."));
    QCOMPARE(QWidget::mouseGrabber(), viewport);
    QCOMPARE(m_doc->markMode(), int(CGopherTextDoc::Marking));

    QTest::mouseMove(viewport, at({2, 0}));
    QCOMPARE(m_doc->lastStatus(), QByteArray("Marking 1:3 <-- 2:5"));
    QCOMPARE(m_doc->markMode(), int(CGopherTextDoc::Marking));
    QVERIFY(!m_doc->OnUpdateEditCopy());

    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at({2, 0}));
    QCOMPARE(m_doc->lastStatus(), QByteArray("Marked 1:3 --> 2:5"));
    QCOMPARE(QWidget::mouseGrabber(), nullptr);
    QCOMPARE(m_doc->markMode(), int(CGopherTextDoc::Marked));
    QCOMPARE(m_doc->markStartLine(), 0);
    QCOMPARE(m_doc->markStartColumn(), 2);
    QCOMPARE(m_doc->markEndLine(), 1);
    QCOMPARE(m_doc->markEndColumn(), 4);

    // Copy takes exactly the marked stretch.
    m_doc->OnEditCopy();
    QCOMPARE(m_ui->clipboard, QByteArray("cdefgh\n0123\n"));
}

void tst_TextView::captureHeldElsewhere()
{
    makeView("one\r\ntwo\r\n");
    QWidget other;
    other.resize(50, 50);
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    other.grabMouse();

    QTest::mousePress(m_view->viewport(), Qt::LeftButton, {}, at({1, 1}));
    QCOMPARE(m_doc->lastStatus(), QByteArray("Some other window has captured the mouse"));
    QCOMPARE(m_view->marker().state(), TextMarker::NoMark);
    QCOMPARE(m_doc->markMode(), int(CGopherTextDoc::NoMark));
    QCOMPARE(QWidget::mouseGrabber(), &other);
    other.releaseMouse();
}

void tst_TextView::doubleClickMarksWord_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");

    QTest::addRow("on a word") << QByteArray("see gopher.example now") << 6
                               << int(CGopherTextDoc::Marked) << 4 << 18;
    QTest::addRow("space between two words marks the right one")
        << QByteArray("hello world") << 5 << int(CGopherTextDoc::Marked) << 6 << 11;
    QTest::addRow("trailing spaces mark the last word")
        << QByteArray("hello world    ") << 13 << int(CGopherTextDoc::Marked) << 6 << 11;
    QTest::addRow("no word character leaves no mark")
        << QByteArray("  ( | )  ") << 2 << int(CGopherTextDoc::NoMark) << 0 << 0;
}

void tst_TextView::doubleClickMarksWord()
{
    QFETCH(QByteArray, line);
    QFETCH(int, column);
    QFETCH(int, mode);
    QFETCH(int, start);
    QFETCH(int, end);

    makeView("first line\r\n" + line + "\r\nlast\r\n");

    QTest::mouseDClick(m_view->viewport(), Qt::LeftButton, {}, at({column, 1}));
    QCOMPARE(m_doc->markMode(), mode);
    QCOMPARE(int(m_view->marker().state()), mode);
    QCOMPARE(QWidget::mouseGrabber(), nullptr);
    if (mode == CGopherTextDoc::Marked) {
        QCOMPARE(m_doc->markStartLine(), 1);
        QCOMPARE(m_doc->markEndLine(), 1);
        QCOMPARE(m_doc->markStartColumn(), start);
        QCOMPARE(m_doc->markEndColumn(), end);
        QCOMPARE(m_doc->lastStatus(), QByteArray("Marked 2:") + QByteArray::number(start + 1)
                                          + " --> 2:" + QByteArray::number(end + 1));
    }
}

void tst_TextView::rightClickClearsMark()
{
    makeView("hello world\r\nsecond\r\n");
    QTest::mouseDClick(m_view->viewport(), Qt::LeftButton, {}, at({1, 0}));
    QCOMPARE(m_doc->markMode(), int(CGopherTextDoc::Marked));

    QTest::mouseClick(m_view->viewport(), Qt::RightButton, {}, at({3, 1}));
    QCOMPARE(m_doc->markMode(), int(CGopherTextDoc::NoMark));
    QCOMPARE(m_view->marker().state(), TextMarker::NoMark);

    QTest::mouseDClick(m_view->viewport(), Qt::LeftButton, {}, at({1, 0}));
    QTest::mouseDClick(m_view->viewport(), Qt::RightButton, {}, at({3, 1}));
    QCOMPARE(m_doc->markMode(), int(CGopherTextDoc::NoMark));

    // A right press while dragging ends the marking too.
    QWidget *viewport = m_view->viewport();
    QTest::mousePress(viewport, Qt::LeftButton, {}, at({0, 0}));
    QTest::mouseMove(viewport, at({3, 1}));
    QCOMPARE(m_doc->markMode(), int(CGopherTextDoc::Marking));

    QTest::mousePress(viewport, Qt::RightButton, Qt::KeyboardModifiers(), at({3, 1}));
    QCOMPARE(m_doc->markMode(), int(CGopherTextDoc::NoMark));
    QCOMPARE(QWidget::mouseGrabber(), nullptr);
    QTest::mouseRelease(viewport, Qt::RightButton, {}, at({3, 1}));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at({3, 1}));
    QCOMPARE(m_doc->markMode(), int(CGopherTextDoc::NoMark));
}

void tst_TextView::autoScrollWhileHeldBelow()
{
    makeView(numberedLines(1000));
    QWidget *viewport = m_view->viewport();
    QTest::mousePress(viewport, Qt::LeftButton, {}, at({0, 2}));
    QTest::mouseMove(viewport, QPoint(20, viewport->height() + 10));
    QVERIFY(m_view->isAutoScrolling());
    QCOMPARE(m_view->marker().current(), (TextPosition{0, 2}));

    QTRY_VERIFY(m_view->firstLine() >= 2);
    QVERIFY(m_view->marker().current().line >= 4);
    QVERIFY(m_doc->lastStatus().startsWith("Marking 3:1 --> "));
    QCOMPARE(m_doc->markMode(), int(CGopherTextDoc::Marking));

    // Back inside the text, the pointer takes over again.
    const QPoint inside(CGopherTextView::LeftMargin + 1, m_view->lineHeight() + 1);
    QTest::mouseMove(viewport, inside);
    QVERIFY(!m_view->isAutoScrolling());
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, inside);
    QCOMPARE(m_doc->markMode(), int(CGopherTextDoc::Marked));
    QCOMPARE(m_doc->markStartLine(), 2);
    QCOMPARE(m_doc->markEndLine(), m_view->firstLine() + 1);
    QVERIFY(!m_view->isAutoScrolling());
}

void tst_TextView::findMarksAndScrolls()
{
    makeView(numberedLines(1000));
    QCOMPARE(m_view->firstLine(), 0);

    m_doc->FindText("line 700", true, false, false);
    QVERIFY(m_ui->messages.isEmpty());
    QCOMPARE(m_doc->markMode(), int(CGopherTextDoc::Marked));
    QCOMPARE(m_doc->markStartLine(), 699);
    QCOMPARE(m_doc->markStartColumn(), 0);
    QCOMPARE(m_doc->markEndLine(), 699);
    QCOMPARE(m_doc->markEndColumn(), 8);
    QCOMPARE(m_view->marker().state(), TextMarker::Marked);
    QCOMPARE(m_doc->lastStatus(), QByteArray("700:1, 69.9%"));
    QVERIFY(m_view->firstLine() <= 699);
    QVERIFY(699 < m_view->firstLine() + m_view->rowsPerPage());
    QVERIFY(m_view->characterRect({0, 699}).isValid());

    // Find again goes on after the mark.
    m_doc->FindText("line 7", true, false, false);
    QCOMPARE(m_doc->markStartLine(), 700);
    QCOMPARE(m_doc->lastStatus(), QByteArray("701:1, 70.0%"));
}

void tst_TextView::findFarRightScrollsAcross()
{
    makeView("short\r\n" + QByteArray(300, ' ') + "needle here\r\n");
    QCOMPARE(m_view->horizontalOffset(), 0);

    m_doc->FindText("needle", true, false, false);
    QCOMPARE(m_doc->markStartColumn(), 300);
    QVERIFY(m_view->horizontalOffset() > 0);
    const QRect cell = m_view->characterRect({300, 1});
    QVERIFY(cell.isValid());
    QVERIFY(m_view->viewport()->rect().contains(cell));
}

void tst_TextView::keysScroll()
{
    makeView(numberedLines(1000));
    const int rows = m_view->rowsPerPage();
    QVERIFY(rows > 2);
    const int last = 1000 - rows;

    // Page Down moves the caret a page and the text with it.
    QTest::keyClick(m_view.get(), Qt::Key_PageDown);
    QCOMPARE(m_view->firstLine(), rows - 1);
    QCOMPARE(m_view->caret(), (TextPosition{0, rows - 1}));
    QTest::keyClick(m_view.get(), Qt::Key_PageUp);
    QCOMPARE(m_view->firstLine(), 0);
    QCOMPARE(m_view->caret(), (TextPosition{0, 0}));
    // Ctrl+Up and Ctrl+Down scroll by a line and leave the caret.
    QTest::keyClick(m_view.get(), Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(m_view->firstLine(), 1);
    QTest::keyClick(m_view.get(), Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(m_view->firstLine(), 0);
    QTest::keyClick(m_view.get(), Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(m_view->firstLine(), 0);
    QCOMPARE(m_view->caret(), (TextPosition{0, 0}));

    QTest::keyClick(m_view.get(), Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(m_view->firstLine(), last);
    QVERIFY(m_view->followsEnd());
    QCOMPARE(m_view->caret(), (TextPosition{9, 999}));
    QTest::keyClick(m_view.get(), Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(m_view->firstLine(), last);
    QTest::keyClick(m_view.get(), Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(m_view->firstLine(), 0);
    QVERIFY(!m_view->followsEnd());

    // The last line is drawn at the bottom after Ctrl+End.
    QTest::keyClick(m_view.get(), Qt::Key_End, Qt::ControlModifier);
    QVERIFY(m_view->characterRect({0, 999}).isValid());
    QVERIFY(m_view->characterRect({0, 999}).bottom() <= m_view->viewport()->height());
}

void tst_TextView::keysNeedTheirBar()
{
    makeView("one\r\ntwo\r\n" + QByteArray(500, 'x') + "\r\n");
    QTest::keyClick(m_view.get(), Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(m_view->firstLine(), 0);
    QTest::keyClick(m_view.get(), Qt::Key_PageDown);
    QCOMPARE(m_view->firstLine(), 0);

    // The caret takes the text across with it on the long line, and back.
    QTest::keyClick(m_view.get(), Qt::Key_End);
    QCOMPARE(m_view->caret(), (TextPosition{500, 2}));
    QCOMPARE(m_view->horizontalOffset(), 500 - m_view->columnsPerPage() + 1);
    QCOMPARE(m_view->horizontalScrollBar()->maximum(), 501 - m_view->columnsPerPage());
    QTest::keyClick(m_view.get(), Qt::Key_Home);
    QCOMPARE(m_view->horizontalOffset(), 0);

    // Without a long line there is nothing to scroll across.
    m_doc->DeleteContents();
    feed("one\r\ntwo\r\n");
    QCOMPARE(m_view->horizontalOffset(), 0);
    QTest::keyClick(m_view.get(), Qt::Key_End);
    QCOMPARE(m_view->horizontalOffset(), 0);
}

void tst_TextView::followEndKeepsEndInView()
{
    bool done = false;
    m_doc->OnData(numberedLines(100), done);
    makeView();
    const int rows = m_view->rowsPerPage();

    // Read from the top: text arriving later leaves the view where it is.
    m_doc->OnData(numberedLines(50), done);
    QCOMPARE(m_view->firstLine(), 0);

    QTest::keyClick(m_view.get(), Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(m_view->firstLine(), 150 - rows);
    m_doc->OnData(numberedLines(50), done);
    QCOMPARE(m_view->firstLine(), 200 - rows);

    // Scrolling up leaves the end alone again.
    QTest::keyClick(m_view.get(), Qt::Key_Up, Qt::ControlModifier);
    m_doc->OnData(numberedLines(50), done);
    QCOMPARE(m_view->firstLine(), 200 - rows - 1);
    QVERIFY(!m_view->followsEnd());

    // Reaching the last page with the scroll bar follows the end too.
    m_view->verticalScrollBar()->setValue(m_view->verticalScrollBar()->maximum());
    QVERIFY(m_view->followsEnd());
    m_doc->OnData(numberedLines(10), done);
    QCOMPARE(m_view->firstLine(), 260 - rows);
}

void tst_TextView::reloadClearsMark()
{
    makeView(numberedLines(200));
    QTest::keyClick(m_view.get(), Qt::Key_End, Qt::ControlModifier);
    QTest::mouseDClick(m_view->viewport(), Qt::LeftButton, {}, at({1, m_view->firstLine()}));
    QCOMPARE(m_view->marker().state(), TextMarker::Marked);

    m_doc->DeleteContents();
    QCOMPARE(m_view->marker().state(), TextMarker::NoMark);
    QCOMPARE(m_doc->markMode(), int(CGopherTextDoc::NoMark));
    QCOMPARE(m_view->firstLine(), 0);
    QVERIFY(!m_view->followsEnd());
    QVERIFY(!m_view->canPrint());
}

void tst_TextView::emptyDocumentIgnoresInput()
{
    makeView();
    QWidget *viewport = m_view->viewport();
    QTest::mousePress(viewport, Qt::LeftButton, {}, QPoint(10, 5));
    QTest::mouseMove(viewport, QPoint(40, 25));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(40, 25));
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, QPoint(10, 5));
    QTest::mouseClick(viewport, Qt::RightButton, {}, QPoint(10, 5));
    QTest::keyClick(m_view.get(), Qt::Key_End);
    QTest::keyClick(m_view.get(), Qt::Key_PageDown);

    QVERIFY(m_doc->lastStatus().isEmpty());
    QVERIFY(m_ui->mainStatus.isEmpty());
    QCOMPARE(m_doc->markMode(), int(CGopherTextDoc::NoMark));
    QCOMPARE(m_view->marker().state(), TextMarker::NoMark);
    QCOMPARE(QWidget::mouseGrabber(), nullptr);
    QCOMPARE(m_view->firstLine(), 0);
    m_view->repaint();
}

void tst_TextView::fullTextDrawsOnlyTheScreen()
{
    makeView();
    const int childrenBefore = int(m_view->findChildren<QWidget *>().size());
    const QByteArray text = numberedLines(32766);

    // Arrives in blocks, each one a hint to the view.
    bool done = false;
    for (qsizetype at = 0; at < text.size(); at += 4096)
        m_doc->OnData(text.mid(at, 4096), done);
    m_doc->OnData(".\r\n", done);
    QVERIFY(done);
    QVERIFY(m_ui->messages.isEmpty());
    QCOMPARE(m_doc->store().GetLineCount(), 32767);

    // Each repaint draws the lines on screen (a partly shown last one
    // included), wherever the text is scrolled to.
    const qint64 perScreen = m_view->rowsPerPage() + 1;
    const auto repaintDraws = [this] {
        const qint64 before = m_view->linesDrawn();
        m_view->viewport()->repaint();
        return m_view->linesDrawn() - before;
    };
    QTest::keyClick(m_view.get(), Qt::Key_End, Qt::ControlModifier);
    QVERIFY(repaintDraws() <= perScreen);
    QTest::keyClick(m_view.get(), Qt::Key_Home, Qt::ControlModifier);
    QVERIFY(repaintDraws() <= perScreen);
    m_view->verticalScrollBar()->setValue(16000);
    const qint64 drawn = repaintDraws();
    QVERIFY2(drawn > 0 && drawn <= perScreen, QByteArray::number(drawn).constData());

    QCOMPARE(int(m_view->findChildren<QWidget *>().size()), childrenBefore);
    QCOMPARE(m_view->verticalScrollBar()->maximum(), 32767 - m_view->rowsPerPage());
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {}, at({0, 16000}));
    QCOMPARE(m_doc->lastStatus(), QByteArray("16001:1, 48.8%"));
}

void tst_TextView::tabsExpandForHitTesting()
{
    makeView("a\tb\tc\r\nxxxxxxxxxxxxxxxxxxxx\r\n");
    const int cw = m_view->charWidth();
    const QRect b = m_view->characterRect({2, 0});
    const QRect c = m_view->characterRect({4, 0});
    QCOMPARE(b.left(), CGopherTextView::LeftMargin + 8 * cw);
    QCOMPARE(c.left(), CGopherTextView::LeftMargin + 16 * cw);

    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {}, b.center());
    QCOMPARE(m_doc->lastStatus(), QByteArray("1:3, 0.0%"));
    // Inside the gap a tab leaves, the tab itself is under the pointer.
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {},
                      QPoint(CGopherTextView::LeftMargin + 5 * cw, b.center().y()));
    QCOMPARE(m_doc->lastStatus(), QByteArray("1:2, 0.0%"));
    // Right of the text, the column is the line's end.
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {}, QPoint(300, b.center().y()));
    QCOMPARE(m_doc->lastStatus(), QByteArray("1:6, 0.0%"));
}

void tst_TextView::utf8ColumnsAreBytes()
{
    // "grüße welt": ü and ß take two bytes each.
    const QByteArray line("gr\xc3\xbc\xc3\x9f" "e welt");
    makeView(line + "\r\nnext\r\n");

    QTest::mouseDClick(m_view->viewport(), Qt::LeftButton, {}, at({8, 0}));
    QCOMPARE(m_doc->markStartColumn(), 8);
    QCOMPARE(m_doc->markEndColumn(), 12);
    m_doc->OnEditCopy();
    QCOMPARE(m_ui->clipboard, QByteArray("welt\n"));

    // The character after ü starts at byte 4: its cell follows ü's directly.
    const QRect u = m_view->characterRect({2, 0});
    const QRect s = m_view->characterRect({4, 0});
    QCOMPARE(s.left(), u.right() + 1);
    QWidget *viewport = m_view->viewport();
    QTest::mousePress(viewport, Qt::LeftButton, {}, u.center());
    QTest::mouseMove(viewport, s.center());
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, s.center());
    QCOMPARE(m_doc->markStartColumn(), 2);
    QCOMPARE(m_doc->markEndColumn(), 4);
    m_doc->OnEditCopy();
    QCOMPARE(m_ui->clipboard, QByteArray("\xc3\xbc\n"));
}

// The host's encoding changes how every window of that host draws its lines;
// the stored bytes, the mark's byte columns and the saved file stay the
// server's, and Copy hands the clipboard the text as drawn.
void tst_TextView::encodingRedrawsSaveKeepsBytes()
{
    m_app->setSettingsPath(m_dir.filePath(QStringLiteral("app.ini")));
    const QByteArray box("\xC9\xCD\xBB box");
    const QByteArray russian("\xF0\xD2\xC9\xD7\xC5\xD4");
    m_doc->item().host = "bbs.example";
    makeView(box + "\r\n" + russian + "\r\n");
    CGopherTextDoc other(m_app->context());
    other.item().host = "elsewhere.example";
    bool done = false;
    other.OnData(box + "\r\n", done);
    CGopherTextView otherView(&other, m_fonts.get());

    QCOMPARE(m_view->encoding(), TextEncoding::Automatic);
    QCOMPARE(m_view->lineText(0), QStringLiteral(u"ÉÍ» box"));

    HostEncodings &encodings = m_app->hostEncodings();
    QVERIFY(encodings.setEncoding("bbs.example", TextEncoding::Cp437));
    QCOMPARE(m_view->encoding(), TextEncoding::Cp437);
    QCOMPARE(m_view->lineText(0), QStringLiteral(u"╔═╗ box"));
    QCOMPARE(otherView.encoding(), TextEncoding::Automatic);
    QCOMPARE(otherView.lineText(0), QStringLiteral(u"ÉÍ» box"));
    const qint64 drawn = m_view->linesDrawn();
    QTRY_VERIFY(m_view->linesDrawn() > drawn);

    // A view opened later for the host starts in its encoding.
    QVERIFY(encodings.setEncoding("bbs.example", TextEncoding::Koi8R));
    CGopherTextView later(m_doc.get(), m_fonts.get());
    QCOMPARE(later.encoding(), TextEncoding::Koi8R);
    QCOMPARE(m_view->lineText(1), QStringLiteral(u"Привет"));

    m_doc->setMark(CGopherTextDoc::Marked, 1, 0, 1, 6);
    m_doc->OnEditCopy();
    QCOMPARE(m_ui->clipboard, russian + "\n");
    QCOMPARE(m_ui->clipboardEncoding, TextEncoding::Koi8R);

    m_doc->setMark(CGopherTextDoc::NoMark, 0, 0, 0, 0);
    const QString path = m_dir.filePath(QStringLiteral("saved.txt"));
    QVERIFY(m_doc->saveTo(path));
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), box + "\n" + russian + "\n");
}

// Find looks for the typed text as the window shows the host's bytes: a word
// typed in Cyrillic finds the KOI8-R line, and the mark covers its bytes.
void tst_TextView::findLooksForWhatIsShown()
{
    m_app->setSettingsPath(m_dir.filePath(QStringLiteral("find.ini")));
    m_doc->item().host = "bbs.example";
    makeView("First line\r\nSay \xF0\xD2\xC9\xD7\xC5\xD4!\r\n");
    const QByteArray typed = QStringLiteral(u"привет").toUtf8();

    m_doc->FindText(typed, true, false, false);
    QCOMPARE(m_ui->messages.size(), 1);
    QCOMPARE(m_ui->messages.first().text, QByteArray("Text not found"));

    QVERIFY(m_app->hostEncodings().setEncoding("bbs.example", TextEncoding::Koi8R));
    m_doc->FindText(typed, true, false, false);
    QCOMPARE(m_ui->messages.size(), 1);
    QCOMPARE(m_doc->markMode(), int(CGopherTextDoc::Marked));
    QCOMPARE(m_doc->markStartLine(), 1);
    QCOMPARE(m_doc->markStartColumn(), 4);
    QCOMPARE(m_doc->markEndColumn(), 10);
    QCOMPARE(m_doc->lastStatus(), QByteArray("2:5, 50.0%"));
}

void tst_TextView::fontChangeRecomputesGeometry()
{
    makeView(numberedLines(300));
    QFont big = m_fonts->font(FontManager::TextFont);
    big.setPixelSize(40);
    const QFontMetrics metrics(big);

    QFont other = big;
    other.setPixelSize(60);
    m_fonts->applyChosenFont(FontManager::DirFont, other);
    QVERIFY(m_view->lineHeight() < metrics.height());

    m_fonts->applyChosenFont(FontManager::TextFont, big);
    QCOMPARE(m_view->lineHeight(), metrics.height() + metrics.leading());
    QCOMPARE(m_view->charWidth(), metrics.averageCharWidth());
    QCOMPARE(m_view->rowsPerPage(), m_view->viewport()->height() / m_view->lineHeight());
    QCOMPARE(m_view->verticalScrollBar()->maximum(), 300 - m_view->rowsPerPage());
}

void tst_TextView::printFollowsMarkAndCompletion()
{
    bool done = false;
    m_doc->OnData("one\r\ntwo\r\n", done);
    makeView();
    QVERIFY(!m_view->canPrint());

    QWidget *viewport = m_view->viewport();
    QTest::mousePress(viewport, Qt::LeftButton, {}, at({0, 0}));
    QTest::mouseMove(viewport, at({2, 1}));
    QVERIFY(!m_view->canPrint());
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at({2, 1}));
    QVERIFY(m_view->canPrint());

    QTest::mouseClick(viewport, Qt::RightButton, {}, at({0, 0}));
    QVERIFY(!m_view->canPrint());
    m_doc->OnData(".\r\n", done);
    QVERIFY(done);
    QVERIFY(m_view->canPrint());
}

QTEST_MAIN(tst_TextView)
#include "tst_textview.moc"
