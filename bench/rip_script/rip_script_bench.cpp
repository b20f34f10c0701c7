// End to end: `sonfeld --rip` on a generated disc image in every format,
// against the script a user would write with the reference tools: every
// track read with cd-paranoia and encoded with the format's command-line
// encoder at our default settings, one track per core (WAV: cd-paranoia -B
// reading the whole disc). Each format also runs the encoder alone over the
// same WAV files, to show what ripping costs beyond encoding.
//
// Single runs on a shared machine swing widely, so every comparison is made
// of paired runs in alternating order, and each ratio is taken within its
// pair; the figures are the median and the spread (min-max) of the pairs.
//
// usage: rip_script_bench [wav-minutes] [encoded-minutes] [tracks]
//                         [--runs=N] [--formats=WAV,FLAC,APE,Ogg,Opus,MP3]

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "audio/core/dynamic_library.h"
#include "bench_harness.h"
#include "support/tools.h"

using namespace sonfeld;
using namespace sonfeld::bench;

namespace {

// The targets a rip must meet against the script and the encoders.
constexpr double kWallTarget = 1.00;
constexpr double kCpuTarget = 1.03;
constexpr double kPeakTargetMiB = 100;

struct Format {
    const char* name; // as --format takes it
    const char* tool; // the command-line encoder; null for WAV
    // The encoder's command for one track, @IN@ and @OUT@ standing for the
    // WAV file and the file to write.
    std::string encode;
    const char* extension;
    const char* shown; // the encoder as the report names it
};

std::vector<Format> AllFormats()
{
    // Our defaults: FLAC level 5, APE level 2000 on one thread (the script
    // runs one per core), Vorbis quality 0.2 (oggenc's 2), Opus 160 kbit/s
    // VBR, MP3 128 kbit/s.
    const std::string ape = "SONFELD_APE_THREADS=1 " + Q(InProgramFolder("ape_encode"));
    return {
        {"WAV", nullptr, "", ".wav", ""},
        {"FLAC", "flac", "flac -s -f -5 -o @OUT@ @IN@", ".flac", "flac -5"},
        {"APE", nullptr, ape + " @IN@ @OUT@", ".ape", "our APE encoder on one thread"},
        {"Ogg", "oggenc", "oggenc -Q -q 2 -o @OUT@ @IN@", ".ogg", "oggenc -q 2"},
        {"Opus", "opusenc", "opusenc --quiet --bitrate 160 --vbr @IN@ @OUT@", ".opus",
         "opusenc --bitrate 160 --vbr"},
        {"MP3", "lame", "lame --quiet -b 128 @IN@ @OUT@", ".mp3", "lame -b 128"},
    };
}

std::string Replace(std::string text, const std::string& what, const std::string& with)
{
    for (std::size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

// Runs perTrack once per track, jobs at a time, as `sh -c perTrack TRACK
// WAVS OUT`: inside, "$0" is the track's number, "$1" the folder of the WAV
// files and "$2" the folder to write to.
std::string PerTrack(int tracks, int jobs, const std::string& perTrack, const fs::path& wavs,
                     const fs::path& out)
{
    return "seq 1 " + std::to_string(tracks) + " | xargs -P " + std::to_string(jobs) +
           " -I{} sh -c " + test::ShellQuote(perTrack) + " {} " + Q(wavs) + " " + Q(out);
}

const std::string kTrackWav = "\"$1\"/t\"$0\".wav";
const std::string kRead = "cd-paranoia -q -d @CUE@ -w \"$0\" " + kTrackWav + " >/dev/null 2>&1";

std::string EncodeCommand(const Format& format)
{
    return Replace(Replace(format.encode, "@IN@", kTrackWav), "@OUT@",
                   "\"$2\"/\"$0\"" + std::string(format.extension));
}

// One paired run: ours and the references in the same round.
struct Round {
    Measure ours;
    Measure script;
    Measure encoder; // the encoder alone; not run for WAV
};

void PrintMeasures(const char* what, const std::vector<Measure>& runs, bool withPeak)
{
    const RunSpreads s = SpreadsOf(runs);
    std::printf("  %-24s wall %7.2f s [%7.2f-%7.2f]  cpu %7.2f s [%7.2f-%7.2f]", what,
                s.wall.median, s.wall.min, s.wall.max, s.cpu.median, s.cpu.min, s.cpu.max);
    if (withPeak)
        std::printf("  peak %4.0f MiB [%4.0f-%4.0f]", s.peakMiB.median, s.peakMiB.min,
                    s.peakMiB.max);
    std::printf("\n");
}

const char* Verdict(bool meets)
{
    return meets ? "meets" : "misses";
}

// The figures of one format, each the median and spread of its pairs.
struct Summary {
    std::string format;
    Spread wallRatio;
    Spread cpuRatio;
    Spread encoderCpuRatio;
    bool hasEncoder = false;
    Spread peakMiB;
    bool ok = true;
};

Summary Summarise(const Format& format, const std::vector<Round>& rounds)
{
    Summary s;
    s.format = format.name;
    s.hasEncoder = !format.encode.empty();
    for (const Round& r : rounds)
        s.ok = s.ok && r.ours.ok && r.script.ok && (!s.hasEncoder || r.encoder.ok);
    s.wallRatio =
        SpreadOf(Mapped(rounds, [](const Round& r) { return r.ours.wall / r.script.wall; }));
    s.cpuRatio = SpreadOf(Mapped(rounds, [](const Round& r) { return r.ours.cpu / r.script.cpu; }));
    if (s.hasEncoder)
        s.encoderCpuRatio =
            SpreadOf(Mapped(rounds, [](const Round& r) { return r.ours.cpu / r.encoder.cpu; }));
    s.peakMiB = SpreadOf(
        Mapped(rounds, [](const Round& r) { return static_cast<double>(r.ours.peakKiB) / 1024; }));
    return s;
}

void PrintRatio(const char* what, const Spread& ratio, double target)
{
    std::printf("  %-32s %5.2f [%5.2f-%5.2f]   target <= %.2f  %s\n", what, ratio.median, ratio.min,
                ratio.max, target, Verdict(ratio.median <= target));
}

void PrintTable(const std::vector<Summary>& summaries, int runs)
{
    std::printf("\nmedian [min-max] of %d paired runs; the verdict is the median's\n", runs);
    std::printf("%-5s | %-23s | %-23s | %-16s | %s\n", "", "wall / script (<= 1.00)",
                "cpu / script (<= 1.03)", "cpu / encoder", "peak MiB (< 100)");
    for (const Summary& s : summaries) {
        std::printf("%-5s | %4.2f [%4.2f-%4.2f] %-6s | %4.2f [%4.2f-%4.2f] %-6s | ",
                    s.format.c_str(), s.wallRatio.median, s.wallRatio.min, s.wallRatio.max,
                    Verdict(s.wallRatio.median <= kWallTarget), s.cpuRatio.median, s.cpuRatio.min,
                    s.cpuRatio.max, Verdict(s.cpuRatio.median <= kCpuTarget));
        if (s.hasEncoder)
            std::printf("%4.2f [%4.2f-%4.2f] | ", s.encoderCpuRatio.median, s.encoderCpuRatio.min,
                        s.encoderCpuRatio.max);
        else
            std::printf("%-16s | ", "(no encoder)");
        std::printf("%3.0f [%3.0f-%3.0f] %s%s\n", s.peakMiB.median, s.peakMiB.min, s.peakMiB.max,
                    Verdict(s.peakMiB.median < kPeakTargetMiB), s.ok ? "" : "  (a run failed)");
    }
}

int Usage()
{
    std::fprintf(stderr, "usage: rip_script_bench [wav-minutes] [encoded-minutes] [tracks] "
                         "[--runs=N] [--formats=WAV,FLAC,APE,Ogg,Opus,MP3]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    const Arguments arguments = ParseArguments(argc, argv);
    if (arguments.plain.size() > 3)
        return Usage();
    for (const auto& [name, value] : arguments.named)
        if (name != "runs" && name != "formats")
            return Usage();
    auto plain = [&](std::size_t i, int fallback) {
        return i < arguments.plain.size() ? std::atoi(arguments.plain[i].c_str()) : fallback;
    };
    const int wavMinutes = plain(0, 74);
    const int encodedMinutes = plain(1, 15);
    const int tracks = plain(2, 13);
    const int runs = std::atoi(arguments.Named("runs", "3").c_str());
    if (wavMinutes < 1 || encodedMinutes < 1 || tracks < 1 || tracks > 99 || runs < 1)
        return Usage();
    std::vector<Format> formats;
    const std::vector<std::string> wanted =
        SplitList(arguments.Named("formats", "WAV,FLAC,APE,Ogg,Opus,MP3"));
    for (const Format& format : AllFormats())
        if (std::find(wanted.begin(), wanted.end(), format.name) != wanted.end())
            formats.push_back(format);
    if (formats.size() != wanted.size())
        return Usage();
    if (!ToolsInstalled({"cd-paranoia", "xargs", "seq"}))
        return 2;
    for (const Format& format : formats)
        if (format.tool != nullptr && !ToolsInstalled({format.tool}))
            return 2;

    test::TempDir dir;
    IsolateSettings(dir.Path());
    const int cores = static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
    std::printf("images: %d min for WAV, %d min for the encoded formats, %d tracks; %d cores; "
                "%d paired runs\n",
                wavMinutes, encodedMinutes, tracks, cores, runs);
    std::fflush(stdout);
    const fs::path wavCue = MakeImage(dir.Path(), "long", wavMinutes, tracks);
    const fs::path cue = MakeImage(dir.Path(), "short", encodedMinutes, tracks);
    // The WAV files the encoders alone start from: the tracks as cd-paranoia reads them.
    const fs::path wavs = dir / "wavs";
    fs::create_directories(wavs);
    if (!Run(PerTrack(tracks, cores, Replace(kRead, "@CUE@", Q(cue)), wavs, wavs)).ok)
        return 1;

    int n = 0;
    // Every run writes into a folder of its own, removed once it is measured
    // (outside the measure), so the disk never holds more than one rip.
    auto measured = [&](const std::function<std::string(const fs::path&)>& command) {
        const fs::path out = dir / ("out" + std::to_string(++n));
        fs::create_directories(out);
        const Measure m = Run(command(out));
        fs::remove_all(out);
        return m;
    };

    std::vector<Summary> summaries;
    for (const Format& format : formats) {
        const bool wav = format.encode.empty();
        const fs::path& image = wav ? wavCue : cue;
        const std::string perCore =
            Replace(kRead, "@CUE@", Q(image)) + " && " + EncodeCommand(format);
        const auto ours = [&] {
            return measured([&](const fs::path& out) {
                return SonfeldRip(image, wav ? "Wav" : format.name, out);
            });
        };
        const auto script = [&] {
            return measured([&](const fs::path& out) {
                if (wav)
                    return "cd " + Q(out) + " && cd-paranoia -q -B -d " + Q(image) +
                           " >/dev/null 2>&1";
                return PerTrack(tracks, cores, perCore, out, out);
            });
        };
        const auto encoder = [&] {
            return measured([&](const fs::path& out) {
                return PerTrack(tracks, cores, EncodeCommand(format), wavs, out);
            });
        };
        std::printf("\n%s: %s\n", format.name,
                    wav ? "sonfeld against cd-paranoia -B"
                        : ("sonfeld against cd-paranoia and " + std::string(format.shown) +
                           ", one track per core")
                              .c_str());
        std::fflush(stdout);
        std::vector<Round> rounds(static_cast<std::size_t>(runs));
        for (int r = 0; r < runs; ++r) {
            Round& round = rounds[static_cast<std::size_t>(r)];
            // Alternating order, so neither side always runs on a warmer machine.
            if (r % 2 == 0) {
                round.ours = ours();
                round.script = script();
                if (!wav)
                    round.encoder = encoder();
            } else {
                if (!wav)
                    round.encoder = encoder();
                round.script = script();
                round.ours = ours();
            }
        }
        PrintMeasures("sonfeld", Mapped(rounds, [](const Round& r) { return r.ours; }), true);
        PrintMeasures(wav ? "cd-paranoia -B" : "script, one per core",
                      Mapped(rounds, [](const Round& r) { return r.script; }), true);
        if (!wav)
            PrintMeasures("encoder alone, per core",
                          Mapped(rounds, [](const Round& r) { return r.encoder; }), false);
        const Summary summary = Summarise(format, rounds);
        PrintRatio("wall ratio (sonfeld / script)", summary.wallRatio, kWallTarget);
        PrintRatio("cpu ratio (sonfeld / script)", summary.cpuRatio, kCpuTarget);
        if (!wav)
            std::printf("  %-32s %5.2f [%5.2f-%5.2f]   (reading not included: no target)\n",
                        "cpu ratio (sonfeld / encoder)", summary.encoderCpuRatio.median,
                        summary.encoderCpuRatio.min, summary.encoderCpuRatio.max);
        std::printf("  %-32s %5.0f [%5.0f-%5.0f]   target <  %.0f   %s%s\n", "peak MiB (sonfeld)",
                    summary.peakMiB.median, summary.peakMiB.min, summary.peakMiB.max,
                    kPeakTargetMiB, Verdict(summary.peakMiB.median < kPeakTargetMiB),
                    summary.ok ? "" : "  (a run failed)");
        std::fflush(stdout);
        summaries.push_back(summary);
    }
    PrintTable(summaries, runs);
    const bool allOk =
        std::all_of(summaries.begin(), summaries.end(), [](const Summary& s) { return s.ok; });
    return allOk ? 0 : 1;
}
