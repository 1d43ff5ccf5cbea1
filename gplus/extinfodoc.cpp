#include "gplus/extinfodoc.h"

#include "app/tarnwickapp.h"
#include "docs/userinterface.h"

CExtInfoDoc::CExtInfoDoc(const AppContext &context, QObject *parent)
    : CTarnwickDoc(context, parent)
{
}

bool CExtInfoDoc::Fetch(const CBookmark &item)
{
    m_item.Assign(item);
    m_item.viewLines = item.viewLines;
    m_item.askLines = item.askLines;
    m_savedSelector = m_item.selector;
    qsizetype end = 0;
    while (end < m_item.selector.size() && m_item.selector[end] != '\t'
           && m_item.selector[end] != '\r' && m_item.selector[end] != '\n')
        ++end;
    m_item.selector = m_item.selector.left(end) + "\t!\r\n";
    SendRequest();
    setTitle(m_item.title);
    return true;
}

void CExtInfoDoc::OnReceive()
{
    if (m_replyMode == NoHeader)
        m_replyMode = DotTerminated;
    if (m_received.size() + m_receiveBuffer.size() < ReceivedLimit)
        m_received.append(m_receiveBuffer);
    m_receiveBuffer.clear();
    SetStatus(QByteArray("Received ") + QByteArray::number(m_received.size()) + " bytes");
    if (m_received.size() >= 5 && m_received.endsWith("\r\n.\r\n"))
        m_done = true;
}

void CExtInfoDoc::OnReceiveDone(int)
{
    if (m_endHandled)
        return;
    m_endHandled = true;
    const QByteArray request = m_item.selector;
    if (!m_received.isEmpty())
        m_item.ParseAttributes(m_received);
    m_item.selector = m_savedSelector;
    if (m_item.attributeText.isEmpty()) {
        m_context.ui->messageBox(QByteArray("Failed to retrieve extended information\n for '")
                                 + m_item.title + "'");
    } else if (m_context.app) {
        m_context.app->OpenItem(m_item, 0, 0);
    }
    m_item.selector = request;
    OnCloseDocument();
}
