// An APE + CUE album image split into FLAC tracks: `sonfeld --rip` against
// the script a user would write, ffmpeg decoding the APE file to WAV and flac
// encoding each track from it. Wall time, CPU time and peak memory of each
// run come from the process's own resource usage.
//
// usage: image_split_bench [minutes] [tracks]

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "audio/core/dynamic_library.h"
#include "disc_image.h"
#include "support/http/http_test_server.h"
#include "support/tools.h"

using namespace sonfeld;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Measure {
    double wall = 0;
    double cpu = 0;
    long peakKiB = 0;
    bool ok = true;
};

double Seconds(const timeval& t)
{
    return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6;
}

// Runs a shell command and measures it with everything it started.
Measure Run(const std::string& command)
{
    Measure m;
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    m.wall = std::chrono::duration<double>(Clock::now() - start).count();
    // The shell waited for everything it started: its record holds their CPU
    // time too; its peak is the largest single process's.
    m.cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    m.peakKiB = usage.ru_maxrss;
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!m.ok)
        std::fprintf(stderr, "failed: %s\n", command.c_str());
    return m;
}

std::string Q(const fs::path& path)
{
    return test::ShellQuote(path.string());
}

} // namespace

int main(int argc, char** argv)
{
    const int minutes = argc > 1 ? std::atoi(argv[1]) : 60;
    const int tracks = argc > 2 ? std::atoi(argv[2]) : 12;
    if (minutes < 1 || tracks < 1 || tracks > 99) {
        std::fprintf(stderr, "usage: image_split_bench [minutes] [tracks]\n");
        return 2;
    }
    for (const char* tool : {"ffmpeg", "flac"}) {
        if (!test::ToolAvailable(tool)) {
            std::fprintf(stderr, "%s is not installed\n", tool);
            return 2;
        }
    }
    test::TempDir dir;
    // The settings a user has stored must not change what is measured, and
    // every lookup goes to a local port that refuses at once.
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    const std::string closed = "http://127.0.0.1:" + std::to_string(test::UnusedLocalPort());
    fs::create_directories(dir / "config" / "Tessaly");
    std::ofstream(dir / "config" / "Tessaly" / "CDRip.conf")
        << "[General]\nAccurateRipServer=" << closed << "/accuraterip\nMusicBrainzServer=" << closed
        << "\nGnudbServer=" << closed << "\nCoverArtServer=" << closed << "\n";
    setenv("QT_QPA_PLATFORM", "offscreen", 1);

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
    const Measure ours =
        Run(Q(InProgramFolder("sonfeld")) + " --rip --image " + Q(dir / "album.cue") +
            " --format FLAC --out " + Q(dir / "ours") + " >/dev/null 2>&1");
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
