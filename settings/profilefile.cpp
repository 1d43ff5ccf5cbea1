#include "settings/profilefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

#include <sys/stat.h>
#include <unistd.h>

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

bool isQuoted(QByteArrayView value)
{
    return value.size() >= 2 && value.front() == '"' && value.back() == '"';
}

// A value as the classic call reads it: one matching pair of surrounding
// double quotes is not part of it (hand-written files rely on that).
QByteArrayView unquoted(QByteArrayView value)
{
    return isQuoted(value) ? value.sliced(1, value.size() - 2) : value;
}

// A value as it goes into the file so that it reads back unchanged: quotes
// of its own, or blanks at its ends that reading would trim, are kept inside
// one more pair of quotes.
QByteArray storedValue(QByteArrayView value)
{
    const bool blankEdge = !value.isEmpty() && (isBlank(value.front()) || isBlank(value.back()));
    if (isQuoted(value) || blankEdge)
        return '"' + value.toByteArray() + '"';
    return value.toByteArray();
}

QByteArray cutValue(QByteArrayView value)
{
    return value.first(qMin(value.size(), qsizetype(ProfileFile::MaxValueLength))).toByteArray();
}

} // namespace

// ---- groups ----

ProfileFile::Edit::Edit(ProfileFile &file)
    : m_file(file)
{
    m_file.beginGroup();
}

ProfileFile::Edit::~Edit()
{
    cancel();
}

bool ProfileFile::Edit::commit()
{
    if (!m_open)
        return false;
    m_open = false;
    return m_file.endGroup(true);
}

void ProfileFile::Edit::cancel()
{
    if (!m_open)
        return;
    m_open = false;
    m_file.endGroup(false);
}

void ProfileFile::beginGroup()
{
    if (m_groupDepth > 0) {
        ++m_groupDepth;
        return;
    }
    // The group starts from the file as it is now.
    refresh();
    m_groupDepth = 1;
    m_groupFailed = false;
    m_reloadedInGroup = false;
    m_groupError.clear();
    m_changes.clear();
    if (m_path.isEmpty()) {
        m_groupFailed = true;
        m_groupError = QStringLiteral("No settings file");
    } else if (!m_readError.isEmpty()) {
        // Never replace a file whose contents we could not see.
        m_groupFailed = true;
        m_groupError = m_readError;
    } else if (!m_writeRefusal.isEmpty()) {
        // Nor one that would not be written back as it was read.
        m_groupFailed = true;
        m_groupError = m_writeRefusal;
    }
    m_beforeGroup = m_contents;
}

bool ProfileFile::endGroup(bool commit)
{
    if (m_groupDepth <= 0)
        return false;
    if (--m_groupDepth > 0) {
        if (!commit && !m_groupFailed) {
            m_groupFailed = true;
            m_groupError = QStringLiteral("A part of the changes was dropped");
        }
        return commit && !m_groupFailed;
    }

    bool ok = false;
    if (commit) {
        if (m_groupFailed)
            m_lastError = m_groupError;
        else
            ok = commitGroup();
    }
    if (!ok) {
        m_contents = std::move(*m_beforeGroup);
        if (m_reloadedInGroup) {
            // The cache no longer stands for the bytes last read: read again.
            m_parsed = false;
            m_loaded = false;
        }
    }
    m_beforeGroup.reset();
    m_changes.clear();
    m_groupFailed = false;
    m_groupError.clear();
    return ok;
}

bool ProfileFile::commitGroup()
{
    if (m_changes.isEmpty()) {
        m_lastError.clear();
        return true;
    }
    // Another program may have changed the file since the group began: the
    // changes then go onto what is there now, not onto what was.
    if (statPath() != m_stamp) {
        m_reloadedInGroup = true;
        loadFile(true);
        if (!m_readError.isEmpty() || !m_writeRefusal.isEmpty()) {
            m_lastError = m_readError.isEmpty() ? m_writeRefusal : m_readError;
            return false;
        }
        for (const Change &c : std::as_const(m_changes))
            apply(c);
    }
    return save();
}

// ---- reading ----

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
    // Inside a group the contents hold changes not yet written.
    if (m_groupDepth > 0)
        return;
    if (m_loaded && m_path.isEmpty())
        return;
    if (m_loaded && m_readError.isEmpty()) {
        const Stamp now = statPath();
        if (now == m_stamp && (!now.exists || now.mtimeNs < m_verifiedAtNs - racyWindowNs(now.mtimeNs)))
            return;
    }
    loadFile();
}

