// The CD input on generated disc images, read through the real libcdrip.so.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "audio/cd/cd_in.h"
#include "audio/cd/cdrip_binding.h"
#include "audio/core/acs_exception.h"
#include "support/disc_fixture.h"

namespace sonfeld::test {
namespace {

using disc_image::SignalKind;

// Four audio tracks with pregaps before tracks 2 and 4:
// track 1 0:12:00 + 40 pregap sectors of track 2 = 940 sectors (0:12:40),
// track 2 0:05:10 = 385, track 3 0:04:00 + 75 pregap sectors = 375 (0:05:00),
// track 4 0:04:20 = 320, up to the lead-out.
disc_image::DiscSpec AudioDisc()
{
    disc_image::DiscSpec spec;
    spec.title = "Fixture";
    spec.tracks = {AudioTrack(SignalKind::Noise, 900, 0, 3),
                   AudioTrack(SignalKind::Music, 385, 40, 2), AudioTrack(SignalKind::Sweep, 300),
                   AudioTrack(SignalKind::Tone, 320, 75)};
    return spec;
}

class CDInImageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        MakeDisc(disc, AudioDisc());
        drive = LoadRealLibraryWithImages({disc.cue});
        input.SetCurrentDrive(drive);
        ASSERT_EQ(input.CurrentDrive(), drive);
    }

    DiscFixture disc;
    int drive = 0;
    TCDIn input;
};

std::vector<std::uint8_t> ReadAll(TCDIn& input, int request = 16384)
{
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(request));
    while (true) {
        const int n = input.ReadPCM(buffer.data(), request);
        if (n == 0)
            return bytes;
        bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + n);
    }
}

TEST_F(CDInImageTest, ImagesAreDrivesNamedAfterTheirFiles)
{
    DiscFixture second;
    MakeDisc(second, AudioDisc(), "other.cue");
    const int before = input.DriveCount();
    TCDIn::AddImageDrive(second.cue.string());
    EXPECT_EQ(input.DriveCount(), before + 1);

    input.SetCurrentDrive(before);
    EXPECT_EQ(input.DriveName(), second.cue.string());
    input.SetCurrentDrive(drive);
    EXPECT_EQ(input.DriveName(), disc.cue.string());
    EXPECT_EQ(input.DriveStatus(), dsReady);
}

TEST_F(CDInImageTest, AnImageLibcdioCannotOpenIsRefused)
{
    const int before = input.DriveCount();
    WriteFileBytes(disc.dir / "broken.cue", {'n', 'o', 't', ' ', 'a', ' ', 'c', 'u', 'e'});
    EXPECT_THROW(TCDIn::AddImageDrive((disc.dir / "broken.cue").string()), EACSException);
    EXPECT_THROW(TCDIn::AddImageDrive((disc.dir / "missing.cue").string()), EACSException);
    EXPECT_EQ(input.DriveCount(), before);
}

TEST_F(CDInImageTest, TrackLengthsFollowTheImageLayout)
{
    ASSERT_EQ(input.TrackCount(), 4);
    const TCDTrackInfo expected[] = {{0, 12, 40, 0}, {0, 5, 10, 0}, {0, 5, 0, 0}, {0, 4, 20, 0}};
    for (int track = 1; track <= 4; ++track) {
        const TCDTrackInfo info = input.TrackInfo(track);
        SCOPED_TRACE(track);
        EXPECT_EQ(info.Minutes, expected[track - 1].Minutes);
        EXPECT_EQ(info.Seconds, expected[track - 1].Seconds);
        EXPECT_EQ(info.Frames, expected[track - 1].Frames);
        EXPECT_EQ(info.TrackType, 0);
        const std::int64_t sectors =
            static_cast<std::int64_t>(disc.TrackBytes(track).size()) / 2352;
        EXPECT_EQ(MSFToFrames(info.Minutes, info.Seconds, info.Frames), sectors);
    }
    EXPECT_EQ(TrackTimeText(1, input.TrackInfo(1)), "[1] - 0:12");
    EXPECT_EQ(TrackTimeText(2, input.TrackInfo(2)), "[2] - 0:05");
    EXPECT_EQ(TrackTimeText(4, input.TrackInfo(4)), "[4] - 0:04");
    EXPECT_THROW(input.TrackInfo(0), EACSException);
    EXPECT_THROW(input.TrackInfo(5), EACSException);
}

TEST_F(CDInImageTest, ReadPCMServesRequestsFromOneSecondChunks)
{
    input.SetStartTrack(1);
    input.SetEndTrack(1);
    input.OpenInput();
    const std::vector<std::uint8_t> expected = disc.TrackBytes(1);
    ASSERT_EQ(input.Size(), static_cast<std::int64_t>(expected.size()));

    std::vector<std::uint8_t> got;
    std::vector<std::uint8_t> buffer(16384);
    for (int call = 0; call < 10; ++call) {
        ASSERT_EQ(input.ReadPCM(buffer.data(), 16384), 16384);
        got.insert(got.end(), buffer.begin(), buffer.end());
    }
    // The eleventh call gets what is left of the first chunk, no more.
    ASSERT_EQ(input.ReadPCM(buffer.data(), 16384), 12560);
    got.insert(got.end(), buffer.begin(), buffer.begin() + 12560);
    EXPECT_EQ(input.Position(), 176400);
    // The twelfth starts the next chunk.
    ASSERT_EQ(input.ReadPCM(buffer.data(), 16384), 16384);
    got.insert(got.end(), buffer.begin(), buffer.end());
    const std::vector<std::uint8_t> rest = ReadAll(input, 7000);
    got.insert(got.end(), rest.begin(), rest.end());
    input.CloseInput();

    EXPECT_FALSE(input.Busy());
    ASSERT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected) << "the track's audio differs from the image";
}

