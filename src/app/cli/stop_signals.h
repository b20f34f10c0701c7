#pragma once

#include <QObject>

class QSocketNotifier;

namespace sonfeld::app {

// Turns SIGINT, SIGTERM and SIGHUP, SIGXFSZ (a file grew past its limit) and
// SIGPIPE on standard output (the reader went away) into a signal on the UI
// thread while it lives (through a pipe: a signal handler may do nothing but
// write), so the program stops cleanly instead of being killed. A second
// SIGINT, SIGTERM or SIGHUP while stopping ends the program at once with
// kSecondStopExit. A signal the program was started ignoring (nohup) stays
// ignored. The previous handlers come back when it goes. One at a time.
class TStopSignals final : public QObject {
    Q_OBJECT
public:
    static constexpr int kSecondStopExit = 130;

    TStopSignals();
    ~TStopSignals() override;
    bool WasRaised() const { return raised_; }
    // The stop came from writing to a standard output nobody reads any more.
    bool ReaderGone() const { return readerGone_; }

signals:
    void Raised();

private:
    QSocketNotifier* notifier_ = nullptr;
    bool raised_ = false;
    bool readerGone_ = false;
};

} // namespace sonfeld::app
