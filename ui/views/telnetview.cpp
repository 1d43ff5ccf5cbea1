#include "ui/views/telnetview.h"

#include "documents/telnettext.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CTelnetView::CTelnetView(CTelnetText *document, QWidget *parent)
    : QWidget(parent), m_document(document)
{
    auto *layout = new QVBoxLayout(this);
    m_hint = new QLabel(this);
    m_hint->setObjectName(QStringLiteral("telnetHint"));
    m_hint->setTextFormat(Qt::PlainText);
    m_host = new QLabel(this);
    m_host->setObjectName(QStringLiteral("telnetHost"));
    m_host->setTextFormat(Qt::PlainText);
    m_start = new QPushButton(QStringLiteral("&Start"), this);
    m_start->setObjectName(QStringLiteral("startButton"));
    m_start->setDefault(true);
    layout->addWidget(m_hint);
    layout->addWidget(m_host);
    layout->addWidget(m_start, 0, Qt::AlignLeft);
    layout->addStretch(1);
    setFocusProxy(m_start);
    // The window is made before its document is given the item; the texts
    // follow when it is, and when the host's encoding changes.
    connect(document, &CTarnwickDoc::titleChanged, this, &CTelnetView::OnInitialUpdate);
    OnInitialUpdate();
    connect(m_start, &QPushButton::clicked, this, [this] {
        if (m_document)
            m_document->Launch();
    });
}

void CTelnetView::OnInitialUpdate()
{
    if (!m_document)
        return;
    const TextEncoding encoding = m_document->displayEncoding();
    m_hint->setText(decodeText(m_document->GetHintText(), encoding));
    m_host->setText(decodeText(m_document->GetHostText(), encoding));
}
