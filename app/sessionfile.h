#pragma once

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QString>

class CTarnwickDoc;

// One document window of a session: what it showed and where it stood.
struct SessionWindow
{
    enum class State { Normal, Maximized, Minimized };

    // "home", "directory", "text", "search", "phone", "telnet" or "ask".
    QByteArray kind;
    QByteArray url;
    QByteArray title;
    QRect geometry;
    State state = State::Normal;
    bool active = false;
    // The home gopher a home window was opened on (1 or 2).
    int homeServer = 0;

    bool operator==(const SessionWindow &) const = default;

    // The kind of window a document's session entry names; empty for windows
    // that are not reopened (downloads, attribute fetches, the answers of a
    // form, which would be sent again).
    static QByteArray kindOf(const CTarnwickDoc *document);
};

// The windows open when the program last ended, in a file of the XDG state
// directory, written in one atomic replacement. One line per window, in the
// order they were opened: "window", kind, state, active (1 or 0),
// "x,y,width,height", home server, URL and title, TAB-separated with the
// history's escapes.
namespace SessionFile {

[[nodiscard]] bool write(const QString &path, const QList<SessionWindow> &windows,
                         QString *error = nullptr);
// The windows of the file; lines that do not read are skipped, and a missing
// file is an empty session.
QList<SessionWindow> read(const QString &path);
// No session to reopen (the option is off).
void remove(const QString &path);

QByteArray format(const QList<SessionWindow> &windows);
QList<SessionWindow> parse(QByteArrayView text);

} // namespace SessionFile
