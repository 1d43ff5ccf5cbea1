#include "gplus/extinfodoc.h"

#include "documents/appcontext.h"
#include "documents/userinterface.h"

namespace {

// The attribute request for a selector: its text up to the first TAB, CR or
// LF, then "\t!".
QByteArray attributeRequest(const QByteArray &selector)
{
    return CBookmark::plainSelector(selector) + "\t!\r\n";
}

} // namespace

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
    m_item.selector = attributeRequest(m_item.selector);
    SendRequest();
    setTitle(m_item.title);
    return true;
}

void CExtInfoDoc::requestStarting()
{
    m_received.clear();
    m_truncated = false;
}

void CExtInfoDoc::OnReceive()
{
    // Attribute blocks are short; a reply beyond the limit keeps what fits.
    const qsizetype room = ReceivedLimit - 1 - m_received.size();
    const qsizetype take = qMax<qsizetype>(0, qMin(room, pendingBytes()));
    if (take > 0)
        m_received.append(receiveBuffer().first(take));
    if (take < pendingBytes())
        m_truncated = true;
    clearReceived();
    SetStatus(QByteArray("Received ") + QByteArray::number(m_received.size()) + " bytes");
}

void CExtInfoDoc::OnReceiveDone(int)
{
    const QByteArray request = m_item.selector;
    if (!m_received.isEmpty())
        m_item.ParseAttributes(m_received);
    m_item.selector = m_savedSelector;
    if (m_truncated) {
        // Blocks after the limit (often +VIEWS) are missing: the item may
        // open in a view other than the one the server would have offered.
        setCutNotice("the attributes were cut at " + groupedNumber(ReceivedLimit - 1) + " bytes");
        m_context.ui->messageBox("The item's attributes were longer than "
                                 + QByteArray::number(ReceivedLimit - 1)
                                 + " bytes; only their first part is used.");
    }
    if (m_item.attributeText.isEmpty()) {
        m_context.ui->messageBox(QByteArray("Failed to retrieve extended information\n for '")
                                 + m_item.title + "'");
    } else if (m_opensItem) {
        // A home gopher stays one: the item opens with the values this
        // document was opened with (its window layout, the retry of the
        // other server).
        m_context.app->OpenItem(m_item, openMode(), secondValue(), homeFailures());
    }
    m_item.selector = request;
    OnCloseDocument();
}

void CExtInfoDoc::sendHomeRequest(const CBookmark &home)
{
    if (!home.IsGopherPlus()) {
        // A plain server has no attributes to ask for: its menu opens in a
        // window of its own, which goes on counting the failures.
        m_context.app->OpenItem(home, openMode(), secondValue(), homeFailures());
        OnCloseDocument();
        return;
    }
    m_item.host = home.host;
    m_item.port = home.port;
    m_item.SetGopherPlus(true);
    m_savedSelector = home.selector;
    m_item.selector = attributeRequest(home.selector);
    SendRequest();
}
