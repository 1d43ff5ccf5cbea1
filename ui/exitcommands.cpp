#include "ui/mainframe.h"

#include "app/tarnwickapp.h"
#include "documents/tarnwickdoc.h"
#include "ui/dialogs/finddialog.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QSessionManager>

int CMainFrame::runningTransfers() const
{
    return m_engine.registry().documentCount();
}

QByteArray CMainFrame::transfersRunningText(int count, const char *question)
{
    return (count == 1 ? QByteArray("1 transfer is running. ")
                       : QByteArray::number(count) + " transfers are running. ")
           + question;
}

bool CMainFrame::askToStopTransfers(const QByteArray &text)
{
    // Going on with the transfers is the safe answer: Return and Escape
    // both keep them.
    const std::unique_ptr<QMessageBox> box =
        m_ui.makeMessageBox(text, UserInterface::Question, UserInterface::YesNo);
    box->setDefaultButton(QMessageBox::No);
    box->setEscapeButton(QMessageBox::No);
    return box->exec() == QMessageBox::Yes;
}

bool CMainFrame::exitProgram(ExitRequest request)
{
    if (m_exiting)
        return true;
    if (request == ExitRequest::Signal)
        m_exitWithoutQuestion = true;
    if (!m_exitWithoutQuestion) {
        const int running = runningTransfers();
        if (running > 0
            && !askToStopTransfers(transfersRunningText(running, "Quit anyway?"))
            && !m_exitWithoutQuestion)
            return false;
        // A stop signal that came during the question has seen the program out.
        if (m_exiting)
            return true;
    }
    m_exiting = true;
    // What the program keeps across runs, the document windows still open
    // among it.
    saveSession();
    if (m_findDialog)
        m_findDialog->close();
    WriteWindowPlacement();
    m_app.saveDirtyTables();
    return true;
}

void CMainFrame::exitOnSignal()
{
    exitProgram(ExitRequest::Signal);
    close();
    // Every event loop ends, a modal dialog's too.
    QCoreApplication::exit(0);
}

void CMainFrame::onCommitData(QSessionManager &manager)
{
    const int running = runningTransfers();
    if (m_exiting || running == 0)
        return;
    if (!manager.allowsInteraction()) {
        // The session ends without us being asked: so does the program.
        m_exitWithoutQuestion = true;
        return;
    }
    const bool quit = askToStopTransfers(transfersRunningText(running, "Quit anyway?"));
    manager.release();
    if (quit)
        m_exitWithoutQuestion = true;
    else
        manager.cancel();
}

bool CMainFrame::mayCloseDownload(const CTarnwickDoc *document)
{
    if (m_exiting || !document || !document->hasLiveTransaction())
        return true;
    return askToStopTransfers(transfersRunningText(1, "Close anyway?"));
}
