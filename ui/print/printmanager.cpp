#include "ui/print/printmanager.h"

#include "documents/gopherdir.h"
#include "documents/gophertextdoc.h"
#include "documents/phonetext.h"
#include "documents/userinterface.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <QPainter>
#include <QPrinter>

const QByteArray CPrintManager::IncompleteQuestion("This document is not completely downloaded.\n"
                                                   "Select 'OK' to print or preview anyway,\n"
                                                   "otherwise select 'Cancel'");
const QByteArray CPrintManager::NoMetricsMessage("Can't get text metrics for printer");

PrintSource::~PrintSource() = default;

QFont printFont(FontManager &fonts, FontManager::Kind viewKind)
{
    if (fonts.usePrinterFont() && fonts.printerFontStored())
        return fonts.font(FontManager::PrinterFont);
    return fonts.font(viewKind);
}

FontManager::Kind viewFontKind(const CTarnwickDoc *doc)
{
    if (qobject_cast<const CGopherDir *>(doc))
        return FontManager::DirFont;
    if (qobject_cast<const CPhoneText *>(doc))
        return FontManager::PhoneFont;
    return FontManager::TextFont;
}

std::unique_ptr<PrintSource> PrintSource::forDocument(CTarnwickDoc *doc,
                                                      const QList<int> &selectedLines)
{
    if (auto *phone = qobject_cast<CPhoneText *>(doc))
        return std::make_unique<PhonePrintSource>(*phone, selectedLines);
    if (auto *text = qobject_cast<CGopherTextDoc *>(doc))
        return std::make_unique<TextPrintSource>(*text);
    if (auto *dir = qobject_cast<CGopherDir *>(doc))
        return std::make_unique<DirPrintSource>(*dir);
    return {};
}

namespace {

// The document's title; an item opened from its URL alone has none, and
// prints its URL instead.
QByteArray headingOf(const CTarnwickDoc &doc)
{
    const QByteArray title = doc.title();
    return title.isEmpty() ? doc.item().GetURL() : title;
}

} // namespace

TextPrintSource::TextPrintSource(const CGopherTextDoc &doc) : m_doc(doc)
{
    const CQTextDoc &store = doc.store();
    const int count = store.GetLineCount();
    m_marked = doc.markMode() == CGopherTextDoc::Marked;
    int first = 0;
    int last = count - 1;
    if (m_marked) {
        m_firstLine = doc.markStartLine();
        m_firstColumn = doc.markStartColumn();
        m_lastLine = doc.markEndLine();
        m_lastColumn = doc.markEndColumn();
        // The mark may have been drawn upwards.
        if (m_lastLine < m_firstLine
            || (m_lastLine == m_firstLine && m_lastColumn < m_firstColumn)) {
            std::swap(m_firstLine, m_lastLine);
            std::swap(m_firstColumn, m_lastColumn);
        }
        first = qMax(0, m_firstLine);
        last = qMin(m_lastLine, count - 1);
    }
    const QList<int> &breaks = store.formFeedLines();
    auto nextBreak = std::lower_bound(breaks.cbegin(), breaks.cend(), first);
    for (int n = first; n <= last; ++n) {
        m_lines.append(n);
        if (nextBreak != breaks.cend() && *nextBreak == n) {
            ++nextBreak;
            if (n < last)
                m_lines.append(-1);
        }
    }
}

QByteArray TextPrintSource::heading() const
{
    return headingOf(m_doc);
}

TextEncoding TextPrintSource::encoding() const
{
    return m_doc.displayEncoding();
}

int TextPrintSource::lineCount() const
{
    return int(m_lines.size());
}

QByteArray TextPrintSource::line(int n) const
{
    const int index = m_lines.value(n, -2);
    if (index == -1)
        return QByteArray("\f");
    if (index < 0)
        return {};
    QByteArray text = m_doc.store().GetLine(index);
    if (!m_marked)
        return text;
    if (index == m_lastLine)
        text.truncate(qMax(0, m_lastColumn));
    if (index == m_firstLine)
        text.remove(0, qMax(0, m_firstColumn));
    return text;
}

bool TextPrintSource::isComplete() const
{
    return m_doc.isDone() && m_doc.endStatus() == 0;
}

PhonePrintSource::PhonePrintSource(const CPhoneText &doc, const QList<int> &selectedLines)
    : m_doc(doc), m_selected(selectedLines)
{
}

QByteArray PhonePrintSource::heading() const
{
    return headingOf(m_doc);
}

TextEncoding PhonePrintSource::encoding() const
{
    return m_doc.displayEncoding();
}

int PhonePrintSource::lineCount() const
{
    return m_selected.isEmpty() ? m_doc.lineCount() : int(m_selected.size());
}

QByteArray PhonePrintSource::line(int n) const
{
    const int index = m_selected.isEmpty() ? n : m_selected.value(n, -1);
    const QByteArray text = m_doc.GetLine(index);
    return text == CPhoneText::Separator ? QByteArray() : text;
}

bool PhonePrintSource::isComplete() const
{
    return m_doc.isComplete();
}

DirPrintSource::DirPrintSource(const CGopherDir &doc) : m_doc(doc) {}

QByteArray DirPrintSource::heading() const
{
    return headingOf(m_doc);
}

