#include "app/profilefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <climits>
#include <ctime>

#include <sys/stat.h>

namespace {

// A file whose modification time lies this close to the moment we read it may
// change again without its time stamp changing: file systems stamp with a
// clock that ticks every few milliseconds, and some (FAT) only to whole
// seconds. Such a cache is checked against the file's bytes before it is
// trusted.
qint64 racyWindowNs(qint64 mtimeNs)
{
    const bool wholeSeconds = mtimeNs % 1'000'000'000 == 0;
    return wholeSeconds ? 3'000'000'000 : 100'000'000;
}

qint64 clockNs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

QByteArrayView trimmed(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

// Names compare by ASCII case only: bytes above 127 are parts of UTF-8
// sequences and must not be folded as Latin-1 letters.
QByteArray asciiLower(QByteArrayView text)
{
    QByteArray result(text.data(), text.size());
    for (char &c : result) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return result;
}

bool hasLineEnd(QByteArrayView text)
{
    return text.contains('\n') || text.contains('\r');
}

} // namespace

ProfileFile::ProfileFile(QString path)
    : m_path(std::move(path))
{
}

void ProfileFile::setPath(const QString &path)
{
    m_path = path;
    m_loaded = false;
}

ProfileFile::Stamp ProfileFile::statPath(int *error) const
{
    Stamp stamp;
    struct stat st {};
    if (::stat(QFile::encodeName(m_path).constData(), &st) != 0) {
        if (error)
            *error = errno;
        return stamp;
    }
    if (error)
        *error = 0;
    stamp.exists = true;
    stamp.dev = st.st_dev;
    stamp.ino = st.st_ino;
    stamp.size = st.st_size;
    stamp.mtimeNs = qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    stamp.ctimeNs = qint64(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
    return stamp;
}

void ProfileFile::refresh() const
{
    if (m_loaded && m_path.isEmpty())
        return;
    if (m_loaded && m_readError.isEmpty()) {
        const Stamp now = statPath();
        if (now == m_stamp && (!now.exists || now.mtimeNs < m_verifiedAtNs - racyWindowNs(now.mtimeNs)))
            return;
    }
    loadFile();
}

void ProfileFile::loadFile() const
{
    const qint64 startedNs = clockNs();
    m_loaded = true;
    m_readError.clear();
    QByteArray data;
    Stamp stamp;
    if (!m_path.isEmpty()) {
        int error = 0;
        stamp = statPath(&error);
        if (!stamp.exists && error != ENOENT && error != ENOTDIR) {
            m_readError = QStringLiteral("Cannot read %1: %2")
                              .arg(m_path, QString::fromLocal8Bit(strerror(error)));
        } else if (stamp.exists) {
            QFile file(m_path);
            if (!file.open(QIODevice::ReadOnly)) {
                m_readError = QStringLiteral("Cannot read %1: %2").arg(m_path, file.errorString());
            } else {
                data = file.readAll();
                struct stat st {};
                if (file.error() != QFileDevice::NoError) {
                    m_readError = QStringLiteral("Cannot read %1: %2").arg(m_path, file.errorString());
                } else if (::fstat(file.handle(), &st) == 0) {
                    // The stamp of what was read, not of what the path names now.
                    stamp.dev = st.st_dev;
                    stamp.ino = st.st_ino;
                    stamp.size = st.st_size;
                    stamp.mtimeNs = qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
                    stamp.ctimeNs = qint64(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
                }
            }
        }
    }
    m_stamp = stamp;
    m_verifiedAtNs = startedNs;
    if (!m_readError.isEmpty())
        data.clear();
    if (data.size() == m_raw.size() && data == m_raw && !m_lines.isEmpty())
        return;
    m_raw = data;
    parse(data);
}

void ProfileFile::parse(const QByteArray &data) const
{
    m_lines.clear();
    m_sections.clear();
    m_sectionOrder.clear();
    m_eol = Eol::Lf;
    bool eolSeen = false;
    QByteArray currentSection;
    bool inSection = false;

    const qsizetype size = data.size();
    qsizetype pos = 0;
    while (pos < size) {
        Line line;
        const qsizetype newline = data.indexOf('\n', pos);
        if (newline < 0) {
            line.text = data.mid(pos);
            line.eol = Eol::None;
            pos = size;
        } else {
            qsizetype end = newline;
            line.eol = Eol::Lf;
            if (end > pos && data.at(end - 1) == '\r') {
                --end;
                line.eol = Eol::CrLf;
            }
            line.text = data.mid(pos, end - pos);
            pos = newline + 1;
            if (!eolSeen) {
                m_eol = line.eol;
                eolSeen = true;
            }
        }

        const int index = int(m_lines.size());
        QByteArrayView text = line.text;
        qsizetype first = 0;
        while (first < text.size() && (text[first] == ' ' || text[first] == '\t'))
            ++first;
        text = text.sliced(first);
        const qsizetype close = text.startsWith('[') ? text.lastIndexOf(']') : -1;
        if (close > 0) {
            // The last "]" closes the name, so a category name may hold one.
            line.kind = Kind::Section;
            line.name = trimmed(text.sliced(1, close - 1)).toByteArray();
            currentSection = asciiLower(line.name);
            inSection = true;
            SectionIndex &section = m_sections[currentSection];
            if (section.headers.isEmpty()) {
                section.name = line.name;
                m_sectionOrder.append(currentSection);
            }
            section.headers.append(index);
        } else if (inSection && !text.startsWith(';')) {
            const qsizetype equals = text.indexOf('=');
            const QByteArrayView name = equals > 0 ? trimmed(text.first(equals)) : QByteArrayView();
            if (!name.isEmpty()) {
                line.kind = Kind::Key;
                line.name = name.toByteArray();
                line.value = trimmed(text.sliced(equals + 1)).toByteArray();
                SectionIndex &section = m_sections[currentSection];
                const QByteArray lower = asciiLower(name);
                if (!section.firstKey.contains(lower)) {
                    section.firstKey.insert(lower, index);
                    section.keyOrder.append(index);
                }
            }
        }
        m_lines.append(std::move(line));
    }
}

const ProfileFile::SectionIndex *ProfileFile::findSection(QByteArrayView section) const
{
    const auto it = m_sections.constFind(asciiLower(trimmed(section)));
    return it == m_sections.cend() ? nullptr : &it.value();
}

const ProfileFile::Line *ProfileFile::findKey(QByteArrayView section, QByteArrayView key) const
{
    refresh();
    const SectionIndex *index = findSection(section);
    if (!index)
        return nullptr;
    const int line = index->firstKey.value(asciiLower(trimmed(key)), -1);
    return line < 0 ? nullptr : &m_lines.at(line);
}

int ProfileFile::blockEnd(int header) const
{
    int end = header + 1;
    while (end < m_lines.size() && m_lines.at(end).kind != Kind::Section)
        ++end;
    return end;
}

QByteArray ProfileFile::getString(QByteArrayView section, QByteArrayView key,
                                  QByteArrayView defaultValue) const
{
    const Line *line = findKey(section, key);
    const QByteArrayView value = line ? QByteArrayView(line->value) : defaultValue;
    return value.first(qMin(value.size(), qsizetype(MaxValueLength))).toByteArray();
}

int ProfileFile::getInt(QByteArrayView section, QByteArrayView key, int defaultValue) const
{
    const Line *line = findKey(section, key);
    // An empty value reads as absent, as with the classic call.
    if (!line || line->value.isEmpty())
        return defaultValue;
    const QByteArrayView value = QByteArrayView(line->value).first(
        qMin(line->value.size(), qsizetype(MaxValueLength)));
    qsizetype i = 0;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
        negative = value[i] == '-';
        ++i;
    }
    qint64 number = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        number = number * 10 + (value[i] - '0');
        if (number > qint64(INT_MAX) + 1)
            number = qint64(INT_MAX) + 1;  // saturate rather than wrap
    }
    if (negative)
        return int(-number);
    return int(qMin(number, qint64(INT_MAX)));
}

bool ProfileFile::hasKey(QByteArrayView section, QByteArrayView key) const
{
    return findKey(section, key) != nullptr;
}

bool ProfileFile::hasSection(QByteArrayView section) const
{
    refresh();
    return findSection(section) != nullptr;
}

QList<QByteArray> ProfileFile::keys(QByteArrayView section) const
{
    refresh();
    QList<QByteArray> result;
    if (const SectionIndex *index = findSection(section)) {
        result.reserve(index->keyOrder.size());
        for (int line : index->keyOrder)
            result.append(m_lines.at(line).name);
    }
    return result;
}

QList<QByteArray> ProfileFile::sections() const
{
    refresh();
    QList<QByteArray> result;
    result.reserve(m_sectionOrder.size());
    for (const QByteArray &lower : std::as_const(m_sectionOrder))
        result.append(m_sections.value(lower).name);
    return result;
}

bool ProfileFile::checkNames(QByteArrayView section, QByteArrayView key)
{
    // A name that could not be read back as written would let one setting
    // overwrite another, or let a value open a section of its own.
    if (section.isEmpty() || hasLineEnd(section)) {
        m_lastError = QStringLiteral("Invalid section name");
        return false;
    }
    if (!key.isNull() && (key.isEmpty() || hasLineEnd(key) || key.contains('=')
                          || key.startsWith('[') || key.startsWith(';'))) {
        m_lastError = QStringLiteral("Invalid key name");
        return false;
    }
    return true;
}

bool ProfileFile::prepareWrite()
{
    if (m_path.isEmpty()) {
        m_lastError = QStringLiteral("No settings file");
        return false;
    }
    refresh();
    if (!m_readError.isEmpty()) {
        // Never replace a file whose contents we could not see.
        m_lastError = m_readError;
        return false;
    }
    return true;
}

void ProfileFile::insertLines(QList<Line> &lines, int at, QList<Line> added) const
{
    for (Line &line : added)
        line.eol = m_eol;
    if (at == lines.size() && !lines.isEmpty() && lines.last().eol == Eol::None) {
        // Keep the file's missing final line end where it was: at the end.
        lines.last().eol = m_eol;
        added.last().eol = Eol::None;
    }
    for (qsizetype i = 0; i < added.size(); ++i)
        lines.insert(at + i, std::move(added[i]));
}

bool ProfileFile::writeString(QByteArrayView section, QByteArrayView key, QByteArrayView value)
{
    section = trimmed(section);
    key = trimmed(key);
    if (!checkNames(section, key.isNull() ? QByteArrayView("") : key))
        return false;
    if (hasLineEnd(value)) {
        m_lastError = QStringLiteral("A value cannot hold a line end");
        return false;
    }
    if (!prepareWrite())
        return false;

    QList<Line> lines = m_lines;
    Line keyLine;
    keyLine.text = key.toByteArray() + '=' + value.toByteArray();

    const SectionIndex *index = findSection(section);
    if (index) {
        const int existing = index->firstKey.value(asciiLower(key), -1);
        if (existing >= 0) {
            // Keep the line's own spelling and spacing up to the value.
            Line &line = lines[existing];
            qsizetype prefix = line.text.indexOf('=') + 1;
            while (prefix < line.text.size() && (line.text[prefix] == ' ' || line.text[prefix] == '\t'))
                ++prefix;
            line.text = line.text.first(prefix) + value.toByteArray();
        } else {
            const int header = index->headers.first();
            const int end = blockEnd(header);
            int at = header + 1;
            for (int i = header + 1; i < end; ++i) {
                if (m_lines.at(i).kind == Kind::Key)
                    at = i + 1;
            }
            insertLines(lines, at, {keyLine});
        }
    } else {
        QList<Line> added;
        if (!lines.isEmpty() && !trimmed(lines.last().text).isEmpty())
            added.append(Line());
        Line header;
        header.text = '[' + section.toByteArray() + ']';
        added.append(header);
        added.append(keyLine);
        insertLines(lines, int(lines.size()), added);
    }
    return save(lines);
}

bool ProfileFile::writeInt(QByteArrayView section, QByteArrayView key, int value)
{
    return writeString(section, key, QByteArray::number(value));
}

bool ProfileFile::deleteKey(QByteArrayView section, QByteArrayView key)
{
    section = trimmed(section);
    key = trimmed(key);
    if (!checkNames(section, key.isNull() ? QByteArrayView("") : key))
        return false;
    if (!prepareWrite())
        return false;
    const SectionIndex *index = findSection(section);
    if (!index)
        return true;
    // Every copy of the key goes: were only the first removed, a stale
    // duplicate below it would come back as the value.
    const QByteArray lower = asciiLower(key);
    QList<int> doomed;
    for (int header : index->headers) {
        const int end = blockEnd(header);
        for (int i = header + 1; i < end; ++i) {
            const Line &line = m_lines.at(i);
            if (line.kind == Kind::Key && asciiLower(line.name) == lower)
                doomed.append(i);
        }
    }
    if (doomed.isEmpty())
        return true;
    QList<Line> lines = m_lines;
    for (qsizetype i = doomed.size() - 1; i >= 0; --i)
        lines.removeAt(doomed.at(i));
    return save(lines);
}

bool ProfileFile::deleteSection(QByteArrayView section)
{
    section = trimmed(section);
    if (!checkNames(section, {}))
        return false;
    if (!prepareWrite())
        return false;
    const SectionIndex *index = findSection(section);
    if (!index)
        return true;
    QList<Line> lines = m_lines;
    for (qsizetype i = index->headers.size() - 1; i >= 0; --i) {
        const int header = index->headers.at(i);
        lines.remove(header, blockEnd(header) - header);
    }
    return save(lines);
}

bool ProfileFile::save(const QList<Line> &lines)
{
    QByteArray data;
    qsizetype total = 0;
    for (const Line &line : lines)
        total += line.text.size() + 2;
    data.reserve(total);
    for (const Line &line : lines) {
        data += line.text;
        if (line.eol == Eol::CrLf)
            data += "\r\n";
        else if (line.eol == Eol::Lf)
            data += '\n';
    }
    if (m_stamp.exists && data == m_raw) {
        m_lastError.clear();
        return true;
    }

    const QString dir = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(dir)) {
        m_lastError = QStringLiteral("Cannot create the directory %1").arg(dir);
        return false;
    }
    const qint64 startedNs = clockNs();
    QSaveFile out(m_path);
    // Writing in place could leave half a file behind.
    out.setDirectWriteFallback(false);
    if (!out.open(QIODevice::WriteOnly)) {
        m_lastError = QStringLiteral("Cannot write %1: %2").arg(m_path, out.errorString());
        return false;
    }
    if (out.write(data) != data.size()) {
        m_lastError = QStringLiteral("Cannot write %1: %2").arg(m_path, out.errorString());
        out.cancelWriting();
        return false;
    }
    if (!out.commit()) {
        m_lastError = QStringLiteral("Cannot write %1: %2").arg(m_path, out.errorString());
        return false;
    }
    m_lastError.clear();
    m_readError.clear();
    m_raw = data;
    parse(data);
    m_stamp = statPath();
    m_verifiedAtNs = startedNs;
    m_loaded = true;
    return true;
}
