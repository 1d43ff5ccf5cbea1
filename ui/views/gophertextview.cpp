#include "ui/views/gophertextview.h"

#include "app/tarnwickapp.h"
#include "documents/gophertextdoc.h"
#include "documents/shownline.h"
#include "ui/focusmark.h"
#include "ui/fontmanager.h"
#include "ui/views/textviewaccessible.h"

#include <QAccessible>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace {

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
    CTextViewAccessible::install();
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
        m_caret.setPosition(m_doc->store(), m_encoding, m_marker.start());
    }
    m_linesSeen = lineCount();
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
    // One column beyond the longest line, where the caret stands at its end.
    const int longest = m_doc ? m_doc->store().GetLongestLine() : 0;
    horizontal->setRange(0, qMax(0, longest + 1 - m_columnsPerPage));
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

const TextOffsets &CGopherTextView::offsets()
{
    if (m_doc)
        m_offsets.update(m_doc->store(), m_encoding);
    return m_offsets;
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
    m_caret.clamp(m_doc->store(), m_encoding);
    announceTextChange();
    viewport()->update();
}

void CGopherTextView::onDocumentUpdate(int hint, int a, int b, int c)
{
    if (hint == CGopherTextDoc::FoundHint) {
        showFound(a, b, c);
        return;
    }
    const int count = lineCount();
    if (count == 0) {
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

    // A caret left on the last line while the view follows the end goes on
    // with the text as it arrives.
    const TextPosition before = m_caret.position();
    if (m_followEnd && count > m_linesSeen && before.line >= m_linesSeen - 1)
        m_caret.setPosition(m_doc->store(), m_encoding, {0, count - 1});
    else
        m_caret.clamp(m_doc->store(), m_encoding);
    m_linesSeen = count;
    announceTextChange();
    if (m_caret.position() != before)
        announceCaret();
}

void CGopherTextView::showFound(int line, int startColumn, int endColumn)
{
    if (line < 0 || line >= lineCount())
        return;
    endCapture();
    m_marker.setMarked({startColumn, line}, {endColumn, line});
    // The reader goes on from the place found.
    m_caret.setPosition(m_doc->store(), m_encoding, {startColumn, line});
    copyMarkToDocument();
    announceCaret();
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
    announceMark();
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

    if (hasFocus()) {
        if (count > 0) {
            const QRect cell = characterRect(m_caret.position());
            if (cell.isValid())
                painter.fillRect(cell.left(), cell.top(), CaretWidth, cell.height(),
                                 colours.color(QPalette::Text));
        }
        drawFocusMark(painter, viewport()->rect(), colours);
    }
}

void CGopherTextView::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers & ~(Qt::ShiftModifier | Qt::ControlModifier)) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const bool control = modifiers & Qt::ControlModifier;
    const bool shift = modifiers & Qt::ShiftModifier;
    QScrollBar *vertical = verticalScrollBar();
    TextCaret::Move move;
    switch (event->key()) {
    case Qt::Key_Left:
        move = control ? TextCaret::WordLeft : TextCaret::CharLeft;
        break;
    case Qt::Key_Right:
        move = control ? TextCaret::WordRight : TextCaret::CharRight;
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (control && !shift) {
            // Ctrl+Up and Ctrl+Down scroll the text and leave the caret.
            if (verticalBarShown())
                vertical->setValue(vertical->value() + (event->key() == Qt::Key_Up ? -1 : 1));
            event->accept();
            return;
        }
        move = event->key() == Qt::Key_Up ? TextCaret::LineUp : TextCaret::LineDown;
        break;
    case Qt::Key_PageUp:
        move = TextCaret::PageUp;
        break;
    case Qt::Key_PageDown:
        move = TextCaret::PageDown;
        break;
    case Qt::Key_Home:
        move = control ? TextCaret::TextStart : TextCaret::LineStart;
        break;
    case Qt::Key_End:
        move = control ? TextCaret::TextEnd : TextCaret::LineEnd;
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    moveCaret(move, shift);
    event->accept();
}

