#pragma once

#include "documents/documentframe.h"

#include <QMdiSubWindow>
#include <QPointer>

class CTarnwickDoc;
class QSplitter;

// A directory window: the directory list (D), the navigator tree (T) and, in
// some layouts, the bookmark tree (B), in one of eight arrangements.
class CGopherSplitterChild : public QMdiSubWindow, public DocumentFrame
{
    Q_OBJECT

public:
    // 0: T|D  1: T over D  2: (B over T)|D  3: B|T|D  4: D|T  5: D over T
    // 6: (T over B)|D  7: B over T over D. Unknown numbers give 0.
    CGopherSplitterChild(CTarnwickDoc *document, int layout, QWidget *directoryList,
                         QWidget *navigator, QWidget *bookmarks, const QSize &clientSize,
                         QWidget *parent = nullptr);

    int layoutNumber() const { return m_layout; }
    CTarnwickDoc *document() const { return m_document; }
    QWidget *directoryList() const { return m_list; }
    QWidget *navigator() const { return m_navigator; }
    QWidget *bookmarks() const { return m_bookmarks; }
    // The panes in the order F6 visits them.
    QList<QWidget *> panes() const;

    bool hasOwnStatusBar() const override { return false; }
    void setStatusText(const QByteArray &) override {}
    void activateFrame() override;
    void destroyFrame() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QPointer<CTarnwickDoc> m_document;
    int m_layout;
    QWidget *m_list;
    QWidget *m_navigator;
    QWidget *m_bookmarks;
    bool m_destroying = false;
};
