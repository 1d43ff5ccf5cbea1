#include "ui/preferences/networkpage.h"

#include "documents/userinterface.h"
#include "items/bookmark.h"
#include "settings/networksettings.h"
#include "settings/profilefile.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum CertificateColumn { HostColumn, FingerprintColumn, SinceColumn, UntilColumn };
constexpr int PortRole = Qt::UserRole;
constexpr int HostRole = Qt::UserRole + 1;

QString day(const QDateTime &when)
{
    return when.isValid() ? when.toUTC().toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

QPushButton *button(const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setAutoDefault(false);
    return b;
}

} // namespace

CNetworkPage::CNetworkPage(NetworkSettings &network, ProfileFile &file, UserInterface *ui,
                           QWidget *parent)
    : QDialog(parent), m_network(network), m_file(file), m_ui(ui)
{
    setWindowTitle(QStringLiteral("Network"));

    // The proxy as stored; an empty host is no proxy, and the other fields
    // keep what was typed for the next time.
    const std::optional<ProxySetting> stored = m_network.storedProxy();
    const ProxySetting proxy = stored.value_or(ProxySetting{});
    m_proxyHost = new QLineEdit(QString::fromUtf8(proxy.host), this);
    m_proxyHost->setPlaceholderText(QStringLiteral("none: connect directly"));
    m_proxyPort = new QLineEdit(QString::number(stored ? proxy.port : 9050), this);
    m_proxyPort->setValidator(new QIntValidator(1, 65535, m_proxyPort));
    m_proxyUser = new QLineEdit(QString::fromUtf8(proxy.user), this);
    m_proxyPassword = new QLineEdit(QString::fromUtf8(proxy.password), this);
    m_proxyPassword->setEchoMode(QLineEdit::Password);
    m_resolve = new QCheckBox(QStringLiteral("Resolve names through the proxy"), this);
    m_resolve->setChecked(!stored || proxy.resolvesNames);

    auto *proxyBox = new QGroupBox(QStringLiteral("SOCKS5 proxy"), this);
    auto *proxyForm = new QFormLayout(proxyBox);
    proxyForm->addRow(QStringLiteral("Proxy &host:"), m_proxyHost);
    proxyForm->addRow(QStringLiteral("Proxy &port:"), m_proxyPort);
    proxyForm->addRow(QStringLiteral("&User name:"), m_proxyUser);
    proxyForm->addRow(QStringLiteral("Pass&word:"), m_proxyPassword);
    proxyForm->addRow(m_resolve);
    auto *torHint = new QLabel(QStringLiteral("Tor's SOCKS port is usually 127.0.0.1:9050."), proxyBox);
    proxyForm->addRow(torHint);

    m_hosts = new QListWidget(this);
    m_hosts->setAccessibleName(QStringLiteral("Hosts known to speak TLS"));
    for (const QByteArray &host : m_network.tlsHosts())
        m_hosts->addItem(QString::fromUtf8(host));
    m_newHost = new QLineEdit(this);
    m_newHost->setPlaceholderText(QStringLiteral("host or host:port"));
    m_newHost->setAccessibleName(QStringLiteral("Host to add"));
    QPushButton *add = button(QStringLiteral("&Add"), this);
    QPushButton *remove = button(QStringLiteral("&Remove"), this);
    m_rememberHosts = new QCheckBox(QStringLiteral("Use TLS for a host once it has answered over TLS"), this);
    m_rememberHosts->setChecked(m_network.rememberTlsHosts());
    connect(add, &QPushButton::clicked, this, &CNetworkPage::addHost);
    connect(m_newHost, &QLineEdit::returnPressed, this, &CNetworkPage::addHost);
    connect(remove, &QPushButton::clicked, this, &CNetworkPage::removeHost);

    auto *tlsBox = new QGroupBox(QStringLiteral("Hosts known to speak TLS"), this);
    auto *tlsLayout = new QVBoxLayout(tlsBox);
    auto *hostRow = new QHBoxLayout;
    hostRow->addWidget(m_newHost, 1);
    hostRow->addWidget(add);
    hostRow->addWidget(remove);
    tlsLayout->addWidget(m_hosts);
    tlsLayout->addLayout(hostRow);
    tlsLayout->addWidget(m_rememberHosts);

    m_certificates = new QTreeWidget(this);
    m_certificates->setAccessibleName(QStringLiteral("Remembered certificates"));
    m_certificates->setRootIsDecorated(false);
    m_certificates->setHeaderLabels({QStringLiteral("Host"), QStringLiteral("SHA-256 fingerprint"),
                                     QStringLiteral("Trusted since"), QStringLiteral("Valid until")});
    for (const NetworkSettings::RememberedCertificate &c : m_network.certificates()) {
        auto *row = new QTreeWidgetItem(m_certificates);
        row->setText(HostColumn, QString::fromUtf8(CBookmark::hostForUrl(c.host) + ':'
                                                   + QByteArray::number(c.port)));
        row->setData(HostColumn, HostRole, c.host);
        row->setData(HostColumn, PortRole, c.port);
        row->setText(FingerprintColumn, QString::fromLatin1(c.certificate.fingerprint));
        row->setText(SinceColumn, day(c.certificate.since));
        row->setText(UntilColumn, day(c.certificate.notAfter));
    }
    m_certificates->header()->setSectionResizeMode(HostColumn, QHeaderView::ResizeToContents);
    QPushButton *view = button(QStringLiteral("&View..."), this);
    QPushButton *forget = button(QStringLiteral("&Forget"), this);
    connect(view, &QPushButton::clicked, this, &CNetworkPage::viewCertificate);
    connect(m_certificates, &QTreeWidget::itemActivated, this, &CNetworkPage::viewCertificate);
    connect(forget, &QPushButton::clicked, this, &CNetworkPage::forgetCertificate);

    auto *certificateBox = new QGroupBox(QStringLiteral("Remembered certificates"), this);
    auto *certificateLayout = new QVBoxLayout(certificateBox);
    certificateLayout->addWidget(m_certificates);
    auto *certificateButtons = new QHBoxLayout;
    certificateButtons->addStretch();
    certificateButtons->addWidget(view);
    certificateButtons->addWidget(forget);
    certificateLayout->addLayout(certificateButtons);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CNetworkPage::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CNetworkPage::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(proxyBox);
    layout->addWidget(tlsBox);
    layout->addWidget(certificateBox, 1);
    layout->addWidget(buttons);
}

