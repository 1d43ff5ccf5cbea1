#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// A command line of the settings file (a viewer, the telnet program) turned
// into an argument vector the way a POSIX shell splits words, without a
// shell: blanks separate arguments; '...' keeps everything literally; "..."
// keeps everything but lets a backslash escape ", \, $ and `; a backslash
// outside quotes escapes the next character. Nothing is expanded or run.
namespace CommandLine {

// The arguments, or nothing when a quote is left open or the line ends in
// a lone backslash.
std::optional<QStringList> split(QStringView line);

// One line that split() turns back into exactly these arguments; an argument
// that needs it is put in single quotes.
QString join(const QStringList &arguments);

} // namespace CommandLine