void ProfileFile::loadFile(bool forceParse) const
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
                ++m_counters.reads;
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
    if (!forceParse && m_parsed && data.size() == m_raw.size() && data == m_raw)
        return;
    m_raw = data;
    parse(data);
}

void ProfileFile::classify(Line &line, bool inSection)
{
    line.kind = Kind::Other;
    line.name.clear();
    line.value.clear();
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
    } else if (inSection && !text.startsWith(';')) {
        const qsizetype equals = text.indexOf('=');
        const QByteArrayView name = equals > 0 ? trimmed(text.first(equals)) : QByteArrayView();
        if (!name.isEmpty()) {
            line.kind = Kind::Key;
            line.name = name.toByteArray();
            line.value = trimmed(text.sliced(equals + 1)).toByteArray();
        }
    }
}

void ProfileFile::indexKey(SectionIndex &index, const QByteArray &name, KeyRef ref)
{
    const QByteArray lower = asciiLower(name);
    KeyRef &first = index.firstKey[lower];  // one look-up for the test and the entry
    if (first.block < 0) {
        first = ref;
        index.keyOrder.append(lower);
    }
}

QByteArray ProfileFile::decodeText(const QByteArray &raw, TextForm *form, bool *exact)
{
    *form = TextForm();
    *exact = true;
    const auto byte = [&raw](qsizetype i) { return uchar(raw.at(i)); };
    if (raw.startsWith("\xEF\xBB\xBF")) {
        form->byteOrderMark = true;
        return raw.mid(3);
    }
    // UTF-16 announces itself with its byte order mark. Without one, only a
    // file whose every other byte is zero, and no other byte, is taken for
    // UTF-16 (of Latin-1 text): a file of ours never looks like that, since
    // the writer puts a line end right after the "]" of every header.
    // zeroAt: where the zero byte of each pair stands.
    const auto alternating = [&](int zeroAt) {
        if (raw.size() < 4 || raw.size() % 2 != 0)
            return false;
        for (qsizetype i = 0; i < raw.size(); i += 2) {
            if (byte(i + zeroAt) != 0 || byte(i + 1 - zeroAt) == 0)
                return false;
        }
        return true;
    };
    if (raw.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
        *form = {TextForm::Utf16Le, true};
    } else if (raw.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) {
        *form = {TextForm::Utf16Be, true};
    } else if (alternating(1)) {
        *form = {TextForm::Utf16Le, false};
    } else if (alternating(0)) {
        *form = {TextForm::Utf16Be, false};
    } else {
        return raw;
    }
    const QByteArrayView body = QByteArrayView(raw).sliced(form->byteOrderMark ? 2 : 0);
    const auto encoding = form->encoding == TextForm::Utf16Le ? QStringConverter::Utf16LE
                                                              : QStringConverter::Utf16BE;
    QStringDecoder decoder(encoding, QStringConverter::Flag::ConvertInitialBom
                                         | QStringConverter::Flag::Stateless);
    const QString text = decoder(body);
    const QByteArray utf8 = text.toUtf8();
    // An odd last byte or a lone surrogate does not survive the way back.
    QStringEncoder encoder(encoding);
    *exact = !decoder.hasError() && QByteArray(encoder(text)) == body
             && QString::fromUtf8(utf8) == text;
    return utf8;
}

std::optional<QByteArray> ProfileFile::encodeText(const QByteArray &text, TextForm form)
{
    if (form.encoding == TextForm::Bytes)
        return form.byteOrderMark ? QByteArray("\xEF\xBB\xBF" + text) : text;
    // Values are bytes; in a UTF-16 file only UTF-8 text has a place. A
    // sequence cut short at the end is no text either (Stateless: it is not
    // kept back as the start of more to come).
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom
                                                       | QStringConverter::Flag::Stateless);
    const QString decoded = decoder(text);
    if (decoder.hasError())
        return std::nullopt;
    const bool little = form.encoding == TextForm::Utf16Le;
    QStringEncoder encoder(little ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
    QByteArray out;
    if (form.byteOrderMark)
        out = little ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
    out += QByteArray(encoder(decoded));
    return out;
}