void CGopherTextView::moveCaret(TextCaret::Move move, bool extend)
{
    if (!m_doc || lineCount() == 0 || m_marker.state() == TextMarker::Marking)
        return;
    const TextPosition from = m_caret.position();
    // A page keeps the caret where it is on the screen: the text scrolls by
    // as much as the caret moves.
    const int page = qMax(1, m_rowsPerPage - 1);
    if (!m_caret.move(move, m_doc->store(), m_encoding, page) && !extend)
        return;
    const TextPosition to = m_caret.position();
    QScrollBar *vertical = verticalScrollBar();
    if (move == TextCaret::PageUp || move == TextCaret::PageDown)
        vertical->setValue(vertical->value() + (to.line - from.line));
    if (move == TextCaret::TextStart) {
        m_followEnd = false;
        vertical->setValue(0);
    } else if (move == TextCaret::TextEnd) {
        // At the end, the text that arrives later stays in view.
        m_followEnd = true;
        vertical->setValue(vertical->maximum());
    } else if (to.line < lineCount() - 1) {
        m_followEnd = false;
    }
    ensureVisible(to);

    if (extend) {
        // The mark grows from its far end when the caret is at one of its
        // ends, otherwise it starts where the caret was.
        TextPosition anchor = from;
        if (m_marker.state() == TextMarker::Marked) {
            if (from == m_marker.end())
                anchor = m_marker.start();
            else if (from == m_marker.start())
                anchor = m_marker.end();
        }
        setMark(std::min(anchor, to), std::max(anchor, to));
        if (m_marker.state() == TextMarker::Marked)
            setStatus(m_marker.markedText());
        else
            setStatus(TextMarker::positionText(to, lineCount()));
    } else {
        setStatus(TextMarker::positionText(to, lineCount()));
    }
    announceCaret();
    viewport()->update();
}

void CGopherTextView::setCaret(TextPosition pos)
{
    if (!m_doc || lineCount() == 0)
        return;
    const TextPosition before = m_caret.position();
    m_caret.setPosition(m_doc->store(), m_encoding, pos);
    if (m_caret.position() == before)
        return;
    if (m_caret.position().line < lineCount() - 1)
        m_followEnd = false;
    ensureVisible(m_caret.position());
    announceCaret();
    viewport()->update();
}

void CGopherTextView::setMark(TextPosition start, TextPosition end)
{
    if (!m_doc || lineCount() == 0)
        return;
    endCapture();
    if (start == end) {
        if (m_marker.state() != TextMarker::NoMark)
            clearMark();
        return;
    }
    m_marker.setMarked(start, end);
    copyMarkToDocument();
    viewport()->update();
}

void CGopherTextView::ensureVisible(TextPosition pos)
{
    if (!m_doc || pos.line < 0 || pos.line >= lineCount())
        return;
    QScrollBar *vertical = verticalScrollBar();
    if (pos.line < firstLine())
        vertical->setValue(pos.line);
    else if (pos.line >= firstLine() + m_rowsPerPage)
        vertical->setValue(pos.line - m_rowsPerPage + 1);
    const ShownLine shown = shownLine(m_doc->store().GetLine(pos.line), m_encoding);
    const int ch = shown.charAt(pos.column);
    QScrollBar *horizontal = horizontalScrollBar();
    if (ch < horizontalOffset())
        horizontal->setValue(ch);
    else if (ch >= horizontalOffset() + m_columnsPerPage)
        horizontal->setValue(ch - m_columnsPerPage + 1);
}

void CGopherTextView::announceTextChange()
{
    // Told whether or not a reader listens, as Qt's own text widgets do: the
    // offsets grow with the text line by line, and only new lines are sent.
    if (!m_doc)
        return;
    const TextOffsets::Change change = m_offsets.update(m_doc->store(), m_encoding);
    if (change.removedLength > 0) {
        // The old text is gone from the store by now; readers take the range
        // from the event and the new text from the view.
        QAccessibleTextRemoveEvent removed(this, change.position,
                                           QString(change.removedLength, QLatin1Char(' ')));
        QAccessible::updateAccessibility(&removed);
    }
    if (change.inserted) {
        QAccessibleTextInsertEvent inserted(
            this, change.position,
            m_offsets.text(m_doc->store(), change.position, m_offsets.characterCount()));
        QAccessible::updateAccessibility(&inserted);
    }
}

void CGopherTextView::announceCaret()
{
    if (!m_doc)
        return;
    QAccessibleTextCursorEvent moved(this, offsets().offsetOf(m_doc->store(), m_caret.position()));
    QAccessible::updateAccessibility(&moved);
}

void CGopherTextView::announceMark()
{
    if (!m_doc)
        return;
    const TextOffsets &text = offsets();
    int start = -1;
    int end = -1;
    if (m_marker.state() != TextMarker::NoMark) {
        start = text.offsetOf(m_doc->store(), m_marker.start());
        end = text.offsetOf(m_doc->store(), m_marker.end());
    }
    QAccessibleTextSelectionEvent marked(this, start, end);
    marked.setCursorPosition(text.offsetOf(m_doc->store(), m_caret.position()));
    QAccessible::updateAccessibility(&marked);
}

void CGopherTextView::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void CGopherTextView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
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
    const TextPosition pos = positionAt(point);
    const QByteArray status = m_marker.press(pos, heldElsewhere);
    setCaret(pos);
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
    const TextPosition releasedAt = m_marker.current();
    if (const std::optional<QByteArray> status = m_marker.release(lineCount())) {
        setCaret(releasedAt);
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
    setCaret(marked ? m_marker.start() : pos);
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
