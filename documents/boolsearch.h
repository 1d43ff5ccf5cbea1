#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include "items/textencoding.h"

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
    // The encoding the searched bytes are shown in; set before SetPattern().
    // The pattern is typed text (UTF-8): its terms become the bytes that show
    // the same characters, so that matches stay in byte columns.
    void SetEncoding(TextEncoding encoding) { m_encoding = encoding; }
    // Compiles the pattern; tells the user and answers false when it is unusable.
    [[nodiscard]] bool SetPattern(QByteArrayView pattern);
    [[nodiscard]] bool Match(QByteArrayView text);
    int GetMatchStart() const { return m_matchStart; }
    int GetMatchEnd() const { return m_matchEnd; }

    Operator op() const { return m_operator; }

private:
    void setRange(qsizetype start, qsizetype end);
    // The term in the encoding's bytes, lower-cased unless the case must match.
    QByteArray termBytes(QByteArrayView typed, TextEncoding encoding, bool *found) const;

    UserInterface *m_ui = nullptr;
    Operator m_operator = None;
    int m_matchStart = -1;
    int m_matchEnd = -1;
    QByteArray m_leftTerm;
    QByteArray m_rightTerm;
    // A term with a character the encoding cannot show matches nothing.
    bool m_leftFound = true;
    bool m_rightFound = true;
    // Automatic shows a line that is not UTF-8 as Latin-1: for such lines a
    // pattern beyond ASCII is looked for as Latin-1 bytes.
    bool m_latin1Terms = false;
    QByteArray m_leftLatin1;
    QByteArray m_rightLatin1;
    bool m_leftLatin1Found = true;
    bool m_rightLatin1Found = true;
    // The lower-cased copy of the line being matched, kept between lines.
    QByteArray m_lowered;
    const ByteCaseTable *m_lower = nullptr;
    TextEncoding m_encoding = TextEncoding::Automatic;
    bool m_matchCase = false;
};
