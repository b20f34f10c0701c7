// What each reading mode costs on a clean disc: a generated image read track
// by track in fast mode (one plain read through paranoia with its checks off),
// in secure mode (every sector twice, past the drive's cache, compared by
// checksum), in old-drive mode (paranoia's overlap matching, the secure mode
// of earlier versions, checked against a plain second pass), and by
// cd-paranoia over the same image.
//
// The program reads every image straight from its files whatever the mode, so
// going through it would time one file read per mode. Here the CR_ library's
// secure reader runs over libcdio's own cdrdao TOC driver instead, read with
// the same libcdio calls as a drive (cdio_cddap_read, paranoia), as
// cd-paranoia reads the same TOC: the difference between the modes is the
// second pass and the comparing. An image has no cache, seeks or read errors,
// so on a real drive the second pass also costs the drive's time again.
//
// usage: read_mode_bench [minutes] [tracks]

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <cdio/cdio.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include "bench_disc.h"
#include "disc_image.h"
#include "secure_reader.h"
#include "support/tools.h"

using namespace sonfeld;
using Clock = std::chrono::steady_clock;

namespace {

std::filesystem::path WriteToc(const disc_image::DiscLayout& layout,
                               const std::filesystem::path& bin)
{
    auto toc = bin;
    toc.replace_extension(".toc");
    std::ofstream out(toc);
    out << "CD_DA\n";
    for (std::size_t i = 0; i < layout.tracks.size(); ++i) {
        const std::int64_t end =
            i + 1 < layout.tracks.size() ? layout.tracks[i + 1].start : layout.leadOut;
        // libcdio opens the file named here from the working folder, so the path is absolute.
        out << "\nTRACK AUDIO\nFILE \"" << bin.string() << "\" "
            << disc_image::CueTime(layout.tracks[i].start) << ' '
            << disc_image::CueTime(end - layout.tracks[i].start) << '\n';
    }
    return toc;
}

// The track's bytes as the BIN file holds them.
std::vector<char> SourceBytes(const std::filesystem::path& bin,
                              const disc_image::DiscLayout& layout, int track)
{
    const auto i = static_cast<std::size_t>(track - 1);
    const std::int64_t end =
        i + 1 < layout.tracks.size() ? layout.tracks[i + 1].start : layout.leadOut;
    std::vector<char> bytes(static_cast<std::size_t>((end - layout.tracks[i].start) * 2352));
    std::ifstream in(bin, std::ios::binary);
    in.seekg(layout.tracks[i].start * 2352);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

constexpr int kSectorBytes = 2352;
constexpr int kChunkSectors = 26; // the library's chunk: a few per second of audio

// The image opened through libcdio's cdrdao driver as a drive would be, with
// paranoia over it when the mode wants one.
class ImageDrive {
public:
    ImageDrive(const std::filesystem::path& toc, int paranoiaMode)
    {
        CdIo_t* cdio = cdio_open(toc.c_str(), DRIVER_CDRDAO);
        if (cdio == nullptr)
            return;
        drive_ = cdio_cddap_identify_cdio(cdio, CDDA_MESSAGE_FORGETIT, nullptr);
        if (drive_ == nullptr) {
            cdio_destroy(cdio);
            return;
        }
        cdio_cddap_verbose_set(drive_, CDDA_MESSAGE_FORGETIT, CDDA_MESSAGE_FORGETIT);
        drive_->bigendianp = 0; // as the library: image files hold little-endian samples
        if (cdio_cddap_open(drive_) != 0)
            return;
        if (paranoiaMode >= 0) {
            paranoia_ = cdio_paranoia_init(drive_);
            if (paranoia_ != nullptr)
                cdio_paranoia_modeset(paranoia_, paranoiaMode);
        }
        ready_ = paranoiaMode < 0 || paranoia_ != nullptr;
    }
    ~ImageDrive()
    {
        if (paranoia_ != nullptr)
            cdio_paranoia_free(paranoia_);
        if (drive_ != nullptr)
            cdio_cddap_close(drive_);
    }
    ImageDrive(const ImageDrive&) = delete;
    ImageDrive& operator=(const ImageDrive&) = delete;

    bool Ready() const { return ready_; }
    cdrom_drive_t* Drive() const { return drive_; }
    cdrom_paranoia_t* Paranoia() const { return paranoia_; }

private:
    cdrom_drive_t* drive_ = nullptr;
    cdrom_paranoia_t* paranoia_ = nullptr;
    bool ready_ = false;
};

// Plain reads, as the library's secure reader makes them of a drive.
class PlainSource : public cdrip::SectorSource {
public:
    explicit PlainSource(cdrom_drive_t* drive) : drive_(drive) {}
    bool Read(std::int32_t first, int count, std::uint8_t* out, std::uint8_t* c2) override
    {
        if (c2 != nullptr)
            std::memset(c2, 0, static_cast<std::size_t>(count));
        const int step = std::max(static_cast<int>(drive_->nsectors), 1);
        for (int done = 0; done < count;) {
            const int n = std::min(step, count - done);
            if (cdio_cddap_read(drive_, out + (static_cast<std::size_t>(done) * kSectorBytes),
                                first + done, n) != n)
                return false;
            done += n;
        }
        return true;
    }

private:
    cdrom_drive_t* drive_;
};

void Quiet(long, paranoia_cb_mode_t)
{
}

// paranoia's stream: fast mode's only read, old-drive mode's first pass.
class ParanoiaSource : public cdrip::SectorSource {
public:
    explicit ParanoiaSource(cdrom_paranoia_t* paranoia) : paranoia_(paranoia) {}
    bool Read(std::int32_t first, int count, std::uint8_t* out, std::uint8_t* c2) override
    {
        if (c2 != nullptr)
            std::memset(c2, 0, static_cast<std::size_t>(count));
        if (first != next_)
            cdio_paranoia_seek(paranoia_, first, SEEK_SET);
        for (int i = 0; i < count; ++i) {
            const std::int16_t* samples = cdio_paranoia_read_limited(paranoia_, Quiet, 20);
            if (samples == nullptr) {
                next_ = -1;
                return false;
            }
            std::memcpy(out + (static_cast<std::size_t>(i) * kSectorBytes), samples, kSectorBytes);
        }
        next_ = first + count;
        return true;
    }

private:
    cdrom_paranoia_t* paranoia_;
    std::int32_t next_ = -1;
};

enum class Mode { Fast, Secure, OldDrive };

struct ModeRun {
    double seconds = 0;
    int differing = 0;        // tracks whose audio differs from the source
    int suspicious = 0;       // sectors the secure reader could not prove
    std::int64_t sectors = 0; // sectors read from the image in all
    bool failed = false;
};

// Reads every track into memory as the mode reads it.
ModeRun ReadAll(Mode mode, const std::filesystem::path& toc, const std::filesystem::path& bin,
                const disc_image::DiscLayout& layout)
{
    ModeRun run;
    const int paranoiaMode = mode == Mode::Fast       ? PARANOIA_MODE_DISABLE
                             : mode == Mode::OldDrive ? PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP
                                                      : -1;
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(kChunkSectors) * kSectorBytes);
    for (std::size_t i = 0; i < layout.tracks.size(); ++i) {
        const auto first = static_cast<std::int32_t>(layout.tracks[i].start);
        const auto end = static_cast<std::int32_t>(
            i + 1 < layout.tracks.size() ? layout.tracks[i + 1].start : layout.leadOut);
        std::vector<std::uint8_t> got;
        got.reserve(static_cast<std::size_t>(end - first) * kSectorBytes);
        const auto start = Clock::now();
        // Each rip opens the drive afresh, as the library does.
        const ImageDrive drive(toc, paranoiaMode);
        if (!drive.Ready()) {
            run.failed = true;
            return run;
        }
        PlainSource plain(drive.Drive());
        std::unique_ptr<ParanoiaSource> paranoia;
        if (drive.Paranoia() != nullptr)
            paranoia = std::make_unique<ParanoiaSource>(drive.Paranoia());
        cdrip::ProblemLog problems;
        std::unique_ptr<cdrip::SecureReader> secure;
        if (mode != Mode::Fast)
            secure = std::make_unique<cdrip::SecureReader>(
                plain, paranoia.get(), problems, end, 0, static_cast<std::int32_t>(layout.leadOut),
                cdrip::SecureSettings{});
        for (std::int32_t at = first; at < end; at += kChunkSectors) {
            const int count = std::min(kChunkSectors, end - at);
            const bool ok = secure ? secure->Read(at, count, chunk.data())
                                   : paranoia->Read(at, count, chunk.data(), nullptr);
            if (!ok) {
                run.failed = true;
                return run;
            }
            got.insert(got.end(), chunk.begin(),
                       chunk.begin() + (static_cast<std::ptrdiff_t>(count) * kSectorBytes));
        }
        run.seconds += std::chrono::duration<double>(Clock::now() - start).count();
        run.sectors += secure ? secure->SectorsRead() : end - first;
        run.suspicious += problems.Suspicious();
        const std::vector<char> source = SourceBytes(bin, layout, static_cast<int>(i) + 1);
        if (!std::equal(got.begin(), got.end(), source.begin(), source.end(),
                        [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); }))
            ++run.differing;
    }
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    test::TempDir dir;
    const std::optional<bench::BenchDisc> disc =
        bench::MakeBenchDisc(argc, argv, "read_mode_bench", dir.Path());
    if (!disc)
        return 2;
    const int tracks = disc->tracks;
    const std::int64_t totalSectors = disc->totalSectors;
    const double audioSeconds = disc->audioSeconds;
    const auto& layout = disc->layout;
    const auto bin = dir / "bench.bin";
    const auto toc = WriteToc(layout, bin);
    test::RunCommand("cat " + test::ShellQuote(bin.string()) + " > /dev/null");

