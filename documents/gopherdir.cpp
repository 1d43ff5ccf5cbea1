#include "documents/gopherdir.h"

#include "documents/appcontext.h"
#include "documents/boolsearch.h"
#include "documents/userinterface.h"
#include "documents/windowregistry.h"
#include "net/winsockerrors.h"

#include <QMetaMethod>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// Where the line from `from` ends: its first CR or LF, or size. memchr finds
// them far faster than a loop over the bytes of a large menu.
qsizetype lineEnd(const char *bytes, qsizetype from, qsizetype size)
{
    const void *lf = std::memchr(bytes + from, '\n', size_t(size - from));
    const qsizetype limit = lf ? static_cast<const char *>(lf) - bytes : size;
    const void *cr = std::memchr(bytes + from, '\r', size_t(limit - from));
    return cr ? static_cast<const char *>(cr) - bytes : limit;
}

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
    m_authored = context.app->menuAsAuthored();
    connect(context.app.get(), &AppServices::menuLayoutChanged, this, &CGopherDir::setAuthored);
}

const MenuItemStore &CGopherDir::storeOf(quint32 code) const
{
    switch (code & 3) {
    case NavigatorStore:
        return m_navigator;
    case DirLineStore:
        return m_dirLines;
    default:
        return m_list;
    }
}

quint32 CGopherDir::rowCode(int row) const
{
    return m_authored ? m_order[size_t(row)] : (quint32(row) << 2 | ListStore);
}

CBookmark CGopherDir::listItem(int row) const
{
    const quint32 code = rowCode(row);
    return storeOf(code).item(int(code >> 2), (code & 3) == NavigatorStore);
}

QByteArray CGopherDir::listTitle(int row) const
{
    const quint32 code = rowCode(row);
    return storeOf(code).title(int(code >> 2));
}

int CGopherDir::navigatorIndexOfRow(int row) const
{
    if (row < 0 || row >= listCount())
        return -1;
    const quint32 code = rowCode(row);
    if ((code & 3) == NavigatorStore)
        return int(code >> 2);
    if ((code & 3) != DirLineStore)
        return -1;
    // A directory met again after its node was expanded: the navigator's
    // earlier item for the same place.
    const CBookmark wanted = m_dirLines.item(int(code >> 2));
    for (int i = navigatorCount() - 1; i >= 0; --i) {
        const CBookmark node = m_navigator.item(i);
        if (node.selector == wanted.selector && node.host == wanted.host && node.port == wanted.port)
            return i;
    }
    return -1;
}

void CGopherDir::openNavigatorNode(int index)
{
    if (index < 0 || index >= navigatorCount() || hasLiveTransaction())
        return;
    if (isSignalConnected(QMetaMethod::fromSignal(&CGopherDir::navigatorNodeRequested)))
        Q_EMIT navigatorNodeRequested(index);
    else
        fetchNavigatorNode(index, false);
}

void CGopherDir::setAuthored(bool on)
{
    if (on == m_authored)
        return;
    // The chosen row stays chosen when the other layout shows it.
    int row = -1;
    if (m_currentRow >= 0) {
        const quint32 code = rowCode(m_currentRow);
        if (on) {
            const auto found = std::find(m_order.begin(), m_order.end(), code);
            if (found != m_order.end())
                row = int(found - m_order.begin());
        } else if ((code & 3) == ListStore) {
            row = int(code >> 2);
        }
    }
    m_authored = on;
    m_current.reset();
    m_currentRow = -1;
    m_findPosition = qMax(0, row);
    Q_EMIT updateAllViews(ListHint | LayoutHint);
    if (row >= 0)
        Q_EMIT updateAllViews(ListHint | SelectHint, row);
}

qsizetype CGopherDir::itemMemory() const
{
    return m_list.memoryUsed() + m_navigator.memoryUsed() + m_dirLines.memoryUsed()
           + qsizetype(m_order.capacity() * sizeof(quint32));
}

const CBookmark &CGopherDir::GetItem() const
{
    return m_current ? *m_current : m_item;
}

void CGopherDir::setListItemType(int row, char type)
{
    if (row >= 0 && row < listCount()) {
        const quint32 code = rowCode(row);
        storeOf(code).setType(int(code >> 2), type);
    }
    if (m_current && m_currentRow == row)
        m_current->type = type;
}

