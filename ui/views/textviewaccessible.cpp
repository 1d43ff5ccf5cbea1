#include "ui/views/textviewaccessible.h"

#include "documents/textoffsets.h"
#include "ui/views/gophertextview.h"

#include <QTextBoundaryFinder>

namespace {

QAccessibleInterface *textViewFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("CGopherTextView") && object && object->isWidgetType())
        return new CTextViewAccessible(static_cast<CGopherTextView *>(object));
    return nullptr;
}

} // namespace

CTextViewAccessible::CTextViewAccessible(CGopherTextView *view)
    : QAccessibleWidget(view, QAccessible::EditableText)
{
}

void CTextViewAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(textViewFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

CGopherTextView *CTextViewAccessible::view() const
{
    return static_cast<CGopherTextView *>(widget());
}

void *CTextViewAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State CTextViewAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = true;
    state.multiLine = true;
    state.selectableText = true;
    return state;
}

QString CTextViewAccessible::text(QAccessible::Text t) const
{
    const QString own = QAccessibleWidget::text(t);
    if (t != QAccessible::Name || !own.isEmpty())
        return own;
    // Named as its window is: the item's title, else what the window shows.
    CGopherTextView *v = view();
    if (v->document() && !v->document()->GetItem().title.isEmpty())
        return decodeText(v->document()->GetItem().title, v->encoding());
    for (const QWidget *w = v->parentWidget(); w; w = w->parentWidget()) {
        if (!w->windowTitle().isEmpty())
            return w->windowTitle();
    }
    return {};
}

// ---- Text ----

int CTextViewAccessible::characterCount() const
{
    return view()->offsets().characterCount();
}

QString CTextViewAccessible::text(int startOffset, int endOffset) const
{
    CGopherTextView *v = view();
    if (!v->document())
        return {};
    return v->offsets().text(v->document()->store(), startOffset, endOffset);
}

QString CTextViewAccessible::unitAt(int offset, QAccessible::TextBoundaryType type, int *start,
                                    int *end) const
{
    CGopherTextView *v = view();
    const TextOffsets &offsets = v->offsets();
    const int count = offsets.characterCount();
    *start = *end = -1;
    if (!v->document() || offsets.lineCount() == 0 || offset < 0 || offset > count)
        return {};
    if (type == QAccessible::NoBoundary) {
        *start = 0;
        *end = count;
        return text(0, count);
    }
    const int line = offsets.lineAt(offset);
    const int lineStart = offsets.lineStart(line);
    const bool lastLine = line + 1 == offsets.lineCount();
    const int lineEnd = lineStart + offsets.lineLength(line) + (lastLine ? 0 : 1);
    const QString shown = text(lineStart, lineEnd);
    if (type == QAccessible::LineBoundary || type == QAccessible::ParagraphBoundary) {
        *start = lineStart;
        *end = lineEnd;
        return shown;
    }

    int local = offset - lineStart;
    if (local >= shown.size()) {
        // The end of the text: a character there is none, a word or a
        // sentence is the one the text ends with.
        if (type == QAccessible::CharBoundary || shown.isEmpty()) {
            *start = *end = count;
            return {};
        }
        local = int(shown.size()) - 1;
    }
    const QTextBoundaryFinder::BoundaryType finderType =
        type == QAccessible::CharBoundary   ? QTextBoundaryFinder::Grapheme
        : type == QAccessible::WordBoundary ? QTextBoundaryFinder::Word
                                            : QTextBoundaryFinder::Sentence;
    constexpr auto ItemEdge = QTextBoundaryFinder::StartOfItem | QTextBoundaryFinder::EndOfItem;
    QTextBoundaryFinder finder(finderType, shown);
    finder.setPosition(local);
    while (!(finder.boundaryReasons() & ItemEdge) && finder.position() > 0) {
        if (finder.toPreviousBoundary() < 0)
            break;
    }
    const int from = int(qMax<qsizetype>(0, finder.position()));
    int to = int(shown.size());
    for (qsizetype next = finder.toNextBoundary(); next >= 0; next = finder.toNextBoundary()) {
        if (next >= shown.size() || (finder.boundaryReasons() & ItemEdge)) {
            to = int(qMin<qsizetype>(next, shown.size()));
            break;
        }
    }
    *start = lineStart + from;
    *end = lineStart + to;
    return shown.mid(from, to - from);
}

