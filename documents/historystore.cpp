#include "documents/historystore.h"

#include "documents/boolsearch.h"
#include "items/bookmark.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace TabFields {

void appendEscaped(QByteArray &out, QByteArrayView text)
{
    for (const char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
}

bool unescape(QByteArrayView text, QByteArray *out)
{
    // Most fields hold no escape: one copy.
    const qsizetype first = text.indexOf('\\');
    if (first < 0) {
        *out = text.toByteArray();
        return true;
    }
    out->clear();
    out->reserve(text.size());
    out->append(text.first(first));
    for (qsizetype i = first; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\\') {
            out->append(c);
            continue;
        }
        if (++i == text.size())
            return false;
        switch (text[i]) {
        case '\\':
            out->append('\\');
            break;
        case 't':
            out->append('\t');
            break;
        case 'n':
            out->append('\n');
            break;
        case 'r':
            out->append('\r');
            break;
        default:
            return false;
        }
    }
    return true;
}

} // namespace TabFields

namespace {

using TabFields::appendEscaped;
using TabFields::unescape;

// Writes all of it, going on after a signal cut a write short.
bool writeAll(int fd, QByteArrayView bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += n;
    }
    return true;
}

} // namespace

HistoryStore::HistoryStore(const QString &path, QObject *parent) : QObject(parent), m_path(path) {}

QByteArray HistoryStore::format(const HistoryEntry &entry)
{
    QByteArray line;
    line.reserve(24 + entry.url.size() + entry.title.size());
    line += QByteArray::number(entry.time);
    line += '\t';
    appendEscaped(line, QByteArrayView(&entry.type, 1));
    line += '\t';
    appendEscaped(line, entry.url);
    line += '\t';
    appendEscaped(line, entry.title);
    line += '\n';
    return line;
}

bool HistoryStore::parse(QByteArrayView line, HistoryEntry *entry)
{
    if (line.endsWith('\n'))
        line.chop(1);
    QByteArrayView fields[4];
    qsizetype from = 0;
    for (int i = 0; i < 3; ++i) {
        const qsizetype tab = line.indexOf('\t', from);
        if (tab < 0)
            return false;
        fields[i] = line.sliced(from, tab - from);
        from = tab + 1;
    }
    fields[3] = line.sliced(from);
    if (fields[3].contains('\t') || fields[0].isEmpty())
        return false;
    bool ok = false;
    const qint64 time = fields[0].toLongLong(&ok);
    QByteArray type;
    if (!ok || time < 0 || !unescape(fields[1], &type) || type.size() != 1)
        return false;
    HistoryEntry read;
    read.time = time;
    read.type = type.at(0);
    if (!unescape(fields[2], &read.url) || !unescape(fields[3], &read.title)
        || !CBookmark::startsWithUrl(read.url))
        return false;
    *entry = std::move(read);
    return true;
}

bool HistoryStore::readFile(std::vector<HistoryEntry> *entries, qsizetype *lines)
{
    entries->clear();
    *lines = 0;
    QFile file(m_path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        m_lastError = file.errorString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    const char *data = bytes.constData();
    const qsizetype size = bytes.size();
    qsizetype from = 0;
    // A last line without its line feed is one a kill cut short: skipped.
    while (from < size) {
        const void *lf = std::memchr(data + from, '\n', size_t(size - from));
        if (!lf)
            break;
        const qsizetype end = static_cast<const char *>(lf) - data;
        ++*lines;
        HistoryEntry entry;
        if (parse(QByteArrayView(data + from, end - from), &entry))
            entries->push_back(std::move(entry));
        from = end + 1;
    }
    return true;
}

bool HistoryStore::writeFile(const std::vector<HistoryEntry> &entries)
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        m_lastError = file.errorString();
        return false;
    }
    // What the user visited is nobody else's business.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QByteArray out;
    for (const HistoryEntry &entry : entries) {
        out += format(entry);
        if (out.size() >= 1 << 16) {
            file.write(out);
            out.clear();
        }
    }
    file.write(out);
    if (!file.commit()) {
        m_lastError = file.errorString();
        return false;
    }
    m_lines = qsizetype(entries.size());
    return true;
}

