// End to end: `sonfeld --rip` on a generated disc image in every format,
// against the script a user would write with the reference tools, run one
// track at a time and with one encoder per core. Wall time, CPU time and peak
// memory of each run come from the process's own resource usage.
//
// usage: rip_script_bench [wav-minutes] [encoded-minutes] [tracks]

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

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
    // The shell waited for everything it started, so its record holds their
    // CPU time too; its peak is the largest single process's.
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

fs::path MakeImage(const fs::path& dir, const std::string& name, int minutes, int tracks)
{
    const disc_image::DiscSpec spec = disc_image::AlternatingToneAndNoiseDisc(minutes, tracks);
    const fs::path cue = dir / (name + ".cue");
    disc_image::WriteCueBin(spec, cue);
    test::RunCommand("cat " + Q(dir / (name + ".bin")) + " > /dev/null");
    return cue;
}

// The reference script: every track read with cd-paranoia, then encoded; with
// jobs > 1, xargs keeps that many tracks going at once.
std::string Script(const fs::path& cue, const fs::path& out, int tracks, const std::string& encode,
                   int jobs)
{
    std::string perTrack =
        "cd-paranoia -q -d " + Q(cue) + " -w \"$0\" " + Q(out) + "/t\"$0\".wav >/dev/null 2>&1";
    if (!encode.empty())
        perTrack += " && " + encode;
    return "seq 1 " + std::to_string(tracks) + " | xargs -P " + std::to_string(jobs) +
           " -I{} sh -c " + test::ShellQuote(perTrack) + " {}";
}

void Row(const char* what, const Measure& ours, const Measure& reference, const char* against)
{
    std::printf("%-5s sonfeld %7.2f s  cpu %7.2f s  peak %6ld MiB | %-26s %7.2f s  cpu %7.2f s"
                "  | wall ratio %.2f  cpu ratio %.2f%s\n",
                what, ours.wall, ours.cpu, ours.peakKiB / 1024, against, reference.wall,
                reference.cpu, ours.wall / reference.wall, ours.cpu / reference.cpu,
                ours.ok && reference.ok ? "" : "  (a run failed)");
}

} // namespace

int main(int argc, char** argv)
{
    const int wavMinutes = argc > 1 ? std::atoi(argv[1]) : 74;
    const int encodedMinutes = argc > 2 ? std::atoi(argv[2]) : 22;
    const int tracks = argc > 3 ? std::atoi(argv[3]) : 13;
    if (wavMinutes < 1 || encodedMinutes < 1 || tracks < 1 || tracks > 99) {
        std::fprintf(stderr, "usage: rip_script_bench [wav-minutes] [encoded-minutes] [tracks]\n");
        return 2;
    }
    for (const char* tool : {"cd-paranoia", "flac", "lame", "oggenc", "xargs"}) {
        if (!test::ToolAvailable(tool)) {
            std::fprintf(stderr, "%s is not installed\n", tool);
            return 2;
        }
    }
    const fs::path sonfeld = InProgramFolder("sonfeld");
    test::TempDir dir;
    // The settings a user has stored must not change what is measured.
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    // Every rip looks the disc up in AccurateRip and by name: here at a local
    // port that refuses at once, never the internet. The default "快速并校验"
    // then reads every track securely, as cd-paranoia does.
    const std::string closed = "http://127.0.0.1:" + std::to_string(test::UnusedLocalPort());
    fs::create_directories(dir / "config" / "Tessaly");
    std::ofstream(dir / "config" / "Tessaly" / "CDRip.conf")
        << "[General]\nAccurateRipServer=" << closed << "/accuraterip\nMusicBrainzServer=" << closed
        << "\nGnudbServer=" << closed << "\nCoverArtServer=" << closed << "\nCTDBServer=" << closed
        << "\n";
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const unsigned cores = std::max(1U, std::thread::hardware_concurrency());
    std::printf("images: %d min for WAV, %d min for the encoded formats, %d tracks; %u cores\n",
                wavMinutes, encodedMinutes, tracks, cores);
    const fs::path wavCue = MakeImage(dir.Path(), "long", wavMinutes, tracks);
    const fs::path cue = MakeImage(dir.Path(), "short", encodedMinutes, tracks);

    int n = 0;
    auto fresh = [&] {
        const fs::path out = dir / ("out" + std::to_string(++n));
        fs::create_directories(out);
        return out;
    };
    auto ours = [&](const fs::path& image, const char* format) {
        return Run(Q(sonfeld) + " --rip --image " + Q(image) + " --format " + format + " --out " +
                   Q(fresh()) + " >/dev/null 2>&1");
    };

    const Measure wav = ours(wavCue, "Wav");
    const Measure wavRef = Run(Script(wavCue, fresh(), tracks, "", 1));
    Row("WAV", wav, wavRef, "cd-paranoia, one by one");

    struct Encoded {
        const char* format;
        std::string encode;
    };
    const std::vector<Encoded> encoded = {
        {"FLAC", "flac -s -f -5 -o \"${0}.flac\" t\"$0\".wav"},
        {"MP3", "lame --quiet -b 128 t\"$0\".wav \"${0}.mp3\""},
        {"Ogg", "oggenc -Q -q 2 -o \"${0}.ogg\" t\"$0\".wav"},
    };
    for (const Encoded& e : encoded) {
        const Measure mine = ours(cue, e.format);
        const fs::path seqOut = fresh();
        const Measure seq =
            Run(Script(cue, seqOut, tracks, "cd " + Q(seqOut) + " && " + e.encode, 1));
        const fs::path parOut = fresh();
        const Measure par = Run(Script(cue, parOut, tracks, "cd " + Q(parOut) + " && " + e.encode,
                                       static_cast<int>(cores)));
        Row(e.format, mine, seq, "script, one by one");
        Row(e.format, mine, par, "script, one per core");
    }
    // APE has no reference tool: the script reads each track with cd-paranoia
    // and compresses it with our own encoder on one thread, one by one.
    const Measure ape = ours(cue, "Ape");
    const fs::path apeOut = fresh();
    const Measure apeRef =
        Run(Script(cue, apeOut, tracks,
                   "cd " + Q(apeOut) + " && SONFELD_APE_THREADS=1 " +
                       Q(InProgramFolder("ape_encode")) + " t\"$0\".wav \"${0}.ape\"",
                   1));
    Row("APE", ape, apeRef, "script, our encoder, 1 thr");
    return wav.ok && ape.ok && apeRef.ok ? 0 : 1;
}