    const ModeRun fast = ReadAll(Mode::Fast, toc, bin, layout);
    const ModeRun secure = ReadAll(Mode::Secure, toc, bin, layout);
    const ModeRun oldDrive = ReadAll(Mode::OldDrive, toc, bin, layout);
    if (fast.failed || secure.failed || oldDrive.failed) {
        std::fprintf(stderr, "libcdio could not read the TOC image\n");
        return 1;
    }

    const auto referenceStart = Clock::now();
    int referenceDiffering = 0;
    for (int track = 1; track <= tracks; ++track) {
        const auto file = dir / "reference.wav";
        const std::string command = "cd-paranoia -q -X -d " + test::ShellQuote(toc.string()) +
                                    " -w " + std::to_string(track) + " " +
                                    test::ShellQuote(file.string()) + " >/dev/null 2>&1";
        if (test::RunCommand(command) != 0) {
            std::fprintf(stderr, "cd-paranoia failed on track %d\n", track);
            return 1;
        }
        const auto wav = test::ReadFileBytes(file);
        const std::vector<char> source = SourceBytes(bin, layout, track);
        if (wav.size() != source.size() + 44 ||
            !std::equal(source.begin(), source.end(), wav.begin() + 44,
                        [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }))
            ++referenceDiffering;
    }
    const double reference = std::chrono::duration<double>(Clock::now() - referenceStart).count();