TextEncoding DirPrintSource::encoding() const
{
    return m_doc.displayEncoding();
}

int DirPrintSource::lineCount() const
{
    return m_doc.listCount();
}

QByteArray DirPrintSource::line(int n) const
{
    return m_doc.listTitle(n);
}

bool DirPrintSource::isComplete() const
{
    return m_doc.isDone() && m_doc.endStatus() == 0;
}

CPrintManager::CPrintManager(const PrintSource &source, const PrinterSetup &setup, const QFont &font)
    : m_source(source), m_setup(setup), m_font(font)
{
}

bool CPrintManager::confirmIncomplete(UserInterface &ui) const
{
    if (m_source.isComplete())
        return true;
    return ui.messageBox(IncompleteQuestion, UserInterface::Question, UserInterface::OkCancel)
           == UserInterface::AnswerOk;
}

bool CPrintManager::prepare(QPagedPaintDevice &device, UserInterface *ui)
{
    m_pageStarts.clear();
    m_layout.reset();
    // Margins are measured from the paper's edge, not from the printable area.
    if (auto *printer = dynamic_cast<QPrinter *>(&device))
        printer->setFullPage(true);
    // Fonts stored for the screen are sized in screen pixels: on the printer
    // they keep their size on paper.
    if (m_font.pixelSize() > 0) {
        const QScreen *screen = QGuiApplication::primaryScreen();
        const qreal screenDpi = screen ? screen->logicalDotsPerInchY() : 96.0;
        m_font.setPointSizeF(m_font.pixelSize() * 72.0 / (screenDpi > 0 ? screenDpi : 96.0));
    }
    const QFontMetrics metrics(m_font, &device);
    m_lineHeight = metrics.height() + metrics.leading();
    if (m_lineHeight <= 0 || metrics.averageCharWidth() <= 0) {
        if (ui)
            ui->messageBox(NoMetricsMessage);
        return false;
    }
    // No character is narrower than the narrowest of these (zero-width marks
    // aside), so no more of them fit between the left margin and the edge.
    int narrowest = metrics.averageCharWidth();
    for (const QChar c : QStringView(u" .,:;'!|iljI1"))
        narrowest = std::min(narrowest, metrics.horizontalAdvance(c));
    PrintLayout::Page page;
    page.dpiX = device.logicalDpiX();
    page.dpiY = device.logicalDpiY();
    page.width = device.width();
    page.height = device.height();
    m_layout.emplace(page, m_setup.left, m_setup.right, m_setup.top, m_setup.bottom,
                     m_setup.header, m_setup.footer, m_lineHeight);
    m_maxColumns = std::max(0, page.width - m_layout->left()) / std::max(1, narrowest) + 1;
    m_pageStarts = m_layout->pageStarts(m_source.lineCount(),
                                        [this](int n) { return m_source.line(n); });
    return true;
}

void CPrintManager::printPage(QPainter &painter, int page) const
{
    if (!m_layout || page < 0 || page >= m_pageStarts.size())
        return;
    const PrintLayout &layout = *m_layout;
    painter.save();
    painter.setFont(m_font);
    painter.setPen(Qt::black);
    const QFontMetrics metrics(m_font, painter.device());
    const int lh = layout.lineHeight();
    const int x = layout.left();
    const int w = layout.width();
    if (layout.hasHeader()) {
        painter.drawText(QRect(x, layout.top(), w, lh), Qt::AlignHCenter | Qt::AlignTop,
                         decodeText(m_source.heading(), m_source.encoding()));
        painter.drawLine(x, layout.headerRuleY(), x + w, layout.headerRuleY());
    }
    if (layout.hasFooter()) {
        const int rule = layout.footerY() - lh;
        painter.drawLine(x, rule, x + w, rule);
        painter.drawText(QRect(x, layout.footerY(), w, lh), Qt::AlignHCenter | Qt::AlignTop,
                         QStringLiteral("Page %1").arg(page + 1));
    }
    const int first = m_pageStarts.at(page);
    const int count = m_source.lineCount();
    const auto lineAt = [this](int n) { return m_source.line(n); };
    const int taken = layout.linesOnPage(first, count, lineAt);
    int y = layout.bodyTop();
    for (int n = first; n < first + taken && n < count; ++n) {
        const QByteArray line = m_source.line(n);
        // A form feed on a line of its own is a page break, not a line.
        if (line.startsWith('\f') && line.count('\f') == line.size())
            continue;
        painter.drawText(x, y + metrics.ascent(),
                         PrintLayout::printable(line, m_source.encoding(), m_maxColumns));
        y += lh;
    }
    painter.restore();
}

bool CPrintManager::print(QPrinter &printer, UserInterface *ui, const std::function<bool()> &stop)
{
    m_pagesPrinted = 0;
    if (!prepare(printer, ui))
        return false;
    int from = 0;
    int to = pageCount() - 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        from = printer.fromPage() - 1;
        to = qMin(to, printer.toPage() - 1);
    }
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    for (int page = from; page <= to; ++page) {
        if (stop && stop()) {
            painter.end();
            return false;
        }
        if (page > from)
            printer.newPage();
        printPage(painter, page);
        ++m_pagesPrinted;
    }
    return painter.end();
}
