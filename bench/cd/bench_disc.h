#pragma once

// The generated disc the CD benches read: its length and track count from the
// command line, alternating tones and noise, as a CUE/BIN image.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "disc_image.h"
#include "support/tools.h"

namespace sonfeld::bench {

struct BenchDisc {
    int minutes = 74;
    int tracks = 18;
    std::int64_t totalSectors = 0;
    double audioSeconds = 0;
    disc_image::DiscLayout layout;
};

// usage: program [minutes] [tracks]. Writes dir/bench.cue and dir/bench.bin;
// nothing, after saying why, when the arguments make no disc or cd-paranoia
// (the reference reader) is missing.
inline std::optional<BenchDisc> MakeBenchDisc(int argc, char** argv, const char* program,
                                              const std::filesystem::path& dir)
{
    BenchDisc disc;
    if (argc > 1)
        disc.minutes = std::atoi(argv[1]);
    if (argc > 2)
        disc.tracks = std::atoi(argv[2]);
    if (disc.minutes < 1 || disc.tracks < 1 || disc.tracks > 99 ||
        disc.minutes * 60 / disc.tracks < 4) {
        std::fprintf(stderr, "usage: %s [minutes] [tracks]\n", program);
        return std::nullopt;
    }
    if (!test::ToolAvailable("cd-paranoia")) {
        std::fprintf(stderr, "cd-paranoia is not installed (package cd-paranoia)\n");
        return std::nullopt;
    }
    disc.totalSectors = static_cast<std::int64_t>(disc.minutes) * 60 * 75;
    disc.audioSeconds = static_cast<double>(disc.totalSectors) / 75.0;
    std::printf("making a %d-minute image of %d tracks...\n", disc.minutes, disc.tracks);
    disc.layout = disc_image::WriteCueBin(
        disc_image::AlternatingToneAndNoiseDisc(disc.minutes, disc.tracks), dir / "bench.cue");
    return disc;
}

} // namespace sonfeld::bench
