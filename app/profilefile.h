#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>

#include <sys/types.h>

// The settings file: one INI file read and written with the semantics of the
// classic private-profile calls. Section and key names compare without regard
// to case, values are trimmed, the first of two equal keys wins, lines that are
// not keys (comments, garbage, text before the first section) are kept as they
// stand, and every write replaces the file atomically.
//
// Reads always see the file as it is on disk now: the parse is cached and the
// cache is trusted only while the file's identity, size and modification time
// are unchanged.
class ProfileFile
{
public:
    // Values read are cut to this many bytes, as the classic calls read into a
    // 4096-byte buffer.
    static constexpr int MaxValueLength = 4095;

    explicit ProfileFile(QString path = {});

    QString path() const { return m_path; }
    void setPath(const QString &path);

    QByteArray getString(QByteArrayView section, QByteArrayView key,
                         QByteArrayView defaultValue = {}) const;
    // The leading decimal number (optional sign) of the value, saturated to
    // int; 0 when the value holds no number; defaultValue when the key is
    // absent or its value empty.
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
    // copy of a duplicated key.
    [[nodiscard]] bool writeString(QByteArrayView section, QByteArrayView key, QByteArrayView value);
    [[nodiscard]] bool writeInt(QByteArrayView section, QByteArrayView key, int value);
    [[nodiscard]] bool deleteKey(QByteArrayView section, QByteArrayView key);
    [[nodiscard]] bool deleteSection(QByteArrayView section);

    QString lastError() const { return m_lastError; }

private:
    enum class Kind : quint8 { Other, Section, Key };
    enum class Eol : quint8 { None, Lf, CrLf };
    struct Line
    {
        QByteArray text;  // the line as it stands in the file, without its line end
        Eol eol = Eol::Lf;
        Kind kind = Kind::Other;
        QByteArray name;   // section or key name, trimmed
        QByteArray value;  // trimmed value of a key line
    };
    // Where a section's keys are: every block that opens with a header of
    // that name, and the first line of each key (the one that wins).
    struct SectionIndex
    {
        QByteArray name;                  // first spelling
        QList<int> headers;               // header line of each block, in file order
        QList<int> keyOrder;              // first line of each key, in file order
        QHash<QByteArray, int> firstKey;  // lower-case key name -> line
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

    void refresh() const;
    Stamp statPath(int *error = nullptr) const;
    void loadFile() const;
    void parse(const QByteArray &data) const;
    const SectionIndex *findSection(QByteArrayView section) const;
    const Line *findKey(QByteArrayView section, QByteArrayView key) const;
    int blockEnd(int header) const;
    bool prepareWrite();
    bool checkNames(QByteArrayView section, QByteArrayView key);
    void insertLines(QList<Line> &lines, int at, QList<Line> added) const;
    [[nodiscard]] bool save(const QList<Line> &lines);

    QString m_path;
    QString m_lastError;
    mutable QString m_readError;  // set when the file exists but could not be read
    mutable QByteArray m_raw;     // the bytes the cache was parsed from
    mutable QList<Line> m_lines;
    mutable QList<QByteArray> m_sectionOrder;  // lower-case names, first appearance
    mutable QHash<QByteArray, SectionIndex> m_sections;
    mutable Eol m_eol = Eol::Lf;
    mutable Stamp m_stamp;
    mutable qint64 m_verifiedAtNs = 0;  // the clock just before the cache was last read
    mutable bool m_loaded = false;
};
