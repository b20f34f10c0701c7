// The program itself ripping a generated 74-minute disc image to FLAC in
// "快速并校验" (fast reading, every track confirmed by a local AccurateRip
// server) against "安全模式" (full paranoia), and against cd-paranoia plus
// the flac encoder on the same image, in one run. The image is a cdrdao TOC
// over a BIN file, which the library reads through libcdio-paranoia like a
// drive.
//
// usage: fast_verify_bench [minutes] [tracks]

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audio/cd/verify/reference_checksums.h"
#include "audio/core/dynamic_library.h"
#include "disc_image.h"
#include "support/http/http_test_server.h"
#include "support/tools.h"

using namespace sonfeld;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::int64_t EndOf(const disc_image::DiscLayout& layout, std::size_t i)
{
    return i + 1 < layout.tracks.size() ? layout.tracks[i + 1].start : layout.leadOut;
}

fs::path WriteToc(const disc_image::DiscLayout& layout, const fs::path& bin)
{
    fs::path toc = bin;
    toc.replace_extension(".toc");
    std::ofstream out(toc);
    out << "CD_DA\n";
    for (std::size_t i = 0; i < layout.tracks.size(); ++i)
        out << "\nTRACK AUDIO\nFILE \"" << bin.string() << "\" "
            << disc_image::CueTime(layout.tracks[i].start) << ' '
            << disc_image::CueTime(EndOf(layout, i) - layout.tracks[i].start) << '\n';
    return toc;
}

// The disc's database path and a file with one pressing of the image's true sums.
std::pair<QByteArray, QByteArray> Database(const disc_image::DiscLayout& layout,
                                           const fs::path& bin)
{
    const auto tracks = static_cast<std::uint32_t>(layout.tracks.size());
    std::uint32_t id1 = 0;
    std::uint32_t id2 = 0;
    std::uint32_t digits = 0;
    for (std::uint32_t i = 0; i < tracks; ++i) {
        const auto start = static_cast<std::uint32_t>(layout.tracks[i].start);
        id1 += start;
        id2 += std::max(start, 1u) * (i + 1);
        for (std::uint32_t seconds = (start + 150) / 75; seconds > 0; seconds /= 10)
            digits += seconds % 10;
    }
    const auto leadOut = static_cast<std::uint32_t>(layout.leadOut);
    id1 += leadOut;
    id2 += leadOut * (tracks + 1);
    const std::uint32_t length =
        (leadOut + 150) / 75 - (static_cast<std::uint32_t>(layout.tracks[0].start) + 150) / 75;
    const std::uint32_t freedb = ((digits % 255) << 24) | (length << 8) | tracks;
    char path[80];
    std::snprintf(path, sizeof path, "/%x/%x/%x/dBAR-%03u-%08x-%08x-%08x.bin", id1 & 0xF,
                  (id1 >> 4) & 0xF, (id1 >> 8) & 0xF, tracks, id1, id2, freedb);

    QByteArray file;
    auto put32 = [&file](std::uint32_t v) {
        for (int b = 0; b < 4; ++b)
            file.append(static_cast<char>((v >> (8 * b)) & 0xFF));
    };
    file.append(static_cast<char>(tracks));
    put32(id1);
    put32(id2);
    put32(freedb);
    std::ifstream in(bin, std::ios::binary);
    for (std::size_t i = 0; i < tracks; ++i) {
        std::vector<std::uint8_t> bytes(
            static_cast<std::size_t>((EndOf(layout, i) - layout.tracks[i].start) * 2352));
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        file.append(static_cast<char>(9));
        put32(verify::test::Reference(bytes, i == 0, i + 1 == tracks).v1);
        put32(0);
    }
    return {path, file};
}

