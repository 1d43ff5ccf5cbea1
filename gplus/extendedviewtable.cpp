#include "gplus/extendedviewtable.h"

#include "documents/userinterface.h"
#include "gplus/languagetable.h"
#include "gplus/tablefile.h"
#include "items/bookmark.h"

#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <limits>

namespace {

const QString FileName = QStringLiteral("extviews.cnf");

// A decimal number at the head of a text, as atoi reads it: blanks, a sign,
// digits up to the first other character; none reads 0.
qint32 leadingInteger(const QByteArray &text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    qint64 value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + (text[i++] - '0');
        if (value > std::numeric_limits<qint32>::max())
            value = qint64(std::numeric_limits<qint32>::max()) + 1;
    }
    value = negative ? -value : value;
    return qint32(std::clamp<qint64>(value, std::numeric_limits<qint32>::min(),
                                     std::numeric_limits<qint32>::max()));
}

} // namespace

ExtendedViewTable::ExtendedViewTable(UserInterface *ui, LanguageTable *languages)
    : EditedTable(ui), m_languages(languages)
{
}

void ExtendedViewTable::setProgramFiles(const ProgramFiles &files, const QString &savePath)
{
    m_files = files;
    m_path = files.FindProgramFile(FileName);
    m_savePath = savePath.isEmpty() ? m_path : savePath;
    m_fileFound = !m_path.isEmpty() && QFileInfo(m_path).isFile();
}

CViewInfo *ExtendedViewTable::record(const QByteArray &name)
{
    const auto it = m_records.find(name);
    return it == m_records.end() ? nullptr : &*it;
}

CViewInfo *ExtendedViewTable::Lookup(const QByteArray &name)
{
    if (!m_loaded && (!Load() || !m_loaded))
        return nullptr;
    return record(name.toLower());
}

bool ExtendedViewTable::FindOrDefine(const QByteArray &name, char itemType)
{
    if (Lookup(name))
        return true;
    if (!m_ui)
        return false;
    m_ui->editExtendedViews(*this, name.toLower(), itemType);
    return Lookup(name) != nullptr;
}

QHash<QByteArray, CViewInfo> ExtendedViewTable::parse(const QList<QByteArray> &lines, bool *sawRecord)
{
    QHash<QByteArray, CViewInfo> records;
    std::optional<CViewInfo> current;
    for (const QByteArray &line : lines) {
        if (line.startsWith('#')) {
            if (current)
                records.insert(current->name, *current);
            current = CViewInfo{};
            continue;
        }
        // Lines before the first record belong to none.
        if (!current)
            continue;
        const TableFile::KeyValue kv = TableFile::splitKeyValue(line);
        if (kv.key == "name")
            current->name = kv.value;
        else if (kv.key == "extension")
            current->extension = kv.value;
        else if (kv.key == "viewer")
            current->viewer = kv.value;
        else if (kv.key == "type")
            current->type = kv.value.isEmpty() ? '!' : kv.value.front();
        else if (kv.key == "rank")
            current->rank = leadingInteger(kv.value);
    }
    if (current)
        records.insert(current->name, *current);
    if (sawRecord)
        *sawRecord = current.has_value();
    return records;
}

QByteArray ExtendedViewTable::format(const QHash<QByteArray, CViewInfo> &records)
{
    QList<QByteArray> names = records.keys();
    std::sort(names.begin(), names.end());
    QByteArray text;
    for (const QByteArray &name : std::as_const(names)) {
        const CViewInfo &r = records[name];
        text += "#\n";
        text += "name=" + r.name + '\n';
        text += "extension=" + r.extension + '\n';
        text += "type=";
        if (r.type)
            text += r.type;
        text += '\n';
        text += "viewer=" + r.viewer + '\n';
        text += "rank=" + QByteArray::number(r.rank) + '\n';
    }
    return text;
}

bool ExtendedViewTable::Load()
{
    if (!m_fileFound && m_files) {
        m_path = m_files->FindProgramFile(FileName);
        m_fileFound = !m_path.isEmpty() && QFileInfo(m_path).isFile();
    }
    if (!m_fileFound) {
        if (m_ui)
            m_ui->messageBox(QByteArray("Trying to load extended view information\n"
                                        "from file 'extviews.cnf'\n\n"
                                        "Looked in the following directories:\n"
                                        "\tthe current directory\n\tthe directory Tarnwick is installed in\n"
                                        "\tthe Windows directory\n\tthe path\n\n"
                                        "Please check your configuration and try again!"),
                             UserInterface::Exclamation);
        return false;
    }
    QList<QByteArray> lines;
    if (!readTable(lines, "Unable to open file containing view info: \n"))
        return false;
    bool sawRecord = false;
    m_records = parse(lines, &sawRecord);
    if (sawRecord) {
        m_loaded = true;
        showStatus(QByteArray("Loaded ") + QByteArray::number(m_records.size())
                   + " extended views from " + m_path.toUtf8());
    }
    return true;
}

