#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "cdrip_api.h"

namespace sonfeld::cdrip {

// What went wrong during one rip: the totals paranoia reports and, per
// sector, which kind of problem and how often, so a log can name positions.
class ProblemLog {
public:
    // kind: CR_PROBLEM_*; the counters and the last problem sector follow.
    void Add(std::int32_t sector, int kind);
    // A sector the rip failed on without paranoia saying why (an image file that cannot be read).
    void MarkFailure(std::int32_t sector) { statistics_.LastProblemSector = sector; }

    const CR_RipStatistics& Statistics() const { return statistics_; }
    // Sectors reported CR_PROBLEM_SUSPICIOUS.
    std::int32_t Suspicious() const { return suspicious_; }
    // In sector order, then by kind.
    std::vector<CR_SectorProblem> Problems() const;

private:
    CR_RipStatistics statistics_{0, 0, 0, -1};
    std::int32_t suspicious_ = 0;
    std::map<std::pair<std::int32_t, int>, std::int32_t> counts_;
};

} // namespace sonfeld::cdrip
