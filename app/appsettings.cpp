#include "app/appsettings.h"

#include "app/profilefile.h"

#include <climits>

namespace {

constexpr char Options[] = "Options";
constexpr char AutoSelectView[] = "Auto Select View";
constexpr char AutoViewFile[] = "Auto View File";
constexpr char AutoFileName[] = "Auto File Name";
constexpr char AutoStripDots[] = "Auto Strip Dots";
constexpr char BookmarkEditorFetchAction[] = "Bookmark Editor Fetch Action";

constexpr char Directories[] = "Directories";
constexpr char TemporaryDirectory[] = "Temporary directory";
constexpr char DownloadDirectory[] = "Download directory";

constexpr char Settings[] = "Settings";
constexpr char WindowPos[] = "WindowPos";

constexpr char Toolbar[] = "Toolbar";
constexpr char Position[] = "Position";
constexpr char Size[] = "Size";
constexpr char ShowToolbar[] = "Show Toolbar";
constexpr char ShowTooltips[] = "Show Tooltips";
constexpr char DockX[] = "Dock X";
constexpr char DockY[] = "Dock Y";
constexpr char FloatX[] = "Float X";
constexpr char FloatY[] = "Float Y";

constexpr char PrinterSettings[] = "Printer Settings";
constexpr char UsePrinterFont[] = "Use Printer Font";

// One decimal field of "WindowPos": digits with an optional sign (none for
// the unsigned fields), leading blanks allowed as sscanf allows them, and
// nothing after the digits.
std::optional<qint64> parseField(QByteArrayView field, bool isUnsigned)
{
    qsizetype i = 0;
    while (i < field.size() && (field[i] == ' ' || field[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || (!isUnsigned && field[i] == '-'))) {
        negative = field[i] == '-';
        ++i;
    }
    if (i == field.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < field.size(); ++i) {
        if (field[i] < '0' || field[i] > '9')
            return std::nullopt;
        value = value * 10 + (field[i] - '0');
        if (value > qint64(UINT_MAX))
            return std::nullopt;
    }
    value = negative ? -value : value;
    if (isUnsigned ? value > qint64(UINT_MAX) : (value > INT_MAX || value < INT_MIN))
        return std::nullopt;
    return value;
}

} // namespace

AppSettings::AppSettings(ProfileFile &file)
    : m_file(file)
{
}

bool AppSettings::autoSelectView() const
{
    return m_file.getInt(Options, AutoSelectView, 1) != 0;
}

bool AppSettings::setAutoSelectView(bool on)
{
    return m_file.writeInt(Options, AutoSelectView, on ? 1 : 0);
}

bool AppSettings::autoViewFile() const
{
    return m_file.getInt(Options, AutoViewFile, 0) != 0;
}

bool AppSettings::setAutoViewFile(bool on)
{
    return m_file.writeInt(Options, AutoViewFile, on ? 1 : 0);
}

bool AppSettings::autoFileName() const
{
    return m_file.getInt(Options, AutoFileName, 0) != 0;
}

bool AppSettings::setAutoFileName(bool on)
{
    return m_file.writeInt(Options, AutoFileName, on ? 1 : 0);
}

bool AppSettings::autoStripDots() const
{
    return m_file.getInt(Options, AutoStripDots, 1) != 0;
}

bool AppSettings::setAutoStripDots(bool on)
{
    return m_file.writeInt(Options, AutoStripDots, on ? 1 : 0);
}

int AppSettings::bookmarkEditorFetchAction() const
{
    return m_file.getInt(Options, BookmarkEditorFetchAction, 0);
}

bool AppSettings::setBookmarkEditorFetchAction(int action)
{
    return m_file.writeInt(Options, BookmarkEditorFetchAction, action);
}

QString AppSettings::temporaryDirectory() const
{
    return QString::fromUtf8(m_file.getString(Directories, TemporaryDirectory));
}

bool AppSettings::setTemporaryDirectory(const QString &path)
{
    return m_file.writeString(Directories, TemporaryDirectory, path.toUtf8());
}

QString AppSettings::downloadDirectory() const
{
    return QString::fromUtf8(m_file.getString(Directories, DownloadDirectory));
}

bool AppSettings::setDownloadDirectory(const QString &path)
{
    return m_file.writeString(Directories, DownloadDirectory, path.toUtf8());
}

bool AppSettings::ensureDirectoryKeys(const QString &currentDir, const QProcessEnvironment &env)
{
    // An empty variable names no directory, so it falls through to the next.
    QString temporaryDefault = env.value(QStringLiteral("TMP"));
    if (temporaryDefault.isEmpty())
        temporaryDefault = env.value(QStringLiteral("TEMP"));
    if (temporaryDefault.isEmpty())
        temporaryDefault = currentDir;

    const struct {
        const char *key;
        QByteArray fallback;
    } keys[] = {
        {TemporaryDirectory, temporaryDefault.toUtf8()},
        {DownloadDirectory, currentDir.toUtf8()},
    };
    for (const auto &entry : keys) {
        // Equal to the default means absent, or present with that very text:
        // either way the file then holds it.
        if (m_file.getString(Directories, entry.key, entry.fallback) == entry.fallback
            && !m_file.writeString(Directories, entry.key, entry.fallback)) {
            return false;
        }
    }
    return true;
}

std::optional<WindowPlacement> AppSettings::parseWindowPlacement(QByteArrayView text)
{
    const QList<QByteArrayView> fields = [&] {
        QList<QByteArrayView> parts;
        qsizetype start = 0;
        for (qsizetype comma; (comma = text.indexOf(',', start)) >= 0; start = comma + 1)
            parts.append(text.sliced(start, comma - start));
        parts.append(text.sliced(start));
        return parts;
    }();
    if (fields.size() != 10)
        return std::nullopt;
    qint64 numbers[10] = {};
    for (int i = 0; i < 10; ++i) {
        const std::optional<qint64> value = parseField(fields.at(i), i < 2);
        if (!value)
            return std::nullopt;
        numbers[i] = *value;
    }
    WindowPlacement placement;
    placement.flags = uint(numbers[0]);
    placement.showCmd = uint(numbers[1]);
    placement.minX = int(numbers[2]);
    placement.minY = int(numbers[3]);
    placement.maxX = int(numbers[4]);
    placement.maxY = int(numbers[5]);
    placement.left = int(numbers[6]);
    placement.top = int(numbers[7]);
    placement.right = int(numbers[8]);
    placement.bottom = int(numbers[9]);
    return placement;
}

QByteArray AppSettings::formatWindowPlacement(const WindowPlacement &p)
{
    return QByteArray::number(p.flags) + ',' + QByteArray::number(p.showCmd) + ','
        + QByteArray::number(p.minX) + ',' + QByteArray::number(p.minY) + ','
        + QByteArray::number(p.maxX) + ',' + QByteArray::number(p.maxY) + ','
        + QByteArray::number(p.left) + ',' + QByteArray::number(p.top) + ','
        + QByteArray::number(p.right) + ',' + QByteArray::number(p.bottom);
}

std::optional<WindowPlacement> AppSettings::windowPlacement() const
{
    if (!m_file.hasKey(Settings, WindowPos))
        return std::nullopt;
    return parseWindowPlacement(m_file.getString(Settings, WindowPos));
}

bool AppSettings::setWindowPlacement(const WindowPlacement &placement)
{
    return m_file.writeString(Settings, WindowPos, formatWindowPlacement(placement));
}

ToolbarSettings AppSettings::toolbarSettings() const
{
    const ToolbarSettings defaults;
    ToolbarSettings toolbar;
    toolbar.position = m_file.getInt(Toolbar, Position, defaults.position);
    toolbar.size = m_file.getInt(Toolbar, Size, defaults.size);
    toolbar.show = m_file.getInt(Toolbar, ShowToolbar, defaults.show ? 1 : 0) != 0;
    toolbar.tooltips = m_file.getInt(Toolbar, ShowTooltips, defaults.tooltips ? 1 : 0) != 0;
    toolbar.dockX = m_file.getInt(Toolbar, DockX, defaults.dockX);
    toolbar.dockY = m_file.getInt(Toolbar, DockY, defaults.dockY);
    toolbar.floatX = m_file.getInt(Toolbar, FloatX, defaults.floatX);
    toolbar.floatY = m_file.getInt(Toolbar, FloatY, defaults.floatY);
    return toolbar;
}

bool AppSettings::setToolbarSettings(const ToolbarSettings &toolbar)
{
    return m_file.writeInt(Toolbar, Position, toolbar.position)
        && m_file.writeInt(Toolbar, Size, toolbar.size)
        && m_file.writeInt(Toolbar, ShowToolbar, toolbar.show ? 1 : 0)
        && m_file.writeInt(Toolbar, ShowTooltips, toolbar.tooltips ? 1 : 0)
        && m_file.writeInt(Toolbar, DockX, toolbar.dockX)
        && m_file.writeInt(Toolbar, DockY, toolbar.dockY)
        && m_file.writeInt(Toolbar, FloatX, toolbar.floatX)
        && m_file.writeInt(Toolbar, FloatY, toolbar.floatY);
}

bool AppSettings::usePrinterFont() const
{
    return m_file.getInt(PrinterSettings, UsePrinterFont, 0) != 0;
}

bool AppSettings::setUsePrinterFont(bool on)
{
    return m_file.writeInt(PrinterSettings, UsePrinterFont, on ? 1 : 0);
}
