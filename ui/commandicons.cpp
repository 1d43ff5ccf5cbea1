#include "ui/commandicons.h"

#include <QPainter>
#include <QPixmap>

namespace CommandIcons {

namespace {

constexpr int Sizes[] = {16, 22, 24, 32, 48};

// "Stop All" cancels every transfer: the stop sign twice, one behind the
// other, so it never looks like the plain Stop beside it.
QIcon stopAll()
{
    const QIcon stop = QIcon::fromTheme(QStringLiteral("process-stop"));
    QIcon result;
    for (const int size : Sizes) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const int part = size * 3 / 4;
        const QRect back(size - part, 0, part, part);
        const QRect front(0, size - part, part, part);
        for (const QRect &r : {back, front}) {
            if (!stop.isNull()) {
                painter.drawPixmap(r, stop.pixmap(QSize(part, part)));
                continue;
            }
            // Without any theme: a red disc with a white cross.
            painter.setPen(QPen(Qt::white, qMax(1, size / 12)));
            painter.setBrush(QColor(0xda, 0x44, 0x53));
            painter.drawEllipse(r.adjusted(0, 0, -1, -1));
            const QRect cross = r.adjusted(part / 3, part / 3, -part / 3, -part / 3);
            painter.drawLine(cross.topLeft(), cross.bottomRight());
            painter.drawLine(cross.topRight(), cross.bottomLeft());
        }
        painter.end();
        result.addPixmap(pixmap);
    }
    return result;
}

} // namespace

void useFallbackTheme()
{
    if (QIcon::fallbackThemeName() != QLatin1String(FallbackTheme))
        QIcon::setFallbackThemeName(QString::fromLatin1(FallbackTheme));
}

QIcon icon(const char *name)
{
    if (!name)
        return {};
    const QString themeName = QString::fromLatin1(name);
    if (QIcon::hasThemeIcon(themeName))
        return QIcon::fromTheme(themeName);
    if (themeName == QLatin1String("process-stop-all"))
        return stopAll();
    return {};
}

} // namespace CommandIcons
