// The pipeline on a real disc image through the real CD library: the drive
// reads ahead into spools while encoders work, and every file is the disc's
// audio, decoded back by an independent decoder.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <map>

#include "app/formats/output_formats.h"
#include "app/queue/rip_pipeline.h"
#include "audio/cd/cd_in.h"
#include "audio/cd/verify/checksum_tap.h"
#include "audio/cd/verify/reference_checksums.h" // the test's own CRC
#include "audio/core/output.h"
#include "audio/formats/tags/replay_gain.h"
#include "support/core_application.h"
#include "support/disc_fixture.h"
#include "support/tools.h"

namespace sonfeld::test {
namespace {

QCoreApplication& Application()
{
    return sonfeld::test::CoreApplication("rip_pipeline_test");
}

struct Ending {
    app::TPipelineEnd end = app::TPipelineEnd::Skipped;
    QString error;
};

// Rips the given tracks of the image to files of the format in the image's
// folder, with memoryBytes of spool memory; stopAfterMs > 0 stops then.
struct PipelineRun {
    PipelineRun(DiscFixture& disc, const char* format, std::size_t memoryBytes,
                const std::vector<int>& tracks, int stopAfterMs = 0,
                const std::function<void()>& onceListed = {},
                SpoolOverflow overflow = SpoolOverflow::SpillToFile, bool measureGain = false)
    {
        Application();
        const int drive = LoadRealLibraryWithImages({disc.cue});
        TCDIn input;
        input.SetCurrentDrive(drive);
        if (onceListed)
            onceListed();
        verify::TChecksumTap tap(&input);
        app::TRipPipeline pipeline(input, tap, 2, memoryBytes, overflow);
        const app::TOutputFormat* found = app::FindFormat(QString::fromLatin1(format));
        if (found == nullptr)
            throw std::invalid_argument(std::string("no format ") + format);
        const app::TOutputFormat& chosen = *found;
        QObject::connect(&pipeline, &app::TRipPipeline::ReadEnded,
                         [this](int id, const app::TPipelineRead& read) {
                             readOrder.push_back(id);
                             if (read.Checksums)
                                 crcs[id] = read.Checksums->crc32;
                         });
        QObject::connect(&pipeline, &app::TRipPipeline::TrackEnded,
                         [this, &pipeline](int id, app::TPipelineEnd end, const QString& error) {
                             endings[id] = {end, error};
                             std::string problem;
                             if (end == app::TPipelineEnd::Done)
                                 if (auto meter = pipeline.TakeGain(id, problem))
                                     gains[id] = meter->Track();
                         });
        QEventLoop loop;
        QObject::connect(&pipeline, &app::TRipPipeline::Idle, &loop, &QEventLoop::quit);
        for (int track : tracks) {
            app::TPipelineTrack job;
            job.Id = track;
            job.Track = track;
            job.Place = {track == 1, track == static_cast<int>(disc.layout.tracks.size())};
            job.MeasureGain = measureGain;
            job.Output = chosen.MakeOutput();
            // Held back when a stop is due, so it comes while tracks still run.
            if (stopAfterMs > 0)
                job.Output->SetDelay(20);
            const auto file = disc.dir / ("track" + std::to_string(track) + chosen.Extension);
            job.Output->SetFileName(file.string());
            files[track] = file;
            pipeline.Add(std::move(job));
        }
        if (stopAfterMs > 0)
            QTimer::singleShot(stopAfterMs, &pipeline, [&pipeline] { pipeline.Stop(); });
        QTimer::singleShot(120000, &loop, &QEventLoop::quit);
        if (pipeline.Busy())
            loop.exec();
        busyAtEnd = pipeline.Busy();
        peakMemory = pipeline.PeakSpoolMemory();
    }

