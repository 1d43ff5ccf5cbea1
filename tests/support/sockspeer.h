#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTcpServer>

#include <memory>
#include <vector>

class QTcpSocket;

// A SOCKS5 proxy inside the test process, on 127.0.0.1, that answers from a
// script instead of connecting anywhere: for the replies a real proxy gives
// only when the network fails (refusals, unreachable hosts) and for replies
// no proxy should give. It records what each client asked for.
class SocksPeer : public QObject
{
public:
    SocksPeer();

    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }

    // The answer to the greeting; "\x05\x02" asks for a user and password
    // (then accepted with "\x01\x00").
    QByteArray methodReply = QByteArray("\x05\x00", 2);
    // The answer to the connect request; then the connection is closed.
    QByteArray reply;

    // Per connection, in order: the greeting, the login (empty without
    // one) and the connect request, as received.
    QList<QByteArray> greetings;
    QList<QByteArray> logins;
    QList<QByteArray> requests;

private:
    struct Client
    {
        QTcpSocket *socket = nullptr;
        QByteArray in;
        int phase = 0;
    };
    void onReadyRead(Client *client);

    QTcpServer m_server;
    std::vector<std::unique_ptr<Client>> m_clients;
};
