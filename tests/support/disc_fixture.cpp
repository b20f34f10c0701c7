#include "disc_fixture.h"

#include <cstdlib>
#include <stdexcept>

#include "audio/cd/cd_in.h"
#include "audio/cd/cdrip_binding.h"
#include "audio/core/acs_exception.h"

namespace sonfeld::test {

std::vector<std::uint8_t> DiscFixture::TrackBytes(int track) const
{
    const auto index = static_cast<std::size_t>(track - 1);
    const std::int64_t start = layout.tracks.at(index).start;
    const std::int64_t end =
        index + 1 < layout.tracks.size() ? layout.tracks[index + 1].start : layout.leadOut;
    return {bin.begin() + start * 2352, bin.begin() + end * 2352};
}

void MakeDisc(DiscFixture& fixture, const disc_image::DiscSpec& spec, const std::string& name)
{
    fixture.cue = fixture.dir / name;
    fixture.layout = disc_image::WriteCueBin(spec, fixture.cue);
    std::filesystem::path bin = fixture.cue;
    bin.replace_extension(".bin");
    fixture.bin = ReadFileBytes(bin);
}

void MakeAudioDisc(DiscFixture& fixture, const std::vector<std::int64_t>& sectors,
                   const std::string& name)
{
    // Music is slow to generate; it comes last, where tracks are few.
    const disc_image::SignalKind kinds[] = {
        disc_image::SignalKind::Sweep, disc_image::SignalKind::Tone, disc_image::SignalKind::Noise,
        disc_image::SignalKind::Music};
    disc_image::DiscSpec spec;
    spec.title = "Test disc";
    for (std::size_t i = 0; i < sectors.size(); ++i) {
        disc_image::TrackSpec track =
            AudioTrack(kinds[i % 4], sectors[i], 0, static_cast<unsigned>(i + 1));
        track.signal.frequency = 220.0 * static_cast<double>(i + 1);
        spec.tracks.push_back(track);
    }
    MakeDisc(fixture, spec, name);
}

disc_image::TrackSpec AudioTrack(disc_image::SignalKind kind, std::int64_t sectors,
                                 std::int64_t pregap, unsigned seed)
{
    disc_image::TrackSpec track;
    track.signal.kind = kind;
    track.signal.seed = seed;
    track.sectors = sectors;
    track.pregapSectors = pregap;
    return track;
}

disc_image::TrackSpec DataTrack(std::int64_t sectors, std::int64_t pregap)
{
    disc_image::TrackSpec track;
    track.data = true;
    track.sectors = sectors;
    track.pregapSectors = pregap;
    return track;
}

int LoadRealLibraryWithImages(const std::vector<std::filesystem::path>& images)
{
    unsetenv("SONFELD_CD_IMAGES");
    cdrip::ForgetImages();
    if (!cdrip::Load(cdrip::DefaultLibraryPath()))
        throw std::runtime_error("libcdrip.so did not load from " + cdrip::DefaultLibraryPath());
    const int first = cdrip::Api().GetNumCDROM();
    for (const auto& image : images)
        TCDIn::AddImageDrive(image.string());
    return first;
}

std::vector<std::uint8_t> RipThroughLibrary(int drive, std::int32_t start, std::int32_t end,
                                            int chunkSectors)
{
    const cdrip::Functions& api = cdrip::Api();
    api.SetActiveCDROM(drive);
    std::int32_t chunk = chunkSectors * 2352;
    if (api.OpenRipper(&chunk, start, end) != CR_OK)
        throw std::runtime_error("OpenRipper: " + cdrip::LastError());
    std::vector<std::uint8_t> result;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(chunk));
    for (;;) {
        std::int32_t count = 0;
        std::int32_t abort = 0;
        if (api.RipChunk(buffer.data(), &count, &abort) != CR_OK) {
            api.CloseRipper();
            throw std::runtime_error("RipChunk: " + cdrip::LastError());
        }
        if (count == 0)
            break;
        result.insert(result.end(), buffer.begin(), buffer.begin() + count);
    }
    CR_RipStatistics statistics{};
    api.GetRipStatistics(&statistics);
    api.CloseRipper();
    if (statistics.Corrected + statistics.Uncorrected + statistics.ReadErrors != 0)
        throw std::runtime_error("the image's read needed corrections");
    return result;
}

std::string ImageRefusal(const std::filesystem::path& sheet)
{
    LoadRealLibraryWithImages({});
    try {
        TCDIn::AddImageDrive(sheet.string());
    } catch (const EACSException& error) {
        return error.what();
    }
    return "(accepted)";
}

} // namespace sonfeld::test
