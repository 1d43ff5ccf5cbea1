#include "app/viewertable.h"

#include "app/profilefile.h"
#include "app/settingkeys.h"
#include "docs/userinterface.h"

#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>

namespace Keys = SettingKeys;

std::function<QByteArray(const QString &)> ViewerTable::associatedProgram =
    &ViewerTable::desktopAssociatedProgram;

ViewerTable::ViewerTable(ProfileFile &file) : m_file(file)
{
    const int count = Setting(Keys::ViewerCount).number(m_file);
    for (int i = 0; i < count; ++i) {
        m_viewers.insert(Setting(Keys::ViewerExtension, i).text(m_file),
                         Setting(Keys::ViewerProgram, i).text(m_file));
    }
    m_modified = false;
}

ViewerTable::~ViewerTable()
{
    // Released without anyone to tell: a failed write leaves the old section.
    static_cast<void>(save());
}

void ViewerTable::SetViewer(const QByteArray &extension, const QByteArray &program)
{
    m_viewers.insert(extension, program);
    m_modified = true;
}

void ViewerTable::RemoveViewer(const QByteArray &extension)
{
    if (m_viewers.remove(extension))
        m_modified = true;
}

void ViewerTable::ReplaceViewer(const QByteArray &extension, const QByteArray &program)
{
    RemoveViewer(extension);
    SetViewer(extension, program);
}

QList<QByteArray> ViewerTable::lines() const
{
    QList<QByteArray> out;
    for (auto it = m_viewers.cbegin(); it != m_viewers.cend(); ++it)
        out.append(it.key() + '\t' + it.value());
    return out;
}

bool ViewerTable::save()
{
    if (!m_modified)
        return true;
    ProfileFile::Edit edit(m_file);
    bool ok = Setting(Keys::ViewerCount).setNumber(m_file, int(m_viewers.size()));
    int i = 0;
    for (auto it = m_viewers.cbegin(); it != m_viewers.cend(); ++it, ++i) {
        ok = Setting(Keys::ViewerExtension, i).setText(m_file, it.key()) && ok;
        ok = Setting(Keys::ViewerProgram, i).setText(m_file, it.value()) && ok;
    }
    if (!ok) {
        edit.cancel();
        return false;
    }
    if (!edit.commit())
        return false;
    m_modified = false;
    return true;
}

QByteArray ViewerTable::FindViewer(const QByteArray &extension, const QString &path,
                                   UserInterface *ui)
{
    if (HasViewer(extension))
        return GetViewer(extension);
    if (associatedProgram) {
        const QByteArray program = associatedProgram(path);
        if (!program.isEmpty())
            return program;
    }
    if (!ui || !ui->editViewers(*this, extension)) {
        m_modified = false;
        return QByteArray();
    }
    return GetViewer(extension);
}

QByteArray ViewerTable::desktopAssociatedProgram(const QString &path)
{
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    const QString query = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (opener.isEmpty() || query.isEmpty())
        return QByteArray();
    const QString type = QMimeDatabase().mimeTypeForFile(path).name();
    // A short local query of the desktop's configuration, not the network.
    QProcess process;
    process.start(query, {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(1000);
        return QByteArray();
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0
        || process.readAllStandardOutput().trimmed().isEmpty())
        return QByteArray();
    return "xdg-open";
}
