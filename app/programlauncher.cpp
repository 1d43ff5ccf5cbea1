#include "app/programlauncher.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace ProgramLauncher {

Result start(const QStringList &arguments)
{
    Result result;
    if (arguments.isEmpty() || arguments.first().isEmpty()) {
        result.code = FileNotFound;
        return result;
    }
    QString program = arguments.first();
    if (program.contains(u'/')) {
        const QFileInfo info(program);
        if (!info.exists()) {
            result.code = info.absoluteDir().exists() ? FileNotFound : PathNotFound;
            return result;
        }
        if (info.isDir() || !info.isExecutable()) {
            result.code = AccessDenied;
            return result;
        }
    } else {
        const QString found = QStandardPaths::findExecutable(program);
        if (found.isEmpty()) {
            result.code = FileNotFound;
            return result;
        }
        program = found;
    }
    // Detached: the session outlives its window and this program.
    result.started = QProcess::startDetached(program, arguments.mid(1));
    result.code = result.started ? 32 : NotStarted;
    return result;
}

QByteArray failureMessage(const QByteArray &commandLine, int code)
{
    QByteArray text = QByteArray("Couldn't run ") + commandLine;
    const char *cause = nullptr;
    switch (code) {
    case NotStarted: cause = "Your system is out of memory, or the executable was corrupt"; break;
    case FileNotFound: cause = "The file was not found"; break;
    case PathNotFound: cause = "The path was not found"; break;
    case AccessDenied: cause = "There was a sharing or network protection error"; break;
    default: break;
    }
    if (cause)
        text += QByteArray("\n") + cause;
    return text;
}

} // namespace ProgramLauncher
