#pragma once

#include <QDialog>

#include <functional>

class LanguageTable;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

// "Languages": the names shown for the language tags of views. A row is a
// tag and its name; edits go to the table at once, and the caller hands
// the result to the table's afterDialog.
class CLanguagesDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CLanguagesDialog(LanguageTable &table, QWidget *parent = nullptr);

    bool changed() const { return m_changed; }
    std::function<bool()> confirmCancel;

    QLineEdit *tagField() const { return m_tag; }
    QLineEdit *nameField() const { return m_name; }
    QTreeWidget *list() const { return m_list; }

    void add();
    void selectRow(QTreeWidgetItem *row);
    void accept() override;
    void reject() override;

private:
    void change();

    LanguageTable &m_table;
    QLineEdit *m_tag;
    QLineEdit *m_name;
    QTreeWidget *m_list;
    QTreeWidgetItem *m_selected = nullptr;
    bool m_edited = false;
    bool m_changed = false;
};
