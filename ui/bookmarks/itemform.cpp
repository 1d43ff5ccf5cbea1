#include "ui/bookmarks/itemform.h"

#include "documents/userinterface.h"
#include "items/displaytext.h"
#include "items/itemrecords.h"
#include "ui/itemtype.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLineEdit>
#include <QPushButton>

CItemForm::CItemForm(UserInterface &ui, const std::optional<CBookmark> &item, QWidget *parent)
    : QDialog(parent), m_ui(ui), m_title(new QLineEdit(this)), m_host(new QLineEdit(this)),
      m_port(new QLineEdit(this)), m_selector(new QLineEdit(this)), m_typeBox(new QComboBox(this)),
      m_type(std::make_unique<CItemType>(*m_typeBox)), m_plus(new QCheckBox(tr("&Gopher+"), this)),
      m_ask(new QCheckBox(tr("Ask form"), this)), m_tls(new QCheckBox(tr("TLS (gophers://)"), this)),
      m_url(new QLineEdit(this)),
      m_paste(new QPushButton(tr("&Paste"), this))
{
    setWindowTitle(QStringLiteral("Fetch this Gopher Item"));
    m_host->setMaxLength(MaxHostLength);
    m_port->setValidator(new QIntValidator(0, 65535, m_port));
    m_port->setText(QStringLiteral("70"));
    auto *ok = new QPushButton(tr("&OK"), this);
    auto *cancel = new QPushButton(tr("&Cancel"), this);
    ok->setDefault(true);

    auto *form = new QFormLayout(this);
    form->addRow(tr("Title:"), m_title);
    form->addRow(tr("Server name:"), m_host);
    form->addRow(tr("Server port:"), m_port);
    form->addRow(tr("Selector:"), m_selector);
    form->addRow(tr("Item type:"), m_typeBox);
    auto *checks = new QHBoxLayout;
    checks->addWidget(m_plus);
    checks->addWidget(m_ask);
    checks->addWidget(m_tls);
    checks->addStretch();
    form->addRow(checks);
    form->addRow(tr("URL:"), m_url);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_paste);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    form->addRow(buttons);

    if (item) {
        m_selector->setText(displayText(CBookmark::plainSelector(item->selector)));
        m_host->setText(displayText(item->host));
        m_port->setText(QString::number(item->port));
        m_title->setText(displayText(item->title));
        m_type->setType(item->type);
        m_plus->setChecked(item->IsGopherPlus());
        m_ask->setChecked(item->IsAskForm());
        m_tls->setChecked(item->tls);
        m_paste->setEnabled(false);
    } else {
        m_paste->setEnabled(ItemRecords::acceptsText(m_ui.clipboardText()));
    }
    connect(m_paste, &QPushButton::clicked, this, &CItemForm::onPaste);
    connect(ok, &QPushButton::clicked, this, &CItemForm::onOk);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

CItemForm::~CItemForm() = default;

char CItemForm::type() const
{
    return m_type->type();
}

bool CItemForm::gopherPlus() const
{
    return m_plus->isChecked();
}

bool CItemForm::askForm() const
{
    return m_ask->isChecked();
}

void CItemForm::onPaste()
{
    const QByteArray text = m_ui.clipboardText();
    if (!ItemRecords::acceptsText(text))
        return;
    const ItemRecords::ItemFields fields = ItemRecords::readSingleItem(text);
    m_selector->setText(displayText(fields.selector));
    m_host->setText(displayText(fields.host));
    m_port->setText(QString::number(fields.port));
    m_title->setText(displayText(fields.title));
    if (fields.typeSet)
        m_type->setType(fields.type);
    m_plus->setChecked(fields.gopherPlus);
    m_ask->setChecked(fields.askForm);
    m_tls->setChecked(fields.tls);
    if (!fields.url.isEmpty())
        m_url->setText(displayText(fields.url));
}

void CItemForm::onOk()
{
    const QByteArray host = textBytes(m_host->text());
    const int port = m_port->text().toInt();
    if (!m_url->text().isEmpty() && host.isEmpty()) {
        CBookmark item;
        item.ParseURL(textBytes(m_url->text()));
        if (item.host.isEmpty() || item.port == 0)
            return;
        m_result = item;
        accept();
        return;
    }
    if (host.isEmpty() || port == 0)
        return;
    CBookmark item(type(), textBytes(m_title->text()), textBytes(m_selector->text()), host,
                   quint16(port));
    item.SetGopherPlus(gopherPlus());
    item.SetAskForm(askForm());
    item.tls = m_tls->isChecked();
    m_result = item;
    accept();
}
