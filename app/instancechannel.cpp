#include "app/instancechannel.h"

#include "app/tarnwickapp.h"
#include "documents/userinterface.h"
#include "items/bookmark.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>
#include <QtEndian>

namespace InstanceChannel {

// A peer that connects and then says nothing gives its place up after this.
constexpr int IdleTimeoutMs = 10000;

namespace {

// How much of a refused URL the message shows.
constexpr qsizetype ShownUrl = 200;
// How many refused URLs one message lists.
constexpr int ShownRefusals = 10;

void appendLength(QByteArray &out, quint32 length)
{
    char bytes[4];
    qToBigEndian(length, bytes);
    out.append(bytes, 4);
}

} // namespace

QString defaultSocketPath(const QString &configDirectory)
{
    QString directory = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (directory.isEmpty())
        return {};
    if (configDirectory.isEmpty())
        return directory + QStringLiteral("/tarnwick.socket");
    const QByteArray key = QCryptographicHash::hash(QDir(configDirectory).absolutePath().toUtf8(),
                                                    QCryptographicHash::Sha1)
                               .toHex()
                               .left(16);
    return directory + QStringLiteral("/tarnwick-") + QString::fromLatin1(key)
           + QStringLiteral(".socket");
}

QByteArray encode(const QByteArrayList &urls)
{
    QByteArray out(Magic.data(), Magic.size());
    for (const QByteArray &url : urls) {
        if (url.isEmpty() || url.size() > MaxUrl)
            return {};
        appendLength(out, quint32(url.size()));
        out += url;
        if (out.size() + 4 > MaxMessage)
            return {};
    }
    appendLength(out, 0);
    return out;
}

Reader::Status Reader::feed(QByteArrayView bytes)
{
    if (m_status != NeedMore)
        return m_status;
    m_total += bytes.size();
    if (m_total > MaxMessage)
        return m_status = Bad;
    m_buffer.append(bytes);
    if (!m_magicRead) {
        const qsizetype n = std::min(m_buffer.size(), Magic.size());
        if (QByteArrayView(m_buffer).first(n) != Magic.first(n))
            return m_status = Bad;
        if (m_buffer.size() < Magic.size())
            return m_status;
        m_buffer.remove(0, Magic.size());
        m_magicRead = true;
    }
    qsizetype at = 0;
    while (m_buffer.size() - at >= 4) {
        const quint32 length = qFromBigEndian<quint32>(m_buffer.constData() + at);
        if (length == 0) {
            // Nothing may follow the end of the message.
            m_status = m_buffer.size() - at == 4 ? Done : Bad;
            m_buffer.clear();
            return m_status;
        }
        if (length > quint32(MaxUrl))
            return m_status = Bad;
        if (m_buffer.size() - at - 4 < qsizetype(length))
            break;
        m_urls.append(m_buffer.mid(at + 4, length));
        at += 4 + length;
    }
    m_buffer.remove(0, at);
    return m_status;
}

HandOver handOver(const QString &socketPath, const QByteArrayList &urls, int timeoutMs)
{
    const QByteArray message = encode(urls);
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(timeoutMs)) {
        switch (socket.error()) {
        case QLocalSocket::ServerNotFoundError:
        case QLocalSocket::ConnectionRefusedError:
            return HandOver::NoServer;
        default:
            return HandOver::Failed;
        }
    }
    if (message.isEmpty())
        return HandOver::Refused;
    socket.write(message);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(timeoutMs))
            return HandOver::Failed;
    }
    if (socket.bytesAvailable() < 1 && !socket.waitForReadyRead(timeoutMs))
        return HandOver::Failed;
    char answer = 0;
    if (!socket.getChar(&answer))
        return HandOver::Failed;
    return answer == Ack ? HandOver::Delivered : HandOver::Refused;
}

QByteArray handOverFailureText(HandOver result, const QString &socketPath)
{
    // A second program is started only when nothing listens: one that took
    // the URLs late would open each of them twice.
    switch (result) {
    case HandOver::Delivered:
    case HandOver::NoServer:
        return {};
    case HandOver::Refused:
        return "tarnwick: the running Tarnwick refused the URLs (each may be 8 KiB long, "
               "all together 1 MiB)";
    case HandOver::Failed:
        break;
    }
    return "tarnwick: the running Tarnwick (" + QFile::encodeName(socketPath)
           + ") did not answer; nothing was opened";
}

int windowsToOpen(UserInterface &ui, int count)
{
    if (count <= MaxWindowsUnasked)
        return count;
    const QByteArray number = QByteArray::number(count);
    const int answer = ui.messageBox("Open " + number + " windows, one for each gopher URL?\n"
                                         "No opens the first "
                                         + QByteArray::number(MaxWindowsUnasked) + ".",
                                     UserInterface::Question, UserInterface::YesNo);
    return answer == UserInterface::AnswerYes ? count : MaxWindowsUnasked;
}

