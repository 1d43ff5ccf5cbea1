#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// Command lines of viewer and terminal programs as the user writes them in
// the settings file, split into an argument vector the way a POSIX shell
// splits words, but with nothing else a shell does: no variables, no globs,
// no redirection, no command separators. Programs are then started from the
// vector, so nothing a server sends can ever reach a shell.
namespace CommandLine {

// Splits at unquoted blanks and tabs. Inside single quotes every character is
// literal; inside double quotes a backslash escapes only '"', '\\', '$' and
// '`'; outside quotes a backslash makes the next character literal. Quotes
// join with what touches them ('a'"b"c is one argument abc); an empty pair of
// quotes is an empty argument. Returns none for an unterminated quote or a
// trailing backslash.
std::optional<QStringList> split(QStringView line);

// The reverse for display: each argument quoted only when it has to be, so
// that split(join(x)) == x.
QString join(const QStringList &arguments);

} // namespace CommandLine
