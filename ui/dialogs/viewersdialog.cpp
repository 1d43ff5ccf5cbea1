#include "ui/dialogs/viewersdialog.h"

#include "ui/accessiblename.h"
#include "ui/dialogs/pathbrowser.h"
#include "settings/viewertable.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace {

class UpperCaseValidator : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        input = input.toUpper();
        return input.size() <= 3 ? Acceptable : Invalid;
    }
};

} // namespace

ViewersDialog::ViewersDialog(ViewerTable &table, QWidget *parent) : QDialog(parent), m_table(table)
{
    setWindowTitle(QStringLiteral("Viewers"));
    m_extension = new QLineEdit;
    m_extension->setMaxLength(3);
    m_extension->setValidator(new UpperCaseValidator(m_extension));
    m_program = new QLineEdit;
    auto *browse = new QPushButton(QStringLiteral("..."));
    m_list = new QListWidget;
    auto *add = new QPushButton(QStringLiteral("Add"));
    add->setDefault(true);
    auto *remove = new QPushButton(QStringLiteral("Delete"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel
                                         | QDialogButtonBox::Help);
    buttons->button(QDialogButtonBox::Help)->setEnabled(false);

    auto *grid = new QGridLayout(this);
    auto *extensionLabel = new QLabel(QStringLiteral("File Extension:"));
    auto *programLabel = new QLabel(QStringLiteral("Viewer Program:"));
    labelField(extensionLabel, m_extension);
    labelField(programLabel, m_program);
    m_list->setAccessibleName(QStringLiteral("Viewers"));
    grid->addWidget(extensionLabel, 0, 0);
    grid->addWidget(m_extension, 0, 1);
    grid->addWidget(programLabel, 1, 0);
    grid->addWidget(m_program, 1, 1);
    grid->addWidget(browse, 1, 2);
    grid->addWidget(m_list, 2, 0, 1, 2);
    auto *side = new QVBoxLayout;
    side->addWidget(add);
    side->addWidget(remove);
    side->addStretch();
    grid->addLayout(side, 2, 2);
    grid->addWidget(buttons, 3, 0, 1, 3);

    for (const QByteArray &line : m_table.lines())
        m_list->addItem(QString::fromUtf8(line));

    connect(m_extension, &QLineEdit::textEdited, this, [this] { m_extensionChanged = true; });
    connect(m_program, &QLineEdit::textEdited, this, [this] { m_programChanged = true; });
    connect(m_extension, &QLineEdit::editingFinished, this, &ViewersDialog::onExtensionLeft);
    connect(m_list, &QListWidget::currentRowChanged, this, &ViewersDialog::onSelected);
    connect(add, &QPushButton::clicked, this, &ViewersDialog::onAdd);
    connect(remove, &QPushButton::clicked, this, &ViewersDialog::onDelete);
    connect(browse, &QPushButton::clicked, this, &ViewersDialog::onBrowse);
    connect(buttons, &QDialogButtonBox::accepted, this, &ViewersDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ViewersDialog::reject);
}

void ViewersDialog::setExtension(const QString &extension)
{
    m_extension->setText(extension.toUpper().left(3));
}

int ViewersDialog::lineOf(const QString &extension) const
{
    const QString head = extension + u'\t';
    for (int i = 0; i < m_list->count(); ++i) {
        if (m_list->item(i)->text().startsWith(head))
            return i;
    }
    return -1;
}

void ViewersDialog::onSelected()
{
    if (m_extensionChanged || m_programChanged)
        replace();
    QListWidgetItem *item = m_list->currentItem();
    if (!item)
        return;
    const QString text = item->text();
    const qsizetype tab = text.indexOf(u'\t');
    m_extension->setText(text.left(tab));
    m_program->setText(text.mid(tab + 1));
}

void ViewersDialog::onExtensionLeft()
{
    const QString extension = m_extension->text();
    if (extension.isEmpty())
        return;
    const int line = lineOf(extension);
    if (line < 0)
        return;
    const QSignalBlocker block(m_list);
    m_list->setCurrentRow(line);
    m_program->setText(QString::fromUtf8(m_table.GetViewer(extension.toUtf8())));
}

void ViewersDialog::onAdd()
{
    const QString extension = m_extension->text();
    const QString program = m_program->text();
    if (extension.isEmpty() || program.isEmpty())
        return;
    if (m_table.HasViewer(extension.toUtf8())) {
        replace();
        return;
    }
    m_list->addItem(extension + u'\t' + program);
    m_table.SetViewer(extension.toUtf8(), program.toUtf8());
}

void ViewersDialog::replace()
{
    m_extensionChanged = false;
    m_programChanged = false;
    const QString extension = m_extension->text();
    const QString program = m_program->text();
    if (extension.isEmpty() || program.isEmpty())
        return;
    const int line = lineOf(extension);
    if (line < 0)
        return;
    const QSignalBlocker block(m_list);
    delete m_list->takeItem(line);
    m_list->addItem(extension + u'\t' + program);
    m_table.ReplaceViewer(extension.toUtf8(), program.toUtf8());
}

void ViewersDialog::onDelete()
{
    const QString extension = m_extension->text();
    const int line = lineOf(extension);
    if (line < 0)
        return;
    const QSignalBlocker block(m_list);
    delete m_list->takeItem(line);
    m_table.RemoveViewer(extension.toUtf8());
}

void ViewersDialog::onBrowse()
{
    if (m_extension->text().isEmpty()) {
        QMessageBox::warning(this, QCoreApplication::applicationName(),
                             QStringLiteral("You should specify an extension first"));
        return;
    }
    CPathBrowser(this).Browse(m_program, m_extension->text() + QStringLiteral(" viewer"));
}

void ViewersDialog::accept()
{
    if (m_extensionChanged || m_programChanged)
        replace();
    QDialog::accept();
}
