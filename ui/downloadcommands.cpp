#include "ui/mainframe.h"

#include "app/tarnwickapp.h"
#include "ui/dialogs/viewersdialog.h"
#include "settings/viewertable.h"
#include "ui/dialogs/downloadedfilesdialog.h"

void CMainFrame::onViewers()
{
    ViewerTable table(m_app.profile());
    ViewersDialog dialog(table, this);
    if (dialog.exec() != QDialog::Accepted)
        table.setModified(false);
}

void CMainFrame::onDeleteFiles()
{
    DownloadedFilesDialog dialog(m_app.downloadedFiles(), this);
    dialog.exec();
}
