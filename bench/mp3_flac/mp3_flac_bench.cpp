// Encodes the same generated CD audio (ten minutes by default) through the MP3
// and FLAC outputs and, in the same run, through lame and flac with the same
// settings. All of them read the same WAV file, ours through TWaveIn, so each
// time counts reading the file and encoding it, nothing else. Prints the time of each and
// their ratio; lower is better, the target is at most 1.05.
// Usage: mp3_flac_bench [seconds of audio, default 600] [rounds, default 3]
//                       [mp3|flac, default both: one alone, e.g. under a profiler]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "audio/formats/flac/flac_out.h"
#include "audio/formats/mp3/mp3_out.h"
#include "audio/formats/wave/wave_in.h"
#include "support/output_runner.h"
#include "support/signals.h"
#include "support/timing.h"
#include "support/tools.h"

using namespace sonfeld;
using namespace sonfeld::test;

namespace {

bool RunOutput(TACSFileOut& output, const std::filesystem::path& wav,
               const std::filesystem::path& file)
{
    TWaveIn input;
    input.SetFileName(wav.string());
    output.SetInput(&input);
    output.SetFileName(file.string());
    OutputRunner runner(output);
    const bool ended = runner.RunAndWait(std::chrono::seconds(3600));
    output.SetInput(nullptr);
    return ended && runner.errorCount == 0;
}

void Report(const char* name, const char* ours, const char* tool, const Timing& our,
            const Timing& their, const std::filesystem::path& ourFile,
            const std::filesystem::path& theirFile)
{
    std::printf("%s\n", name);
    std::printf("  %-9s wall %8.3f s  cpu %8.3f s  %10llu bytes\n", ours, our.wall, our.cpu,
                static_cast<unsigned long long>(std::filesystem::file_size(ourFile)));
    std::printf("  %-9s wall %8.3f s  cpu %8.3f s  %10llu bytes\n", tool, their.wall, their.cpu,
                static_cast<unsigned long long>(std::filesystem::file_size(theirFile)));
    std::printf("  ratio %s / %s: wall %.3f, cpu %.3f (target <= 1.05)\n", ours, tool,
                our.wall / their.wall, our.cpu / their.cpu);
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 600;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const std::string only = argc > 3 ? argv[3] : "";
    const bool mp3 = only != "flac";
    const bool flacToo = only != "mp3";
    if (!ToolAvailable("lame") || !ToolAvailable("flac")) {
        std::fprintf(stderr, "lame and flac must be installed\n");
        return 2;
    }
    TempDir dir;
    const auto pcm = MakePcm(Signal::Music, 44100 * seconds, 2);
    const auto wav = dir / "source.wav";
    WriteCdWaveFile(wav, pcm);

    // The outputs' stored settings: 128 kbit/s; FLAC blocks of 4608 frames,
    // fixed predictors only (LPC order 0), residual partition order 0,
    // mid-side stereo on, no verification, no exhaustive search.
    const auto ourMp3 = dir / "ours.mp3";
    const auto lameMp3 = dir / "lame.mp3";
    const std::string lame = "lame --quiet -b 128 " + ShellQuote(wav.string()) + " " +
                             ShellQuote(lameMp3.string()) + " >/dev/null 2>&1";
    const auto ourFlac = dir / "ours.flac";
    const auto toolFlac = dir / "tool.flac";
    const std::string flac = "flac -s -f --blocksize=4608 --max-lpc-order=0 "
                             "--rice-partition-order=0,0 --mid-side --no-padding "
                             "--no-seektable -o " +
                             ShellQuote(toolFlac.string()) + " " + ShellQuote(wav.string()) +
                             " >/dev/null 2>&1";

    bool ok = true;
    // The default level, as flac -5 sets it (the presets are libFLAC's own).
    const auto ourFlac5 = dir / "ours5.flac";
    const auto toolFlac5 = dir / "tool5.flac";
    const std::string flac5 = "flac -s -f -5 --no-padding --no-seektable -o " +
                              ShellQuote(toolFlac5.string()) + " " + ShellQuote(wav.string()) +
                              " >/dev/null 2>&1";
    Timing mp3Ours, mp3Lame, flacOurs, flacTool, flac5Ours, flac5Tool;
    // Rounds alternate between ours and the tool so both see the same load.
    for (int round = 0; round < rounds; ++round) {
        if (mp3) {
            ok &= Measure(mp3Ours, RUSAGE_SELF, [&] {
                TMP3Out output;
                output.SetBitRate(TMP3BitRate::br128);
                return RunOutput(output, wav, ourMp3);
            });
            ok &= Measure(mp3Lame, RUSAGE_CHILDREN, [&] { return RunCommand(lame) == 0; });
        }
        if (flacToo) {
            ok &= Measure(flacOurs, RUSAGE_SELF, [&] {
                TFLACOut output;
                return RunOutput(output, wav, ourFlac);
            });
            ok &= Measure(flacTool, RUSAGE_CHILDREN, [&] { return RunCommand(flac) == 0; });
            ok &= Measure(flac5Ours, RUSAGE_SELF, [&] {
                TFLACOut output;
                output.SetCompressionLevel(5);
                return RunOutput(output, wav, ourFlac5);
            });
            ok &= Measure(flac5Tool, RUSAGE_CHILDREN, [&] { return RunCommand(flac5) == 0; });
        }
    }
    if (!ok) {
        std::fprintf(stderr, "an encode failed\n");
        return 1;
    }
    std::printf("%d s of CD audio, best of %d rounds\n", seconds, rounds);
    if (mp3)
        Report("MP3, 128 kbit/s", "TMP3Out", "lame", mp3Ours, mp3Lame, ourMp3, lameMp3);
    if (flacToo)
        Report("FLAC, block 4608, LPC order 0, mid-side", "TFLACOut", "flac", flacOurs, flacTool,
               ourFlac, toolFlac);
    if (flacToo)
        Report("FLAC, level 5", "TFLACOut", "flac -5", flac5Ours, flac5Tool, ourFlac5, toolFlac5);
    return 0;
}
