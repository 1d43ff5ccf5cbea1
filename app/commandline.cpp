#include "app/commandline.h"

namespace CommandLine {

std::optional<QStringList> split(QStringView line)
{
    QStringList arguments;
    QString current;
    bool inArgument = false;
    enum { Plain, Single, Double } state = Plain;

    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        switch (state) {
        case Plain:
            if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r') {
                if (inArgument)
                    arguments.append(current);
                current.clear();
                inArgument = false;
            } else if (c == u'\'') {
                state = Single;
                inArgument = true;
            } else if (c == u'"') {
                state = Double;
                inArgument = true;
            } else if (c == u'\\') {
                if (++i >= line.size())
                    return std::nullopt;
                current += line.at(i);
                inArgument = true;
            } else {
                current += c;
                inArgument = true;
            }
            break;
        case Single:
            if (c == u'\'')
                state = Plain;
            else
                current += c;
            break;
        case Double:
            if (c == u'"') {
                state = Plain;
            } else if (c == u'\\' && i + 1 < line.size()
                       && QStringView(u"\"\\$`").contains(line.at(i + 1))) {
                current += line.at(++i);
            } else {
                current += c;
            }
            break;
        }
    }
    if (state != Plain)
        return std::nullopt;
    if (inArgument)
        arguments.append(current);
    return arguments;
}

QString join(const QStringList &arguments)
{
    QStringList quoted;
    quoted.reserve(arguments.size());
    for (const QString &argument : arguments) {
        bool plain = !argument.isEmpty();
        for (const QChar c : argument) {
            if (!(c.isLetterOrNumber() || QStringView(u"%+,-./:=@_").contains(c))) {
                plain = false;
                break;
            }
        }
        if (plain) {
            quoted.append(argument);
        } else {
            QString text = argument;
            text.replace(u'\'', QStringLiteral("'\\''"));
            quoted.append(u'\'' + text + u'\'');
        }
    }
    return quoted.join(u' ');
}

} // namespace CommandLine
