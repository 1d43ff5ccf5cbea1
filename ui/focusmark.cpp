#include "ui/focusmark.h"

#include <QPainter>
#include <QPalette>
#include <QPen>

void drawFocusMark(QPainter &painter, const QRect &rect, const QPalette &palette)
{
    constexpr int Width = 2;
    painter.save();
    painter.setPen(QPen(palette.color(QPalette::Active, QPalette::Highlight), Width));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(Width / 2, Width / 2, -Width / 2, -Width / 2));
    painter.restore();
}
