#include "ui/dialogs/directoriesdialog.h"

#include "ui/accessiblename.h"
#include "settings/appsettings.h"
#include "settings/profilefile.h"
#include "documents/userinterface.h"
#include "items/displaytext.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

DirectoriesDialog::DirectoriesDialog(AppSettings &settings, UserInterface *ui, QWidget *parent)
    : QDialog(parent), m_settings(settings), m_ui(ui)
{
    setWindowTitle(QStringLiteral("Gopher Directories"));

    m_temporary = new QLineEdit(m_settings.temporaryDirectory());
    m_temporary->setObjectName(QStringLiteral("temporaryDirectory"));
    m_temporary->setMinimumWidth(m_temporary->fontMetrics().averageCharWidth() * 50);
    m_download = new QLineEdit(m_settings.downloadDirectory());
    m_download->setObjectName(QStringLiteral("downloadDirectory"));

    const auto fieldRow = [this](QLineEdit *edit, const QString &title) {
        auto *row = new QHBoxLayout;
        row->addWidget(edit, 1);
        row->addWidget(makeBrowseButton(edit, title));
        return row;
    };

    auto *form = new QFormLayout;
    form->setRowWrapPolicy(QFormLayout::WrapAllRows);
    // A row of fields gets no buddy from the form: the labels are given theirs.
    auto *temporaryLabel = new QLabel(QStringLiteral("Directory for temporary files:"));
    auto *downloadLabel = new QLabel(QStringLiteral("Directory for downloading files:"));
    labelField(temporaryLabel, m_temporary);
    labelField(downloadLabel, m_download);
    form->addRow(temporaryLabel, fieldRow(m_temporary, QStringLiteral("Directory for temporary files")));
    form->addRow(downloadLabel, fieldRow(m_download, QStringLiteral("Directory for downloading files")));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &DirectoriesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &DirectoriesDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addSpacing(6);
    layout->addWidget(buttons);
    // Paths may be long: the dialog widens but does not grow taller.
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    setMaximumHeight(sizeHint().height());
}

QPushButton *DirectoriesDialog::makeBrowseButton(QLineEdit *edit, const QString &title)
{
    auto *button = new QPushButton(QStringLiteral("Browse..."));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, edit, title] {
        const QString chosen = QFileDialog::getExistingDirectory(this, title, edit->text());
        if (!chosen.isEmpty())
            edit->setText(chosen);
    });
    return button;
}

void DirectoriesDialog::accept()
{
    ProfileFile::Edit edit(m_settings.file());
    if (!m_settings.setTemporaryDirectory(m_temporary->text())
        || !m_settings.setDownloadDirectory(m_download->text()) || !edit.commit()) {
        const QString text = QStringLiteral("The directories could not be saved.\n")
                             + m_settings.file().lastError();
        if (m_ui)
            m_ui->messageBox(textBytes(text));
        else
            QMessageBox::warning(this, windowTitle(), text);
        return;
    }
    QDialog::accept();
}
