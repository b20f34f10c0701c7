// Ripping a generated 74-minute disc image track by track into PCM WAV files:
// through the CD input and the WAV output, and through cd-paranoia in the same
// paranoia mode (full verification, skipping refused), in the same run.
//
// usage: cd_rip_bench [minutes] [tracks]

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>

#include "audio/cd/cd_in.h"
#include "audio/cd/cdrip_binding.h"
#include "audio/formats/wave/wave_out.h"
#include "bench_disc.h"
#include "disc_image.h"
#include "support/tools.h"

using namespace sonfeld;
using Clock = std::chrono::steady_clock;

namespace {

bool RipTrack(TCDIn& input, TWaveOut& output, int track, const std::filesystem::path& file)
{
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    bool failed = false;
    output.OnDone = [&](TComponent*) {
        std::lock_guard lock(mutex);
        done = true;
        ended.notify_all();
    };
    output.OnThreadException = [&](TComponent*, const std::exception& e) {
        std::fprintf(stderr, "track %d failed: %s\n", track, e.what());
        std::lock_guard lock(mutex);
        done = failed = true;
        ended.notify_all();
    };
    input.SetStartTrack(track);
    input.SetEndTrack(track);
    output.SetFileName(file.string());
    output.Run();
    std::unique_lock lock(mutex);
    ended.wait(lock, [&] { return done; });
    return !failed;
}

} // namespace

int main(int argc, char** argv)
{
    test::TempDir dir;
    const std::optional<bench::BenchDisc> disc =
        bench::MakeBenchDisc(argc, argv, "cd_rip_bench", dir.Path());
    if (!disc)
        return 2;
    const int tracks = disc->tracks;
    const double audioSeconds = disc->audioSeconds;
    const auto cue = dir / "bench.cue";

    // Both readers start from a warm page cache.
    test::RunCommand("cat " + test::ShellQuote((dir / "bench.bin").string()) + " > /dev/null");

    TCDIn input;
    TCDIn::AddImageDrive(cue.string());
    input.SetCurrentDrive(input.DriveCount() - 1);
    TWaveOut output;
    output.SetInput(&input);
    std::filesystem::create_directory(dir / "ours");
    const auto oursStart = Clock::now();
    for (int track = 1; track <= tracks; ++track) {
        if (!RipTrack(input, output, track,
                      dir / "ours" / ("track" + std::to_string(track) + ".wav")))
            return 1;
    }
    const double ours = std::chrono::duration<double>(Clock::now() - oursStart).count();
    CR_RipStatistics statistics{};
    cdrip::Api().GetRipStatistics(&statistics);

    std::filesystem::create_directory(dir / "reference");
    const auto referenceStart = Clock::now();
    for (int track = 1; track <= tracks; ++track) {
        const auto file = dir / "reference" / ("track" + std::to_string(track) + ".wav");
        const std::string command = "cd-paranoia -q -X -d " + test::ShellQuote(cue.string()) +
                                    " -w " + std::to_string(track) + " " +
                                    test::ShellQuote(file.string()) + " >/dev/null 2>&1";
        if (test::RunCommand(command) != 0) {
            std::fprintf(stderr, "cd-paranoia failed on track %d\n", track);
            return 1;
        }
    }
    const double reference = std::chrono::duration<double>(Clock::now() - referenceStart).count();

    // The same audio must come out of both, or the timing compares nothing.
    int differing = 0;
    for (int track = 1; track <= tracks; ++track) {
        const std::string name = "track" + std::to_string(track) + ".wav";
        const auto a = test::ReadFileBytes(dir / "ours" / name);
        const auto b = test::ReadFileBytes(dir / "reference" / name);
        if (a.size() != b.size() || !std::equal(a.begin() + 44, a.end(), b.begin() + 44))
            ++differing;
    }

    std::printf("audio: %.0f s (%d tracks)\n", audioSeconds, tracks);
    std::printf("TCDIn + TWaveOut: %.2f s, %.1f x real time (corrections %d, uncorrected %d)\n",
                ours, audioSeconds / ours, statistics.Corrected, statistics.Uncorrected);
    std::printf("cd-paranoia:      %.2f s, %.1f x real time\n", reference,
                audioSeconds / reference);
    std::printf("ratio cd-paranoia time / ours: %.2f (above 1: we are faster)\n", reference / ours);
    std::printf("tracks whose audio differs between the two: %d\n", differing);
    return differing == 0 ? 0 : 1;
}
