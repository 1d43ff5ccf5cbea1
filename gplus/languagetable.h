#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

class UserInterface;

// Language tags that Gopher+ servers put after a view's type ("En_US",
// "De_DE") and the names shown for them, kept in `language.cnf`: one
// "tag=name" line per entry.
class LanguageTable
{
public:
    explicit LanguageTable(UserInterface *ui = nullptr) : m_ui(ui) {}

    void setUserInterface(UserInterface *ui) { m_ui = ui; }
    // Where the table is read from, and where the user's edited copy goes.
    void setPaths(const QString &path, const QString &savePath);
    QString path() const { return m_path; }
    QString savePath() const { return m_savePath; }

    bool isLoaded() const { return m_loaded; }
    bool isDirty() const { return m_dirty; }

    // The name stored for the tag; empty when the tag is not known or the
    // file cannot be read.
    QByteArray DescribeLanguage(const QByteArray &tag);

    [[nodiscard]] bool Load();
    // Writes the user's copy (atomically); false when that failed, the
    // entries are kept and the table stays dirty.
    [[nodiscard]] bool Save();
    // Drops every entry; the next use reads the file again.
    void Discard();

    // What the Languages dialog ended with: a cancelled dialog drops the
    // edits, a changed one is saved.
    void afterDialog(bool accepted, bool changed);

    const QHash<QByteArray, QByteArray> &entries() const { return m_entries; }
    void setEntry(const QByteArray &tag, const QByteArray &name) { m_entries.insert(tag, name); }
    void removeEntry(const QByteArray &tag) { m_entries.remove(tag); }
    bool contains(const QByteArray &tag) const { return m_entries.contains(tag); }

    // The file's text for the entries (sorted by tag), and the entries of a
    // file's lines.
    static QByteArray format(const QHash<QByteArray, QByteArray> &entries);
    static QHash<QByteArray, QByteArray> parse(const QList<QByteArray> &lines);

private:
    UserInterface *m_ui = nullptr;
    QHash<QByteArray, QByteArray> m_entries;
    QString m_path;
    QString m_savePath;
    bool m_loaded = false;
    bool m_dirty = false;
};
