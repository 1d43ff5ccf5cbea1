#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

class CTarnwickApp;
class UserInterface;
class QLocalServer;
class QLocalSocket;

// One running program per user: a later start with gopher URLs hands them to
// the running program over a local socket and exits. The message is small
// and framed: "TWK1", then each URL as a 32-bit big-endian length and its
// bytes, then a zero length. The running program answers one byte, ACK when
// it took the URLs, NAK when the message broke the rules.
namespace InstanceChannel {

inline constexpr QByteArrayView Magic("TWK1");
// A URL longer than this is refused whole; so is a message longer than
// MaxMessage. Any number of URLs fits under the message limit.
inline constexpr qsizetype MaxUrl = 8 * 1024;
inline constexpr qsizetype MaxMessage = 1024 * 1024;
inline constexpr char Ack = '\x06';
inline constexpr char Nak = '\x15';
// More URLs than this at once (handed over, or on the command line) open
// only after the user has agreed.
inline constexpr int MaxWindowsUnasked = 32;

// The per-user socket: "tarnwick.socket" in the user's runtime directory
// (XDG_RUNTIME_DIR, or the private one Qt makes when that is not set). A
// program started on a configuration directory of its own (-I, TWK_CONFIG)
// is one program per user and directory: "tarnwick-<hash>.socket".
QString defaultSocketPath(const QString &configDirectory = {});

// The message for these URLs; empty when it would break a limit.
QByteArray encode(const QByteArrayList &urls);

// Reads a message as its bytes arrive, in pieces of any size.
class Reader
{
public:
    enum Status { NeedMore, Done, Bad };
    Status feed(QByteArrayView bytes);
    Status status() const { return m_status; }
    const QByteArrayList &urls() const { return m_urls; }

private:
    QByteArray m_buffer;
    QByteArrayList m_urls;
    qsizetype m_total = 0;
    bool m_magicRead = false;
    Status m_status = NeedMore;
};

enum class HandOver {
    Delivered,  // the running program took the URLs
    NoServer,   // nothing listens: this start becomes the running program
    Refused,    // the running program (or the limits) refused the message
    Failed,     // something listens but did not answer
};

// Hands the URLs (none: just bring the running program forward) to the
// program listening on the socket. Blocks for at most a few seconds; meant
// for start-up, before any window exists.
HandOver handOver(const QString &socketPath, const QByteArrayList &urls, int timeoutMs = 5000);
// What the starter says when the hand-over did not work; empty for
// Delivered and NoServer.
QByteArray handOverFailureText(HandOver result, const QString &socketPath);

// How many of count windows to open: all when they are few, otherwise as
// the user answers (all, or the first MaxWindowsUnasked).
int windowsToOpen(UserInterface &ui, int count);

// Opens each handed-over URL in a new window. Each is read by ParseURL and
// nothing else; those without a host or port are refused, together, with
// "Not a gopher URL: " and the URL (cut short, control bytes shown as "?").
// More than MaxWindowsUnasked ask first (windowsToOpen). Returns the number
// of windows opened.
int openUrls(CTarnwickApp &app, const QByteArrayList &urls);

// The text of the refusal for one URL.
QByteArray refusalText(const QByteArray &url);

} // namespace InstanceChannel

// The listening side, in the running program.
class InstanceServer : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype MaxConnections = 16;

    explicit InstanceServer(QObject *parent = nullptr);
    ~InstanceServer() override;

    // Listens on the path. A socket file left by a program that ended
    // without removing it (a crash) is replaced; one that still answers is
    // not. Returns whether this program now listens. Up to MaxConnections
    // peers are served at once; a further one takes the place of the peer
    // that has waited longest, so peers that say nothing cannot lock
    // hand-overs out.
    bool listen(const QString &socketPath);
    QString socketPath() const;

Q_SIGNALS:
    // A complete message arrived (no URLs: bring the program forward).
    void urlsReceived(const QByteArrayList &urls);
    // A peer's message broke the framing or a limit; it was dropped.
    void messageRefused();

private:
    void onNewConnection();
    void onReadyRead(QLocalSocket *socket);
    // Forgets the peer; its socket goes once it is closed.
    void release(QLocalSocket *socket);

    QLocalServer *m_server;
    QHash<QLocalSocket *, InstanceChannel::Reader> m_readers;
    QList<QLocalSocket *> m_arrival;  // the peers being read, oldest first
};
