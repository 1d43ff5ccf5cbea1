#include "items/displaytext.h"

#include <QStringDecoder>

QString displayText(QByteArrayView bytes)
{
    // Stateless, so that a sequence cut short at the end counts as an error; a
    // byte order mark is kept, so that text typed back gives the same bytes.
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::Stateless
                               | QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (!decoder.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

QByteArray textBytes(const QString &text)
{
    return text.toUtf8();
}
