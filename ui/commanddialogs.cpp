#include "ui/commanddialogs.h"

#include "ui/dialogs/aboutdialog.h"
#include "ui/dialogs/directoriesdialog.h"
#include "app/tarnwickapp.h"
#include "ui/dialogs/useroptionsdialog.h"
#include "ui/bookmarks/homegopherdialog.h"
#include "ui/dialogs/winsockinfodialog.h"

#include <QDialogButtonBox>
#include <QPushButton>

std::unique_ptr<HomeGopherDialog> makeHomeServerSetup(QWidget *parent, CTarnwickApp &app,
                                                      UserInterface &ui)
{
    auto dialog = std::make_unique<HomeGopherDialog>(app.profile(), &ui, parent);
    const QString sample = qEnvironmentVariable(SampleServerVariable);
    if (!sample.isEmpty())
        dialog->offerServer(sample);
    return dialog;
}

bool runHomeServerSetup(QWidget *parent, CTarnwickApp &app, UserInterface &ui)
{
    return makeHomeServerSetup(parent, app, ui)->exec() == QDialog::Accepted;
}

void runUserOptions(QWidget *parent, CTarnwickApp &app, UserInterface &ui)
{
    UserOptionsDialog dialog(app.settings(), &ui, parent);
    dialog.exec();
}

void runDirectories(QWidget *parent, CTarnwickApp &app, UserInterface &ui)
{
    DirectoriesDialog dialog(app.settings(), &ui, parent);
    dialog.exec();
}

std::unique_ptr<WinSockInfoDialog> makeWinSockInfo(QWidget *parent, const WinSockInfo &info)
{
    auto dialog = std::make_unique<WinSockInfoDialog>(info, parent);
    // Help stays greyed until the manual is attached (QtUserInterface::attachHelp).
    if (auto *buttons = dialog->findChild<QDialogButtonBox *>()) {
        if (QPushButton *help = buttons->button(QDialogButtonBox::Help))
            help->setEnabled(false);
    }
    return dialog;
}

void runAbout(QWidget *parent, const QString &settingsFile)
{
    AboutDialog dialog(settingsFile, parent);
    dialog.exec();
}