void CGopherDir::DeleteContents()
{
    m_findPosition = 0;
    m_listTotal = 0;
    m_listThisCall = 0;
    m_current.reset();
    m_currentRow = -1;
    m_pendingInfo.clear();
    m_pendingAttributes.clear();
    m_haveInfo = false;
    m_scanned = 0;
    m_skippingLine = false;
    m_list.clear();
    m_dirLines.clear();
    std::vector<quint32>().swap(m_order);
    m_lastStore = -1;
    m_sawInfo = false;
    Q_EMIT updateAllViews(ListHint | ClearHint);
}

void CGopherDir::requestStarting()
{
    for (MenuItemStore *store : {&m_list, &m_navigator, &m_dirLines})
        store->setOrigin(m_item.host, m_item.port, m_item.tls);
    // Items counted for an earlier request that never finished are not this
    // request's.
    m_receivedCount = 0;
    m_scanned = 0;
    m_skippingLine = false;
    m_fetchItems = 0;
    m_dirLineItems = 0;
    m_endedByDot = false;
    m_cut = false;
    m_lastStore = -1;
    m_sawInfo = false;
}

void CGopherDir::selectRow(int row)
{
    m_currentRow = row >= 0 && row < listCount() ? row : -1;
    if (m_currentRow >= 0)
        m_current = listItem(row);
    else
        m_current.reset();
    if (row >= 0)
        m_findPosition = row;
}

bool CGopherDir::roomForItem()
{
    if (m_fetchItems + m_dirLineItems < m_itemLimit)
        return true;
    m_cut = true;
    return false;
}

void CGopherDir::appendItem(Store store, QByteArrayView line, QByteArrayView attributes)
{
    MenuItemStore &list = storeOf(store);
    m_order.push_back(quint32(list.count()) << 2 | store);
    list.append(line, attributes);
    m_lastStore = store;
    // Directories the navigator has already are kept for the authored order
    // only; they count against the limit, not as the fetch's items.
    if (store == DirLineStore)
        ++m_dirLineItems;
    else
        ++m_fetchItems;
}

void CGopherDir::completePendingInfo()
{
    appendItem(ListStore, m_pendingInfo, m_pendingAttributes);
    ++m_listThisCall;
    m_pendingInfo.clear();
    m_pendingAttributes.clear();
    m_haveInfo = false;
}

void CGopherDir::OnReceive()
{
    const qsizetype used = receiveLines(receiveBuffer());
    consumeReceived(used);
    // A held "." line is scanned again from its start.
    m_scanned = m_endedByDot || m_heldDotLine ? 0 : pendingBytes();
    m_heldDotLine = false;
    // A server that sends an endless line must not fill the memory: a menu
    // line is never this long, so the rest of it up to its end is dropped.
    if (!m_endedByDot && !m_cut && pendingBytes() > MaxMenuLine) {
        clearReceived();
        m_scanned = 0;
        m_skippingLine = true;
    }
    // A menu ends with its "." line even when the server keeps the
    // connection open; a menu cut at the limit ends there too.
    if (m_endedByDot || m_cut)
        replyComplete();
}

