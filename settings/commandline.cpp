#include "settings/commandline.h"

namespace CommandLine {

std::optional<QStringList> split(QStringView line)
{
    QStringList out;
    QString word;
    bool inWord = false;
    enum { Plain, Single, Double } state = Plain;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        switch (state) {
        case Plain:
            if (c == u' ' || c == u'\t') {
                if (inWord)
                    out.append(word);
                word.clear();
                inWord = false;
            } else if (c == u'\'') {
                state = Single;
                inWord = true;
            } else if (c == u'"') {
                state = Double;
                inWord = true;
            } else if (c == u'\\') {
                if (i + 1 >= line.size())
                    return std::nullopt;
                word += line.at(++i);
                inWord = true;
            } else {
                word += c;
                inWord = true;
            }
            break;
        case Single:
            if (c == u'\'')
                state = Plain;
            else
                word += c;
            break;
        case Double:
            if (c == u'"') {
                state = Plain;
            } else if (c == u'\\' && i + 1 < line.size()
                       && QStringView(u"\"\\$`").contains(line.at(i + 1))) {
                word += line.at(++i);
            } else {
                word += c;
            }
            break;
        }
    }
    if (state != Plain)
        return std::nullopt;
    if (inWord)
        out.append(word);
    return out;
}

QString join(const QStringList &arguments)
{
    QString out;
    for (const QString &argument : arguments) {
        if (!out.isEmpty())
            out += u' ';
        bool plain = !argument.isEmpty();
        for (const QChar c : argument) {
            if (!(c.isLetterOrNumber() || QStringView(u"-_./=:,+@%").contains(c))) {
                plain = false;
                break;
            }
        }
        if (plain) {
            out += argument;
        } else {
            QString quoted = argument;
            quoted.replace(u'\'', QStringLiteral("'\\''"));
            out += u'\'' + quoted + u'\'';
        }
    }
    return out;
}

} // namespace CommandLine
