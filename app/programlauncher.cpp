#include "app/programlauncher.h"

#include "docs/userinterface.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace ProgramLauncher {

int launch(const QStringList &arguments)
{
    if (arguments.isEmpty() || arguments.first().isEmpty())
        return 2;
    QString program = arguments.first();
    if (program.contains(u'/')) {
        const QFileInfo info(program);
        if (!info.exists())
            return info.absoluteDir().exists() ? 2 : 3;
        if (info.isDir() || !info.isExecutable())
            return 5;
    } else {
        program = QStandardPaths::findExecutable(program);
        if (program.isEmpty())
            return 2;
    }
    // Detached: the session outlives its window and this program.
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments.mid(1));
    process.setStandardInputFile(QProcess::nullDevice());
    return process.startDetached() ? Started : 0;
}

QByteArray failureText(int code)
{
    switch (code) {
    case 0: return "Your system is out of memory, or the executable was corrupt";
    case 2: return "The file was not found";
    case 3: return "The path was not found";
    case 5: return "There was a sharing or network protection error";
    case 8: return "There wasn't enough memory to start the application";
    default: return QByteArray();
    }
}

bool RunProgram(UserInterface *ui, const QStringList &arguments, const QByteArray &commandLine)
{
    const int code = launch(arguments);
    if (code >= 32)
        return true;
    QByteArray text = "Couldn't run " + commandLine;
    const QByteArray reason = failureText(code);
    if (!reason.isEmpty())
        text += '\n' + reason;
    if (ui)
        ui->messageBox(text, UserInterface::Exclamation);
    return false;
}

} // namespace ProgramLauncher
