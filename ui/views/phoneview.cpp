#include "ui/views/phoneview.h"

#include "app/tarnwickapp.h"
#include "documents/phonetext.h"
#include "ui/fontmanager.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>

CPhoneView::CPhoneView(CPhoneText *document, FontManager *fonts, QWidget *parent)
    : QWidget(parent), m_document(document), m_fonts(fonts)
{
    m_searchLabel = new QLabel(QStringLiteral("Search for:"), this);
    m_query = new QLineEdit(this);
    m_fieldsLabel = new QLabel(QStringLiteral("Fields:"), this);
    m_fields = new QComboBox(this);
    m_search = new QPushButton(QStringLiteral("  Search  "), this);
    m_responses = new QListWidget(this);
    m_responses->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_responses->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_responses->setUniformItemSizes(true);

    auto *grid = new QGridLayout(this);
    grid->addWidget(m_searchLabel, 0, 0);
    grid->addWidget(m_query, 0, 1);
    grid->addWidget(m_search, 0, 2);
    grid->addWidget(m_fieldsLabel, 1, 0);
    grid->addWidget(m_fields, 1, 1, 1, 2);
    grid->addWidget(m_responses, 2, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(2, 1);
    m_searchLabel->setBuddy(m_query);
    m_fieldsLabel->setBuddy(m_fields);
    // The window opens, and comes back, with the keyboard in "Search for:".
    setFocusProxy(m_query);

    m_query->setText(QString::fromLocal8Bit(document->GetQuery()));
    connect(m_search, &QPushButton::clicked, this, &CPhoneView::startSearch);
    connect(m_query, &QLineEdit::returnPressed, this, &CPhoneView::startSearch);
    connect(m_fields, &QComboBox::activated, this, &CPhoneView::onFieldChosen);
    connect(m_responses, &QListWidget::itemSelectionChanged, this, &CPhoneView::onSelectionChanged);
    connect(m_responses, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem *item) { onDoubleClicked(m_responses->row(item)); });
    connect(document, &CTarnwickDoc::updateAllViews, this,
            [this](int hint, int a) { onUpdate(hint, a); });
    connect(&document->context().app->hostEncodings(), &HostEncodings::encodingChanged, this,
            &CPhoneView::onEncodingChanged);
    if (m_fonts) {
        connect(m_fonts, &FontManager::fontChanged, this, [this](int kind) {
            if (kind == FontManager::PhoneFont)
                applyFont();
        });
    }
    applyFont();
    setMinimumSize(320, 200);
    if (document->lineCount() > 0)
        onUpdate(CPhoneText::NewLinesHint, 0);
    // Nothing to search with until the field list has come.
    m_search->setEnabled(false);
}

void CPhoneView::applyFont()
{
    if (!m_fonts)
        return;
    const QFont font = m_fonts->font(FontManager::PhoneFont);
    for (QWidget *w : {static_cast<QWidget *>(m_searchLabel), static_cast<QWidget *>(m_query),
                       static_cast<QWidget *>(m_fieldsLabel), static_cast<QWidget *>(m_fields),
                       static_cast<QWidget *>(m_search), static_cast<QWidget *>(m_responses)})
        w->setFont(font);
}

QList<int> CPhoneView::selectedLines() const
{
    QList<int> lines;
    const auto selected = m_responses->selectedItems();
    for (QListWidgetItem *item : selected)
        lines.append(m_responses->row(item));
    std::sort(lines.begin(), lines.end());
    return lines;
}

void CPhoneView::startSearch()
{
    if (!m_document)
        return;
    const QString text = m_query->text();
    if (text.isEmpty())
        return;
    m_search->setEnabled(false);
    // The box that refuses a query runs an event loop: the window may be gone.
    const QPointer<CPhoneView> self(this);
    if (!m_document->sendTypedQuery(text) && self)
        m_search->setEnabled(true);
}

QString CPhoneView::shownLine(int line) const
{
    return decodeText(m_document->GetLine(line), m_document->displayEncoding());
}

void CPhoneView::onEncodingChanged()
{
    // The field names are gone from the document once a query has been
    // answered; the response lines are still there to be shown again.
    if (!m_document || m_listingFields)
        return;
    const int count = qMin(m_shown, int(m_responses->count()));
    for (int i = 0; i < count; ++i) {
        const QString text = shownLine(i);
        if (m_responses->item(i)->text() != text)
            m_responses->item(i)->setText(text);
    }
}

void CPhoneView::onFieldChosen(int index)
{
    const QString field = m_fields->itemText(index);
    const QString query = m_query->text();
    const QString term = field + QLatin1Char('=');
    m_query->setText(query.isEmpty() ? term : query + QLatin1Char(' ') + term);
    m_query->setFocus();
}

void CPhoneView::onUpdate(int hint, int a)
{
    if (!m_document)
        return;
    switch (hint) {
    case CPhoneText::NewLinesHint: {
        const int count = m_document->lineCount();
        // The document holds the field names until the first query empties
        // it; they are never response lines.
        if (m_listingFields && !m_document->fieldsMode() && count == 0) {
            m_listingFields = false;
            m_shown = 0;
        }
        if (count < m_shown || count == 0) {
            m_responses->clear();
            m_shown = 0;
        }
        if (m_listingFields == m_document->fieldsMode()) {
            for (; m_shown < count; ++m_shown) {
                const QString line = shownLine(m_shown);
                if (m_listingFields)
                    m_fields->addItem(line);
                else
                    m_responses->addItem(line);
            }
        }
        m_search->setEnabled(m_document->fieldsMode() || m_document->isComplete());
        break;
    }
    case CPhoneText::FoundHint:
        m_responses->clearSelection();
        if (QListWidgetItem *item = m_responses->item(a)) {
            item->setSelected(true);
            m_responses->scrollToItem(item);
        }
        break;
    case CPhoneText::CopyHint: {
        const QList<int> lines = selectedLines();
        m_document->CopyLines(int(lines.size()), lines);
        break;
    }
    case CPhoneText::ClearedHint:
        m_responses->clear();
        m_fields->clear();
        m_shown = 0;
        m_listingFields = true;
        break;
    default:
        break;
    }
}

void CPhoneView::onSelectionChanged()
{
    if (m_document && m_responses->currentRow() >= 0)
        m_document->setFindLine(m_responses->currentRow());
}

void CPhoneView::onDoubleClicked(int row)
{
    if (!m_document || row < 0)
        return;
    m_document->setFindLine(row);
    // The whole person: from the separator before the line to the one after.
    int first = row;
    while (first > 0 && m_document->GetLine(first) != CPhoneText::Separator)
        --first;
    int last = row + 1;
    while (last < m_document->lineCount() && m_document->GetLine(last) != CPhoneText::Separator)
        ++last;
    m_responses->clearSelection();
    for (int i = first; i < last && i < m_responses->count(); ++i)
        m_responses->item(i)->setSelected(true);
}
