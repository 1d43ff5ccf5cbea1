#pragma once

#include <QDate>
#include <QDialog>
#include <QString>

// The About box: the program's name, version and release date, and the
// settings file in use.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(const QString &settingsFile = {}, QWidget *parent = nullptr);

    static QString programName();
    static QString version();
    static QDate releaseDate();
};
