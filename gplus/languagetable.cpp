#include "gplus/languagetable.h"

#include "docs/userinterface.h"
#include "gplus/tablefile.h"

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
    QByteArray cause;
    if (!TableFile::readLines(m_path, lines, cause)) {
        if (m_ui)
            m_ui->messageBox(QByteArray("Unable to open file containing language info: \n")
                                 + m_path.toUtf8() + '\n' + cause,
                             UserInterface::Exclamation);
        return false;
    }
    m_entries = parse(lines);
    m_loaded = true;
    if (m_ui)
        m_ui->setMainStatus(QByteArray("Loaded language info from ") + m_path.toUtf8());
    return true;
}

bool LanguageTable::Save()
{
    QByteArray cause;
    if (!TableFile::writeAtomically(m_savePath, format(m_entries), cause)) {
        if (m_ui)
            m_ui->messageBox(QByteArray("Unable to write file containing language info: \n")
                                 + m_savePath.toUtf8() + '\n' + cause,
                             UserInterface::Exclamation);
        return false;
    }
    // The user's copy is the table from now on.
    m_path = m_savePath;
    m_dirty = false;
    if (m_ui)
        m_ui->setMainStatus(QByteArray("Updated language info in ") + m_path.toUtf8());
    return true;
}

void LanguageTable::Discard()
{
    m_entries.clear();
    m_loaded = false;
    m_dirty = false;
}

void LanguageTable::afterDialog(bool accepted, bool changed)
{
    if (!accepted) {
        Discard();
        return;
    }
    m_dirty = changed;
    if (m_dirty)
        static_cast<void>(Save()); // a failure has been shown; the table stays dirty
}
