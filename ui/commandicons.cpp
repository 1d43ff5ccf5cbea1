#include "ui/commandicons.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QPalette>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QStandardPaths>

namespace CommandIcons {

namespace {

constexpr int Sizes[] = {16, 22, 24, 32, 48};

// A theme icon whose disabled form is the normal picture, faint. Themes of
// one-colour line icons (Breeze among them) come out of the style's greying
// only a shade lighter, which is easy to take for enabled.
class FaintWhenDisabled : public QIconEngine
{
public:
    explicit FaintWhenDisabled(QIcon icon) : m_icon(std::move(icon)) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        if (mode != QIcon::Disabled) {
            m_icon.paint(painter, rect, Qt::AlignCenter, mode, state);
            return;
        }
        painter->save();
        painter->setOpacity(painter->opacity() * DisabledOpacity);
        m_icon.paint(painter, rect, Qt::AlignCenter, QIcon::Normal, state);
        painter->restore();
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        if (mode != QIcon::Disabled)
            return m_icon.pixmap(size, scale, mode, state);
        const QPixmap normal = m_icon.pixmap(size, scale, QIcon::Normal, state);
        QPixmap faint(normal.size());
        faint.setDevicePixelRatio(normal.devicePixelRatio());
        faint.fill(Qt::transparent);
        QPainter painter(&faint);
        painter.setOpacity(DisabledOpacity);
        painter.drawPixmap(0, 0, normal);
        return faint;
    }

    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return m_icon.actualSize(size, mode, state);
    }

    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return m_icon.availableSizes(mode == QIcon::Disabled ? QIcon::Normal : mode, state);
    }

    QString iconName() override { return m_icon.name(); }
    bool isNull() override { return m_icon.isNull(); }
    QString key() const override { return QStringLiteral("FaintWhenDisabled"); }
    QIconEngine *clone() const override { return new FaintWhenDisabled(m_icon); }

private:
    static constexpr qreal DisabledOpacity = 0.35;
    QIcon m_icon;
};

// "Stop All" cancels every transfer: two stop signs, the front one cut
// clear of the one behind, so it never looks like the plain Stop beside it.
QIcon stopAll()
{
    const QIcon stop = QIcon::fromTheme(QStringLiteral("process-stop"));
    QIcon result;
    for (const int size : Sizes) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const int part = size * 2 / 3 + 1;
        const QRect back(size - part, 0, part, part);
        const QRect front(0, size - part, part, part);
        const auto sign = [&](const QRect &r) {
            if (!stop.isNull()) {
                painter.drawPixmap(r, stop.pixmap(r.size()));
                return;
            }
            // Without any theme: a red disc with a white cross.
            painter.setPen(QPen(Qt::white, qMax(1, size / 12)));
            painter.setBrush(QColor(0xda, 0x44, 0x53));
            painter.drawEllipse(r.adjusted(0, 0, -1, -1));
            const QRect cross = r.adjusted(part / 3, part / 3, -part / 3, -part / 3);
            painter.drawLine(cross.topLeft(), cross.bottomRight());
            painter.drawLine(cross.topRight(), cross.bottomLeft());
        };
        sign(back);
        const int gap = qMax(1, size / 12);
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawEllipse(front.adjusted(-gap, -gap, gap, gap));
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        sign(front);
        painter.end();
        result.addPixmap(pixmap);
    }
    return result;
}

} // namespace

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}

void useFallbackTheme()
{
    const QString fallback = QString::fromLatin1(isDark(QGuiApplication::palette()) ? DarkFallbackTheme
                                                                                      : FallbackTheme);
    if (QIcon::fallbackThemeName() != fallback)
        QIcon::setFallbackThemeName(fallback);
    // Desktop platforms look for themes where the freedesktop rules say;
    // others (offscreen, some Wayland setups) only in the program's
    // resources. The same rules apply here everywhere.
    QStringList paths = QIcon::themeSearchPaths();
    QStringList dataDirs;
    dataDirs << QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString xdgDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    dataDirs << (xdgDirs.isEmpty() ? QStringList{QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")}
                                   : xdgDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts));
    bool changed = false;
    for (const QString &dir : std::as_const(dataDirs)) {
        const QString icons = dir + QStringLiteral("/icons");
        if (!dir.isEmpty() && !paths.contains(icons) && QFileInfo(icons).isDir()) {
            paths.append(icons);
            changed = true;
        }
    }
    if (changed)
        QIcon::setThemeSearchPaths(paths);
    // Without a theme of the desktop's, Qt looks nowhere, not even in the
    // fallback theme: that theme is then the theme (and follows the palette).
    static bool themeIsOurs = false;
    if (QIcon::themeName().isEmpty() || (themeIsOurs && QIcon::themeName() != fallback)) {
        QIcon::setThemeName(fallback);
        themeIsOurs = true;
    }
}

QIcon icon(const char *name)
{
    if (!name)
        return {};
    const QString themeName = QString::fromLatin1(name);
    if (QIcon::hasThemeIcon(themeName))
        return QIcon(new FaintWhenDisabled(QIcon::fromTheme(themeName)));
    if (themeName == QLatin1String("process-stop-all"))
        return QIcon(new FaintWhenDisabled(stopAll()));
    return {};
}

} // namespace CommandIcons
