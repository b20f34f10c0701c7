// Encodes ten minutes of generated CD audio through the WAV output, as PCM
// and as IMA ADPCM, reading it through the WAV input, and times the same
// conversions by sox and ffmpeg in the same run. Prints ratios; lower is better.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "audio/formats/wave/wave_in.h"
#include "audio/formats/wave/wave_out.h"
#include "support/output_runner.h"
#include "support/signals.h"
#include "support/tools.h"

using namespace sonfeld;
using namespace sonfeld::test;
using Clock = std::chrono::steady_clock;

namespace {

double BestOf(int rounds, const std::function<void()>& work)
{
    double best = 1e9;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

void Convert(const std::filesystem::path& source, const std::filesystem::path& target,
             TWavType type)
{
    TWaveIn input;
    input.SetFileName(source.string());
    TWaveOut output;
    output.SetInput(&input);
    output.SetWavType(type);
    output.SetFileName(target.string());
    OutputRunner runner(output);
    if (!runner.RunAndWait() || runner.errorCount != 0)
        std::fprintf(stderr, "conversion failed: %s\n", runner.LastError().c_str());
}

void Shell(const std::string& command)
{
    if (RunCommand(command + " >/dev/null 2>&1") != 0)
        std::fprintf(stderr, "failed: %s\n", command.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 600;
    const int rounds = 3;
    TempDir dir;
    const auto source = dir / "source.wav";
    const auto pcm = MakePcm(Signal::Music, 44100 * seconds);
    WriteCdWaveFile(source, pcm);

    const std::string in = ShellQuote(source.string());
    const double oursPcm = BestOf(rounds, [&] { Convert(source, dir / "ours_pcm.wav", wtPCM); });
    const double soxPcm = BestOf(
        rounds, [&] { Shell("sox " + in + " " + ShellQuote((dir / "sox_pcm.wav").string())); });
    const double oursAdpcm =
        BestOf(rounds, [&] { Convert(source, dir / "ours_ima.wav", wtDVIADPCM); });
    const double ffmpegAdpcm = BestOf(rounds, [&] {
        Shell("ffmpeg -y -v error -nostdin -i " + in + " -c:a adpcm_ima_wav " +
              ShellQuote((dir / "ffmpeg_ima.wav").string()));
    });

    std::printf("WAV output, %d s of CD audio, best of %d runs\n", seconds, rounds);
    std::printf("%-34s %9s %10s %12s\n", "conversion", "seconds", "x realtime", "ratio");
    auto row = [&](const char* name, double time, double reference) {
        std::printf("%-34s %9.3f %10.0f %12.2f\n", name, time, seconds / time, time / reference);
    };
    row("ours PCM (ratio to sox copy)", oursPcm, soxPcm);
    row("sox copy", soxPcm, soxPcm);
    row("ours IMA ADPCM (ratio to ffmpeg)", oursAdpcm, ffmpegAdpcm);
    row("ffmpeg adpcm_ima_wav", ffmpegAdpcm, ffmpegAdpcm);
    std::printf("targets: ours PCM <= 1.00 x sox; ours IMA ADPCM <= 1.00 x ffmpeg\n");
    return 0;
}
