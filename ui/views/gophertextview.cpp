#include "ui/views/gophertextview.h"

#include "app/tarnwickapp.h"
#include "documents/gophertextdoc.h"
#include "ui/fontmanager.h"

#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace {

// A stored line as it is shown: the decoded text, and where each character
// starts among the line's bytes (UTF-8 lines take several bytes for one
// character; ASCII and Latin-1 lines take one).
struct ShownLine
{
    QString text;
    QList<int> byteOfChar;  // one entry per QChar plus the end; empty: one byte each
    int byteCount = 0;

    int byteAt(int ch) const
    {
        ch = qBound(0, ch, int(text.size()));
        return byteOfChar.isEmpty() ? qMin(ch, byteCount) : byteOfChar.at(ch);
    }

    // The first character that starts at or after the byte column.
    int charAt(int byte) const
    {
        byte = qBound(0, byte, byteCount);
        if (byteOfChar.isEmpty())
            return qMin(byte, int(text.size()));
        return int(std::lower_bound(byteOfChar.cbegin(), byteOfChar.cend(), byte)
                   - byteOfChar.cbegin());
    }
};

ShownLine shownLine(const QByteArray &bytes, TextEncoding encoding)
{
    ShownLine line;
    line.text = decodeText(bytes, encoding);
    line.byteCount = int(bytes.size());
    // Only valid UTF-8 with characters beyond ASCII decodes to fewer QChars
    // than bytes; the single-byte encodings give one character per byte.
    if (line.text.size() == bytes.size())
        return line;
    QList<int> map;
    map.reserve(line.text.size() + 1);
    for (int i = 0; i < bytes.size();) {
        const uchar lead = uchar(bytes.at(i));
        const int length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        map.append(i);
        if (length == 4)
            map.append(i);  // a character beyond the BMP is two QChars
        i += length;
    }
    map.append(line.byteCount);
    if (map.size() == line.text.size() + 1)
        line.byteOfChar = map;
    return line;
}

// The first character shown at a horizontal offset (never half a surrogate pair).
int firstShownChar(const QString &text, int offset)
{
    int ch = qBound(0, offset, int(text.size()));
    if (ch < text.size() && text.at(ch).isLowSurrogate())
        ++ch;
    return ch;
}

// Width of the first n characters, tabs expanded to the stops.
int advance(const QFontMetrics &metrics, const QString &text, int n, int tabWidth)
{
    int x = 0;
    int runStart = 0;
    for (int i = 0; i < n; ++i) {
        if (text.at(i) == u'\t') {
            x += metrics.horizontalAdvance(text.mid(runStart, i - runStart));
            x = (x / tabWidth + 1) * tabWidth;
            runStart = i + 1;
        }
    }
    return x + metrics.horizontalAdvance(text.mid(runStart, n - runStart));
}

} // namespace

CGopherTextView::CGopherTextView(CGopherTextDoc *doc, FontManager *fonts, QWidget *parent)
    : QAbstractScrollArea(parent), m_doc(doc), m_fonts(fonts)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    m_autoScroll.setInterval(AutoScrollInterval);
    connect(&m_autoScroll, &QTimer::timeout, this, &CGopherTextView::onAutoScroll);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this,
            &CGopherTextView::onVerticalValueChanged);
    connect(m_doc, &CGopherTextDoc::updateAllViews, this, &CGopherTextView::onDocumentUpdate);
    if (m_fonts)
        connect(m_fonts, &FontManager::fontChanged, this, &CGopherTextView::onFontChanged);
    HostEncodings &encodings = m_doc->context().app->hostEncodings();
    m_encoding = encodings.encoding(m_doc->GetItem().host);
    connect(&encodings, &HostEncodings::encodingChanged, this,
            &CGopherTextView::onEncodingChanged);

    m_complete = m_doc->isDone();
    if (m_doc->markMode() == CGopherTextDoc::Marked) {
        m_marker.setMarked({m_doc->markStartColumn(), m_doc->markStartLine()},
                           {m_doc->markEndColumn(), m_doc->markEndLine()});
    }
    takeFont();
    recomputeGeometry();
}

