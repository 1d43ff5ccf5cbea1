#pragma once

#include <QByteArray>
#include <QStringList>

// Starts an external program (a terminal for a telnet session) from an
// argument vector, never through a shell, and tells why it could not.
namespace ProgramLauncher {

// Why a program did not start, in the classic launcher's codes.
enum Failure {
    NotStarted = 0,     // the program exists but could not be started
    FileNotFound = 2,   // no such program (on PATH or at the path given)
    PathNotFound = 3,   // a folder of the program's path is missing
    AccessDenied = 5,   // not an executable file
};

struct Result
{
    bool started = false;
    int code = NotStarted;
};

// Starts arguments[0] with the rest as its arguments, detached from this
// program. A name without "/" is looked up along PATH.
[[nodiscard]] Result start(const QStringList &arguments);

// "Couldn't run " + the command line, a line feed and the text for the code.
QByteArray failureMessage(const QByteArray &commandLine, int code);

} // namespace ProgramLauncher
