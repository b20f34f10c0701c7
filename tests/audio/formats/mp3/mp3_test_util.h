#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/formats/mp3/mp3_out.h"
#include "support/memory_input.h"
#include "support/output_runner.h"
#include "support/tools.h"

namespace sonfeld::test {

struct Mp3Run {
    int done = 0;
    int errors = 0;
    std::string error;
};

// Runs output over input into file and waits for the end of the run.
inline Mp3Run RunMp3(TMP3Out& output, TMemoryInput& input, const std::filesystem::path& file)
{
    output.SetInput(&input);
    output.SetFileName(file.string());
    OutputRunner runner(output);
    const bool ended = runner.RunAndWait();
    Mp3Run run{runner.doneCount, runner.errorCount, runner.LastError()};
    if (!ended)
        run.error = "the run did not end";
    return run;
}

// Encodes 16-bit pcm at the given rate into file with a fresh output.
inline Mp3Run EncodeMp3(const std::filesystem::path& file, const std::vector<std::uint8_t>& pcm,
                        int channels = 2, TMP3BitRate rate = TMP3BitRate::br128, int maxChunk = 0,
                        bool reportSize = true)
{
    TMemoryInput input(pcm, 44100, channels, 16);
    input.maxChunk = maxChunk;
    input.reportSize = reportSize;
    TMP3Out output;
    output.SetBitRate(rate);
    return RunMp3(output, input, file);
}

} // namespace sonfeld::test
