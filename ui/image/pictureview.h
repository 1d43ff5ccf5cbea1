#pragma once

#include "ui/image/picturedecoder.h"

#include <QAbstractScrollArea>
#include <QPoint>
#include <QTimer>

#include <memory>

// Shows a decoded picture: fitted to the window (the start), at its own
// size, or zoomed in steps; scrolled by the keys, the wheel and dragging;
// an animation plays. Each paint draws only what is exposed, from the
// smallest of the picture's reductions that still has the detail shown.
class PictureView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    // Each zoom step changes the scale by this factor.
    static constexpr double ZoomStep = 1.25;
    static constexpr double MinScale = 1.0 / 64;
    static constexpr double MaxScale = 32.0;

    explicit PictureView(QWidget *parent = nullptr);
    ~PictureView() override;

    void setPicture(std::shared_ptr<const DecodedPicture> picture);
    bool hasPicture() const { return m_picture != nullptr; }
    // The frame shown now (the picture itself when it is still).
    QImage currentFrame() const;
    int frameIndex() const { return m_frame; }

    // The scale the picture is drawn at: in fit mode, what makes all of it
    // fit, but never above its own size.
    double scale() const;
    bool fitsWindow() const { return m_fit; }
    void zoomIn();
    void zoomOut();
    void fitToWindow();
    void actualSize();

Q_SIGNALS:
    void zoomChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    QSize pictureSize() const;
    // Sets a scale, keeping the picture's point under `anchor` (viewport
    // coordinates) where it is.
    void setScale(double scale, QPointF anchor);
    void updateScrollBars();
    // Where the picture's top left corner is drawn in the viewport.
    QPointF origin() const;
    void nextFrame();
    void updateCursor();

    std::shared_ptr<const DecodedPicture> m_picture;
    bool m_fit = true;
    double m_scale = 1.0;
    int m_frame = 0;
    int m_loopsLeft = 0;
    QTimer m_animation;
    bool m_dragging = false;
    QPoint m_dragStart;
    QPoint m_scrollAtDragStart;
};
