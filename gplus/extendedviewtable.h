#pragma once

#include "settings/programfiles.h"
#include "gplus/tablefile.h"
#include "gplus/viewinfo.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>

class CBookmark;
class LanguageTable;
class UserInterface;

// The user's table of known views (`extviews.cnf`): records of "#" lines
// followed by key=value lines. The shipped copy is found by the program-file
// search; the user's edited copy is written to the configuration directory
// and found first from then on.
class ExtendedViewTable final : public EditedTable
{
public:
    explicit ExtendedViewTable(UserInterface *ui = nullptr, LanguageTable *languages = nullptr);

    void setLanguages(LanguageTable *languages) { m_languages = languages; }
    // Finds the file now (the file-found flag) and keeps the search for
    // later attempts; savePath is where an edited table is written.
    void setProgramFiles(const ProgramFiles &files, const QString &savePath);
    bool fileFound() const { return m_fileFound; }

    // The record for a view name (lowered first), loading the table when it
    // is not loaded; none when there is none or loading fails.
    CViewInfo *Lookup(const QByteArray &name);
    // Like Lookup; a view not in the table is offered to the user to define
    // in the "Extended Views" dialog, then looked up again.
    bool FindOrDefine(const QByteArray &name, char itemType);

    [[nodiscard]] bool Load();
    [[nodiscard]] bool Save() override;

    // Lets the user (or the ranking, with autoSelect) pick one of the
    // item's views and shapes the item's request for it: the selector, the
    // type the view is handled as, the expected size. False when cancelled.
    bool ChooseView(CBookmark &item, bool autoSelect, ViewChoice *chosen = nullptr);

    // The records, keyed by name as written in the file.
    const QHash<QByteArray, CViewInfo> &records() const { return m_records; }
    CViewInfo *record(const QByteArray &name);
    void insert(const CViewInfo &info) { m_records.insert(info.name, info); }
    int count() const { return int(m_records.size()); }

    static QHash<QByteArray, CViewInfo> parse(const QList<QByteArray> &lines, bool *sawRecord = nullptr);
    // The file's text, records sorted by name.
    static QByteArray format(const QHash<QByteArray, CViewInfo> &records);

    // The choice entries of view lines; describe gives a tag's name.
    QList<ViewChoice> choicesOf(const QList<QByteArray> &viewLines);
    static ViewChoice splitViewLine(const QByteArray &line);
    // The entry with the highest rank above 0 (the first of equals), or -1.
    static int bestChoice(const QList<ViewChoice> &choices);
    // The selector asking for the view, the type and the expected size.
    static void applyChoice(CBookmark &item, const ViewChoice &choice, const CViewInfo *info);
    // The bytes a size text such as "<10k>" stands for.
    static quint32 sizeFromText(const QByteArray &sizeText);

private:
    void clearEntries() override { m_records.clear(); }

    LanguageTable *m_languages = nullptr;
    QHash<QByteArray, CViewInfo> m_records;
    std::optional<ProgramFiles> m_files;
    bool m_fileFound = false;
};
