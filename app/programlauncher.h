#pragma once

#include <QByteArray>
#include <QStringList>

class UserInterface;

// Starts external programs (terminal programs for telnet sessions) from an
// argument vector, never through a shell, and tells why one did not start
// in the classic launcher's codes: 2 no such program (on PATH or at the path
// given), 3 a folder of its path is missing, 5 it is not an executable file,
// 0 anything else. Success is 33.
namespace ProgramLauncher {

inline constexpr int Started = 33;

// Starts arguments[0] with the rest as its arguments, detached from this
// program; a name without "/" is looked up along PATH.
int launch(const QStringList &arguments);
// The text of a failure code; empty for codes without one.
QByteArray failureText(int code);
// Launches and, on failure, shows "Couldn't run <commandLine>" with the
// code's text on a line of its own. Returns whether the program started.
bool RunProgram(UserInterface *ui, const QStringList &arguments, const QByteArray &commandLine);

} // namespace ProgramLauncher
