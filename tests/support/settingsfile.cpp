#include "tests/support/settingsfile.h"

#include "settings/profilefile.h"

#include <QFile>
#include <QTest>

void SettingsFile::put(const QByteArray &data) const
{
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(data), data.size());
}

QByteArray SettingsFile::contents() const
{
    QFile file(m_path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray SettingsFile::value(const char *section, const char *key) const
{
    const ProfileFile file(m_path);
    return file.getString(section, key, "<absent>");
}
