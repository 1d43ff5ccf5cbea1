#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

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
