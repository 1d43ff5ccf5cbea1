#pragma once

#include <QList>
#include <QObject>

#include <initializer_list>
#include <memory>

#include <signal.h>

class QSocketNotifier;

// Signals that end the program (SIGTERM from a logout or `kill`, SIGHUP when
// the terminal goes, SIGINT from Ctrl+C) reach the event loop as a Qt
// signal. The handler only writes the signal's number into a pipe, which is
// async-signal-safe; a notifier reads it on the loop's thread, where the
// program can end as the user's own Exit would. After the first one the
// default actions are back, so a program stuck on its way out still ends on
// the next. One object at a time.
class ExitSignals : public QObject
{
    Q_OBJECT

public:
    explicit ExitSignals(std::initializer_list<int> numbers, QObject *parent = nullptr);
    ~ExitSignals() override;
    ExitSignals(const ExitSignals &) = delete;
    ExitSignals &operator=(const ExitSignals &) = delete;

    // Whether the handlers are in place (the pipe could be made).
    bool isInstalled() const { return m_notifier != nullptr; }

Q_SIGNALS:
    void received(int number);

private:
    void onReadable();
    void restoreActions();

    struct Saved
    {
        int number;
        struct sigaction action;
    };
    QList<Saved> m_saved;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
