#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>

#include <optional>

class ProfileFile;

// Placement of the main window as saved in "Settings"/"WindowPos".
struct WindowPlacement
{
    uint flags = 0;
    uint showCmd = 0;
    int minX = 0;
    int minY = 0;
    int maxX = 0;
    int maxY = 0;
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const WindowPlacement &) const = default;
};

struct ToolbarSettings
{
    int position = 0;
    int size = 0;
    bool show = true;
    bool tooltips = true;
    int dockX = 0;
    int dockY = 0;
    int floatX = 0;
    int floatY = 0;
    bool operator==(const ToolbarSettings &) const = default;
};

// The page layout of printing: margins in inches, header and footer switches.
struct PrinterSetup
{
    double left = 1.0;
    double right = 1.0;
    double top = 1.0;
    double bottom = 1.0;
    bool header = true;
    bool footer = true;
    bool operator==(const PrinterSetup &) const = default;
};

// The program-wide settings of the application, one typed getter and setter
// per key (the keys are declared in SettingKeys). Getters read the file at
// the moment of the call; setters write at once and return false when the
// file could not be written. Setters of several keys write them as one group.
class AppSettings
{
public:
    explicit AppSettings(ProfileFile &file);

    ProfileFile &file() const { return m_file; }

    bool autoSelectView() const;
    bool menuAsAuthored() const;
    [[nodiscard]] bool setMenuAsAuthored(bool on);
    [[nodiscard]] bool setAutoSelectView(bool on);
    bool autoViewFile() const;
    [[nodiscard]] bool setAutoViewFile(bool on);
    bool autoFileName() const;
    [[nodiscard]] bool setAutoFileName(bool on);
    bool autoStripDots() const;
    [[nodiscard]] bool setAutoStripDots(bool on);
    // 0 keep the editor, 1 minimise it, 2 close it.
    int bookmarkEditorFetchAction() const;
    [[nodiscard]] bool setBookmarkEditorFetchAction(int action);
    // "Remember History": items opened are recorded (on unless turned off).
    bool rememberHistory() const;
    [[nodiscard]] bool setRememberHistory(bool on);
    // "Reopen Windows": the windows open at exit come back at the next start.
    bool reopenWindows() const;
    [[nodiscard]] bool setReopenWindows(bool on);

    QString temporaryDirectory() const;
    [[nodiscard]] bool setTemporaryDirectory(const QString &path);
    QString downloadDirectory() const;
    [[nodiscard]] bool setDownloadDirectory(const QString &path);
    // The system's directory for temporary files: TMP, else TEMP, else
    // TMPDIR, else /tmp.
    static QString defaultTemporaryDirectory(const QProcessEnvironment &env);
    // The user's download folder (XDG), never the current directory.
    static QString defaultDownloadDirectory();
    // Puts both directory keys into the file on start-up, each with its
    // default unless the user chose another directory.
    [[nodiscard]] bool ensureDirectoryKeys(const QProcessEnvironment &env);

    std::optional<WindowPlacement> windowPlacement() const;
    [[nodiscard]] bool setWindowPlacement(const WindowPlacement &placement);
    static std::optional<WindowPlacement> parseWindowPlacement(QByteArrayView text);
    static QByteArray formatWindowPlacement(const WindowPlacement &placement);

    ToolbarSettings toolbarSettings() const;
    [[nodiscard]] bool setToolbarSettings(const ToolbarSettings &toolbar);

    // What the main window leaves behind when it closes: its placement and
    // the toolbar, in one replacement of the file.
    [[nodiscard]] bool setExitSettings(const WindowPlacement &placement, const ToolbarSettings &toolbar);

    bool usePrinterFont() const;
    PrinterSetup printerSetup() const;
    [[nodiscard]] bool setPrinterSetup(const PrinterSetup &setup);
    [[nodiscard]] bool setUsePrinterFont(bool on);

    // The words of the last index search.
    QByteArray searchText() const;
    [[nodiscard]] bool setSearchText(const QByteArray &words);
    // The command lines of the telnet and tn3270 programs. A blank value
    // reads as the default; an empty one is never written.
    QByteArray telnetProgram() const;
    [[nodiscard]] bool setTelnetProgram(const QByteArray &commandLine);
    QByteArray tn3270Program() const;
    [[nodiscard]] bool setTn3270Program(const QByteArray &commandLine);

private:
    ProfileFile &m_file;
};
