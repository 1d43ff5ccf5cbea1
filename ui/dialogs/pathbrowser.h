#pragma once

#include <QString>

class QLineEdit;
class QWidget;

// Lets the user pick a program file for a viewer or terminal setting and puts
// its full path into the edit, replacing the whole command.
class CPathBrowser
{
public:
    explicit CPathBrowser(QWidget *parent = nullptr) : m_parent(parent) {}

    bool Browse(QLineEdit *edit, const QString &what);
    // The directory and file name the dialog starts from for a command: the
    // text before the first " %" placeholder, split at its last '/'; the
    // first program word when the command holds arguments.
    static void startingPoint(const QString &command, QString *directory, QString *name);

private:
    QWidget *m_parent;
    QString m_directory;
};
