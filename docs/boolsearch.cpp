#include "docs/boolsearch.h"

#include "docs/userinterface.h"

#include <algorithm>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

CBoolSearch::CBoolSearch(UserInterface *ui)
    : m_ui(ui)
{
}

bool CBoolSearch::SetPattern(QByteArrayView pattern)
{
    m_matchStart = -1;
    m_matchEnd = -1;
    if (pattern.isEmpty()) {
        if (m_ui)
            m_ui->messageBox(QByteArray("Please enter a search pattern"), UserInterface::Exclamation);
        return false;
    }

    struct Word
    {
        const char *text;
        Operator op;
    };
    static constexpr Word operators[] = {
        {" AND ", And}, {" OR ", Or}, {" NOT ", Not}, {" ADJ ", Adj}};

    m_operator = None;
    m_leftTerm = pattern.toByteArray();
    m_rightTerm.clear();
    for (const Word &word : operators) {
        const QByteArrayView text(word.text);
        // Only the first occurrence counts; one at the very start is a word
        // of the text being looked for.
        const qsizetype position = pattern.indexOf(text);
        if (position < 1)
            continue;
        m_operator = word.op;
        QByteArrayView left = pattern.first(position);
        QByteArrayView right = pattern.sliced(position + text.size());
        while (!left.isEmpty() && isBlank(left.back()))
            left.chop(1);
        while (!right.isEmpty() && isBlank(right.front()))
            right = right.sliced(1);
        if (left.isEmpty() || right.isEmpty()) {
            if (m_ui) {
                m_ui->messageBox(QByteArray("You used one of the search operators\n"
                                            "AND, OR, NOT or ADJ.  Each of these requires two\n"
                                            "arguments, for example:\n"
                                            "University AND Kestova"),
                                 UserInterface::Exclamation);
            }
            return false;
        }
        m_leftTerm = left.toByteArray();
        m_rightTerm = right.toByteArray();
        break;
    }

    if (!m_matchCase) {
        m_leftTerm = m_leftTerm.toLower();
        m_rightTerm = m_rightTerm.toLower();
    }
    return true;
}

void CBoolSearch::setRange(qsizetype start, qsizetype end)
{
    m_matchStart = int(start);
    m_matchEnd = int(end);
}

bool CBoolSearch::Match(QByteArrayView text)
{
    m_matchStart = -1;
    m_matchEnd = -1;
    QByteArray lowered;
    if (!m_matchCase) {
        lowered = text.toByteArray().toLower();
        text = lowered;
    }

    const qsizetype a = text.indexOf(m_leftTerm);
    const qsizetype aEnd = a + m_leftTerm.size();
    if (m_operator == None || m_operator == Not) {
        if (a < 0)
            return false;
        if (m_operator == Not && text.indexOf(m_rightTerm) >= 0)
            return false;
        setRange(a, aEnd);
        return true;
    }

    const qsizetype b = text.indexOf(m_rightTerm);
    const qsizetype bEnd = b + m_rightTerm.size();
    if (m_operator == Or && (a < 0 || b < 0)) {
        if (a >= 0)
            setRange(a, aEnd);
        else if (b >= 0)
            setRange(b, bEnd);
        return a >= 0 || b >= 0;
    }
    if (a < 0 || b < 0)
        return false;

    // On equal positions the left term counts as the earlier one.
    const bool leftFirst = a <= b;
    const qsizetype earlierEnd = leftFirst ? aEnd : bEnd;
    const qsizetype laterEnd = leftFirst ? bEnd : aEnd;
    if (m_operator == Adj && laterEnd - earlierEnd > text.size() / 2)
        return false;
    // The range covers both terms, also when one term lies inside the other.
    setRange(std::min(a, b), std::max(aEnd, bEnd));
    return true;
}
