#include "ui/lockindicators.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>

namespace {

// X11 modifier bits in the state of a key event.
constexpr quint32 X11LockMask = 0x02;
constexpr quint32 X11NumLockMask = 0x10;  // Mod2, where every common keymap puts Num Lock

} // namespace

LockIndicators::LockIndicators(QObject *parent) : QObject(parent)
{
    m_x11 = QGuiApplication::platformName() == QLatin1String("xcb");
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(this);
}

LockIndicators::~LockIndicators()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool LockIndicators::isOn(Lock lock) const
{
    return m_on[lock];
}

bool LockIndicators::eventFilter(QObject *watched, QEvent *event)
{
    // A key event reaches the filter once for each widget it is offered to;
    // only the first delivery, to the focus window, counts.
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)
        && watched->isWindowType())
        keyEvent(static_cast<QKeyEvent *>(event));
    return QObject::eventFilter(watched, event);
}

void LockIndicators::keyEvent(const QKeyEvent *event)
{
    const bool press = event->type() == QEvent::KeyPress;
    switch (event->key()) {
    case Qt::Key_CapsLock:
        if (press && !event->isAutoRepeat())
            set(CapsLock, !m_on[CapsLock]);
        return;
    case Qt::Key_NumLock:
        if (press && !event->isAutoRepeat())
            set(NumLock, !m_on[NumLock]);
        return;
    case Qt::Key_ScrollLock:
        if (press && !event->isAutoRepeat())
            set(ScrollLock, !m_on[ScrollLock]);
        return;
    default:
        break;
    }
    if (m_x11 && event->nativeModifiers() != 0) {
        set(CapsLock, event->nativeModifiers() & X11LockMask);
        set(NumLock, event->nativeModifiers() & X11NumLockMask);
    }
}

void LockIndicators::set(Lock lock, bool on)
{
    if (m_on[lock] == on)
        return;
    m_on[lock] = on;
    Q_EMIT changed();
}
