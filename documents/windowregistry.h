#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>

class CTarnwickDoc;
class UserInterface;

// Open documents by the URL of their item, so that opening an item that is
// already open brings its window back instead of opening a second one.
class WindowRegistry
{
public:
    explicit WindowRegistry(UserInterface *ui) : m_ui(ui) {}

    void Register(const QByteArray &key, CTarnwickDoc *document);
    // Removes the key; with a document, only when the key is that document's.
    void Unregister(const QByteArray &key, const CTarnwickDoc *document = nullptr);
    bool Find(const QByteArray &key) const;
    CTarnwickDoc *document(const QByteArray &key) const;
    // Brings the document's window back and says "Restored window".
    bool Activate(const QByteArray &key);
    QList<CTarnwickDoc *> documents() const;
    int size() const { return int(m_documents.size()); }

private:
    UserInterface *m_ui;
    QHash<QByteArray, CTarnwickDoc *> m_documents;
};
