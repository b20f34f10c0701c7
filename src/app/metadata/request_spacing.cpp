#include "request_spacing.h"

namespace sonfeld::app::metadata {

TRequestSpacing::TRequestSpacing(int intervalMs, QObject* parent)
    : QObject(parent), intervalMs_(intervalMs)
{
    wait_.setSingleShot(true);
    connect(&wait_, &QTimer::timeout, this, &TRequestSpacing::StartDue);
}

void TRequestSpacing::Enqueue(QObject* context, std::function<void()> start)
{
    pending_.push_back({context, std::move(start)});
    if (!wait_.isActive())
        StartDue();
}

void TRequestSpacing::StartDue()
{
    while (!pending_.empty()) {
        if (pending_.front().context.isNull()) {
            pending_.pop_front();
            continue;
        }
        if (sinceLastStart_.isValid() && sinceLastStart_.elapsed() < intervalMs_) {
            wait_.start(static_cast<int>(intervalMs_ - sinceLastStart_.elapsed()));
            return;
        }
        TPending next = std::move(pending_.front());
        pending_.pop_front();
        sinceLastStart_.start();
        next.start();
    }
}

} // namespace sonfeld::app::metadata
