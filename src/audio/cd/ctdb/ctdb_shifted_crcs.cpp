#include "ctdb_shifted_crcs.h"

#include "ctdb_crc.h"

namespace sonfeld::ctdb {

CtdbShiftedCrcs::CtdbShiftedCrcs(const CtdbLayout& layout,
                                 const std::vector<std::optional<CtdbTrackEdges>>& tracks)
    : layout_(layout)
{
    const std::size_t count = layout_.trackStarts.size();
    if (tracks.size() != count)
        return;
    const std::uint32_t stepSample = CrcShiftOperator(4);
    int run = 0;
    bool inRun = false;
    std::uint32_t atStart = 0; // running CRC of the run at this track's start
    for (std::size_t t = 0; t < count; ++t) {
        const std::int64_t start = layout_.trackStarts[t];
        const std::int64_t end = t + 1 < count ? layout_.trackStarts[t + 1] : layout_.samples;
        const std::optional<CtdbTrackEdges>& edges = tracks[t];
        const bool whole =
            edges && edges->samples == end - start &&
            edges->tailFrom + static_cast<std::int64_t>(edges->tail.size()) - 1 == edges->samples &&
            static_cast<std::int64_t>(edges->head.size()) <= edges->samples + 1;
        if (!whole) {
            inRun = false;
            continue;
        }
        if (!inRun) {
            // A new run counts its CRC from here: ranges inside it need no more.
            ++run;
            atStart = 0;
            inRun = true;
        }
        // Running CRC at start + q: atStart moved past q samples, XOR the track's own.
        const auto remember = [&](std::int64_t from, std::span<const std::uint32_t> own) {
            Known known{start + from, run, std::vector<std::uint32_t>(own.size())};
            std::uint32_t moved =
                CrcMultiply(CrcShiftOperator(static_cast<std::uint64_t>(from) * 4), atStart);
            for (std::size_t q = 0; q < own.size(); ++q) {
                known.values[q] = moved ^ own[q];
                moved = CrcMultiply(stepSample, moved);
            }
            known_.push_back(std::move(known));
        };
        remember(0, edges->head);
        remember(edges->tailFrom, edges->tail);
        atStart = CrcCombine(atStart, edges->crc, static_cast<std::uint64_t>(edges->samples) * 4);
    }
}

const CtdbShiftedCrcs::Known* CtdbShiftedCrcs::Find(std::int64_t sample) const
{
    for (const Known& known : known_)
        if (sample >= known.first &&
            sample < known.first + static_cast<std::int64_t>(known.values.size()))
            return &known;
    return nullptr;
}

std::optional<std::uint32_t> CtdbShiftedCrcs::RangeCrc(std::int64_t begin, std::int64_t end) const
{
    const Known* a = Find(begin);
    const Known* b = Find(end);
    if (a == nullptr || b == nullptr || a->run != b->run || end < begin)
        return std::nullopt;
    const auto bytes = static_cast<std::uint64_t>(end - begin) * 4;
    // Searches keep the window's length: its operator is worked out once.
    if (bytes != shiftBytes_) {
        shiftBytes_ = bytes;
        shift_ = CrcShiftOperator(bytes);
    }
    return CrcMultiply(shift_, a->values[static_cast<std::size_t>(begin - a->first)]) ^
           b->values[static_cast<std::size_t>(end - b->first)];
}

std::optional<std::uint32_t> CtdbShiftedCrcs::DiscCrc(int offset) const
{
    return RangeCrc(kStrideSamples + static_cast<std::int64_t>(offset),
                    layout_.samples - layout_.Suffix() + offset);
}

std::optional<std::uint32_t> CtdbShiftedCrcs::TrackCrc(std::size_t track, int offset) const
{
    const auto window = layout_.TrackWindow(track);
    if (!window)
        return std::nullopt;
    return RangeCrc(window->first + offset, window->second + offset);
}

} // namespace sonfeld::ctdb
