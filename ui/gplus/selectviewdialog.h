#pragma once

#include "gplus/viewinfo.h"

#include <QDialog>
#include <QList>

#include <functional>

class QDialogButtonBox;
class QTreeWidget;

// "Select Extended View": one row per view the server offers (type,
// language, size); OK is enabled once a row is chosen, a double-click is OK.
// OK asks `accept` (which may let the user define the view first) and
// closes only when it agrees.
class CSelectViewDialog : public QDialog
{
    Q_OBJECT

public:
    CSelectViewDialog(const QList<ViewChoice> &entries, int best, std::function<bool(int)> accept,
                      QWidget *parent = nullptr);

    int chosen() const { return m_chosen; }
    QTreeWidget *list() const { return m_list; }
    bool okEnabled() const;

    void accept() override;

private:
    void updateOk();

    QTreeWidget *m_list;
    QDialogButtonBox *m_buttons;
    std::function<bool(int)> m_accept;
    int m_chosen = -1;
};
