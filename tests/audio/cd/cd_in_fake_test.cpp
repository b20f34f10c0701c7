// The CD input against a fake CR_ library: what a physical drive does that a
// disc image cannot, and the input's own checks.

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "audio/cd/cd_in.h"
#include "audio/cd/disc_model_reading.h"
#include "audio/core/acs_exception.h"
#include "fake_library.h"
#include "support/raised.h"
#include "support/tools.h"

namespace sonfeld::test {
namespace {

class CDInFakeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fake.Ready());
        input = std::make_unique<TCDIn>();
    }

    // A disc of ten tracks, each 0:20:00 except track 1, which is 4:02:40.
    void TenTracks(std::uint8_t flagOfTrack3 = 0x10)
    {
        std::vector<std::int32_t> starts{0};
        std::vector<std::uint8_t> flags;
        for (int track = 1; track <= 10; ++track) {
            starts.push_back(starts.back() + (track == 1 ? 18190 : 1500));
            flags.push_back(track == 3 ? flagOfTrack3 : 0x10);
        }
        flags.push_back(0x10);
        fake.SetToc(starts.data(), flags.data(), 10);
    }

    FakeLibrary fake;
    std::unique_ptr<TCDIn> input;
};

TEST_F(CDInFakeTest, TrackInfoAndRangesOfATenTrackDisc)
{
    TenTracks();
    EXPECT_EQ(input->TrackCount(), 10);
    const TCDTrackInfo first = input->TrackInfo(1);
    EXPECT_EQ(first.Minutes, 4);
    EXPECT_EQ(first.Seconds, 2);
    EXPECT_EQ(first.Frames, 40);
    const TCDTrackInfo last = input->TrackInfo(10); // entry 9 to the lead-out, entry 10
    EXPECT_EQ(MSFToFrames(last.Minutes, last.Seconds, last.Frames), 1500);
    for (int track : {0, 11, 256, -1})
        EXPECT_EQ(MessageOf([&] { input->TrackInfo(track); }), "Track out of range.") << track;

    input->SetStartTrack(1);
    input->SetEndTrack(1);
    input->OpenInput();
    EXPECT_EQ(input->Size(), 18190LL * 2352);
    EXPECT_EQ(fake.Counters().lastStart, 0);
    EXPECT_EQ(fake.Counters().lastEnd, 18190);
    input->CloseInput();

    input->SetStartTrack(10);
    input->SetEndTrack(10);
    input->OpenInput();
    EXPECT_EQ(fake.Counters().lastEnd, 18190 + 9 * 1500);
    input->CloseInput();
    input->SetEndTrack(11);
    EXPECT_EQ(MessageOf([&] { input->OpenInput(); }), "The end track out of range");
    EXPECT_FALSE(input->Busy());
}

TEST_F(CDInFakeTest, OpenInputRefusesWithTheMessagesOfItsChecks)
{
    TenTracks(0x14);
    input->SetStartTrack(0);
    input->SetEndTrack(1);
    EXPECT_EQ(MessageOf([&] { input->OpenInput(); }), "The start track out of range");
    input->SetStartTrack(11);
    EXPECT_EQ(MessageOf([&] { input->OpenInput(); }), "The start track out of range");
    input->SetStartTrack(3);
    input->SetEndTrack(3);
    EXPECT_EQ(MessageOf([&] { input->OpenInput(); }), "Trying to rip a data track");
    // An end before the start would be a negative range.
    input->SetStartTrack(5);
    input->SetEndTrack(3);
    EXPECT_EQ(MessageOf([&] { input->OpenInput(); }), "The end track out of range");
    EXPECT_EQ(fake.Counters().openRipperCalls, 0);

    input->SetEndTrack(5);
    input->OpenInput();
    EXPECT_EQ(MessageOf([&] { input->OpenInput(); }), "The component is buisy");
    input->CloseInput();

    fake.SetMediaLoaded(0);
    input->SetStartTrack(99); // the drive check comes before any track check
    EXPECT_EQ(MessageOf([&] { input->OpenInput(); }), "The drive is not ready");
    EXPECT_FALSE(input->Busy());
}

TEST_F(CDInFakeTest, AudioTracksWithCopyOrPreEmphasisBitsAreAudio)
{
    for (std::uint8_t flag : {0x11, 0x12, 0x13, 0x18}) {
        TenTracks(flag);
        EXPECT_EQ(input->TrackInfo(3).TrackType, 0) << int(flag);
        input->SetStartTrack(3);
        input->SetEndTrack(3);
        input->OpenInput();
        input->CloseInput();
    }
    TenTracks(0x16);
    EXPECT_EQ(input->TrackInfo(3).TrackType, 1);
}

