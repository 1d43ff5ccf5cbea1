#pragma once

#include <QByteArray>
#include <QString>

// A test's settings file, read and written byte for byte around the code
// under test, so a check sees exactly what a user's file would hold.
class SettingsFile
{
public:
    void setPath(const QString &path) { m_path = path; }
    QString path() const { return m_path; }

    // Replaces the file's bytes with data (a failed write fails the test).
    void put(const QByteArray &data) const;
    // The file's bytes; empty when it does not exist.
    QByteArray contents() const;
    // section/key as a fresh read of the file finds it, "<absent>" when missing.
    QByteArray value(const char *section, const char *key) const;

private:
    QString m_path;
};
