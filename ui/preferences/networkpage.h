#pragma once

#include <QByteArray>
#include <QDialog>
#include <QList>

class NetworkSettings;
class ProfileFile;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QTreeWidget;
class UserInterface;

// The "Network" page of the preferences: the SOCKS5 proxy (Tor), the hosts
// known to speak TLS with the switch that adds hosts as they answer over
// TLS, and the certificates remembered on first use (view, forget). Nothing
// is written before OK, and OK writes it all as one change of the settings
// file.
class CNetworkPage : public QDialog
{
    Q_OBJECT

public:
    CNetworkPage(NetworkSettings &network, ProfileFile &file, UserInterface *ui,
                 QWidget *parent = nullptr);

    QLineEdit *proxyHostEdit() const { return m_proxyHost; }
    QLineEdit *proxyPortEdit() const { return m_proxyPort; }
    QLineEdit *proxyUserEdit() const { return m_proxyUser; }
    QLineEdit *proxyPasswordEdit() const { return m_proxyPassword; }
    QCheckBox *resolveBox() const { return m_resolve; }
    QLineEdit *tlsHostEdit() const { return m_newHost; }
    QListWidget *tlsHostList() const { return m_hosts; }
    QCheckBox *rememberHostsBox() const { return m_rememberHosts; }
    QTreeWidget *certificateList() const { return m_certificates; }

    void addHost();
    void removeHost();
    void viewCertificate();
    void forgetCertificate();
    void accept() override;

private:
    NetworkSettings &m_network;
    ProfileFile &m_file;
    UserInterface *m_ui;
    QLineEdit *m_proxyHost;
    QLineEdit *m_proxyPort;
    QLineEdit *m_proxyUser;
    QLineEdit *m_proxyPassword;
    QCheckBox *m_resolve;
    QListWidget *m_hosts;
    QLineEdit *m_newHost;
    QCheckBox *m_rememberHosts;
    QTreeWidget *m_certificates;
    // "host:port" keys forgotten on the page, removed on OK.
    QList<std::pair<QByteArray, quint16>> m_forgotten;
};
