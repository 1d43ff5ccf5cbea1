#include "docs/gopherdir.h"

#include "docs/boolsearch.h"
#include "docs/userinterface.h"
#include "docs/windowregistry.h"
#include "net/winsockerrors.h"

namespace {

bool isBlankLine(QByteArrayView line)
{
    for (const char c : line) {
        if (c != ' ' && c != '\t')
            return false;
    }
    return true;
}

const QByteArray GopherPlusMenuView("\t+application/gopher+-menu");

} // namespace

CGopherDir::CGopherDir(const AppContext &context, QObject *parent) : CTarnwickDoc(context, parent)
{
}

const CBookmark &CGopherDir::GetItem() const
{
    return m_current ? *m_current : m_item;
}

void CGopherDir::DeleteContents()
{
    m_findPosition = 0;
    m_listTotal = 0;
    m_listThisCall = 0;
    m_current = nullptr;
    m_pendingInfo.clear();
    m_pendingAttributes.clear();
    m_haveInfo = false;
    m_scanned = 0;
    m_skippingLine = false;
    m_list.clear();
    Q_EMIT updateAllViews(ListHint | ClearHint);
}

void CGopherDir::requestStarting()
{
    m_scanned = 0;
    m_skippingLine = false;
}

void CGopherDir::selectRow(int row)
{
    m_current = (row >= 0 && row < listCount()) ? &m_list[size_t(row)] : nullptr;
    if (row >= 0)
        m_findPosition = row;
}

void CGopherDir::appendItem(std::deque<CBookmark> &list, QByteArrayView line)
{
    list.emplace_back();
    CBookmark &item = list.back();
    item.ParseMenuLine(line);
    // Menus name the same host on every line: keep one copy of it.
    if (item.host == m_lastHost)
        item.host = m_lastHost;
    else
        m_lastHost = item.host;
}

void CGopherDir::completePendingInfo()
{
    appendItem(m_list, m_pendingInfo);
    if (!m_pendingAttributes.isEmpty())
        m_list.back().ParseAttributes(m_pendingAttributes);
    ++m_listThisCall;
    m_pendingInfo.clear();
    m_pendingAttributes.clear();
    m_haveInfo = false;
}

void CGopherDir::OnReceive()
{
    m_listThisCall = 0;
    m_navigatorThisCall = 0;
    if (m_replyMode == NoHeader)
        m_replyMode = DotTerminated;

    const char *data = m_receiveBuffer.constData();
    const qsizetype size = m_receiveBuffer.size();
    qsizetype pos = 0;
    bool ended = false;
    // Lines are taken from the front with a moving offset; the buffer is cut
    // once at the end, so a large reply is not copied once per line.
    for (;;) {
        // The partial line kept from the last chunk holds no line end: do
        // not scan it again.
        qsizetype end = pos == 0 ? qMin(m_scanned, size) : pos;
        while (end < size && data[end] != '\r' && data[end] != '\n')
            ++end;
        if (end == size)
            break;
        const QByteArrayView line(data + pos, end - pos);
        if (line == QByteArrayView(".") && !m_skippingLine) {
            ended = true;
            break;
        }
        while (end < size && (data[end] == '\r' || data[end] == '\n'))
            ++end;
        pos = end;

        if (m_skippingLine) {
            // The end of a line too long to be a menu line.
            m_skippingLine = false;
            continue;
        }
        if (line.isEmpty() || isBlankLine(line))
            continue;
        if (line.front() == '1') {
            if (m_navigatorFlag)
                continue;
            appendItem(m_navigator, line);
            m_navigator.back().navigatorIndex = int(m_navigator.size()) - 1;
            ++m_navigatorThisCall;
        } else if (line.front() == '+' && line.indexOf(QByteArrayView("+INFO")) >= 0) {
            if (m_haveInfo)
                completePendingInfo();
            m_pendingInfo = line.size() > 7 ? line.sliced(7).toByteArray() : QByteArray();
            m_haveInfo = true;
        } else if (line.front() == '+' || line.front() == ' ') {
            if (line.size() + 2 + m_pendingAttributes.size() < PendingAttributeLimit) {
                m_pendingAttributes.append(line.data(), line.size());
                m_pendingAttributes.append("\r\n");
            }
        } else {
            appendItem(m_list, line);
            ++m_listThisCall;
        }
    }
    m_receiveBuffer.remove(0, pos);
    m_scanned = ended ? 0 : m_receiveBuffer.size();
    // A server that sends an endless line must not fill the memory: a menu
    // line is never this long, so the rest of it up to its end is dropped.
    if (!ended && m_receiveBuffer.size() > MaxMenuLine) {
        m_receiveBuffer.clear();
        m_scanned = 0;
        m_skippingLine = true;
    }

    if (ended && m_haveInfo)
        completePendingInfo();
    // A menu ends with its "." line even when the server keeps the
    // connection open.
    if (ended)
        m_done = true;

    m_listTotal += m_listThisCall;
    m_navigatorTotal += m_navigatorThisCall;
    m_receivedCount += m_listThisCall + m_navigatorThisCall;

    if (m_receivedCount != 0) {
        QByteArray status = QByteArray("Received ") + QByteArray::number(m_receivedCount) + " items";
        if (ended)
            status += " ... done";
        else if (!m_progressText.isEmpty())
            status += ", " + m_progressText;
        SetStatus(status);
    }
    Q_EMIT updateAllViews(NavigatorHint | AppendHint);
    Q_EMIT updateAllViews(ListHint | AppendHint);
    if (ended)
        Q_EMIT updateAllViews(ListHint | NavigatorHint | CompleteHint);
}

