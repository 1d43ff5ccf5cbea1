#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>

// How server bytes are shown. The bytes themselves are never changed: menus,
// texts, selectors, saved files and bookmarks keep what the server sent; only
// the screen (and text copied from it) sees the decoded characters.
enum class TextEncoding {
    Automatic,   // UTF-8 when the bytes are valid UTF-8, Latin-1 otherwise
    Utf8,
    Latin1,
    Windows1252,
    Cp437,       // the IBM PC character set of ASCII art and old BBS menus
    Koi8R,
};

inline constexpr std::array allTextEncodings{
    TextEncoding::Automatic, TextEncoding::Utf8,  TextEncoding::Latin1,
    TextEncoding::Windows1252, TextEncoding::Cp437, TextEncoding::Koi8R,
};

// The name shown in the menu (without its mnemonic) and kept in the settings
// file: "Automatic", "UTF-8", "Latin-1", "Windows-1252", "CP437", "KOI8-R".
QByteArray encodingName(TextEncoding encoding);
// The encoding of a name as encodingName writes it, read without regard to case.
std::optional<TextEncoding> encodingFromName(QByteArrayView name);

// The one place where bytes become text for the screen.
QString decodeText(QByteArrayView bytes, TextEncoding encoding);

// The reverse, for text the user typed to be looked for in server bytes: the
// bytes that decodeText shows as the text. Automatic and UTF-8 give UTF-8;
// nullopt when a character has no byte in a one-byte encoding.
std::optional<QByteArray> encodeText(QStringView text, TextEncoding encoding);

// Each byte's lower-case counterpart in the encoding, for matching bytes
// without regard to case: the byte itself where the character has none.
// Automatic and UTF-8 fold ASCII letters only (a byte of a UTF-8 sequence is
// not a character on its own).
using ByteCaseTable = std::array<uchar, 256>;
const ByteCaseTable &lowerCaseBytes(TextEncoding encoding);