void ProfileFile::parse(const QByteArray &raw) const
{
    TextForm form;
    bool exact = true;
    const QByteArray data = decodeText(raw, &form, &exact);
    m_writeRefusal.clear();
    if (form.encoding != TextForm::Bytes && !form.byteOrderMark) {
        // Whether a write keeps it looking like UTF-16 depends on what is
        // written: it is read, not changed.
        m_writeRefusal = QStringLiteral("Cannot write %1: it is UTF-16 without a byte order "
                                        "mark (save it as UTF-8 to change it)")
                             .arg(m_path);
    } else if (!exact) {
        m_writeRefusal = QStringLiteral("Cannot write %1: its UTF-16 text would not be written "
                                        "back as it is (save it as UTF-8 to change it)")
                             .arg(m_path);
    }
    ++m_counters.parses;
    m_counters.bytesParsed += data.size();
    Contents contents;
    contents.form = form;
    contents.blocks.append(Block());  // the text before the first header
    bool eolSeen = false;

    const qsizetype size = data.size();
    qsizetype pos = 0;
    qsizetype nextLf = -1;
    while (pos < size) {
        Line line;
        // A line ends at LF, CR LF or a lone CR. The next LF is looked for
        // once, however many CR-ended lines come before it.
        if (nextLf < pos) {
            nextLf = data.indexOf('\n', pos);
            if (nextLf < 0)
                nextLf = size;
        }
        const bool lfFound = nextLf < size;
        const qsizetype cr = QByteArrayView(data).sliced(pos, nextLf - pos).indexOf('\r');
        if (cr >= 0 && (pos + cr + 1 < nextLf || !lfFound)) {
            line.text = data.mid(pos, cr);
            line.eol = Eol::Cr;
            pos += cr + 1;
        } else if (!lfFound) {
            line.text = data.mid(pos);
            line.eol = Eol::None;
            pos = size;
        } else {
            const bool crlf = cr >= 0;
            line.text = data.mid(pos, (crlf ? nextLf - 1 : nextLf) - pos);
            line.eol = crlf ? Eol::CrLf : Eol::Lf;
            pos = nextLf + 1;
        }
        if (line.eol != Eol::None && !eolSeen) {
            contents.eol = line.eol;
            eolSeen = true;
        }

        classify(line, contents.blocks.last().header);
        if (line.kind == Kind::Section) {
            Block block;
            block.header = true;
            contents.blocks.append(block);
            const QByteArray lower = asciiLower(line.name);
            SectionIndex &section = contents.sections[lower];
            if (section.blocks.isEmpty()) {
                section.name = line.name;
                contents.sectionOrder.append(lower);
            }
            section.blocks.append(int(contents.blocks.size() - 1));
        }
        contents.blocks.last().lines.append(std::move(line));
    }
    m_contents = std::move(contents);
    m_parsed = true;
}

ProfileFile::SectionIndex *ProfileFile::findSection(QByteArrayView section) const
{
    const auto it = m_contents.sections.find(asciiLower(trimmed(section)));
    if (it == m_contents.sections.end())
        return nullptr;
    if (!it->indexed)
        reindexSection(it.value());
    return &it.value();
}

const ProfileFile::Line *ProfileFile::findKey(QByteArrayView section, QByteArrayView key) const
{
    refresh();
    const SectionIndex *index = findSection(section);
    if (!index)
        return nullptr;
    const KeyRef ref = index->firstKey.value(asciiLower(trimmed(key)));
    return ref.block < 0 ? nullptr : &m_contents.blocks.at(ref.block).lines.at(ref.line);
}

QByteArray ProfileFile::getString(QByteArrayView section, QByteArrayView key,
                                  QByteArrayView defaultValue) const
{
    const Line *line = findKey(section, key);
    return cutValue(line ? unquoted(line->value) : defaultValue);
}

int ProfileFile::getInt(QByteArrayView section, QByteArrayView key, int defaultValue) const
{
    const Line *line = findKey(section, key);
    // Only an absent key gives the default; an empty value reads as 0, as
    // with the classic call.
    if (!line)
        return defaultValue;
    const QByteArray value = cutValue(unquoted(line->value));
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
        for (const QByteArray &lower : index->keyOrder) {
            const KeyRef ref = index->firstKey.value(lower);
            result.append(m_contents.blocks.at(ref.block).lines.at(ref.line).name);
        }
    }
    return result;
}