    const auto perSector = [totalSectors](const ModeRun& run) {
        return static_cast<double>(run.sectors) / static_cast<double>(totalSectors);
    };
    std::printf("audio: %.0f s (%d tracks), a cdrdao TOC image read through libcdio's driver\n",
                audioSeconds, tracks);
    std::printf("note: an image has no cache, seeks or read errors: on a real drive the second "
                "secure pass also costs the drive's time for the same sectors again\n");
    std::printf("fast mode:       %.2f s, %.1f x real time (one read through paranoia, "
                "checks off)\n",
                fast.seconds, audioSeconds / fast.seconds);
    std::printf("secure mode:     %.2f s, %.1f x real time (%.2f sectors read per audio sector, "
                "unproven sectors %d)\n",
                secure.seconds, audioSeconds / secure.seconds, perSector(secure),
                secure.suspicious);
    std::printf("old-drive mode:  %.2f s, %.1f x real time (paranoia + plain check, %.2f sectors "
                "read per audio sector, unproven sectors %d)\n",
                oldDrive.seconds, audioSeconds / oldDrive.seconds, perSector(oldDrive),
                oldDrive.suspicious);
    std::printf("cd-paranoia:     %.2f s, %.1f x real time (a process per track, writing WAV "
                "files)\n",
                reference, audioSeconds / reference);
    std::printf("ratio secure / fast (the second pass): %.2f\n", secure.seconds / fast.seconds);
    std::printf("ratio secure / old-drive: %.2f\n", secure.seconds / oldDrive.seconds);
    std::printf("ratio secure / cd-paranoia: %.2f\n", secure.seconds / reference);
    std::printf("ratio old-drive / cd-paranoia: %.2f\n", oldDrive.seconds / reference);
    std::printf("tracks differing from the source: fast %d, secure %d, old-drive %d, "
                "cd-paranoia %d\n",
                fast.differing, secure.differing, oldDrive.differing, referenceDiffering);
    return fast.differing + secure.differing + oldDrive.differing == 0 ? 0 : 1;
}
