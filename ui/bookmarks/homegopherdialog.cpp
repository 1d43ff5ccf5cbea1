#include "ui/bookmarks/homegopherdialog.h"

#include "ui/dialogs/fixedsize.h"

#include "settings/profilefile.h"
#include "documents/userinterface.h"
#include "items/bookmark.h"
#include "items/displaytext.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int SecondBlockRows = 4;  // separator, host, port, selector

QString moreText(bool shown)
{
    return shown ? QStringLiteral("<< &Less") : QStringLiteral("&More >>");
}

} // namespace

HomeGopherDialog::HomeGopherDialog(ProfileFile &file, UserInterface *ui, QWidget *parent)
    : QDialog(parent), m_homes(file), m_file(file), m_ui(ui)
{
    setWindowTitle(QStringLiteral("Home Gopher Server(s)"));

    m_form = new QFormLayout;
    m_form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    addServerRows(m_form, m_servers[0], QStringLiteral("Host Server:"));
    m_title = new QLineEdit;
    m_title->setObjectName(QStringLiteral("menuTitle"));
    m_form->addRow(QStringLiteral("Menu title:"), m_title);

    m_secondBlockRow = m_form->rowCount();
    auto *line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    m_form->addRow(line);
    addServerRows(m_form, m_servers[1], QStringLiteral("Server #2:"));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    m_more = new QPushButton(moreText(false));
    m_more->setObjectName(QStringLiteral("more"));
    m_more->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &HomeGopherDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &HomeGopherDialog::reject);
    connect(m_more, &QPushButton::clicked, this,
            [this] { setSecondServerShown(!secondServerShown()); });

    m_explanation = new QLabel(QStringLiteral(
        "Your home gopher is the Gopher server whose menu Tarnwick opens at start and on Home Gopher."));
    m_explanation->setObjectName(QStringLiteral("explanation"));
    m_explanation->setWordWrap(true);
    m_offer = new QPushButton;
    m_offer->setObjectName(QStringLiteral("offer"));
    m_offer->setAutoDefault(false);
    m_offer->hide();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_explanation);
    layout->addWidget(m_offer, 0, Qt::AlignLeft);
    layout->addSpacing(6);
    layout->addLayout(m_form);
    layout->addSpacing(6);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addWidget(m_more);
    buttonRow->addStretch(1);
    buttonRow->addWidget(buttons);
    layout->addLayout(buttonRow);
    // The dialog takes the height of the rows shown, as the second block comes and goes.
    makeFixedSizeDialog(this);

    fill();
    // A second server already configured is shown; otherwise it waits behind "More >>".
    setSecondServerShown(!m_homes.GetHomeServer(2).isEmpty());

    // The keyboard starts in "Host Server:" and Tab runs down the form, then
    // to the buttons; without this the dialog would hand the keyboard to OK
    // (the first control it holds is a push button), and what the user typed
    // would be lost while Return saved the empty form.
    QWidget *order[] = {m_servers[0].host, m_servers[0].port, m_servers[0].plus,
                        m_servers[0].selector, m_title, m_servers[1].host, m_servers[1].port,
                        m_servers[1].plus, m_servers[1].selector, m_offer, m_more,
                        buttons->button(QDialogButtonBox::Ok),
                        buttons->button(QDialogButtonBox::Cancel)};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    m_servers[0].host->setFocus(Qt::OtherFocusReason);

    // Return saves a home that has a host; with "Host Server:" empty it does
    // nothing (a click on OK still clears the home gophers).
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setAutoDefault(false);
    connect(m_servers[0].host, &QLineEdit::textChanged, this, &HomeGopherDialog::updateDefault);
}

void HomeGopherDialog::updateDefault()
{
    // As a page of the preferences sheet, Return is the sheet's OK.
    if (!m_pageMode)
        m_ok->setDefault(!m_servers[0].host->text().trimmed().isEmpty());
}

void HomeGopherDialog::showEvent(QShowEvent *event)
{
    // The button box has made OK the default as it was shown.
    QDialog::showEvent(event);
    updateDefault();
}

