#include "ui/dialogs/fixedsize.h"

#include <QLayout>
#include <QWidget>

void makeFixedSizeDialog(QWidget *dialog)
{
    if (QLayout *layout = dialog->layout())
        layout->setSizeConstraint(QLayout::SetFixedSize);
    dialog->setWindowFlags(fixedSizeDialogFlags());
}

Qt::WindowFlags fixedSizeDialogFlags()
{
    return Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
           | Qt::WindowCloseButtonHint;
}
