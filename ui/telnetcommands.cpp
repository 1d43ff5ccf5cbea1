// The main frame's commands for telnet and tn3270 sessions.

#include "ui/mainframe.h"

#include "app/tarnwickapp.h"
#include "ui/dialogs/telnetprogramsdialog.h"

void CMainFrame::onTelnetPrograms()
{
    CTelnetProgramsDialog dialog(m_app.settings(), m_ui, this);
    m_ui.attachHelp(&dialog, HelpPage::Telnet);
    dialog.exec();
}
