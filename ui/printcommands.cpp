// The printing commands of the main frame: Print, Print Preview, Print Setup,
// the page set-up and the printer font.

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
#include "ui/print/printmanager.h"
#include "ui/qtuserinterface.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPageSetupDialog>
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

// The margins and the two switches of printed pages.
class PrintedPageSetupDialog : public QDialog
{
public:
    PrintedPageSetupDialog(const PrinterSetup &setup, QWidget *parent) : QDialog(parent)
    {
        setWindowTitle(QStringLiteral("Printed Page Setup"));
        auto *form = new QFormLayout(this);
        const auto margin = [this, form](const QString &label, double value) {
            auto *box = new QDoubleSpinBox(this);
            box->setRange(0.0, 10.0);
            box->setDecimals(2);
            box->setSingleStep(0.25);
            box->setSuffix(QStringLiteral(" in"));
            box->setValue(value);
            form->addRow(label, box);
            return box;
        };
        m_left = margin(QStringLiteral("&Left margin:"), setup.left);
        m_right = margin(QStringLiteral("&Right margin:"), setup.right);
        m_top = margin(QStringLiteral("&Top margin:"), setup.top);
        m_bottom = margin(QStringLiteral("&Bottom margin:"), setup.bottom);
        m_header = new QCheckBox(QStringLiteral("Print &header"), this);
        m_header->setChecked(setup.header);
        m_footer = new QCheckBox(QStringLiteral("Print &footer"), this);
        m_footer->setChecked(setup.footer);
        form->addRow(m_header);
        form->addRow(m_footer);
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        form->addRow(buttons);
    }

    PrinterSetup setup() const
    {
        return {m_left->value(), m_right->value(), m_top->value(), m_bottom->value(),
                m_header->isChecked(), m_footer->isChecked()};
    }

private:
    QDoubleSpinBox *m_left;
    QDoubleSpinBox *m_right;
    QDoubleSpinBox *m_top;
    QDoubleSpinBox *m_bottom;
    QCheckBox *m_header;
    QCheckBox *m_footer;
};

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
    QPageSetupDialog dialog(&sessionPrinter(), this);
    dialog.exec();
}

void CMainFrame::onPageSetup()
{
    PrintedPageSetupDialog dialog(m_app.settings().printerSetup(), this);
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
