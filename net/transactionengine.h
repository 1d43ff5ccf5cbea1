#pragma once

#include "net/transaction.h"
#include "net/transactionregistry.h"

#include <QByteArray>
#include <QHash>
#include <QObject>

#include <functional>

class QHostInfo;
class UserInterface;

// What the socket layer reports about itself in the "WinSock Information" form.
struct WinSockInfo
{
    int version = 0x0101;
    int highVersion = 0x0101;
    QByteArray description;
    QByteArray systemStatus;
    int maxSockets = 0;
    int maxDatagram = 65507;
};

// The network side of the main frame: starts transactions, resolves host
// names, and turns socket readiness into the steps of the transaction that
// owns the socket. Everything runs on the thread that owns the engine; nothing
// waits on the network.
class TransactionEngine : public QObject
{
    Q_OBJECT

public:
    explicit TransactionEngine(UserInterface *ui, QObject *parent = nullptr);
    ~TransactionEngine() override;

    // Read when each transaction starts ("Auto Strip Dots").
    std::function<bool()> autoStripDots;

    // Starts the document's request; returns the registry key, 0 when no
    // socket could be made (the user has been told).
    int StartTransaction(TransactionClient *document, int uploadFile = -1,
                         qint64 uploadLength = 0, bool appendTerminator = true);

    TransactionRegistry &registry() { return m_registry; }
    const TransactionRegistry &registry() const { return m_registry; }
    void CancelTransaction(int key) { m_registry.CancelTransaction(key); }
    void CancelAllTransactions() { m_registry.CancelAllTransactions(); }

    const QHash<QByteArray, quint32> &hostCache() const { return m_hostCache; }
    const CTransList &pendingLookups() const { return m_pendingLookups; }
    const CTransList &socketTransactions() const { return m_socketTransactions; }
    // Transactions still owned by the engine (live, or cancelled and not yet swept).
    int transactionCount() const;
    WinSockInfo winSockInfo() const;

    // The handlers of the four socket events.
    void OnHostResolved(int handle, const QHostInfo &info);
    void OnSocketConnect(int socket, int error);
    void OnSocketRead(int socket, int event, int error);
    void OnSocketWrite(int socket, int error);

Q_SIGNALS:
    // The set of registered transactions changed (Stop and Stop All follow it).
    void activityChanged();
    // No transaction is registered any more.
    void idle();

private:
    void startLookup(CTransaction *t);
    void connectTransaction(CTransaction *t);
    void onReadReady(int socket);
    CTransaction *readyTransaction(int socket);
    void onWriteReady(int socket);
    // Deletes the transaction now, or when the outermost handler running on it
    // returns.
    void destroyTransaction(CTransaction *t);
    void scheduleSweep();
    void sweep();
    bool isDead(const CTransaction *t) const;
    void reportFailure(CTransaction *t, const QByteArray &status, const QByteArray &box,
                       int helpContext, int error);

    UserInterface *m_ui;
    TransactionRegistry m_registry;
    QHash<QByteArray, quint32> m_hostCache;
    CTransList m_pendingLookups;
    CTransList m_socketTransactions;
    bool m_sweepScheduled = false;
};
