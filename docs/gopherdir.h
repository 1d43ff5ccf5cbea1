#pragma once

#include "docs/menuitemstore.h"
#include "docs/tarnwickdoc.h"

#include <optional>

// A Gopher directory: the reply of a menu request, plain or Gopher+, split
// into the directory list (what the directory view shows) and the navigator
// list of sub-directories (the outline of the user's path).
class CGopherDir : public CTarnwickDoc
{
    Q_OBJECT

public:
    // Update hints: which view, then what to do.
    enum Hint {
        NavigatorHint = 0x10,
        ListHint = 0x20,
        AppendHint = 1,
        SelectHint = 2,
        CompleteHint = 4,
        ClearHint = 8,
        HostNotFoundMark = 0x40,
        RefusedMark = 0x80,
        TimedOutMark = 0x100,
        FailedMark = 0x200,
        CancelledMark = 0x400,
    };
    // Attribute lines kept for the "+INFO" block being read stay below this.
    static constexpr int PendingAttributeLimit = 32765;
    // Longer lines are not menu lines; they are dropped without being kept.
    static constexpr int MaxMenuLine = 1 << 20;
    // A directory holds at most this many items; a server that sends more is
    // stopped there, so an endless menu cannot fill the memory.
    static constexpr int MaxItems = 1000000;

    explicit CGopherDir(const AppContext &context, QObject *parent = nullptr);

    const CBookmark &GetItem() const override;
    void DeleteContents() override;
    void requestStarting() override;
    bool endsAtDotLine() const override { return true; }
    void OnReceive() override;
    void OnReceiveDone(int status) override;
    void FindText(const QByteArray &text, bool down, bool matchCase, bool wholeWord) override;
    bool CanFindText() const override { return true; }
    bool OnUpdateEditCopy() const override { return !m_list.isEmpty(); }
    void OnEditCopy() override;
    bool OnUpdateReload() const override { return !hasLiveTransaction(); }
    bool OnUpdateAddBookmark() const override { return !m_list.isEmpty(); }
    bool OnUpdateAddDirBookmark() const override { return true; }

    // Directory list and navigator list. The items are kept as the lines
    // the server sent and made into a CBookmark when asked for.
    int listCount() const { return m_list.count(); }
    CBookmark listItem(int row) const { return m_list.item(row); }
    QByteArray listTitle(int row) const { return m_list.title(row); }
    // The directory view marks an item whose type has no icon as unknown ('!').
    void setListItemType(int row, char type);
    int navigatorCount() const { return m_navigator.count(); }
    CBookmark navigatorItem(int index) const { return m_navigator.item(index, true); }
    // Bytes the two lists hold.
    qsizetype itemMemory() const { return m_list.memoryUsed() + m_navigator.memoryUsed(); }

    // The row chosen in the directory view (-1 for none): it becomes the
    // current item; the find position follows it.
    void selectRow(int row);
    int findPosition() const { return m_findPosition; }
    void setFindPosition(int row) { m_findPosition = row; }
    // Fetches a navigator node into this document, replacing the list.
    void fetchNavigatorNode(int index, bool expandedBefore);
    // The same for an item the navigator holds itself (its root, the item the
    // window was opened on, which the document's own item no longer is once
    // another node has been fetched).
    void fetchNavigatorItem(const CBookmark &node, bool expandedBefore);
    int receivedCount() const { return m_receivedCount; }
    // The most items one fetch takes (MaxItems unless a test lowers it).
    int itemLimit() const { return m_itemLimit; }
    void setItemLimit(int limit) { m_itemLimit = limit; }
    // The last fetch was stopped at the item limit.
    bool isCut() const { return m_cut; }

private:
    // Takes the menu lines of data into the lists and tells the views;
    // returns how many bytes of data were used.
    qsizetype receiveLines(QByteArrayView data);
    // Whether one more item may be taken in this fetch.
    bool roomForItem();
    void appendItem(MenuItemStore &list, QByteArrayView line, QByteArrayView attributes = {});
    void completePendingInfo();

    MenuItemStore m_list;
    int m_findPosition = 0;
    int m_listTotal = 0;
    int m_listThisCall = 0;
    QByteArray m_pendingInfo;
    QByteArray m_pendingAttributes;
    bool m_haveInfo = false;
    MenuItemStore m_navigator;
    int m_navigatorTotal = 0;
    int m_navigatorThisCall = 0;
    int m_receivedCount = 0;
    // The item of the chosen row.
    std::optional<CBookmark> m_current;
    int m_currentRow = -1;
    qsizetype m_scanned = 0;
    bool m_skippingLine = false;
    bool m_heldDotLine = false;
    // Per fetch: menu lines taken as items, whether the "." line ended the
    // menu, whether the item limit stopped it.
    int m_fetchItems = 0;
    bool m_endedByDot = false;
    bool m_cut = false;
    int m_itemLimit = MaxItems;
};
