#include "ui/dialogs/pathbrowser.h"

#include "settings/commandline.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>

void CPathBrowser::startingPoint(const QString &command, QString *directory, QString *name)
{
    QString text = command;
    const qsizetype placeholder = text.indexOf(QStringLiteral(" %"));
    if (placeholder >= 0)
        text.truncate(placeholder);
    // A command with arguments starts the dialog at its program.
    const std::optional<QStringList> words = CommandLine::split(text);
    if (words && !words->isEmpty())
        text = words->first();
    directory->clear();
    name->clear();
    if (text.isEmpty())
        return;
    const qsizetype slash = text.lastIndexOf(u'/');
    if (slash >= 0) {
        *directory = slash == 0 ? QStringLiteral("/") : text.left(slash);
        *name = text.mid(slash + 1);
    } else {
        *name = text;
    }
}

bool CPathBrowser::Browse(QLineEdit *edit, const QString &what)
{
    QString directory;
    QString name;
    startingPoint(edit->text(), &directory, &name);
    m_directory = directory;
    QFileDialog dialog(m_parent, QStringLiteral("Browsing for ") + what, directory);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // "Programs" lists the files that may be executed: the platform has no
    // extension for them, so the filter is the executable bit.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    const QString programs = QStringLiteral("Programs (*)");
    const QString all = QStringLiteral("All Files (*)");
    dialog.setNameFilters({programs, all});
    dialog.setFilter(QDir::AllDirs | QDir::Files | QDir::Executable | QDir::NoDotAndDotDot);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, programs](const QString &f) {
        dialog.setFilter(f == programs
                             ? QDir::AllDirs | QDir::Files | QDir::Executable | QDir::NoDotAndDotDot
                             : QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot);
    });
    if (!name.isEmpty())
        dialog.selectFile(name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    edit->setText(dialog.selectedFiles().first());
    return true;
}
