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

QString ProgramFiles::userDirectory() const
{
    return configDirectory.isEmpty() ? userConfigDirectory : configDirectory;
}

QString ProgramFiles::settingsFile() const
{
    return makeFilePath(userDirectory(), QStringLiteral("tarnwick.ini"));
}

ProgramFiles ProgramFiles::forThisProcess(const QString &configDirectory,
                                          const QProcessEnvironment &env)
{
    ProgramFiles files;
    files.configDirectory = configDirectory;
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
    return files;
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
    for (const QString &dir : {userDirectory(), programDirectory, dataDirectory}) {
        const QString candidate = makeFilePath(dir, name);
        if (fileExists(candidate))
            return candidate;
    }
    return {};
}

QString ProgramFiles::userFilePath(const QString &name) const
{
    return makeFilePath(userDirectory(), name);
}