qsizetype CGopherDir::receiveLines(QByteArrayView data)
{
    m_listThisCall = 0;
    m_navigatorThisCall = 0;
    // Replies framed by their size or by the close do not end at a "." line;
    // there such a line is no item either.
    const bool dotEnds = dotLineEndsReply();

    const char *bytes = data.data();
    const qsizetype size = data.size();
    qsizetype pos = 0;
    bool ended = false;
    // Lines are taken from the front with a moving offset; the buffer is cut
    // once at the end, so a large reply is not copied once per line.
    while (!m_cut) {
        // The partial line kept from the last chunk holds no line end: do
        // not scan it again.
        const qsizetype end = lineEnd(bytes, pos == 0 ? qMin(m_scanned, size) : pos, size);
        if (end == size)
            break;
        const QByteArrayView line(bytes + pos, end - pos);
        if (line == QByteArrayView(".") && !m_skippingLine && dotEnds) {
            // A "." line whose CR is the last byte so far ends the menu once
            // the next byte (its LF, if any) or the close arrives, as the
            // framer counts it: the menu ends the same however it was cut.
            if (bytes[end] == '\r' && end + 1 == size) {
                m_heldDotLine = true;
                break;
            }
            ended = true;
            break;
        }
        const qsizetype lineStart = pos;
        qsizetype next = end;
        while (next < size && (bytes[next] == '\r' || bytes[next] == '\n'))
            ++next;
        pos = next;

        if (m_skippingLine) {
            // The end of a line too long to be a menu line.
            m_skippingLine = false;
            continue;
        }
        if (line.isEmpty() || isBlankLine(line) || line == QByteArrayView("."))
            continue;
        if (line.front() == '1') {
            if (!roomForItem()) {
                pos = lineStart;
                break;
            }
            // A node expanded before has its sub-directories in the
            // navigator already; the authored order still shows them.
            if (navigatorFlag()) {
                appendItem(DirLineStore, line);
                continue;
            }
            appendItem(NavigatorStore, line);
            ++m_navigatorThisCall;
        } else if (line.front() == '+' && !m_sawInfo && line.indexOf(QByteArrayView("+INFO")) < 0) {
            // A plain menu names another server for the item above it.
            if (m_lastStore >= 0) {
                const CBookmark::RedundantServer server = CBookmark::ParseRedundantLine(line);
                if (server.port != 0 && server.host != "error")
                    storeOf(quint32(m_lastStore)).appendServerLine(line);
            }
        } else if (line.front() == '+' && line.indexOf(QByteArrayView("+INFO")) >= 0) {
            m_sawInfo = true;
            if (m_haveInfo) {
                if (!roomForItem()) {
                    pos = lineStart;
                    break;
                }
                completePendingInfo();
            }
            m_pendingInfo = line.size() > 7 ? line.sliced(7).toByteArray() : QByteArray();
            m_haveInfo = true;
        } else if (line.front() == '+' || line.front() == ' ') {
            if (line.size() + 2 + m_pendingAttributes.size() < PendingAttributeLimit) {
                m_pendingAttributes.append(line.data(), line.size());
                m_pendingAttributes.append("\r\n");
            }
        } else {
            if (!roomForItem()) {
                pos = lineStart;
                break;
            }
            appendItem(ListStore, line);
            ++m_listThisCall;
        }
    }

    if ((ended || m_cut) && m_haveInfo && roomForItem())
        completePendingInfo();
    if (ended)
        m_endedByDot = true;

    m_listTotal += m_listThisCall;
    m_navigatorTotal += m_navigatorThisCall;
    m_receivedCount += m_listThisCall + m_navigatorThisCall;

    if (m_receivedCount != 0) {
        QByteArray status = QByteArray("Received ") + QByteArray::number(m_receivedCount) + " items";
        if (ended)
            status += " ... done";
        else if (!progressText().isEmpty())
            status += ", " + progressText();
        SetStatus(status);
    }
    Q_EMIT updateAllViews(NavigatorHint | AppendHint);
    Q_EMIT updateAllViews(ListHint | AppendHint);
    if (ended || m_cut)
        Q_EMIT updateAllViews(ListHint | NavigatorHint | CompleteHint);
    return pos;
}


