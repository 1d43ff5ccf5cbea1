#include "ui/image/pictureview.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <cmath>

PictureView::PictureView(QWidget *parent) : QAbstractScrollArea(parent)
{
    setAccessibleName(QStringLiteral("Picture"));
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_animation.setSingleShot(true);
    connect(&m_animation, &QTimer::timeout, this, &PictureView::nextFrame);
}

PictureView::~PictureView()
{
    PictureDecoder::release(std::move(m_picture));
}

void PictureView::setPicture(std::shared_ptr<const DecodedPicture> picture)
{
    m_animation.stop();
    PictureDecoder::release(std::move(m_picture));
    m_picture = picture && !picture->frames.isEmpty() ? std::move(picture) : nullptr;
    m_frame = 0;
    m_fit = true;
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    if (m_picture && m_picture->isAnimated()) {
        m_loopsLeft = m_picture->loopCount;
        m_animation.start(m_picture->delays.value(0, PictureDecoder::DefaultDelayMs));
    }
    updateScrollBars();
    updateCursor();
    viewport()->update();
    Q_EMIT zoomChanged();
}

QImage PictureView::currentFrame() const
{
    return m_picture ? m_picture->frames.value(m_frame) : QImage();
}

QSize PictureView::pictureSize() const
{
    return m_picture ? m_picture->frames.first().size() : QSize();
}

double PictureView::scale() const
{
    if (!m_fit)
        return m_scale;
    const QSize picture = pictureSize();
    if (picture.isEmpty())
        return 1.0;
    const QSize room = viewport()->size();
    return std::min({1.0, double(room.width()) / picture.width(),
                     double(room.height()) / picture.height()});
}

void PictureView::zoomIn()
{
    setScale(scale() * ZoomStep, QRectF(viewport()->rect()).center());
}

void PictureView::zoomOut()
{
    setScale(scale() / ZoomStep, QRectF(viewport()->rect()).center());
}

void PictureView::actualSize()
{
    setScale(1.0, QRectF(viewport()->rect()).center());
}

void PictureView::fitToWindow()
{
    m_fit = true;
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    updateScrollBars();
    updateCursor();
    viewport()->update();
    Q_EMIT zoomChanged();
}

void PictureView::setScale(double wanted, QPointF anchor)
{
    if (!m_picture)
        return;
    const double old = scale();
    // A picture fitted below the smallest step may be zoomed from there.
    const double scale = std::clamp(wanted, std::min(MinScale, old), MaxScale);
    const QPointF spot = (anchor - origin()) / old;
    m_fit = false;
    m_scale = scale;
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    updateScrollBars();
    horizontalScrollBar()->setValue(int(std::lround(spot.x() * scale - anchor.x())));
    verticalScrollBar()->setValue(int(std::lround(spot.y() * scale - anchor.y())));
    updateCursor();
    viewport()->update();
    Q_EMIT zoomChanged();
}

void PictureView::updateScrollBars()
{
    const QSize room = viewport()->size();
    const double s = scale();
    const QSize shown = m_picture ? QSize(int(std::ceil(pictureSize().width() * s)),
                                          int(std::ceil(pictureSize().height() * s)))
                                  : QSize();
    horizontalScrollBar()->setRange(0, std::max(0, shown.width() - room.width()));
    verticalScrollBar()->setRange(0, std::max(0, shown.height() - room.height()));
    horizontalScrollBar()->setPageStep(room.width());
    verticalScrollBar()->setPageStep(room.height());
    horizontalScrollBar()->setSingleStep(std::max(1, room.width() / 20));
    verticalScrollBar()->setSingleStep(std::max(1, room.height() / 20));
}

