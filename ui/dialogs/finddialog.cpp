#include "ui/dialogs/finddialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

FindDialog::FindDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Find"));
    m_text = new QLineEdit(this);
    m_text->setMaxLength(MaxText);
    m_matchCase = new QCheckBox(QStringLiteral("Match &case"), this);
    auto *direction = new QGroupBox(QStringLiteral("Direction"), this);
    m_up = new QRadioButton(QStringLiteral("&Up"), direction);
    m_down = new QRadioButton(QStringLiteral("&Down"), direction);
    m_down->setChecked(true);
    auto *directionLayout = new QHBoxLayout(direction);
    directionLayout->addWidget(m_up);
    directionLayout->addWidget(m_down);

    auto *findNextButton = new QPushButton(QStringLiteral("&Find Next"), this);
    findNextButton->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);

    auto *label = new QLabel(QStringLiteral("Fi&nd what:"), this);
    label->setBuddy(m_text);
    auto *grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(m_text, 0, 1);
    grid->addWidget(findNextButton, 0, 2);
    // Each in a column of its own: the check box beside the direction group,
    // never under it.
    grid->addWidget(m_matchCase, 1, 0, Qt::AlignBottom);
    grid->addWidget(direction, 1, 1, Qt::AlignRight);
    grid->addWidget(cancel, 1, 2, Qt::AlignTop);

    connect(findNextButton, &QPushButton::clicked, this, [this] {
        if (!m_text->text().isEmpty())
            Q_EMIT findNext(text(), down(), matchCase());
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::close);
    connect(m_text, &QLineEdit::textChanged, findNextButton,
            [findNextButton](const QString &t) { findNextButton->setEnabled(!t.isEmpty()); });
    findNextButton->setEnabled(false);
}

void FindDialog::setState(const QString &text, bool down, bool matchCase)
{
    m_text->setText(text);
    m_text->selectAll();
    (down ? m_down : m_up)->setChecked(true);
    m_matchCase->setChecked(matchCase);
}

QString FindDialog::text() const
{
    return m_text->text();
}

bool FindDialog::down() const
{
    return m_down->isChecked();
}

bool FindDialog::matchCase() const
{
    return m_matchCase->isChecked();
}
