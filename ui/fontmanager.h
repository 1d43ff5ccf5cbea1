#pragma once

#include "settings/fontslot.h"

#include <QFont>
#include <QObject>
#include <QString>

#include <array>

class ProfileFile;
class QWidget;
class UserInterface;

// The seven named fonts of the program. Views ask for their font when they
// are made and again whenever fontChanged names their kind.
class FontManager : public QObject
{
    Q_OBJECT

public:
    enum Kind { BMFont, TreeFont, DirFont, TextFont, PhoneFont, AskFont, PrinterFont, KindCount };

    explicit FontManager(ProfileFile &profile, QObject *parent = nullptr);

    static QByteArray sectionName(Kind kind);
    // The text of the font command of a kind in the menu.
    static QString menuText(Kind kind);

    // Where a settings file that cannot be written is reported; without one
    // the failure is only returned.
    void setUserInterface(UserInterface *ui) { m_ui = ui; }

    // The font of a kind, made on first use from its section (the defaults are
    // written when the section holds no font).
    QFont font(Kind kind);

    // The font command: the font dialog starting from the stored font; on OK
    // the changed keys are written and every view of that kind redraws.
    // Returns true when the user chose a font.
    bool chooseFont(Kind kind, QWidget *parent);
    // What OK of the font dialog does with the chosen font: the slot is read
    // afresh, the keys that differ are written and fontChanged(kind) is
    // emitted. False when the settings file could not be written (the font is
    // used all the same).
    bool applyChosenFont(Kind kind, const QFont &font);

    // The printer font switch, read afresh on every call: "&Use Printer Font"
    // flips it, but only while a printer font is stored. False when nothing
    // was changed.
    bool printerFontStored() const;
    bool usePrinterFont() const;
    bool toggleUsePrinterFont();

    static QFont toQFont(const LogFont &description);
    // The description of a font, keeping the fields a QFont does not carry
    // from `base`. A family that is what `base` already resolves to keeps the
    // face name (and pitch) of `base`, so an empty face stays empty.
    static LogFont fromQFont(const QFont &font, const LogFont &base);

Q_SIGNALS:
    void fontChanged(int kind);

private:
    void reportWriteFailure();

    ProfileFile &m_profile;
    UserInterface *m_ui = nullptr;
    std::array<FontSlot, KindCount> m_slots;
    std::array<QFont, KindCount> m_fonts;
};
