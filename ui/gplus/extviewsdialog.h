#pragma once

#include <QDialog>

#include <functional>

class ExtendedViewTable;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// "Extended Views": defines and changes the known views (name, the item
// type a fetched view is handled as, extension, viewer). Edits go to the
// table at once; the caller hands the result to the table's afterDialog.
class CExtViewsDialog : public QDialog
{
    Q_OBJECT

public:
    // presetName non-empty: the dialog opens on that view, ready to add it.
    CExtViewsDialog(ExtendedViewTable &table, const QByteArray &presetName, char presetType,
                    QWidget *parent = nullptr);

    bool changed() const { return m_changed; }
    QString statusText() const;
    // Asked before a cancel throws changes away; the default asks the user.
    std::function<bool()> confirmCancel;

    QLineEdit *viewField() const { return m_view; }
    QComboBox *typeField() const { return m_type; }
    QLineEdit *extensionField() const { return m_extension; }
    QLineEdit *viewerField() const { return m_viewer; }
    QListWidget *names() const { return m_names; }

    void add();
    void selectName(const QString &name);
    void rank();
    void accept() override;
    void reject() override;

private:
    void change();
    void setStatus(const QByteArray &text);
    void browseViewer();
    char selectedType() const;
    void showRecord(const QByteArray &name);

    ExtendedViewTable &m_table;
    QLineEdit *m_view;
    QComboBox *m_type;
    QLineEdit *m_extension;
    QLineEdit *m_viewer;
    QListWidget *m_names;
    QLabel *m_status;
    bool m_edited = false;
    bool m_changed = false;
    bool m_filling = false;
};
