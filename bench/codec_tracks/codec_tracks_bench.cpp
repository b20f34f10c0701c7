// The codec libraries as a rip uses them: the same generated CD audio, cut
// into many short tracks (99 in ten minutes by default), each encoded by a
// fresh output of its own, as a rip sets one up per track, against oggenc
// and lame run once per track file with the same settings. The CPU ratio
// therefore counts every per-track cost (set-up, headers, the end of the
// stream) beside the encoding itself; the target is at most 1.03.
//
// Usage: codec_tracks_bench [seconds of audio, default 600] [tracks, default 99]
//                           [rounds, default 3]
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/formats/mp3/mp3_out.h"
#include "audio/formats/vorbis/vorbis_out.h"
#include "audio/formats/wave/wave_in.h"
#include "support/file_run.h"
#include "support/signals.h"
#include "support/timing.h"
#include "support/tools.h"

using namespace sonfeld;
using namespace sonfeld::test;
namespace fs = std::filesystem;

namespace {

constexpr double kCpuTarget = 1.03;

struct Codec {
    const char* name;
    const char* tool;
    std::function<std::unique_ptr<TACSFileOut>()> make; // our output at the default settings
    std::string command;                                // @IN@ and @OUT@ stand for the files
    const char* extension;
};

std::string Replace(std::string text, const std::string& what, const std::string& with)
{
    const std::size_t at = text.find(what);
    return at == std::string::npos ? text : text.replace(at, what.size(), with);
}

bool Encode(TACSFileOut& output, const fs::path& wav, const fs::path& file)
{
    TWaveIn input;
    input.SetFileName(wav.string());
    const FileRun run = RunToFile(output, input, file);
    output.SetInput(nullptr);
    return run.done == 1 && run.errors == 0 && run.error.empty();
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 600;
    const int tracks = argc > 2 ? std::atoi(argv[2]) : 99;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
    if (seconds < 1 || tracks < 1 || rounds < 1) {
        std::fprintf(stderr, "usage: codec_tracks_bench [seconds] [tracks] [rounds]\n");
        return 2;
    }
    if (!ToolAvailable("oggenc") || !ToolAvailable("lame")) {
        std::fprintf(stderr, "oggenc and lame must be installed\n");
        return 2;
    }
    TempDir dir;
    const std::vector<std::uint8_t> pcm = MakePcm(Signal::Music, 44100 * seconds, 2);
    std::vector<fs::path> wavs;
    const std::size_t frames = pcm.size() / 4;
    for (int t = 0; t < tracks; ++t) {
        const std::size_t from = frames * static_cast<std::size_t>(t) / tracks * 4;
        const std::size_t to = frames * static_cast<std::size_t>(t + 1) / tracks * 4;
        wavs.push_back(dir / ("t" + std::to_string(t + 1) + ".wav"));
        WriteCdWaveFile(wavs.back(),
                        std::vector<std::uint8_t>(pcm.begin() + from, pcm.begin() + to));
    }

    // Our defaults: Vorbis quality 0.2 (oggenc's 2), MP3 128 kbit/s.
    const std::vector<Codec> codecs = {
        {"Ogg Vorbis, quality 0.2", "oggenc",
         [] {
             auto output = std::make_unique<TVorbisOut>();
             output->SetCompression(0.2f);
             return std::unique_ptr<TACSFileOut>(std::move(output));
         },
         "oggenc -Q -q 2 -o @OUT@ @IN@", ".ogg"},
        {"MP3, 128 kbit/s", "lame",
         [] {
             auto output = std::make_unique<TMP3Out>();
             output->SetBitRate(TMP3BitRate::br128);
             return std::unique_ptr<TACSFileOut>(std::move(output));
         },
         "lame --quiet -b 128 @IN@ @OUT@", ".mp3"},
    };

    std::printf("%d s of CD audio in %d tracks, a fresh encoder per track, best of %d rounds\n",
                seconds, tracks, rounds);
    bool ok = true;
    for (const Codec& codec : codecs) {
        Timing ours;
        Timing theirs;
        for (int round = 0; round < rounds; ++round) {
            ok &= Measure(ours, RUSAGE_SELF, [&] {
                bool all = true;
                for (const fs::path& wav : wavs) {
                    const std::unique_ptr<TACSFileOut> output = codec.make();
                    all &= Encode(*output, wav, fs::path(wav).replace_extension(codec.extension));
                }
                return all;
            });
            ok &= Measure(theirs, RUSAGE_CHILDREN, [&] {
                bool all = true;
                for (const fs::path& wav : wavs) {
                    const fs::path out = dir / ("tool-" + wav.stem().string() + codec.extension);
                    all &=
                        RunCommand(Replace(Replace(codec.command, "@IN@", ShellQuote(wav.string())),
                                           "@OUT@", ShellQuote(out.string())) +
                                   " >/dev/null 2>&1") == 0;
                }
                return all;
            });
        }
        const double ratio = ours.cpu / theirs.cpu;
        std::printf("%s\n", codec.name);
        std::printf("  ours      wall %8.3f s  cpu %8.3f s\n", ours.wall, ours.cpu);
        std::printf("  %-9s wall %8.3f s  cpu %8.3f s\n", codec.tool, theirs.wall, theirs.cpu);
        std::printf("  cpu ratio ours / %s: %.3f (target <= %.2f) %s\n", codec.tool, ratio,
                    kCpuTarget, ratio <= kCpuTarget ? "meets" : "misses");
        std::fflush(stdout);
    }
    if (!ok) {
        std::fprintf(stderr, "an encode failed\n");
        return 1;
    }
    return 0;
}
