#include "tests/support/sockspeer.h"

#include <QHostAddress>
#include <QTcpSocket>

SocksPeer::SocksPeer()
{
    m_server.listen(QHostAddress(QHostAddress::LocalHost), 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            m_clients.push_back(std::make_unique<Client>(Client{socket, {}, 0}));
            Client *client = m_clients.back().get();
            socket->setParent(this);
            greetings.append(QByteArray());
            logins.append(QByteArray());
            requests.append(QByteArray());
            connect(socket, &QTcpSocket::readyRead, this, [this, client] { onReadyRead(client); });
        }
    });
}

void SocksPeer::onReadyRead(Client *client)
{
    qsizetype index = 0;
    while (m_clients[size_t(index)].get() != client)
        ++index;
    client->in += client->socket->readAll();
    for (;;) {
        QByteArray &in = client->in;
        if (client->phase == 0) {
            if (in.size() < 2 || in.size() < 2 + uchar(in[1]))
                return;
            const qsizetype length = 2 + uchar(in[1]);
            greetings[index] = in.left(length);
            in.remove(0, length);
            client->socket->write(methodReply);
            client->phase = methodReply.size() == 2 && methodReply[1] == 0x02 ? 1 : 2;
        } else if (client->phase == 1) {
            if (in.size() < 2 || in.size() < 3 + uchar(in[1])
                || in.size() < 3 + uchar(in[1]) + uchar(in[2 + uchar(in[1])]))
                return;
            const qsizetype length = 3 + uchar(in[1]) + uchar(in[2 + uchar(in[1])]);
            logins[index] = in.left(length);
            in.remove(0, length);
            client->socket->write(QByteArray("\x01\x00", 2));
            client->phase = 2;
        } else if (client->phase == 2) {
            if (in.size() < 5)
                return;
            const qsizetype length = in[3] == 1 ? 10 : in[3] == 4 ? 22 : 7 + uchar(in[4]);
            if (in.size() < length)
                return;
            requests[index] = in.left(length);
            in.remove(0, length);
            client->socket->write(reply);
            client->socket->disconnectFromHost();
            client->phase = 3;
        } else {
            return;
        }
    }
}
