#include "ui/fontmanager.h"

#include "settings/appsettings.h"
#include "settings/profilefile.h"
#include "documents/userinterface.h"
#include "items/displaytext.h"

#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QPrinterInfo>

namespace {

// The pitch and family bits of a font description.
constexpr int PitchMask = 0x03;
constexpr int FixedPitch = 1;
constexpr int VariablePitch = 2;
constexpr int FamilyMask = 0xF0;
constexpr int FamilyRoman = 0x10;
constexpr int FamilySwiss = 0x20;
constexpr int FamilyModern = 0x30;
constexpr int FamilyScript = 0x40;
constexpr int FamilyDecorative = 0x50;

constexpr int NonAntialiasedQuality = 3;
constexpr int AntialiasedQuality = 4;

QFont::StyleHint styleHintOf(int family)
{
    switch (family) {
    case FamilyRoman:
        return QFont::Serif;
    case FamilySwiss:
        return QFont::SansSerif;
    case FamilyModern:
        return QFont::Monospace;
    case FamilyScript:
        return QFont::Cursive;
    case FamilyDecorative:
        return QFont::Decorative;
    default:
        return QFont::AnyStyle;
    }
}

// A face name as the settings file holds it: at most MaxFaceName bytes, never
// half a character.
QByteArray faceNameBytes(QString family)
{
    QByteArray bytes = textBytes(family);
    while (bytes.size() > FontSlot::MaxFaceName) {
        family.chop(family.size() >= 2 && family.at(family.size() - 1).isLowSurrogate() ? 2 : 1);
        bytes = textBytes(family);
    }
    return bytes;
}

} // namespace

FontManager::FontManager(ProfileFile &profile, QObject *parent)
    : QObject(parent), m_profile(profile)
{
    for (int kind = 0; kind < KindCount; ++kind)
        m_slots[kind] = FontSlot(sectionName(Kind(kind)));
}

QByteArray FontManager::sectionName(Kind kind)
{
    switch (kind) {
    case BMFont:
        return QByteArrayLiteral("BMFont");
    case TreeFont:
        return QByteArrayLiteral("TreeFont");
    case DirFont:
        return QByteArrayLiteral("DirFont");
    case TextFont:
        return QByteArrayLiteral("TextFont");
    case PhoneFont:
        return QByteArrayLiteral("PhoneFont");
    case AskFont:
        return QByteArrayLiteral("AskFont");
    case PrinterFont:
        return QByteArrayLiteral("PrinterFont");
    case KindCount:
        break;
    }
    return {};
}

QString FontManager::menuText(Kind kind)
{
    switch (kind) {
    case BMFont:
        return QStringLiteral("&Bookmark List...");
    case TreeFont:
        return QStringLiteral("&Document List...");
    case DirFont:
        return QStringLiteral("D&irectory List...");
    case TextFont:
        return QStringLiteral("&Text Window...");
    case PhoneFont:
        return QStringLiteral("P&hone Window...");
    case AskFont:
        return QStringLiteral("&Ask Form...");
    case PrinterFont:
        return QStringLiteral("&Printer...");
    case KindCount:
        break;
    }
    return {};
}

QFont FontManager::font(Kind kind)
{
    FontSlot &slot = m_slots[kind];
    if (slot.needsCreation) {
        // A settings file that cannot take the defaults is no reason to go
        // without a font: they are used now and written on a later start.
        (void)slot.load(m_profile);
        m_fonts[kind] = toQFont(slot.current);
    }
    return m_fonts[kind];
}

bool FontManager::chooseFont(Kind kind, QWidget *parent)
{
    if (kind == PrinterFont && QPrinterInfo::defaultPrinter().isNull()) {
        if (m_ui)
            m_ui->messageBox("Unable to get default settings for printer");
        return false;
    }
    FontSlot stored(sectionName(kind));
    const QFont start = stored.read(m_profile) ? toQFont(stored.current) : font(kind);
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, start, parent, QStringLiteral("Font"));
    if (!ok)
        return false;
    (void)applyChosenFont(kind, chosen);
    return true;
}

