#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class UserInterface;

// The two small text tables of Gopher+ (extended views, languages) are plain
// files of lines. They are read whole and written through a temporary file
// renamed over the old one, so a crash never leaves half a table behind.
namespace TableFile {

// The lines of the file without their line ends (LF or CR LF); false when it
// cannot be opened, with the reason in `cause`.
[[nodiscard]] bool readLines(const QString &path, QList<QByteArray> &lines, QByteArray &cause);

// Replaces the file by `bytes` in one step; false with the reason in `cause`.
[[nodiscard]] bool writeAtomically(const QString &path, const QByteArray &bytes, QByteArray &cause);

// The text of the key and the value in a "key=value" line: the value ends at
// the next "=" (so a value cannot hold one); a line without "=" is all key.
struct KeyValue
{
    QByteArray key;
    QByteArray value;
    bool hasValue = false;
};
KeyValue splitKeyValue(const QByteArray &line);

} // namespace TableFile

// What the two tables share: where the table is read from and where the
// user's edited copy goes, and what a dialog on the table leaves behind.
class EditedTable
{
public:
    void setUserInterface(UserInterface *ui) { m_ui = ui; }
    QString path() const { return m_path; }
    QString savePath() const { return m_savePath; }

    bool isLoaded() const { return m_loaded; }
    bool isDirty() const { return m_dirty; }
    void setDirty(bool dirty) { m_dirty = dirty; }

    // Writes the user's copy (atomically); false when that failed, the
    // entries are kept and the table stays dirty.
    [[nodiscard]] virtual bool Save() = 0;
    // Drops every entry; the next use reads the file again.
    void Discard();
    // What a dialog on the table ended with: cancelled drops the edits (the
    // file is read again on next use); changed saves.
    void afterDialog(bool accepted, bool changed);

protected:
    explicit EditedTable(UserInterface *ui) : m_ui(ui) {}
    ~EditedTable() = default;

    virtual void clearEntries() = 0;
    // The table file's lines; a failure is shown as `failure`, the path and
    // the reason.
    bool readTable(QList<QByteArray> &lines, const char *failure);
    // Replaces the user's copy, which is the table from then on; a failure is
    // shown like readTable's.
    bool writeTable(const QByteArray &bytes, const char *failure);
    void showStatus(const QByteArray &text);

    UserInterface *m_ui = nullptr;
    QString m_path;
    QString m_savePath;
    bool m_loaded = false;
    bool m_dirty = false;
};