QList<QByteArray> ProfileFile::sections() const
{
    refresh();
    QList<QByteArray> result;
    result.reserve(m_contents.sectionOrder.size());
    for (const QByteArray &lower : std::as_const(m_contents.sectionOrder))
        result.append(m_contents.sections.value(lower).name);
    return result;
}

// ---- writing ----

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
    Edit edit(*this);
    return change({Change::Write, section.toByteArray(), key.toByteArray(), storedValue(value)})
        && edit.commit();
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
    Edit edit(*this);
    return change({Change::DeleteKey, section.toByteArray(), key.toByteArray(), {}}) && edit.commit();
}

bool ProfileFile::deleteSection(QByteArrayView section)
{
    section = trimmed(section);
    if (!checkNames(section, {}))
        return false;
    Edit edit(*this);
    return change({Change::DeleteSection, section.toByteArray(), {}, {}}) && edit.commit();
}

bool ProfileFile::change(Change change)
{
    if (m_groupFailed) {
        m_lastError = m_groupError;
        return false;
    }
    apply(change);
    m_changes.append(std::move(change));
    return true;
}

void ProfileFile::apply(const Change &change)
{
    switch (change.op) {
    case Change::Write:
        applyWrite(change);
        break;
    case Change::DeleteKey:
        applyDeleteKey(change);
        break;
    case Change::DeleteSection:
        applyDeleteSection(change);
        break;
    }
}

int ProfileFile::lastBlock() const
{
    for (qsizetype b = m_contents.blocks.size() - 1; b >= 0; --b) {
        const Block &block = m_contents.blocks.at(b);
        if (!block.removed && !block.lines.isEmpty())
            return int(b);
    }
    return -1;
}

void ProfileFile::applyWrite(const Change &change)
{
    const QByteArray lowerSection = asciiLower(change.section);
    const QByteArray lowerKey = asciiLower(change.key);
    Line keyLine;
    keyLine.text = change.key + '=' + change.value;
    keyLine.eol = m_contents.eol;
    classify(keyLine, true);

    if (SectionIndex *found = findSection(change.section)) {
        SectionIndex &index = *found;
        const KeyRef ref = index.firstKey.value(lowerKey);
        if (ref.block >= 0) {
            // Keep the line's own spelling and spacing up to the value.
            Line &line = m_contents.blocks[ref.block].lines[ref.line];
            qsizetype prefix = line.text.indexOf('=') + 1;
            while (prefix < line.text.size() && (line.text[prefix] == ' ' || line.text[prefix] == '\t'))
                ++prefix;
            line.text = line.text.first(prefix) + change.value;
            classify(line, true);
            return;
        }

        // A new key goes after the last key line of the section's first
        // block; only comments and blank lines follow it there, so no key
        // changes its place.
        const int b = index.blocks.first();
        QList<Line> &lines = m_contents.blocks[b].lines;
        int at = int(lines.size());
        while (at > 1 && lines.at(at - 1).kind != Kind::Key)
            --at;
        if (at == lines.size() && lines.last().eol == Eol::None && b == lastBlock()) {
            // Keep the file's missing final line end where it was: at the end.
            lines.last().eol = m_contents.eol;
            keyLine.eol = Eol::None;
        }
        lines.insert(at, std::move(keyLine));

        qsizetype order = index.keyOrder.size();
        if (index.blocks.size() > 1) {
            order = 0;
            while (order < index.keyOrder.size() && index.firstKey.value(index.keyOrder.at(order)).block == b)
                ++order;
        }
        index.keyOrder.insert(order, lowerKey);
        index.firstKey.insert(lowerKey, KeyRef{b, at});
        return;
    }

    // A new section at the end of the file, after an empty line.
    const int last = lastBlock();
    if (last >= 0) {
        QList<Line> &lines = m_contents.blocks[last].lines;
        if (lines.last().eol == Eol::None) {
            lines.last().eol = m_contents.eol;
            keyLine.eol = Eol::None;
        }
        if (!trimmed(lines.last().text).isEmpty()) {
            Line blank;
            blank.eol = m_contents.eol;
            lines.append(blank);
        }
    }
    Block block;
    block.header = true;
    Line header;
    header.text = '[' + change.section + ']';
    header.eol = m_contents.eol;
    classify(header, true);
    block.lines.append(header);
    block.lines.append(std::move(keyLine));
    m_contents.blocks.append(std::move(block));

    SectionIndex index;
    index.name = change.section;
    index.indexed = true;
    index.blocks.append(int(m_contents.blocks.size() - 1));
    indexKey(index, change.key, KeyRef{index.blocks.first(), 1});
    m_contents.sections.insert(lowerSection, index);
    m_contents.sectionOrder.append(lowerSection);
}

