#include "ui/image/picturewindow.h"

#include "documents/gopherxferdoc.h"
#include "documents/picture.h"
#include "items/displaytext.h"
#include "ui/image/picturedecoder.h"
#include "ui/image/pictureview.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

CPictureWindow::CPictureWindow(CGopherXferDoc *document, QWidget *parent)
    : QMdiSubWindow(parent), m_document(document)
{
    setAttribute(Qt::WA_DeleteOnClose);
    auto *body = new QWidget(this);
    auto *layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_view = new PictureView(body);
    m_view->hide();
    m_message = new QLabel(QStringLiteral("Reading the picture ..."), body);
    m_message->setObjectName(QStringLiteral("pictureMessage"));
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setWordWrap(true);
    m_message->setTextFormat(Qt::PlainText);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_message->setFocusPolicy(Qt::StrongFocus);
    m_status = new QLabel(body);
    m_status->setObjectName(QStringLiteral("childStatus"));
    m_status->setFrameShape(QFrame::StyledPanel);
    m_status->setFrameShadow(QFrame::Sunken);
    m_status->setTextFormat(Qt::PlainText);
    m_status->setContentsMargins(4, 1, 4, 1);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_message, 1);
    layout->addWidget(m_status);
    setWidget(body);
    body->setFocusProxy(m_message);
    setFocusProxy(m_message);
    setWindowTitle(document->shownTitle());
    connect(document, &CTarnwickDoc::titleChanged, this,
            [this] { setWindowTitle(m_document->shownTitle()); });
    // A window of the download: it goes when the download's document goes
    // (its window closed, Delete Files, the program's exit).
    connect(document, &CTarnwickDoc::closing, this, &QWidget::close);
    startReading();
}

CPictureWindow::~CPictureWindow()
{
    if (m_cancelled)
        *m_cancelled = true;
}

bool CPictureWindow::hasPicture() const
{
    return m_view->hasPicture();
}

QString CPictureWindow::statusText() const
{
    return m_status->text();
}

QString CPictureWindow::messageText() const
{
    return m_view->hasPicture() ? QString() : m_message->text();
}

void CPictureWindow::startReading()
{
    m_reading = true;
    m_cancelled = std::make_shared<std::atomic_bool>(false);
    // The worker holds the flag, the window is looked for again on the UI
    // thread: a window closed meanwhile stops the reading and gets nothing.
    PictureDecoder::startTask(
        [path = m_document->path(), cancelled = m_cancelled, window = QPointer<CPictureWindow>(this)]() mutable {
            auto picture = std::make_shared<DecodedPicture>(PictureDecoder::decode(path, cancelled.get()));
            if (*cancelled)
                return;
            if (picture->facts.readable() && !picture->isAnimated())
                picture->reductions = PictureDecoder::reductions(picture->frames.first());
            if (*cancelled)
                return;
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [window = std::move(window), picture = std::shared_ptr<const DecodedPicture>(std::move(picture))] {
                    if (window)
                        window->showDecoded(picture);
                    else
                        PictureDecoder::release(picture);
                },
                Qt::QueuedConnection);
        });
}

void CPictureWindow::showDecoded(const std::shared_ptr<const DecodedPicture> &picture)
{
    m_reading = false;
    const PictureFacts &facts = picture->facts;
    if (!facts.readable()) {
        m_message->setText(displayText(Picture::unreadableMessage(facts.problem)));
        m_status->setText(QString::number(picture->bytes) + QStringLiteral(" bytes"));
        Q_EMIT readingFinished();
        return;
    }
    const QByteArray status = Picture::statusText(facts, picture->bytes);
    m_status->setText(displayText(status));
    m_view->setAccessibleDescription(displayText(status));
    // The picture takes the message's place.
    const QSize chrome = size() - m_message->size();
    const bool hadFocus = m_message->hasFocus();
    m_message->hide();
    m_view->show();
    widget()->setFocusProxy(m_view);
    setFocusProxy(m_view);
    if (hadFocus)
        m_view->setFocus(Qt::OtherFocusReason);
    // A picture smaller than the window gets a window its size.
    if (!isMaximized() && !isMinimized()) {
        const QSize wanted = (QSize(facts.width, facts.height) + chrome).expandedTo(QSize(400, 300));
        resize(wanted.boundedTo(size()));
    }
    m_view->setPicture(picture);
    Q_EMIT readingFinished();
}

void CPictureWindow::copyToClipboard() const
{
    if (QClipboard *clipboard = QGuiApplication::clipboard(); clipboard && m_view->hasPicture())
        clipboard->setImage(m_view->currentFrame());
}

void CPictureWindow::saveItem()
{
    if (m_document)
        Picture::saveAs(*m_document);
}
