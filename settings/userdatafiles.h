#pragma once

#include <QProcessEnvironment>
#include <QString>

// Where the program keeps what grows with use, outside the settings file:
// the history under the XDG data directory ($XDG_DATA_HOME, else
// ~/.local/share) and the last session under the XDG state directory
// ($XDG_STATE_HOME, else ~/.local/state), each in "tarnwick/". A start on a
// configuration directory of its own (-I, TWK_CONFIG) is a program apart and
// keeps files of its own, named after that directory. With Qt's test mode on,
// both lie under ~/.qttest, so a test never touches a user's files.
namespace UserDataFiles {

QString historyFile(const QString &configDirectory,
                    const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());
QString sessionFile(const QString &configDirectory,
                    const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());

} // namespace UserDataFiles
