#include "accuraterip_verdict.h"

namespace sonfeld::verify {

AccurateRipVerdict VerifyTrack(const std::vector<AccurateRipPressing>& pressings,
                               int tocTrackNumber, std::uint32_t v1, std::uint32_t v2)
{
    AccurateRipVerdict verdict;
    verdict.status = AccurateRipStatus::NotInDatabase;
    if (tocTrackNumber < 1)
        return verdict;
    const auto index = static_cast<std::size_t>(tocTrackNumber - 1);
    bool anyEntry = false;
    for (const AccurateRipPressing& pressing : pressings) {
        // No rip ever agreed with an entry of confidence 0: it proves nothing.
        if (index >= pressing.tracks.size() || pressing.tracks[index].confidence == 0)
            continue;
        anyEntry = true;
        const AccurateRipTrackEntry& entry = pressing.tracks[index];
        // v2 wins a tie: it also covers the high words v1 drops.
        AccurateRipVersion version = AccurateRipVersion::None;
        if (entry.checksum == v2)
            version = AccurateRipVersion::V2;
        else if (entry.checksum == v1)
            version = AccurateRipVersion::V1;
        if (version == AccurateRipVersion::None)
            continue;
        if (verdict.status != AccurateRipStatus::Match || entry.confidence > verdict.confidence ||
            (entry.confidence == verdict.confidence && version == AccurateRipVersion::V2)) {
            verdict.status = AccurateRipStatus::Match;
            verdict.confidence = entry.confidence;
            verdict.version = version;
        }
    }
    if (verdict.status != AccurateRipStatus::Match && anyEntry)
        verdict.status = AccurateRipStatus::Mismatch;
    return verdict;
}

} // namespace sonfeld::verify
