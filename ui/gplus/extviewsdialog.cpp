#include "ui/gplus/extviewsdialog.h"

#include "gplus/extendedviewtable.h"
#include "ui/gplus/rankviewsdialog.h"
#include "items/displaytext.h"
#include "items/typetable.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QByteArray bytesOf(const QString &text)
{
    return text.toUtf8();
}

} // namespace

CExtViewsDialog::CExtViewsDialog(ExtendedViewTable &table, const QByteArray &presetName,
                                 char presetType, QWidget *parent)
    : QDialog(parent), m_table(table)
{
    setWindowTitle(QStringLiteral("Extended Views"));
    confirmCancel = [this] {
        return QMessageBox::question(this, QStringLiteral("Extended Views"),
                                     QStringLiteral("Cancelling will cause changes to be ignored"),
                                     QMessageBox::Ok | QMessageBox::Cancel)
               == QMessageBox::Ok;
    };

    m_view = new QLineEdit(this);
    m_view->setObjectName(QStringLiteral("view"));
    m_type = new QComboBox(this);
    m_type->setObjectName(QStringLiteral("itemType"));
    for (const TypeTable::ChooserRow &row : TypeTable::ChooserRows)
        m_type->addItem(QString::fromLatin1(row.name), QChar::fromLatin1(row.type));
    m_type->setCurrentIndex(m_type->findData(QChar::fromLatin1('1')));
    m_extension = new QLineEdit(this);
    m_extension->setObjectName(QStringLiteral("extension"));
    m_viewer = new QLineEdit(this);
    m_viewer->setObjectName(QStringLiteral("viewer"));
    auto *browse = new QPushButton(QStringLiteral("..."), this);
    browse->setObjectName(QStringLiteral("browse"));
    auto *viewerRow = new QHBoxLayout;
    viewerRow->addWidget(m_viewer, 1);
    viewerRow->addWidget(browse);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&View:"), m_view);
    form->addRow(QStringLiteral("&Item type:"), m_type);
    form->addRow(QStringLiteral("&Extension:"), m_extension);
    // A row whose field is a layout gets no buddy: the label is given one,
    // so that its mnemonic works and is not shown as an ampersand.
    auto *viewerLabel = new QLabel(QStringLiteral("Vie&wer:"), this);
    viewerLabel->setBuddy(m_viewer);
    form->addRow(viewerLabel, viewerRow);

    m_names = new QListWidget(this);
    m_names->setObjectName(QStringLiteral("names"));
    QList<QByteArray> names = m_table.records().keys();
    std::sort(names.begin(), names.end());
    for (const QByteArray &name : std::as_const(names))
        m_names->addItem(displayText(name));

    auto *ranking = new QPushButton(QStringLiteral("&Ranking"), this);
    auto *addButton = new QPushButton(QStringLiteral("&Add"), this);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel
                                             | QDialogButtonBox::Help,
                                         this);
    // Greyed until the manual is attached (QtUserInterface::attachHelp).
    buttons->button(QDialogButtonBox::Help)->setEnabled(false);
    auto *side = new QVBoxLayout;
    side->addWidget(addButton);
    side->addWidget(ranking);
    side->addStretch(1);

    auto *top = new QHBoxLayout;
    auto *left = new QVBoxLayout;
    left->addLayout(form);
    left->addWidget(m_names, 1);
    top->addLayout(left, 1);
    top->addLayout(side);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setTextFormat(Qt::PlainText);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(m_status);
    layout->addWidget(buttons);

    // The field holds view names, which are kept in lower case.
    connect(m_view, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (text != text.toLower()) {
            const int cursor = m_view->cursorPosition();
            m_view->setText(text.toLower());
            m_view->setCursorPosition(cursor);
        }
        m_edited = true;
    });
    for (QLineEdit *field : {m_extension, m_viewer})
        connect(field, &QLineEdit::textEdited, this, [this] { m_edited = true; });
    connect(m_type, &QComboBox::activated, this, [this] { m_edited = true; });
    connect(m_names, &QListWidget::currentTextChanged, this, &CExtViewsDialog::selectName);
    connect(addButton, &QPushButton::clicked, this, &CExtViewsDialog::add);
    connect(ranking, &QPushButton::clicked, this, &CExtViewsDialog::rank);
    connect(browse, &QPushButton::clicked, this, &CExtViewsDialog::browseViewer);
    connect(buttons, &QDialogButtonBox::accepted, this, &CExtViewsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CExtViewsDialog::reject);

    if (!presetName.isEmpty()) {
        m_view->setText(displayText(presetName.toLower()));
        const int row = m_type->findData(QChar::fromLatin1(presetType));
        if (row >= 0)
            m_type->setCurrentIndex(row);
        setStatus("Edit this view, then click the 'Add' button");
    } else {
        setStatus("Loaded " + QByteArray::number(m_table.count()) + " extended views ... done");
    }
}

