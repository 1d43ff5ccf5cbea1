#pragma once

#include <QByteArray>
#include <QString>

// Server bytes as text where no encoding was chosen (titles of windows and
// bookmarks, message boxes): decodeText with TextEncoding::Automatic, UTF-8
// when the bytes are valid UTF-8, Latin-1 otherwise.
QString displayText(QByteArrayView bytes);
// The reverse for text typed or pasted by the user: UTF-8.
QByteArray textBytes(const QString &text);
