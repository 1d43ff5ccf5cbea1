#pragma once

#include "documents/gophertextdoc.h"
#include "documents/textmarker.h"
#include "items/textencoding.h"

#include <QAbstractScrollArea>
#include <QFont>
#include <QPointer>
#include <QTimer>

class FontManager;

// The window of a text item: draws the visible lines of the document itself
// (a text may hold 32,766 lines), scrolls by lines and characters, and lets
// the user mark a stretch with the mouse for Save and Copy. Positions and the
// mark are byte columns of the stored lines; the horizontal offset counts the
// characters shown.
class CGopherTextView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    static constexpr int AutoScrollInterval = 250;
    // Space between the window's left edge and the text.
    static constexpr int LeftMargin = 4;
    static constexpr int TabColumns = 8;

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

    // The document outlives its windows; the guard only keeps a late event
    // from reaching a document already gone.
    QPointer<CGopherTextDoc> m_doc;
    FontManager *m_fonts;
    QFont m_font;
    TextEncoding m_encoding = TextEncoding::Automatic;
    TextMarker m_marker;
    QTimer m_autoScroll;
    QPoint m_lastPointer;
    int m_lineHeight = 16;
    int m_charWidth = 12;
    int m_rowsPerPage = 1;
    int m_columnsPerPage = 1;
    bool m_followEnd = false;
    bool m_complete = false;
    // Set while the ranges change under the text, so that the clamped value
    // does not count as the user showing the last page.
    bool m_adjustingRanges = false;
    qint64 m_linesDrawn = 0;
};
