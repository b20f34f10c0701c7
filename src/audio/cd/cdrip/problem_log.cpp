#include "problem_log.h"

namespace sonfeld::cdrip {

void ProblemLog::Add(std::int32_t sector, int kind)
{
    switch (kind) {
    case CR_PROBLEM_CORRECTED: ++statistics_.Corrected; break;
    case CR_PROBLEM_READ_ERROR: ++statistics_.ReadErrors; break;
    case CR_PROBLEM_UNCORRECTED: ++statistics_.Uncorrected; break;
    case CR_PROBLEM_SUSPICIOUS:
        if (!counts_.contains({sector, kind}))
            ++suspicious_;
        break;
    default: return;
    }
    statistics_.LastProblemSector = sector;
    ++counts_[{sector, kind}];
}

std::vector<CR_SectorProblem> ProblemLog::Problems() const
{
    std::vector<CR_SectorProblem> problems;
    problems.reserve(counts_.size());
    for (const auto& [key, count] : counts_)
        problems.push_back({key.first, key.second, count});
    return problems;
}

} // namespace sonfeld::cdrip