TEST_F(CDInFakeTest, NoDiscAndAnUnreadableTable)
{
    fake.SetMediaLoaded(0);
    EXPECT_EQ(input->DriveStatus(), dsNoMedia);
    EXPECT_EQ(input->TrackCount(), -1);
    EXPECT_EQ(MessageOf([&] { input->TrackInfo(1); }), "Track out of range.");

    fake.SetMediaLoaded(1);
    fake.SetTocResult(CR_ERROR);
    EXPECT_EQ(input->DriveStatus(), dsReady);
    EXPECT_EQ(input->TrackCount(), -1);
    EXPECT_EQ(MessageOf([&] { input->TrackInfo(1); }), "Track out of range.");
    input->SetStartTrack(1);
    input->SetEndTrack(1);
    EXPECT_EQ(MessageOf([&] { input->OpenInput(); }), "The start track out of range");
    fake.SetTocResult(CR_OK);
    EXPECT_EQ(input->TrackCount(), 1);
}

TEST_F(CDInFakeTest, ReadPCMHandsOutChunksPieceByPiece)
{
    EXPECT_EQ(MessageOf([&] {
                  char buffer[16];
                  input->ReadPCM(buffer, 16);
              }),
              "The Stream is not opened");
    input->SetStartTrack(1);
    input->SetEndTrack(1);
    input->OpenInput();
    std::vector<std::uint8_t> buffer(16384);
    std::int64_t offset = 0;
    auto check = [&](int count) {
        for (int i = 0; i < count; ++i, ++offset) {
            const auto sector = static_cast<std::int32_t>(offset / 2352);
            const auto within = static_cast<std::int32_t>(offset % 2352);
            if (buffer[static_cast<std::size_t>(i)] != FakeCR_PatternByte(sector, within))
                return false;
        }
        return true;
    };
    for (int call = 0; call < 10; ++call) {
        ASSERT_EQ(input->ReadPCM(buffer.data(), 16384), 16384);
        ASSERT_TRUE(check(16384));
    }
    EXPECT_EQ(fake.Counters().ripChunkCalls, 1);
    ASSERT_EQ(input->ReadPCM(buffer.data(), 16384), 12560);
    ASSERT_TRUE(check(12560));
    EXPECT_EQ(fake.Counters().ripChunkCalls, 1);
    ASSERT_EQ(input->ReadPCM(buffer.data(), 16384), 16384);
    ASSERT_TRUE(check(16384));
    EXPECT_EQ(fake.Counters().ripChunkCalls, 2);
    EXPECT_EQ(input->Position(), 176400 + 16384);
    input->CloseInput();
    EXPECT_EQ(fake.Counters().closeRipperCalls, 1);
}

TEST_F(CDInFakeTest, AReadThatFailsRaisesInsteadOfEndingQuietly)
{
    input->SetStartTrack(1);
    input->SetEndTrack(1);
    std::vector<std::uint8_t> buffer(176400);
    for (int zeroBytes : {0, 1}) {
        fake.FailAfterChunks(2, zeroBytes);
        input->OpenInput();
        EXPECT_EQ(input->ReadPCM(buffer.data(), 176400), 176400);
        EXPECT_EQ(input->ReadPCM(buffer.data(), 176400), 176400);
        const std::string message = MessageOf([&] { input->ReadPCM(buffer.data(), 176400); });
        EXPECT_EQ(message.rfind("Cannot read audio from the disc: ", 0), 0u) << message;
        if (zeroBytes == 0) {
            EXPECT_NE(message.find("Sector 150 could not be read"), std::string::npos) << message;
        }
        input->CloseInput();
    }
}

TEST_F(CDInFakeTest, StartEndAndEjectRefuseWhileRipping)
{
    input->Eject();
    EXPECT_EQ(fake.Counters().ejectCalls, 1);
    input->SetStartTrack(1);
    input->SetEndTrack(1);
    input->OpenInput();
    EXPECT_EQ(MessageOf([&] { input->SetStartTrack(1); }), "The component is buisy");
    EXPECT_EQ(MessageOf([&] { input->SetEndTrack(1); }), "The component is buisy");
    EXPECT_EQ(MessageOf([&] { input->Eject(); }), "The component is buisy");
    EXPECT_EQ(fake.Counters().ejectCalls, 1);
    input->CloseInput();
    input->SetEndTrack(1);
}