QString CExtViewsDialog::statusText() const
{
    return m_status->text();
}

void CExtViewsDialog::setStatus(const QByteArray &text)
{
    m_status->setText(QStringLiteral("Status: ") + displayText(text));
}

char CExtViewsDialog::selectedType() const
{
    const QVariant data = m_type->currentData();
    return data.isValid() ? char(data.toChar().toLatin1()) : '1';
}

void CExtViewsDialog::showRecord(const QByteArray &name)
{
    const CViewInfo *info = m_table.record(name);
    if (!info)
        return;
    m_filling = true;
    m_view->setText(displayText(info->name));
    const int row = m_type->findData(QChar::fromLatin1(info->type));
    if (row >= 0)
        m_type->setCurrentIndex(row);
    m_extension->setText(displayText(info->extension));
    m_viewer->setText(displayText(info->viewer));
    m_filling = false;
    setStatus("Ranking: " + QByteArray::number(info->rank));
}

void CExtViewsDialog::selectName(const QString &name)
{
    if (m_filling || name.isEmpty())
        return;
    if (m_edited)
        change();
    showRecord(bytesOf(name));
}

void CExtViewsDialog::add()
{
    const QByteArray name = bytesOf(m_view->text());
    if (name.isEmpty())
        return;
    if (m_table.record(name)) {
        change();
        return;
    }
    m_table.insert({name, bytesOf(m_extension->text()), selectedType(), bytesOf(m_viewer->text()), 0});
    m_filling = true;
    m_names->addItem(displayText(name));
    m_names->sortItems();
    m_filling = false;
    m_edited = false;
    m_changed = true;
    setStatus("Added view " + name);
}

void CExtViewsDialog::change()
{
    m_edited = false;
    const QByteArray name = bytesOf(m_view->text());
    if (name.isEmpty())
        return;
    CViewInfo *info = m_table.record(name);
    if (!info) {
        add();
        return;
    }
    info->extension = bytesOf(m_extension->text());
    info->type = selectedType();
    info->viewer = bytesOf(m_viewer->text());
    m_changed = true;
    setStatus("Modified view " + name);
}

void CExtViewsDialog::rank()
{
    CRankViewsDialog dialog(m_table, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_changed = true;
    if (const CViewInfo *info = m_table.record(bytesOf(m_view->text())))
        setStatus("Ranking: " + QByteArray::number(info->rank));
}

void CExtViewsDialog::browseViewer()
{
    const QString path = QFileDialog::getOpenFileName(
        this, m_extension->text() + QStringLiteral(" viewer"), m_viewer->text());
    if (!path.isEmpty()) {
        m_viewer->setText(path);
        m_edited = true;
    }
}

void CExtViewsDialog::accept()
{
    if (m_edited)
        change();
    QDialog::accept();
}

void CExtViewsDialog::reject()
{
    if (m_changed && confirmCancel && !confirmCancel())
        return;
    QDialog::reject();
}
