#include "net/transactionregistry.h"

#include "net/transaction.h"

TransactionClient::~TransactionClient() = default;

int TransactionRegistry::Register(TransactionClient *document, CTransaction *transaction)
{
    const int key = ++m_lastKey;
    m_documents.insert(key, document);
    m_transactions.insert(key, transaction);
    if (onChanged)
        onChanged();
    return key;
}

void TransactionRegistry::Unregister(int key)
{
    const bool had = m_documents.remove(key) + m_transactions.remove(key) > 0;
    if (had && onChanged)
        onChanged();
}

void TransactionRegistry::detachTransaction(int key)
{
    m_transactions.remove(key);
}

QList<int> TransactionRegistry::keysOf(const TransactionClient *document) const
{
    QList<int> keys;
    for (auto it = m_documents.cbegin(); it != m_documents.cend(); ++it) {
        if (it.value() == document)
            keys.append(it.key());
    }
    return keys;
}

TransactionClient *TransactionRegistry::FindDocument(int key) const
{
    return m_documents.value(key, nullptr);
}

CTransaction *TransactionRegistry::FindTransaction(int key) const
{
    return m_transactions.value(key, nullptr);
}

void TransactionRegistry::CancelTransaction(int key)
{
    TransactionClient *document = FindDocument(key);
    if (CTransaction *transaction = FindTransaction(key)) {
        transaction->state = CTransaction::Cancelled;
        transaction->Close();
    }
    Unregister(key);
    if (document)
        document->OnTransactionCancelled();
}

void TransactionRegistry::CancelAllTransactions()
{
    while (!m_transactions.isEmpty())
        CancelTransaction(m_transactions.constBegin().key());
    // A document registered without a transaction cannot occur, but never
    // leave one behind that would keep "Stop All" enabled.
    while (!m_documents.isEmpty())
        CancelTransaction(m_documents.constBegin().key());
}
