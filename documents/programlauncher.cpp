#include "documents/programlauncher.h"

#include "documents/userinterface.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace ProgramLauncher {

namespace {

// Why a program given with a directory cannot be started, before trying.
int checkPath(const QString &program)
{
    const QFileInfo info(program);
    if (!info.exists())
        return QFileInfo(info.absolutePath()).isDir() ? 2 : 3;
    if (info.isDir() || !info.isExecutable())
        return 5;
    return Started;
}

} // namespace

int launch(const QStringList &arguments)
{
    if (arguments.isEmpty() || arguments.first().isEmpty())
        return 2;
    QString program = arguments.first();
    if (program.contains(u'/')) {
        const int code = checkPath(program);
        if (code != Started)
            return code;
    } else {
        const QString found = QStandardPaths::findExecutable(program);
        if (found.isEmpty())
            return 2;
        program = found;
    }
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
    case 6: return "The library required separate data segments for each task";
    case 8: return "There wasn't enough memory to start the application";
    case 10: return "Wrong version of Windows!";
    case 11: return "Either it's not a Windows program, or there is an error in the .EXE file";
    case 12: return "This application is designed for a different operating system";
    case 13: return "This is an MS-DOS 4.0 application!";
    case 14: return "We don't know what kind of executable file that is";
    case 15: return "This application is real-mode (earlier version of Windows)";
    case 16: return "You can only run ONE instance of that particular program";
    case 19: return "This application must be decompressed before it is executed";
    case 20: return "One of this application's DLLs was corrupt";
    case 21: return "This application requires 32-bit Microsoft Windows";
    default: return QByteArray();
    }
}

bool RunProgram(UserInterface *ui, const QStringList &arguments, const QByteArray &commandLine,
                const std::function<int(const QStringList &)> &launcher)
{
    const int code = launcher ? launcher(arguments) : launch(arguments);
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
