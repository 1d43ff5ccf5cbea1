#pragma once

#include <QPixmap>

#include <array>
#include <optional>

class CBookmark;

// The small pictures of Gopher items in the directory list and the navigator:
// one row per item type, loaded on first use. A picture comes from the
// desktop's icon theme when the theme has one, otherwise it is drawn here, so
// every type stays recognisable on a desktop without a theme; drawn pictures
// take their colours from the application's palette.
class ItemIcons
{
public:
    static constexpr int RowCount = 20;
    static constexpr int IconSize = 16;

    // Navigator images that tell how fetching a node failed.
    enum NavigatorImage {
        HostNotFoundImage = 5,
        RefusedImage = 6,
        TimedOutImage = 7,
        FailedImage = 8,
        CancelledImage = 11,
    };

    ItemIcons();
    ~ItemIcons();
    ItemIcons(const ItemIcons &) = delete;
    ItemIcons &operator=(const ItemIcons &) = delete;

    // The type characters of the table, in table order.
    static const std::array<char, RowCount> &typeChars();
    // The table row of a key, or -1 when the table has none.
    static int tableRow(char key);
    // The key an item's picture is looked up by: '?' for an item with an ask
    // form, 'I' for ':' and 'g', 's' for '<', '!' for a type the table lacks.
    static char iconKey(const CBookmark &item);

    // The item's picture. An item whose type the table lacks is marked as
    // unknown: its type becomes '!'. Info lines ('i') have no picture.
    QPixmap icon(CBookmark &item);
    // The picture of a table key (a null pixmap for 'i' and for keys without a row).
    QPixmap icon(char key);
    // A navigator failure image (NavigatorImage); null for other numbers.
    QPixmap navigatorImage(int image);

    bool isLoaded(char key) const;
    // Forgets the loaded pictures: the next lookups load them again (the
    // palette or the icon theme changed).
    void clear();

private:
    std::array<std::optional<QPixmap>, RowCount> m_icons;
    std::array<std::optional<QPixmap>, 5> m_marks;
};
