// Whole rips: a track of a generated disc image through the CD input and the
// WAV output, and a drive that fails in the middle of a track.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "audio/cd/cd_in.h"
#include "audio/formats/wave/wave_out.h"
#include "fake_library.h"
#include "support/disc_fixture.h"
#include "support/tools.h"

namespace sonfeld::test {
namespace {

using disc_image::SignalKind;

// Records the output's events in the order they were raised (on the worker).
class EventLog {
public:
    explicit EventLog(TACSOutput& output)
    {
        output.OnProgress = [this, &output](TComponent*) {
            Add("progress " + std::to_string(output.Progress()));
        };
        output.OnDone = [this](TComponent*) { Add("done"); };
        output.OnThreadException = [this](TComponent*, const std::exception& e) {
            Add(std::string("error ") + e.what());
        };
    }

    bool WaitForEnd()
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(120), [&] { return ended_; });
    }

    std::vector<std::string> Events()
    {
        std::lock_guard lock(mutex_);
        return events_;
    }

private:
    void Add(std::string event)
    {
        std::lock_guard lock(mutex_);
        if (event == "done" || event.starts_with("error "))
            ended_ = true;
        events_.push_back(std::move(event));
        changed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> events_;
    bool ended_ = false;
};

class CDRipTest : public ::testing::TestWithParam<int> {
protected:
    static void SetUpTestSuite()
    {
        disc = new DiscFixture;
        disc_image::DiscSpec spec;
        spec.tracks = {
            AudioTrack(SignalKind::Music, 450, 0, 1), AudioTrack(SignalKind::Noise, 375, 30, 2),
            AudioTrack(SignalKind::Sweep, 300), AudioTrack(SignalKind::Music, 333, 75, 4)};
        MakeDisc(*disc, spec);
    }
    static void TearDownTestSuite()
    {
        delete disc;
        disc = nullptr;
    }

    static DiscFixture* disc;
};

DiscFixture* CDRipTest::disc = nullptr;

TEST_P(CDRipTest, TrackRipsIntoAWavFileByteForByte)
{
    const int track = GetParam();
    TCDIn input;
    input.SetCurrentDrive(LoadRealLibraryWithImages({disc->cue}));
    input.SetStartTrack(track);
    input.SetEndTrack(track);
    TWaveOut output;
    output.SetInput(&input);
    const auto file = disc->dir / ("track" + std::to_string(track) + ".wav");
    output.SetFileName(file.string());
    EventLog log(output);
    output.Run();
    ASSERT_TRUE(log.WaitForEnd());

    const std::vector<std::string> events = log.Events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), "done");
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[events.size() - 2], "progress 100") << "progress must reach 100 before done";

    const std::vector<std::uint8_t> expected = disc->TrackBytes(track);
    const std::vector<std::uint8_t> wav = ReadFileBytes(file);
    ASSERT_EQ(wav.size(), 44 + expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), wav.begin() + 44));
    // An independent reader agrees on format and content.
    EXPECT_EQ(FfprobeValue(file, "sample_rate"), "44100");
    EXPECT_EQ(FfprobeValue(file, "channels"), "2");
    EXPECT_TRUE(FfmpegDecode(file) == expected);
}

INSTANTIATE_TEST_SUITE_P(FirstMiddleLast, CDRipTest, ::testing::Values(1, 2, 4));

TEST(CDRipFailureTest, AReadFailingMidTrackEndsTheRunAsAFailure)
{
    FakeLibrary fake;
    ASSERT_TRUE(fake.Ready());
    fake.FailAfterChunks(3, 0);
    TempDir dir;
    TCDIn input;
    input.SetStartTrack(1);
    input.SetEndTrack(1);
    TWaveOut output;
    output.SetInput(&input);
    output.SetFileName((dir / "broken.wav").string());
    EventLog log(output);
    output.Run();
    ASSERT_TRUE(log.WaitForEnd());

    const std::vector<std::string> events = log.Events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().rfind("error Cannot read audio from the disc: Sector 225", 0), 0u)
        << events.back();
    for (const std::string& event : events)
        EXPECT_NE(event, "done");
    EXPECT_FALSE(input.Busy());
    EXPECT_EQ(fake.Counters().closeRipperCalls, 1);

    // The drive is usable again for the next run.
    fake.FailAfterChunks(-1, 0);
    EventLog again(output);
    output.Run();
    ASSERT_TRUE(again.WaitForEnd());
    EXPECT_EQ(again.Events().back(), "done");
    EXPECT_EQ(ReadFileBytes(dir / "broken.wav").size(), 44 + 18190u * 2352);
}

} // namespace
} // namespace sonfeld::test
