#pragma once

#include <QAccessibleWidget>

class CGopherTextView;

// What assistive technology reads of a text window: the text as shown, line
// by line (each line and its "\n"), word and character, the caret, and the
// mark as the one selection. Every answer decodes only the lines it touches,
// so a reader moving through a text of 32,766 lines never has it copied.
class CTextViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit CTextViewAccessible(CGopherTextView *view);

    // Registers the interface with Qt's accessibility (once).
    static void install();

    void *interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;

    // QAccessibleTextInterface
    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    // The name is the window's: the item's title.
    QString text(QAccessible::Text t) const override;
    QString text(int startOffset, int endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                             int *startOffset, int *endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                            int *startOffset, int *endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                         int *startOffset, int *endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

private:
    CGopherTextView *view() const;
    // The stretch of the boundary type around offset, within its line.
    QString unitAt(int offset, QAccessible::TextBoundaryType type, int *start, int *end) const;
};
