#include "gplus/tablefile.h"

#include "documents/userinterface.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>

namespace {

// The texts users have always been shown for a failed file operation.
QByteArray causeText(QFileDevice::FileError error, const QString &path)
{
    switch (error) {
    case QFileDevice::NoError:
        return QByteArray("No error occurred.");
    case QFileDevice::OpenError:
        if (!QFileInfo::exists(path)) {
            return QFileInfo(QFileInfo(path).absolutePath()).isDir()
                       ? QByteArray("The file could not be located.")
                       : QByteArray("All or part of the path is invalid.");
        }
        return QByteArray("You don't have the right permission to open that file.");
    case QFileDevice::PermissionsError:
        return QByteArray("You don't have the right permission to open that file.");
    case QFileDevice::ResourceError:
        return QByteArray("The disk is full, you will have to do some cleanup first.");
    case QFileDevice::ReadError:
    case QFileDevice::WriteError:
        if (errno == ENOSPC)
            return QByteArray("The disk is full, you will have to do some cleanup first.");
        return QByteArray("There was a hardware error, probably disk.");
    default:
        return QByteArray("An unspecified error occurred.");
    }
}

} // namespace

namespace TableFile {

bool readLines(const QString &path, QList<QByteArray> &lines, QByteArray &cause)
{
    lines.clear();
    QFile file(path);
    if (path.isEmpty() || QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        cause = causeText(path.isEmpty() ? QFileDevice::OpenError : file.error(), path);
        return false;
    }
    const QByteArray all = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        cause = causeText(file.error(), path);
        return false;
    }
    qsizetype pos = 0;
    while (pos < all.size()) {
        qsizetype end = all.indexOf('\n', pos);
        if (end < 0)
            end = all.size();
        QByteArray line = all.mid(pos, end - pos);
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(line);
        pos = end + 1;
    }
    return true;
}

bool writeAtomically(const QString &path, const QByteArray &bytes, QByteArray &cause)
{
    const QString directory = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(directory)) {
        cause = QByteArray("All or part of the path is invalid.");
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        cause = causeText(file.error(), path);
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        cause = causeText(file.error() == QFileDevice::NoError ? QFileDevice::WriteError
                                                                : file.error(),
                          path);
        return false;
    }
    return true;
}

KeyValue splitKeyValue(const QByteArray &line)
{
    KeyValue kv;
    const qsizetype eq = line.indexOf('=');
    if (eq < 0) {
        kv.key = line;
        return kv;
    }
    kv.key = line.left(eq);
    const qsizetype next = line.indexOf('=', eq + 1);
    kv.value = next < 0 ? line.mid(eq + 1) : line.mid(eq + 1, next - eq - 1);
    kv.hasValue = true;
    return kv;
}

} // namespace TableFile

void EditedTable::Discard()
{
    clearEntries();
    m_loaded = false;
    m_dirty = false;
}

void EditedTable::afterDialog(bool accepted, bool changed)
{
    if (!accepted) {
        Discard();
        return;
    }
    m_dirty = changed;
    if (m_dirty)
        static_cast<void>(Save()); // a failure has been shown; the table stays dirty
}

bool EditedTable::readTable(QList<QByteArray> &lines, const char *failure)
{
    QByteArray cause;
    if (TableFile::readLines(m_path, lines, cause))
        return true;
    if (m_ui)
        m_ui->messageBox(QByteArray(failure) + m_path.toUtf8() + '\n' + cause,
                         UserInterface::Exclamation);
    return false;
}

bool EditedTable::writeTable(const QByteArray &bytes, const char *failure)
{
    QByteArray cause;
    if (!TableFile::writeAtomically(m_savePath, bytes, cause)) {
        if (m_ui)
            m_ui->messageBox(QByteArray(failure) + m_savePath.toUtf8() + '\n' + cause,
                             UserInterface::Exclamation);
        return false;
    }
    m_path = m_savePath;
    m_dirty = false;
    return true;
}

void EditedTable::showStatus(const QByteArray &text)
{
    if (m_ui)
        m_ui->setMainStatus(text);
}
