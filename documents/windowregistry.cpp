#include "documents/windowregistry.h"

#include "documents/tarnwickdoc.h"
#include "documents/userinterface.h"

void WindowRegistry::Register(const QByteArray &key, CTarnwickDoc *document)
{
    if (!key.isEmpty())
        m_documents.insert(key, document);
}

void WindowRegistry::Unregister(const QByteArray &key, const CTarnwickDoc *document)
{
    const auto it = m_documents.find(key);
    if (it != m_documents.end() && (!document || it.value() == document))
        m_documents.erase(it);
}

bool WindowRegistry::Find(const QByteArray &key) const
{
    return !key.isEmpty() && m_documents.contains(key);
}

CTarnwickDoc *WindowRegistry::document(const QByteArray &key) const
{
    return m_documents.value(key, nullptr);
}

bool WindowRegistry::Activate(const QByteArray &key)
{
    CTarnwickDoc *doc = key.isEmpty() ? nullptr : m_documents.value(key, nullptr);
    if (!doc)
        return false;
    doc->ActivateFrame();
    if (m_ui)
        m_ui->setMainStatus(QByteArray("Restored window"));
    return true;
}

QList<CTarnwickDoc *> WindowRegistry::documents() const
{
    return m_documents.values();
}
