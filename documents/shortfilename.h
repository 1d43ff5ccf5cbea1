#pragma once

#include <QByteArray>
#include <QByteArrayView>

// A short base name (at most eight of the characters a-z, 0-9, '-' and '_')
// made from an item title or selector, for default file names. The result
// never begins with '-' and has no extension; it is empty when the source
// holds no usable character.
QByteArray MakeShortFileName(QByteArrayView source);
