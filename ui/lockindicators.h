#pragma once

#include <QObject>

class QKeyEvent;

// The CAP, NUM and SCRL lights of the status bar, kept from the key events
// the program sees: a lock key flips its light, and on X11 every other key
// event carries the lock state of Caps Lock and Num Lock, which corrects a
// light that was wrong at start (the state before the first key is not known).
class LockIndicators : public QObject
{
    Q_OBJECT

public:
    enum Lock { CapsLock, NumLock, ScrollLock };

    explicit LockIndicators(QObject *parent = nullptr);
    ~LockIndicators() override;

    bool isOn(Lock lock) const;

Q_SIGNALS:
    void changed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void keyEvent(const QKeyEvent *event);
    void set(Lock lock, bool on);

    bool m_on[3] = {false, false, false};
    bool m_x11 = false;
};
