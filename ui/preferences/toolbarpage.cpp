#include "ui/preferences/toolbarpage.h"

#include "settings/profilefile.h"
#include "documents/userinterface.h"
#include "items/displaytext.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QButtonGroup *radioGroup(QWidget *parent, QGroupBox *box, const QStringList &texts, int checked)
{
    auto *group = new QButtonGroup(parent);
    auto *layout = new QVBoxLayout(box);
    for (int code = 0; code < texts.size(); ++code) {
        auto *button = new QRadioButton(texts.at(code), box);
        group->addButton(button, code);
        layout->addWidget(button);
    }
    // A code the page does not know (a hand-edited file) selects the first.
    QAbstractButton *start = group->button(checked);
    (start ? start : group->button(0))->setChecked(true);
    return group;
}

} // namespace

CToolbarPage::CToolbarPage(AppSettings &settings, UserInterface *ui, const ToolbarSettings &current,
                           Apply apply, QWidget *parent)
    : QDialog(parent), m_settings(settings), m_ui(ui), m_start(current), m_apply(std::move(apply))
{
    setWindowTitle(QStringLiteral("Toolbar"));
    auto *sizeBox = new QGroupBox(QStringLiteral("Button size"), this);
    m_size = radioGroup(this, sizeBox,
                        {QStringLiteral("S&mall Buttons"), QStringLiteral("&Large Buttons"),
                         QStringLiteral("L&arge Buttons with Text")},
                        current.size);
    auto *positionBox = new QGroupBox(QStringLiteral("Position"), this);
    m_position = radioGroup(this, positionBox,
                            {QStringLiteral("To&p"), QStringLiteral("&Bottom"),
                             QStringLiteral("Le&ft"), QStringLiteral("&Right"),
                             QStringLiteral("Floatin&g Palette")},
                            current.position);
    m_show = new QCheckBox(QStringLiteral("Show &Toolbar On Startup"), this);
    m_show->setChecked(current.show);
    m_tooltips = new QCheckBox(QStringLiteral("&Display Tooltips"), this);
    m_tooltips->setChecked(current.tooltips);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(sizeBox);
    layout->addWidget(positionBox);
    layout->addWidget(m_show);
    layout->addWidget(m_tooltips);
    layout->addStretch();
}

ToolbarSettings CToolbarPage::toolbarSettings() const
{
    ToolbarSettings t = m_start;
    t.size = m_size->checkedId();
    t.position = m_position->checkedId();
    t.show = m_show->isChecked();
    t.tooltips = m_tooltips->isChecked();
    return t;
}

void CToolbarPage::accept()
{
    const ToolbarSettings t = toolbarSettings();
    if (m_apply)
        m_apply(t);
    if (!m_settings.setToolbarSettings(t)) {
        if (m_ui)
            m_ui->messageBox("The toolbar settings could not be saved.\n"
                             + textBytes(m_settings.file().lastError()));
        return;
    }
    QDialog::accept();
}
