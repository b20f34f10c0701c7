// Encodes the same generated minutes of music-like CD audio through the APE
// output at every level, with the frames compressed on worker threads and on
// one thread, and, in the same run, with flac -5 and flac -8 from a WAV file
// of the same samples. Prints, for each, the time against flac -5 (wall clock
// and processor time), the speed as a multiple of real time and the
// compressed size; then, per level, the worker threads' time against one
// thread's and whether both files are identical. Lower ratios are better.
// Usage: ape_bench [seconds of audio, default 600] [rounds, default 5]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "audio/formats/ape/mac_out.h"
#include "support/memory_input.h"
#include "support/output_runner.h"
#include "support/signals.h"
#include "support/timing.h"
#include "support/tools.h"

using namespace sonfeld;
using namespace sonfeld::test;

namespace {

struct Row : Timing {
    std::string name;
    std::uintmax_t bytes = 0;
    bool ok = true;
};

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 600;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    if (!ToolAvailable("flac")) {
        std::fprintf(stderr, "flac is not installed\n");
        return 1;
    }
    TempDir dir;
    const auto pcm = MakePcm(Signal::Music, seconds * 44100);
    const auto wav = dir / "input.wav";
    WriteCdWaveFile(wav, pcm);

    // Every round runs every encoder once, so a change in the machine's load
    // (it is shared) touches all of them alike; each keeps its best round.
    const char* flacLevels[] = {"-5", "-8"};
    const int apeLevels[] = {1000, 2000, 3000, 4000};
    std::vector<Row> rows;
    for (const char* level : flacLevels)
        rows.push_back(Row{{}, std::string("flac ") + level});
    // The compressor reads SONFELD_APE_THREADS when it starts: "1" keeps it
    // on one thread, unset lets it use every core.
    const char* threadModes[] = {nullptr, "1"};
    for (const char* mode : threadModes)
        for (int level : apeLevels)
            rows.push_back(
                Row{{}, "APE " + std::to_string(level) + (mode != nullptr ? " 1t" : "")});

    TMACOut output;
    TMemoryInput input(pcm);
    output.SetInput(&input);
    for (int r = 0; r < rounds; ++r) {
        for (std::size_t i = 0; i < 2; ++i) {
            const std::string level = flacLevels[i];
            const auto out = dir / ("flac" + level + ".flac");
            rows[i].ok &= Measure(rows[i], RUSAGE_CHILDREN, [&] {
                return RunCommand("flac -s -f " + level + " -o " + ShellQuote(out.string()) + " " +
                                  ShellQuote(wav.string())) == 0;
            });
            rows[i].bytes = std::filesystem::file_size(out);
        }
        for (std::size_t m = 0; m < 2; ++m) {
            if (threadModes[m] != nullptr)
                setenv("SONFELD_APE_THREADS", threadModes[m], 1);
            else
                unsetenv("SONFELD_APE_THREADS");
            for (std::size_t i = 0; i < 4; ++i) {
                const auto out = dir / ("level" + std::to_string(apeLevels[i]) + "-" +
                                        std::to_string(m) + ".ape");
                output.SetCompressionLevel(apeLevels[i]);
                output.SetFileName(out.string());
                OutputRunner runner(output);
                Row& row = rows[2 + 4 * m + i];
                row.ok &= Measure(row, RUSAGE_SELF,
                                  [&] { return runner.RunAndWait() && runner.errorCount == 0; });
                row.bytes = std::filesystem::file_size(out);
            }
        }
    }
    unsetenv("SONFELD_APE_THREADS");

    const Row& base = rows.front();
    std::printf("%d s of music-like CD audio (%zu PCM bytes), best of %d rounds\n", seconds,
                pcm.size(), rounds);
    std::printf("%-10s %9s %9s %10s %10s %9s %12s %7s\n", "encoder", "wall s", "cpu s",
                "wall/flac5", "cpu/flac5", "x real", "bytes", "ratio");
    for (const Row& row : rows)
        std::printf("%-10s %9.3f %9.3f %10.2f %10.2f %9.1f %12ju %6.1f%%%s\n", row.name.c_str(),
                    row.wall, row.cpu, row.wall / base.wall, row.cpu / base.cpu, seconds / row.wall,
                    row.bytes,
                    100.0 * static_cast<double>(row.bytes) / static_cast<double>(pcm.size()),
                    row.ok ? "" : "  FAILED");

    bool identical = true;
    std::printf("\nworker threads against one thread (%u cores)\n",
                std::thread::hardware_concurrency());
    std::printf("%-10s %10s %10s %s\n", "level", "wall", "cpu", "files");
    for (std::size_t i = 0; i < 4; ++i) {
        const Row& parallel = rows[2 + i];
        const Row& single = rows[6 + i];
        const std::string level = std::to_string(apeLevels[i]);
        const bool same = ReadFileBytes(dir / ("level" + level + "-0.ape")) ==
                          ReadFileBytes(dir / ("level" + level + "-1.ape"));
        identical = identical && same;
        std::printf("%-10s %10.2f %10.2f %s\n", level.c_str(), parallel.wall / single.wall,
                    parallel.cpu / single.cpu, same ? "identical" : "DIFFERENT");
    }
    const bool ok = std::all_of(rows.begin(), rows.end(), [](const Row& r) { return r.ok; });
    return ok && identical ? 0 : 1;
}
