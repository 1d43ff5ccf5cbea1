#include "ui/views/gopherdirview.h"

#include "app/tarnwickapp.h"
#include "documents/gopherdir.h"
#include "documents/pagereader.h"
#include "items/textencoding.h"
#include "ui/focusmark.h"
#include "ui/fontmanager.h"
#include "ui/itemicons.h"

#include <QAbstractItemDelegate>
#include <QAbstractListModel>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>

namespace {

// The icon of a row; an item whose type has no icon is marked unknown ('!')
// in the document as well, so that opening it treats it as such.
QPixmap markedIcon(CGopherDir *doc, ItemIcons *icons, int row, CBookmark &item)
{
    const char type = item.type;
    QPixmap pixmap = icons->icon(item);
    if (item.type != type)
        doc->setListItemType(row, item.type);
    return pixmap;
}

} // namespace

// The document's list as a model: rows are the items the view has been told
// about; the data is read from the document on demand.
class DirListModel : public QAbstractListModel
{
public:
    DirListModel(CGopherDir *doc, ItemIcons *icons, CGopherDirView *view)
        : QAbstractListModel(view), m_doc(doc), m_icons(icons), m_view(view) {}

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : m_rows;
    }

    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        if (!index.isValid())
            return Qt::NoItemFlags;
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_rows || index.row() >= m_doc->listCount())
            return {};
        CBookmark item = m_doc->listItem(index.row());
        switch (role) {
        case Qt::DisplayRole:
            return decodeText(item.title, encoding);
        case Qt::FontRole:
            return m_view->rowFont(index.row());
        case Qt::DecorationRole:
            return m_icons ? QVariant(markedIcon(m_doc, m_icons, index.row(), item)) : QVariant();
        case Qt::AccessibleTextRole:
            return PageReader(*m_doc, encoding).textOf(index.row());
        default:
            return {};
        }
    }

    // Shows the document's rows up to count; only the new rows are announced.
    void appendTo(int count)
    {
        if (count <= m_rows)
            return;
        beginInsertRows(QModelIndex(), m_rows, count - 1);
        m_rows = count;
        endInsertRows();
    }

    void clear()
    {
        beginResetModel();
        m_rows = 0;
        endResetModel();
    }

    // The host's encoding, for the titles.
    TextEncoding encoding = TextEncoding::Automatic;

    // Every row again (after a font or encoding change).
    void rebuild()
    {
        beginResetModel();
        endResetModel();
    }

private:
    CGopherDir *m_doc;
    ItemIcons *m_icons;
    CGopherDirView *m_view;
    int m_rows = 0;
};

// Draws one row: the icon one unit from the left edge, centred against the
// text; the title one and a half icon widths from the left; selected rows in
// the highlight colours. Each drawn row may widen the horizontal extent.
class DirRowDelegate : public QAbstractItemDelegate
{
public:
    explicit DirRowDelegate(CGopherDirView *view) : QAbstractItemDelegate(view), m_view(view) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        CGopherDir *doc = m_view->document();
        if (index.row() >= doc->listCount())
            return;
        CBookmark item = doc->listItem(index.row());
        const QRect rect = option.rect;
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette &palette = option.palette;
        painter->fillRect(rect, palette.color(QPalette::Active,
                                              selected ? QPalette::Highlight : QPalette::Base));

        const bool pageLine = m_view->isPageLine(index.row());
        if (ItemIcons *icons = m_view->icons(); icons && !pageLine) {
            const QPixmap icon = markedIcon(doc, icons, index.row(), item);
            if (!icon.isNull()) {
                const QSize size = icon.deviceIndependentSize().toSize();
                painter->drawPixmap(rect.left() + 1, rect.top() + (rect.height() - size.height()) / 2,
                                    icon);
            }
        }

        const QString text = decodeText(item.title, m_view->encoding());
        const int textLeft = ItemIcons::IconSize * 3 / 2;
        const QFont font = m_view->rowFont(index.row());
        const int textWidth = QFontMetrics(font).horizontalAdvance(text);
        painter->setFont(font);
        painter->setPen(palette.color(QPalette::Active,
                                      selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(QRect(rect.left() + textLeft, rect.top(), textWidth + 4, rect.height()),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);

        if ((option.state & QStyle::State_HasFocus) && selected) {
            QPen pen(palette.color(QPalette::Active, QPalette::HighlightedText));
            pen.setStyle(Qt::DotLine);
            painter->setPen(pen);
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(rect.adjusted(0, 0, -1, -1));
        }
        m_view->widenExtent(textLeft + textWidth + 2);
    }

    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        return QSize(m_view->horizontalExtent(), m_view->rowHeight());
    }

private:
    CGopherDirView *m_view;
};

