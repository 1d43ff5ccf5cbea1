#pragma once

#include <QHash>
#include <QList>

#include <functional>

class CBookmark;
class CTransaction;
class QByteArray;
struct ConnectionInfo;
struct TransactionFailure;

// What the transaction engine needs of a document. The engine and a document
// know each other only through the registry key, so either may go away first.
// Each transfer ends with exactly one of FinishTransfer, OnTransactionFailed
// and OnTransactionCancelled; nothing of that transfer follows it. OnData and
// the three endings may run an event loop (a message box); setTransactionKey
// and SetStatus must not.
class TransactionClient
{
public:
    virtual ~TransactionClient();
    virtual const CBookmark &GetItem() const = 0;
    virtual void setTransactionKey(int key) = 0;
    // One chunk of the reply; sets done when the document has all of it.
    virtual void OnData(const QByteArray &bytes, bool &done) = 0;
    virtual void SetStatus(const QByteArray &text) = 0;
    // How the connection is made (TLS, proxy), once it is open and before
    // the request is sent. Must not run an event loop.
    virtual void setConnectionInfo(const ConnectionInfo &) {}
    // The reply ended normally. The transaction is gone already.
    virtual void FinishTransfer() = 0;
    // The transfer failed; called from the event loop, never from inside a
    // socket handler, so the document may show boxes and start a new request.
    // A failure of stage Socket comes from StartTransaction itself and ends
    // nothing, as nothing was started.
    virtual void OnTransactionFailed(const TransactionFailure &failure) = 0;
    // The transaction was stopped (Stop, Stop All, closing the window).
    virtual void OnTransactionCancelled() = 0;
};

// Links each live transaction and its document under an integer key. Keys
// start at 1 and are never issued twice in a run.
class TransactionRegistry
{
public:
    int Register(TransactionClient *document, CTransaction *transaction);
    void Unregister(int key);
    // Forgets the transaction under the key but keeps the document: its
    // failure is still to be reported.
    void detachTransaction(int key);
    // The keys the document is registered under.
    QList<int> keysOf(const TransactionClient *document) const;
    TransactionClient *FindDocument(int key) const;
    CTransaction *FindTransaction(int key) const;
    // Stops the transaction under the key; its document hears OnReceiveDone(-1).
    void CancelTransaction(int key);
    void CancelAllTransactions();
    // Documents with a live transaction ("Stop All" is enabled above 0).
    int documentCount() const { return int(m_documents.size()); }
    int lastKey() const { return m_lastKey; }

    // Called after every change of the registry.
    std::function<void()> onChanged;

private:
    QHash<int, TransactionClient *> m_documents;
    QHash<int, CTransaction *> m_transactions;
    int m_lastKey = 0;
};
