#include "documents/boolsearch.h"

#include "documents/userinterface.h"

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

    m_lower = &lowerCaseBytes(m_encoding);
    // Only typed text (UTF-8) beyond ASCII has Latin-1 bytes of its own.
    m_latin1Terms = m_encoding == TextEncoding::Automatic
                    && std::any_of(pattern.begin(), pattern.end(),
                                   [](char c) { return uchar(c) >= 0x80; })
                    && pattern.isValidUtf8();
    if (m_latin1Terms) {
        m_leftLatin1 = termBytes(m_leftTerm, TextEncoding::Latin1, &m_leftLatin1Found);
        m_rightLatin1 = termBytes(m_rightTerm, TextEncoding::Latin1, &m_rightLatin1Found);
    }
    m_leftTerm = termBytes(m_leftTerm, m_encoding, &m_leftFound);
    m_rightTerm = termBytes(m_rightTerm, m_encoding, &m_rightFound);
    return true;
}

QByteArray CBoolSearch::termBytes(QByteArrayView typed, TextEncoding encoding, bool *found) const
{
    *found = true;
    QByteArray term = typed.toByteArray();
    if (encoding != TextEncoding::Automatic && encoding != TextEncoding::Utf8) {
        const std::optional<QByteArray> encoded = encodeText(QString::fromUtf8(typed), encoding);
        *found = encoded.has_value();
        term = encoded.value_or(QByteArray());
    }
    if (!m_matchCase) {
        for (char &c : term)
            c = char((*m_lower)[uchar(c)]);
    }
    return term;
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
    const bool latin1Line = m_latin1Terms && !text.isValidUtf8();
    const QByteArray &leftTerm = latin1Line ? m_leftLatin1 : m_leftTerm;
    const QByteArray &rightTerm = latin1Line ? m_rightLatin1 : m_rightTerm;
    const bool leftFound = latin1Line ? m_leftLatin1Found : m_leftFound;
    const bool rightFound = latin1Line ? m_rightLatin1Found : m_rightFound;
    if (!m_matchCase && m_lower) {
        // One buffer for every line: resizing keeps its capacity.
        m_lowered.resize(text.size());
        char *out = m_lowered.data();
        for (const char c : text)
            *out++ = char((*m_lower)[uchar(c)]);
        text = m_lowered;
    }

    const qsizetype a = leftFound ? text.indexOf(leftTerm) : -1;
    const qsizetype aEnd = a + leftTerm.size();
    if (m_operator == None || m_operator == Not) {
        if (a < 0)
            return false;
        if (m_operator == Not && rightFound && text.indexOf(rightTerm) >= 0)
            return false;
        setRange(a, aEnd);
        return true;
    }

    const qsizetype b = rightFound ? text.indexOf(rightTerm) : -1;
    const qsizetype bEnd = b + rightTerm.size();
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
