#include "app/fontslot.h"

#include "app/profilefile.h"

#include <array>

namespace {

constexpr char Height[] = "Height";
constexpr char Weight[] = "Weight";
constexpr char Italic[] = "Italic";
constexpr char Underline[] = "Underline";
constexpr char OutPrecision[] = "Out Precision";
constexpr char ClipPrecision[] = "Clip Precision";
constexpr char Quality[] = "Quality";
constexpr char PitchAndFamily[] = "PitchAndFamily";
constexpr char FaceName[] = "FaceName";

// The byte-sized fields with their keys; all default to 0.
struct ByteField
{
    const char *key;
    quint8 LogFont::*field;
};
constexpr std::array<ByteField, 6> ByteFields = {{
    {Italic, &LogFont::italic},
    {Underline, &LogFont::underline},
    {OutPrecision, &LogFont::outPrecision},
    {ClipPrecision, &LogFont::clipPrecision},
    {Quality, &LogFont::quality},
    {PitchAndFamily, &LogFont::pitchAndFamily},
}};

// Cut to the face-name limit without leaving half a UTF-8 sequence behind.
QByteArray cutFaceName(QByteArray name)
{
    if (name.size() <= FontSlot::MaxFaceName)
        return name;
    qsizetype end = FontSlot::MaxFaceName;
    qsizetype start = end;
    while (start > 0 && (quint8(name.at(start)) & 0xC0) == 0x80)
        --start;
    if (start < end && (quint8(name.at(start)) & 0xC0) == 0xC0)
        end = start;
    name.truncate(end);
    return name;
}

} // namespace

FontSlot::FontSlot(QByteArray section)
    : section(std::move(section))
{
}

bool FontSlot::read(const ProfileFile &file)
{
    current = LogFont();
    current.height = file.getInt(section, Height, 0);
    if (current.height == 0)
        return false;
    current.weight = file.getInt(section, Weight, 400);
    for (const ByteField &byte : ByteFields)
        current.*byte.field = quint8(file.getInt(section, byte.key, 0));
    current.faceName = cutFaceName(file.getString(section, FaceName, "System"));
    return true;
}

bool FontSlot::write(ProfileFile &file)
{
    // With no font stored, the file may still hold keys of an older font
    // under Height 0; each key must then be written, or a stale one (or the
    // "System" default of an absent face name) would come back on reading.
    const bool everyKey = saved.height == 0;
    bool ok = true;
    if (current.height != saved.height)
        ok = file.writeInt(section, Height, current.height);
    if (ok && current.height != 0) {
        if (everyKey || current.weight != saved.weight)
            ok = file.writeInt(section, Weight, current.weight);
        for (const ByteField &byte : ByteFields) {
            if (ok && (everyKey || current.*byte.field != saved.*byte.field))
                ok = file.writeInt(section, byte.key, current.*byte.field);
        }
        if (ok && (everyKey || current.faceName != saved.faceName))
            ok = file.writeString(section, FaceName, current.faceName);
    }
    // After a failed write the saved copy stays as it was, so the next write
    // tries the missing keys again.
    if (ok)
        saved = current;
    return ok;
}

bool FontSlot::load(ProfileFile &file)
{
    needsCreation = false;
    current = LogFont();
    saved = LogFont();
    if (read(file))
        return true;
    current = defaults(section);
    return write(file);
}

LogFont FontSlot::defaults(QByteArrayView section)
{
    struct Default
    {
        const char *section;
        qint32 height;
        quint8 quality;
        quint8 pitchAndFamily;
        const char *faceName;
    };
    static constexpr Default table[] = {
        {"BMFont", -11, 2, 34, ""},
        {"TreeFont", -11, 2, 34, ""},
        {"DirFont", -11, 2, 34, ""},
        {"TextFont", -12, 2, 1, ""},
        {"PhoneFont", -13, 1, 49, "Courier New"},
        {"AskFont", -11, 1, 49, "Courier New"},
    };
    LogFont font;
    for (const Default &entry : table) {
        if (section == entry.section) {
            font.height = entry.height;
            font.weight = 400;
            font.quality = entry.quality;
            font.pitchAndFamily = entry.pitchAndFamily;
            font.faceName = QByteArray(entry.faceName);
            break;
        }
    }
    return font;
}
