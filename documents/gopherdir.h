#pragma once

#include "documents/menuitemstore.h"
#include "documents/tarnwickdoc.h"

#include <optional>
#include <utility>
#include <vector>

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
        // The list shows its rows in another layout: show them all again.
        LayoutHint = 0x800,
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
    bool keepsReplyInMemory() const override { return true; }
    bool replyWorthKeeping() const override { return !m_cut; }
    void OnReceive() override;
    void OnReceiveDone(int status) override;
    void FindText(const QByteArray &text, bool down, bool matchCase, bool wholeWord) override;
    bool CanFindText() const override { return true; }
    bool OnUpdateEditCopy() const override { return listCount() > 0; }
    void OnEditCopy() override;
    bool OnUpdateReload() const override { return !hasLiveTransaction(); }
    bool OnUpdateAddBookmark() const override { return !m_list.isEmpty(); }
    bool OnUpdateAddDirBookmark() const override { return true; }

    // The rows the directory list shows: the directory list, or, as the
    // menu's author laid it out, every item in the server's order with the
    // sub-directories among them. The items are kept as the lines the
    // server sent and made into a CBookmark when asked for; the authored
    // order costs one number per item.
    int listCount() const { return m_authored ? int(m_order.size()) : m_list.count(); }
    CBookmark listItem(int row) const;
    QByteArray listTitle(int row) const;
    // Menus as authored; the program-wide switch reaches every directory.
    bool isAuthored() const { return m_authored; }
    void setAuthored(bool on);
    // The navigator index of a sub-directory row of the list; -1 for other
    // rows and for directories the navigator holds from an earlier fetch.
    int navigatorIndexOfRow(int row) const;
    // A sub-directory row is opened as the navigator opens it: the
    // navigator is asked to fetch its node, or, without one, the document
    // fetches it itself.
    void openNavigatorNode(int index);
    // The directory view marks an item whose type has no icon as unknown ('!').
    void setListItemType(int row, char type);
    int navigatorCount() const { return m_navigator.count(); }
    CBookmark navigatorItem(int index) const { return m_navigator.item(index, true); }
    // Bytes the two lists hold.
    qsizetype itemMemory() const;

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
    // Back and Forward: the directories this window has shown, by navigator
    // moves (not reloads), and where the window stands among them. A step
    // fetches that directory as its navigator node would.
    static constexpr int MaxVisits = 1000;
    bool canStepBack() const { return m_visitAt > 0 && !hasLiveTransaction(); }
    bool canStepForward() const
    {
        return m_visitAt + 1 < int(m_visits.size()) && !hasLiveTransaction();
    }
    void stepBack() { stepTo(m_visitAt - 1); }
    void stepForward() { stepTo(m_visitAt + 1); }
    int visitCount() const { return int(m_visits.size()); }
    int visitPosition() const { return m_visitAt; }
    bool Fetch(const CBookmark &item) override;

    // The most items one fetch takes (MaxItems unless a test lowers it).
    int itemLimit() const { return m_itemLimit; }
    void setItemLimit(int limit) { m_itemLimit = limit; }
    // The last fetch was stopped at the item limit.
    bool isCut() const { return m_cut; }

Q_SIGNALS:
    // A sub-directory row was opened, or Back or Forward went to a node; the
    // navigator fetches its node (-1: its root).
    void navigatorNodeRequested(int index);

private:
    // Where a row of the authored order is kept: the store in the low two
    // bits, the index in that store above them.
    enum Store : quint32 { ListStore = 0, NavigatorStore = 1, DirLineStore = 2 };
    const MenuItemStore &storeOf(quint32 code) const;
    MenuItemStore &storeOf(quint32 code)
    {
        return const_cast<MenuItemStore &>(std::as_const(*this).storeOf(code));
    }
    // The code of a shown row.
    quint32 rowCode(int row) const;
    void appendItem(Store store, QByteArrayView line, QByteArrayView attributes = {});
    // Takes the menu lines of data into the lists and tells the views;
    // returns how many bytes of data were used.
    qsizetype receiveLines(QByteArrayView data);
    // Whether one more item may be taken in this fetch.
    bool roomForItem();
    void completePendingInfo();
    // A navigator move: fetches the node into this window and remembers it
    // for Back and Forward (index -1 for the root).
    void fetchNode(const CBookmark &node, bool expandedBefore, int navigatorIndex);
    void stepTo(int visit);

    struct Visit
    {
        int navigatorIndex; // -1: the item the window was opened on
        CBookmark item;
    };
    std::vector<Visit> m_visits;
    int m_visitAt = -1;
    bool m_stepping = false;

    MenuItemStore m_list;
    int m_findPosition = 0;
    int m_listTotal = 0;
    int m_listThisCall = 0;
    QByteArray m_pendingInfo;
    QByteArray m_pendingAttributes;
    bool m_haveInfo = false;
    MenuItemStore m_navigator;
    // Sub-directory lines of this fetch that the navigator holds already
    // (its node was expanded before): kept for the authored order only.
    MenuItemStore m_dirLines;
    std::vector<quint32> m_order;
    bool m_authored = false;
    // The store of the item appended last (for "+" lines after it), -1 none.
    int m_lastStore = -1;
    // This fetch has met a "+INFO" block: it is a Gopher+ menu.
    bool m_sawInfo = false;
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
    int m_dirLineItems = 0;
    bool m_endedByDot = false;
    bool m_cut = false;
    int m_itemLimit = MaxItems;
};
