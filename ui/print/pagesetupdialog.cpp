#include "ui/print/pagesetupdialog.h"

#include "ui/dialogs/fixedsize.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>

PageSetupDialog::PageSetupDialog(const PrinterSetup &setup, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QString::fromLatin1(Title));
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
    m_margins[Left] = margin(QStringLiteral("&Left margin:"), setup.left);
    m_margins[Right] = margin(QStringLiteral("&Right margin:"), setup.right);
    m_margins[Top] = margin(QStringLiteral("&Top margin:"), setup.top);
    m_margins[Bottom] = margin(QStringLiteral("&Bottom margin:"), setup.bottom);
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
    // The window manager cuts a title longer than the window ("Printe...
    // Setup"): the dialog is wide enough for its title and the title bar's
    // buttons (its size follows its contents, this strut included).
    auto *strut = new QWidget(this);
    strut->setFixedSize(fontMetrics().horizontalAdvance(windowTitle()) * 3 / 2 + 140, 0);
    form->addRow(strut);
    makeFixedSizeDialog(this);
}

PrinterSetup PageSetupDialog::setup() const
{
    return {m_margins[Left]->value(), m_margins[Right]->value(), m_margins[Top]->value(),
            m_margins[Bottom]->value(), m_header->isChecked(), m_footer->isChecked()};
}
