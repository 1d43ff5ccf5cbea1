#pragma once

#include "documents/gophertextdoc.h"
#include "documents/textcaret.h"
#include "documents/textmarker.h"
#include "documents/textoffsets.h"
#include "items/textencoding.h"

#include <QAbstractScrollArea>
#include <QFont>
#include <QPointer>
#include <QTimer>

class FontManager;

// The window of a text item: draws the visible lines of the document itself
// (a text may hold 32,766 lines), scrolls by lines and characters, and lets
// the user mark a stretch with the mouse or the keyboard for Save and Copy.
// A caret moved by the keys reads the text line by line and word by word;
// assistive technology reads the text, the caret and the mark through
// CTextViewAccessible. Positions and the mark are byte columns of the stored
// lines; the horizontal offset counts the characters shown.
class CGopherTextView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    static constexpr int AutoScrollInterval = 250;
    // Space between the window's left edge and the text.
    static constexpr int LeftMargin = 4;
    static constexpr int TabColumns = 8;
    static constexpr int CaretWidth = 2;

    CGopherTextView(CGopherTextDoc *doc, FontManager *fonts, QWidget *parent = nullptr);
    ~CGopherTextView() override;

    CGopherTextDoc *document() const { return m_doc; }
    const TextMarker &marker() const { return m_marker; }
    // How lines are decoded: the encoding chosen for the document's host.
    TextEncoding encoding() const { return m_encoding; }
    // A stored line as it is drawn.
    QString lineText(int line) const;

    int lineHeight() const { return m_lineHeight; }
    int charWidth() const { return m_charWidth; }
    int rowsPerPage() const { return m_rowsPerPage; }
    int columnsPerPage() const { return m_columnsPerPage; }
    // Where the keyboard is in the text.
    TextPosition caret() const { return m_caret.position(); }
    // Moves the caret (and the view to it); with extend, the mark runs from
    // where it was anchored, or from the caret, to the new place.
    void moveCaret(TextCaret::Move move, bool extend = false);
    void setCaret(TextPosition pos);
    // The mark as assistive technology sets it; an empty stretch removes it.
    void setMark(TextPosition start, TextPosition end);
    // Shows a position: scrolls it into view across and down.
    void ensureVisible(TextPosition pos);
    // Character offsets of the text as shown, brought up to date.
    const TextOffsets &offsets();

    int firstLine() const;
    int horizontalOffset() const;
    bool followsEnd() const { return m_followEnd; }
    bool isAutoScrolling() const { return m_autoScroll.isActive(); }
    // Print is refused while marking, allowed with a mark, else once the text
    // is complete.
    bool canPrint() const;
    // Lines drawn since the view was made: a repaint draws the lines on
    // screen, never the whole text.
    qint64 linesDrawn() const { return m_linesDrawn; }

    // The text position under a point of the viewport.
    TextPosition positionAt(QPoint point) const;
    // Where the character at pos is drawn in the viewport (empty when it is
    // not on screen).
    QRect characterRect(TextPosition pos) const;

Q_SIGNALS:
    // The user asked for the window's menu (right button, menu key).
    void contextMenuRequestedAt(QPoint globalPos);
    // The mark changed (the commands that act on it may change state).
    void markChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void onDocumentUpdate(int hint, int a, int b, int c);
    void onFontChanged(int kind);
    void onEncodingChanged();
    void onAutoScroll();
    void onVerticalValueChanged(int value);

    void takeFont();
    void recomputeGeometry();
    void updateScrollRanges();
    bool verticalBarShown() const;
    bool horizontalBarShown() const;
    int lineCount() const;
    void showFound(int line, int startColumn, int endColumn);
    void clearMark();
    void copyMarkToDocument();
    void endCapture();
    void setStatus(const QByteArray &text);
    // Tells assistive technology what changed: lines that arrived, the caret,
    // the mark.
    void announceTextChange();
    void announceCaret();
    void announceMark();

    // The document outlives its windows; the guard only keeps a late event
    // from reaching a document already gone.
    QPointer<CGopherTextDoc> m_doc;
    FontManager *m_fonts;
    QFont m_font;
    TextEncoding m_encoding = TextEncoding::Automatic;
    TextMarker m_marker;
    TextCaret m_caret;
    TextOffsets m_offsets;
    QTimer m_autoScroll;
    QPoint m_lastPointer;
    int m_lineHeight = 16;
    int m_charWidth = 12;
    int m_rowsPerPage = 1;
    int m_columnsPerPage = 1;
    bool m_followEnd = false;
    // Lines the view had been told of at the last update.
    int m_linesSeen = 0;
    bool m_complete = false;
    // Set while the ranges change under the text, so that the clamped value
    // does not count as the user showing the last page.
    bool m_adjustingRanges = false;
    qint64 m_linesDrawn = 0;
};
