#include "stop_signals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace sonfeld::app {

#ifdef Q_OS_UNIX

namespace {

int pipeEnds[2] = {-1, -1};
struct sigaction previousInt {};
struct sigaction previousTerm {};

void OnSignal(int number)
{
    const char byte = static_cast<char>(number);
    // Nothing to do when the pipe is full: a stop is already pending.
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &byte, 1);
}

} // namespace

TStopSignals::TStopSignals()
{
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char buffer[16];
        while (::read(pipeEnds[0], buffer, sizeof buffer) > 0) {
        }
        raised_ = true;
        emit Raised();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
}

TStopSignals::~TStopSignals()
{
    if (notifier_ == nullptr)
        return;
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
    delete notifier_;
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

#else
// Elsewhere the default handling (ending the program) stays.
TStopSignals::TStopSignals() = default;
TStopSignals::~TStopSignals() = default;
#endif

} // namespace sonfeld::app
