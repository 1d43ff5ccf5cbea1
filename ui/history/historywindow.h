#pragma once

#include "documents/historystore.h"

#include <QDialog>

#include <functional>

class HistoryModel;
class ItemIcons;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;
class UserInterface;

// The "History" window: every item opened, newest first, with Find (the
// matcher of text windows, on titles and URLs), opening the chosen items,
// deleting them and "Clear History". A window of its own beside the main
// window; the history goes on growing while it is open.
class HistoryWindow : public QDialog
{
    Q_OBJECT

public:
    using Opener = std::function<void(const HistoryEntry &)>;

    HistoryWindow(HistoryStore &store, UserInterface &ui, ItemIcons *icons, Opener open,
                  QWidget *parent = nullptr);

    QLineEdit *findField() const { return m_find; }
    QTreeView *list() const { return m_list; }
    HistoryModel *model() const { return m_model; }
    QLabel *countLabel() const { return m_count; }
    QPushButton *clearButton() const { return m_clear; }

    // Find: lists the entries the Find field matches; an empty field lists
    // them all again.
    void onFind();
    void onOpen();
    void onDelete();
    // "Clear History", after asking.
    void onClear();

private:
    QList<HistoryEntry> selectedEntries() const;
    void updateCount();
    void updateButtons();
    void reportWriteFailure();

    HistoryStore &m_store;
    UserInterface &m_ui;
    Opener m_open;
    HistoryModel *m_model = nullptr;
    QLineEdit *m_find = nullptr;
    QTreeView *m_list = nullptr;
    QLabel *m_count = nullptr;
    QPushButton *m_openButton = nullptr;
    QPushButton *m_delete = nullptr;
    QPushButton *m_clear = nullptr;
};