CGopherDirView::CGopherDirView(CGopherDir *doc, CTarnwickApp *app, FontManager *fonts,
                               ItemIcons *icons, QWidget *parent)
    : FocusMarked<QListView>(parent), m_doc(doc), m_app(app), m_fonts(fonts), m_icons(icons),
      m_model(new DirListModel(doc, icons, this)), m_delegate(new DirRowDelegate(this))
{
    setViewMode(QListView::ListMode);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setItemDelegate(m_delegate);
    setModel(m_model);
    setAccessibleName(QStringLiteral("Items"));
    applyFont();

    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { selectionHandling(); });
    connect(m_doc, &CTarnwickDoc::updateAllViews, this,
            [this](int hint, int a, int, int) { onUpdate(hint, a); });
    if (m_fonts)
        connect(m_fonts, &FontManager::fontChanged, this, &CGopherDirView::onFontChanged);
    if (m_app) {
        m_model->encoding = m_app->hostEncodings().encoding(m_doc->GetItem().host);
        connect(&m_app->hostEncodings(), &HostEncodings::encodingChanged, this,
                &CGopherDirView::onEncodingChanged);
    }

    m_appendTimer.setSingleShot(true);
    connect(&m_appendTimer, &QTimer::timeout, this, &CGopherDirView::flushAppend);

    flushAppend();
    m_complete = m_doc->isDone();
}

CGopherDirView::~CGopherDirView() = default;

TextEncoding CGopherDirView::encoding() const
{
    return m_model->encoding;
}

void CGopherDirView::onEncodingChanged()
{
    const TextEncoding now = m_app->hostEncodings().encoding(m_doc->GetItem().host);
    if (now == m_model->encoding)
        return;
    const int row = selectedRow();
    m_model->encoding = now;
    // Titles change width: the extent is measured again as rows are drawn.
    m_extent = 0;
    m_model->rebuild();
    if (row >= 0)
        selectRow(row);
}

int CGopherDirView::selectedRow() const
{
    const QModelIndexList rows = selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void CGopherDirView::selectRow(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    const QModelIndex index = m_model->index(row);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
}

int CGopherDirView::pageSize() const
{
    return qMax(1, viewport()->height() / qMax(1, m_rowHeight));
}

bool CGopherDirView::canFetchSelected() const
{
    return m_model->rowCount() > 0 && selectedRow() >= 0;
}

void CGopherDirView::fetchSelected()
{
    const int row = selectedRow();
    if (row < 0) {
        m_doc->SetStatus(QByteArray("Double click has invalid selection"));
        return;
    }
    openRow(row);
}

void CGopherDirView::openRow(int row)
{
    m_doc->setFindPosition(row);
    // A sub-directory shown among the other rows opens as in the navigator.
    if (const int node = m_doc->navigatorIndexOfRow(row); node >= 0) {
        m_doc->openNavigatorNode(node);
        return;
    }
    CBookmark item = m_doc->listItem(row);
    item.parentKey = m_doc->windowKey();
    if (m_app)
        m_app->OpenItem(item, 0, 0);
}

void CGopherDirView::widenExtent(int width)
{
    if (width <= m_extent)
        return;
    m_extent = width;
    // The rows take their width from the delegate; lay them out again so the
    // scroll bar reaches the new right end.
    scheduleDelayedItemsLayout();
}

void CGopherDirView::selectionHandling()
{
    const int row = selectedRow();
    if (row < 0) {
        m_doc->SetStatus(QByteArray("Directory has invalid selection"));
        return;
    }
    m_doc->selectRow(row);
    Q_EMIT itemSelected(m_doc->listItem(row));
}

void CGopherDirView::keyPressEvent(QKeyEvent *event)
{
    flushAppend();
    const int last = m_model->rowCount() - 1;
    const int current = selectedRow();
    int target;
    const bool control = event->modifiers() & Qt::ControlModifier;
    if (control && (event->key() == Qt::Key_Down || event->key() == Qt::Key_Up)) {
        // Ctrl+Down and Ctrl+Up go to the next or the previous block: the
        // item, paragraph or picture after or before this one.
        const PageReader reader(*m_doc, encoding());
        const int next = current < 0 ? 0
                         : event->key() == Qt::Key_Down ? reader.nextBlock(current)
                                                        : reader.previousBlock(current);
        if (next >= 0 && next <= last)
            selectRow(next);
        event->accept();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        fetchSelected();
        event->accept();
        return;
    case Qt::Key_PageUp:
        target = qMax(0, current - pageSize());
        break;
    case Qt::Key_PageDown:
        target = qMin(last, current + pageSize());
        break;
    case Qt::Key_Home:
        target = 0;
        break;
    case Qt::Key_End:
        target = last;
        break;
    case Qt::Key_Up:
        target = qMax(0, current - 1);
        break;
    case Qt::Key_Down:
        target = qMin(last, current + 1);
        break;
    default:
        QListView::keyPressEvent(event);
        return;
    }
    if (target != current)
        selectRow(target);
    // The selection handling runs after every key; a changed selection has
    // run it already.
    if (selectedRow() == current)
        selectionHandling();
    event->accept();
}

QItemSelectionModel::SelectionFlags CGopherDirView::selectionCommand(const QModelIndex &index,
                                                                     const QEvent *event) const
{
    // One row is always chosen once any has been: a click beside the rows or
    // with Ctrl held does not take the selection away.
    if (!index.isValid() || (event && event->type() == QEvent::MouseButtonRelease))
        return QItemSelectionModel::NoUpdate;
    return QItemSelectionModel::ClearAndSelect;
}

void CGopherDirView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QListView::mouseDoubleClickEvent(event);
        return;
    }
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && index.row() != selectedRow())
        selectRow(index.row());
    fetchSelected();
    event->accept();
}