void HistoryStore::trim(std::vector<HistoryEntry> &entries) const
{
    if (entries.size() > size_t(m_capacity))
        entries.erase(entries.begin(), entries.end() - m_capacity);
}

const std::vector<HistoryEntry> &HistoryStore::entries()
{
    if (!m_loaded)
        reload();
    return m_entries;
}

void HistoryStore::reload()
{
    qsizetype lines = 0;
    if (!readFile(&m_entries, &lines))
        m_entries.clear();
    trim(m_entries);
    m_lines = lines;
    m_loaded = true;
    Q_EMIT entriesReset();
}

bool HistoryStore::add(const HistoryEntry &entry)
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    const int fd = ::open(QFile::encodeName(m_path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        m_lastError = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    QByteArray line = format(entry);
    if (m_lines < 0) {
        // The first visit of this run: count the lines, and start a fresh
        // line after one that a kill cut short.
        QFile file(m_path);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.readAll();
            m_lines = bytes.count('\n');
            // A line has three TABs: with four more, the cut line can
            // never read as an entry, wherever the kill cut it.
            if (!bytes.isEmpty() && !bytes.endsWith('\n'))
                line.prepend("\t\t\t\t\n");
        } else {
            m_lines = 0;
        }
    }
    const bool written = writeAll(fd, line);
    if (!written)
        m_lastError = QString::fromLocal8Bit(std::strerror(errno));
    ::close(fd);
    if (!written)
        return false;
    ++m_lines;
    if (m_loaded) {
        m_entries.push_back(entry);
        Q_EMIT entryAdded(entry);
    }
    return compactIfDue();
}

bool HistoryStore::compactIfDue()
{
    if (m_lines <= qsizetype(m_capacity) + m_capacity / 4)
        return true;
    std::vector<HistoryEntry> onDisk;
    qsizetype lines = 0;
    if (!readFile(&onDisk, &lines))
        return false;
    trim(onDisk);
    if (!writeFile(onDisk))
        return false;
    if (m_loaded) {
        m_entries = std::move(onDisk);
        Q_EMIT entriesReset();
    }
    return true;
}

bool HistoryStore::remove(const QList<HistoryEntry> &doomed)
{
    QSet<QByteArray> lines;
    lines.reserve(doomed.size());
    for (const HistoryEntry &entry : doomed)
        lines.insert(format(entry));
    std::vector<HistoryEntry> onDisk;
    qsizetype count = 0;
    if (!readFile(&onDisk, &count))
        return false;
    std::erase_if(onDisk, [&lines](const HistoryEntry &e) { return lines.contains(format(e)); });
    trim(onDisk);
    if (!writeFile(onDisk))
        return false;
    m_entries = std::move(onDisk);
    m_loaded = true;
    Q_EMIT entriesReset();
    return true;
}

bool HistoryStore::clear()
{
    if (!writeFile({}))
        return false;
    m_entries.clear();
    m_loaded = true;
    Q_EMIT entriesReset();
    return true;
}

bool HistoryStore::matches(CBoolSearch &search, const HistoryEntry &entry)
{
    // Title and URL are searched as one text, so that "tarn NOT heron"
    // leaves out an entry that has the word in either.
    QByteArray text;
    text.reserve(entry.title.size() + 1 + entry.url.size());
    text += entry.title;
    text += '\t';
    text += entry.url;
    return search.Match(text);
}

std::vector<int> HistoryStore::find(CBoolSearch &search)
{
    const std::vector<HistoryEntry> &all = entries();
    std::vector<int> found;
    QByteArray text;
    for (int i = int(all.size()) - 1; i >= 0; --i) {
        const HistoryEntry &entry = all[size_t(i)];
        text.clear();
        text += entry.title;
        text += '\t';
        text += entry.url;
        if (search.Match(text))
            found.push_back(i);
    }
    return found;
}
