#include "documents/maxarray.h"

CMaxArray::CMaxArray()
{
    RemoveAll();
}

void CMaxArray::SetAt(qsizetype index, const QByteArray &text)
{
    if (index < 0)
        return;
    const qsizetype pageNumber = index / PageSize;
    const qsizetype position = index % PageSize;
    if (pageNumber >= m_pages.size())
        m_pages.resize(pageNumber + 1);
    QList<QByteArray> &page = m_pages[pageNumber];
    // Pages grow geometrically, so sequential stores are amortised O(1).
    if (position == page.size())
        page.append(text);
    else {
        if (position > page.size())
            page.resize(position + 1);
        page[position] = text;
    }
    m_lastIndex = index;
    m_totalCharacters += text.size();
}

void CMaxArray::Add(const QByteArray &text)
{
    SetAt(m_lastIndex, text);
    ++m_lastIndex;
}

QByteArray CMaxArray::GetAt(qsizetype index) const
{
    if (index < 0)
        return QByteArray();
    const qsizetype pageNumber = index / PageSize;
    const qsizetype position = index % PageSize;
    if (pageNumber >= m_pages.size() || position >= m_pages.at(pageNumber).size())
        return QByteArray();
    return m_pages.at(pageNumber).at(position);
}

void CMaxArray::RemoveLast()
{
    const qsizetype pageNumber = m_lastIndex / PageSize;
    const qsizetype position = m_lastIndex % PageSize;
    if (pageNumber >= m_pages.size() || position >= m_pages.at(pageNumber).size())
        return;
    m_pages[pageNumber].removeAt(position);
    // The first string of a page took the page with it. Only the last page is
    // dropped, so that later pages keep their numbers.
    if (position == 0 && pageNumber == m_pages.size() - 1)
        m_pages.removeLast();
    if (m_lastIndex > 0)
        --m_lastIndex;
}

void CMaxArray::RemoveAll()
{
    m_pages.clear();
    m_pages.append(QList<QByteArray>());
    m_lastIndex = 0;
    m_totalCharacters = 0;
}

void CMaxArray::FreeExtra()
{
    for (QList<QByteArray> &page : m_pages)
        page.squeeze();
}

void CMaxArray::CopyTo(QByteArray &buffer) const
{
    buffer.reserve(buffer.size() + m_totalCharacters);
    qsizetype remaining = m_lastIndex;
    for (const QList<QByteArray> &page : m_pages) {
        for (const QByteArray &text : page) {
            if (remaining-- <= 0)
                return;
            buffer.append(text);
        }
        // Positions past the end of a short page read as empty strings.
        remaining -= PageSize - page.size();
        if (remaining <= 0)
            return;
    }
}
