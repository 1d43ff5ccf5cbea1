// The main frame's "Preferences..." and "Send..." commands.

#include "ui/mainframe.h"

#include "app/mailsender.h"
#include "app/tarnwickapp.h"
#include "ui/preferencesheet.h"

#include <QDir>

void CMainFrame::onPreferences()
{
    CPreferenceSheet sheet(m_app, m_ui, this);
    sheet.exec();
    // The home gopher may have been set or cleared on its page.
    updateEmptyFrameHint();
}

void CMainFrame::onSend()
{
    QString directory = m_app.settings().temporaryDirectory();
    if (directory.isEmpty() || !QDir(directory).exists())
        directory = QDir::tempPath();
    static_cast<void>(MailSender::send(activeDocument(), directory, m_ui));
}
