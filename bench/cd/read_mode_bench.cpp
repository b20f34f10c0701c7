// Reading a generated 74-minute disc image track by track in fast mode (one
// plain read), in secure mode (every sector twice, past the drive's cache,
// compared by checksum), in old-drive mode (paranoia's overlap matching, the
// secure mode of earlier versions, checked against a plain second pass), and
// through cd-paranoia in the same run. The image is a cdrdao TOC over a BIN
// file, which the library reads through libcdio like a drive; a CUE image
// would be read from its files and measure nothing here.
//
// usage: read_mode_bench [minutes] [tracks]

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audio/cd/cd_in.h"
#include "disc_image.h"
#include "support/tools.h"

using namespace sonfeld;
using Clock = std::chrono::steady_clock;

namespace {

std::filesystem::path WriteToc(const disc_image::DiscLayout& layout,
                               const std::filesystem::path& bin)
{
    auto toc = bin;
    toc.replace_extension(".toc");
    std::ofstream out(toc);
    out << "CD_DA\n";
    for (std::size_t i = 0; i < layout.tracks.size(); ++i) {
        const std::int64_t end =
            i + 1 < layout.tracks.size() ? layout.tracks[i + 1].start : layout.leadOut;
        // libcdio opens the file named here from the working folder, so the path is absolute.
        out << "\nTRACK AUDIO\nFILE \"" << bin.string() << "\" "
            << disc_image::CueTime(layout.tracks[i].start) << ' '
            << disc_image::CueTime(end - layout.tracks[i].start) << '\n';
    }
    return toc;
}

// The track's bytes as the BIN file holds them.
std::vector<char> SourceBytes(const std::filesystem::path& bin,
                              const disc_image::DiscLayout& layout, int track)
{
    const auto i = static_cast<std::size_t>(track - 1);
    const std::int64_t end =
        i + 1 < layout.tracks.size() ? layout.tracks[i + 1].start : layout.leadOut;
    std::vector<char> bytes(static_cast<std::size_t>((end - layout.tracks[i].start) * 2352));
    std::ifstream in(bin, std::ios::binary);
    in.seekg(layout.tracks[i].start * 2352);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

// Rips every track into memory; returns the seconds taken and counts the
// tracks whose audio differs from the source.
double RipAll(TCDIn& input, TCDReadMode mode, const std::filesystem::path& bin,
              const disc_image::DiscLayout& layout, int& differing, TCDRipReport& last)
{
    input.SetReadMode(mode);
    std::vector<char> buffer(TCDIn::kChunkBytes);
    double seconds = 0;
    for (int track = 1; track <= static_cast<int>(layout.tracks.size()); ++track) {
        std::vector<char> got;
        const auto start = Clock::now();
        input.SetStartTrack(track);
        input.SetEndTrack(track);
        input.OpenInput();
        while (const int n = input.ReadPCM(buffer.data(), static_cast<int>(buffer.size())))
            got.insert(got.end(), buffer.begin(), buffer.begin() + n);
        input.CloseInput();
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        last = input.RipReport();
        if (got != SourceBytes(bin, layout, track))
            ++differing;
    }
    return seconds;
}

} // namespace

int main(int argc, char** argv)
{
    const int minutes = argc > 1 ? std::atoi(argv[1]) : 74;
    const int tracks = argc > 2 ? std::atoi(argv[2]) : 18;
    if (minutes < 1 || tracks < 1 || tracks > 99 || minutes * 60 / tracks < 4) {
        std::fprintf(stderr, "usage: read_mode_bench [minutes] [tracks]\n");
        return 2;
    }
    if (!test::ToolAvailable("cd-paranoia")) {
        std::fprintf(stderr, "cd-paranoia is not installed (package cd-paranoia)\n");
        return 2;
    }
    test::TempDir dir;
    const std::int64_t totalSectors = static_cast<std::int64_t>(minutes) * 60 * 75;
    const disc_image::DiscSpec spec = disc_image::AlternatingToneAndNoiseDisc(minutes, tracks);
    std::printf("making a %d-minute image of %d tracks...\n", minutes, tracks);
    const auto layout = disc_image::WriteCueBin(spec, dir / "bench.cue");
    const auto bin = dir / "bench.bin";
    const auto toc = WriteToc(layout, bin);
    const double audioSeconds = static_cast<double>(totalSectors) / 75.0;
    test::RunCommand("cat " + test::ShellQuote(bin.string()) + " > /dev/null");

    TCDIn input;
    TCDIn::AddImageDrive(toc.string());
    input.SetCurrentDrive(input.DriveCount() - 1);
    int fastDiffering = 0;
    int secureDiffering = 0;
    int oldDriveDiffering = 0;
    TCDRipReport fastReport;
    TCDRipReport secureReport;
    TCDRipReport oldDriveReport;
    const double fast = RipAll(input, rmFast, bin, layout, fastDiffering, fastReport);
    const double secure = RipAll(input, rmSecure, bin, layout, secureDiffering, secureReport);
    const double oldDrive =
        RipAll(input, rmOldDrive, bin, layout, oldDriveDiffering, oldDriveReport);

    const auto referenceStart = Clock::now();
    int referenceDiffering = 0;
    for (int track = 1; track <= tracks; ++track) {
        const auto file = dir / "reference.wav";
        const std::string command = "cd-paranoia -q -X -d " + test::ShellQuote(toc.string()) +
                                    " -w " + std::to_string(track) + " " +
                                    test::ShellQuote(file.string()) + " >/dev/null 2>&1";
        if (test::RunCommand(command) != 0) {
            std::fprintf(stderr, "cd-paranoia failed on track %d\n", track);
            return 1;
        }
        const auto wav = test::ReadFileBytes(file);
        const std::vector<char> source = SourceBytes(bin, layout, track);
        if (wav.size() != source.size() + 44 ||
            !std::equal(source.begin(), source.end(), wav.begin() + 44,
                        [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }))
            ++referenceDiffering;
    }
    const double reference = std::chrono::duration<double>(Clock::now() - referenceStart).count();

    std::printf("audio: %.0f s (%d tracks), cdrdao TOC image read through libcdio\n", audioSeconds,
                tracks);
    std::printf("note: an image has no cache, seeks or read errors, so this measures the "
                "reads and checksums of each mode; on a real drive the second secure pass "
                "also costs the drive's time for the same sectors again\n");
    std::printf("fast mode:       %.2f s, %.1f x real time\n", fast, audioSeconds / fast);
    std::printf("secure mode:     %.2f s, %.1f x real time (proven: %s, corrections %d)\n", secure,
                audioSeconds / secure, secureReport.Proven ? "yes" : "no", secureReport.Corrected);
    std::printf("old-drive mode:  %.2f s, %.1f x real time (paranoia + plain check, proven: %s, "
                "corrections %d)\n",
                oldDrive, audioSeconds / oldDrive, oldDriveReport.Proven ? "yes" : "no",
                oldDriveReport.Corrected);
    std::printf("cd-paranoia:     %.2f s, %.1f x real time (includes writing WAV files)\n",
                reference, audioSeconds / reference);
    std::printf("ratio secure / fast (the second pass): %.2f\n", secure / fast);
    std::printf("ratio secure / old-drive: %.2f\n", secure / oldDrive);
    std::printf("ratio secure / cd-paranoia: %.2f\n", secure / reference);
    std::printf("ratio old-drive / cd-paranoia: %.2f\n", oldDrive / reference);
    std::printf("tracks differing from the source: fast %d, secure %d, old-drive %d, "
                "cd-paranoia %d\n",
                fastDiffering, secureDiffering, oldDriveDiffering, referenceDiffering);
    return fastDiffering + secureDiffering + oldDriveDiffering == 0 ? 0 : 1;
}
