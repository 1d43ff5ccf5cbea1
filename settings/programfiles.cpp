#include "settings/programfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

bool fileExists(const QString &path)
{
    return !path.isEmpty() && QFileInfo::exists(path);
}

} // namespace

QString ProgramFiles::settingsFile() const
{
    const QString found = FindProgramFile(QStringLiteral("tarnwick.ini"));
    return found.isEmpty() ? QStringLiteral("tarnwick.ini") : found;
}

ProgramFiles ProgramFiles::forThisProcess(const QString &configDirectory,
                                          const QProcessEnvironment &env)
{
    ProgramFiles files;
    files.configDirectory = configDirectory;
    files.currentDirectory = QDir::currentPath();
    QString configHome = env.value(QStringLiteral("XDG_CONFIG_HOME"));
    if (configHome.isEmpty() && !env.value(QStringLiteral("HOME")).isEmpty())
        configHome = env.value(QStringLiteral("HOME")) + QStringLiteral("/.config");
    if (!configHome.isEmpty())
        files.userConfigDirectory = configHome + QStringLiteral("/tarnwick");
    if (QCoreApplication::instance()) {
        files.programDirectory = QCoreApplication::applicationDirPath();
        const QString data = QDir::cleanPath(files.programDirectory
                                             + QStringLiteral("/../share/tarnwick"));
        if (QFileInfo(data).isDir())
            files.dataDirectory = data;
    }
#ifdef TWK_INSTALL_DATADIR
    // A program moved out of its prefix (or a link to it elsewhere) still
    // finds the tables where they were installed.
    if (files.dataDirectory.isEmpty() && QFileInfo(QStringLiteral(TWK_INSTALL_DATADIR)).isDir())
        files.dataDirectory = QStringLiteral(TWK_INSTALL_DATADIR);
#endif
    files.pathVariable = env.value(QStringLiteral("PATH"));
    return files;
}

QString ProgramFiles::configDirectoryFrom(const QStringList &arguments,
                                          const QProcessEnvironment &env)
{
    QString directory = env.value(QStringLiteral("TWK_CONFIG"));
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (arg == QLatin1String("-I")) {
            if (i + 1 < arguments.size())
                directory = arguments.at(i + 1);
            break;
        }
        if (arg.startsWith(QLatin1String("-I"))) {
            directory = arg.mid(2).section(QLatin1Char(' '), 0, 0).section(QLatin1Char('\t'), 0, 0);
            break;
        }
    }
    return directory;
}

QString ProgramFiles::makeFilePath(const QString &directory, const QString &name)
{
    if (directory.isEmpty())
        return {};
    QString d = directory;
    if (d.endsWith(QLatin1Char('/')) && fileExists(d + name))
        return d + name;
    if (!QFileInfo(d).isDir() && QFileInfo::exists(d)) {
        const qsizetype slash = d.lastIndexOf(QLatin1Char('/'));
        if (slash < 0)
            return {};
        d = d.left(slash);
    }
    if (d.endsWith(QLatin1Char('/')))
        d.chop(1);
    return d + QLatin1Char('/') + name;
}

QString ProgramFiles::FindProgramFile(const QString &name) const
{
    if (currentDirectory.isEmpty() && userConfigDirectory.isEmpty() && programDirectory.isEmpty())
        return {};

    QString onPath;
    for (const QString &entry : pathVariable.split(QLatin1Char(':'))) {
        if (entry.isEmpty())
            break;
        const QString candidate = entry.endsWith(QLatin1Char('/'))
                                      ? QString(entry + name)
                                      : QString(entry + QLatin1Char('/') + name);
        if (fileExists(candidate)) {
            onPath = candidate;
            break;
        }
    }
    for (const QString &dir : {configDirectory, currentDirectory, userConfigDirectory,
                               programDirectory, dataDirectory}) {
        const QString candidate = makeFilePath(dir, name);
        if (fileExists(candidate))
            return candidate;
    }
    if (!onPath.isEmpty())
        return onPath;
    // A directory the user named is where a new file belongs.
    if (!configDirectory.isEmpty())
        return makeFilePath(configDirectory, name);
    if (!userConfigDirectory.isEmpty())
        return makeFilePath(userConfigDirectory, name);
    return makeFilePath(programDirectory, name);
}

QString ProgramFiles::userFilePath(const QString &name) const
{
    if (!configDirectory.isEmpty())
        return makeFilePath(configDirectory, name);
    if (!userConfigDirectory.isEmpty())
        return makeFilePath(userConfigDirectory, name);
    return makeFilePath(programDirectory, name);
}
