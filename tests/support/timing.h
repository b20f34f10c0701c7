#pragma once

#include <algorithm>
#include <chrono>
#include <functional>

#include <sys/resource.h>

namespace sonfeld::test {

// The best wall-clock and processor time seen over the rounds of a benchmark.
struct Timing {
    double wall = 1e30;
    double cpu = 1e30; // user + system time of this process, or of the programs it ran
};

// User + system time so far of RUSAGE_SELF (all threads) or RUSAGE_CHILDREN.
inline double CpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Runs work once, keeps the better times in best and returns work's result.
// The best time is the one least disturbed by other work on the machine.
inline bool Measure(Timing& best, int who, const std::function<bool()>& work)
{
    const double cpuStart = CpuSeconds(who);
    const auto start = std::chrono::steady_clock::now();
    const bool ok = work();
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    best.wall = std::min(best.wall, wall.count());
    best.cpu = std::min(best.cpu, CpuSeconds(who) - cpuStart);
    return ok;
}

} // namespace sonfeld::test