bool ExtendedViewTable::Save()
{
    if (m_records.isEmpty())
        return true;
    if (!writeTable(format(m_records), "Unable to write file containing view info: \n"))
        return false;
    m_fileFound = true;
    showStatus(QByteArray("Updated ") + QByteArray::number(m_records.size())
               + " extended views in " + m_path.toUtf8());
    return true;
}

ViewChoice ExtendedViewTable::splitViewLine(const QByteArray &line)
{
    ViewChoice c;
    const qsizetype colon = line.indexOf(':');
    c.viewText = colon < 0 ? line : line.left(colon);
    QByteArray size = colon < 0 ? line : line.mid(colon + 1);
    qsizetype blanks = 0;
    while (blanks < size.size() && size[blanks] == ' ')
        ++blanks;
    c.sizeText = size.mid(blanks);
    const qsizetype blank = c.viewText.indexOf(' ');
    c.type = blank < 0 ? c.viewText : c.viewText.left(blank);
    c.languageTag = blank < 0 ? QByteArray() : c.viewText.mid(blank + 1);
    return c;
}

QList<ViewChoice> ExtendedViewTable::choicesOf(const QList<QByteArray> &viewLines)
{
    // One attempt at each table for the whole list: a server may offer
    // thousands of views.
    const bool haveViews = m_loaded || (Load() && m_loaded);
    bool haveLanguages = false;
    bool triedLanguages = false;
    QList<ViewChoice> choices;
    choices.reserve(viewLines.size());
    // Some servers send the same block twice; a view is offered once.
    QSet<QByteArray> seen;
    for (const QByteArray &line : viewLines) {
        if (seen.contains(line))
            continue;
        seen.insert(line);
        ViewChoice c = splitViewLine(line);
        if (!c.languageTag.isEmpty()) {
            if (!triedLanguages && m_languages) {
                triedLanguages = true;
                haveLanguages = m_languages->isLoaded() || m_languages->Load();
            }
            if (haveLanguages)
                c.languageName = m_languages->entries().value(c.languageTag);
            if (c.languageName.isEmpty())
                c.languageName = c.languageTag;
        }
        const CViewInfo *info = haveViews ? record(c.type.toLower()) : nullptr;
        c.rank = info ? info->rank : -1;
        choices.append(c);
    }
    return choices;
}

int ExtendedViewTable::bestChoice(const QList<ViewChoice> &choices)
{
    int best = -1;
    for (int i = 0; i < choices.size(); ++i) {
        if (choices[i].rank > 0 && (best < 0 || choices[i].rank > choices[best].rank))
            best = i;
    }
    return best;
}

quint32 ExtendedViewTable::sizeFromText(const QByteArray &sizeText)
{
    QByteArray text = sizeText;
    if (text.startsWith('<'))
        text.remove(0, 1);
    // The number at the head, as atof reads it: the unit letter after it is
    // not read ("2.5M" is 2.5).
    qsizetype i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    const qsizetype start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        ++i;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
    }
    bool ok = false;
    const double value = text.mid(start, i - start).toDouble(&ok);
    if (!ok || !(value > 0))
        return 0;
    const double bytes = value * 1024.0;
    return bytes >= double(std::numeric_limits<quint32>::max()) ? std::numeric_limits<quint32>::max()
                                                                : quint32(bytes);
}

void ExtendedViewTable::applyChoice(CBookmark &item, const ViewChoice &choice, const CViewInfo *info)
{
    item.selector = CBookmark::plainSelector(item.selector) + "\t+" + choice.viewText + "\r\n";
    // Searches, phone books and ask forms stay what they are whatever the
    // view is called.
    if (info && info->type && item.type != '7' && item.type != '2' && item.type != '?')
        item.type = info->type;
    if (!choice.sizeText.isEmpty())
        item.itemSize = sizeFromText(choice.sizeText);
}

bool ExtendedViewTable::ChooseView(CBookmark &item, bool autoSelect, ViewChoice *chosen)
{
    const QList<ViewChoice> choices = choicesOf(item.viewLines);
    if (choices.isEmpty())
        return false;
    const int best = bestChoice(choices);
    int index = -1;
    if (best >= 0 && autoSelect) {
        index = best;
    } else if (m_ui) {
        const char itemType = item.type;
        index = m_ui->selectExtendedView(choices, best, [&](int i) {
            return FindOrDefine(choices.at(i).type, itemType);
        });
    }
    if (index < 0 || index >= choices.size())
        return false;
    const CViewInfo *info = m_loaded ? record(choices.at(index).type.toLower()) : nullptr;
    applyChoice(item, choices.at(index), info);
    if (chosen)
        *chosen = choices.at(index);
    return true;
}
