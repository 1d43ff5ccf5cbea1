#include "ui/dialogs/winsockinfodialog.h"

#include "ui/dialogs/fixedsize.h"

#include "items/displaytext.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLineEdit *readOnlyField(const QString &text)
{
    auto *edit = new QLineEdit(text);
    edit->setReadOnly(true);
    edit->setCursorPosition(0);
    return edit;
}

} // namespace

WinSockInfoDialog::WinSockInfoDialog(const WinSockInfo &info, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("WinSock Information"));

    m_descriptionText = descriptionText(info.description);
    m_version = readOnlyField(versionText(info.version));
    m_highVersion = readOnlyField(versionText(info.highVersion));
    m_description = new QPlainTextEdit;
    m_description->setReadOnly(true);
    // The field shows the lines; a bare CR would show as a stray glyph.
    m_description->setPlainText(displayText(m_descriptionText).replace(QStringLiteral("\r\n"),
                                                                       QStringLiteral("\n")));
    m_description->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    const int lineHeight = m_description->fontMetrics().lineSpacing();
    m_description->setFixedHeight(lineHeight * 5 + 2 * m_description->frameWidth() + 8);
    m_description->setMinimumWidth(m_description->fontMetrics().averageCharWidth() * 44);
    m_systemStatus = readOnlyField(displayText(info.systemStatus));
    m_maxSockets = readOnlyField(QString::number(info.maxSockets));
    m_maxDatagram = readOnlyField(QString::number(info.maxDatagram));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Windows Sockets Version: "), m_version);
    form->addRow(QStringLiteral("Highest version: "), m_highVersion);
    form->addRow(QStringLiteral("Description:"), m_description);
    form->addRow(QStringLiteral("System Status:"), m_systemStatus);
    form->addRow(QStringLiteral("Max Sockets: "), m_maxSockets);
    form->addRow(QStringLiteral("Max Datagram Length: "), m_maxDatagram);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Help);
    connect(buttons, &QDialogButtonBox::accepted, this, &WinSockInfoDialog::accept);
    connect(buttons, &QDialogButtonBox::helpRequested, this, &WinSockInfoDialog::helpRequested);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addSpacing(6);
    layout->addWidget(buttons);
    makeFixedSizeDialog(this);
}

QString WinSockInfoDialog::versionText(int version)
{
    return QStringLiteral("%1.%2").arg(version & 0xFF).arg((version >> 8) & 0xFF);
}

QByteArray WinSockInfoDialog::descriptionText(const QByteArray &description)
{
    QList<QByteArray> lines = description.split('\n');
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return lines.join("\r\n");
}
