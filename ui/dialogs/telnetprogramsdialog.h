#pragma once

#include <QDialog>

class AppSettings;
class QLineEdit;
class QListWidget;
class UserInterface;

// "Edit Path to Telnet & 3270 Programs": the command lines of the terminal
// programs, with buttons that put the "%host%" and "%port%" placeholders
// into the path edit last clicked.
class CTelnetProgramsDialog : public QDialog
{
    Q_OBJECT

public:
    CTelnetProgramsDialog(AppSettings &settings, UserInterface &ui, QWidget *parent = nullptr);

    QLineEdit *telnetEdit() const { return m_telnet; }
    QLineEdit *tn3270Edit() const { return m_tn3270; }
    QListWidget *viewList() const { return m_views; }
    QLineEdit *viewEdit() const { return m_viewProgram; }
    // The path edit the placeholder buttons write into, if any yet.
    QLineEdit *currentPathEdit() const { return m_current; }

    void OnHost();
    void OnPort();
    // The "..." buttons: a program chosen in a file dialog.
    void OnBrowseTelnet();
    void OnBrowse3270();
    void OnBrowseView();
    // Writes both programs as one group; an empty one is left as it was.
    void accept() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void appendPlaceholder(const char *placeholder);
    void browseInto(QLineEdit *edit, const QString &title);

    AppSettings &m_settings;
    UserInterface &m_ui;
    QLineEdit *m_telnet = nullptr;
    QLineEdit *m_tn3270 = nullptr;
    QListWidget *m_views = nullptr;
    QLineEdit *m_viewProgram = nullptr;
    QLineEdit *m_current = nullptr;
};
