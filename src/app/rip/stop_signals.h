#pragma once

#include <QObject>

class QSocketNotifier;

namespace sonfeld::app {

// Turns SIGINT and SIGTERM into a signal on the UI thread while it lives
// (through a pipe: a signal handler may do nothing but write). The previous
// handlers come back when it goes. One at a time.
class TStopSignals final : public QObject {
    Q_OBJECT
public:
    TStopSignals();
    ~TStopSignals() override;
    bool WasRaised() const { return raised_; }

signals:
    void Raised();

private:
    QSocketNotifier* notifier_ = nullptr;
    bool raised_ = false;
};

} // namespace sonfeld::app
