#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>

#include <memory>
#include <optional>
#include <vector>

class QTcpSocket;

// A Gopher server inside the test process, on 127.0.0.1 (or ::1) and the test's own
// event loop, for what a test wants to control byte by byte: it answers a
// request from its routes (keyed by the request line without its line end),
// or with the answer for every request, and then closes, holds the
// connection open, or resets it. A request nobody answers leaves the
// connection open for the test to write to by hand, which is how replies are
// split, paused and held exactly where a test wants them.
//
//     LoopbackPeer peer;
//     QVERIFY(peer.isListening());
//     peer.route("/menu", "0About\t/about\t127.0.0.1\t70\r\n.\r\n");
//     ... gopher://127.0.0.1:peer.port()/1/menu ...
class LoopbackPeer : public QObject
{
public:
    // What follows the reply.
    enum End { Close, Hold, Reset };

    struct Connection
    {
        QPointer<QTcpSocket> socket;
        QByteArray received;   // every byte read from the client so far
        bool holding = false;  // reading is held back (holdReading)
        bool replied = false;
        bool disconnected = false;
        bool resetWhenDrained = false;
        End end = Close;
        qint64 streamBytes = 0;
        qint64 streamed = 0;
    };

    // On 127.0.0.1, or on ::1 for IPv6 (isListening() false when the machine has no IPv6 loopback).
    explicit LoopbackPeer(const QHostAddress &address = QHostAddress(QHostAddress::LocalHost));
    ~LoopbackPeer() override;
    LoopbackPeer(const LoopbackPeer &) = delete;
    LoopbackPeer &operator=(const LoopbackPeer &) = delete;

    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }

    // Answers the request line (without its line end) with reply.
    void route(const QByteArray &request, const QByteArray &reply, End end = Close);
    // Answers every request that has no route: reply, then streamBytes bytes
    // of pattern(), then end.
    void answerAll(const QByteArray &reply, End end = Close, qint64 streamBytes = 0);

    // -1: a request ends with its first LF; otherwise it is this many bytes
    // (a request followed by an upload).
    qint64 requestLength = -1;
    // New connections read nothing until releaseReading(), so the client's
    // sends block.
    bool holdReading = false;

    // The request lines (with their line ends) in order of arrival.
    QList<QByteArray> requests;
    // The connection that sent request i (from 0).
    QTcpSocket *connection(int i) const { return m_requestConnections.value(i); }

    // Connections in the order they were accepted.
    int count() const { return int(m_connections.size()); }
    Connection &at(int i) { return *m_connections.at(size_t(i)); }

    void releaseReading();
    void send(int i, const QByteArray &bytes);
    void close(int i);
    // Ends connection i with a reset instead of an orderly close: whatever the
    // peer had not sent yet is dropped.
    void reset(int i);

    // Bytes that show at once where a transfer lost, doubled or reordered
    // anything: byte k is (offset + k) mod 251.
    static QByteArray pattern(qint64 offset, qint64 length);

private:
    struct Answer
    {
        QByteArray reply;
        End end = Close;
        qint64 streamBytes = 0;
    };

    void onNewConnection();
    void onReadyRead(Connection *c);
    void answer(Connection *c, const Answer &a);
    void pump(Connection *c);
    void endReply(Connection *c);
    void onBytesWritten(Connection *c);

    QTcpServer m_server;
    QHash<QByteArray, Answer> m_routes;
    std::optional<Answer> m_answerAll;
    std::vector<std::unique_ptr<Connection>> m_connections;
    QList<QPointer<QTcpSocket>> m_requestConnections;
};
