#pragma once

#include <QDialog>

class AppSettings;
class QCheckBox;
class QRadioButton;
class UserInterface;

// The "User Options" dialog: the switches of section "Options" and what the
// bookmark editor does after fetching.
class UserOptionsDialog : public QDialog
{
    Q_OBJECT

public:
    UserOptionsDialog(AppSettings &settings, UserInterface *ui, QWidget *parent = nullptr);

    QCheckBox *autoSelectViewBox() const { return m_autoSelectView; }
    QCheckBox *autoStripDotsBox() const { return m_autoStripDots; }
    QCheckBox *autoFileNameBox() const { return m_autoFileName; }
    QCheckBox *autoViewFileBox() const { return m_autoViewFile; }
    QCheckBox *rememberHistoryBox() const { return m_rememberHistory; }
    QCheckBox *reopenWindowsBox() const { return m_reopenWindows; }
    QRadioButton *keepButton() const { return m_keep; }
    QRadioButton *closeButton() const { return m_close; }
    QRadioButton *minimizeButton() const { return m_minimize; }

    // The fetch action the buttons stand for: 0 keep, 1 minimise, 2 close.
    int fetchAction() const;

    // OK writes the six switches and the fetch action; the dialog stays open
    // when the settings file cannot be written.
    void accept() override;

private:
    void fill();

    AppSettings &m_settings;
    UserInterface *m_ui;
    QCheckBox *m_autoSelectView = nullptr;
    QCheckBox *m_autoStripDots = nullptr;
    QCheckBox *m_autoFileName = nullptr;
    QCheckBox *m_autoViewFile = nullptr;
    QCheckBox *m_rememberHistory = nullptr;
    QCheckBox *m_reopenWindows = nullptr;
    QRadioButton *m_keep = nullptr;
    QRadioButton *m_close = nullptr;
    QRadioButton *m_minimize = nullptr;
};
