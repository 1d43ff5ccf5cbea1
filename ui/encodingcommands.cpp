// View > Encoding: how the active window's host is shown.

#include "app/tarnwickapp.h"
#include "documents/tarnwickdoc.h"
#include "ui/mainframe.h"

#include "items/displaytext.h"

void CMainFrame::setActiveEncoding(TextEncoding encoding)
{
    const CTarnwickDoc *doc = activeDocument();
    if (!doc || doc->GetItem().host.isEmpty())
        return;
    // Every window of the host redraws when the choice is written.
    if (!m_app.hostEncodings().setEncoding(doc->GetItem().host, encoding))
        m_ui.messageBox(textBytes(QStringLiteral("The encoding could not be saved.\n")
                                  + m_app.profile().lastError()),
                        UserInterface::Exclamation, UserInterface::Ok, Help::None);
    scheduleCommandUpdate();
}

std::optional<TextEncoding> CMainFrame::activeEncoding() const
{
    if (!canChooseEncoding())
        return std::nullopt;
    return m_app.hostEncodings().encoding(activeDocument()->GetItem().host);
}

bool CMainFrame::canChooseEncoding() const
{
    const CTarnwickDoc *doc = activeDocument();
    return doc && !doc->GetItem().host.isEmpty();
}
