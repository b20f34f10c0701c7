// Encodes ten minutes of generated CD audio through the Ogg Vorbis output and,
// in the same run, through oggenc at the same quality from a WAV file of the
// same samples. Prints the time of each and their ratio; lower is better.
// Usage: vorbis_bench [seconds of audio, default 600] [rounds, default 3]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "audio/formats/vorbis/vorbis_out.h"
#include "support/memory_input.h"
#include "support/output_runner.h"
#include "support/signals.h"
#include "support/timing.h"
#include "support/tools.h"

using namespace sonfeld;
using namespace sonfeld::test;

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 600;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    if (!ToolAvailable("oggenc")) {
        std::fprintf(stderr, "oggenc is not installed\n");
        return 2;
    }
    TempDir dir;
    const auto pcm = MakePcm(Signal::Music, 44100 * seconds, 2);
    const auto wav = dir / "source.wav";
    WriteCdWaveFile(wav, pcm);
    const auto ours = dir / "ours.ogg";
    const auto theirs = dir / "oggenc.ogg";

    // oggenc's quality scale is ten times the output's Compression.
    const float compression = 0.2f;
    const std::string oggenc = "oggenc -Q -q " + std::to_string(compression * 10) + " -o " +
                               ShellQuote(theirs.string()) + " " + ShellQuote(wav.string()) +
                               " >/dev/null 2>&1";

    bool ok = true;
    Timing ourTime;
    Timing theirTime;
    // Alternated rounds, best of each: the machine is shared, and the best
    // time is the one least disturbed by others. Processor time is the steadier
    // measure when other work competes for the cores.
    for (int round = 0; round < rounds; ++round) {
        ok &= Measure(ourTime, RUSAGE_SELF, [&] {
            TMemoryInput input(pcm);
            TVorbisOut output;
            output.SetCompression(compression);
            output.SetInput(&input);
            output.SetFileName(ours.string());
            OutputRunner runner(output);
            return runner.RunAndWait(std::chrono::seconds(3600)) && runner.errorCount == 0;
        });
        ok &= Measure(theirTime, RUSAGE_CHILDREN, [&] { return RunCommand(oggenc) == 0; });
    }
    if (!ok) {
        std::fprintf(stderr, "an encode failed\n");
        return 1;
    }
    const auto ourSize = std::filesystem::file_size(ours);
    const auto theirSize = std::filesystem::file_size(theirs);
    std::printf("Ogg Vorbis, %d s of CD audio, quality %.1f, best of %d rounds\n", seconds,
                static_cast<double>(compression), rounds);
    std::printf("  TVorbisOut  wall %8.3f s  cpu %8.3f s  %10llu bytes\n", ourTime.wall,
                ourTime.cpu, static_cast<unsigned long long>(ourSize));
    std::printf("  oggenc      wall %8.3f s  cpu %8.3f s  %10llu bytes\n", theirTime.wall,
                theirTime.cpu, static_cast<unsigned long long>(theirSize));
    std::printf("  ratio TVorbisOut / oggenc: wall %.3f, cpu %.3f (target <= 1.05)\n",
                ourTime.wall / theirTime.wall, ourTime.cpu / theirTime.cpu);
    return 0;
}
