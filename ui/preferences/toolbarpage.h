#pragma once

#include "settings/appsettings.h"

#include <QDialog>

#include <functional>

class QButtonGroup;
class QCheckBox;
class UserInterface;

// The "Toolbar" page of the preferences: button size, position, shown at
// start-up and tooltips. OK hands the layout to the main frame at once and
// writes the "Toolbar" section.
class CToolbarPage : public QDialog
{
    Q_OBJECT

public:
    using Apply = std::function<void(const ToolbarSettings &)>;
    CToolbarPage(AppSettings &settings, UserInterface *ui, const ToolbarSettings &current,
                 Apply apply, QWidget *parent = nullptr);

    // The page's choices over the toolbar it started from (its docking and
    // floating coordinates stay).
    ToolbarSettings toolbarSettings() const;
    QButtonGroup *sizeGroup() const { return m_size; }
    QButtonGroup *positionGroup() const { return m_position; }

    void accept() override;

private:
    AppSettings &m_settings;
    UserInterface *m_ui;
    ToolbarSettings m_start;
    Apply m_apply;
    QButtonGroup *m_size;
    QButtonGroup *m_position;
    QCheckBox *m_show;
    QCheckBox *m_tooltips;
};