void HomeGopherDialog::addServerRows(QFormLayout *form, Server &server, const QString &hostLabel)
{
    const int index = &server == &m_servers[0] ? 1 : 2;
    server.host = new QLineEdit;
    server.host->setObjectName(QStringLiteral("host%1").arg(index));
    server.host->setMinimumWidth(server.host->fontMetrics().averageCharWidth() * 40);
    server.port = new QLineEdit;
    server.port->setObjectName(QStringLiteral("port%1").arg(index));
    server.port->setFixedWidth(server.port->fontMetrics().horizontalAdvance(QStringLiteral("0000000"))
                               + 12);
    server.plus = new QCheckBox(QStringLiteral("Plus:"));
    server.plus->setObjectName(QStringLiteral("plus%1").arg(index));
    // The label stands before the box, as in the rest of the form.
    server.plus->setLayoutDirection(Qt::RightToLeft);
    server.selector = new QLineEdit;
    server.selector->setObjectName(QStringLiteral("selector%1").arg(index));

    auto *portRow = new QHBoxLayout;
    portRow->addWidget(server.port);
    portRow->addSpacing(18);
    portRow->addWidget(server.plus);
    portRow->addStretch(1);

    form->addRow(hostLabel, server.host);
    form->addRow(QStringLiteral("Port:"), portRow);
    form->addRow(QStringLiteral("Selector:"), server.selector);
}

QLineEdit *HomeGopherDialog::hostEdit(int n) const
{
    return m_servers[n == 2 ? 1 : 0].host;
}

QLineEdit *HomeGopherDialog::portEdit(int n) const
{
    return m_servers[n == 2 ? 1 : 0].port;
}

QCheckBox *HomeGopherDialog::plusBox(int n) const
{
    return m_servers[n == 2 ? 1 : 0].plus;
}

QLineEdit *HomeGopherDialog::selectorEdit(int n) const
{
    return m_servers[n == 2 ? 1 : 0].selector;
}

void HomeGopherDialog::offerServer(const QString &url)
{
    CBookmark item;
    item.ParseURL(url.toUtf8());
    if (item.host.isEmpty() || item.port < MinPort || item.port > MaxPort) {
        m_offer->hide();
        return;
    }
    const QString host = displayText(item.host);
    const QString port = QString::number(item.port);
    QByteArray selector = item.selector;
    if (selector.endsWith("\r\n"))
        selector.chop(2);
    m_offer->setText(QStringLiteral("Use the &sample server %1:%2").arg(host, port));
    disconnect(m_offer, nullptr, this, nullptr);
    connect(m_offer, &QPushButton::clicked, this, [this, host, port, selector] {
        m_servers[0].host->setText(host);
        m_servers[0].port->setText(port);
        m_servers[0].plus->setChecked(false);
        m_servers[0].selector->setText(displayText(selector));
    });
    m_offer->show();
}

bool HomeGopherDialog::secondServerShown() const
{
    return m_secondShown;
}

void HomeGopherDialog::setPreferencesPage()
{
    m_pageMode = true;
    setSecondServerShown(false);
    m_more->hide();
    m_offer->hide();
    if (auto *label = qobject_cast<QLabel *>(m_form->labelForField(m_servers[0].host)))
        label->setText(QStringLiteral("Host Server (e.g. gopher.example.org):"));
    if (auto *label = qobject_cast<QLabel *>(m_form->labelForField(m_servers[0].selector)))
        label->setText(QStringLiteral("Selector (e.g. 1/Other Gopher and Information Servers/all):"));
}

void HomeGopherDialog::setSecondServerShown(bool shown)
{
    m_secondShown = shown;
    for (int row = m_secondBlockRow; row < m_secondBlockRow + SecondBlockRows; ++row)
        m_form->setRowVisible(row, shown);
    m_more->setText(moreText(shown));
}

void HomeGopherDialog::fill()
{
    const HomeGophers::DialogFields fields = m_homes.dialogFields();
    const auto setText = [this](QLineEdit *edit, const QByteArray &bytes, int limit) {
        m_storedBytes.insert(edit, bytes);
        const QString text = displayText(bytes);
        // Typing stops at the limit; a longer value from the file is shown
        // whole (and refused on OK) rather than cut without a word.
        if (limit > 0)
            edit->setMaxLength(qMax(limit, int(text.size())));
        edit->setText(text);
    };
    setText(m_servers[0].host, fields.host1, MaxHostLength);
    m_servers[0].port->setText(QString::number(fields.port1));
    m_servers[0].plus->setChecked(fields.plus1);
    setText(m_servers[0].selector, fields.selector1, 0);
    setText(m_title, fields.initialMenu, MaxTitleLength);
    setText(m_servers[1].host, fields.host2, MaxHostLength);
    m_servers[1].port->setText(QString::number(fields.port2));
    m_servers[1].plus->setChecked(fields.plus2);
    setText(m_servers[1].selector, fields.selector2, 0);
}

