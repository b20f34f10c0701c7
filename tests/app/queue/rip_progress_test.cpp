// The rip's numbers: audio done, speed, time left and tracks done.

#include <gtest/gtest.h>

#include "app/queue/rip_progress.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

TEST(RipProgressTest, SpeedAndTimeLeftFollowTheAudioDoneOverWallTime)
{
    TRipProgress progress;
    // 60 s and 30 s of audio (75 frames a second), started at t = 1 s.
    progress.Start({60 * 75, 30 * 75}, 1000);
    EXPECT_EQ(progress.TracksTicked(), 2);
    EXPECT_FALSE(progress.Speed(5000).has_value()); // nothing done yet
    EXPECT_FALSE(progress.SecondsLeft(5000).has_value());
    EXPECT_EQ(RipProgressText(progress, 5000).Chinese(),
              QStringLiteral("速度 -- · 剩余 -- · 已完成 0/2 首"));

    // Half of the first track (30 s of audio) in 10 s of wall time: 3× real
    // time, 60 s of audio left, so 20 s to go.
    progress.SetTrackProgress(0, 50);
    EXPECT_DOUBLE_EQ(progress.AudioSecondsDone(), 30.0);
    EXPECT_DOUBLE_EQ(*progress.Speed(11000), 3.0);
    EXPECT_EQ(*progress.SecondsLeft(11000), 20);
    EXPECT_EQ(progress.Percent(), 33);
    EXPECT_EQ(RipProgressText(progress, 11000).Chinese(),
              QStringLiteral("速度 3.0× · 剩余 0:20 · 已完成 0/2 首"));

    // The first track done: all of its audio counts, and the track.
    progress.SetTrackDone(0);
    progress.SetTrackProgress(0, 10); // a late step of a finished track changes nothing
    EXPECT_DOUBLE_EQ(progress.AudioSecondsDone(), 60.0);
    EXPECT_EQ(progress.TracksDone(), 1);
    EXPECT_EQ(progress.Percent(), 66);
    progress.SetTrackDone(1);
    EXPECT_EQ(progress.Percent(), 100);
    EXPECT_EQ(*progress.SecondsLeft(31000), 0);
    EXPECT_EQ(progress.TracksDone(), 2);

    // Indexes beyond the queue are ignored.
    progress.SetTrackProgress(5, 50);
    progress.SetTrackDone(-1);
    EXPECT_EQ(progress.TracksDone(), 2);

    progress.Clear();
    EXPECT_FALSE(progress.Active());
    EXPECT_FALSE(progress.Speed(40000).has_value());
}

TEST(RipProgressTest, EmptyQueuesAndDurations)
{
    TRipProgress progress;
    progress.Start({}, 0);
    EXPECT_EQ(progress.Percent(), 0);
    EXPECT_FALSE(progress.SecondsLeft(1000).has_value());

    EXPECT_EQ(DurationText(0), QStringLiteral("0:00"));
    EXPECT_EQ(DurationText(65), QStringLiteral("1:05"));
    EXPECT_EQ(DurationText(3723), QStringLiteral("1:02:03"));
    EXPECT_EQ(DurationText(-5), QStringLiteral("0:00"));
}

} // namespace
} // namespace sonfeld::test
