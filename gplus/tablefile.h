#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The two small text tables of Gopher+ (extended views, languages) are plain
// files of lines. They are read whole and written through a temporary file
// renamed over the old one, so a crash never leaves half a table behind.
namespace TableFile {

// The lines of the file without their line ends (LF or CR LF); false when it
// cannot be opened, with the reason in `cause`.
[[nodiscard]] bool readLines(const QString &path, QList<QByteArray> &lines, QByteArray &cause);

// Replaces the file by `bytes` in one step; false with the reason in `cause`.
[[nodiscard]] bool writeAtomically(const QString &path, const QByteArray &bytes, QByteArray &cause);

// The text of the key and the value in a "key=value" line: the value ends at
// the next "=" (so a value cannot hold one); a line without "=" is all key.
struct KeyValue
{
    QByteArray key;
    QByteArray value;
    bool hasValue = false;
};
KeyValue splitKeyValue(const QByteArray &line);

} // namespace TableFile
