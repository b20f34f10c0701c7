#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "disc_image.h"
#include "support/tools.h"

namespace sonfeld::test {

// A CUE/BIN image written into a fresh temporary folder, with its layout and
// the BIN's bytes, from which every track's expected audio is cut.
struct DiscFixture {
    TempDir dir;
    std::filesystem::path cue;
    disc_image::DiscLayout layout;
    std::vector<std::uint8_t> bin;

    // The bytes a rip of track (1-based) must give: from its INDEX 01 to the
    // next track's INDEX 01, or to the lead-out for the last track.
    std::vector<std::uint8_t> TrackBytes(int track) const;
};

void MakeDisc(DiscFixture& fixture, const disc_image::DiscSpec& spec,
              const std::string& name = "disc.cue");

// Audio tracks of the given lengths in sectors (75 a second), each with a
// different generated signal.
void MakeAudioDisc(DiscFixture& fixture, const std::vector<std::int64_t>& sectors,
                   const std::string& name = "disc.cue");

disc_image::TrackSpec AudioTrack(disc_image::SignalKind kind, std::int64_t sectors,
                                 std::int64_t pregap = 0, unsigned seed = 1);
disc_image::TrackSpec DataTrack(std::int64_t sectors, std::int64_t pregap = 0);

// Loads libcdrip.so afresh with no images but the given ones (and none from
// the environment); returns the drive index of the first image.
int LoadRealLibraryWithImages(const std::vector<std::filesystem::path>& images);

// The sectors start .. end - 1 of drive, read through the library's rip
// interface in chunks as a rip reads them. An image is read exactly, so a
// failed call or any correction throws std::runtime_error.
std::vector<std::uint8_t> RipThroughLibrary(int drive, std::int32_t start, std::int32_t end,
                                            int chunkSectors = 10);

// Why the sheet is refused as an image drive; "(accepted)" when it is not.
std::string ImageRefusal(const std::filesystem::path& sheet);

} // namespace sonfeld::test
