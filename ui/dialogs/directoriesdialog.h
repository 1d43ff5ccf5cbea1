#pragma once

#include <QDialog>

class AppSettings;
class QLineEdit;
class QPushButton;
class UserInterface;

// The "Gopher Directories" dialog: where temporary and downloaded files go.
class DirectoriesDialog : public QDialog
{
    Q_OBJECT

public:
    DirectoriesDialog(AppSettings &settings, UserInterface *ui, QWidget *parent = nullptr);

    QLineEdit *temporaryEdit() const { return m_temporary; }
    QLineEdit *downloadEdit() const { return m_download; }

    // OK writes both directories as typed; the dialog stays open when the
    // settings file cannot be written.
    void accept() override;

private:
    QPushButton *makeBrowseButton(QLineEdit *edit, const QString &title);

    AppSettings &m_settings;
    UserInterface *m_ui;
    QLineEdit *m_temporary = nullptr;
    QLineEdit *m_download = nullptr;
};