void ProfileFile::reindexSection(SectionIndex &index) const
{
    index.indexed = true;
    index.keyOrder.clear();
    index.firstKey.clear();
    qsizetype lineCount = 0;
    for (int b : std::as_const(index.blocks))
        lineCount += m_contents.blocks.at(b).lines.size();
    index.firstKey.reserve(lineCount);
    for (int b : std::as_const(index.blocks)) {
        const QList<Line> &lines = m_contents.blocks.at(b).lines;
        for (int i = 1; i < lines.size(); ++i) {
            if (lines.at(i).kind == Kind::Key)
                indexKey(index, lines.at(i).name, KeyRef{b, i});
        }
    }
}

void ProfileFile::applyDeleteKey(const Change &change)
{
    SectionIndex *index = findSection(change.section);
    if (!index)
        return;
    // Every copy of the key goes: were only the first removed, a stale
    // duplicate below it would come back as the value.
    const QByteArray lowerKey = asciiLower(change.key);
    bool removed = false;
    for (int b : std::as_const(index->blocks)) {
        QList<int> doomed;
        const QList<Line> &lines = m_contents.blocks.at(b).lines;
        for (qsizetype i = lines.size() - 1; i >= 1; --i) {
            if (lines.at(i).kind == Kind::Key && asciiLower(lines.at(i).name) == lowerKey)
                doomed.append(int(i));
        }
        for (int i : std::as_const(doomed))
            m_contents.blocks[b].lines.removeAt(i);
        removed = removed || !doomed.isEmpty();
    }
    if (removed)
        reindexSection(*index);
}

void ProfileFile::applyDeleteSection(const Change &change)
{
    const QByteArray lower = asciiLower(change.section);
    const auto it = m_contents.sections.find(lower);
    if (it == m_contents.sections.end())
        return;
    // The blocks stay as empty places, so the other sections' places hold.
    for (int b : std::as_const(it->blocks)) {
        Block &block = m_contents.blocks[b];
        block.lines.clear();
        block.removed = true;
    }
    m_contents.sections.erase(it);
    m_contents.sectionOrder.removeOne(lower);
}

QByteArray ProfileFile::serialize() const
{
    qsizetype total = 0;
    for (const Block &block : m_contents.blocks) {
        for (const Line &line : block.lines)
            total += line.text.size() + 2;
    }
    QByteArray data;
    data.reserve(total);
    for (const Block &block : m_contents.blocks) {
        for (const Line &line : block.lines) {
            data += line.text;
            switch (line.eol) {
            case Eol::CrLf: data += "\r\n"; break;
            case Eol::Lf: data += '\n'; break;
            case Eol::Cr: data += '\r'; break;
            case Eol::None: break;
            }
        }
    }
    return data;
}

bool ProfileFile::save()
{
    const std::optional<QByteArray> encoded = encodeText(serialize(), m_contents.form);
    if (!encoded) {
        m_lastError = QStringLiteral("Cannot write %1: it is kept in UTF-16, and a value is not "
                                     "UTF-8 text").arg(m_path);
        return false;
    }
    const QByteArray &data = *encoded;
    if (data == m_raw && (m_stamp.exists || data.isEmpty())) {
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
    // What is still buffered is written by commit(), which renames the new
    // file into place even when that last write falls short (a full disk):
    // so every byte must be out, and synced, before the commit.
    const bool complete = out.write(data) == data.size() && out.flush();
    if (!complete || ::fsync(out.handle()) != 0) {
        const QString reason = complete ? QString::fromLocal8Bit(strerror(errno)) : out.errorString();
        m_lastError = QStringLiteral("Cannot write %1: %2").arg(m_path, reason);
        out.cancelWriting();
        return false;
    }
    if (!out.commit()) {
        m_lastError = QStringLiteral("Cannot write %1: %2").arg(m_path, out.errorString());
        return false;
    }
    ++m_counters.replacements;
    m_lastError.clear();
    m_readError.clear();
    // The contents in memory are what was written: no need to parse it back.
    m_raw = data;
    m_stamp = statPath();
    m_verifiedAtNs = startedNs;
    m_loaded = true;
    m_parsed = true;
    return true;
}