TEST_F(CDInFakeTest, CurrentDriveRefusesValuesOutsideTheDrivesSilently)
{
    fake.SetDrives(3);
    EXPECT_EQ(input->DriveCount(), 3);
    input->SetCurrentDrive(2);
    EXPECT_EQ(input->CurrentDrive(), 2);
    EXPECT_EQ(input->DriveName(), "Fake Drive 2");
    input->SetCurrentDrive(-1);
    EXPECT_EQ(input->CurrentDrive(), 2);
    input->SetCurrentDrive(3);
    EXPECT_EQ(input->CurrentDrive(), 2);
    input->SetCurrentDrive(1);
    EXPECT_EQ(input->DriveName(), "Fake Drive 1");
}

TEST_F(CDInFakeTest, ARunKeepsItsDriveActive)
{
    fake.SetDrives(2);
    input->SetCurrentDrive(1);
    input->SetStartTrack(1);
    input->SetEndTrack(1);
    input->OpenInput();
    EXPECT_EQ(fake.Counters().activeDrive, 1);
    input->SetCurrentDrive(0); // accepted, but the library stays on the ripping drive
    input->TrackCount();
    EXPECT_EQ(fake.Counters().activeDrive, 1);
    input->CloseInput();
    input->TrackCount();
    EXPECT_EQ(fake.Counters().activeDrive, 0);
}

// An enhanced CD in a drive: the drive's TOC runs the last audio track up to
// the data session; the session start the drive reports ends it 11400 sectors
// earlier, for its length, its rip and the model the app lists.
TEST_F(CDInFakeTest, EnhancedCdInADriveEndsTheAudioWithTheFirstSession)
{
    const std::vector<std::int32_t> starts{0, 20000, 40000, 60000};
    const std::vector<std::uint8_t> flags{0x10, 0x10, 0x14, 0x10};
    fake.SetToc(starts.data(), flags.data(), 3);
    fake.SetLastSession(40000);
    fake.SetTitle(0, "Harbour Lights");
    fake.SetTitle(2, "晨光");

    EXPECT_EQ(TrackTimeText(2, input->TrackInfo(2)), "[2] - 1:54"); // 8600 sectors
    EXPECT_EQ(input->TrackInfo(3).TrackType, 1);
    input->SetStartTrack(2);
    input->SetEndTrack(2);
    input->OpenInput();
    EXPECT_EQ(input->Size(), 8600LL * 2352);
    input->CloseInput();
    EXPECT_EQ(fake.Counters().lastEnd, 28600);

    const auto model = ReadDiscModel(0);
    ASSERT_TRUE(model);
    EXPECT_EQ(model->firstSessionEndLsn, 28600);
    EXPECT_EQ(model->tracks[2].session, 2);
    EXPECT_EQ(model->text.title, "Harbour Lights");
    EXPECT_EQ(model->tracks[1].text.title, "晨光");

    // Without the session the drive's table is all there is.
    fake.SetLastSession(-1);
    EXPECT_EQ(TrackTimeText(2, input->TrackInfo(2)), "[2] - 4:26");
}

TEST(CDInLibraryTest, AMissingLibraryStopsTheInputFromBeingCreated)
{
    TempDir empty;
    ASSERT_FALSE(cdrip::Load((empty / "libcdrip.so").string()));
    EXPECT_EQ(MessageOf([] { TCDIn input; }), "libcdrip.so library could not be loaded.");
    ASSERT_FALSE(cdrip::Load((empty / "libother.so").string()));
    EXPECT_EQ(MessageOf([] { TCDIn input; }), "libother.so library could not be loaded.");
    EXPECT_EQ(MessageOf([] { TCDIn::AddImageDrive("x.cue"); }),
              "libother.so library could not be loaded.");

    // A library that lacks the CR_ entry points counts as missing too.
    const std::string notCdrip = InProgramFolder("libcdrip.so");
    WriteFileBytes(empty / "libbroken.so", {0x7f, 'E', 'L', 'F'});
    EXPECT_FALSE(cdrip::Load((empty / "libbroken.so").string()));
    // And a good one loads again.
    EXPECT_TRUE(cdrip::Load(notCdrip));
    EXPECT_NO_THROW(TCDIn input);
}

} // namespace
} // namespace sonfeld::test
