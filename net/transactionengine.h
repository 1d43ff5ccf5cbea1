#pragma once

#include "net/connectionpolicy.h"
#include "net/transaction.h"
#include "net/transactionfailure.h"
#include "net/transactionregistry.h"

#include <utility>
#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>

#include <functional>
#include <memory>

class QHostInfo;
class TlsContext;

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
//
// The engine talks to the user only through documents. A failure becomes a
// TransactionFailure that the document receives from the event loop after the
// handler that saw it has returned; until then the document stays registered
// under the key, so Stop still reaches it and a document that goes away in
// the meantime hears nothing. A handler never keeps a transaction pointer
// across a call into a document: it finds the transaction again by its key.
class TransactionEngine : public QObject
{
    Q_OBJECT

public:
    explicit TransactionEngine(QObject *parent = nullptr);
    ~TransactionEngine() override;

    // Read when each transaction starts ("Auto Strip Dots").
    std::function<bool()> autoStripDots;

    // The proxy, the hosts known to speak TLS and the certificates
    // remembered; none: no proxy, TLS only for gophers:// items, and any
    // certificate taken without being remembered.
    void setPolicy(ConnectionPolicy *policy) { m_policy = policy; }
    ConnectionPolicy *policy() const { return m_policy; }

    // Starts the document's request; returns the registry key, 0 when no
    // socket could be made (the document has been handed the failure). A
    // request the document still had running is dropped without a word: a
    // document has one transfer at a time.
    int StartTransaction(TransactionClient *document, int uploadFile = -1,
                         qint64 uploadLength = 0, bool appendTerminator = true);

    // An offline engine starts nothing: StartTransaction returns 0 and the
    // document hears nothing. For documents that are handed their replies
    // directly (view tests, fuzzers), so that no request reaches a network.
    void setOffline(bool offline) { m_offline = offline; }
    bool isOffline() const { return m_offline; }

    TransactionRegistry &registry() { return m_registry; }
    const TransactionRegistry &registry() const { return m_registry; }
    void CancelTransaction(int key) { m_registry.CancelTransaction(key); }
    void CancelAllTransactions() { m_registry.CancelAllTransactions(); }

    // Host names looked up so far and the address each connected to, IPv4 or IPv6.
    const QHash<QByteArray, QHostAddress> &hostCache() const { return m_hostCache; }
    const CTransList &pendingLookups() const { return m_pendingLookups; }
    const CTransList &socketTransactions() const { return m_socketTransactions; }
    // Transactions still owned by the engine (live, or cancelled and not yet swept).
    int transactionCount() const;
    // Failures waiting for the event loop to hand them to their documents.
    int pendingFailureCount() const { return int(m_failures.size()); }
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

private Q_SLOTS:
    // Where QHostInfo delivers a look-up: see startLookup.
    void hostLookedUp(const QHostInfo &info);

private:
    struct PendingFailure
    {
        int key;
        TransactionFailure failure;
    };

    // Finds the address of the next name the request needs (the proxy's, or
    // the item's host): cached, literal, or looked up.
    void resolveNext(TransactionClient *document, CTransaction *t);
    void addressFound(TransactionClient *document, CTransaction *t, const QHostAddress &address);
    void startLookup(TransactionClient *document, CTransaction *t);
    void connectTransaction(TransactionClient *document, CTransaction *t,
                            const QHostAddress &address);
    // After the TCP connection: the transport's own opening, step by step.
    void openStep(int socket);
    // The certificate of a TLS connection against the one remembered; false
    // when the transaction failed on it.
    bool certificateTrusted(TransactionClient *document, CTransaction *t);
    void startSending(TransactionClient *document, CTransaction *t);
    // A transport holds bytes read from the socket already: they are read
    // from the event loop, as no socket event will announce them.
    void scheduleRead(CTransaction *t);
    void onReadReady(int socket);
    void onWriteReady(int socket);
    // After a send step: progress on the status line, then reading or failing.
    void afterSend(TransactionClient *document, CTransaction *t);
    // Hands the chunk to the document. Returns the transaction when it goes
    // on, nullptr when it is over (stopped, orphaned or swept meanwhile).
    CTransaction *deliver(CTransaction *t, const QByteArray &data, bool &done);
    // The transaction under the socket, if it is still the one with this key.
    CTransaction *socketTransaction(int socket, int key) const;
    // Ends the transaction and queues the failure for its document.
    void fail(CTransaction *t, const TransactionFailure &failure);
    void deliverFailures();
    // Closes, unregisters and deletes the transaction.
    void destroyTransaction(CTransaction *t);
    void scheduleSweep();
    void sweep();
    // The document of a transaction that goes on; nullptr when the transaction
    // was closed, stopped or orphaned, and is only waiting to be deleted.
    // The transaction of a socket and its document; a transaction whose
    // document has gone is destroyed, and both are null.
    std::pair<CTransaction *, TransactionClient *> liveSocket(int socket);
    TransactionClient *liveDocument(const CTransaction *t) const;

    ConnectionPolicy *m_policy = nullptr;
    std::unique_ptr<TlsContext> m_tls;
    TransactionRegistry m_registry;
    QHash<QByteArray, QHostAddress> m_hostCache;
    CTransList m_pendingLookups;
    CTransList m_socketTransactions;
    QList<PendingFailure> m_failures;
    bool m_sweepScheduled = false;
    bool m_offline = false;
    bool m_deliveryScheduled = false;
};
