#pragma once

#include <QDialog>

class DownloadedFiles;
class QLabel;
class QListWidget;

// "Downloaded Files": one line per downloaded file, "x" when it is marked for
// deletion at exit; selecting a line keeps or marks the file.
class DownloadedFilesDialog : public QDialog
{
    Q_OBJECT

public:
    DownloadedFilesDialog(DownloadedFiles &files, QWidget *parent = nullptr);

    QListWidget *list() const { return m_list; }
    QString summary() const;
    void toggle(int row);
    void deleteNow();

    // "%d marked %s, %lu bytes"
    static QString summaryText(int marked, quint64 bytes);

private:
    QString lineText(int row) const;

    DownloadedFiles &m_files;
    QListWidget *m_list = nullptr;
    QLabel *m_summary = nullptr;
};