void CGopherDirView::requestAppend()
{
    constexpr int ShownAtOnce = 1000;
    const int shown = m_model->rowCount();
    const int waiting = m_doc->listCount() - shown;
    if (shown < ShownAtOnce || waiting >= shown / 4) {
        flushAppend();
        return;
    }
    // The wait grows with the list as its layout does (about a millisecond
    // per thousand rows), so held-back rows cost a small share of the time.
    if (!m_appendTimer.isActive())
        m_appendTimer.start(qBound(50, shown / 1000 * 4, 500));
}

void CGopherDirView::flushAppend()
{
    m_appendTimer.stop();
    m_model->appendTo(m_doc->listCount());
}

void CGopherDirView::doItemsLayout()
{
    m_rowsLaidOut += m_model->rowCount();
    QListView::doItemsLayout();
}

void CGopherDirView::onUpdate(int hint, int a)
{
    if (!(hint & CGopherDir::ListHint))
        return;
    if (hint & CGopherDir::ClearHint) {
        m_appendTimer.stop();
        m_model->clear();
        m_extent = 0;
        m_complete = false;
        // The navigator may have fetched another host's menu into the window.
        if (m_app)
            m_model->encoding = m_app->hostEncodings().encoding(m_doc->GetItem().host);
    }
    if (hint & CGopherDir::LayoutHint)
        relayout();
    if (hint & CGopherDir::AppendHint)
        requestAppend();
    if (hint & CGopherDir::SelectHint) {
        flushAppend();
        if (a >= 0 && a < m_model->rowCount()) {
            const bool changed = a != selectedRow();
            selectRow(a);
            scrollTo(m_model->index(a), QAbstractItemView::EnsureVisible);
            if (!changed)
                selectionHandling();
        }
    }
    if (hint & CGopherDir::CompleteHint) {
        flushAppend();
        m_complete = true;
    }
}

QFont CGopherDirView::rowFont(int row) const
{
    return isPageLine(row) ? m_infoFont : font();
}

bool CGopherDirView::isPageLine(int row) const
{
    return m_doc->isAuthored() && row >= 0 && row < m_doc->listCount()
           && m_doc->listItem(row).type == 'i';
}

void CGopherDirView::applyFont()
{
    if (m_fonts)
        setFont(m_fonts->font(FontManager::DirFont));
    m_infoFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (font().pointSizeF() > 0)
        m_infoFont.setPointSizeF(font().pointSizeF());
    else
        m_infoFont.setPixelSize(font().pixelSize());
    const QFontMetrics metrics(font());
    m_rowHeight = qMax(16, metrics.height() + qMax(0, metrics.leading()));
    if (m_doc->isAuthored()) {
        const QFontMetrics info(m_infoFont);
        m_rowHeight = qMax(m_rowHeight, info.height() + qMax(0, info.leading()));
    }
}

void CGopherDirView::relayout()
{
    m_appendTimer.stop();
    applyFont();
    m_extent = 0;
    m_model->clear();
    flushAppend();
}

void CGopherDirView::onFontChanged(int kind)
{
    if (kind != FontManager::DirFont)
        return;
    const int row = selectedRow();
    applyFont();
    m_extent = 0;
    m_model->rebuild();
    if (m_model->rowCount() > 0)
        selectRow(row >= 0 ? row : 0);
}
