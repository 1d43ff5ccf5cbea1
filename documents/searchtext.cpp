#include "documents/searchtext.h"

#include "settings/appsettings.h"
#include "settings/profilefile.h"
#include "documents/userinterface.h"

CSearchText::CSearchText(const AppContext &context, QObject *parent)
    : CTarnwickDoc(context, parent)
{
    m_words = m_context.app->settings().searchText();
}

bool CSearchText::Fetch(const CBookmark &item)
{
    // Nothing to fetch until the user searches.
    m_item.Assign(item);
    setTitle(m_item.title);
    registerWindowKey(m_item.GetURL());
    return true;
}

CBookmark CSearchText::searchItem(const CBookmark &index, const QByteArray &words)
{
    // RFC 1436: the selector, a TAB and the words. A Gopher+ index keeps its
    // request marker after the words.
    QByteArray selector = index.selector;
    qsizetype lineEnd = 0;
    while (lineEnd < selector.size() && selector[lineEnd] != '\r' && selector[lineEnd] != '\n')
        ++lineEnd;
    selector.truncate(lineEnd);
    QByteArray tail;
    if (const qsizetype tab = selector.indexOf('\t'); tab >= 0) {
        tail = selector.mid(tab);
        selector.truncate(tab);
    }
    // A line end inside the words would end the request early and send the
    // rest as a request of its own; a TAB would start a Gopher+ marker of the
    // words' making.
    QByteArray sent = words;
    sent.replace('\r', ' ').replace('\n', ' ').replace('\t', ' ');
    selector += '\t' + sent + tail + "\r\n";
    return CBookmark('1', index.title + " : " + words, selector, index.host, index.port);
}

CTarnwickDoc *CSearchText::DoSearch()
{
    if (m_words.isEmpty())
        return nullptr;
    if (m_remembersWords && !m_context.app->settings().setSearchText(m_words))
        m_context.ui->messageBox(QByteArray("Could not write the settings file\n")
                                 + m_context.app->settingsPath().toUtf8() + "\n"
                                 + m_context.app->profile().lastError().toUtf8());
    const CBookmark result = searchItem(m_item, m_words);
    return m_context.app->OpenItem(result, 0, 0);
}
