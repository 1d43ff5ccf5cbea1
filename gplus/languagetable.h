#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include "gplus/tablefile.h"

class UserInterface;

// Language tags that Gopher+ servers put after a view's type ("En_US",
// "De_DE") and the names shown for them, kept in `language.cnf`: one
// "tag=name" line per entry.
class LanguageTable final : public EditedTable
{
public:
    explicit LanguageTable(UserInterface *ui = nullptr) : EditedTable(ui) {}

    // Where the table is read from, and where the user's edited copy goes.
    void setPaths(const QString &path, const QString &savePath);

    // The name stored for the tag; empty when the tag is not known or the
    // file cannot be read.
    QByteArray DescribeLanguage(const QByteArray &tag);

    [[nodiscard]] bool Load();
    [[nodiscard]] bool Save() override;

    const QHash<QByteArray, QByteArray> &entries() const { return m_entries; }
    void setEntry(const QByteArray &tag, const QByteArray &name) { m_entries.insert(tag, name); }
    void removeEntry(const QByteArray &tag) { m_entries.remove(tag); }
    bool contains(const QByteArray &tag) const { return m_entries.contains(tag); }

    // The file's text for the entries (sorted by tag), and the entries of a
    // file's lines.
    static QByteArray format(const QHash<QByteArray, QByteArray> &entries);
    static QHash<QByteArray, QByteArray> parse(const QList<QByteArray> &lines);

private:
    void clearEntries() override { m_entries.clear(); }

    QHash<QByteArray, QByteArray> m_entries;
};
