#pragma once

#include <chrono>

namespace sonfeld::app::metadata {

// How long reading one answer from a service may take. The size caps bound
// what arrives; this bounds what a crafted answer within them can cost, so a
// lookup never holds the window up. An answer read past its budget is treated
// as one too large.
class TParseBudget {
public:
    static constexpr std::chrono::milliseconds kDefault{2000};

    explicit TParseBudget(std::chrono::milliseconds limit = kDefault)
        : deadline_(std::chrono::steady_clock::now() + limit)
    {
    }
    bool Spent() const { return std::chrono::steady_clock::now() >= deadline_; }

private:
    std::chrono::steady_clock::time_point deadline_;
};

} // namespace sonfeld::app::metadata