CGopherTextView::~CGopherTextView()
{
    endCapture();
}

int CGopherTextView::firstLine() const
{
    return verticalScrollBar()->value();
}

int CGopherTextView::horizontalOffset() const
{
    return horizontalScrollBar()->value();
}

bool CGopherTextView::canPrint() const
{
    switch (m_marker.state()) {
    case TextMarker::Marking:
        return false;
    case TextMarker::Marked:
        return true;
    case TextMarker::NoMark:
        break;
    }
    return m_complete;
}

int CGopherTextView::lineCount() const
{
    return m_doc ? m_doc->store().GetLineCount() : 0;
}

bool CGopherTextView::verticalBarShown() const
{
    return verticalScrollBar()->maximum() > verticalScrollBar()->minimum();
}

bool CGopherTextView::horizontalBarShown() const
{
    return horizontalScrollBar()->maximum() > horizontalScrollBar()->minimum();
}

void CGopherTextView::takeFont()
{
    m_font = m_fonts ? m_fonts->font(FontManager::TextFont)
                     : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    setFont(m_font);
}

void CGopherTextView::recomputeGeometry()
{
    const QFontMetrics metrics(m_font);
    m_lineHeight = metrics.height() + metrics.leading();
    if (m_lineHeight <= 0)
        m_lineHeight = 16;
    m_charWidth = metrics.averageCharWidth();
    if (m_charWidth <= 0)
        m_charWidth = 12;
    updateScrollRanges();
}

void CGopherTextView::updateScrollRanges()
{
    // Showing or hiding a bar resizes the viewport, which comes back here
    // through resizeEvent with the client size less the bar.
    const QSize client = viewport()->size();
    m_rowsPerPage = qMax(1, client.height() / m_lineHeight);
    m_columnsPerPage = qMax(1, (client.width() - LeftMargin) / m_charWidth);

    QScrollBar *vertical = verticalScrollBar();
    QScrollBar *horizontal = horizontalScrollBar();
    m_adjustingRanges = true;
    vertical->setSingleStep(1);
    vertical->setPageStep(qMax(1, m_rowsPerPage - 1));
    vertical->setRange(0, qMax(0, lineCount() - m_rowsPerPage));
    horizontal->setSingleStep(1);
    horizontal->setPageStep(qMax(1, m_columnsPerPage / 2));
    const int longest = m_doc ? m_doc->store().GetLongestLine() : 0;
    horizontal->setRange(0, qMax(0, longest - m_columnsPerPage));
    if (m_followEnd)
        vertical->setValue(vertical->maximum());
    m_adjustingRanges = false;
    viewport()->update();
}

void CGopherTextView::onVerticalValueChanged(int value)
{
    QScrollBar *vertical = verticalScrollBar();
    if (m_adjustingRanges || vertical->maximum() == 0)
        return;
    m_followEnd = value == vertical->maximum();
}

void CGopherTextView::scrollContentsBy(int, int)
{
    viewport()->update();
}

void CGopherTextView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRanges();
}

void CGopherTextView::onFontChanged(int kind)
{
    if (kind != FontManager::TextFont)
        return;
    takeFont();
    recomputeGeometry();
}

QString CGopherTextView::lineText(int line) const
{
    if (line < 0 || line >= lineCount())
        return {};
    return shownLine(m_doc->store().GetLine(line), m_encoding).text;
}

void CGopherTextView::onEncodingChanged()
{
    if (!m_doc)
        return;
    const TextEncoding now = m_doc->context().app->hostEncodings().encoding(m_doc->GetItem().host);
    if (now == m_encoding)
        return;
    // The mark and the find position are byte columns: they stay on the
    // same bytes, now drawn as other characters.
    m_encoding = now;
    viewport()->update();
}

