#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/formats/mp3/mp3_out.h"
#include "support/file_run.h"
#include "support/tools.h"

namespace sonfeld::test {

// Encodes 16-bit pcm at the given rate into file with a fresh output.
inline FileRun EncodeMp3(const std::filesystem::path& file, const std::vector<std::uint8_t>& pcm,
                         int channels = 2, TMP3BitRate rate = TMP3BitRate::br128, int maxChunk = 0,
                         bool reportSize = true)
{
    TMemoryInput input(pcm, 44100, channels, 16);
    input.maxChunk = maxChunk;
    input.reportSize = reportSize;
    TMP3Out output;
    output.SetBitRate(rate);
    return RunToFile(output, input, file);
}

} // namespace sonfeld::test