void CGopherDir::OnReceiveDone(int status)
{
    // The lists grew by doubling while the menu arrived; give back what a
    // finished menu does not use.
    m_list.squeeze();
    m_navigator.squeeze();
    m_dirLines.squeeze();
    m_order.shrink_to_fit();
    if (status == 0 && pendingBytes() != 0 && !m_endedByDot && !m_cut) {
        // The server closed after a last line without its line end.
        const QByteArray last = receiveBuffer() + "\r\n";
        clearReceived();
        m_scanned = 0;
        receiveLines(last);
    }
    // Servers that end a Gopher+ menu by closing leave the last "+INFO"
    // block pending.
    if (m_haveInfo && status == 0 && roomForItem()) {
        completePendingInfo();
        m_listTotal += 1;
        m_receivedCount += 1;
        Q_EMIT updateAllViews(ListHint | AppendHint);
    }

    bool retrying = false;
    if (m_cut) {
        const QByteArray limit = groupedNumber(m_itemLimit);
        SetStatus(QByteArray("Received ") + QByteArray::number(m_receivedCount)
                  + " menu items ... stopped at the limit of " + limit + " items");
        m_receivedCount = 0;
        setCutNotice("the directory was cut at " + limit + " items");
        m_context.ui->messageBox(QByteArray("This implementation handles directories of up to ")
                                     + limit + " items.\nThe rest of this directory was not read.",
                                 UserInterface::Exclamation);
    } else if (status == -1) {
        SetStatus(QByteArray("Transfer stopped"));
        m_receivedCount = 0;
    } else if (m_fetchItems != 0) {
        // A menu of sub-directories only is not empty: its items are in the
        // navigator.
        SetStatus(QByteArray("Received ") + QByteArray::number(m_receivedCount) + " menu items"
                  + (status == 0 ? " ... done" : " ... transfer failed"));
        m_receivedCount = 0;
    } else {
        const qsizetype view = m_item.selector.indexOf(GopherPlusMenuView);
        if (view < 0 || status != 0) {
            SetStatus(QByteArray("Directory appears empty (received ")
                      + QByteArray::number(bytesReceived()) + " bytes)");
        } else {
            // Some servers answer the menu view empty but know the plain
            // Gopher+ directory request.
            m_item.selector = m_item.selector.left(view) + "\t$\r\n";
            m_current.reset();
            m_currentRow = -1;
            registerWindowKey(m_item.GetURL());
            SetStatus(QByteArray("Retrying directory ..."));
            retrying = true;
            SendRequest();
        }
    }
    // A menu that ended without its "." line (the server closed, as Gopher+
    // servers do after "+-2", or the announced size was reached) is complete
    // now: the views mark the list complete and turn the navigator's
    // redrawing back on.
    if (status == 0 && !m_endedByDot && !m_cut && !retrying)
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

bool CGopherDir::Fetch(const CBookmark &item)
{
    // The directory the window is opened on is the first place Back returns to.
    if (m_visits.empty()) {
        m_visits.push_back({-1, item});
        m_visitAt = 0;
    }
    return CTarnwickDoc::Fetch(item);
}

void CGopherDir::fetchNavigatorNode(int index, bool expandedBefore)
{
    if (index < 0 || index >= navigatorCount())
        return;
    fetchNode(m_navigator.item(index, true), expandedBefore, index);
}

void CGopherDir::fetchNavigatorItem(const CBookmark &source, bool expandedBefore)
{
    fetchNode(source, expandedBefore, -1);
}

void CGopherDir::fetchNode(const CBookmark &source, bool expandedBefore, int navigatorIndex)
{
    CBookmark node;
    node.Assign(source);
    node.parentKey = windowKey();
    const bool stepping = std::exchange(m_stepping, false);
    if (!stepping && m_visitAt >= 0 && m_visits[size_t(m_visitAt)].navigatorIndex != navigatorIndex) {
        // A move from the middle of the way forgets the way forward.
        m_visits.erase(m_visits.begin() + m_visitAt + 1, m_visits.end());
        m_visits.push_back({navigatorIndex, node});
        if (m_visits.size() > size_t(MaxVisits))
            m_visits.erase(m_visits.begin());
        m_visitAt = int(m_visits.size()) - 1;
    }
    setNavigatorFlag(expandedBefore);
    DeleteContents();
    Fetch(node);
    // Steps retrace the way; moves are new places the history records.
    if (!stepping && !isClosing())
        m_context.app->recordVisit(this);
}

void CGopherDir::stepTo(int visit)
{
    if (visit < 0 || visit >= int(m_visits.size()) || visit == m_visitAt || hasLiveTransaction())
        return;
    m_visitAt = visit;
    const Visit &to = m_visits[size_t(visit)];
    m_stepping = true;
    // The navigator selects the node and fetches it; a window without one
    // fetches the place itself.
    if (isSignalConnected(QMetaMethod::fromSignal(&CGopherDir::navigatorNodeRequested)))
        Q_EMIT navigatorNodeRequested(to.navigatorIndex);
    else if (to.navigatorIndex >= 0)
        fetchNavigatorNode(to.navigatorIndex, false);
    else
        fetchNavigatorItem(to.item, false);
    m_stepping = false;
}

void CGopherDir::FindText(const QByteArray &text, bool down, bool matchCase, bool)
{
    CBoolSearch search(m_context.ui.get());
    search.SetMatchCase(matchCase);
    // The pattern is looked for as the window shows the host's bytes.
    search.SetEncoding(displayEncoding());
    if (!search.SetPattern(text))
        return;
    const int count = listCount();
    int row = m_findPosition;
    if (row >= count)
        row = 0;
    if (row < 0)
        row = count - 1;
    while (row >= 0 && row < count) {
        if (search.Match(listTitle(row))) {
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
    for (int row = 0; row < listCount(); ++row) {
        // A link to another protocol is copied with its address.
        const CBookmark item = listItem(row);
        if (item.isUrlLink())
            AddCopyLine(item.title + " <" + item.linkAddress() + ">\r\n");
        else
            AddCopyLine(item.title + "\r\n");
    }
    EndCopy();
}
