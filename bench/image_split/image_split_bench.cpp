// An APE + CUE album image split into FLAC tracks: `sonfeld --rip` against
// the script a user would write, ffmpeg decoding the APE file to WAV and flac
// encoding each track from it. Wall time, CPU time and peak memory of each
// run come from the process's own resource usage.
//
// usage: image_split_bench [minutes] [tracks]

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "audio/core/dynamic_library.h"
#include "bench_harness.h"
#include "disc_image.h"
#include "support/tools.h"

using namespace sonfeld;
using namespace sonfeld::bench;

int main(int argc, char** argv)
{
    const int minutes = argc > 1 ? std::atoi(argv[1]) : 60;
    const int tracks = argc > 2 ? std::atoi(argv[2]) : 12;
    if (minutes < 1 || tracks < 1 || tracks > 99) {
        std::fprintf(stderr, "usage: image_split_bench [minutes] [tracks]\n");
        return 2;
    }
    if (!ToolsInstalled({"ffmpeg", "flac"}))
        return 2;
    test::TempDir dir;
    IsolateSettings(dir.Path());

    // The album: a generated disc, its audio compressed by our own APE encoder.
    const disc_image::DiscSpec spec = disc_image::AlternatingToneAndNoiseDisc(minutes, tracks);
    const disc_image::DiscLayout layout = disc_image::WriteCueBin(spec, dir / "disc.cue");
    if (!Run("cd " + Q(dir.Path()) +
             " && ffmpeg -v error -y -f s16le -ar 44100 -ac 2 -i disc.bin disc.wav && " +
             Q(InProgramFolder("ape_encode")) + " disc.wav album.ape && rm disc.bin")
             .ok)
        return 1;
    {
        std::ifstream in(dir / "disc.cue");
        std::ofstream out(dir / "album.cue");
        for (std::string line; std::getline(in, line);)
            out << (line.rfind("FILE ", 0) == 0 ? std::string("FILE \"album.ape\" WAVE") : line)
                << '\n';
    }
    std::printf("image: %d min, %d tracks, APE %.1f MiB\n", minutes, tracks,
                static_cast<double>(fs::file_size(dir / "album.ape")) / (1 << 20));

    fs::create_directories(dir / "ours");
    const Measure ours = Run(SonfeldRip(dir / "album.cue", "FLAC", dir / "ours"));
    // The script: decode the whole APE file, then one flac run per track over
    // its samples (each track to the next one's INDEX 01, as ours are cut).
    std::string script = "cd " + Q(dir.Path()) +
                         " && mkdir -p script && ffmpeg -v error -y -i album.ape " +
                         "-map_metadata -1 -fflags +bitexact -flags:a +bitexact script/album.wav";
    for (std::size_t t = 0; t < layout.tracks.size(); ++t) {
        const std::int64_t from = layout.tracks[t].start * 588;
        script += " && flac -s -f -5 --skip=" + std::to_string(from);
        if (t + 1 < layout.tracks.size())
            script += " --until=" + std::to_string(layout.tracks[t + 1].start * 588);
        script += " script/album.wav -o script/" + std::to_string(t + 1) + ".flac";
    }
    const Measure reference = Run(script);

    std::printf("sonfeld  %7.2f s  cpu %7.2f s  peak %6ld MiB\n", ours.wall, ours.cpu,
                ours.peakKiB / 1024);
    std::printf("ffmpeg + flac per track  %7.2f s  cpu %7.2f s  peak %6ld MiB\n", reference.wall,
                reference.cpu, reference.peakKiB / 1024);
    std::printf("wall ratio (sonfeld / script) %.2f, cpu ratio %.2f%s\n",
                ours.wall / reference.wall, ours.cpu / reference.cpu,
                ours.ok && reference.ok ? "" : "  (a run failed)");
    return ours.ok && reference.ok ? 0 : 1;
}
