#include "items/typetable.h"

namespace TypeTable {

const std::array<ChooserRow, 19> ChooserRows = {{
    {'0', "Text file"},
    {'1', "Directory"},
    {'I', "Image"},
    {'2', "Phone book"},
    {'4', "Mac Binhex'd file"},
    {'5', "DOS archive"},
    {'6', "Unix uuencoded file"},
    {'7', "Index search"},
    {'8', "Telnet session"},
    {'T', "3270 session"},
    {'9', "Binary file"},
    {'s', "Sound file"},
    {'g', "GIF file"},
    {':', "Image+"},
    {';', "Movie+"},
    {'<', "Sound+"},
    {'h', "HTML file"},
    {'M', "MIME file"},
    {'P', "PDF file"},
}};

QByteArray longName(char type)
{
    const char *name = "Unknown";
    switch (type) {
    case '0': name = "Text"; break;
    case '1': name = "Directory"; break;
    case 'I': name = "Image"; break;
    case '2': name = "Phone book"; break;
    // "Max" is how the program has always named BinHex items.
    case '4': name = "Max Binhex"; break;
    case '5': name = "DOS archive"; break;
    case '6': name = "Unix uuencoded"; break;
    case '7': name = "Index search"; break;
    case '8': name = "Terminal session"; break;
    case 'T': name = "3270 terminal session"; break;
    case '9': name = "Binary"; break;
    case 's': name = "Sound"; break;
    case 'g': name = "GIF image"; break;
    case ':': name = "Image+"; break;
    case 'p': name = "PNG image"; break;
    case ';': name = "Movies+"; break;
    case '<': name = "Sound+"; break;
    case 'h': name = "HTML"; break;
    case 'M': name = "MIME"; break;
    case '3': name = "Server error"; break;
    case 'i': name = "Inline"; break;
    case '$': name = "Getting extended info ..."; break;
    default: break; // 'P', '?', '!' and anything else
    }
    return QByteArray(name);
}

int templateForType(char type, bool askForm)
{
    if (askForm)
        return AskTemplate;
    switch (type) {
    case '$': return InfoTemplate;
    case '0': return TextTemplate;
    case '1': return DirTemplate;
    case '2': return PhoneTemplate;
    case '3': return NoTemplateError;
    case '4': case '5': case '6': case '9':
    case ':': case ';': case '<':
    case 'I': case 'M': case 'P': case 'g': case 'h': case 's':
    // Servers give PNG pictures the type 'p'.
    case 'p':
        return XferTemplate;
    case '7': return SearchTemplate;
    case '8': case 'T': return TelnetTemplate;
    default: return NoTemplateUnknown;
    }
}

} // namespace TypeTable