bool FontManager::applyChosenFont(Kind kind, const QFont &font)
{
    FontSlot &slot = m_slots[kind];
    // The file is the reference for what changed: another window of the
    // program may have written the section since this font was made.
    slot.read(m_profile);
    slot.saved = slot.current;
    const LogFont base = slot.current.height != 0 ? slot.current : FontSlot::defaults(slot.section);
    slot.current = fromQFont(font, base);
    const bool written = slot.write(m_profile);
    slot.needsCreation = false;
    m_fonts[kind] = toQFont(slot.current);
    if (!written)
        reportWriteFailure();
    Q_EMIT fontChanged(kind);
    return written;
}

bool FontManager::printerFontStored() const
{
    FontSlot printer(sectionName(PrinterFont));
    return printer.read(m_profile);
}

bool FontManager::usePrinterFont() const
{
    return AppSettings(m_profile).usePrinterFont();
}

bool FontManager::toggleUsePrinterFont()
{
    if (!printerFontStored())
        return false;
    AppSettings settings(m_profile);
    if (!settings.setUsePrinterFont(!settings.usePrinterFont())) {
        reportWriteFailure();
        return false;
    }
    return true;
}

QFont FontManager::toQFont(const LogFont &description)
{
    const bool fixed = (description.pitchAndFamily & PitchMask) == FixedPitch;
    const int family = description.pitchAndFamily & FamilyMask;
    const bool monospace = fixed || family == FamilyModern;
    QFont font = QFontDatabase::systemFont(monospace ? QFontDatabase::FixedFont
                                                     : QFontDatabase::GeneralFont);
    if (!description.faceName.isEmpty()) {
        // A face the desktop lacks ("Courier New" on most Linux systems)
        // falls back to the desktop's face of the same pitch.
        const QString fallback = font.family();
        font.setFamilies({displayText(description.faceName), fallback});
    }
    font.setStyleHint(monospace && family == 0 ? QFont::Monospace : styleHintOf(family));
    if (description.height != 0)
        font.setPixelSize(qAbs(description.height));
    font.setWeight(description.weight <= 0 ? QFont::Normal
                                           : QFont::Weight(qBound(1, description.weight, 1000)));
    font.setItalic(description.italic != 0);
    font.setUnderline(description.underline != 0);
    font.setStrikeOut(description.strikeOut != 0);
    font.setFixedPitch(fixed);
    if (description.quality == NonAntialiasedQuality)
        font.setStyleStrategy(QFont::NoAntialias);
    else if (description.quality == AntialiasedQuality)
        font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

LogFont FontManager::fromQFont(const QFont &font, const LogFont &base)
{
    LogFont description = base;

    int pixels = font.pixelSize();
    if (pixels <= 0)
        pixels = QFontInfo(font).pixelSize();
    // A positive height (cell height) stays as it is while the size is kept.
    if (pixels > 0 && (base.height == 0 || pixels != qAbs(base.height)))
        description.height = -pixels;

    const int weight = font.weight();
    if (!(base.weight <= 0 && weight == QFont::Normal))
        description.weight = weight;
    description.italic = font.italic() ? 1 : 0;
    description.underline = font.underline() ? 1 : 0;
    description.strikeOut = font.strikeOut() ? 1 : 0;

    const QFont baseFont = toQFont(base);
    const QString family = font.families().value(0, font.family());
    const bool sameFace = family.compare(baseFont.family(), Qt::CaseInsensitive) == 0
                          || family.compare(QFontInfo(baseFont).family(), Qt::CaseInsensitive) == 0;
    if (!sameFace) {
        description.faceName = faceNameBytes(family);
        const bool fixed = QFontInfo(font).fixedPitch();
        int pitch = base.pitchAndFamily & PitchMask;
        int group = base.pitchAndFamily & FamilyMask;
        if (fixed) {
            pitch = FixedPitch;
            group = FamilyModern;
        } else {
            if (pitch == FixedPitch)
                pitch = VariablePitch;
            if (group == FamilyModern)
                group = 0;
        }
        description.pitchAndFamily = quint8(pitch | group);
    }
    return description;
}

void FontManager::reportWriteFailure()
{
    if (m_ui)
        m_ui->messageBox(textBytes(QStringLiteral("The font could not be saved.\n")
                                   + m_profile.lastError()));
}
