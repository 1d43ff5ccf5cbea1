#include "items/textencoding.h"

#include <QHash>
#include <QStringDecoder>

namespace {

// Code page 437 as the IBM PC drew it, one entry per byte. The upper half is
// IBM's published mapping to Unicode; the control bytes show the PC's glyphs
// (smileys, card suits, arrows), as ASCII art drawn on a PC expects, except
// TAB, LF and CR, which a text needs for its layout.
constexpr char16_t cp437[256] = {
    0x0000, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,  // 0x00
    0x25D8, 0x0009, 0x000A, 0x2642, 0x2640, 0x000D, 0x266B, 0x263C,  // 0x08
    0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,  // 0x10
    0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,  // 0x18
    0x0020, 0x0021, 0x0022, 0x0023, 0x0024, 0x0025, 0x0026, 0x0027,  // 0x20
    0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F,  // 0x28
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,  // 0x30
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,  // 0x38
    0x0040, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047,  // 0x40
    0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F,  // 0x48
    0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057,  // 0x50
    0x0058, 0x0059, 0x005A, 0x005B, 0x005C, 0x005D, 0x005E, 0x005F,  // 0x58
    0x0060, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067,  // 0x60
    0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F,  // 0x68
    0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077,  // 0x70
    0x0078, 0x0079, 0x007A, 0x007B, 0x007C, 0x007D, 0x007E, 0x2302,  // 0x78
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 0x80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,  // 0x88
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 0x90
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,  // 0x98
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // 0xA0
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  // 0xA8
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // 0xB0
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,  // 0xB8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // 0xC0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,  // 0xC8
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // 0xD0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,  // 0xD8
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,  // 0xE0
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,  // 0xE8
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,  // 0xF0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,  // 0xF8
};

QString decodeCp437(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char c : bytes)
        *out++ = QChar(cp437[quint8(c)]);
    return text;
}

QString decodeAutomatic(QByteArrayView bytes)
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

// Windows-1252 and KOI8-R come from Qt's converters (ICU on Debian). One
// decoder per thread and encoding: opening a converter costs more than
// decoding a line.
QString decodeNamed(QByteArrayView bytes, TextEncoding encoding)
{
    thread_local QStringDecoder windows1252("windows-1252", QStringConverter::Flag::Stateless);
    thread_local QStringDecoder koi8r("KOI8-R", QStringConverter::Flag::Stateless);
    QStringDecoder &decoder = encoding == TextEncoding::Koi8R ? koi8r : windows1252;
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);  // a Qt without ICU: the nearest there is
    decoder.resetState();
    return decoder.decode(bytes);
}

// A one-byte encoding both ways: the character of each byte, the byte of
// each character and each byte's lower-case counterpart.
class ByteTable
{
public:
    explicit ByteTable(TextEncoding encoding)
    {
        for (int b = 0; b < 256; ++b) {
            const char c = char(b);
            const QString shown = decodeText(QByteArrayView(&c, 1), encoding);
            const char16_t ch = shown.size() == 1 ? shown.at(0).unicode() : char16_t(0xFFFD);
            m_chars[b] = ch;
            // The first byte that shows a character is the one typed text gets.
            if (ch != 0xFFFD && !m_bytes.contains(ch))
                m_bytes.insert(ch, uchar(b));
        }
        for (int b = 0; b < 256; ++b) {
            const char16_t lower = QChar(m_chars[b]).toLower().unicode();
            m_lower[b] = m_bytes.value(lower, uchar(b));
        }
    }

    std::optional<QByteArray> encode(QStringView text) const
    {
        QByteArray bytes(text.size(), Qt::Uninitialized);
        char *out = bytes.data();
        for (const QChar c : text) {
            const auto found = m_bytes.constFind(c.unicode());
            if (found == m_bytes.cend())
                return std::nullopt;
            *out++ = char(*found);
        }
        return bytes;
    }

    const ByteCaseTable &lower() const { return m_lower; }

private:
    char16_t m_chars[256] = {};
    QHash<char16_t, uchar> m_bytes;
    ByteCaseTable m_lower{};
};

const ByteTable &byteTable(TextEncoding encoding)
{
    static const ByteTable latin1(TextEncoding::Latin1);
    static const ByteTable windows1252(TextEncoding::Windows1252);
    static const ByteTable cp437(TextEncoding::Cp437);
    static const ByteTable koi8r(TextEncoding::Koi8R);
    switch (encoding) {
    case TextEncoding::Windows1252:
        return windows1252;
    case TextEncoding::Cp437:
        return cp437;
    case TextEncoding::Koi8R:
        return koi8r;
    default:
        return latin1;
    }
}

bool isOneByteEncoding(TextEncoding encoding)
{
    return encoding != TextEncoding::Automatic && encoding != TextEncoding::Utf8;
}

} // namespace

QByteArray encodingName(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Automatic:
        return QByteArrayLiteral("Automatic");
    case TextEncoding::Utf8:
        return QByteArrayLiteral("UTF-8");
    case TextEncoding::Latin1:
        return QByteArrayLiteral("Latin-1");
    case TextEncoding::Windows1252:
        return QByteArrayLiteral("Windows-1252");
    case TextEncoding::Cp437:
        return QByteArrayLiteral("CP437");
    case TextEncoding::Koi8R:
        return QByteArrayLiteral("KOI8-R");
    }
    return QByteArrayLiteral("Automatic");
}

std::optional<TextEncoding> encodingFromName(QByteArrayView name)
{
    for (const TextEncoding encoding : allTextEncodings) {
        if (name.compare(encodingName(encoding), Qt::CaseInsensitive) == 0)
            return encoding;
    }
    return std::nullopt;
}

QString decodeText(QByteArrayView bytes, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Automatic:
        break;
    case TextEncoding::Utf8:
        return QString::fromUtf8(bytes);
    case TextEncoding::Latin1:
        return QString::fromLatin1(bytes);
    case TextEncoding::Windows1252:
    case TextEncoding::Koi8R:
        return decodeNamed(bytes, encoding);
    case TextEncoding::Cp437:
        return decodeCp437(bytes);
    }
    return decodeAutomatic(bytes);
}

std::optional<QByteArray> encodeText(QStringView text, TextEncoding encoding)
{
    if (!isOneByteEncoding(encoding))
        return text.toUtf8();
    return byteTable(encoding).encode(text);
}

const ByteCaseTable &lowerCaseBytes(TextEncoding encoding)
{
    static const ByteCaseTable ascii = [] {
        ByteCaseTable table{};
        for (int b = 0; b < 256; ++b)
            table[b] = uchar(b >= 'A' && b <= 'Z' ? b + ('a' - 'A') : b);
        return table;
    }();
    if (!isOneByteEncoding(encoding))
        return ascii;
    return byteTable(encoding).lower();
}
