#pragma once

#include "items/bookmark.h"

#include <QDialog>

#include <memory>
#include <optional>

class CItemType;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class UserInterface;

// "Fetch this Gopher Item": an item typed in by its fields, or as a gopher
// URL, or pasted from the clipboard. OK leaves the item to fetch in result().
class CItemForm : public QDialog
{
    Q_OBJECT

public:
    static constexpr int MaxHostLength = 64;

    // With an item the fields show it and Paste is off; without one, Paste
    // is on only when the clipboard holds text the reader accepts.
    CItemForm(UserInterface &ui, const std::optional<CBookmark> &item, QWidget *parent = nullptr);
    ~CItemForm() override;

    std::optional<CBookmark> result() const { return m_result; }

    QLineEdit *titleField() const { return m_title; }
    QLineEdit *hostField() const { return m_host; }
    QLineEdit *portField() const { return m_port; }
    QLineEdit *selectorField() const { return m_selector; }
    QLineEdit *urlField() const { return m_url; }
    QPushButton *pasteButton() const { return m_paste; }
    char type() const;
    bool gopherPlus() const;
    bool askForm() const;

    void onPaste();
    void onOk();

private:
    UserInterface &m_ui;
    QLineEdit *m_title;
    QLineEdit *m_host;
    QLineEdit *m_port;
    QLineEdit *m_selector;
    QComboBox *m_typeBox;
    std::unique_ptr<CItemType> m_type;
    QCheckBox *m_plus;
    QCheckBox *m_ask;
    QCheckBox *m_tls;
    QLineEdit *m_url;
    QPushButton *m_paste;
    std::optional<CBookmark> m_result;
};
