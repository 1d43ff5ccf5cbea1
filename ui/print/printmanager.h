#pragma once

#include "settings/appsettings.h"
#include "ui/fontmanager.h"
#include "ui/print/printlayout.h"

#include <QByteArray>
#include <QFont>
#include <QList>

#include <functional>
#include <memory>
#include <optional>

class CGopherDir;
class CGopherTextDoc;
class CPhoneText;
class CTarnwickDoc;
class QPagedPaintDevice;
class QPainter;
class QPrinter;
class UserInterface;

// What a printable view hands to printing: the heading, and its lines by number.
class PrintSource
{
public:
    virtual ~PrintSource();
    virtual QByteArray heading() const = 0;
    // How the window shows the heading and the lines: its host's encoding.
    virtual TextEncoding encoding() const { return TextEncoding::Automatic; }
    virtual int lineCount() const = 0;
    virtual QByteArray line(int n) const = 0;
    // Whether the document has arrived in full; otherwise the user is asked first.
    virtual bool isComplete() const = 0;

    // The source of a text, a directory or a phone-book document (of a phone
    // book, the lines selected in its window; none: all); none for other kinds.
    static std::unique_ptr<PrintSource> forDocument(CTarnwickDoc *doc,
                                                    const QList<int> &selectedLines = {});
};

// A text document's lines: the marked stretch when a mark exists, cut at its
// columns, and all lines otherwise.
class TextPrintSource : public PrintSource
{
public:
    explicit TextPrintSource(const CGopherTextDoc &doc);
    QByteArray heading() const override;
    TextEncoding encoding() const override;
    int lineCount() const override;
    QByteArray line(int n) const override;
    bool isComplete() const override;

private:
    const CGopherTextDoc &m_doc;
    // The printed lines as store lines; -1 a page break where a form feed
    // ended the line before.
    QList<int> m_lines;
    bool m_marked = false;
    int m_firstLine = 0;
    int m_firstColumn = 0;
    int m_lastLine = 0;
    int m_lastColumn = 0;
};

// A directory's list: one line per item, its title as the list shows it.
class DirPrintSource : public PrintSource
{
public:
    explicit DirPrintSource(const CGopherDir &doc);
    QByteArray heading() const override;
    TextEncoding encoding() const override;
    int lineCount() const override;
    QByteArray line(int n) const override;
    bool isComplete() const override;

private:
    const CGopherDir &m_doc;
};

// A phone book's response lines: the selected ones when there are any, all
// otherwise. The line between two persons prints as an empty line.
class PhonePrintSource : public PrintSource
{
public:
    PhonePrintSource(const CPhoneText &doc, const QList<int> &selectedLines);
    QByteArray heading() const override;
    TextEncoding encoding() const override;
    int lineCount() const override;
    QByteArray line(int n) const override;
    bool isComplete() const override;

private:
    const CPhoneText &m_doc;
    QList<int> m_selected;
};

// The font a view of the kind prints in: the printer font when "Use Printer
// Font" is on and one is stored (both read afresh), else the view's own font.
QFont printFont(FontManager &fonts, FontManager::Kind viewKind);
// The font kind of the window that shows the document.
FontManager::Kind viewFontKind(const CTarnwickDoc *doc);

// Lays a view's lines out on printer pages between the margins, with the
// heading and a rule on top and a rule and the page number below, and prints
// them to a printer, a PDF file or a print preview. The first line of every
// page is kept, so any single page can be drawn on its own.
class CPrintManager
{
public:
    static const QByteArray IncompleteQuestion;
    static const QByteArray NoMetricsMessage;

    CPrintManager(const PrintSource &source, const PrinterSetup &setup, const QFont &font);

    // Asks whether an incomplete document is printed anyway; false: print nothing.
    bool confirmIncomplete(UserInterface &ui) const;

    // Measures the printer and counts the pages. False when the printer's
    // font metrics cannot be had; the user is told when a ui is given.
    bool prepare(QPagedPaintDevice &device, UserInterface *ui = nullptr);
    int pageCount() const { return int(m_pageStarts.size()); }
    const QList<int> &pageStarts() const { return m_pageStarts; }
    const std::optional<PrintLayout> &layout() const { return m_layout; }

    // Draws page n (from 0) on a painter open on the prepared device. Of a
    // line only what can reach the paper's right edge is laid out, so a line
    // of a million characters costs no more than one that fills the width.
    void printPage(QPainter &painter, int page) const;
    // The whole job: pages within the printer's from/to range when one is
    // set. Between pages, stop (when given) may end it: print returns false
    // and the pages printed so far are in pagesPrinted().
    bool print(QPrinter &printer, UserInterface *ui = nullptr,
               const std::function<bool()> &stop = {});
    int pagesPrinted() const { return m_pagesPrinted; }

private:
    const PrintSource &m_source;
    PrinterSetup m_setup;
    QFont m_font;
    int m_lineHeight = 0;
    std::optional<PrintLayout> m_layout;
    QList<int> m_pageStarts;
    // How many characters of a line can reach the paper's right edge.
    int m_maxColumns = 0;
    int m_pagesPrinted = 0;
};
