#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "disc_image.h"
#include "support/tools.h"
// LoadRealLibraryWithImages, shared with the CD tests.
#include "audio/cd/disc_fixture.h"

namespace sonfeld::test {

// A generated CUE/BIN disc image in a fresh temporary folder, with the bytes
// every track's rip must give.
struct TestDisc {
    TempDir dir;
    std::filesystem::path cue;
    disc_image::DiscLayout layout;
    std::vector<std::uint8_t> bin;

    // From the track's start to the next track's start (the lead-out for the last).
    std::vector<std::uint8_t> TrackBytes(int track) const;
};

// Audio tracks of the given lengths in sectors (75 a second), each with a
// different generated signal.
void MakeTestDisc(TestDisc& disc, const std::vector<std::int64_t>& sectors,
                  const std::string& name = "disc.cue");

} // namespace sonfeld::test