TEST_F(CDInImageTest, LastTrackRipsUpToTheLeadOut)
{
    input.SetStartTrack(4);
    input.SetEndTrack(4);
    input.OpenInput();
    EXPECT_EQ(input.Size(), 320 * 2352);
    const std::vector<std::uint8_t> got = ReadAll(input);
    input.CloseInput();
    EXPECT_TRUE(got == disc.TrackBytes(4));

    CR_RipStatistics statistics{};
    ASSERT_EQ(cdrip::Api().GetRipStatistics(&statistics), CR_OK);
    EXPECT_EQ(statistics.Corrected, 0);
    EXPECT_EQ(statistics.Uncorrected, 0);
}

TEST_F(CDInImageTest, ARangeOfTracksRipsAsOneStream)
{
    input.SetStartTrack(2);
    input.SetEndTrack(3);
    input.OpenInput();
    const std::vector<std::uint8_t> got = ReadAll(input);
    input.CloseInput();
    std::vector<std::uint8_t> expected = disc.TrackBytes(2);
    const std::vector<std::uint8_t> third = disc.TrackBytes(3);
    expected.insert(expected.end(), third.begin(), third.end());
    EXPECT_TRUE(got == expected);
}

TEST(CDInImageDataTest, DataTracksAreReportedAndRefused)
{
    // Enhanced CD: data last. Track 2 is 4:02:40 long.
    DiscFixture enhanced;
    disc_image::DiscSpec spec;
    spec.tracks = {AudioTrack(SignalKind::Tone, 300), AudioTrack(SignalKind::Silence, 18190),
                   DataTrack(450, 150)};
    MakeDisc(enhanced, spec, "enhanced.cue");
    // Mixed mode: data first, the audio after a two-second pregap.
    DiscFixture mixed;
    spec.tracks = {DataTrack(600), AudioTrack(SignalKind::Noise, 300, 150, 5),
                   AudioTrack(SignalKind::Music, 320, 0, 6)};
    MakeDisc(mixed, spec, "mixed.cue");
    const int first = LoadRealLibraryWithImages({enhanced.cue, mixed.cue});

    TCDIn input;
    input.SetCurrentDrive(first);
    ASSERT_EQ(input.TrackCount(), 3);
    EXPECT_EQ(input.TrackInfo(1).TrackType, 0);
    const TCDTrackInfo longTrack = input.TrackInfo(2);
    EXPECT_EQ(longTrack.Minutes, 4);
    EXPECT_EQ(longTrack.Seconds, 4); // 4:02:40 and the data track's 150-sector pregap
    EXPECT_EQ(longTrack.Frames, 40);
    EXPECT_EQ(TrackTimeText(2, longTrack), "[2] - 4:04");
    EXPECT_EQ(input.TrackInfo(2).TrackType, 0);
    EXPECT_EQ(input.TrackInfo(3).TrackType, 1);
    input.SetStartTrack(3);
    input.SetEndTrack(3);
    try {
        input.OpenInput();
        FAIL() << "a data track was opened for ripping";
    } catch (const EACSException& e) {
        EXPECT_STREQ(e.what(), "Trying to rip a data track");
    }

    input.SetCurrentDrive(first + 1);
    ASSERT_EQ(input.TrackCount(), 3);
    EXPECT_EQ(input.TrackInfo(1).TrackType, 1);
    EXPECT_EQ(input.TrackInfo(2).TrackType, 0);
    input.SetStartTrack(2);
    input.SetEndTrack(2);
    input.OpenInput();
    EXPECT_EQ(input.Size(), 300 * 2352);
    const std::vector<std::uint8_t> got = ReadAll(input);
    input.CloseInput();
    EXPECT_TRUE(got == mixed.TrackBytes(2));
}

TEST(CDInImageDataTest, AFourMinuteTrackHasTheSizeOfItsFrames)
{
    DiscFixture disc;
    disc_image::DiscSpec spec;
    spec.tracks = {AudioTrack(SignalKind::Silence, 300), AudioTrack(SignalKind::Silence, 18190)};
    MakeDisc(disc, spec);
    TCDIn input;
    input.SetCurrentDrive(LoadRealLibraryWithImages({disc.cue}));
    const TCDTrackInfo info = input.TrackInfo(2);
    EXPECT_EQ(info.Minutes, 4);
    EXPECT_EQ(info.Seconds, 2);
    EXPECT_EQ(info.Frames, 40);
    EXPECT_EQ(TrackTimeText(2, info), "[2] - 4:02");
    input.SetStartTrack(2);
    input.SetEndTrack(2);
    input.OpenInput();
    EXPECT_EQ(input.Size(), 18190LL * 2352);
    input.CloseInput();
    EXPECT_EQ(input.Size(), 0);
}

} // namespace
} // namespace sonfeld::test
