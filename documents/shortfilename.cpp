#include "documents/shortfilename.h"

namespace {

constexpr qsizetype MaxBaseName = 8;

bool isAllowed(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

QByteArray shortName(QByteArrayView source)
{
    QByteArray name = source.toByteArray().toLower();
    const qsizetype dot = name.indexOf('.');
    qsizetype start = 0;
    qsizetype end = 0;
    if (dot >= 1) {
        // The word just before the first dot: "Mixed.Word.ext" gives "mixed".
        if (isAllowed(name.at(dot - 1))) {
            start = dot - 1;
            while (start > 0 && isAllowed(name.at(start)))
                --start;
        }
        end = dot;
    } else {
        qsizetype dots = 0;
        while (dots < name.size() && name.at(dots) == '.')
            ++dots;
        name.remove(0, dots);
        end = name.size();
    }

    QByteArray result;
    for (qsizetype i = start; i < end && result.size() < MaxBaseName; ++i) {
        // A name that begins with "-" reads as an option to every program
        // it is handed to: leading hyphens are left out.
        const char c = name.at(i);
        if (isAllowed(c) && !(c == '-' && result.isEmpty()))
            result.append(c);
    }
    return result;
}

} // namespace

QByteArray MakeShortFileName(QByteArrayView source)
{
    qsizetype separator = source.lastIndexOf('/');
    if (separator < 0)
        separator = source.lastIndexOf('\\');
    if (separator >= 0) {
        const QByteArray name = shortName(source.sliced(separator + 1));
        if (!name.isEmpty())
            return name;
    }
    return shortName(source);
}
