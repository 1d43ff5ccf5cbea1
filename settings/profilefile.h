#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>

#include <sys/types.h>

// The settings file: one INI file read and written with the semantics of the
// classic private-profile calls. Section and key names compare without regard
// to case, values are trimmed and lose one matching pair of surrounding double
// quotes, the first of two equal keys wins, lines that are not keys (comments,
// garbage, text before the first section) are kept as they stand, and every
// write replaces the file atomically.
//
// Lines end with LF, CR LF or a lone CR (files from old Macs), each line
// keeping its own. A file in UTF-16 with a byte order mark (as Windows tools
// write it) is read as text and written back in UTF-16; one without the mark
// is read but not written; a UTF-8 byte order mark is kept. A write that
// could not be read back as written in the file's form is refused, so a file
// never mixes two forms.
//
// Reads always see the file as it is on disk now: the parse is cached and the
// cache is trusted only while the file's identity, size and modification time
// are unchanged.
//
// Keys that belong together are written as one group (see Edit): the file is
// replaced once, with all of them or none.
class ProfileFile
{
public:
    // Values read are cut to this many bytes, as the classic calls read into a
    // 4096-byte buffer.
    static constexpr int MaxValueLength = 4095;

    // A group of changes. While an Edit is open, writes and deletes change the
    // file's contents in memory only and reads see them; commit() then
    // replaces the file once. An Edit destroyed without commit() drops its
    // changes. An Edit opened while another is open joins it: its commit()
    // leaves the writing to the outer one, and dropping it drops the whole
    // group, so a group is never written in part.
    class Edit
    {
    public:
        explicit Edit(ProfileFile &file);
        ~Edit();
        Edit(const Edit &) = delete;
        Edit &operator=(const Edit &) = delete;

        ProfileFile &file() const { return m_file; }
        // False when the group could not be written (the file is then as it
        // was and lastError() says why) or when a joined group was dropped.
        [[nodiscard]] bool commit();
        void cancel();

    private:
        ProfileFile &m_file;
        bool m_open = true;
    };

    // The work done so far, for tests that check the work instead of the time.
    struct Counters
    {
        int reads = 0;         // times the file's bytes were read from disk
        int parses = 0;        // times bytes were parsed into lines
        qint64 bytesParsed = 0;
        int replacements = 0;  // times the file was replaced (each one synced to disk)
    };

    explicit ProfileFile(QString path = {});

    QString path() const { return m_path; }
    void setPath(const QString &path);

    QByteArray getString(QByteArrayView section, QByteArrayView key,
                         QByteArrayView defaultValue = {}) const;
    // The leading decimal number (optional sign) of the value, saturated to
    // int; 0 when the value holds no number (an empty value too); defaultValue
    // when the key is absent.
    int getInt(QByteArrayView section, QByteArrayView key, int defaultValue) const;
    bool hasKey(QByteArrayView section, QByteArrayView key) const;
    bool hasSection(QByteArrayView section) const;
    // Key names of a section in file order (the first spelling of each).
    QList<QByteArray> keys(QByteArrayView section) const;
    QList<QByteArray> sections() const;

    // Writes return false when the file could not be replaced; the old file is
    // then untouched and lastError() says why. Names and values holding a line
    // end are refused, and so are key names with "=" or beginning with "[" or
    // ";": they could not be read back as written. deleteKey removes every
    // copy of a duplicated key. A value that begins and ends with a double
    // quote, or with a blank, is stored inside one more pair of quotes, so
    // that it reads back as it was written.
    [[nodiscard]] bool writeString(QByteArrayView section, QByteArrayView key, QByteArrayView value);
    [[nodiscard]] bool writeInt(QByteArrayView section, QByteArrayView key, int value);
    [[nodiscard]] bool deleteKey(QByteArrayView section, QByteArrayView key);
    [[nodiscard]] bool deleteSection(QByteArrayView section);

