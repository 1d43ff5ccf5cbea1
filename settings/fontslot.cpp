#include "settings/fontslot.h"

#include "settings/profilefile.h"
#include "settings/settingkeys.h"

#include <array>

namespace {

// The byte-sized fields with their keys.
struct ByteField
{
    const SettingKey *key;
    quint8 LogFont::*field;
};
constexpr std::array<ByteField, 6> ByteFields = {{
    {&SettingKeys::FontItalic, &LogFont::italic},
    {&SettingKeys::FontUnderline, &LogFont::underline},
    {&SettingKeys::FontOutPrecision, &LogFont::outPrecision},
    {&SettingKeys::FontClipPrecision, &LogFont::clipPrecision},
    {&SettingKeys::FontQuality, &LogFont::quality},
    {&SettingKeys::FontPitchAndFamily, &LogFont::pitchAndFamily},
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
    current.height = Setting(SettingKeys::FontHeight, section).number(file);
    if (current.height == 0)
        return false;
    current.weight = Setting(SettingKeys::FontWeight, section).number(file);
    for (const ByteField &byte : ByteFields)
        current.*byte.field = quint8(Setting(*byte.key, section).number(file));
    current.faceName = cutFaceName(Setting(SettingKeys::FontFaceName, section).text(file));
    return true;
}

bool FontSlot::write(ProfileFile &file)
{
    // With no font stored, the file may still hold keys of an older font
    // under Height 0; each key must then be written, or a stale one (or the
    // "System" default of an absent face name) would come back on reading.
    const bool everyKey = saved.height == 0;
    ProfileFile::Edit edit(file);
    bool ok = true;
    if (current.height != saved.height)
        ok = Setting(SettingKeys::FontHeight, section).setNumber(file, current.height);
    if (ok && current.height != 0) {
        if (everyKey || current.weight != saved.weight)
            ok = Setting(SettingKeys::FontWeight, section).setNumber(file, current.weight);
        for (const ByteField &byte : ByteFields) {
            if (ok && (everyKey || current.*byte.field != saved.*byte.field))
                ok = Setting(*byte.key, section).setNumber(file, current.*byte.field);
        }
        if (ok && (everyKey || current.faceName != saved.faceName))
            ok = Setting(SettingKeys::FontFaceName, section).setText(file, current.faceName);
    }
    // The keys go to the file together. After a failed write the saved copy
    // stays as it was, so the next write tries the missing keys again.
    ok = ok && edit.commit();
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