void CGopherTextView::onDocumentUpdate(int hint, int a, int b, int c)
{
    if (hint == CGopherTextDoc::FoundHint) {
        showFound(a, b, c);
        return;
    }
    if (lineCount() == 0) {
        // Cleared for a reload: start again at the top, without a mark.
        if (m_marker.state() != TextMarker::NoMark)
            clearMark();
        m_followEnd = false;
        m_complete = false;
        // A home gopher that failed may have handed the window to the other server.
        m_encoding = m_doc->context().app->hostEncodings().encoding(m_doc->GetItem().host);
    } else if (m_doc && m_doc->markMode() == CGopherTextDoc::NoMark
               && m_marker.state() == TextMarker::Marked) {
        m_marker.clear();
    }
    if (hint == CGopherTextDoc::CompleteHint)
        m_complete = true;
    // The end of the transfer may store a last line that had no line end.
    updateScrollRanges();
}

void CGopherTextView::showFound(int line, int startColumn, int endColumn)
{
    if (line < 0 || line >= lineCount())
        return;
    endCapture();
    m_marker.setMarked({startColumn, line}, {endColumn, line});
    copyMarkToDocument();
    setStatus(TextMarker::positionText({startColumn, line}, lineCount()));

    if (line < firstLine() || line >= firstLine() + m_rowsPerPage)
        verticalScrollBar()->setValue(line);
    const ShownLine shown = shownLine(m_doc->store().GetLine(line), m_encoding);
    const int first = shown.charAt(startColumn);
    const int last = shown.charAt(endColumn);
    if (first < horizontalOffset())
        horizontalScrollBar()->setValue(first);
    else if (last > horizontalOffset() + m_columnsPerPage)
        horizontalScrollBar()->setValue(qMin(first, last - m_columnsPerPage));
    viewport()->update();
}

void CGopherTextView::clearMark()
{
    endCapture();
    m_marker.clear();
    copyMarkToDocument();
    viewport()->update();
}

void CGopherTextView::copyMarkToDocument()
{
    if (!m_doc)
        return;
    const TextPosition start = m_marker.start();
    const TextPosition end = m_marker.end();
    m_doc->setMark(m_marker.state(), start.line, start.column, end.line, end.column);
    Q_EMIT markChanged();
}

void CGopherTextView::endCapture()
{
    m_autoScroll.stop();
    if (QWidget::mouseGrabber() == viewport())
        viewport()->releaseMouse();
}

void CGopherTextView::setStatus(const QByteArray &text)
{
    if (m_doc)
        m_doc->SetStatus(text);
}

TextPosition CGopherTextView::positionAt(QPoint point) const
{
    const int count = lineCount();
    if (count == 0)
        return {};
    const int y = point.y();
    const int row = y >= 0 ? y / m_lineHeight : -1 - (-y - 1) / m_lineHeight;
    const int line = qBound(0, firstLine() + row, count - 1);

    const ShownLine shown = shownLine(m_doc->store().GetLine(line), m_encoding);
    const int offset = firstShownChar(shown.text, horizontalOffset());
    const QString visible = shown.text.mid(offset);
    const QFontMetrics metrics(m_font);
    const int tabWidth = TabColumns * m_charWidth;
    const int x = point.x() - LeftMargin;
    const int length = int(visible.size());

    // Start from the estimate by the average width, then find the character
    // whose cell holds x.
    int n = x <= 0 ? 0 : qMin(length, x / m_charWidth);
    while (n > 0 && advance(metrics, visible, n, tabWidth) > x)
        --n;
    while (n < length && advance(metrics, visible, n + 1, tabWidth) <= x)
        ++n;
    return {shown.byteAt(offset + n), line};
}

QRect CGopherTextView::characterRect(TextPosition pos) const
{
    const int row = pos.line - firstLine();
    if (pos.line < 0 || pos.line >= lineCount() || row < 0 || row > m_rowsPerPage)
        return {};
    const ShownLine shown = shownLine(m_doc->store().GetLine(pos.line), m_encoding);
    const int offset = firstShownChar(shown.text, horizontalOffset());
    const int ch = shown.charAt(pos.column) - offset;
    if (ch < 0)
        return {};
    const QString visible = shown.text.mid(offset);
    const QFontMetrics metrics(m_font);
    const int tabWidth = TabColumns * m_charWidth;
    const int left = advance(metrics, visible, ch, tabWidth);
    const int right = ch < visible.size() ? advance(metrics, visible, ch + 1, tabWidth)
                                          : left + m_charWidth;
    return QRect(LeftMargin + left, row * m_lineHeight, qMax(1, right - left), m_lineHeight);
}