void CNetworkPage::addHost()
{
    const QString host = m_newHost->text().trimmed();
    if (host.isEmpty() || !m_hosts->findItems(host, Qt::MatchFixedString).isEmpty())
        return;
    m_hosts->addItem(host);
    m_newHost->clear();
}

void CNetworkPage::removeHost()
{
    delete m_hosts->currentItem();
}

void CNetworkPage::viewCertificate()
{
    const QTreeWidgetItem *row = m_certificates->currentItem();
    if (!row || !m_ui)
        return;
    const QByteArray text = "Host: " + row->text(HostColumn).toUtf8() + "\nSHA-256 fingerprint:\n"
                            + row->text(FingerprintColumn).toUtf8() + "\nTrusted since: "
                            + row->text(SinceColumn).toUtf8() + "\nValid until: "
                            + row->text(UntilColumn).toUtf8();
    m_ui->messageBox(text, UserInterface::Information);
}

void CNetworkPage::forgetCertificate()
{
    QTreeWidgetItem *row = m_certificates->currentItem();
    if (!row)
        return;
    m_forgotten.append({row->data(HostColumn, HostRole).toByteArray(),
                        quint16(row->data(HostColumn, PortRole).toUInt())});
    delete row;
}

void CNetworkPage::accept()
{
    ProxySetting proxy;
    proxy.host = m_proxyHost->text().trimmed().toUtf8();
    const int port = m_proxyPort->text().toInt();
    if (!proxy.host.isEmpty() && (port < 1 || port > 65535)) {
        if (m_ui)
            m_ui->messageBox("The proxy port must be a number from 1 to 65535.");
        m_proxyPort->setFocus();
        return;
    }
    proxy.port = quint16(port > 0 && port <= 65535 ? port : 9050);
    proxy.resolvesNames = m_resolve->isChecked();
    proxy.user = m_proxyUser->text().toUtf8();
    proxy.password = m_proxyPassword->text().toUtf8();
    QList<QByteArray> hosts;
    for (int i = 0; i < m_hosts->count(); ++i)
        hosts.append(m_hosts->item(i)->text().toUtf8());

    ProfileFile::Edit edit(m_file);
    bool queued = m_network.setStoredProxy(proxy) && m_network.setTlsHosts(hosts)
                  && m_network.setRememberTlsHosts(m_rememberHosts->isChecked());
    for (const auto &[host, port] : std::as_const(m_forgotten))
        queued = queued && m_network.forgetCertificate(host, port);
    if (!queued || !edit.commit()) {
        if (m_ui)
            m_ui->messageBox("Could not write the settings file\n" + m_file.path().toUtf8() + '\n'
                             + m_file.lastError().toUtf8());
        return;
    }
    m_forgotten.clear();
    QDialog::accept();
}
