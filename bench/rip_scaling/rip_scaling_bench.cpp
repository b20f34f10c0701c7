// How `sonfeld --rip` of a generated disc image grows with the number of
// tracks (1, 13, 40 and 99 in 10 minutes) and with the length of the disc
// (10, 40 and 74 minutes in 13 tracks), per format: wall time, CPU time and
// peak memory of each rip. The slope of time over tracks at equal minutes is
// the cost every track adds whatever its length.
//
// usage: rip_scaling_bench [--runs=N] [--formats=Wav,FLAC,Ape,Ogg,Opus,MP3]
//                          [--tracks=1,13,40,99] [--minutes=10,40,74]
//   With N above 1 each point is the median of N rips. The track series is
//   taken at the first length, the length series at 13 tracks.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "bench_harness.h"
#include "support/tools.h"

using namespace sonfeld;
using namespace sonfeld::bench;

namespace {

constexpr int kMinuteSeriesTracks = 13;

struct Point {
    int minutes = 0;
    int tracks = 0;
    bool operator==(const Point&) const = default;
};

// The track series first, then the minute series; a point both share is
// measured once.
std::vector<Point> Points(const std::vector<int>& tracks, const std::vector<int>& minutes)
{
    std::vector<Point> points;
    points.reserve(tracks.size() + minutes.size());
    for (const int t : tracks)
        points.push_back({minutes.front(), t});
    for (const int m : minutes) {
        const Point point{m, kMinuteSeriesTracks};
        if (std::find(points.begin(), points.end(), point) == points.end())
            points.push_back(point);
    }
    return points;
}

// A list of whole numbers within [low, high]; empty when any item is not.
std::vector<int> Numbers(const std::string& list, int low, int high)
{
    std::vector<int> numbers;
    for (const std::string& item : SplitList(list)) {
        const int number = std::atoi(item.c_str());
        if (number < low || number > high || std::to_string(number) != item)
            return {};
        numbers.push_back(number);
    }
    return numbers;
}

using Result = RunSpreads;

int Usage()
{
    std::fprintf(stderr,
                 "usage: rip_scaling_bench [--runs=N] [--formats=Wav,FLAC,Ape,Ogg,Opus,MP3] "
                 "[--tracks=1,13,40,99] [--minutes=10,40,74]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    const Arguments arguments = ParseArguments(argc, argv);
    if (!arguments.plain.empty())
        return Usage();
    for (const auto& [name, value] : arguments.named)
        if (name != "runs" && name != "formats" && name != "tracks" && name != "minutes")
            return Usage();
    const int runs = std::atoi(arguments.Named("runs", "1").c_str());
    const std::vector<std::string> formats =
        SplitList(arguments.Named("formats", "Wav,FLAC,Ape,Ogg,Opus,MP3"));
    const std::vector<int> trackSeries = Numbers(arguments.Named("tracks", "1,13,40,99"), 1, 99);
    const std::vector<int> minuteSeries = Numbers(arguments.Named("minutes", "10,40,74"), 1, 79);
    if (runs < 1 || formats.empty() || trackSeries.empty() || minuteSeries.empty())
        return Usage();
    const int trackSeriesMinutes = minuteSeries.front();

    test::TempDir dir;
    IsolateSettings(dir.Path());
    const std::vector<Point> points = Points(trackSeries, minuteSeries);
    std::printf("sonfeld --rip of generated images, %d run(s) a point; median [min-max]\n", runs);
    std::printf("%-5s %4s %6s | %-22s | %-22s | %s\n", "", "min", "tracks", "wall s", "cpu s",
                "peak MiB");
    std::fflush(stdout);
    // results[format][point]; one image at a time is on the disk.
    std::map<std::string, std::vector<Result>> results;
    int n = 0;
    for (const Point& point : points) {
        if (point.tracks * 4 > point.minutes * 60) {
            // A CD track lasts at least 4 seconds.
            std::fprintf(stderr, "%d tracks do not fit in %d minutes\n", point.tracks,
                         point.minutes);
            return 2;
        }
        const fs::path cue = MakeImage(dir.Path(), "disc", point.minutes, point.tracks);
        for (const std::string& format : formats) {
            std::vector<Measure> measures;
            measures.reserve(static_cast<std::size_t>(runs));
            for (int r = 0; r < runs; ++r) {
                const fs::path out = dir / ("out" + std::to_string(++n));
                fs::create_directories(out);
                measures.push_back(Run(SonfeldRip(cue, format, out)));
                fs::remove_all(out);
            }
            const Result result = SpreadsOf(measures);
            std::printf("%-5s %4d %6d | %6.2f [%6.2f-%6.2f] | %6.2f [%6.2f-%6.2f] | "
                        "%4.0f [%4.0f-%4.0f]%s\n",
                        format.c_str(), point.minutes, point.tracks, result.wall.median,
                        result.wall.min, result.wall.max, result.cpu.median, result.cpu.min,
                        result.cpu.max, result.peakMiB.median, result.peakMiB.min,
                        result.peakMiB.max, result.ok ? "" : "  (a run failed)");
            std::fflush(stdout);
            results[format].push_back(result);
        }
        fs::remove(cue);
        fs::remove(fs::path(cue).replace_extension(".bin"));
    }

    std::printf("\nper-track fixed cost: slope of time over the track counts in %d min\n",
                trackSeriesMinutes);
    bool allOk = true;
    for (const std::string& format : formats) {
        std::vector<double> tracks;
        std::vector<double> wall;
        std::vector<double> cpu;
        tracks.reserve(points.size());
        wall.reserve(points.size());
        cpu.reserve(points.size());
        for (std::size_t i = 0; i < points.size(); ++i) {
            const Result& result = results[format][i];
            allOk = allOk && result.ok;
            if (points[i].minutes != trackSeriesMinutes ||
                std::find(trackSeries.begin(), trackSeries.end(), points[i].tracks) ==
                    trackSeries.end())
                continue;
            tracks.push_back(points[i].tracks);
            wall.push_back(result.wall.median);
            cpu.push_back(result.cpu.median);
        }
        std::printf("%-5s wall %7.1f ms/track  cpu %7.1f ms/track\n", format.c_str(),
                    Slope(tracks, wall) * 1000, Slope(tracks, cpu) * 1000);
    }
    return allOk ? 0 : 1;
}
