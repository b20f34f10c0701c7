#pragma once

#include <filesystem>
#include <string>

#include "audio/core/output.h"
#include "support/memory_input.h"
#include "support/output_runner.h"

namespace sonfeld::test {

// How one run of a file output ended.
struct FileRun {
    int done = 0;
    int errors = 0;
    std::string error;
};

// Runs output over input into file and waits for the end of the run.
inline FileRun RunToFile(TACSFileOut& output, TACSInput& input, const std::filesystem::path& file)
{
    output.SetInput(&input);
    output.SetFileName(file.string());
    OutputRunner runner(output);
    const bool ended = runner.RunAndWait();
    FileRun run{runner.doneCount, runner.errorCount, runner.LastError()};
    if (!ended)
        run.error = "the run did not end";
    return run;
}

// Runs output over input (whose holdAt is set) into file, stops it once the
// input holds, and waits for the end of the run.
inline FileRun StopAtHold(TACSFileOut& output, TMemoryInput& input,
                          const std::filesystem::path& file)
{
    output.SetInput(&input);
    output.SetFileName(file.string());
    OutputRunner runner(output);
    output.Run();
    input.WaitUntilHeld();
    output.Stop();
    input.OpenGate();
    const bool ended = runner.WaitForEnds(1);
    FileRun run{runner.doneCount, runner.errorCount, runner.LastError()};
    if (!ended)
        run.error = "the run did not end";
    return run;
}

} // namespace sonfeld::test
