#pragma once

#include "bookmarks/homegophers.h"

#include <QDialog>
#include <QHash>

#include <optional>

class ProfileFile;
class QCheckBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
class UserInterface;

// The modal "Home Gopher Server(s)" dialog: the first home server and the
// title of the home window, and a second server behind "More >>".
class HomeGopherDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int MaxHostLength = 64;
    static constexpr int MaxTitleLength = 80;
    // Every TCP port a server may listen on.
    static constexpr int MinPort = 1;
    static constexpr int MaxPort = 65535;

    HomeGopherDialog(ProfileFile &file, UserInterface *ui, QWidget *parent = nullptr);

    // Server n (1 or 2).
    QLineEdit *hostEdit(int n) const;
    QLineEdit *portEdit(int n) const;
    QCheckBox *plusBox(int n) const;
    QLineEdit *selectorEdit(int n) const;
    QLineEdit *menuTitleEdit() const { return m_title; }
    QPushButton *moreButton() const { return m_more; }

    // The one-line explanation of what a home gopher is.
    QLabel *explanation() const { return m_explanation; }
    // Offers a server (a gopher URL, such as the sample gopherspace that
    // ./run serves) as the first home server: a button fills it in.
    void offerServer(const QString &url);
    QPushButton *offerButton() const { return m_offer; }

    // Turns the dialog into the "Home Gopher" page of the preferences sheet:
    // server 1 only, example texts in the labels, and OK writes through the
    // page's own rule.
    void setPreferencesPage();
    bool isPreferencesPage() const { return m_pageMode; }

    bool secondServerShown() const;
    void setSecondServerShown(bool shown);

    // The fields as typed; nullopt after a refused field has been reported
    // and selected.
    std::optional<HomeGophers::DialogFields> validatedFields();

    // OK: the fields are checked, then written; the dialog stays open when a
    // field is refused or the settings file cannot be written.
    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void updateDefault();
    struct Server
    {
        QLineEdit *host = nullptr;
        QLineEdit *port = nullptr;
        QCheckBox *plus = nullptr;
        QLineEdit *selector = nullptr;
    };

    void fill();
    void addServerRows(QFormLayout *form, Server &server, const QString &hostLabel);
    bool checkLength(QLineEdit *edit, int limit);
    std::optional<int> checkPort(QLineEdit *edit);
    void refuse(QLineEdit *edit, const QString &message);
    QByteArray fieldBytes(const QLineEdit *edit) const;
    void showMessage(const QString &text);

    HomeGophers m_homes;
    ProfileFile &m_file;
    UserInterface *m_ui;
    Server m_servers[2];
    QLineEdit *m_title = nullptr;
    QPushButton *m_more = nullptr;
    QPushButton *m_ok = nullptr;
    QLabel *m_explanation = nullptr;
    QPushButton *m_offer = nullptr;
    QFormLayout *m_form = nullptr;
    int m_secondBlockRow = 0;  // first form row of server 2
    bool m_secondShown = true;
    bool m_pageMode = false;
    // The stored bytes behind each text field: a field the user left alone
    // gives back exactly these bytes, even when they are not UTF-8.
    QHash<const QLineEdit *, QByteArray> m_storedBytes;
};
