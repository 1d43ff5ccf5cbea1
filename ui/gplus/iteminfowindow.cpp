#include "ui/gplus/iteminfowindow.h"


#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

CItemInfoWindow::CItemInfoWindow(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Info on Gopher Item"));
    setModal(false);
    m_text = new QPlainTextEdit(this);
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *copy = buttons->addButton(QStringLiteral("Copy"), QDialogButtonBox::ActionRole);
    QPushButton *close = buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
    QPushButton *help = buttons->addButton(QStringLiteral("Help"), QDialogButtonBox::HelpRole);
    help->setEnabled(false);
    connect(copy, &QPushButton::clicked, this, &CItemInfoWindow::copyText);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(help, &QPushButton::clicked, this, &CItemInfoWindow::helpRequested);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text, 1);
    layout->addWidget(buttons);
    resize(520, 340);
}

void CItemInfoWindow::setItem(const CBookmark &item, TextEncoding encoding,
                              const QByteArray &connection)
{
    m_item = item;
    m_connection = connection;
    // The labels are ASCII, which reads the same in every encoding offered,
    // and the line ends (TAB, LF, CR) stay what they are even in CP437.
    const QByteArray info = item.GetItemText() + item.GetNotesText() + connection
                            + item.GetPlusAttributes();
    QString text = decodeText(info, encoding);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_text->setPlainText(text);
}

QString CItemInfoWindow::text() const
{
    return m_text->toPlainText();
}

void CItemInfoWindow::copyText()
{
    if (m_text->textCursor().hasSelection()) {
        m_text->copy();
        return;
    }
    m_text->selectAll();
    m_text->copy();
    QTextCursor cursor = m_text->textCursor();
    cursor.clearSelection();
    m_text->setTextCursor(cursor);
}
