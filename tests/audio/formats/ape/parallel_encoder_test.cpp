// The compressor with frames encoded on worker threads against the same
// compressor on the calling thread: the files must be identical byte for
// byte, and failures must end with every worker joined.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>

#include "ape_compressor.h"
#include "ape_test_files.h"
#include "format_constants.h"
#include "frame_pipeline.h"
#include "support/file_size_limit.h"
#include "support/signals.h"
#include "support/tools.h"

namespace sonfeld::test::ape {
namespace {

using sonfeld::ape::ApeCompressor;
using sonfeld::ape::BlocksPerFrame;
using sonfeld::ape::FramePipeline;

struct Format {
    int channels = 2;
    int bits = 16;
};

struct Encoding {
    int code = 0; // the first non-zero code of any call, else Finish's
    std::vector<std::uint8_t> file;
};

TWaveFormatEx WaveFormat(const Format& f)
{
    TWaveFormatEx format{};
    format.wFormatTag = 1;
    format.nChannels = static_cast<std::uint16_t>(f.channels);
    format.nSamplesPerSec = 44100;
    format.nBlockAlign = static_cast<std::uint16_t>(f.channels * f.bits / 8);
    format.nAvgBytesPerSec = 44100u * format.nBlockAlign;
    format.wBitsPerSample = static_cast<std::uint16_t>(f.bits);
    return format;
}

// Hands pcm to the compressor in pieces of at most pieceBytes and returns the
// file written.
Encoding Encode(const std::filesystem::path& file, const std::vector<std::uint8_t>& pcm,
                const Format& f, int level, unsigned workers, bool announce,
                std::size_t pieceBytes = 65536)
{
    const TWaveFormatEx format = WaveFormat(f);
    ApeCompressor compressor;
    compressor.SetWorkers(workers);
    Encoding run;
    run.code = compressor.Start(file.string().c_str(), &format,
                                announce ? static_cast<int>(pcm.size()) : -1, level, nullptr, 0);
    std::size_t done = 0;
    while (run.code == 0 && done < pcm.size()) {
        int room = 0;
        std::uint8_t* target = compressor.LockBuffer(&room);
        const std::size_t piece =
            std::min({static_cast<std::size_t>(room), pcm.size() - done, pieceBytes});
        if (piece > 0)
            std::memcpy(target, pcm.data() + done, piece);
        run.code = compressor.UnlockBuffer(static_cast<int>(piece));
        done += piece;
    }
    const int finish = compressor.Finish(nullptr, 0, 0);
    if (run.code == 0)
        run.code = finish;
    if (std::filesystem::exists(file))
        run.file = ReadFileBytes(file);
    return run;
}

// Interleaved PCM of the given format from a 16-bit generated signal: 8-bit
// keeps the high byte (unsigned), 24-bit adds a varying low byte.
std::vector<std::uint8_t> Pcm(Signal signal, int blocks, const Format& f, unsigned seed = 1)
{
    const auto samples = MakeSamples(signal, blocks, f.channels, 44100, 0.7, seed);
    if (f.bits == 16)
        return ToBytes(samples);
    std::vector<std::uint8_t> out;
    out.reserve(samples.size() * static_cast<std::size_t>(f.bits / 8));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto s = static_cast<std::uint16_t>(samples[i]);
        if (f.bits == 8) {
            out.push_back(static_cast<std::uint8_t>((s >> 8) ^ 0x80));
        } else {
            out.push_back(static_cast<std::uint8_t>(i * 37));
            out.push_back(static_cast<std::uint8_t>(s));
            out.push_back(static_cast<std::uint8_t>(s >> 8));
        }
    }
    return out;
}

// The threads of this process, workers included.
std::size_t ThreadCount()
{
    // ThreadSanitizer starts a helper thread of its own along with the first
    // thread the program makes: let that happen before anything is counted.
    static const bool settled = [] {
        std::thread([] {}).join();
        return true;
    }();
    static_cast<void>(settled);
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

// Compares the parallel file with the single-threaded one; the workers are
// more than the cores here, so frames finish out of order.
void ExpectSameFile(const std::vector<std::uint8_t>& pcm, const Format& f, int level, bool announce)
{
    TempDir dir;
    const Encoding single = Encode(dir / "single.ape", pcm, f, level, 1, announce);
    ASSERT_EQ(single.code, 0);
    ASSERT_GT(single.file.size(), 76u);
    for (const unsigned workers : {2u, 3u}) {
        SCOPED_TRACE(workers);
        // An odd piece size: frames end in the middle of a piece.
        const Encoding parallel =
            Encode(dir / "parallel.ape", pcm, f, level, workers, announce, 40000 + 1);
        ASSERT_EQ(parallel.code, 0);
        EXPECT_TRUE(parallel.file == single.file)
            << "sizes " << parallel.file.size() << " and " << single.file.size();
    }
}

TEST(ApeParallel, SameFileForEverySignalAndLevel)
{
    // More frames than the ring holds (music), and a last frame that is not
    // full. The other signals only at the default level: this is slow under
    // the thread checker.
    const Signal signals[] = {Signal::Music,  Signal::Noise, Signal::Sweep,
                              Signal::Square, Signal::Sine,  Signal::Silence};
    for (const int level : {1000, 2000, 3000, 4000}) {
        SCOPED_TRACE(level);
        const auto frame = static_cast<int>(BlocksPerFrame(level));
        for (const Signal signal : signals) {
            if (level != 2000 && signal != Signal::Music)
                continue;
            const int frames = level == 4000 ? 1 : signal == Signal::Music ? 7 : 3;
            const int blocks = frames * frame + 4321;
            SCOPED_TRACE(static_cast<int>(signal));
            const auto pcm = Pcm(signal, blocks, Format{}, 7);
            ExpectSameFile(pcm, Format{}, level, true);
        }
    }
}

TEST(ApeParallel, SameFileForEveryBitDepthChannelCountAndSizeMode)
{
    const Format formats[] = {{1, 16}, {2, 8}, {1, 8}, {2, 24}, {1, 24}};
    for (const Format& f : formats) {
        SCOPED_TRACE(std::to_string(f.channels) + " channels, " + std::to_string(f.bits) + " bits");
        const auto pcm = Pcm(Signal::Music, 3 * 73728 + 999, f, 3);
        ExpectSameFile(pcm, f, 2000, true);
        ExpectSameFile(pcm, f, 2000, false);
    }
    // An unknown size gives the file of the known one; workers on both sides.
    TempDir dir;
    const auto pcm = Pcm(Signal::Noise, 4 * 73728 + 1, Format{}, 5);
    const Encoding known = Encode(dir / "known.ape", pcm, Format{}, 3000, 2, true);
    const Encoding unknown = Encode(dir / "unknown.ape", pcm, Format{}, 3000, 2, false);
    ASSERT_EQ(known.code, 0);
    ASSERT_EQ(unknown.code, 0);
    EXPECT_TRUE(known.file == unknown.file);
}

TEST(ApeParallel, SameFileForInputsAroundOneFrame)
{
    const int frame = 73728;
    for (const int blocks : {1, 2, 1000, frame - 1, frame, frame + 1, 2 * frame}) {
        SCOPED_TRACE(blocks);
        const auto pcm = Pcm(Signal::Music, blocks, Format{}, 11);
        ExpectSameFile(pcm, Format{}, 2000, true);
        ExpectSameFile(pcm, Format{}, 2000, false);
    }
}

TEST(ApeParallel, ParallelFileDecodesBitExactWithFfmpeg)
{
    if (!ToolAvailable("ffmpeg"))
        GTEST_SKIP() << "ffmpeg not installed";
    TempDir dir;
    const auto pcm = Pcm(Signal::Music, 6 * 73728 + 77, Format{}, 2);
    const Encoding run = Encode(dir / "p.ape", pcm, Format{}, 2000, 3, false);
    ASSERT_EQ(run.code, 0);
    const Decoded decoded = FfmpegCrcDecode(dir / "p.ape");
    EXPECT_EQ(decoded.status, 0);
    EXPECT_FALSE(decoded.crcMismatch);
    EXPECT_TRUE(decoded.pcm == pcm);
}

TEST(ApeParallel, DefaultWorkersFollowTheEnvironment)
{
    const char* previous = std::getenv("SONFELD_APE_THREADS");
    const std::string saved = previous != nullptr ? previous : "";
    const unsigned cores =
        std::clamp(std::thread::hardware_concurrency(), 1u, FramePipeline::kMaxWorkers);
    const std::pair<const char*, unsigned> cases[] = {
        {"1", 1},      {"3", 3},   {"100", FramePipeline::kMaxWorkers}, {"0", cores}, {"-2", cores},
        {"2x", cores}, {"", cores}};
    for (const auto& [value, workers] : cases) {
        SCOPED_TRACE(value);
        setenv("SONFELD_APE_THREADS", value, 1);
        EXPECT_EQ(FramePipeline::DefaultWorkers(), workers);
    }
    unsetenv("SONFELD_APE_THREADS");
    EXPECT_EQ(FramePipeline::DefaultWorkers(), cores);
    if (previous != nullptr)
        setenv("SONFELD_APE_THREADS", saved.c_str(), 1);
}

// Feeds whole frames until a call fails; returns the failing code.
int FeedUntilFailure(ApeCompressor& compressor, const std::vector<std::uint8_t>& pcm)
{
    std::size_t done = 0;
    while (done < pcm.size()) {
        int room = 0;
        std::uint8_t* target = compressor.LockBuffer(&room);
        if (target == nullptr)
            return -1;
        const std::size_t piece = std::min(static_cast<std::size_t>(room), pcm.size() - done);
        std::memcpy(target, pcm.data() + done, piece);
        done += piece;
        if (const int code = compressor.UnlockBuffer(static_cast<int>(piece)))
            return code;
    }
    return 0;
}

TEST(ApeParallel, FullDiskFailsLikeOneThreadAndJoinsTheWorkers)
{
    const std::size_t baseline = ThreadCount();
    const TWaveFormatEx format = WaveFormat(Format{});
    if (std::filesystem::exists("/dev/full")) {
        // Full from the start: the reserved headers cannot be written.
        for (const unsigned workers : {1u, 2u}) {
            ApeCompressor compressor;
            compressor.SetWorkers(workers);
            EXPECT_EQ(compressor.Start("/dev/full", &format, -1, 2000, nullptr, 0),
                      APE_ERROR_IO_WRITE);
            EXPECT_EQ(ThreadCount(), baseline);
            int room = -1;
            EXPECT_EQ(compressor.LockBuffer(&room), nullptr);
            EXPECT_EQ(room, 0);
            EXPECT_EQ(compressor.UnlockBuffer(0), APE_ERROR_IO_WRITE);
            EXPECT_EQ(compressor.Finish(nullptr, 0, 0), APE_ERROR_IO_WRITE);
        }
    }

    // Full while frames are written: the reserved headers (about 29 KB) fit,
    // the first frame of noise does not.
    TempDir dir;
    const auto pcm = MakePcm(Signal::Noise, 20 * 73728, 2, 44100, 1.0);
    const FileSizeLimit limit(40000);
    for (const unsigned workers : {1u, 2u, 3u}) {
        SCOPED_TRACE(workers);
        ApeCompressor compressor;
        compressor.SetWorkers(workers);
        ASSERT_EQ(
            compressor.Start((dir / "full.ape").string().c_str(), &format, -1, 2000, nullptr, 0),
            0);
        EXPECT_EQ(ThreadCount(), baseline + (workers > 1 ? workers : 0));
        // At most twice the workers' frames are in flight before one is written.
        EXPECT_EQ(FeedUntilFailure(compressor, pcm), APE_ERROR_IO_WRITE);
        EXPECT_EQ(ThreadCount(), baseline);
        int room = -1;
        EXPECT_EQ(compressor.LockBuffer(&room), nullptr);
        EXPECT_EQ(compressor.UnlockBuffer(0), APE_ERROR_IO_WRITE);
        EXPECT_EQ(compressor.Finish(nullptr, 0, 0), APE_ERROR_IO_WRITE);
    }

    // Fewer frames than the ring holds: the failure may show only at Finish.
    const auto shortPcm = MakePcm(Signal::Noise, 2 * 73728 + 10, 2, 44100, 1.0);
    const Encoding run = Encode(dir / "short.ape", shortPcm, Format{}, 2000, 3, false);
    EXPECT_EQ(run.code, APE_ERROR_IO_WRITE);
    EXPECT_EQ(ThreadCount(), baseline);
}

TEST(ApeParallel, AbandonedAndFinishedCompressorsJoinTheirWorkers)
{
    const std::size_t baseline = ThreadCount();
    const TWaveFormatEx format = WaveFormat(Format{});
    const auto pcm = MakePcm(Signal::Music, 9 * 73728, 2);
    TempDir dir;
    {
        // Dropped with frames in flight, never finished.
        auto compressor = std::make_unique<ApeCompressor>();
        compressor->SetWorkers(3);
        ASSERT_EQ(compressor->Start((dir / "dropped.ape").string().c_str(), &format, -1, 2000,
                                    nullptr, 0),
                  0);
        EXPECT_EQ(ThreadCount(), baseline + 3);
        EXPECT_EQ(FeedUntilFailure(*compressor, pcm), 0);
        compressor.reset();
        EXPECT_EQ(ThreadCount(), baseline);
    }
    {
        ApeCompressor compressor;
        compressor.SetWorkers(2);
        ASSERT_EQ(compressor.Start((dir / "finished.ape").string().c_str(), &format, -1, 2000,
                                   nullptr, 0),
                  0);
        EXPECT_EQ(FeedUntilFailure(compressor, pcm), 0);
        EXPECT_EQ(compressor.Finish(nullptr, 0, 0), 0);
        EXPECT_EQ(ThreadCount(), baseline);
    }
    {
        // A known size of one frame leaves nothing to do in parallel.
        ApeCompressor compressor;
        compressor.SetWorkers(2);
        ASSERT_EQ(compressor.Start((dir / "one.ape").string().c_str(), &format, 73728 * 4, 2000,
                                   nullptr, 0),
                  0);
        EXPECT_EQ(ThreadCount(), baseline);
    }
    // A file that cannot be created starts nothing.
    ApeCompressor compressor;
    compressor.SetWorkers(2);
    EXPECT_EQ(compressor.Start((dir / "missing" / "x.ape").string().c_str(), &format, -1, 2000,
                               nullptr, 0),
              APE_ERROR_INVALID_OUTPUT_FILE);
    EXPECT_EQ(ThreadCount(), baseline);
}

} // namespace
} // namespace sonfeld::test::ape
