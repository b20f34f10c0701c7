#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <deque>
#include <functional>

namespace sonfeld::app::metadata {

// Starts requests no closer together than an interval, in the order asked:
// MusicBrainz allows one request per second from a client, and bans those
// that send more. One object is shared by every MusicBrainz request of the
// program. UI thread.
class TRequestSpacing final : public QObject {
    Q_OBJECT
public:
    explicit TRequestSpacing(int intervalMs = 1000, QObject* parent = nullptr);

    // start runs now, or once the interval since the previous start has
    // passed. It is dropped when context is gone by then.
    void Enqueue(QObject* context, std::function<void()> start);

private:
    void StartDue();

    struct TPending {
        QPointer<QObject> context;
        std::function<void()> start;
    };
    int intervalMs_;
    QElapsedTimer sinceLastStart_;
    QTimer wait_;
    std::deque<TPending> pending_;
};

} // namespace sonfeld::app::metadata
