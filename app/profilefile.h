#pragma once

#include <QByteArray>
#include <QByteArrayView>
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
    // The leading decimal number (optional sign) of the value; 0 when the value
    // holds no number; defaultValue when the key is absent.
    int getInt(QByteArrayView section, QByteArrayView key, int defaultValue) const;
    bool hasKey(QByteArrayView section, QByteArrayView key) const;
    bool hasSection(QByteArrayView section) const;
    // Key names of a section in file order (the first spelling of each).
    QList<QByteArray> keys(QByteArrayView section) const;
    QList<QByteArray> sections() const;

    // Writes return false when the file could not be replaced; the old file is
    // then untouched and lastError() says why.
    [[nodiscard]] bool writeString(QByteArrayView section, QByteArrayView key, QByteArrayView value);
    [[nodiscard]] bool writeInt(QByteArrayView section, QByteArrayView key, int value);
    [[nodiscard]] bool deleteKey(QByteArrayView section, QByteArrayView key);
    [[nodiscard]] bool deleteSection(QByteArrayView section);

    QString lastError() const { return m_lastError; }

private:
    struct Line
    {
        QByteArray text;   // the line as it stands in the file, without its line end
        int kind = 0;      // 0 other, 1 section header, 2 key
        QByteArray name;   // section or key name as written
        QByteArray value;  // trimmed value of a key line
    };
    struct Stamp
    {
        bool exists = false;
        dev_t dev = 0;
        ino_t ino = 0;
        off_t size = 0;
        qint64 mtimeNs = 0;
        bool operator==(const Stamp &) const = default;
    };

    void refresh() const;
    Stamp currentStamp() const;
    void parse(const QByteArray &data) const;
    int findSection(QByteArrayView section) const;
    int findKey(int sectionLine, QByteArrayView key) const;
    int sectionEnd(int sectionLine) const;
    [[nodiscard]] bool save(const QList<Line> &lines);

    QString m_path;
    QString m_lastError;
    mutable QList<Line> m_lines;
    mutable QByteArray m_eol = "\n";
    mutable bool m_finalEol = true;
    mutable Stamp m_stamp;
    mutable bool m_loaded = false;
};
