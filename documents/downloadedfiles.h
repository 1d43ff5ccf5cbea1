#pragma once

#include <QList>
#include <QPointer>
#include <QString>

class CGopherXferDoc;

// A file this program downloaded. Marked files (keep false) are deleted when
// the program exits.
struct DownloadedFile
{
    QString path;
    bool keep = false;
    QPointer<CGopherXferDoc> document;
};

// The application's list of downloaded files, in order of addition; no two
// records share a path.
class DownloadedFiles
{
public:
    // Appends a record, marked unless keep is set; a path listed already
    // gets the new document (and is kept when keep is set).
    void AddDownloadedFile(CGopherXferDoc *document, const QString &path, bool keep = false);
    // Forgets the record of a download that did not complete.
    void RemoveDownloadedFile(const CGopherXferDoc *document);
    // The document's file went under another name.
    void MoveDownloadedFile(const CGopherXferDoc *document, const QString &path);
    void SetKeepFile(const QString &path, bool keep);
    // Closes the documents of marked files, deletes the files from disk and
    // drops their records; kept files stay listed. A download still under
    // way has no file under its name yet: its document is closed, and that
    // is all.
    void DeleteMarkedFiles();
    // Forgets every record, touching no file.
    void FreeDownloadedFiles();

    const QList<DownloadedFile> &files() const { return m_files; }
    const DownloadedFile *find(const QString &path) const;
    // Number of marked records and the size of those that exist on disk.
    int markedCount() const;
    quint64 markedBytes() const;

    // The headless mode downloads under generated names into its own
    // directory, whatever the settings say.
    void setDirectoryOverride(const QString &directory) { m_directoryOverride = directory; }
    QString directoryOverride() const { return m_directoryOverride; }

private:
    QList<DownloadedFile> m_files;
    QString m_directoryOverride;
};
