#pragma once

#include "settings/appsettings.h"

#include <QDialog>

class QCheckBox;
class QDoubleSpinBox;

// "Printed Page Setup" (File > Page Setup...): the margins and the header and
// footer switches of printed pages, the one place where margins are set; the
// print job lays its pages out with exactly these.
class PageSetupDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr const char *Title = "Printed Page Setup";

    PageSetupDialog(const PrinterSetup &setup, QWidget *parent = nullptr);

    PrinterSetup setup() const;
    QDoubleSpinBox *marginBox(int side) const { return m_margins[side]; }
    enum Side { Left, Right, Top, Bottom };

private:
    QDoubleSpinBox *m_margins[4] = {};
    QCheckBox *m_header = nullptr;
    QCheckBox *m_footer = nullptr;
};
