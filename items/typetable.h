#pragma once

#include <QByteArray>

#include <array>

// The vocabulary of item type characters: long names, the rows of the type
// chooser, and the document template each type opens in.
namespace TypeTable {

struct ChooserRow
{
    char type;
    const char *name;
};

// The 19 rows of the type chooser, in row order.
extern const std::array<ChooserRow, 19> ChooserRows;

// The long type name ("Text", "Directory", ...); "Unknown" for a type not in
// the table. An item with an ask form is named "Ask form" by the caller.
QByteArray longName(char type);

// Template resource numbers of the document kinds.
enum Template {
    DirTemplate = 4,
    TextTemplate = 5,
    XferTemplate = 6,
    SearchTemplate = 7,
    PhoneTemplate = 8,
    TelnetTemplate = 9,
    NoTemplateUnknown = 10,
    NoTemplateError = 11,
    InfoTemplate = 362,
    AskTemplate = 363,
};

// The template an item of this type opens in; askForm overrides the type.
int templateForType(char type, bool askForm);

} // namespace TypeTable
