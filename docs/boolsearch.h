#pragma once

#include <QByteArray>
#include <QByteArrayView>

class UserInterface;

// The find matcher of text, directory and phone-book windows: a plain term, or
// two terms joined by one of the operators AND, OR, NOT and ADJ.
class CBoolSearch
{
public:
    enum Operator { None = 0, And = 1, Or = 2, Not = 3, Adj = 4 };

    explicit CBoolSearch(UserInterface *ui = nullptr);

    // Set before SetPattern(): the terms are lower-cased there.
    void SetMatchCase(bool matchCase) { m_matchCase = matchCase; }
    // Compiles the pattern; tells the user and answers false when it is unusable.
    [[nodiscard]] bool SetPattern(QByteArrayView pattern);
    [[nodiscard]] bool Match(QByteArrayView text);
    int GetMatchStart() const { return m_matchStart; }
    int GetMatchEnd() const { return m_matchEnd; }

    Operator op() const { return m_operator; }

private:
    void setRange(qsizetype start, qsizetype end);

    UserInterface *m_ui = nullptr;
    Operator m_operator = None;
    int m_matchStart = -1;
    int m_matchEnd = -1;
    QByteArray m_leftTerm;
    QByteArray m_rightTerm;
    bool m_matchCase = false;
};
