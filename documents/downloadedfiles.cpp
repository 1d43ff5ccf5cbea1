#include "documents/downloadedfiles.h"

#include "documents/gopherxferdoc.h"

#include <QFile>
#include <QFileInfo>

void DownloadedFiles::AddDownloadedFile(CGopherXferDoc *document, const QString &path, bool keep)
{
    for (DownloadedFile &file : m_files) {
        if (file.path == path) {
            file.document = document;
            file.keep = file.keep || keep;
            return;
        }
    }
    m_files.append(DownloadedFile{path, keep, document});
}

void DownloadedFiles::RemoveDownloadedFile(const CGopherXferDoc *document)
{
    if (!document)
        return;
    m_files.removeIf([document](const DownloadedFile &file) { return file.document == document; });
}

void DownloadedFiles::MoveDownloadedFile(const CGopherXferDoc *document, const QString &path)
{
    for (DownloadedFile &file : m_files) {
        if (file.document == document)
            file.path = path;
    }
}

void DownloadedFiles::SetKeepFile(const QString &path, bool keep)
{
    for (DownloadedFile &file : m_files) {
        if (file.path == path)
            file.keep = keep;
    }
}

void DownloadedFiles::DeleteMarkedFiles()
{
    // Closing a document may run code that looks at the list: work on a copy
    // of the marked records and drop them afterwards.
    QList<DownloadedFile> marked;
    QList<DownloadedFile> kept;
    for (const DownloadedFile &file : std::as_const(m_files))
        (file.keep ? kept : marked).append(file);
    m_files = kept;
    for (const DownloadedFile &file : std::as_const(marked)) {
        const bool underWay = file.document && !file.document->isComplete();
        if (file.document)
            file.document->OnCloseDocument();
        if (underWay)
            continue;
        // Only a file the download made: a path the user pointed at a
        // device or a directory is never removed.
        const QFileInfo info(file.path);
        if (info.isSymLink() || info.isFile())
            QFile::remove(file.path);
    }
}

void DownloadedFiles::FreeDownloadedFiles()
{
    m_files.clear();
}

const DownloadedFile *DownloadedFiles::find(const QString &path) const
{
    for (const DownloadedFile &file : m_files) {
        if (file.path == path)
            return &file;
    }
    return nullptr;
}

int DownloadedFiles::markedCount() const
{
    int count = 0;
    for (const DownloadedFile &file : m_files)
        count += file.keep ? 0 : 1;
    return count;
}

quint64 DownloadedFiles::markedBytes() const
{
    quint64 bytes = 0;
    for (const DownloadedFile &file : m_files) {
        const QFileInfo info(file.path);
        if (!file.keep && info.exists())
            bytes += quint64(info.size());
    }
    return bytes;
}
