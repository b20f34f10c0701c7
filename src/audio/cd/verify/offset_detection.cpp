#include "offset_detection.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace sonfeld::verify {
namespace {

// The index of offset o in tables that run from -range to +range.
std::size_t Slot(int o, int range)
{
    const int slot = o + range;
    return static_cast<std::size_t>(slot);
}

// The track's samples as 32-bit words, addressed relative to the track's
// first sample; negative positions reach into the leading margin.
class TrackWords {
public:
    explicit TrackWords(const OffsetSearchAudio& audio) : audio_(audio) {}

    std::uint32_t operator()(std::int64_t position) const
    {
        const std::uint8_t* p = audio_.pcm + (position + audio_.marginSamples) * kBytesPerSample;
        return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
               (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }

private:
    const OffsetSearchAudio& audio_;
};

// For o = -range … range: Σ_{i=from..to} i · x(base + o + i - 1) mod 2³². The
// sum is linear in the samples, so each step costs O(1):
// C(o+1) = C(o) - S(o) - (from-1)·x(first) + to·x(next), S(o+1) = S(o) - x(first) + x(next).
std::vector<std::uint32_t> SlidingSums(const TrackWords& x, std::int64_t base, std::int64_t from,
                                       std::int64_t to, int range)
{
    std::vector<std::uint32_t> sums(static_cast<std::size_t>(2 * range + 1), 0);
    if (from > to)
        return sums;
    std::uint32_t weighted = 0;
    std::uint32_t plain = 0;
    for (std::int64_t i = from; i <= to; ++i) {
        const std::uint32_t w = x(base - range + i - 1);
        weighted += static_cast<std::uint32_t>(i) * w;
        plain += w;
    }
    for (int o = -range;; ++o) {
        sums[Slot(o, range)] = weighted;
        if (o == range)
            break;
        const std::uint32_t leaving = x(base + o + from - 1);
        const std::uint32_t entering = x(base + o + to);
        weighted = weighted - plain - static_cast<std::uint32_t>(from - 1) * leaving +
                   static_cast<std::uint32_t>(to) * entering;
        plain = plain - leaving + entering;
    }
    return sums;
}

// v1 and v2 of the track read at one offset, straight from the formula.
void SumsAt(const TrackWords& x, std::int64_t from, std::int64_t to, int offset, std::uint32_t& v1,
            std::uint32_t& v2)
{
    std::uint32_t low = 0;
    std::uint32_t high = 0;
    for (std::int64_t i = from; i <= to; ++i) {
        const std::uint64_t product = static_cast<std::uint64_t>(i) * x(offset + i - 1);
        low += static_cast<std::uint32_t>(product);
        high += static_cast<std::uint32_t>(product >> 32);
    }
    v1 = low;
    v2 = low + high;
}

} // namespace

std::vector<OffsetCandidate> FindReadOffsets(const OffsetSearchAudio& audio,
                                             const std::vector<AccurateRipPressing>& pressings,
                                             int tocTrackNumber, int maxOffset)
{
    if (audio.marginSamples < 0 || audio.trackSamples < 0 ||
        audio.bytes / kBytesPerSample <
            static_cast<std::size_t>(2 * audio.marginSamples + audio.trackSamples) ||
        (audio.pcm == nullptr && audio.bytes > 0))
        throw std::invalid_argument("The audio is shorter than the track and its margins");
    std::vector<OffsetCandidate> candidates;
    if (tocTrackNumber < 1)
        return candidates;
    const auto index = static_cast<std::size_t>(tocTrackNumber - 1);
    std::vector<AccurateRipTrackEntry> entries;
    for (const AccurateRipPressing& pressing : pressings)
        if (index < pressing.tracks.size() && !pressing.tracks[index].Empty())
            entries.push_back(pressing.tracks[index]);
    if (entries.empty() || audio.trackSamples == 0)
        return candidates;

    const int range = static_cast<int>(std::clamp<std::int64_t>(
        std::min<std::int64_t>(maxOffset, audio.marginSamples), 0, kMaxReadOffset));
    const TrackWords x(audio);
    const std::int64_t from = audio.place.firstAudioTrack ? kEdgeSkipSamples : 1;
    const std::int64_t to =
        audio.place.lastAudioTrack ? audio.trackSamples - kEdgeSkipSamples : audio.trackSamples;
    const std::vector<std::uint32_t> trackSums = SlidingSums(x, 0, from, to, range);
    const std::int64_t sectorStart = static_cast<std::int64_t>(kOffsetSector) * kSamplesPerSector;
    const bool hasOffsetSector = audio.trackSamples >= sectorStart + kSamplesPerSector;
    std::vector<std::uint32_t> sectorSums;
    if (hasOffsetSector)
        sectorSums = SlidingSums(x, sectorStart, 1, kSamplesPerSector, range);

    for (int o = -range; o <= range; ++o) {
        const std::uint32_t v1 = trackSums[Slot(o, range)];
        bool v1Match = false;
        bool sectorMatch = false;
        for (const AccurateRipTrackEntry& entry : entries) {
            v1Match = v1Match || (entry.checksum != 0 && entry.checksum == v1);
            sectorMatch = sectorMatch || (hasOffsetSector && entry.offsetSectorSum != 0 &&
                                          entry.offsetSectorSum == sectorSums[Slot(o, range)]);
        }
        if (!v1Match && !sectorMatch)
            continue;
        // v2 cannot slide; it is computed only where a cheaper sum already agrees.
        OffsetCandidate candidate;
        candidate.offset = o;
        SumsAt(x, from, to, o, candidate.v1, candidate.v2);
        for (const AccurateRipTrackEntry& entry : entries) {
            AccurateRipVersion version = AccurateRipVersion::None;
            if (entry.checksum != 0 && entry.checksum == candidate.v2)
                version = AccurateRipVersion::V2;
            else if (entry.checksum != 0 && entry.checksum == candidate.v1)
                version = AccurateRipVersion::V1;
            if (version != AccurateRipVersion::None &&
                (candidate.evidence != OffsetEvidence::TrackChecksum ||
                 entry.confidence > candidate.confidence)) {
                candidate.evidence = OffsetEvidence::TrackChecksum;
                candidate.confidence = entry.confidence;
                candidate.version = version;
            }
        }
        if (candidate.evidence == OffsetEvidence::OffsetSector)
            for (const AccurateRipTrackEntry& entry : entries)
                if (entry.offsetSectorSum == sectorSums[Slot(o, range)])
                    candidate.confidence = std::max(candidate.confidence, entry.confidence);
        candidates.push_back(candidate);
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const OffsetCandidate& a, const OffsetCandidate& b) {
                         if (a.evidence != b.evidence)
                             return a.evidence == OffsetEvidence::TrackChecksum;
                         if (a.confidence != b.confidence)
                             return a.confidence > b.confidence;
                         return std::abs(a.offset) < std::abs(b.offset);
                     });
    return candidates;
}

} // namespace sonfeld::verify
