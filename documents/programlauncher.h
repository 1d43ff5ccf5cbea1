#pragma once

#include <QByteArray>
#include <QStringList>

#include <functional>

class UserInterface;

// Starts external programs (viewers, terminals) from an argument vector,
// never through a shell, and reports failures with the classic launcher
// codes: 2 the program was not found, 3 a directory on its path is missing,
// 5 it may not be executed, 0 anything else. Success is 33.
namespace ProgramLauncher {

inline constexpr int Started = 33;

int launch(const QStringList &arguments);
// The text of a failure code; empty for codes without one.
QByteArray failureText(int code);
// Launches and, on failure, shows "Couldn't run <commandLine>" with the
// code's text. Returns whether the program started.
// launcher, when given, starts the program instead of launch().
bool RunProgram(UserInterface *ui, const QStringList &arguments, const QByteArray &commandLine,
                const std::function<int(const QStringList &)> &launcher = {});

} // namespace ProgramLauncher
