#include "ui/print/printsetupdialog.h"

#include "ui/dialogs/fixedsize.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRadioButton>

PrintSetupDialog::PrintSetupDialog(QPrinter &printer, QWidget *parent)
    : QDialog(parent), m_printer(printer)
{
    setWindowTitle(QString::fromLatin1(Title));
    m_printers = new QComboBox(this);
    m_printers->setObjectName(QStringLiteral("printer"));
    for (const QString &name : QPrinterInfo::availablePrinterNames())
        m_printers->addItem(name, name);
    m_printers->addItem(QString::fromLatin1(PdfFile), QString());
    const bool pdf = printer.outputFormat() == QPrinter::PdfFormat;
    const int current = pdf ? m_printers->count() - 1 : m_printers->findData(printer.printerName());
    m_printers->setCurrentIndex(current < 0 ? 0 : current);

    m_paper = new QComboBox(this);
    m_paper->setObjectName(QStringLiteral("paper"));
    for (const QPageSize::PageSizeId id :
         {QPageSize::A4, QPageSize::Letter, QPageSize::Legal, QPageSize::A3, QPageSize::A5,
          QPageSize::B5, QPageSize::Executive, QPageSize::Tabloid})
        m_paper->addItem(QPageSize::name(id), int(id));
    const int paper = m_paper->findData(int(printer.pageLayout().pageSize().id()));
    if (paper >= 0) {
        m_paper->setCurrentIndex(paper);
    } else {
        // A size chosen elsewhere (the print dialog) is kept as it is.
        m_paper->addItem(printer.pageLayout().pageSize().name(), -1);
        m_paper->setCurrentIndex(m_paper->count() - 1);
    }

    auto *orientation = new QGroupBox(QStringLiteral("Orientation"), this);
    m_portrait = new QRadioButton(QStringLiteral("P&ortrait"), orientation);
    m_landscape = new QRadioButton(QStringLiteral("&Landscape"), orientation);
    auto *row = new QHBoxLayout(orientation);
    row->addWidget(m_portrait);
    row->addWidget(m_landscape);
    row->addStretch(1);
    (printer.pageLayout().orientation() == QPageLayout::Landscape ? m_landscape : m_portrait)
        ->setChecked(true);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &PrintSetupDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *form = new QFormLayout(this);
    form->addRow(QStringLiteral("&Printer:"), m_printers);
    form->addRow(QStringLiteral("Paper &size:"), m_paper);
    form->addRow(orientation);
    form->addRow(buttons);
    m_printers->setMinimumWidth(fontMetrics().averageCharWidth() * 32);
    makeFixedSizeDialog(this);
}

void PrintSetupDialog::accept()
{
    const QString name = m_printers->currentData().toString();
    if (name.isEmpty()) {
        m_printer.setOutputFormat(QPrinter::PdfFormat);
    } else {
        m_printer.setOutputFormat(QPrinter::NativeFormat);
        m_printer.setPrinterName(name);
    }
    const int paper = m_paper->currentData().toInt();
    if (paper >= 0)
        m_printer.setPageSize(QPageSize(QPageSize::PageSizeId(paper)));
    m_printer.setPageOrientation(m_landscape->isChecked() ? QPageLayout::Landscape
                                                          : QPageLayout::Portrait);
    QDialog::accept();
}
