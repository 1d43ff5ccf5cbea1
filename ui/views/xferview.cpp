#include "ui/views/xferview.h"

#include "app/tarnwickapp.h"
#include "documents/gopherxferdoc.h"
#include "items/displaytext.h"

#include <QCheckBox>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

CXferView::CXferView(CGopherXferDoc *document, bool viewWhenDone, QWidget *parent)
    : QWidget(parent), m_document(document)
{
    m_path = new QLabel(QStringLiteral("File.Name"));
    m_path->setObjectName(QStringLiteral("fileName"));
    m_path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_bytes = new QLabel;
    m_bytes->setObjectName(QStringLiteral("bytes"));
    m_rate = new QLabel;
    m_rate->setObjectName(QStringLiteral("rate"));
    m_view = new QCheckBox(QStringLiteral("&View file when transfer is complete"));
    m_view->setChecked(viewWhenDone);
    m_keep = new QCheckBox(QStringLiteral("&Save file for later use"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_path);
    layout->addWidget(m_bytes);
    layout->addWidget(m_rate);
    layout->addWidget(m_view);
    layout->addWidget(m_keep);
    layout->addStretch();

    connect(document, &CTarnwickDoc::updateAllViews, this, &CXferView::onUpdate);
    connect(document, &CTarnwickDoc::statusChanged, this, [this] {
        if (m_document && !m_document->path().isEmpty())
            m_path->setText(m_document->path());
    });
    connect(m_view, &QCheckBox::toggled, this, &CXferView::onViewToggled);
    connect(m_keep, &QCheckBox::clicked, this, &CXferView::onKeepToggled);
}

QString CXferView::pathText() const { return m_path->text(); }
QString CXferView::bytesText() const { return m_bytes->text(); }
QString CXferView::rateText() const { return m_rate->text(); }

void CXferView::onUpdate(int hint)
{
    if (!m_document)
        return;
    // The window is made before the file is named; the path shows once known.
    if (!m_document->path().isEmpty())
        m_path->setText(m_document->path());
    switch (hint) {
    case CGopherXferDoc::BytesHint:
        m_bytes->setText(displayText(m_document->bytesText()));
        m_rate->setText(QString::fromLatin1(m_document->rateText()));
        break;
    case CGopherXferDoc::CompleteHint:
        m_bytes->setText(displayText(m_document->bytesText()));
        m_rate->setText(QString::fromLatin1(m_document->rateText()));
        if (m_view->isChecked())
            m_document->ViewFile();
        break;
    case CGopherXferDoc::MarkedHint:
        m_keep->setChecked(false);
        break;
    case CGopherXferDoc::KeptHint:
        m_keep->setChecked(true);
        break;
    default:
        break;
    }
}

void CXferView::onViewToggled(bool on)
{
    if (on && m_document && !m_document->hasLiveTransaction())
        m_document->ViewFile();
}

void CXferView::onKeepToggled(bool on)
{
    if (m_document)
        m_document->context().app->downloadedFiles().SetKeepFile(m_document->path(), on);
}
