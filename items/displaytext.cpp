#include "items/displaytext.h"

#include "items/textencoding.h"

QString displayText(QByteArrayView bytes)
{
    return decodeText(bytes, TextEncoding::Automatic);
}

QByteArray textBytes(const QString &text)
{
    return text.toUtf8();
}
