#pragma once

#include <QByteArray>
#include <QDialog>

class CBookmarkStore;
class QComboBox;
class QLineEdit;
class QListWidget;
class UserInterface;

// "Bookmark Categories": creates, renames and deletes categories and sets
// the default one; in modes 1 to 3 it is also the store's category chooser,
// and result() is the category chosen with OK.
class CCategoriesDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int MaxNameLength = 240;
    static constexpr const char *NoDefault = "<no default category>";

    CCategoriesDialog(CBookmarkStore &store, UserInterface &ui, int mode, QWidget *parent = nullptr);

    QByteArray result() const { return m_result; }
    static QString titleOf(int mode);

    // The controls, for tests.
    QListWidget *list() const { return m_list; }
    QLineEdit *nameField() const { return m_name; }
    QComboBox *defaultList() const { return m_default; }

    void onCreate();
    void onRename();
    void onDelete();
    void onOk();

private:
    void fillDefaultList();
    void onDefaultChosen(int index);
    QByteArray typedName() const;
    void selectName(const QByteArray &name);
    void message(const QByteArray &text);

    CBookmarkStore &m_store;
    UserInterface &m_ui;
    QListWidget *m_list;
    QLineEdit *m_name;
    QComboBox *m_default;
    bool m_typed = false;
    QByteArray m_result;
};
