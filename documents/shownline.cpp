#include "documents/shownline.h"

#include <algorithm>

int ShownLine::byteAt(int ch) const
{
    ch = qBound(0, ch, int(text.size()));
    return byteOfChar.isEmpty() ? qMin(ch, byteCount) : byteOfChar.at(ch);
}

int ShownLine::charAt(int byte) const
{
    byte = qBound(0, byte, byteCount);
    if (byteOfChar.isEmpty())
        return qMin(byte, int(text.size()));
    return int(std::lower_bound(byteOfChar.cbegin(), byteOfChar.cend(), byte)
               - byteOfChar.cbegin());
}

ShownLine shownLine(QByteArrayView bytes, TextEncoding encoding)
{
    ShownLine line;
    line.text = decodeText(bytes, encoding);
    line.byteCount = int(bytes.size());
    // Only valid UTF-8 with characters beyond ASCII decodes to fewer QChars
    // than bytes; the single-byte encodings give one character per byte.
    if (line.text.size() == bytes.size())
        return line;
    QList<int> map;
    map.reserve(line.text.size() + 1);
    for (int i = 0; i < bytes.size();) {
        const uchar lead = uchar(bytes.at(i));
        const int length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        map.append(i);
        if (length == 4)
            map.append(i);  // a character beyond the BMP is two QChars
        i += length;
    }
    map.append(line.byteCount);
    if (map.size() == line.text.size() + 1)
        line.byteOfChar = map;
    return line;
}
