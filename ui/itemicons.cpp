#include "ui/itemicons.h"

#include "items/bookmark.h"

#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <functional>

namespace {

struct IconRow
{
    char type;
    // Names tried in the desktop's icon theme, best first.
    std::array<const char *, 2> themeNames;
};

// The table in its own order; lookups go through a copy sorted by type.
constexpr std::array<IconRow, ItemIcons::RowCount> IconRows = {{
    {'0', {"text-x-generic", nullptr}},
    {'1', {"folder", nullptr}},
    {'2', {"x-office-address-book", nullptr}},
    {'3', {"dialog-error", nullptr}},
    {'4', {"application-x-binhex", "package-x-generic"}},
    {'5', {"application-x-archive", "package-x-generic"}},
    {'6', {"application-x-uuencode", "package-x-generic"}},
    {'7', {"system-search", nullptr}},
    {'8', {"utilities-terminal", nullptr}},
    {'T', {"utilities-terminal", nullptr}},
    // Themes draw "executable" as a warning sign and "octet-stream" as a
    // question mark, which read as the '!' and '?' rows: a binary file gets
    // its own "01" sheet.
    {'9', {nullptr, nullptr}},
    {'I', {"image-x-generic", nullptr}},
    {'h', {"text-html", nullptr}},
    {'M', {"message-rfc822", "mail-unread"}},
    {'P', {"application-pdf", "x-office-document"}},
    {'s', {"audio-x-generic", nullptr}},
    {'i', {nullptr, nullptr}},
    {';', {"video-x-generic", nullptr}},
    {'?', {"dialog-question", nullptr}},
    {'!', {"dialog-warning", nullptr}},
}};

struct MarkRow
{
    int image;
    const char *themeName;
};

constexpr std::array<MarkRow, 5> MarkRows = {{
    {ItemIcons::HostNotFoundImage, "network-error"},
    {ItemIcons::RefusedImage, "network-offline"},
    {ItemIcons::TimedOutImage, "appointment-missed"},
    {ItemIcons::FailedImage, "dialog-error"},
    {ItemIcons::CancelledImage, "process-stop"},
}};

// Type characters sorted, each with its row in the table.
const std::array<std::pair<char, int>, ItemIcons::RowCount> &sortedRows()
{
    static const auto sorted = [] {
        std::array<std::pair<char, int>, ItemIcons::RowCount> rows{};
        for (int i = 0; i < ItemIcons::RowCount; ++i)
            rows[size_t(i)] = {IconRows[size_t(i)].type, i};
        std::sort(rows.begin(), rows.end());
        return rows;
    }();
    return sorted;
}

QPixmap themePixmap(const char *name)
{
    if (!name)
        return {};
    const QString iconName = QString::fromLatin1(name);
    if (!QIcon::hasThemeIcon(iconName))
        return {};
    return QIcon::fromTheme(iconName).pixmap(QSize(ItemIcons::IconSize, ItemIcons::IconSize),
                                             qApp->devicePixelRatio());
}

// ---- Pictures drawn when the theme has none (16 x 16 units) ----

QPixmap drawn(const std::function<void(QPainter &)> &draw)
{
    const qreal ratio = qApp->devicePixelRatio();
    QPixmap pixmap(QSize(ItemIcons::IconSize, ItemIcons::IconSize) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    return pixmap;
}

QPen outline(const QColor &color, qreal width = 1.0)
{
    QPen pen(color, width);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

void glyph(QPainter &p, const QRectF &box, const QString &text, const QColor &color,
           int pixelSize, bool bold = true)
{
    QFont font = p.font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setStyleHint(QFont::SansSerif);
    p.setFont(font);
    p.setPen(color);
    p.drawText(box, Qt::AlignCenter, text);
}

// A sheet of paper with a folded corner.
void page(QPainter &p, const QColor &fill, const QColor &border)
{
    QPainterPath sheet;
    sheet.moveTo(2.5, 0.5);
    sheet.lineTo(10.0, 0.5);
    sheet.lineTo(13.5, 4.0);
    sheet.lineTo(13.5, 15.5);
    sheet.lineTo(2.5, 15.5);
    sheet.closeSubpath();
    p.setPen(outline(border));
    p.setBrush(fill);
    p.drawPath(sheet);
    QPainterPath fold;
    fold.moveTo(10.0, 0.5);
    fold.lineTo(10.0, 4.0);
    fold.lineTo(13.5, 4.0);
    p.setBrush(Qt::NoBrush);
    p.drawPath(fold);
}

void folder(QPainter &p)
{
    const QColor border(0x9a, 0x6f, 0x12);
    p.setPen(outline(border));
    p.setBrush(QColor(0xe0, 0xa9, 0x3a));
    QPainterPath tab;
    tab.moveTo(0.5, 3.5);
    tab.lineTo(0.5, 2.0);
    tab.lineTo(6.0, 2.0);
    tab.lineTo(7.5, 3.5);
    tab.closeSubpath();
    p.drawPath(tab);
    p.setBrush(QColor(0xf6, 0xc8, 0x5f));
    p.drawRoundedRect(QRectF(0.5, 3.5, 15.0, 10.5), 1.0, 1.0);
}

void badgeCircle(QPainter &p, const QColor &fill, const QColor &border)
{
    p.setPen(outline(border));
    p.setBrush(fill);
    p.drawEllipse(QRectF(8.0, 8.0, 7.5, 7.5));
}

void box(QPainter &p, const QString &letter)
{
    p.setPen(outline(QColor(0x6b, 0x46, 0x23)));
    p.setBrush(QColor(0xc1, 0x8b, 0x55));
    QPainterPath lid;
    lid.moveTo(0.5, 5.0);
    lid.lineTo(3.5, 1.5);
    lid.lineTo(12.5, 1.5);
    lid.lineTo(15.5, 5.0);
    lid.closeSubpath();
    p.drawPath(lid);
    p.setBrush(QColor(0xd9, 0xa4, 0x6c));
    p.drawRect(QRectF(0.5, 5.0, 15.0, 10.5));
    glyph(p, QRectF(0, 5, 16, 11), letter, QColor(0x3d, 0x24, 0x0c), 9);
}

void terminal(QPainter &p, const QColor &screen, const QString &prompt, const QColor &text)
{
    p.setPen(outline(QColor(0x30, 0x30, 0x30)));
    p.setBrush(QColor(0x9a, 0x9a, 0x9a));
    p.drawRoundedRect(QRectF(0.5, 1.5, 15.0, 13.0), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(screen);
    p.drawRect(QRectF(2.0, 4.0, 12.0, 9.0));
    glyph(p, QRectF(2, 4, 12, 9), prompt, text, 8);
}

void drawType(QPainter &p, char key)
{
    switch (key) {
    case '0':
        page(p, Qt::white, QColor(0x55, 0x55, 0x55));
        p.setPen(outline(QColor(0x80, 0x80, 0x80)));
        for (const qreal y : {6.5, 9.0, 11.5})
            p.drawLine(QPointF(5.0, y), QPointF(11.0, y));
        break;
    case '1':
        folder(p);
        break;
    case '2': {
        // An address book: a bound cover with a person on it.
        p.setPen(outline(QColor(0x1d, 0x55, 0x55)));
        p.setBrush(QColor(0x2e, 0x8b, 0x8b));
        p.drawRoundedRect(QRectF(2.5, 0.5, 12.0, 15.0), 1.0, 1.0);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x1d, 0x55, 0x55));
        p.drawRect(QRectF(2.5, 0.5, 2.5, 15.0));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(7.5, 3.5, 4.0, 4.0));
        QPainterPath shoulders;
        shoulders.moveTo(6.0, 12.5);
        shoulders.cubicTo(6.0, 8.0, 13.0, 8.0, 13.0, 12.5);
        shoulders.closeSubpath();
        p.drawPath(shoulders);
        break;
    }
    case '3':
        p.setPen(outline(QColor(0x8b, 0x10, 0x10)));
        p.setBrush(QColor(0xd9, 0x30, 0x25));
        p.drawEllipse(QRectF(0.5, 0.5, 15.0, 15.0));
        p.setPen(outline(Qt::white, 2.0));
        p.drawLine(QPointF(5.0, 5.0), QPointF(11.0, 11.0));
        p.drawLine(QPointF(11.0, 5.0), QPointF(5.0, 11.0));
        break;
    case '4':
        box(p, QStringLiteral("H"));
        break;
    case '5':
        box(p, QStringLiteral("Z"));
        break;
    case '6':
        box(p, QStringLiteral("U"));
        break;
    case '7':
        p.setPen(outline(QColor(0x6b, 0x46, 0x23), 3.0));
        p.drawLine(QPointF(10.0, 10.0), QPointF(14.5, 14.5));
        p.setPen(outline(QColor(0x25, 0x4f, 0x9a), 1.8));
        p.setBrush(QColor(0xd6, 0xe8, 0xff));
        p.drawEllipse(QRectF(1.5, 1.5, 9.5, 9.5));
        break;
    case '8':
        terminal(p, Qt::black, QStringLiteral(">_"), QColor(0x4c, 0xe0, 0x4c));
        break;
    case 'T':
        terminal(p, QColor(0x12, 0x2c, 0x7a), QStringLiteral("T"), QColor(0xff, 0xd8, 0x40));
        break;
    case '9':
        page(p, QColor(0x4a, 0x55, 0x68), QColor(0x22, 0x28, 0x33));
        glyph(p, QRectF(2, 4, 12, 11), QStringLiteral("01"), Qt::white, 7);
        break;
    case 'I': {
        p.setPen(outline(QColor(0x55, 0x55, 0x55)));
        p.setBrush(QColor(0x9c, 0xd0, 0xf5));
        p.drawRect(QRectF(0.5, 2.5, 15.0, 11.0));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xff, 0xd2, 0x3f));
        p.drawEllipse(QRectF(10.0, 4.0, 3.5, 3.5));
        QPainterPath hills;
        hills.moveTo(1.0, 13.0);
        hills.lineTo(5.5, 7.0);
        hills.lineTo(9.0, 11.0);
        hills.lineTo(11.0, 9.0);
        hills.lineTo(15.0, 13.0);
        hills.closeSubpath();
        p.setBrush(QColor(0x3f, 0x9a, 0x3a));
        p.drawPath(hills);
        break;
    }
    case 'h':
        // A globe.
        p.setPen(outline(QColor(0x1a, 0x4f, 0x8f)));
        p.setBrush(QColor(0x4a, 0x90, 0xd9));
        p.drawEllipse(QRectF(0.5, 0.5, 15.0, 15.0));
        p.setPen(outline(QColor(0xe8, 0xf2, 0xff)));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(4.5, 0.5, 7.0, 15.0));
        p.drawLine(QPointF(8.0, 0.5), QPointF(8.0, 15.5));
        p.drawLine(QPointF(0.5, 8.0), QPointF(15.5, 8.0));
        break;
    case 'M':
        // An envelope.
        p.setPen(outline(QColor(0x55, 0x55, 0x55)));
        p.setBrush(QColor(0xfb, 0xfb, 0xf2));
        p.drawRect(QRectF(0.5, 3.5, 15.0, 10.0));
        p.drawLine(QPointF(0.5, 3.5), QPointF(8.0, 9.5));
        p.drawLine(QPointF(15.5, 3.5), QPointF(8.0, 9.5));
        break;
    case 'P':
        page(p, Qt::white, QColor(0x8b, 0x10, 0x10));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xd3, 0x2f, 0x2f));
        p.drawRect(QRectF(3.0, 8.0, 10.0, 6.5));
        glyph(p, QRectF(3, 8, 10, 6.5), QStringLiteral("PDF"), Qt::white, 5);
        break;
    case 's': {
        // A loudspeaker and its sound.
        QPainterPath speaker;
        speaker.moveTo(1.5, 5.5);
        speaker.lineTo(4.5, 5.5);
        speaker.lineTo(8.5, 2.0);
        speaker.lineTo(8.5, 14.0);
        speaker.lineTo(4.5, 10.5);
        speaker.lineTo(1.5, 10.5);
        speaker.closeSubpath();
        p.setPen(outline(QColor(0x33, 0x33, 0x33)));
        p.setBrush(QColor(0x6d, 0x6d, 0x6d));
        p.drawPath(speaker);
        p.setBrush(Qt::NoBrush);
        p.setPen(outline(QColor(0x2e, 0x6b, 0xc6), 1.3));
        p.drawArc(QRectF(6.0, 4.5, 5.5, 7.0), -60 * 16, 120 * 16);
        p.drawArc(QRectF(6.0, 2.0, 9.0, 12.0), -60 * 16, 120 * 16);
        break;
    }
    case ';':
        // A strip of film.
        p.setPen(outline(QColor(0x1e, 0x1e, 0x1e)));
        p.setBrush(QColor(0x2b, 0x2b, 0x2b));
        p.drawRect(QRectF(0.5, 1.5, 15.0, 13.0));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        for (qreal x = 2.0; x < 15.0; x += 3.5) {
            p.drawRect(QRectF(x, 2.5, 1.8, 1.5));
            p.drawRect(QRectF(x, 12.0, 1.8, 1.5));
        }
        p.setBrush(QColor(0x7f, 0xb8, 0xf0));
        p.drawRect(QRectF(2.0, 5.0, 12.0, 6.0));
        break;
    case '?':
        p.setPen(outline(QColor(0x1a, 0x4a, 0x9a)));
        p.setBrush(QColor(0x2f, 0x6f, 0xd0));
        p.drawEllipse(QRectF(0.5, 0.5, 15.0, 15.0));
        glyph(p, QRectF(0, 0, 16, 16), QStringLiteral("?"), Qt::white, 12);
        break;
    case '!': {
        QPainterPath triangle;
        triangle.moveTo(8.0, 0.8);
        triangle.lineTo(15.5, 15.0);
        triangle.lineTo(0.5, 15.0);
        triangle.closeSubpath();
        p.setPen(outline(QColor(0x8a, 0x6a, 0x00)));
        p.setBrush(QColor(0xf5, 0xc2, 0x1b));
        p.drawPath(triangle);
        glyph(p, QRectF(0, 4, 16, 11), QStringLiteral("!"), Qt::black, 11);
        break;
    }
    default:
        break;
    }
}