    std::map<int, Ending> endings;
    std::map<int, std::filesystem::path> files;
    std::map<int, std::uint32_t> crcs;
    std::map<int, ReplayGainValues> gains; // measured by the tracks' encoders
    std::vector<int> readOrder;
    bool busyAtEnd = true;
    std::size_t peakMemory = 0;
};

} // namespace

TEST(RipPipeline, EveryTrackIsTheDiscsAudioWhetherSpooledInMemoryOrOnDisk)
{
    if (!ToolAvailable("flac"))
        GTEST_SKIP() << "flac is not installed";
    DiscFixture disc;
    MakeAudioDisc(disc, {75 * 5, 75 * 4, 75 * 6, 75 * 4});
    // Plenty of memory, then so little that most PCM goes through spill
    // files, then as little with the reader waiting for the encoders instead.
    const std::size_t little = std::size_t{64} << 10;
    for (const auto& [memory, overflow] :
         {std::pair{std::size_t{256} << 20, SpoolOverflow::SpillToFile},
          std::pair{little, SpoolOverflow::SpillToFile},
          std::pair{little, SpoolOverflow::WaitForRoom}}) {
        // The encoders measure the loudness too, once, on their own threads.
        const bool measureGain = overflow == SpoolOverflow::WaitForRoom && ReplayGainAvailable();
        PipelineRun run(disc, "FLAC", memory, {1, 2, 3, 4}, 0, {}, overflow, measureGain);
        if (overflow == SpoolOverflow::WaitForRoom) {
            EXPECT_LE(run.peakMemory, little);
        }
        EXPECT_EQ(run.gains.size(), measureGain ? 4U : 0U);
        ASSERT_FALSE(run.busyAtEnd);
        EXPECT_EQ(run.readOrder, (std::vector<int>{1, 2, 3, 4}));
        for (int track = 1; track <= 4; ++track) {
            ASSERT_EQ(run.endings[track].end, app::TPipelineEnd::Done)
                << track << ": " << run.endings[track].error.toStdString();
            const auto expected = disc.TrackBytes(track);
            EXPECT_EQ(SoxDecode(run.files[track]), expected) << "track " << track;
            EXPECT_EQ(run.crcs[track], verify::test::ReferenceCrc32(expected)) << "track " << track;
            if (measureGain) {
                // The whole track, as read: what a meter fed the disc's bytes says.
                ReplayGainMeter direct;
                direct.Add(expected.data(), expected.size());
                EXPECT_TRUE(run.gains[track].valid) << track;
                EXPECT_NEAR(run.gains[track].gain, direct.Track().gain, 1e-9) << track;
                EXPECT_EQ(run.gains[track].peak, direct.Track().peak) << track;
            }
        }
        // Spill files go with their spools.
        for (const auto& entry : std::filesystem::directory_iterator(disc.dir.Path()))
            EXPECT_NE(entry.path().extension(), ".pcm") << entry.path();
    }
}

TEST(RipPipeline, StopEndsEveryTrackAndLeavesNoSpool)
{
    DiscFixture disc;
    MakeAudioDisc(disc, {75 * 60, 75 * 60, 75 * 60});
    // Small memory: a track read ahead goes to a spill file that must go too.
    PipelineRun run(disc, "Ape", std::size_t{1} << 20, {1, 2, 3}, 150);
    ASSERT_FALSE(run.busyAtEnd);
    ASSERT_EQ(run.endings.size(), 3U);
    EXPECT_EQ(run.endings[1].end, app::TPipelineEnd::Stopped);
    for (const auto& [track, ending] : run.endings)
        EXPECT_NE(ending.end, app::TPipelineEnd::Failed) << ending.error.toStdString();
    for (const auto& entry : std::filesystem::directory_iterator(disc.dir.Path()))
        EXPECT_NE(entry.path().extension(), ".pcm") << entry.path();
}

TEST(RipPipeline, ReadFailureKeepsTracksAlreadyReadAndSkipsTheRest)
{
    DiscFixture disc;
    MakeAudioDisc(disc, {75 * 4, 75 * 4, 75 * 4, 75 * 4});
    // Once the disc is listed, its BIN is cut inside track 3, as a scratch
    // would end what a drive can read.
    const auto bin = disc.cue.parent_path() / "disc.bin";
    PipelineRun run(disc, "Wav", std::size_t{256} << 20, {1, 2, 3, 4}, 0,
                    [&bin] { std::filesystem::resize_file(bin, 2352 * (75 * 8 + 75)); });
    ASSERT_FALSE(run.busyAtEnd);
    EXPECT_EQ(run.endings[1].end, app::TPipelineEnd::Done);
    EXPECT_EQ(run.endings[2].end, app::TPipelineEnd::Done);
    EXPECT_EQ(run.endings[3].end, app::TPipelineEnd::Failed);
    EXPECT_FALSE(run.endings[3].error.isEmpty());
    EXPECT_EQ(run.endings[4].end, app::TPipelineEnd::Skipped);
    EXPECT_EQ(SoxDecode(run.files[2]), disc.TrackBytes(2));
}

} // namespace sonfeld::test
