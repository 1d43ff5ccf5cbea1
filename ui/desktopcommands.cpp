// The main frame's part in the desktop: URLs handed over by a later start of
// the program, and "Make Tarnwick the default Gopher program".

#include "ui/mainframe.h"

#include "app/defaultgopherprogram.h"
#include "app/instancechannel.h"
#include "app/tarnwickapp.h"

void CMainFrame::acceptHandedOverUrls(InstanceServer &server)
{
    // Queued: opening may ask the user something, and the server should be
    // done with its peer by then.
    connect(&server, &InstanceServer::urlsReceived, this, &CMainFrame::openHandedOverUrls,
            Qt::QueuedConnection);
}

void CMainFrame::openHandedOverUrls(const QByteArrayList &urls)
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    InstanceChannel::openUrls(m_app, urls);
}

void CMainFrame::onMakeDefaultGopher()
{
    if (!m_defaultGopher) {
        m_defaultGopher = new DefaultGopherProgram(m_ui, this);
        connect(m_defaultGopher, &DefaultGopherProgram::finished, this,
                &CMainFrame::scheduleCommandUpdate);
    }
    m_defaultGopher->start();
    scheduleCommandUpdate();
}

bool CMainFrame::canMakeDefaultGopher() const
{
    return !m_defaultGopher || !m_defaultGopher->isRunning();
}
