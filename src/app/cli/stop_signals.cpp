#include "stop_signals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#endif

namespace sonfeld::app {

#ifdef Q_OS_UNIX

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];

int pipeEnds[2] = {-1, -1};
struct sigaction previous[kSignalCount] {};
bool installed[kSignalCount] = {};
std::atomic<int> stopRequests{0};

void OnSignal(int number)
{
    // A person or a supervisor asking again while we stop: now.
    if ((number == SIGINT || number == SIGTERM || number == SIGHUP) && ++stopRequests > 1)
        ::_exit(TStopSignals::kSecondStopExit);
    const char byte = static_cast<char>(number);
    // Nothing to do when the pipe is full (a stop is already pending) or
    // closed (the stop is under way).
    if (pipeEnds[1] >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &byte, 1);
    }
}

// Whether standard output is a pipe or socket whose reader has gone.
bool StandardOutputBroken()
{
    pollfd out{STDOUT_FILENO, POLLOUT, 0};
    return ::poll(&out, 1, 0) > 0 && (out.revents & (POLLERR | POLLHUP)) != 0;
}

} // namespace

TStopSignals::TStopSignals()
{
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    stopRequests = 0;
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char buffer[16];
        bool stop = false;
        ssize_t count = 0;
        while ((count = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0) {
            for (ssize_t i = 0; i < count; ++i) {
                // A broken pipe elsewhere (a helper's) is that writer's error to report.
                if (buffer[i] == SIGPIPE && !StandardOutputBroken())
                    continue;
                if (buffer[i] == SIGPIPE)
                    readerGone_ = true;
                stop = true;
            }
        }
        if (!stop || raised_)
            return;
        raised_ = true;
        emit Raised();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < kSignalCount; ++i) {
        sigaction(kSignals[i], nullptr, &previous[i]);
        // Started with it ignored (nohup, a shell's trap): it stays so.
        if (kSignals[i] != SIGINT && kSignals[i] != SIGTERM && previous[i].sa_handler == SIG_IGN)
            continue;
        installed[i] = sigaction(kSignals[i], &action, nullptr) == 0;
    }
}

TStopSignals::~TStopSignals()
{
    if (notifier_ == nullptr)
        return;
    for (int i = 0; i < kSignalCount; ++i) {
        if (!installed[i])
            continue;
        installed[i] = false;
        // Stopping goes on after us: a second request still ends it at once.
        if (raised_ && (kSignals[i] == SIGINT || kSignals[i] == SIGTERM || kSignals[i] == SIGHUP))
            continue;
        if (kSignals[i] == SIGPIPE && readerGone_) {
            // Whatever is still printed goes nowhere; it must not kill us.
            signal(SIGPIPE, SIG_IGN);
            continue;
        }
        sigaction(kSignals[i], &previous[i], nullptr);
    }
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