    QString lastError() const { return m_lastError; }
    bool inGroup() const { return m_groupDepth > 0; }
    const Counters &counters() const { return m_counters; }

private:
    enum class Kind : quint8 { Other, Section, Key };
    enum class Eol : quint8 { None, Lf, CrLf, Cr };
    // How the file's text is stored: the lines are parsed and kept as UTF-8
    // (or the bytes as they stand), and turned back into this form on write.
    struct TextForm
    {
        enum Encoding : quint8 { Bytes, Utf16Le, Utf16Be } encoding = Bytes;
        bool byteOrderMark = false;
    };
    struct Line
    {
        QByteArray text;  // the line as it stands in the file, without its line end
        Eol eol = Eol::Lf;
        Kind kind = Kind::Other;
        QByteArray name;   // section or key name, trimmed
        QByteArray value;  // trimmed value of a key line
    };
    // The text before the first section header, or one header and the lines
    // up to the next header. A change touches the lines of one block, so the
    // places of keys in other blocks stay valid.
    struct Block
    {
        bool header = false;  // false for the text before the first header
        bool removed = false;
        QList<Line> lines;
    };
    struct KeyRef
    {
        int block = -1;
        int line = -1;
    };
    // Where a section's keys are: every block that opens with a header of
    // that name, and the first line of each key (the one that wins). The keys
    // are indexed when the section is first used, so that a large file of
    // many sections costs little more than reading it.
    struct SectionIndex
    {
        QByteArray name;                     // first spelling
        QList<int> blocks;                   // in file order
        bool indexed = false;
        QList<QByteArray> keyOrder;          // lower-case key names, file order
        QHash<QByteArray, KeyRef> firstKey;  // lower-case key name -> its first line
    };
    struct Stamp
    {
        bool exists = false;
        dev_t dev = 0;
        ino_t ino = 0;
        off_t size = 0;
        qint64 mtimeNs = 0;
        qint64 ctimeNs = 0;
        bool operator==(const Stamp &) const = default;
    };
    struct Change
    {
        enum Op : quint8 { Write, DeleteKey, DeleteSection } op;
        QByteArray section;
        QByteArray key;
        QByteArray value;  // as stored, quotes added
    };
    struct Contents
    {
        QList<Block> blocks;
        QHash<QByteArray, SectionIndex> sections;
        QList<QByteArray> sectionOrder;  // lower-case names, first appearance
        Eol eol = Eol::Lf;
        TextForm form;
    };

    static void classify(Line &line, bool inSection);
    // The file's bytes as the text the lines are parsed from, and its form;
    // exact is false when that text would not turn back into the same bytes.
    static QByteArray decodeText(const QByteArray &raw, TextForm *form, bool *exact);
    // The text in the file's form; none when it cannot be stored in it.
    static std::optional<QByteArray> encodeText(const QByteArray &text, TextForm form);
    void refresh() const;
    Stamp statPath(int *error = nullptr) const;
    void loadFile(bool forceParse = false) const;
    void parse(const QByteArray &data) const;
    SectionIndex *findSection(QByteArrayView section) const;
    const Line *findKey(QByteArrayView section, QByteArrayView key) const;
    static void indexKey(SectionIndex &index, const QByteArray &name, KeyRef ref);
    void reindexSection(SectionIndex &index) const;
    int lastBlock() const;

    bool checkNames(QByteArrayView section, QByteArrayView key);
    bool change(Change change);
    void apply(const Change &change);
    void applyWrite(const Change &change);
    void applyDeleteKey(const Change &change);
    void applyDeleteSection(const Change &change);

    void beginGroup();
    bool endGroup(bool commit);
    bool commitGroup();
    QByteArray serialize() const;
    [[nodiscard]] bool save();

    QString m_path;
    QString m_lastError;
    mutable QString m_readError;  // set when the file exists but could not be read
    mutable QString m_writeRefusal;  // set when the file reads but could not be written back
    mutable QByteArray m_raw;     // the bytes on disk that the contents stand for
    mutable Contents m_contents;
    mutable Stamp m_stamp;
    mutable qint64 m_verifiedAtNs = 0;  // the clock just before the cache was last read
    mutable bool m_loaded = false;
    mutable bool m_parsed = false;
    mutable Counters m_counters;

    int m_groupDepth = 0;
    bool m_groupFailed = false;
    bool m_reloadedInGroup = false;
    QString m_groupError;
    std::optional<Contents> m_beforeGroup;
    QList<Change> m_changes;
};
