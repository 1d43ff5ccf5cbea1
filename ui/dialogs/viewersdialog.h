#pragma once

#include <QDialog>

class QLineEdit;
class QListWidget;
class ViewerTable;

// The "Viewers" dialog: the user edits the viewer table, one line per
// extension and program. The table is written back by its owner.
class ViewersDialog : public QDialog
{
    Q_OBJECT

public:
    ViewersDialog(ViewerTable &table, QWidget *parent = nullptr);

    void setExtension(const QString &extension);
    QLineEdit *extensionEdit() const { return m_extension; }
    QLineEdit *programEdit() const { return m_program; }
    QListWidget *list() const { return m_list; }

    void onAdd();
    void onDelete();
    void onBrowse();
    void accept() override;

private:
    void replace();
    void onSelected();
    void onExtensionLeft();
    int lineOf(const QString &extension) const;

    ViewerTable &m_table;
    QLineEdit *m_extension = nullptr;
    QLineEdit *m_program = nullptr;
    QListWidget *m_list = nullptr;
    bool m_extensionChanged = false;
    bool m_programChanged = false;
};
