// The printing commands of the main frame: Print, Print Preview, Print Setup
// (printer and paper), Page Setup (margins, header, footer) and the printer font.

#include "ui/mainframe.h"

#include "app/tarnwickapp.h"
#include "documents/gopherdir.h"
#include "documents/gophertextdoc.h"
#include "documents/phonetext.h"
#include "ui/gophermdichild.h"
#include "ui/image/picturewindow.h"
#include "ui/image/pictureview.h"
#include "ui/print/pictureprint.h"
#include "ui/views/phoneview.h"
#include "ui/print/pagesetupdialog.h"
#include "ui/print/printmanager.h"
#include "ui/print/printsetupdialog.h"
#include "ui/qtuserinterface.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include <functional>
#include <memory>

namespace {

// One printer for the whole session, so that what Print Setup chose stays.
// It is never deleted: a printer torn down after the application object has
// gone may still talk to the print system.
QPrinter &sessionPrinter()
{
    static QPrinter *const printer = new QPrinter(QPrinter::HighResolution);
    return *printer;
}

// What the active window prints: a phone book the lines selected in it.
std::unique_ptr<PrintSource> activeSource(CTarnwickDoc *doc, QMdiArea *area)
{
    QList<int> selected;
    QMdiSubWindow *window = area->activeSubWindow() ? area->activeSubWindow()
                                                    : area->currentSubWindow();
    if (auto *child = qobject_cast<CGopherMDIChild *>(window)) {
        if (auto *phone = qobject_cast<CPhoneView *>(child->view()))
            selected = phone->selectedLines();
    }
    return PrintSource::forDocument(doc, selected);
}

// Print and Print Preview lay out the active window's text the same way;
// print gets the job unless there is nothing to print or the user would
// rather not print a transfer that has not finished.
void withPrintJob(CTarnwickDoc *doc, QMdiArea *area, const PrinterSetup &setup, FontManager &fonts,
                  UserInterface &ui,
                  const std::function<void(const PrintSource &, CPrintManager &)> &print)
{
    const std::unique_ptr<PrintSource> source = activeSource(doc, area);
    if (!source)
        return;
    CPrintManager manager(*source, setup, printFont(fonts, viewFontKind(doc)));
    if (!manager.confirmIncomplete(ui))
        return;
    print(*source, manager);
}

} // namespace

bool CMainFrame::canPrint() const
{
    if (activePictureWindow())
        return hasPicture();
    const CTarnwickDoc *doc = activeDocument();
    if (const auto *text = qobject_cast<const CGopherTextDoc *>(doc)) {
        // Not while a mark is being drawn; a mark prints at once, the whole
        // text once it has arrived.
        if (text->markMode() == CGopherTextDoc::Marking)
            return false;
        return text->markMode() == CGopherTextDoc::Marked || text->isDone();
    }
    if (const auto *phone = qobject_cast<const CPhoneText *>(doc))
        return phone->OnUpdatePrint();
    return qobject_cast<const CGopherDir *>(doc) != nullptr;
}

void CMainFrame::onPrint()
{
    if (CPictureWindow *picture = activePictureWindow()) {
        QPrinter &printer = sessionPrinter();
        printer.setDocName(picture->windowTitle());
        QPrintDialog dialog(&printer, this);
        dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
        if (dialog.exec() == QDialog::Accepted)
            printActivePicture(printer);
        return;
    }
    withPrintJob(activeDocument(), m_mdi, m_app.settings().printerSetup(), m_fonts, m_ui,
                 [this](const PrintSource &source, CPrintManager &manager) {
                     QPrinter &printer = sessionPrinter();
                     printer.setDocName(decodeText(source.heading(), source.encoding()));
                     QPrintDialog dialog(&printer, this);
                     dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
                     if (dialog.exec() == QDialog::Accepted)
                         manager.print(printer, &m_ui);
                 });
}

void CMainFrame::onPrintPreview()
{
    if (activePictureWindow()) {
        QPrintPreviewDialog preview(&sessionPrinter(), this);
        preview.setWindowTitle(QStringLiteral("Print Preview"));
        connect(&preview, &QPrintPreviewDialog::paintRequested, this,
                [this](QPrinter *printer) { printActivePicture(*printer); });
        preview.exec();
        return;
    }
    withPrintJob(activeDocument(), m_mdi, m_app.settings().printerSetup(), m_fonts, m_ui,
                 [this](const PrintSource &, CPrintManager &manager) {
                     QPrintPreviewDialog preview(&sessionPrinter(), this);
                     preview.setWindowTitle(QStringLiteral("Print Preview"));
                     connect(&preview, &QPrintPreviewDialog::paintRequested, this,
                             [this, &manager](QPrinter *printer) { manager.print(*printer, &m_ui); });
                     preview.exec();
                 });
}

bool CMainFrame::printActivePicture(QPagedPaintDevice &device)
{
    CPictureWindow *picture = activePictureWindow();
    if (!picture || !picture->hasPicture() || !picture->document())
        return false;
    return printPicture(device, picture->view()->currentFrame(), *picture->document(),
                        m_app.settings().printerSetup(), printFont(m_fonts, FontManager::TextFont),
                        &m_ui);
}

void CMainFrame::onPrintSetup()
{
    PrintSetupDialog dialog(sessionPrinter(), this);
    dialog.exec();
}

void CMainFrame::onPageSetup()
{
    PageSetupDialog dialog(m_app.settings().printerSetup(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!m_app.settings().setPrinterSetup(dialog.setup()))
        static_cast<UserInterface &>(m_ui).messageBox(
            QByteArray("Unable to write the page setup to the settings file"));
}

void CMainFrame::onPrinterFont()
{
    m_fonts.chooseFont(FontManager::PrinterFont, this);
}

void CMainFrame::onUsePrinterFont()
{
    m_fonts.toggleUsePrinterFont();
}

bool CMainFrame::printerFontStored() const
{
    return m_fonts.printerFontStored();
}
