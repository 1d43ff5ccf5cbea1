#include "ui/dialogs/downloadedfilesdialog.h"

#include "ui/accessiblename.h"
#include "documents/downloadedfiles.h"
#include "documents/gopherxferdoc.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

DownloadedFilesDialog::DownloadedFilesDialog(DownloadedFiles &files, QWidget *parent)
    : QDialog(parent), m_files(files)
{
    setWindowTitle(QStringLiteral("Downloaded Files"));
    m_list = new QListWidget;
    m_summary = new QLabel;
    m_summary->setObjectName(QStringLiteral("summary"));
    auto *buttons = new QDialogButtonBox;
    QPushButton *deleteButton = buttons->addButton(QStringLiteral("Delete Now"), QDialogButtonBox::ActionRole);
    QPushButton *close = buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Marked files will be deleted when Gopher exits")));
    auto *listLabel = new QLabel(QStringLiteral("Select a file to change this setting:"));
    labelField(listLabel, m_list);
    m_list->setAccessibleName(QStringLiteral("Downloaded files"));
    layout->addWidget(listLabel);
    layout->addWidget(m_list);
    layout->addWidget(m_summary);
    layout->addWidget(buttons);

    for (int i = 0; i < m_files.files().size(); ++i)
        m_list->addItem(lineText(i));
    m_summary->setText(summary());

    connect(m_list, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { toggle(m_list->row(item)); });
    connect(deleteButton, &QPushButton::clicked, this, &DownloadedFilesDialog::deleteNow);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

QString DownloadedFilesDialog::summaryText(int marked, quint64 bytes)
{
    return QString::number(marked) + u" marked "
           + (marked == 1 ? QStringLiteral("file") : QStringLiteral("files")) + u", "
           + QString::number(bytes) + u" bytes";
}

QString DownloadedFilesDialog::summary() const
{
    return summaryText(m_files.markedCount(), m_files.markedBytes());
}

QString DownloadedFilesDialog::lineText(int row) const
{
    const DownloadedFile &file = m_files.files().at(row);
    return (file.keep ? u' ' : u'x') + QStringLiteral("\t") + file.path;
}

void DownloadedFilesDialog::toggle(int row)
{
    if (row < 0 || row >= m_files.files().size())
        return;
    const DownloadedFile file = m_files.files().at(row);
    m_files.SetKeepFile(file.path, !file.keep);
    m_list->item(row)->setText(lineText(row));
    m_summary->setText(summary());
    if (file.document)
        Q_EMIT file.document->updateAllViews(file.keep ? CGopherXferDoc::MarkedHint
                                                       : CGopherXferDoc::KeptHint);
}

void DownloadedFilesDialog::deleteNow()
{
    m_files.DeleteMarkedFiles();
    accept();
}
