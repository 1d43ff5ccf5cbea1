#include "gplus/languagetable.h"


#include <algorithm>

void LanguageTable::setPaths(const QString &path, const QString &savePath)
{
    m_path = path;
    m_savePath = savePath.isEmpty() ? path : savePath;
}

QByteArray LanguageTable::DescribeLanguage(const QByteArray &tag)
{
    if (!m_loaded && !Load())
        return QByteArray();
    return m_entries.value(tag);
}

QHash<QByteArray, QByteArray> LanguageTable::parse(const QList<QByteArray> &lines)
{
    QHash<QByteArray, QByteArray> entries;
    for (const QByteArray &line : lines) {
        const TableFile::KeyValue kv = TableFile::splitKeyValue(line);
        entries.insert(kv.key, kv.value);
    }
    return entries;
}

QByteArray LanguageTable::format(const QHash<QByteArray, QByteArray> &entries)
{
    QList<QByteArray> tags = entries.keys();
    std::sort(tags.begin(), tags.end());
    QByteArray text;
    for (const QByteArray &tag : std::as_const(tags))
        text += tag + '=' + entries.value(tag) + '\n';
    return text;
}

bool LanguageTable::Load()
{
    QList<QByteArray> lines;
    if (!readTable(lines, "Unable to open file containing language info: \n"))
        return false;
    m_entries = parse(lines);
    m_loaded = true;
    showStatus(QByteArray("Loaded language info from ") + m_path.toUtf8());
    return true;
}

bool LanguageTable::Save()
{
    if (!writeTable(format(m_entries), "Unable to write file containing language info: \n"))
        return false;
    showStatus(QByteArray("Updated language info in ") + m_path.toUtf8());
    return true;
}
