#include "app/exitsignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

int exitPipe[2] = {-1, -1};

void onExitSignal(int number)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    // A full pipe already holds a signal; nothing is lost by dropping this one.
    [[maybe_unused]] const ssize_t written = ::write(exitPipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

ExitSignals::ExitSignals(std::initializer_list<int> numbers, QObject *parent) : QObject(parent)
{
    if (exitPipe[0] >= 0 || ::pipe2(exitPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction action = {};
    action.sa_handler = onExitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : numbers) {
        Saved saved{number, {}};
        if (::sigaction(number, &action, &saved.action) == 0)
            m_saved.append(saved);
    }
    m_notifier = std::make_unique<QSocketNotifier>(exitPipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &ExitSignals::onReadable);
}

ExitSignals::~ExitSignals()
{
    restoreActions();
    if (!m_notifier)
        return;
    m_notifier.reset();
    for (int &fd : exitPipe) {
        ::close(fd);
        fd = -1;
    }
}

void ExitSignals::restoreActions()
{
    for (const Saved &saved : std::as_const(m_saved))
        ::sigaction(saved.number, &saved.action, nullptr);
    m_saved.clear();
}

void ExitSignals::onReadable()
{
    unsigned char first = 0;
    if (::read(exitPipe[0], &first, 1) != 1)
        return;
    restoreActions();
    // Later bytes are signals that came before the actions were back; the
    // first one has said all there is to say.
    unsigned char later = 0;
    while (::read(exitPipe[0], &later, 1) == 1) {
    }
    Q_EMIT received(first);
}
