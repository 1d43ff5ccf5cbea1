#pragma once

#include "items/textencoding.h"
#include "ui/focusmark.h"

#include <QFont>
#include <QListView>
#include <QTimer>

class CBookmark;
class CGopherDir;
class CTarnwickApp;
class DirListModel;
class DirRowDelegate;
class FontManager;
class ItemIcons;

// The directory list: one row per item of the directory document, drawn with
// the item's icon and title. A screen reader hears each row as PageReader
// reads it; Ctrl+Down and Ctrl+Up go from block to block (an item, a
// paragraph, a picture). Rows are read from the document by number; the
// view never copies the list, so a menu of a few hundred thousand lines
// appends and scrolls as fast as a short one.
class CGopherDirView : public FocusMarked<QListView>
{
    Q_OBJECT

public:
    CGopherDirView(CGopherDir *doc, CTarnwickApp *app, FontManager *fonts, ItemIcons *icons,
                   QWidget *parent = nullptr);
    ~CGopherDirView() override;

    CGopherDir *document() const { return m_doc; }
    // The selected row, -1 when none.
    int selectedRow() const;
    void selectRow(int row);
    int rowHeight() const { return m_rowHeight; }
    // Rows that fit in the list's height (at least one).
    int pageSize() const;
    // The width the horizontal scroll bar reaches: the right end of the
    // longest row drawn so far.
    int horizontalExtent() const { return m_extent; }
    bool isComplete() const { return m_complete; }
    // Rows the list has laid out, added up over every layout pass: the work
    // that grows with the list's length.
    qint64 rowsLaidOut() const { return m_rowsLaidOut; }

    void doItemsLayout() override;

    // The Fetch command: enabled with a selection in a list that has rows.
    bool canFetchSelected() const;
    // Opens the selected row's item in a window of its own.
    void fetchSelected();

    // The face a row is drawn in: the directory font, or, for an info line
    // of a menu shown as authored, a fixed-pitch face of the same size so
    // that text laid out in columns keeps them.
    QFont rowFont(int row) const;
    // Whether the row is drawn as a line of the authored page (no icon).
    bool isPageLine(int row) const;

    // Used by the row painter.
    void widenExtent(int width);
    ItemIcons *icons() const { return m_icons; }
    // How titles are decoded: the encoding chosen for the directory's host.
    TextEncoding encoding() const;

Q_SIGNALS:
    // The item of the newly selected row (the item-information window follows it).
    void itemSelected(const CBookmark &item);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index,
                                                         const QEvent *event) const override;

private:
    void onUpdate(int hint, int a);
    // The list view lays out every row again whenever rows are added, so new
    // rows of a long list are shown in batches that grow with it: the layouts
    // of a whole menu then cost a few times its length, not its length for
    // every block received. Rows held back show after a short wait.
    void requestAppend();
    void flushAppend();
    void onFontChanged(int kind);
    void onEncodingChanged();
    void applyFont();
    // Shows every row again (the document's layout changed).
    void relayout();
    void selectionHandling();
    void openRow(int row);

    CGopherDir *m_doc;
    CTarnwickApp *m_app;
    FontManager *m_fonts;
    ItemIcons *m_icons;
    DirListModel *m_model;
    DirRowDelegate *m_delegate;
    QFont m_infoFont;
    int m_rowHeight = 16;
    int m_extent = 0;
    bool m_complete = false;
    QTimer m_appendTimer;
    qint64 m_rowsLaidOut = 0;
};