// A folder with a badge that tells how the fetch failed.
void drawMark(QPainter &p, int image)
{
    folder(p);
    switch (image) {
    case ItemIcons::HostNotFoundImage:
        badgeCircle(p, QColor(0xef, 0x8a, 0x17), QColor(0x8a, 0x4a, 0x00));
        glyph(p, QRectF(8, 8, 7.5, 7.5), QStringLiteral("?"), Qt::white, 7);
        break;
    case ItemIcons::RefusedImage:
        badgeCircle(p, QColor(0xd9, 0x30, 0x25), QColor(0x8b, 0x10, 0x10));
        p.setPen(outline(Qt::white, 1.6));
        p.drawLine(QPointF(9.8, 11.75), QPointF(13.7, 11.75));
        break;
    case ItemIcons::TimedOutImage:
        badgeCircle(p, Qt::white, QColor(0x25, 0x4f, 0x9a));
        p.setPen(outline(QColor(0x25, 0x4f, 0x9a), 1.1));
        p.drawLine(QPointF(11.75, 11.75), QPointF(11.75, 9.3));
        p.drawLine(QPointF(11.75, 11.75), QPointF(13.6, 12.6));
        break;
    case ItemIcons::FailedImage:
        badgeCircle(p, QColor(0xd9, 0x30, 0x25), QColor(0x8b, 0x10, 0x10));
        p.setPen(outline(Qt::white, 1.3));
        p.drawLine(QPointF(10.3, 10.3), QPointF(13.2, 13.2));
        p.drawLine(QPointF(13.2, 10.3), QPointF(10.3, 13.2));
        break;
    case ItemIcons::CancelledImage:
        badgeCircle(p, QColor(0x70, 0x70, 0x70), QColor(0x33, 0x33, 0x33));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(10.3, 10.3, 2.9, 2.9));
        break;
    default:
        break;
    }
}

} // namespace

