#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "items/textencoding.h"

#include <functional>

// The arithmetic of a printed page, kept apart from the painter so that it can
// be checked on its own: where the margins put the printing rectangle, where
// the header, the body and the footer sit, and which line starts each page.
// All lengths are in printer dots.
class PrintLayout
{
public:
    struct Page
    {
        int dpiX = 0;
        int dpiY = 0;
        int width = 0;   // the paper's size in dots
        int height = 0;
    };

    PrintLayout(const Page &page, double left, double right, double top, double bottom,
                bool header, bool footer, int lineHeight);

    int left() const { return m_left; }
    int width() const { return m_width; }
    int top() const { return m_top; }
    // A body line may start above this y, not at or below it.
    int bottomLimit() const { return m_bottomLimit; }
    // The baseline band of "Page %d"; the footer's rule is one line above it.
    int footerY() const { return m_footerY; }
    int headerRuleY() const { return m_top + m_lineHeight * 3 / 2; }
    int bodyTop() const { return m_header ? m_top + 3 * m_lineHeight : m_top; }
    int lineHeight() const { return m_lineHeight; }
    bool hasHeader() const { return m_header; }
    bool hasFooter() const { return m_footer; }

    // Lays the lines out without drawing: the first line of every page. A line
    // that begins with a form feed ends the page; it is not drawn, and what
    // follows the form feed on it starts the next page. Every page takes at
    // least one line, so tiny pages still end. An empty text is one page.
    QList<int> pageStarts(int lineCount, const std::function<QByteArray(int)> &lineAt) const;

    // The lines of the page starting at `first`: how many to take (including a
    // closing form-feed line) — the same rule as pageStarts.
    int linesOnPage(int first, int lineCount, const std::function<QByteArray(int)> &lineAt) const;

    // A line as it is drawn: in the encoding its window shows it in, leading
    // form feeds gone, tabs expanded to the standard stops every eight columns;
    // no more than maxColumns characters (negative: all).
    static QString printable(const QByteArray &line,
                             TextEncoding encoding = TextEncoding::Automatic, int maxColumns = -1);

private:
    int m_left = 0;
    int m_width = 0;
    int m_top = 0;
    int m_bottomLimit = 0;
    int m_footerY = 0;
    int m_lineHeight = 1;
    bool m_header = true;
    bool m_footer = true;
};
