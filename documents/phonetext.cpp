#include "documents/phonetext.h"

#include "documents/boolsearch.h"
#include "documents/userinterface.h"

const QByteArray CPhoneText::BlockEnd("quit\r\nbye\r\nexit\r\n");
const QByteArray CPhoneText::FieldsRequest("fields\r\nquit\r\nbye\r\nexit\r\n");
const QByteArray CPhoneText::Separator(" ");

namespace {

// The response number between the first two colons: leading digits only,
// anything else (or a number too large to mean anything) reads as 0.
int responseNumber(QByteArrayView text)
{
    qint64 number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            break;
        number = number * 10 + (c - '0');
        if (number > 0x7fffffff)
            return 0;
    }
    return int(number);
}

} // namespace

CPhoneText::CPhoneText(const AppContext &context, QObject *parent)
    : CTarnwickDoc(context, parent)
{
    m_item.selector = FieldsRequest;
}

void CPhoneText::DeleteContents()
{
    m_highestResponse = 0;
    m_findLine = 0;
    m_lineCount = 0;
    m_fieldsMode = true;
    m_done = false;
    m_cut = false;
    m_skippingLine = false;
    m_lines.RemoveAll();
    m_item.selector = FieldsRequest;
    Q_EMIT updateAllViews(ClearedHint);
}

bool CPhoneText::Fetch(const CBookmark &item)
{
    m_item.Assign(item);
    // The window is known by the item as the user opened it, not by the
    // command block that replaces its selector.
    registerWindowKey(m_item.GetURL());
    setTitle(m_item.title);
    m_fieldsMode = true;
    m_done = false;
    m_cut = false;
    m_item.selector = FieldsRequest;
    SendRequest();
    return true;
}

bool CPhoneText::sendTypedQuery(const QString &text)
{
    const TextEncoding encoding = displayEncoding();
    const std::optional<QByteArray> bytes = encodeText(text, encoding);
    if (!bytes) {
        m_context.ui->messageBox("The query has characters that " + encodingName(encoding)
                                     + " cannot send. Nothing was sent.",
                                 UserInterface::Exclamation);
        return false;
    }
    m_query = *bytes;
    SendQuery();
    return true;
}

void CPhoneText::SendQuery()
{
    m_lines.RemoveAll();
    m_lineCount = 0;
    m_highestResponse = 0;
    m_findLine = 0;
    m_done = false;
    m_cut = false;
    m_skippingLine = false;
    m_fieldsMode = false;
    // A line end typed into the query would start a command of its own.
    QByteArray query = m_query;
    query.replace('\r', ' ').replace('\n', ' ');
    m_item.selector = "query " + query + "\r\n" + BlockEnd;
    SendRequest();
    Q_EMIT updateAllViews(NewLinesHint);
}

QByteArray CPhoneText::GetLine(int index) const
{
    if (index < 0 || index >= m_lineCount)
        return QByteArray();
    return m_lines.GetAt(index);
}

void CPhoneText::appendLine(const QByteArray &text)
{
    // A reply that would go past the limit is cut here; one that ends with
    // its last line at the limit is whole.
    if (m_lineCount >= MaxLines) {
        m_cut = true;
        return;
    }
    m_lines.Add(text);
    ++m_lineCount;
}

void CPhoneText::parseLine(const QByteArray &line)
{
    const qsizetype firstColon = line.indexOf(':');
    if (firstColon < 0)
        return;
    if (line.indexOf(":Ok.") > 0) {
        m_done = true;
        return;
    }
    if (m_fieldsMode && !line.contains("Lookup"))
        return;
    QByteArray rest = line.mid(firstColon + 1);
    const qsizetype secondColon = rest.indexOf(':');
    if (secondColon >= 0) {
        const int number = responseNumber(QByteArrayView(rest).first(secondColon));
        if (!m_fieldsMode && number > 0 && number > m_highestResponse) {
            appendLine(Separator);
            m_highestResponse = number;
        }
        rest = rest.mid(secondColon + 1);
        if (m_fieldsMode) {
            const qsizetype end = rest.indexOf(':');
            if (end >= 0)
                rest.truncate(end);
        }
    }
    appendLine(rest);
}

