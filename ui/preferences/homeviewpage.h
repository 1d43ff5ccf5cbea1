#pragma once

#include <QDialog>

class HomeGophers;
class QButtonGroup;
class UserInterface;

// The "Home View" page of the preferences: the eight layouts of the home
// window, each a radio button with a picture button that selects it. OK
// stores the layout; the sheet then has an open home window built again.
class CHomeViewPage : public QDialog
{
    Q_OBJECT

public:
    CHomeViewPage(HomeGophers &home, UserInterface *ui, QWidget *parent = nullptr);

    // The chosen layout number, 0 to 7.
    int layout() const;
    QButtonGroup *layoutGroup() const { return m_layouts; }
    // OK stored a layout other than the one the page started with.
    bool changed() const { return m_changed; }

    void accept() override;

private:
    HomeGophers &m_home;
    UserInterface *m_ui;
    bool m_changed = false;
    QButtonGroup *m_layouts;
};
