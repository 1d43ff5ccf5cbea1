#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Where the program finds its files. The settings file, which names the
// programs Tarnwick starts, comes only from the user: the configuration
// directory when one was named (-I DIR, TWK_CONFIG), otherwise the per-user
// directory ($XDG_CONFIG_HOME/tarnwick). Neither the current directory nor
// PATH is searched, so a tarnwick.ini in an unpacked archive or a download
// directory decides nothing. The shipped tables (extviews.cnf, language.cnf)
// and the manual are taken from the user's directory first, then from the
// program's own directory (the build tree) and the installed data directory.
class ProgramFiles
{
public:
    // Named with -I or TWK_CONFIG; empty when neither was given.
    QString configDirectory;
    QString userConfigDirectory;
    QString programDirectory;
    // The installed data directory (share/tarnwick beside the program's
    // bin directory): where the shipped tables are found last.
    QString dataDirectory;

    // The directories of this process: XDG_CONFIG_HOME (or ~/.config) plus
    // "tarnwick", the executable's directory and the data directory.
    static ProgramFiles forThisProcess(const QString &configDirectory,
                                       const QProcessEnvironment &env
                                       = QProcessEnvironment::systemEnvironment());

    // The user's own directory: the named one, else the per-user one.
    QString userDirectory() const;

    // The first existing file of that name in the user's directory, the
    // program's directory and the data directory; empty when there is none.
    QString FindProgramFile(const QString &name) const;
    // The settings file, tarnwick.ini, in the user's directory, whether it
    // exists yet or not; empty when no directory is known.
    QString settingsFile() const;

    // Where the user's own copy of a file is written: the user's directory.
    QString userFilePath(const QString &name) const;

    static QString makeFilePath(const QString &directory, const QString &name);
};
