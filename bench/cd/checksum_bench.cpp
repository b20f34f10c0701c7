// Computes every per-track checksum (CRC32, CRC32 without null samples,
// AccurateRip v1/v2, the offset sector's sum, peak) over a 74-minute disc of
// 13 tracks of generated CD audio, and runs `cksum` over the same bytes. Prints
// CPU seconds and the ratio; lower is better.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audio/cd/verify/track_checksums.h"

using namespace sonfeld::verify;

namespace {

constexpr std::int64_t kDiscSamples = 74LL * 60 * 44100;
constexpr int kTracks = 13;
// The disc repeats this much generated audio; the checksums' work does not
// depend on the values, and it keeps the memory small.
constexpr std::size_t kPatternBytes = std::size_t{64} << 20;
// What the pipeline hands the tap per read: sixteen sectors.
constexpr std::size_t kPieceBytes = 2352 * 16;

double ProcessSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double ChildrenSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// Music-like stereo PCM with a second of silence at the start of each minute,
// so the null-sample CRC sees both kinds of blocks.
std::vector<std::uint8_t> Pattern()
{
    std::vector<std::uint8_t> pcm(kPatternBytes);
    std::uint32_t noise = 1;
    for (std::size_t i = 0; i < pcm.size() / 4; ++i) {
        const bool silent = (i % (60 * 44100)) < 44100;
        noise = noise * 1664525u + 1013904223u;
        const double t = static_cast<double>(i) / 44100.0;
        const auto left = static_cast<std::int16_t>(
            silent ? 0
                   : 12000 * std::sin(2 * M_PI * 440 * t) + static_cast<int>(noise >> 22) - 512);
        const auto right = static_cast<std::int16_t>(
            silent ? 0 : 9000 * std::sin(2 * M_PI * 660 * t) + static_cast<int>(noise >> 24) - 128);
        pcm[4 * i] = static_cast<std::uint8_t>(left);
        pcm[4 * i + 1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(left) >> 8);
        pcm[4 * i + 2] = static_cast<std::uint8_t>(right);
        pcm[4 * i + 3] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(right) >> 8);
    }
    return pcm;
}

// Returns the CPU seconds the disc's checksums took; folds the results into sink.
double ChecksumDisc(const std::vector<std::uint8_t>& pattern, std::uint32_t& sink)
{
    const double start = ProcessSeconds();
    std::size_t at = 0;
    for (int track = 0; track < kTracks; ++track) {
        const std::int64_t samples =
            kDiscSamples / kTracks + (track == 0 ? kDiscSamples % kTracks : 0);
        TrackChecksumAccumulator accumulator(samples, {track == 0, track == kTracks - 1});
        std::size_t left = static_cast<std::size_t>(samples) * 4;
        while (left > 0) {
            const std::size_t n = std::min({left, kPieceBytes, pattern.size() - at});
            accumulator.Add(pattern.data() + at, n);
            left -= n;
            at = (at + n) % pattern.size();
        }
        const TrackChecksums sums = accumulator.Result();
        sink ^= sums.crc32 ^ sums.crc32WithoutNulls ^ sums.accurateRipV1 ^ sums.accurateRipV2 ^
                static_cast<std::uint32_t>(sums.peak);
    }
    return ProcessSeconds() - start;
}

// CPU seconds `cksum` takes over the same bytes: the pattern file named as
// often as the disc repeats it, then the remainder.
double CksumDisc(const std::vector<std::uint8_t>& pattern, const std::filesystem::path& folder)
{
    const std::uint64_t total = static_cast<std::uint64_t>(kDiscSamples) * 4;
    const auto whole = folder / "pattern.pcm";
    const auto rest = folder / "rest.pcm";
    std::ofstream(whole, std::ios::binary)
        .write(reinterpret_cast<const char*>(pattern.data()),
               static_cast<std::streamsize>(pattern.size()));
    std::ofstream(rest, std::ios::binary)
        .write(reinterpret_cast<const char*>(pattern.data()),
               static_cast<std::streamsize>(total % pattern.size()));
    std::string command = "cksum";
    for (std::uint64_t i = 0; i < total / pattern.size(); ++i)
        command += " '" + whole.string() + "'";
    command += " '" + rest.string() + "' >/dev/null";
    // A first run puts the files in the page cache.
    if (std::system(command.c_str()) != 0)
        return -1;
    const double before = ChildrenSeconds();
    if (std::system(command.c_str()) != 0)
        return -1;
    return ChildrenSeconds() - before;
}

} // namespace

int main()
{
    const auto pattern = Pattern();
    std::uint32_t sink = 0;
    double ours = 1e9;
    for (int round = 0; round < 3; ++round)
        ours = std::min(ours, ChecksumDisc(pattern, sink));

    const auto folder = std::filesystem::temp_directory_path() /
                        ("sonfeld_checksum_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    double theirs = 1e9;
    for (int round = 0; round < 3; ++round)
        theirs = std::min(theirs, CksumDisc(pattern, folder));
    std::filesystem::remove_all(folder);

    std::printf("74-minute disc, %d tracks, %.0f MB of PCM (result %08x)\n", kTracks,
                static_cast<double>(kDiscSamples) * 4 / 1e6, sink);
    std::printf("every checksum: %.3f s CPU (target under 0.3 s)\n", ours);
    if (theirs < 0) {
        std::printf("cksum: not run\n");
        return 0;
    }
    std::printf("cksum:          %.3f s CPU\n", theirs);
    std::printf("ratio:          %.2f\n", ours / theirs);
    return 0;
}
