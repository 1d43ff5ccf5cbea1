#pragma once

#include "net/transactionengine.h"

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;

// The "WinSock Information" form: what the socket layer says about itself.
class WinSockInfoDialog : public QDialog
{
    Q_OBJECT

public:
    explicit WinSockInfoDialog(const WinSockInfo &info, QWidget *parent = nullptr);

    // A version word as "major.minor": the low byte is the major number.
    static QString versionText(int version);
    // The description broken at each line feed, the lines joined by "\r\n".
    static QByteArray descriptionText(const QByteArray &description);

    QLineEdit *versionEdit() const { return m_version; }
    QLineEdit *highVersionEdit() const { return m_highVersion; }
    QPlainTextEdit *descriptionEdit() const { return m_description; }
    QLineEdit *systemStatusEdit() const { return m_systemStatus; }
    QLineEdit *maxSocketsEdit() const { return m_maxSockets; }
    QLineEdit *maxDatagramEdit() const { return m_maxDatagram; }
    // The text of the description field, with its "\r\n" line ends.
    QByteArray description() const { return m_descriptionText; }

Q_SIGNALS:
    // The Help button.
    void helpRequested();

private:
    QLineEdit *m_version = nullptr;
    QLineEdit *m_highVersion = nullptr;
    QPlainTextEdit *m_description = nullptr;
    QLineEdit *m_systemStatus = nullptr;
    QLineEdit *m_maxSockets = nullptr;
    QLineEdit *m_maxDatagram = nullptr;
    QByteArray m_descriptionText;
};
