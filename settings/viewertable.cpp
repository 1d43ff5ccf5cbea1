#include "settings/viewertable.h"

#include "settings/profilefile.h"
#include "settings/settingkeys.h"

#include <QMimeDatabase>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

namespace Keys = SettingKeys;

std::function<void(const QString &, QObject *, ViewerTable::ViewerFound)>
    ViewerTable::associatedProgram =
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

void ViewerTable::FindViewer(ProfileFile &file, const QByteArray &extension, const QString &path,
                             EditViewers editViewers, QObject *context, ViewerFound found)
{
    {
        const ViewerTable table(file);
        if (table.HasViewer(extension)) {
            const QByteArray program = table.GetViewer(extension);
            found(program);
            return;
        }
    }
    auto askUser = [&file, extension, editViewers, found](const QByteArray &associated) {
        if (!associated.isEmpty()) {
            found(associated);
            return;
        }
        QByteArray chosen;
        {
            // Written back (when the dialog changed it) as the table goes.
            ViewerTable table(file);
            if (editViewers && editViewers(table, extension))
                chosen = table.GetViewer(extension);
            else
                table.setModified(false);
        }
        found(chosen);
    };
    if (associatedProgram)
        associatedProgram(path, context, askUser);
    else
        askUser(QByteArray());
}

void ViewerTable::desktopAssociatedProgram(const QString &path, QObject *context, ViewerFound found)
{
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    const QString query = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (opener.isEmpty() || query.isEmpty()) {
        found(QByteArray());
        return;
    }
    const QString type = QMimeDatabase().mimeTypeForFile(path).name();
    // A local query of the desktop's configuration (a shell script reading
    // its files): short, but the window goes on while it runs, and it is
    // given up after three seconds.
    auto *process = new QProcess;
    auto *limit = new QTimer(process);
    limit->setSingleShot(true);
    QObject::connect(limit, &QTimer::timeout, process, [process] { process->kill(); });
    const QPointer<QObject> guard(context);
    const bool guarded = context != nullptr;
    auto finish = [process, guard, guarded, found](bool associated) {
        process->disconnect();
        process->deleteLater();
        if (guarded && !guard)
            return;
        found(associated ? QByteArray("xdg-open") : QByteArray());
    };
    QObject::connect(process, &QProcess::finished, process,
                     [process, finish](int code, QProcess::ExitStatus status) {
                         finish(status == QProcess::NormalExit && code == 0
                                && !process->readAllStandardOutput().trimmed().isEmpty());
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [finish](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart)
                             finish(false);
                     });
    process->start(query, {QStringLiteral("query"), QStringLiteral("default"), type});
    limit->start(3000);
}