void CGopherDir::OnReceiveDone(int status)
{
    if (m_endHandled)
        return;
    m_endHandled = true;

    if (status == 0 && !m_receiveBuffer.isEmpty() && !m_done) {
        // The server closed after a last line without its line end.
        m_receiveBuffer.append("\r\n");
        OnReceive();
    }
    // Servers that end a Gopher+ menu by closing leave the last "+INFO"
    // block pending.
    if (m_haveInfo && status == 0) {
        completePendingInfo();
        m_listTotal += 1;
        m_receivedCount += 1;
        Q_EMIT updateAllViews(ListHint | AppendHint);
    }

    const bool endedByDot = m_done;
    bool retrying = false;
    if (m_listTotal != 0) {
        SetStatus(QByteArray("Received ") + QByteArray::number(m_receivedCount)
                  + " menu items ... done");
        m_receivedCount = 0;
    } else {
        const qsizetype view = m_item.selector.indexOf(GopherPlusMenuView);
        if (view < 0 || status != 0) {
            SetStatus(QByteArray("Directory appears empty (received ")
                      + QByteArray::number(m_bytesReceived) + " bytes)");
        } else {
            if (m_context.windows)
                m_context.windows->Unregister(m_windowKey, this);
            m_item.selector = m_item.selector.left(view) + "\t$\r\n";
            m_current = nullptr;
            m_windowKey = m_item.GetURL();
            if (m_context.windows)
                m_context.windows->Register(m_windowKey, this);
            SetStatus(QByteArray("Retrying directory ..."));
            m_endHandled = false;
            m_done = false;
            m_headerExamined = false;
            retrying = true;
            SendRequest();
        }
    }
    // A menu that ended without its "." line (the server closed, as Gopher+
    // servers do after "+-2", or the announced size was reached) is complete
    // now: the views mark the list complete and turn the navigator's
    // redrawing back on.
    if (status == 0 && !endedByDot && !retrying)
        Q_EMIT updateAllViews(ListHint | NavigatorHint | CompleteHint);

    int mark = 0;
    switch (status) {
    case 0:
        break;
    case WinSock::TimedOut:
        mark = NavigatorHint | TimedOutMark;
        break;
    case WinSock::ConnectionRefused:
        mark = NavigatorHint | RefusedMark;
        break;
    case WinSock::TryAgain:
        mark = NavigatorHint | HostNotFoundMark;
        break;
    case -1:
        mark = NavigatorHint | ListHint | CancelledMark;
        break;
    default:
        mark = NavigatorHint | FailedMark;
        break;
    }
    if (mark)
        Q_EMIT updateAllViews(mark);
}

void CGopherDir::fetchNavigatorNode(int index, bool expandedBefore)
{
    if (index < 0 || index >= navigatorCount())
        return;
    fetchNavigatorItem(m_navigator[size_t(index)], expandedBefore);
}

void CGopherDir::fetchNavigatorItem(const CBookmark &source, bool expandedBefore)
{
    CBookmark node;
    node.Assign(source);
    node.parentKey = m_windowKey;
    m_navigatorFlag = expandedBefore;
    m_done = false;
    m_endHandled = false;
    m_headerExamined = false;
    DeleteContents();
    Fetch(node);
}

void CGopherDir::FindText(const QByteArray &text, bool down, bool matchCase, bool)
{
    CBoolSearch search(m_context.ui);
    search.SetMatchCase(matchCase);
    if (!search.SetPattern(text))
        return;
    const int count = listCount();
    int row = m_findPosition;
    if (row >= count)
        row = 0;
    if (row < 0)
        row = count - 1;
    while (row >= 0 && row < count) {
        if (search.Match(m_list[size_t(row)].title)) {
            Q_EMIT updateAllViews(ListHint | NavigatorHint | SelectHint, row);
            m_findPosition = down ? row + 1 : row - 1;
            return;
        }
        row += down ? 1 : -1;
    }
    m_context.ui->messageBox(QByteArray("Text not found"), UserInterface::NoIcon);
}

void CGopherDir::OnEditCopy()
{
    if (!BeginCopy())
        return;
    for (const CBookmark &item : m_list)
        AddCopyLine(item.title + "\r\n");
    EndCopy();
}
