#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Where the program looks for its files (the settings file, the help file,
// the extended-views and language files): the configuration directory, the
// current directory, the per-user configuration directory, the program's own
// directory, then PATH. A new settings file goes to the configuration
// directory when one was named, otherwise to the per-user directory.
class ProgramFiles
{
public:
    QString configDirectory;
    QString currentDirectory;
    QString userConfigDirectory;
    QString programDirectory;
    // The installed data directory (share/tarnwick beside the program's
    // bin directory): where the shipped tables are found last.
    QString dataDirectory;
    QString pathVariable;

    // The directories of this process: current directory, XDG_CONFIG_HOME (or
    // ~/.config) plus "tarnwick", the executable's directory and PATH.
    static ProgramFiles forThisProcess(const QString &configDirectory,
                                       const QProcessEnvironment &env
                                       = QProcessEnvironment::systemEnvironment());

    // The configuration directory named by TWK_CONFIG, replaced by "-I DIR"
    // (or "-IDIR") on the command line.
    static QString configDirectoryFrom(const QStringList &arguments,
                                       const QProcessEnvironment &env);

    // The first existing file of that name; otherwise where a new one goes.
    // Empty only when no directory at all is known.
    QString FindProgramFile(const QString &name) const;
    // The settings file, tarnwick.ini: found as above, or where a new one goes.
    QString settingsFile() const;

    // Where the user's own copy of a file is written: the configuration
    // directory when one was named, otherwise the per-user directory.
    QString userFilePath(const QString &name) const;

    static QString makeFilePath(const QString &directory, const QString &name);
};