void CGopherTextView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QPalette &colours = palette();
    painter.fillRect(event->rect(), colours.color(QPalette::Base));
    painter.setFont(m_font);

    const QFontMetrics metrics(m_font);
    const int tabWidth = TabColumns * m_charWidth;
    const int count = lineCount();
    const bool showMark = m_marker.state() != TextMarker::NoMark;
    const TextPosition markStart = m_marker.start();
    const TextPosition markEnd = m_marker.end();
    const int right = viewport()->width();
    const int firstRow = event->rect().top() / m_lineHeight;
    const int lastRow = event->rect().bottom() / m_lineHeight;

    for (int row = firstRow; row <= lastRow; ++row) {
        const int line = firstLine() + row;
        if (line >= count)
            break;
        ++m_linesDrawn;
        const int top = row * m_lineHeight;
        const int baseline = top + metrics.ascent();
        const ShownLine shown = shownLine(m_doc->store().GetLine(line), m_encoding);
        const int offset = firstShownChar(shown.text, horizontalOffset());
        const QString visible = shown.text.mid(offset);
        const int length = int(visible.size());

        // The marked characters of this line, relative to the first shown one;
        // a mark that goes on to the next line also covers the line end.
        int markFrom = 0;
        int markTo = 0;
        bool markLineEnd = false;
        if (showMark && line >= markStart.line && line <= markEnd.line) {
            markFrom = line == markStart.line ? shown.charAt(markStart.column) - offset : 0;
            markTo = line == markEnd.line ? shown.charAt(markEnd.column) - offset : length;
            markLineEnd = line < markEnd.line;
        }
        auto isMarked = [&](int i) { return i >= markFrom && i < markTo; };

        int x = 0;
        int i = 0;
        while (i < length && LeftMargin + x < right) {
            const bool marked = isMarked(i);
            if (visible.at(i) == u'\t') {
                const int next = (x / tabWidth + 1) * tabWidth;
                if (marked)
                    painter.fillRect(LeftMargin + x, top, next - x, m_lineHeight,
                                     colours.color(QPalette::Highlight));
                x = next;
                ++i;
                continue;
            }
            int j = i + 1;
            while (j < length && visible.at(j) != u'\t' && isMarked(j) == marked)
                ++j;
            const QString run = visible.mid(i, j - i);
            const int width = metrics.horizontalAdvance(run);
            if (marked) {
                painter.fillRect(LeftMargin + x, top, width, m_lineHeight,
                                 colours.color(QPalette::Highlight));
                painter.setPen(colours.color(QPalette::HighlightedText));
            } else {
                painter.setPen(colours.color(QPalette::Text));
            }
            painter.drawText(LeftMargin + x, baseline, run);
            x += width;
            i = j;
        }
        if (markLineEnd && markTo >= length) {
            painter.fillRect(LeftMargin + x, top, m_charWidth, m_lineHeight,
                             colours.color(QPalette::Highlight));
        }
    }
}

