#include "settings/appsettings.h"

#include "settings/profilefile.h"
#include "settings/settingkeys.h"

#include <QDir>
#include <QStandardPaths>

#include <climits>

namespace {

namespace Keys = SettingKeys;

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

bool AppSettings::menuAsAuthored() const
{
    return Setting(Keys::MenuAsAuthored).flag(m_file);
}

bool AppSettings::setMenuAsAuthored(bool on)
{
    return Setting(Keys::MenuAsAuthored).setFlag(m_file, on);
}

bool AppSettings::rememberHistory() const
{
    return Setting(Keys::RememberHistory).flag(m_file);
}

bool AppSettings::setRememberHistory(bool on)
{
    return Setting(Keys::RememberHistory).setFlag(m_file, on);
}

bool AppSettings::reopenWindows() const
{
    return Setting(Keys::ReopenWindows).flag(m_file);
}

bool AppSettings::setReopenWindows(bool on)
{
    return Setting(Keys::ReopenWindows).setFlag(m_file, on);
}

bool AppSettings::autoSelectView() const
{
    return Setting(Keys::AutoSelectView).flag(m_file);
}

bool AppSettings::setAutoSelectView(bool on)
{
    return Setting(Keys::AutoSelectView).setFlag(m_file, on);
}

bool AppSettings::autoViewFile() const
{
    return Setting(Keys::AutoViewFile).flag(m_file);
}

bool AppSettings::setAutoViewFile(bool on)
{
    return Setting(Keys::AutoViewFile).setFlag(m_file, on);
}

bool AppSettings::autoFileName() const
{
    return Setting(Keys::AutoFileName).flag(m_file);
}

bool AppSettings::setAutoFileName(bool on)
{
    return Setting(Keys::AutoFileName).setFlag(m_file, on);
}

bool AppSettings::autoStripDots() const
{
    return Setting(Keys::AutoStripDots).flag(m_file);
}

bool AppSettings::setAutoStripDots(bool on)
{
    return Setting(Keys::AutoStripDots).setFlag(m_file, on);
}

int AppSettings::bookmarkEditorFetchAction() const
{
    return Setting(Keys::BookmarkEditorFetchAction).number(m_file);
}

bool AppSettings::setBookmarkEditorFetchAction(int action)
{
    return Setting(Keys::BookmarkEditorFetchAction).setNumber(m_file, action);
}

QString AppSettings::temporaryDirectory() const
{
    return QString::fromUtf8(Setting(Keys::TemporaryDirectory).text(m_file));
}

bool AppSettings::setTemporaryDirectory(const QString &path)
{
    return Setting(Keys::TemporaryDirectory).setText(m_file, path.toUtf8());
}

QString AppSettings::downloadDirectory() const
{
    return QString::fromUtf8(Setting(Keys::DownloadDirectory).text(m_file));
}

bool AppSettings::setDownloadDirectory(const QString &path)
{
    return Setting(Keys::DownloadDirectory).setText(m_file, path.toUtf8());
}

QString AppSettings::defaultTemporaryDirectory(const QProcessEnvironment &env)
{
    // An empty variable names no directory, so it falls through to the next.
    for (const QString &name : {QStringLiteral("TMP"), QStringLiteral("TEMP"), QStringLiteral("TMPDIR")}) {
        const QString value = env.value(name);
        if (!value.isEmpty())
            return value;
    }
    return QStringLiteral("/tmp");
}

QString AppSettings::defaultDownloadDirectory()
{
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    return downloads.isEmpty() ? QDir::homePath() : downloads;
}

bool AppSettings::ensureDirectoryKeys(const QProcessEnvironment &env)
{
    const struct {
        const SettingKey &key;
        QByteArray fallback;
    } keys[] = {
        {Keys::TemporaryDirectory, defaultTemporaryDirectory(env).toUtf8()},
        {Keys::DownloadDirectory, defaultDownloadDirectory().toUtf8()},
    };
    ProfileFile::Edit edit(m_file);
    for (const auto &entry : keys) {
        // Equal to the default means absent, or present with that very text:
        // either way the file then holds it.
        const Setting setting(entry.key);
        if (setting.isSet(m_file) && setting.text(m_file) != entry.fallback)
            continue;
        if (!setting.setText(m_file, entry.fallback))
            return false;
    }
    return edit.commit();
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
    const Setting windowPos(Keys::WindowPos);
    if (!windowPos.isSet(m_file))
        return std::nullopt;
    return parseWindowPlacement(windowPos.text(m_file));
}

bool AppSettings::setWindowPlacement(const WindowPlacement &placement)
{
    return Setting(Keys::WindowPos).setText(m_file, formatWindowPlacement(placement));
}

ToolbarSettings AppSettings::toolbarSettings() const
{
    ToolbarSettings toolbar;
    toolbar.position = Setting(Keys::ToolbarPosition).number(m_file);
    toolbar.size = Setting(Keys::ToolbarSize).number(m_file);
    toolbar.show = Setting(Keys::ShowToolbar).flag(m_file);
    toolbar.tooltips = Setting(Keys::ShowTooltips).flag(m_file);
    toolbar.dockX = Setting(Keys::DockX).number(m_file);
    toolbar.dockY = Setting(Keys::DockY).number(m_file);
    toolbar.floatX = Setting(Keys::FloatX).number(m_file);
    toolbar.floatY = Setting(Keys::FloatY).number(m_file);
    return toolbar;
}

bool AppSettings::setToolbarSettings(const ToolbarSettings &toolbar)
{
    ProfileFile::Edit edit(m_file);
    return Setting(Keys::ToolbarPosition).setNumber(m_file, toolbar.position)
        && Setting(Keys::ToolbarSize).setNumber(m_file, toolbar.size)
        && Setting(Keys::ShowToolbar).setFlag(m_file, toolbar.show)
        && Setting(Keys::ShowTooltips).setFlag(m_file, toolbar.tooltips)
        && Setting(Keys::DockX).setNumber(m_file, toolbar.dockX)
        && Setting(Keys::DockY).setNumber(m_file, toolbar.dockY)
        && Setting(Keys::FloatX).setNumber(m_file, toolbar.floatX)
        && Setting(Keys::FloatY).setNumber(m_file, toolbar.floatY)
        && edit.commit();
}

bool AppSettings::setExitSettings(const WindowPlacement &placement, const ToolbarSettings &toolbar)
{
    ProfileFile::Edit edit(m_file);
    return setWindowPlacement(placement) && setToolbarSettings(toolbar) && edit.commit();
}

bool AppSettings::usePrinterFont() const
{
    return Setting(Keys::UsePrinterFont).flag(m_file);
}

namespace {

double readMargin(const SettingKey &key, const ProfileFile &file)
{
    bool ok = false;
    const double value = Setting(key).text(file).trimmed().toDouble(&ok);
    // A margin that is not a number, negative or absurd reads as the default.
    return ok && value >= 0.0 && value < 100.0 ? value : 1.0;
}

bool writeMargin(const SettingKey &key, ProfileFile &file, double value)
{
    return Setting(key).setText(file, QString::asprintf("%f", value).toLatin1());
}

} // namespace

PrinterSetup AppSettings::printerSetup() const
{
    PrinterSetup setup;
    setup.left = readMargin(Keys::LeftMargin, m_file);
    setup.right = readMargin(Keys::RightMargin, m_file);
    setup.top = readMargin(Keys::TopMargin, m_file);
    setup.bottom = readMargin(Keys::BottomMargin, m_file);
    setup.header = Setting(Keys::PrintHeader).flag(m_file);
    setup.footer = Setting(Keys::PrintFooter).flag(m_file);
    return setup;
}

bool AppSettings::setPrinterSetup(const PrinterSetup &setup)
{
    ProfileFile::Edit edit(m_file);
    const bool written = writeMargin(Keys::LeftMargin, m_file, setup.left)
                         && writeMargin(Keys::RightMargin, m_file, setup.right)
                         && writeMargin(Keys::TopMargin, m_file, setup.top)
                         && writeMargin(Keys::BottomMargin, m_file, setup.bottom)
                         && Setting(Keys::PrintHeader).setFlag(m_file, setup.header)
                         && Setting(Keys::PrintFooter).setFlag(m_file, setup.footer);
    return written && edit.commit();
}

bool AppSettings::setUsePrinterFont(bool on)
{
    return Setting(Keys::UsePrinterFont).setFlag(m_file, on);
}

QByteArray AppSettings::searchText() const
{
    return Setting(Keys::SearchText).text(m_file);
}

bool AppSettings::setSearchText(const QByteArray &words)
{
    return Setting(Keys::SearchText).setText(m_file, words);
}

namespace {

// A program's command line; one left blank would start nothing sensible
// (the host would become the program), so it reads as the default.
QByteArray programLine(const SettingKey &key, const ProfileFile &file)
{
    const QByteArray line = Setting(key).text(file);
    return line.trimmed().isEmpty() ? QByteArray(key.text) : line;
}

bool setProgramLine(const SettingKey &key, ProfileFile &file, const QByteArray &line)
{
    if (line.isEmpty())
        return true;
    return Setting(key).setText(file, line);
}

} // namespace

QByteArray AppSettings::telnetProgram() const
{
    return programLine(Keys::CurrentTelnet, m_file);
}

bool AppSettings::setTelnetProgram(const QByteArray &commandLine)
{
    return setProgramLine(Keys::CurrentTelnet, m_file, commandLine);
}

QByteArray AppSettings::tn3270Program() const
{
    return programLine(Keys::Current3270, m_file);
}

bool AppSettings::setTn3270Program(const QByteArray &commandLine)
{
    return setProgramLine(Keys::Current3270, m_file, commandLine);
}