void CPhoneText::OnReceive()
{
    const QByteArray &buffer = receiveBuffer();
    qsizetype position = 0;
    while (!m_done && !m_cut) {
        // Line ends left over from a line taken in an earlier piece.
        while (position < buffer.size() && (buffer.at(position) == '\r' || buffer.at(position) == '\n')
               && !m_skippingLine)
            ++position;
        const qsizetype lineEnd = buffer.indexOf("\r\n", position);
        if (lineEnd < 0) {
            // No line end in sight: an over-long line is cut here and the
            // rest of it skipped when its end comes.
            if (buffer.size() - position > MaxLineLength) {
                if (!m_skippingLine)
                    parseLine(buffer.mid(position, MaxLineLength));
                m_skippingLine = true;
                position = buffer.size();
            }
            break;
        }
        qsizetype textEnd = position;
        while (textEnd < lineEnd && buffer.at(textEnd) != '\r' && buffer.at(textEnd) != '\n')
            ++textEnd;
        const QByteArray line = buffer.mid(position, qMin<qsizetype>(textEnd - position, MaxLineLength));
        position = lineEnd + 2;
        while (position < buffer.size() && (buffer.at(position) == '\r' || buffer.at(position) == '\n'))
            ++position;
        if (m_skippingLine) {
            m_skippingLine = false;
            continue;
        }
        parseLine(line);
    }
    consumeReceived(position);
    if (m_cut || m_done) {
        // Nothing after ":Ok." (or past the limit) is wanted.
        clearReceived();
        replyComplete();
        m_done = true;
    }
    showReceived();
    Q_EMIT updateAllViews(NewLinesHint);
    if (m_fieldsMode && m_done)
        m_fieldsMode = false;
}

void CPhoneText::showReceived()
{
    if (m_lineCount < 1)
        return;
    QByteArray status = "Received "
                        + QByteArray::number(m_fieldsMode ? m_lineCount : m_highestResponse)
                        + (m_fieldsMode ? " fields" : " responses");
    if (m_cut)
        status += " ... stopped at the limit of " + groupedNumber(MaxLines) + " lines";
    else if (m_done)
        status += " ... done";
    SetStatus(status);
}

void CPhoneText::OnReceiveDone(int)
{
    m_done = true;
    m_skippingLine = false;
    m_lines.FreeExtra();
    Q_EMIT updateAllViews(NewLinesHint);
    if (m_cut) {
        // As for a directory: the last person shown may be missing lines.
        const QByteArray limit = groupedNumber(MaxLines);
        setCutNotice("the phone-book reply was cut at " + limit + " lines");
        m_context.ui->messageBox("This implementation handles phone-book replies of up to " + limit
                                     + " lines.\nThe rest of the reply was not read.",
                                 UserInterface::Exclamation);
    }
    // A field list cut short still leaves the fields it gave.
    m_fieldsMode = false;
}

bool CPhoneText::OnUpdateEditCopy() const
{
    return m_done && m_lineCount > 0;
}

void CPhoneText::OnEditCopy()
{
    Q_EMIT updateAllViews(CopyHint);
}

void CPhoneText::CopyLines(int count, const QList<int> &indices)
{
    if (!BeginCopy())
        return;
    if (count < 1) {
        for (int i = 0; i < m_lineCount; ++i)
            AddCopyLine(GetLine(i) + "\r\n");
    } else {
        for (int i = 0; i < count && i < indices.size(); ++i)
            AddCopyLine(GetLine(indices.at(i)) + "\r\n");
    }
    EndCopy();
}

void CPhoneText::FindText(const QByteArray &text, bool down, bool matchCase, bool)
{
    CBoolSearch search(m_context.ui.get());
    search.SetMatchCase(matchCase);
    search.SetEncoding(displayEncoding());
    if (!search.SetPattern(text))
        return;
    if (m_findLine >= m_lineCount)
        m_findLine = 0;
    if (m_findLine < 0)
        m_findLine = m_lineCount - 1;
    int line = m_findLine;
    if (m_findLine > 0)
        line += down ? 1 : -1;
    while (line >= 0 && line < m_lineCount) {
        if (search.Match(GetLine(line))) {
            m_findLine = line;
            Q_EMIT updateAllViews(FoundHint, line);
            return;
        }
        line += down ? 1 : -1;
    }
    m_context.ui->messageBox(QByteArray("Text not found"));
}
