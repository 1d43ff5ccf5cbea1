#include "ui/dialogs/useroptionsdialog.h"

#include "ui/dialogs/fixedsize.h"

#include "settings/appsettings.h"
#include "settings/profilefile.h"
#include "documents/userinterface.h"
#include "items/displaytext.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QMessageBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

enum FetchAction { Keep = 0, Minimize = 1, Close = 2 };

} // namespace

UserOptionsDialog::UserOptionsDialog(AppSettings &settings, UserInterface *ui, QWidget *parent)
    : QDialog(parent), m_settings(settings), m_ui(ui)
{
    setWindowTitle(QStringLiteral("User Options"));

    m_autoSelectView = new QCheckBox(
        QStringLiteral("Automatically pick the preferred view, the one with the highest rank"));
    m_autoStripDots = new QCheckBox(QStringLiteral("Remove trailing period from hostname"));
    m_autoFileName = new QCheckBox(
        QStringLiteral("Use the generated filename, check for uniqueness, don't prompt me"));
    m_autoViewFile = new QCheckBox(QStringLiteral("Always view the file when the download is complete"));
    m_rememberHistory = new QCheckBox(QStringLiteral("Remember the items I open in the History"));
    m_reopenWindows = new QCheckBox(QStringLiteral("Reopen the windows of the last session at start"));

    m_keep = new QRadioButton(QStringLiteral("Keep Bookmark Editor active after fetching"));
    m_close = new QRadioButton(QStringLiteral("Close the Bookmark Editor after fetching"));
    m_minimize = new QRadioButton(QStringLiteral("Minimize the Bookmark Editor after fetching"));
    auto *group = new QButtonGroup(this);
    group->addButton(m_keep, Keep);
    group->addButton(m_close, Close);
    group->addButton(m_minimize, Minimize);

    auto *editorBox = new QGroupBox(QStringLiteral("Bookmark Editor"));
    auto *editorLayout = new QVBoxLayout(editorBox);
    editorLayout->addWidget(m_keep);
    editorLayout->addWidget(m_close);
    editorLayout->addWidget(m_minimize);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &UserOptionsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &UserOptionsDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_autoSelectView);
    layout->addWidget(m_autoStripDots);
    layout->addWidget(m_autoFileName);
    layout->addWidget(m_autoViewFile);
    layout->addWidget(m_rememberHistory);
    layout->addWidget(m_reopenWindows);
    layout->addSpacing(6);
    layout->addWidget(editorBox);
    layout->addSpacing(6);
    layout->addWidget(buttons);
    makeFixedSizeDialog(this);

    fill();
}

void UserOptionsDialog::fill()
{
    m_autoSelectView->setChecked(m_settings.autoSelectView());
    m_autoStripDots->setChecked(m_settings.autoStripDots());
    m_autoFileName->setChecked(m_settings.autoFileName());
    m_autoViewFile->setChecked(m_settings.autoViewFile());
    m_rememberHistory->setChecked(m_settings.rememberHistory());
    m_reopenWindows->setChecked(m_settings.reopenWindows());
    switch (m_settings.bookmarkEditorFetchAction()) {
    case Minimize:
        m_minimize->setChecked(true);
        break;
    case Close:
        m_close->setChecked(true);
        break;
    default:
        m_keep->setChecked(true);
        break;
    }
}

int UserOptionsDialog::fetchAction() const
{
    if (m_minimize->isChecked())
        return Minimize;
    if (m_close->isChecked())
        return Close;
    return Keep;
}

void UserOptionsDialog::accept()
{
    // The keys go to the file together, or none of them.
    ProfileFile::Edit edit(m_settings.file());
    const bool written = m_settings.setAutoSelectView(m_autoSelectView->isChecked())
                         && m_settings.setAutoStripDots(m_autoStripDots->isChecked())
                         && m_settings.setAutoFileName(m_autoFileName->isChecked())
                         && m_settings.setAutoViewFile(m_autoViewFile->isChecked())
                         && m_settings.setRememberHistory(m_rememberHistory->isChecked())
                         && m_settings.setReopenWindows(m_reopenWindows->isChecked())
                         && m_settings.setBookmarkEditorFetchAction(fetchAction())
                         && edit.commit();
    if (!written) {
        const QString text = QStringLiteral("The options could not be saved.\n")
                             + m_settings.file().lastError();
        if (m_ui)
            m_ui->messageBox(textBytes(text));
        else
            QMessageBox::warning(this, windowTitle(), text);
        return;
    }
    QDialog::accept();
}
