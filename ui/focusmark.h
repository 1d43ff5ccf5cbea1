#pragma once

#include <QPainter>
#include <QPalette>

class QFocusEvent;
class QPaintEvent;
class QRect;

// The frame a view puts inside its edge while it has the keyboard, in the
// highlight colour, so that the pane the keys go to can be told from the
// others whatever the style and the palette (a navigator keeps its selection
// in the same colours with and without the focus).
void drawFocusMark(QPainter &painter, const QRect &rect, const QPalette &palette);

// A scrolling item view that draws the focus mark over its viewport.
template<class View>
class FocusMarked : public View
{
public:
    using View::View;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        View::paintEvent(event);
        if (this->hasFocus()) {
            QPainter painter(this->viewport());
            drawFocusMark(painter, this->viewport()->rect(), this->palette());
        }
    }
    void focusInEvent(QFocusEvent *event) override
    {
        View::focusInEvent(event);
        this->viewport()->update();
    }
    void focusOutEvent(QFocusEvent *event) override
    {
        View::focusOutEvent(event);
        this->viewport()->update();
    }
    void scrollContentsBy(int dx, int dy) override
    {
        View::scrollContentsBy(dx, dy);
        // The mark stays at the edge; it must not scroll with the rows.
        if (this->hasFocus())
            this->viewport()->update();
    }
};
