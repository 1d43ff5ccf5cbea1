// The main frame's "Preferences..." command.

#include "ui/mainframe.h"

#include "ui/preferencesheet.h"

void CMainFrame::onPreferences()
{
    CPreferenceSheet sheet(m_app, m_ui, this);
    sheet.exec();
    // The home gopher may have been set or cleared on its page.
    updateEmptyFrameHint();
}