ItemIcons::ItemIcons() = default;
ItemIcons::~ItemIcons() = default;

const std::array<char, ItemIcons::RowCount> &ItemIcons::typeChars()
{
    static const auto chars = [] {
        std::array<char, RowCount> result{};
        for (int i = 0; i < RowCount; ++i)
            result[size_t(i)] = IconRows[size_t(i)].type;
        return result;
    }();
    return chars;
}

int ItemIcons::tableRow(char key)
{
    const auto &rows = sortedRows();
    const auto found = std::lower_bound(rows.begin(), rows.end(), key,
                                        [](const std::pair<char, int> &row, char c) {
                                            return row.first < c;
                                        });
    if (found == rows.end() || found->first != key)
        return -1;
    return found->second;
}

char ItemIcons::iconKey(const CBookmark &item)
{
    if (item.IsAskForm())
        return '?';
    char key = item.type;
    if (key == ':' || key == 'g' || key == 'p')
        key = 'I';
    else if (key == '<')
        key = 's';
    return tableRow(key) < 0 ? '!' : key;
}

QPixmap ItemIcons::icon(CBookmark &item)
{
    const char key = iconKey(item);
    if (key == '!')
        item.type = '!';
    return icon(key);
}

QPixmap ItemIcons::icon(char key)
{
    const int row = tableRow(key);
    if (row < 0)
        return {};
    std::optional<QPixmap> &slot = m_icons[size_t(row)];
    if (!slot) {
        const IconRow &entry = IconRows[size_t(row)];
        QPixmap pixmap;
        // Info lines are text only.
        if (entry.type != 'i') {
            for (const char *name : entry.themeNames) {
                pixmap = themePixmap(name);
                if (!pixmap.isNull())
                    break;
            }
            if (pixmap.isNull())
                pixmap = drawn([key](QPainter &p) { drawType(p, key); });
        }
        slot = pixmap;
    }
    return *slot;
}

QPixmap ItemIcons::navigatorImage(int image)
{
    for (size_t i = 0; i < MarkRows.size(); ++i) {
        if (MarkRows[i].image != image)
            continue;
        std::optional<QPixmap> &slot = m_marks[i];
        if (!slot) {
            QPixmap pixmap = themePixmap(MarkRows[i].themeName);
            if (pixmap.isNull())
                pixmap = drawn([image](QPainter &p) { drawMark(p, image); });
            slot = pixmap;
        }
        return *slot;
    }
    return {};
}

bool ItemIcons::isLoaded(char key) const
{
    const int row = tableRow(key);
    return row >= 0 && m_icons[size_t(row)].has_value();
}
