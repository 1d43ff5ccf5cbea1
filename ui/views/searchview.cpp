#include "ui/views/searchview.h"

#include "documents/searchtext.h"
#include "items/displaytext.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

CSearchView::CSearchView(CSearchText *document, QWidget *parent)
    : QWidget(parent), m_document(document)
{
    auto *layout = new QGridLayout(this);
    auto *label = new QLabel(
        QStringLiteral("Search for documents containing one or more of the following:"), this);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("searchWords"));
    label->setBuddy(m_edit);
    m_search = new QPushButton(QStringLiteral("&Search"), this);
    m_search->setObjectName(QStringLiteral("searchButton"));
    m_search->setDefault(true);
    layout->addWidget(label, 0, 0, 1, 2);
    layout->addWidget(m_edit, 1, 0);
    layout->addWidget(m_search, 1, 1);
    layout->setRowStretch(2, 1);
    setFocusProxy(m_edit);

    connect(m_edit, &QLineEdit::textChanged, this, &CSearchView::onWordsEdited);
    connect(m_edit, &QLineEdit::returnPressed, this, &CSearchView::OnSearch);
    connect(m_search, &QPushButton::clicked, this, &CSearchView::OnSearch);
    OnUpdate();
}

void CSearchView::OnUpdate()
{
    if (m_document)
        m_edit->setText(displayText(m_document->GetWords()));
    onWordsEdited(m_edit->text());
}

void CSearchView::onWordsEdited(const QString &text)
{
    m_search->setEnabled(!text.isEmpty());
}

void CSearchView::OnSearch()
{
    const QString text = m_edit->text();
    if (text.isEmpty() || !m_document)
        return;
    // Words left as shown keep the bytes they were stored with (they may not
    // be UTF-8); words typed are sent as UTF-8.
    if (text != displayText(m_document->GetWords()))
        m_document->SetWords(textBytes(text));
    // The answer's window comes forward; this one keeps its focus for the
    // next search.
    m_document->DoSearch();
}
