#include "tests/support/loopbackpeer.h"

#include <QHostAddress>
#include <QTcpSocket>

#include <sys/socket.h>

LoopbackPeer::LoopbackPeer(const QHostAddress &address)
{
    connect(&m_server, &QTcpServer::newConnection, this, &LoopbackPeer::onNewConnection);
    m_server.listen(address, 0);
}

LoopbackPeer::~LoopbackPeer()
{
    // A socket still open says "disconnected" while it is destroyed; its
    // record must not be gone by then. A test that failed half-way leaves
    // such sockets behind.
    for (const auto &c : m_connections) {
        if (QTcpSocket *s = c->socket) {
            s->disconnect(this);
            delete s;
        }
    }
    m_connections.clear();
    m_server.close();
}

void LoopbackPeer::route(const QByteArray &request, const QByteArray &reply, End end)
{
    m_routes.insert(request, {reply, end, 0});
}

void LoopbackPeer::answerAll(const QByteArray &reply, End end, qint64 streamBytes)
{
    m_answerAll = Answer {reply, end, streamBytes};
}

void LoopbackPeer::releaseReading()
{
    for (auto &c : m_connections) {
        if (!c->holding)
            continue;
        c->holding = false;
        if (c->socket)
            c->socket->setReadBufferSize(0);
        onReadyRead(c.get());
    }
}

void LoopbackPeer::send(int i, const QByteArray &bytes)
{
    if (QTcpSocket *s = at(i).socket)
        s->write(bytes);
}

void LoopbackPeer::close(int i)
{
    if (QTcpSocket *s = at(i).socket)
        s->disconnectFromHost();
}

void LoopbackPeer::reset(int i)
{
    QTcpSocket *s = at(i).socket;
    if (!s)
        return;
    // A zero linger time turns the close into a reset.
    const linger hard {1, 0};
    ::setsockopt(int(s->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    s->abort();
    at(i).disconnected = true;
}

QByteArray LoopbackPeer::pattern(qint64 offset, qint64 length)
{
    QByteArray bytes(length, Qt::Uninitialized);
    for (qint64 k = 0; k < length; ++k)
        bytes[k] = char((offset + k) % 251);
    return bytes;
}

void LoopbackPeer::onNewConnection()
{
    while (QTcpSocket *s = m_server.nextPendingConnection()) {
        auto c = std::make_unique<Connection>();
        Connection *raw = c.get();
        raw->socket = s;
        if (holdReading) {
            raw->holding = true;
            s->setReadBufferSize(1);
        }
        connect(s, &QTcpSocket::readyRead, this, [this, raw] { onReadyRead(raw); });
        connect(s, &QTcpSocket::bytesWritten, this, [this, raw] { onBytesWritten(raw); });
        connect(s, &QTcpSocket::disconnected, this, [raw] {
            if (!raw->holding && raw->socket && raw->socket->isOpen())
                raw->received += raw->socket->readAll();
            raw->disconnected = true;
        });
        m_connections.push_back(std::move(c));
    }
}

void LoopbackPeer::onReadyRead(Connection *c)
{
    if (c->holding || !c->socket)
        return;
    const qsizetype before = c->received.size();
    c->received += c->socket->readAll();
    if (c->replied)
        return;
    const qsizetype lineEnd = c->received.indexOf('\n', before);
    const bool complete = requestLength >= 0 ? c->received.size() >= requestLength : lineEnd >= 0;
    if (!complete)
        return;
    c->replied = true;
    const qsizetype firstLineEnd = c->received.indexOf('\n');
    const QByteArray request = firstLineEnd >= 0 ? c->received.left(firstLineEnd + 1)
                                                 : c->received.left(requestLength);
    requests.append(request);
    m_requestConnections.append(c->socket);
    QByteArray key = request;
    key.chop(key.endsWith("\r\n") ? 2 : key.endsWith('\n') ? 1 : 0);
    const auto it = m_routes.constFind(key);
    if (it != m_routes.constEnd())
        answer(c, *it);
    else if (m_answerAll)
        answer(c, *m_answerAll);
}

void LoopbackPeer::answer(Connection *c, const Answer &a)
{
    c->end = a.end;
    c->streamBytes = a.streamBytes;
    if (!a.reply.isEmpty())
        c->socket->write(a.reply);
    if (c->streamBytes > 0)
        pump(c);
    else
        endReply(c);
}

void LoopbackPeer::pump(Connection *c)
{
    QTcpSocket *s = c->socket;
    while (s && s->state() == QAbstractSocket::ConnectedState && c->streamed < c->streamBytes
           && s->bytesToWrite() < 512 * 1024) {
        const qint64 n = qMin<qint64>(64 * 1024, c->streamBytes - c->streamed);
        s->write(pattern(c->streamed, n));
        c->streamed += n;
    }
    if (c->streamed == c->streamBytes)
        endReply(c);
}

void LoopbackPeer::endReply(Connection *c)
{
    switch (c->end) {
    case Close:
        c->socket->disconnectFromHost();
        break;
    case Reset:
        // Everything written reaches the kernel first.
        c->resetWhenDrained = true;
        onBytesWritten(c);
        break;
    case Hold:
        break;
    }
}

void LoopbackPeer::onBytesWritten(Connection *c)
{
    QTcpSocket *s = c->socket;
    if (!s)
        return;
    if (c->replied && c->streamed < c->streamBytes)
        pump(c);
    if (c->resetWhenDrained && s->bytesToWrite() == 0) {
        c->resetWhenDrained = false;
        for (size_t i = 0; i < m_connections.size(); ++i) {
            if (m_connections[i].get() == c)
                reset(int(i));
        }
    }
}
