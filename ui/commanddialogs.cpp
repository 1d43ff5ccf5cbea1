#include "ui/commanddialogs.h"

#include "app/aboutdialog.h"
#include "app/directoriesdialog.h"
#include "app/tarnwickapp.h"
#include "app/useroptionsdialog.h"
#include "bookmarks/homegopherdialog.h"
#include "net/winsockinfodialog.h"

void runHomeServerSetup(QWidget *parent, CTarnwickApp &app, UserInterface &ui)
{
    HomeGopherDialog dialog(app.profile(), &ui, parent);
    dialog.exec();
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

void runWinSockInfo(QWidget *parent, const WinSockInfo &info)
{
    WinSockInfoDialog dialog(info, parent);
    dialog.exec();
}

void runAbout(QWidget *parent)
{
    AboutDialog dialog(parent);
    dialog.exec();
}
