#include "disc.h"

#include <cstdlib>
#include <stdexcept>

#include "audio/cd/cd_in.h"
#include "audio/cd/cdrip_binding.h"

namespace sonfeld::test {

std::vector<std::uint8_t> TestDisc::TrackBytes(int track) const
{
    const auto index = static_cast<std::size_t>(track - 1);
    const std::int64_t start = layout.tracks.at(index).start;
    const std::int64_t end =
        index + 1 < layout.tracks.size() ? layout.tracks[index + 1].start : layout.leadOut;
    return {bin.begin() + start * 2352, bin.begin() + end * 2352};
}

void MakeTestDisc(TestDisc& disc, const std::vector<std::int64_t>& sectors, const std::string& name)
{
    // Music is slow to generate; it comes last, where tracks are few.
    const disc_image::SignalKind kinds[] = {
        disc_image::SignalKind::Sweep, disc_image::SignalKind::Tone, disc_image::SignalKind::Noise,
        disc_image::SignalKind::Music};
    disc_image::DiscSpec spec;
    spec.title = "Test disc";
    for (std::size_t i = 0; i < sectors.size(); ++i) {
        disc_image::TrackSpec track;
        track.signal.kind = kinds[i % 4];
        track.signal.seed = static_cast<unsigned>(i + 1);
        track.signal.frequency = 220.0 * static_cast<double>(i + 1);
        track.sectors = sectors[i];
        spec.tracks.push_back(track);
    }
    disc.cue = disc.dir / name;
    disc.layout = disc_image::WriteCueBin(spec, disc.cue);
    std::filesystem::path bin = disc.cue;
    bin.replace_extension(".bin");
    disc.bin = ReadFileBytes(bin);
}

} // namespace sonfeld::test
