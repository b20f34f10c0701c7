#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/formats/wave/wave_out.h"
#include "support/file_run.h"

namespace sonfeld::test {

inline std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return static_cast<std::uint32_t>(b.at(at) | (b.at(at + 1) << 8) | (b.at(at + 2) << 16)) |
           (static_cast<std::uint32_t>(b.at(at + 3)) << 24);
}

inline std::uint16_t U16(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return static_cast<std::uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}

inline std::string Tag(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return std::string(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at) + 4);
}

// Writes pcm through a TWaveOut into file and waits for the end of the run.
inline FileRun WriteWave(const std::filesystem::path& file, const std::vector<std::uint8_t>& pcm,
                         TWavType type, int channels = 2, int bits = 16, bool reportSize = true,
                         TFileOutputMode mode = foRewrite, int sampleRate = 44100,
                         std::uint16_t blockSize = 512)
{
    TMemoryInput input(pcm, sampleRate, channels, bits);
    input.reportSize = reportSize;
    TWaveOut output;
    output.SetWavType(type);
    output.SetBlockSize(blockSize);
    output.SetFileMode(mode);
    return RunToFile(output, input, file);
}

} // namespace sonfeld::test