QString CTextViewAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                          int *startOffset, int *endOffset) const
{
    return unitAt(offset, boundaryType, startOffset, endOffset);
}

QString CTextViewAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                              int *startOffset, int *endOffset) const
{
    int start = -1;
    int end = -1;
    unitAt(offset, boundaryType, &start, &end);
    if (start <= 0) {
        *startOffset = *endOffset = -1;
        return {};
    }
    return unitAt(start - 1, boundaryType, startOffset, endOffset);
}

QString CTextViewAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                             int *startOffset, int *endOffset) const
{
    int start = -1;
    int end = -1;
    unitAt(offset, boundaryType, &start, &end);
    if (end < 0 || end >= characterCount()) {
        *startOffset = *endOffset = -1;
        return {};
    }
    return unitAt(end, boundaryType, startOffset, endOffset);
}

QString CTextViewAccessible::attributes(int offset, int *startOffset, int *endOffset) const
{
    // One face for the whole text: no attribute runs to tell.
    Q_UNUSED(offset);
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}

// ---- Caret and selection ----

int CTextViewAccessible::cursorPosition() const
{
    CGopherTextView *v = view();
    if (!v->document())
        return 0;
    return v->offsets().offsetOf(v->document()->store(), v->caret());
}

void CTextViewAccessible::setCursorPosition(int position)
{
    CGopherTextView *v = view();
    if (v->document())
        v->setCaret(v->offsets().positionOf(v->document()->store(), position));
}

int CTextViewAccessible::selectionCount() const
{
    return view()->marker().state() == TextMarker::NoMark ? 0 : 1;
}

void CTextViewAccessible::selection(int selectionIndex, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = 0;
    CGopherTextView *v = view();
    if (selectionIndex != 0 || selectionCount() == 0 || !v->document())
        return;
    const TextOffsets &offsets = v->offsets();
    *startOffset = offsets.offsetOf(v->document()->store(), v->marker().start());
    *endOffset = offsets.offsetOf(v->document()->store(), v->marker().end());
}

void CTextViewAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    CGopherTextView *v = view();
    if (selectionIndex != 0 || !v->document())
        return;
    const TextOffsets &offsets = v->offsets();
    const CQTextDoc &store = v->document()->store();
    v->setMark(offsets.positionOf(store, qMin(startOffset, endOffset)),
               offsets.positionOf(store, qMax(startOffset, endOffset)));
}

void CTextViewAccessible::addSelection(int startOffset, int endOffset)
{
    // The text has one mark: a new selection takes its place.
    setSelection(0, startOffset, endOffset);
}

void CTextViewAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        view()->setMark({}, {});
}

// ---- Geometry ----

QRect CTextViewAccessible::characterRect(int offset) const
{
    CGopherTextView *v = view();
    if (!v->document())
        return {};
    const QRect cell = v->characterRect(v->offsets().positionOf(v->document()->store(), offset));
    if (!cell.isValid())
        return {};
    return QRect(v->viewport()->mapToGlobal(cell.topLeft()), cell.size());
}

int CTextViewAccessible::offsetAtPoint(const QPoint &point) const
{
    CGopherTextView *v = view();
    const QPoint local = v->viewport()->mapFromGlobal(point);
    if (!v->document() || !v->viewport()->rect().contains(local) || v->offsets().lineCount() == 0)
        return -1;
    return v->offsets().offsetOf(v->document()->store(), v->positionAt(local));
}

void CTextViewAccessible::scrollToSubstring(int startIndex, int endIndex)
{
    Q_UNUSED(endIndex);
    CGopherTextView *v = view();
    if (v->document())
        v->ensureVisible(v->offsets().positionOf(v->document()->store(), startIndex));
}
