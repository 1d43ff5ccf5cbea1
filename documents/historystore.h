#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <vector>

class CBoolSearch;

// Fields of a TAB-separated line: backslash, TAB, CR and LF written as
// `\\`, `\t`, `\r` and `\n`, so that a field never ends a line or a field
// early.
namespace TabFields {
void appendEscaped(QByteArray &out, QByteArrayView text);
// False for an escape that is not one of the four.
bool unescape(QByteArrayView text, QByteArray *out);
} // namespace TabFields

// One item the user opened: when, its type, its title as the window showed
// it (UTF-8) and its gopher URL.
struct HistoryEntry
{
    qint64 time = 0; // seconds since the epoch, UTC
    char type = '1';
    QByteArray title;
    QByteArray url;

    bool operator==(const HistoryEntry &) const = default;
};

// The history: every item opened, oldest first, in a file of its own under
// the user's data directory. A visit is one line appended to the file
// (seconds, type, URL and title, TAB-separated, with backslash, TAB, CR and
// LF escaped), so recording costs one small write and a kill can at most
// lose the line being written; a line cut short is skipped when the file is
// read. Deleting entries and dropping the oldest beyond the capacity replace
// the file atomically, from what is on disk at that moment, so lines another
// running copy appended meanwhile are kept.
class HistoryStore : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultCapacity = 10000;

    explicit HistoryStore(const QString &path, QObject *parent = nullptr);

    QString path() const { return m_path; }
    // The most entries kept; the oldest beyond it are dropped once a quarter
    // more have been added.
    int capacity() const { return m_capacity; }
    void setCapacity(int capacity) { m_capacity = qMax(1, capacity); }

    // Appends a visit to the file (and to the entries, when they are loaded).
    [[nodiscard]] bool add(const HistoryEntry &entry);
    // The entries, oldest first; read from the file on first use.
    const std::vector<HistoryEntry> &entries();
    // Reads the file again.
    void reload();
    // Removes these entries (equal in every field) and rewrites the file.
    [[nodiscard]] bool remove(const QList<HistoryEntry> &doomed);
    [[nodiscard]] bool clear();
    QString lastError() const { return m_lastError; }

    // The entries whose title and URL the search matches, as indexes into
    // entries(), newest first.
    std::vector<int> find(CBoolSearch &search);
    static bool matches(CBoolSearch &search, const HistoryEntry &entry);

    // A line of the file and back; parse() answers false for a line that is
    // cut short or damaged.
    static QByteArray format(const HistoryEntry &entry);
    static bool parse(QByteArrayView line, HistoryEntry *entry);

Q_SIGNALS:
    void entryAdded(const HistoryEntry &entry);
    // The entries were read again or rewritten.
    void entriesReset();

private:
    // The lines on disk now (a missing file is an empty history).
    bool readFile(std::vector<HistoryEntry> *entries, qsizetype *lines);
    bool writeFile(const std::vector<HistoryEntry> &entries);
    // Keeps the newest `capacity` entries.
    void trim(std::vector<HistoryEntry> &entries) const;
    bool compactIfDue();

    QString m_path;
    int m_capacity = DefaultCapacity;
    std::vector<HistoryEntry> m_entries;
    bool m_loaded = false;
    // Lines in the file as far as this program knows (-1: not counted yet).
    qsizetype m_lines = -1;
    QString m_lastError;
};