double Timed(const std::string& command, bool* ok, std::string* output = nullptr)
{
    const auto start = Clock::now();
    *ok = test::RunCommand(command, output) == 0;
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const int minutes = argc > 1 ? std::atoi(argv[1]) : 74;
    const int tracks = argc > 2 ? std::atoi(argv[2]) : 18;
    if (minutes < 1 || tracks < 1 || tracks > 99 || minutes * 60 / tracks < 4) {
        std::fprintf(stderr, "usage: fast_verify_bench [minutes] [tracks]\n");
        return 2;
    }
    for (const char* tool : {"cd-paranoia", "flac"}) {
        if (!test::ToolAvailable(tool)) {
            std::fprintf(stderr, "%s is not installed\n", tool);
            return 2;
        }
    }
    test::TempDir dir;
    std::printf("making a %d-minute image of %d tracks...\n", minutes, tracks);
    const auto layout = disc_image::WriteCueBin(
        disc_image::AlternatingToneAndNoiseDisc(minutes, tracks), dir / "bench.cue");
    const fs::path bin = dir / "bench.bin";
    const fs::path toc = WriteToc(layout, bin);
    const double audioSeconds = static_cast<double>(layout.leadOut) / 75.0;

    test::HttpTestServer server;
    const auto [path, file] = Database(layout, bin);
    server.Serve(path, test::HttpReply{200, file, "application/octet-stream", {}, 0, false});
    const fs::path config = dir / "config";
    fs::create_directories(config / "Tessaly");
    // The name lookups of every rip go to a local port that refuses: never the internet.
    const std::string closed = "http://127.0.0.1:" + std::to_string(test::UnusedLocalPort());
    std::ofstream(config / "Tessaly" / "CDRip.conf")
        << "[General]\nAccurateRipServer=" << server.BaseUrl().toStdString()
        << "\nMusicBrainzServer=" << closed << "\nGnudbServer=" << closed
        << "\nCoverArtServer=" << closed << "\nCTDBServer=" << closed << "\n";
    test::RunCommand("cat " + test::ShellQuote(bin.string()) + " > /dev/null");

    auto rip = [&](const std::string& mode, bool* ok) {
        const fs::path out = dir / mode;
        fs::create_directories(out);
        return Timed("XDG_CONFIG_HOME=" + test::ShellQuote(config.string()) + " " +
                         test::ShellQuote(InProgramFolder("sonfeld")) + " --rip --image " +
                         test::ShellQuote(toc.string()) + " --format FLAC --out " +
                         test::ShellQuote(out.string()) + " --reading-mode " + mode +
                         " --require-accurate >/dev/null 2>&1",
                     ok);
    };
    bool fastOk = false;
    bool secureOk = false;
    const double fast = rip("fast-verify", &fastOk);
    const double secure = rip("secure", &secureOk);

    bool referenceOk = true;
    const auto referenceStart = Clock::now();
    for (int track = 1; track <= tracks; ++track) {
        const fs::path wav = dir / ("reference" + std::to_string(track) + ".wav");
        bool ok = false;
        Timed("cd-paranoia -q -X -d " + test::ShellQuote(toc.string()) + " -w " +
                  std::to_string(track) + " " + test::ShellQuote(wav.string()) +
                  " >/dev/null 2>&1 && flac -s -f --delete-input-file " +
                  test::ShellQuote(wav.string()),
              &ok);
        referenceOk = referenceOk && ok;
    }
    const double reference = std::chrono::duration<double>(Clock::now() - referenceStart).count();

    std::printf("audio: %.0f s (%d tracks), cdrdao TOC image read through libcdio-paranoia, "
                "ripped to FLAC\n",
                audioSeconds, tracks);
    std::printf("note: on an image no drive seeks or re-reads, so the difference between the "
                "modes is paranoia's CPU cost only; on a real drive secure reading also costs "
                "re-reads and a slower drive\n");
    std::printf("both program runs are pipelined (reading overlaps encoding, no pause between "
                "tracks); a fast read the database rejects is read again securely\n");
    std::printf("fast, then verify: %.2f s, %.1f x real time%s\n", fast, audioSeconds / fast,
                fastOk ? "" : " (FAILED or not every track accurate)");
    std::printf("secure:            %.2f s, %.1f x real time%s\n", secure, audioSeconds / secure,
                secureOk ? "" : " (FAILED or not every track accurate)");
    std::printf("cd-paranoia+flac:  %.2f s, %.1f x real time%s\n", reference,
                audioSeconds / reference, referenceOk ? "" : " (FAILED)");
    std::printf("ratio secure / fast-then-verify: %.2f (above 1: fast-then-verify is faster)\n",
                secure / fast);
    std::printf("ratio cd-paranoia+flac / fast-then-verify: %.2f\n", reference / fast);
    std::printf("ratio cd-paranoia+flac / secure: %.2f\n", reference / secure);
    return fastOk && secureOk && referenceOk ? 0 : 1;
}