QByteArray HomeGopherDialog::fieldBytes(const QLineEdit *edit) const
{
    const auto stored = m_storedBytes.constFind(edit);
    if (stored != m_storedBytes.constEnd() && edit->text() == displayText(*stored))
        return *stored;
    return textBytes(edit->text());
}

void HomeGopherDialog::showMessage(const QString &text)
{
    if (m_ui)
        m_ui->messageBox(textBytes(text), UserInterface::Exclamation, UserInterface::Ok, Help::None);
    else
        QMessageBox::warning(this, windowTitle(), text);
}

void HomeGopherDialog::refuse(QLineEdit *edit, const QString &message)
{
    showMessage(message);
    if (!m_secondShown && (edit == m_servers[1].host || edit == m_servers[1].port))
        setSecondServerShown(true);
    edit->selectAll();
    edit->setFocus(Qt::OtherFocusReason);
}

bool HomeGopherDialog::checkLength(QLineEdit *edit, int limit)
{
    if (edit->text().size() <= limit)
        return true;
    refuse(edit, QStringLiteral("Please enter no more than %1 characters.").arg(limit));
    return false;
}

std::optional<int> HomeGopherDialog::checkPort(QLineEdit *edit)
{
    bool ok = false;
    const int port = edit->text().trimmed().toInt(&ok, 10);
    if (ok && port >= MinPort && port <= MaxPort)
        return port;
    refuse(edit, QStringLiteral("Please enter an integer between %1 and %2.").arg(MinPort).arg(MaxPort));
    return std::nullopt;
}

std::optional<HomeGophers::DialogFields> HomeGopherDialog::validatedFields()
{
    HomeGophers::DialogFields fields;
    if (!checkLength(m_servers[0].host, MaxHostLength))
        return std::nullopt;
    const std::optional<int> port1 = checkPort(m_servers[0].port);
    if (!port1)
        return std::nullopt;
    if (!checkLength(m_title, MaxTitleLength))
        return std::nullopt;
    // The page edits server 1 only; a second server keeps its keys as stored.
    if (m_pageMode) {
        fields.host1 = fieldBytes(m_servers[0].host);
        fields.port1 = *port1;
        fields.plus1 = m_servers[0].plus->isChecked();
        fields.selector1 = fieldBytes(m_servers[0].selector);
        fields.initialMenu = fieldBytes(m_title);
        return fields;
    }
    if (!checkLength(m_servers[1].host, MaxHostLength))
        return std::nullopt;
    const std::optional<int> port2 = checkPort(m_servers[1].port);
    if (!port2)
        return std::nullopt;

    fields.host1 = fieldBytes(m_servers[0].host);
    fields.port1 = *port1;
    fields.plus1 = m_servers[0].plus->isChecked();
    fields.selector1 = fieldBytes(m_servers[0].selector);
    fields.initialMenu = fieldBytes(m_title);
    fields.host2 = fieldBytes(m_servers[1].host);
    fields.port2 = *port2;
    fields.plus2 = m_servers[1].plus->isChecked();
    fields.selector2 = fieldBytes(m_servers[1].selector);
    return fields;
}

void HomeGopherDialog::accept()
{
    const std::optional<HomeGophers::DialogFields> fields = validatedFields();
    if (!fields)
        return;
    const bool saved = m_pageMode ? m_homes.applyPreferencesPage(fields->host1, fields->port1,
                                                                 fields->plus1, fields->selector1,
                                                                 fields->initialMenu)
                                  : m_homes.applyDialog(*fields);
    if (!saved) {
        showMessage(QStringLiteral("The home gopher settings could not be saved.\n")
                    + m_file.lastError());
        return;
    }
    QDialog::accept();
}
