#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>

class ProfileFile;

// One key of the settings file, declared once: its section, its name, what
// it holds and what it reads as when it is absent. Every read and write of a
// program setting goes through a declaration in SettingKeys below.
struct SettingKey
{
    enum class Type : quint8 {
        Flag,    // on when it reads other than 0; written as 1 or 0
        Number,  // a decimal number
        Text,    // bytes as they stand
    };

    Type type;
    const char *section;  // null for the font keys: each font has a section of its own
    const char *name;     // a "%d" in it stands for the server number
    int number;           // what a flag or number reads as when absent
    const char *text;     // what a text reads as when absent
};

// A declared key at one place of the file: with the number put in for "%d",
// or, for a key declared without a section, in the section given.
class Setting
{
public:
    explicit Setting(const SettingKey &key, int n = 0);
    Setting(const SettingKey &key, QByteArrayView section);
    // A key named at run time: the name put in for "%s" (a host name).
    static Setting named(const SettingKey &key, QByteArrayView name);

    const SettingKey &key() const { return m_key; }
    QByteArray section() const { return m_section; }
    QByteArray name() const { return m_name; }

    bool flag(const ProfileFile &file) const;
    int number(const ProfileFile &file) const;
    QByteArray text(const ProfileFile &file) const;
    bool isSet(const ProfileFile &file) const;

    [[nodiscard]] bool setFlag(ProfileFile &file, bool on) const;
    [[nodiscard]] bool setNumber(ProfileFile &file, int value) const;
    [[nodiscard]] bool setText(ProfileFile &file, QByteArrayView value) const;
    [[nodiscard]] bool remove(ProfileFile &file) const;

private:
    const SettingKey &m_key;
    QByteArray m_section;
    QByteArray m_name;
};

