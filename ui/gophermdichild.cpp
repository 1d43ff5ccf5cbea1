#include "ui/gophermdichild.h"

#include "documents/tarnwickdoc.h"
#include "items/displaytext.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QVBoxLayout>

void closeDocumentOfFrame(CTarnwickDoc *document)
{
    if (!document || document->isClosing())
        return;
    document->cancelTransfer();
    document->OnCloseDocument();
}

CGopherMDIChild::CGopherMDIChild(CTarnwickDoc *document, QWidget *parent)
    : QMdiSubWindow(parent), m_document(document)
{
    setAttribute(Qt::WA_DeleteOnClose);
    m_body = new QWidget(this);
    auto *layout = new QVBoxLayout(m_body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_status = new QLabel(m_body);
    m_status->setObjectName(QStringLiteral("childStatus"));
    m_status->setFrameShape(QFrame::StyledPanel);
    m_status->setFrameShadow(QFrame::Sunken);
    m_status->setTextFormat(Qt::PlainText);
    m_status->setContentsMargins(4, 1, 4, 1);
    layout->addWidget(m_status);
    setWidget(m_body);
    connect(document, &CTarnwickDoc::titleChanged, this,
            [this, document] { setWindowTitle(document->shownTitle()); });
}

void CGopherMDIChild::setView(QWidget *view)
{
    m_view = view;
    static_cast<QVBoxLayout *>(m_body->layout())->insertWidget(0, view, 1);
    // Whichever part of the window is given the focus passes it to the view.
    m_body->setFocusProxy(view);
    setFocusProxy(view);
}

QString CGopherMDIChild::statusText() const
{
    return m_status->text();
}

void CGopherMDIChild::setStatusText(const QByteArray &text)
{
    m_status->setText(displayText(text));
    m_status->repaint();
}

void CGopherMDIChild::activateFrame()
{
    if (isMinimized())
        showNormal();
    if (QMdiArea *area = mdiArea())
        area->setActiveSubWindow(this);
}

void CGopherMDIChild::destroyFrame()
{
    if (m_destroying)
        return;
    m_destroying = true;
    close();
}

void CGopherMDIChild::closeEvent(QCloseEvent *event)
{
    // The document may end the window itself while the question is open.
    if (!m_destroying && m_closeQuestion && !m_closeQuestion() && !m_destroying) {
        event->ignore();
        return;
    }
    if (!m_destroying) {
        m_destroying = true;
        closeDocumentOfFrame(m_document);
    }
    QMdiSubWindow::closeEvent(event);
}
