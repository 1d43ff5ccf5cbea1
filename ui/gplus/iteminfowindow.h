#pragma once

#include "items/bookmark.h"
#include "items/textencoding.h"

#include <QDialog>

class QPlainTextEdit;

// The "Info on Gopher Item" window: the item's record followed by its
// Gopher+ attributes, with Copy and Close. It stays open beside the document
// windows and follows the item the user is looking at.
class CItemInfoWindow : public QDialog
{
    Q_OBJECT

public:
    explicit CItemInfoWindow(QWidget *parent = nullptr);

    // The record's values are the server's bytes, shown in the encoding of
    // the item's host as its windows show them.
    // connection: how the item's window reached the server ("Key=value"
    // lines), shown after the record.
    void setItem(const CBookmark &item, TextEncoding encoding, const QByteArray &connection = {});
    const CBookmark &item() const { return m_item; }
    const QByteArray &connection() const { return m_connection; }
    QString text() const;
    // Copies the selection, or everything when nothing is selected.
    void copyText();

Q_SIGNALS:
    void helpRequested();

private:
    QPlainTextEdit *m_text;
    CBookmark m_item;
    QByteArray m_connection;
};