// The keys of the settings file that the program reads and writes. To add a
// setting: declare it here, list it in `all`, and give it a typed accessor
// where it belongs (AppSettings, HomeGophers, ...).
namespace SettingKeys {

using Type = SettingKey::Type;

// "Options"
inline constexpr SettingKey AutoSelectView{Type::Flag, "Options", "Auto Select View", 1, ""};
inline constexpr SettingKey AutoViewFile{Type::Flag, "Options", "Auto View File", 0, ""};
inline constexpr SettingKey AutoFileName{Type::Flag, "Options", "Auto File Name", 0, ""};
inline constexpr SettingKey AutoStripDots{Type::Flag, "Options", "Auto Strip Dots", 1, ""};
// 0 keep the editor, 1 minimise it, 2 close it.
// Directory lists show every item in the server's order, info lines in a
// fixed-pitch face.
inline constexpr SettingKey MenuAsAuthored{Type::Flag, "Options", "Menu as Authored", 0, ""};
inline constexpr SettingKey BookmarkEditorFetchAction{Type::Number, "Options", "Bookmark Editor Fetch Action", 0, ""};
// Every item opened is recorded in the history (kept outside this file).
inline constexpr SettingKey RememberHistory{Type::Flag, "Options", "Remember History", 1, ""};
// The document windows open at exit are opened again at the next start.
inline constexpr SettingKey ReopenWindows{Type::Flag, "Options", "Reopen Windows", 0, ""};

// "Directories": the defaults written at start-up are AppSettings' to work out.
inline constexpr SettingKey TemporaryDirectory{Type::Text, "Directories", "Temporary directory", 0, ""};
inline constexpr SettingKey DownloadDirectory{Type::Text, "Directories", "Download directory", 0, ""};

// "Settings": ten numbers, absent until the main window first closes.
inline constexpr SettingKey WindowPos{Type::Text, "Settings", "WindowPos", 0, ""};

// "Toolbar"
inline constexpr SettingKey ToolbarPosition{Type::Number, "Toolbar", "Position", 0, ""};
inline constexpr SettingKey ToolbarSize{Type::Number, "Toolbar", "Size", 0, ""};
inline constexpr SettingKey ShowToolbar{Type::Flag, "Toolbar", "Show Toolbar", 1, ""};
inline constexpr SettingKey ShowTooltips{Type::Flag, "Toolbar", "Show Tooltips", 1, ""};
inline constexpr SettingKey DockX{Type::Number, "Toolbar", "Dock X", 0, ""};
inline constexpr SettingKey DockY{Type::Number, "Toolbar", "Dock Y", 0, ""};
inline constexpr SettingKey FloatX{Type::Number, "Toolbar", "Float X", 0, ""};
inline constexpr SettingKey FloatY{Type::Number, "Toolbar", "Float Y", 0, ""};

// "Printer Settings"
inline constexpr SettingKey UsePrinterFont{Type::Flag, "Printer Settings", "Use Printer Font", 0, ""};

// "Printer Setup": margins in inches, written with "%f".
inline constexpr SettingKey LeftMargin{Type::Text, "Printer Setup", "Left margin", 0, "1.0"};
inline constexpr SettingKey RightMargin{Type::Text, "Printer Setup", "Right margin", 0, "1.0"};
inline constexpr SettingKey TopMargin{Type::Text, "Printer Setup", "Top margin", 0, "1.0"};
inline constexpr SettingKey BottomMargin{Type::Text, "Printer Setup", "Bottom margin", 0, "1.0"};
inline constexpr SettingKey PrintHeader{Type::Flag, "Printer Setup", "Print header", 1, ""};
inline constexpr SettingKey PrintFooter{Type::Flag, "Printer Setup", "Print footer", 1, ""};

// The keys of every font section ("BMFont", "TextFont", ...).
inline constexpr SettingKey FontHeight{Type::Number, nullptr, "Height", 0, ""};
inline constexpr SettingKey FontWeight{Type::Number, nullptr, "Weight", 400, ""};
inline constexpr SettingKey FontItalic{Type::Number, nullptr, "Italic", 0, ""};
inline constexpr SettingKey FontUnderline{Type::Number, nullptr, "Underline", 0, ""};
inline constexpr SettingKey FontOutPrecision{Type::Number, nullptr, "Out Precision", 0, ""};
inline constexpr SettingKey FontClipPrecision{Type::Number, nullptr, "Clip Precision", 0, ""};
inline constexpr SettingKey FontQuality{Type::Number, nullptr, "Quality", 0, ""};
inline constexpr SettingKey FontPitchAndFamily{Type::Number, nullptr, "PitchAndFamily", 0, ""};
inline constexpr SettingKey FontFaceName{Type::Text, nullptr, "FaceName", 0, "System"};

// "Home Gopher"; "%d" is the server number, 1 or 2.
inline constexpr SettingKey CountOfHomeGophers{Type::Number, "Home Gopher", "Count of Home Gophers", 0, ""};
inline constexpr SettingKey HomeServer{Type::Text, "Home Gopher", "Home Server %d", 0, ""};
inline constexpr SettingKey HomePort{Type::Number, "Home Gopher", "Home Port %d", 70, ""};
inline constexpr SettingKey HomeSelector{Type::Text, "Home Gopher", "Home Selector %d", 0, ""};
inline constexpr SettingKey PlusServer{Type::Number, "Home Gopher", "Plus Server %d", 0, ""};
inline constexpr SettingKey InitialMenu{Type::Text, "Home Gopher", "Initial Menu", 0, ""};
inline constexpr SettingKey HomeType{Type::Number, "Home Gopher", "Home Type", 1, ""};

// "Search": the words of the last index search.
inline constexpr SettingKey SearchText{Type::Text, "Search", "Search Text", 0, ""};

// "Telnet": the terminal programs of telnet and tn3270 sessions; "%host%"
// and "%port%" stand for the item's host and port.
inline constexpr SettingKey CurrentTelnet{Type::Text, "Telnet", "Current telnet", 0,
                                          "x-terminal-emulator -e telnet %host% %port%"};
inline constexpr SettingKey Current3270{Type::Text, "Telnet", "Current 3270", 0,
                                        "x3270 %host%:%port%"};
// "Viewers": file extension and viewer program pairs, numbered from 0.
inline constexpr SettingKey ViewerCount{Type::Number, "Viewers", "Viewer Count", 0, ""};
inline constexpr SettingKey ViewerExtension{Type::Text, "Viewers", "Ext%d", 0, ""};
inline constexpr SettingKey ViewerProgram{Type::Text, "Viewers", "Viewer%d", 0, ""};

// "Encodings": how each host's menus and texts are shown, one key per host
// (the host name, without the brackets of an IPv6 literal) holding the name of
// the encoding; a host without a key is shown with "Automatic".
inline constexpr SettingKey HostEncoding{Type::Text, "Encodings", "%s", 0, "Automatic"};

// "Network": the SOCKS5 proxy (no host: none) and the TLS switch.
inline constexpr SettingKey ProxyHost{Type::Text, "Network", "Proxy Host", 0, ""};
inline constexpr SettingKey ProxyPort{Type::Number, "Network", "Proxy Port", 9050, ""};
inline constexpr SettingKey ProxyResolvesNames{Type::Flag, "Network", "Proxy Resolves Names", 1, ""};
inline constexpr SettingKey ProxyUser{Type::Text, "Network", "Proxy User", 0, ""};
inline constexpr SettingKey ProxyPassword{Type::Text, "Network", "Proxy Password", 0, ""};
// A host that answered over TLS goes on the list of TLS hosts.
inline constexpr SettingKey RememberTlsHosts{Type::Flag, "Network", "Remember TLS Hosts", 1, ""};
// "TLS Hosts": hosts known to speak TLS, "HOST" (every port) or
// "HOST:PORT", numbered from 0 without gaps.
inline constexpr SettingKey TlsHost{Type::Text, "TLS Hosts", "Host%d", 0, ""};
// "Certificates": the certificate each TLS server showed first, one key per
// "HOST:PORT" (an IPv6 host without its brackets): the SHA-256 fingerprint,
// when it was accepted and when it expires, separated by blanks.
inline constexpr SettingKey Certificate{Type::Text, "Certificates", "%s", 0, ""};

// Every key above.
inline constexpr std::array all{
    &AutoSelectView, &AutoViewFile, &AutoFileName, &AutoStripDots, &MenuAsAuthored,
    &BookmarkEditorFetchAction, &RememberHistory, &ReopenWindows,
    &TemporaryDirectory, &DownloadDirectory, &WindowPos,
    &ToolbarPosition, &ToolbarSize, &ShowToolbar, &ShowTooltips, &DockX, &DockY, &FloatX, &FloatY,
    &UsePrinterFont,
    &LeftMargin, &RightMargin, &TopMargin, &BottomMargin, &PrintHeader, &PrintFooter,
    &FontHeight, &FontWeight, &FontItalic, &FontUnderline, &FontOutPrecision, &FontClipPrecision,
    &FontQuality, &FontPitchAndFamily, &FontFaceName,
    &CountOfHomeGophers, &HomeServer, &HomePort, &HomeSelector, &PlusServer, &InitialMenu, &HomeType,
    &SearchText, &CurrentTelnet, &Current3270,
    &ViewerCount, &ViewerExtension, &ViewerProgram,
    &HostEncoding,
    &ProxyHost, &ProxyPort, &ProxyResolvesNames, &ProxyUser, &ProxyPassword, &RememberTlsHosts,
    &TlsHost, &Certificate,
};

} // namespace SettingKeys
