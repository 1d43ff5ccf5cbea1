#pragma once

#include <QByteArray>
#include <QtGlobal>

class ProfileFile;

// The description of a font as its section of the settings file holds it.
struct LogFont
{
    qint32 height = 0;
    qint32 width = 0;
    qint32 escapement = 0;
    qint32 orientation = 0;
    qint32 weight = 0;
    quint8 italic = 0;
    quint8 underline = 0;
    quint8 strikeOut = 0;
    quint8 charSet = 0;
    quint8 outPrecision = 0;
    quint8 clipPrecision = 0;
    quint8 quality = 0;
    quint8 pitchAndFamily = 0;
    QByteArray faceName;  // at most MaxFaceName bytes
    bool operator==(const LogFont &) const = default;
};

// One named font: its section, the description in use and the copy last read
// or written, so that only changed keys are written back.
class FontSlot
{
public:
    static constexpr int MaxFaceName = 31;

    explicit FontSlot(QByteArray section = {});

    QByteArray section;
    LogFont current;
    LogFont saved;
    bool needsCreation = true;

    // Reads the section into `current`; true when a font is stored (Height not 0).
    bool read(const ProfileFile &file);
    // Writes the keys whose values differ from `saved`, then saved = current.
    [[nodiscard]] bool write(ProfileFile &file);
    // Clears both descriptions and reads the slot; when nothing is stored the
    // section's defaults are applied and written. Clears needsCreation.
    [[nodiscard]] bool load(ProfileFile &file);

    // The defaults of the six screen fonts; an all-zero description otherwise.
    static LogFont defaults(QByteArrayView section);
};
