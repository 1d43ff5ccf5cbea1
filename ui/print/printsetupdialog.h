#pragma once

#include <QDialog>

class QComboBox;
class QPrinter;
class QRadioButton;

// "Print Setup" (File > Print Setup...): the printer, the paper and its
// orientation, for the rest of the session. Margins are set in one place
// only, "Printed Page Setup", which printing follows.
class PrintSetupDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr const char *Title = "Print Setup";
    // The printer entry that writes a PDF file instead.
    static constexpr const char *PdfFile = "PDF file";

    PrintSetupDialog(QPrinter &printer, QWidget *parent = nullptr);

    QComboBox *printerList() const { return m_printers; }
    QComboBox *paperList() const { return m_paper; }
    QRadioButton *landscapeButton() const { return m_landscape; }

    // OK: the choices go to the printer.
    void accept() override;

private:
    QPrinter &m_printer;
    QComboBox *m_printers = nullptr;
    QComboBox *m_paper = nullptr;
    QRadioButton *m_portrait = nullptr;
    QRadioButton *m_landscape = nullptr;
};
