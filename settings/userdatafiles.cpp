#include "settings/userdatafiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QStandardPaths>

namespace {

// The XDG base directory named by the variable; a relative path is no
// valid setting and is ignored (XDG Base Directory Specification).
QString baseDirectory(const QProcessEnvironment &env, const QString &variable,
                      const QString &underHome, const QString &underTestHome)
{
    if (QStandardPaths::isTestModeEnabled())
        return QDir::homePath() + QStringLiteral("/.qttest/") + underTestHome;
    const QString set = env.value(variable);
    if (!set.isEmpty() && QDir::isAbsolutePath(set))
        return set;
    const QString home = env.value(QStringLiteral("HOME"), QDir::homePath());
    return home + QLatin1Char('/') + underHome;
}

QString fileName(const QString &name, const QString &configDirectory)
{
    if (configDirectory.isEmpty())
        return name;
    const QByteArray key = QCryptographicHash::hash(QDir(configDirectory).absolutePath().toUtf8(),
                                                    QCryptographicHash::Sha1)
                               .toHex()
                               .left(16);
    return name + QLatin1Char('-') + QString::fromLatin1(key);
}

} // namespace

namespace UserDataFiles {

QString historyFile(const QString &configDirectory, const QProcessEnvironment &env)
{
    return baseDirectory(env, QStringLiteral("XDG_DATA_HOME"), QStringLiteral(".local/share"),
                         QStringLiteral("share"))
           + QStringLiteral("/tarnwick/") + fileName(QStringLiteral("history"), configDirectory);
}

QString sessionFile(const QString &configDirectory, const QProcessEnvironment &env)
{
    return baseDirectory(env, QStringLiteral("XDG_STATE_HOME"), QStringLiteral(".local/state"),
                         QStringLiteral("state"))
           + QStringLiteral("/tarnwick/") + fileName(QStringLiteral("session"), configDirectory);
}

} // namespace UserDataFiles