QPointF PictureView::origin() const
{
    const QSize room = viewport()->size();
    const double s = scale();
    const QSizeF shown = QSizeF(pictureSize()) * s;
    const double x = shown.width() < room.width() ? (room.width() - shown.width()) / 2
                                                   : -horizontalScrollBar()->value();
    const double y = shown.height() < room.height() ? (room.height() - shown.height()) / 2
                                                     : -verticalScrollBar()->value();
    return {std::floor(x), std::floor(y)};
}

void PictureView::paintEvent(QPaintEvent *event)
{
    if (!m_picture)
        return;
    const QImage &frame = m_picture->frames.at(m_frame);
    const double s = scale();
    const QRectF shown(origin(), QSizeF(frame.size()) * s);
    const QRectF exposed = QRectF(event->rect()).intersected(shown);
    if (exposed.isEmpty())
        return;
    // The smallest reduction that still holds a pixel for each one drawn.
    const QImage *source = &frame;
    if (!m_picture->isAnimated() && s < 1.0) {
        for (const QImage &reduced : m_picture->reductions) {
            if (reduced.width() < frame.width() * s || reduced.height() < frame.height() * s)
                break;
            source = &reduced;
        }
    }
    const double fx = double(source->width()) / frame.width() / s;
    const double fy = double(source->height()) / frame.height() / s;
    const QRectF from((exposed.left() - shown.left()) * fx, (exposed.top() - shown.top()) * fy,
                      exposed.width() * fx, exposed.height() * fy);
    QPainter painter(viewport());
    // Reduced, the picture is smoothed; enlarged, its pixels stay square.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, s < 1.0);
    painter.drawImage(exposed, *source, from);
}

void PictureView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
    if (m_fit)
        Q_EMIT zoomChanged();
}

void PictureView::scrollContentsBy(int, int)
{
    viewport()->update();
}

void PictureView::wheelEvent(QWheelEvent *event)
{
    if (!(event->modifiers() & Qt::ControlModifier) || !m_picture) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    const int steps = event->angleDelta().y();
    if (steps != 0)
        setScale(steps > 0 ? scale() * ZoomStep : scale() / ZoomStep, event->position());
    event->accept();
}

void PictureView::keyPressEvent(QKeyEvent *event)
{
    // Ctrl++ is a menu command; on most keyboards "+" needs Shift, so the
    // key it shares is taken here too.
    if (event->modifiers() == Qt::ControlModifier && event->key() == Qt::Key_Equal) {
        zoomIn();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Home:
        horizontalScrollBar()->setValue(0);
        verticalScrollBar()->setValue(0);
        return;
    case Qt::Key_End:
        horizontalScrollBar()->setValue(horizontalScrollBar()->maximum());
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void PictureView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    m_dragging = true;
    m_dragStart = event->position().toPoint();
    m_scrollAtDragStart = {horizontalScrollBar()->value(), verticalScrollBar()->value()};
    updateCursor();
}

void PictureView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    const QPoint moved = event->position().toPoint() - m_dragStart;
    horizontalScrollBar()->setValue(m_scrollAtDragStart.x() - moved.x());
    verticalScrollBar()->setValue(m_scrollAtDragStart.y() - moved.y());
}

void PictureView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragging = false;
        updateCursor();
    }
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void PictureView::updateCursor()
{
    const bool scrollable = horizontalScrollBar()->maximum() > 0 || verticalScrollBar()->maximum() > 0;
    if (!scrollable)
        viewport()->unsetCursor();
    else
        viewport()->setCursor(m_dragging ? Qt::ClosedHandCursor : Qt::OpenHandCursor);
}

void PictureView::nextFrame()
{
    if (!m_picture || !m_picture->isAnimated())
        return;
    int next = m_frame + 1;
    if (next == m_picture->frames.size()) {
        // The last run ends on its last frame.
        if (m_picture->loopCount >= 0 && m_loopsLeft-- <= 0)
            return;
        next = 0;
    }
    m_frame = next;
    viewport()->update();
    m_animation.start(m_picture->delays.value(m_frame, PictureDecoder::DefaultDelayMs));
}
