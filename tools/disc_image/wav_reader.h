#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace sonfeld::disc_image {

// The PCM bytes of a WAV file of 44100 Hz, 16-bit, stereo PCM (what a CD
// holds). Raises std::runtime_error naming the file for anything else, a
// truncated file or a file that cannot be read.
std::vector<std::uint8_t> ReadCdWav(const std::filesystem::path& file);

} // namespace sonfeld::disc_image
