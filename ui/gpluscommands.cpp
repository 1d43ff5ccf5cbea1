// The main frame's commands on the Gopher+ tables: the extended views, their
// ranking and the language names.

#include "ui/mainframe.h"

#include "app/tarnwickapp.h"
#include "ui/gplus/languagesdialog.h"
#include "ui/gplus/rankviewsdialog.h"

void CMainFrame::onEditViews()
{
    ExtendedViewTable &table = m_app.extendedViews();
    // A table that cannot be read is said so; the dialog still opens, and
    // what the user defines becomes the user's own file.
    if (!table.isLoaded())
        static_cast<void>(table.Load());
    m_ui.editExtendedViews(table, QByteArray(), 0);
}

void CMainFrame::onRankViews()
{
    ExtendedViewTable &table = m_app.extendedViews();
    if (!table.isLoaded())
        static_cast<void>(table.Load());
    CRankViewsDialog dialog(table, this);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    table.afterDialog(accepted, dialog.changed());
}

void CMainFrame::onEditLanguages()
{
    LanguageTable &table = m_app.languages();
    CLanguagesDialog dialog(table, this);
    m_ui.attachHelp(&dialog, HelpPage::Languages);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    table.afterDialog(accepted, dialog.changed());
}