void CGopherTextView::keyPressEvent(QKeyEvent *event)
{
    QScrollBar *vertical = verticalScrollBar();
    QScrollBar *horizontal = horizontalScrollBar();
    const int page = qMax(1, m_rowsPerPage - 1);
    const bool verticalKeys = verticalBarShown();
    const bool horizontalKeys = horizontalBarShown();

    switch (event->key()) {
    case Qt::Key_PageUp:
        if (verticalKeys)
            vertical->setValue(vertical->value() - page);
        break;
    case Qt::Key_PageDown:
        if (verticalKeys)
            vertical->setValue(vertical->value() + page);
        break;
    case Qt::Key_Home:
        if (verticalKeys) {
            m_followEnd = false;
            vertical->setValue(0);
        }
        break;
    case Qt::Key_End:
        if (verticalKeys) {
            m_followEnd = true;
            vertical->setValue(vertical->maximum());
        }
        break;
    case Qt::Key_Up:
        if (verticalKeys)
            vertical->setValue(vertical->value() - 1);
        break;
    case Qt::Key_Down:
        if (verticalKeys)
            vertical->setValue(vertical->value() + 1);
        break;
    case Qt::Key_Left:
        if (horizontalKeys)
            horizontal->setValue(horizontal->value() - 1);
        break;
    case Qt::Key_Right:
        if (horizontalKeys)
            horizontal->setValue(horizontal->value() + 1);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CGopherTextView::mousePressEvent(QMouseEvent *event)
{
    if (lineCount() == 0)
        return;
    if (event->button() == Qt::RightButton) {
        if (m_marker.state() != TextMarker::NoMark)
            clearMark();
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;

    const bool wasMarked = m_marker.state() == TextMarker::Marked;
    QWidget *grabber = QWidget::mouseGrabber();
    const bool heldElsewhere = grabber && grabber != viewport() && grabber != this;
    const QPoint point = event->position().toPoint();
    const QByteArray status = m_marker.press(positionAt(point), heldElsewhere);
    if (m_marker.state() == TextMarker::Marking) {
        m_lastPointer = point;
        if (viewport()->isVisible())
            viewport()->grabMouse();
        copyMarkToDocument();
    } else if (wasMarked) {
        copyMarkToDocument();
    }
    setStatus(status);
    viewport()->update();
}

void CGopherTextView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_marker.state() != TextMarker::Marking)
        return;
    const QPoint point = event->position().toPoint();
    m_lastPointer = point;
    const bool outside = point.y() < 0 || point.y() >= viewport()->height();
    if (outside && verticalBarShown()) {
        if (!m_autoScroll.isActive())
            m_autoScroll.start();
        return;
    }
    m_autoScroll.stop();
    const TextPosition pos = positionAt(point);
    if (pos == m_marker.current())
        return;
    if (const std::optional<QByteArray> status = m_marker.move(pos)) {
        copyMarkToDocument();
        setStatus(*status);
        viewport()->update();
    }
}

void CGopherTextView::onAutoScroll()
{
    if (m_marker.state() != TextMarker::Marking || lineCount() == 0) {
        m_autoScroll.stop();
        return;
    }
    int delta = 0;
    if (m_lastPointer.y() < 0)
        delta = -1;
    else if (m_lastPointer.y() >= viewport()->height())
        delta = 1;
    if (delta == 0) {
        m_autoScroll.stop();
        return;
    }
    const int lastLine = lineCount() - 1;
    const int line = qBound(0, m_marker.current().line + delta, qMax(0, lastLine));
    const int length = int(m_doc->store().GetLine(line).size());
    if (const std::optional<QByteArray> status = m_marker.scrollStep(delta, lastLine, length)) {
        verticalScrollBar()->setValue(firstLine() + delta);
        copyMarkToDocument();
        setStatus(*status);
        viewport()->update();
    }
}

void CGopherTextView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || m_marker.state() != TextMarker::Marking)
        return;
    endCapture();
    // The button may come up where no move was reported.
    const QPoint point = event->position().toPoint();
    if (point.y() >= 0 && point.y() < viewport()->height())
        m_marker.move(positionAt(point));
    if (const std::optional<QByteArray> status = m_marker.release(lineCount())) {
        copyMarkToDocument();
        setStatus(*status);
    }
    viewport()->update();
}

void CGopherTextView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (lineCount() == 0)
        return;
    if (event->button() == Qt::RightButton) {
        if (m_marker.state() != TextMarker::NoMark)
            clearMark();
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    endCapture();
    const TextPosition pos = positionAt(event->position().toPoint());
    const bool marked = m_marker.selectWord(m_doc->store().GetLine(pos.line), pos.line, pos.column);
    copyMarkToDocument();
    if (marked)
        setStatus(m_marker.markedText());
    viewport()->update();
}

void CGopherTextView::contextMenuEvent(QContextMenuEvent *event)
{
    Q_EMIT contextMenuRequestedAt(event->globalPos());
    event->accept();
}
