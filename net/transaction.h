#pragma once

#include "items/bookmark.h"
#include "net/connectioninfo.h"
#include "net/proxysetting.h"
#include "net/transport.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>

#include <memory>
#include <optional>

#include <netinet/in.h>
#include <sys/socket.h>

class QSocketNotifier;

// One network exchange: connect to the item's host and port, send the
// request (optionally followed by a local file), receive the reply.
class CTransaction
{
public:
    enum State {
        Created = 0,
        Receiving = 2,
        Sending = 3,
        Sent = 4,
        Closed = 5,
        Failed = 6,
        Cancelled = 7,
        SendBlocked = 8,
    };
    // Which socket events the transaction asks for, in the classic event bits.
    enum EventMask { NoEvents = 0, ReadEvents = 1 | 32, WriteEvents = 2, ConnectEvents = 16 };

    // Takes a copy of the document's item and makes the socket; state Failed
    // (with lastError) when no socket could be made.
    explicit CTransaction(const CBookmark &documentItem);
    ~CTransaction();
    CTransaction(const CTransaction &) = delete;
    CTransaction &operator=(const CTransaction &) = delete;

    // Sends what is pending; returns the result of the last send call. An
    // upload file that cannot be read ends it in state Failed with
    // uploadFailure saying why.
    qint64 SendPending();
    // Aims the transaction at an IPv4 or IPv6 address on the item's port (or
    // the port given: a proxy's). A socket of the other family is replaced
    // under the same descriptor number, so the notifiers, the maps and the
    // transport that know it stay right; false (with lastError) when no
    // socket of that family could be made.
    [[nodiscard]] bool setDestination(const QHostAddress &address, quint16 port = 0);
    const sockaddr *destination() const { return reinterpret_cast<const sockaddr *>(&m_destination); }
    socklen_t destinationLength() const { return m_destinationLength; }

    // Text sent as lines ended by a "." line: every line beginning with "."
    // gets a second one (the usual rule of such text, RFC 1436). atLineStart
    // says whether the text begins a line, and is left saying whether the
    // next text will.
    static QByteArray dotStuffed(QByteArrayView text, bool *atLineStart);

    // Receives at most one buffer of bytes.
    QByteArray ReceiveChunk();
    void Close();

    // Which notifications are requested; the engine owns the notifiers.
    void setEvents(int mask);
    int events() const { return m_events; }
    void setNotifiers(QSocketNotifier *read, QSocketNotifier *write);
    // Holds the notifications back while the document works on a chunk, so
    // that an event loop the document runs (a message box) cannot hand it
    // the next chunk before it has finished with this one.
    void suspendEvents();
    void resumeEvents();
    bool eventsSuspended() const { return m_suspended; }

    CBookmark item;
    int registryKey = 0;
    int lookupHandle = 0;
    quint32 bytesSent = 0;
    qint64 bytesToSend = 0;
    int lastError = 0;
    int socket = -1;
    int uploadFile = -1;
    qint64 uploadLength = 0;
    bool appendTerminator = true;
    qint64 requestBytesSent = 0;
    qint64 uploadBytesRead = 0;
    qint64 uploadBytesSent = 0;
    QByteArray buffer;
    int bufferSize = 4096;
    int sendChunk = 4096;
    QByteArray lastData;
    int state = Created;
    bool closed = false;
    // Why the upload file could not be read ("Error reading file for
    // upload:" and the reason); empty when it could.
    QByteArray uploadFailure;

    // How the request travels, chosen once when it starts: over TLS or not,
    // through a proxy or not. With a proxy that is not to resolve names, the
    // item's host is looked up here first (targetAddress).
    bool tls = false;
    std::optional<ProxySetting> proxy;
    bool proxyResolves = false;
    std::optional<QHostAddress> targetAddress;
    // What carries the bytes once connected; plain TCP until the engine
    // gives it another. While opening, the transport's own opening runs.
    std::unique_ptr<Transport> transport;
    bool opening = false;
    ConnectionInfo connection;
    // The name the pending look-up is for.
    QByteArray lookupName;
private:
    qint64 sendBytes(const char *data, qint64 length, qint64 &counter);
    void applyEvents();

    sockaddr_storage m_destination {};
    socklen_t m_destinationLength = 0;
    int m_family = AF_INET;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    int m_events = NoEvents;
    bool m_suspended = false;
    char m_lastByteSent = 0;
    QByteArray m_terminator;
    qint64 m_terminatorSent = 0;
    // The piece of the upload file on its way: as read, or dot-stuffed for
    // a text; its bytes sent so far; whether the next piece begins a line.
    QByteArray m_piece;
    qint64 m_pieceSent = 0;
    bool m_atLineStart = true;
};

// A map from the low 16 bits of a look-up handle or socket to its transaction.
class CTransList
{
public:
    CTransaction *find(int key) const { return m_map.value(quint16(key), nullptr); }
    void insert(int key, CTransaction *t) { m_map.insert(quint16(key), t); }
    void remove(int key) { m_map.remove(quint16(key)); }
    bool isEmpty() const { return m_map.isEmpty(); }
    int size() const { return int(m_map.size()); }
    QList<CTransaction *> values() const { return m_map.values(); }
    QList<quint16> keys() const { return m_map.keys(); }

private:
    QHash<quint16, CTransaction *> m_map;
};