QByteArray refusalText(const QByteArray &url)
{
    QByteArray shown = url.left(ShownUrl);
    for (char &c : shown) {
        if (uchar(c) < 0x20 || c == '\x7f')
            c = '?';
    }
    if (url.size() > ShownUrl)
        shown += "...";
    return "Not a gopher URL: " + shown;
}

int openUrls(CTarnwickApp &app, const QByteArrayList &urls)
{
    QList<CBookmark> items;
    QByteArrayList refused;
    int refusedCount = 0;
    for (const QByteArray &url : urls) {
        CBookmark item;
        item.ParseURL(url);
        if (item.host.isEmpty() || item.port == 0) {
            if (++refusedCount <= ShownRefusals)
                refused.append(refusalText(url));
            continue;
        }
        items.append(item);
    }
    if (refusedCount > ShownRefusals)
        refused.append("... and " + QByteArray::number(refusedCount - ShownRefusals) + " more");
    if (!refused.isEmpty())
        app.ui().messageBox(refused.join('\n'), UserInterface::Exclamation);
    int opened = 0;
    const int wanted = windowsToOpen(app.ui(), int(items.size()));
    for (int i = 0; i < wanted; ++i) {
        if (app.OpenItem(items.at(i), 0, 0))
            ++opened;
    }
    return opened;
}

} // namespace InstanceChannel

InstanceServer::InstanceServer(QObject *parent) : QObject(parent), m_server(new QLocalServer(this))
{
    // No socket options: with them Qt moves a new socket over whatever is
    // at the path, a live program's socket included. The socket sits in the
    // user's private runtime directory instead.
    m_server->setSocketOptions(QLocalServer::NoOptions);
    connect(m_server, &QLocalServer::newConnection, this, &InstanceServer::onNewConnection);
}

InstanceServer::~InstanceServer()
{
    // The peers still connected go with the listening socket; nothing of
    // theirs may reach this half-destroyed object.
    for (QLocalSocket *socket : std::as_const(m_arrival))
        socket->disconnect(this);
}

void InstanceServer::release(QLocalSocket *socket)
{
    m_readers.remove(socket);
    m_arrival.removeOne(socket);
    socket->disconnect(this);
}

QString InstanceServer::socketPath() const
{
    return m_server->fullServerName();
}

bool InstanceServer::listen(const QString &socketPath)
{
    if (socketPath.isEmpty())
        return false;
    if (m_server->listen(socketPath))
        return true;
    if (m_server->serverError() != QAbstractSocket::AddressInUseError)
        return false;
    // A file is in the way. When nothing answers on it, it is what a crashed
    // program left behind.
    QLocalSocket probe;
    probe.connectToServer(socketPath);
    if (probe.waitForConnected(1000))
        return false;
    QLocalServer::removeServer(socketPath);
    return m_server->listen(socketPath);
}

void InstanceServer::onNewConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        if (m_arrival.size() >= MaxConnections) {
            // The peer that has waited longest makes room.
            QLocalSocket *oldest = m_arrival.first();
            release(oldest);
            oldest->abort();
            oldest->deleteLater();
        }
        m_readers.insert(socket, InstanceChannel::Reader());
        m_arrival.append(socket);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            release(socket);
            socket->deleteLater();
        });
        QTimer::singleShot(InstanceChannel::IdleTimeoutMs, socket, [socket] { socket->abort(); });
        onReadyRead(socket);
    }
}

void InstanceServer::onReadyRead(QLocalSocket *socket)
{
    auto reader = m_readers.find(socket);
    if (reader == m_readers.end())
        return;
    const QByteArray bytes = socket->readAll();
    const InstanceChannel::Reader::Status status = reader->feed(bytes);
    if (status == InstanceChannel::Reader::NeedMore)
        return;
    const QByteArrayList urls = reader->urls();
    // The peer gets its answer before the windows open: opening many may
    // take a while or ask the user something, and the peer must not give
    // up waiting meanwhile. So the byte leaves now, not when the event
    // loop next looks at the socket.
    release(socket);
    socket->write(QByteArray(1, status == InstanceChannel::Reader::Done ? InstanceChannel::Ack
                                                                        : InstanceChannel::Nak));
    socket->flush();
    socket->disconnectFromServer();
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (socket->state() == QLocalSocket::UnconnectedState)
        socket->deleteLater();
    if (status == InstanceChannel::Reader::Done)
        Q_EMIT urlsReceived(urls);
    else
        Q_EMIT messageRefused();
}
