#pragma once

#include <QDialog>

class CBookmark;
class QPlainTextEdit;

// The "Info on Gopher Item" window: the item's record followed by its
// Gopher+ attributes, with Copy and Close. It stays open beside the document
// windows and follows the item the user is looking at.
class CItemInfoWindow : public QDialog
{
    Q_OBJECT

public:
    explicit CItemInfoWindow(QWidget *parent = nullptr);

    void setItem(const CBookmark &item);
    QString text() const;
    // Copies the selection, or everything when nothing is selected.
    void copyText();

Q_SIGNALS:
    void helpRequested();

private:
    QPlainTextEdit *m_text;
};
