#include "accuraterip_report.h"

namespace sonfeld::app {

verify::AccurateRipVerdict VerdictForTrack(const AccurateRipLookupResult& lookup,
                                           int tocTrackNumber, quint32 v1, quint32 v2)
{
    verify::AccurateRipVerdict verdict;
    switch (lookup.outcome) {
    case AccurateRipLookupResult::Outcome::Found:
        return verify::VerifyTrack(lookup.pressings, tocTrackNumber, v1, v2);
    case AccurateRipLookupResult::Outcome::DiscNotFound:
        verdict.status = verify::AccurateRipStatus::NotInDatabase;
        return verdict;
    case AccurateRipLookupResult::Outcome::Failed: break;
    }
    verdict.status = verify::AccurateRipStatus::LookupFailed;
    return verdict;
}

} // namespace sonfeld::app
