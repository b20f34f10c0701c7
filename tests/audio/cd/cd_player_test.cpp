// The CD player's logic through a fake of the drive's playback calls.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "audio/cd/cd_player.h"
#include "audio/core/acs_exception.h"
#include "support/raised.h"

namespace sonfeld::test {
namespace {

// A drive with a disc of three tracks: 2:00 from 00:02:00, 3:30:10 and a data
// track, lead-out at 08:32:40. Every call it receives is logged.
struct DriveState {
    bool opens = true;
    bool media = true;
    TCDAudioMode mode = TCDAudioMode::Stopped;
    std::vector<TMSF> starts{{0, 2, 0}, {2, 2, 0}, {5, 32, 10}};
    std::vector<bool> audio{true, true, false};
    TMSF leadOut{8, 32, 40};
    bool hasVolume = true;
    std::uint32_t volume = 0x12345678;
    int openDevices = 0;
    std::vector<std::string> log;
};

class FakeAudioDevice final : public TCDAudioDevice {
public:
    explicit FakeAudioDevice(std::shared_ptr<DriveState> state) : state_(std::move(state)) {}

    bool Open(int drive) override
    {
        state_->log.push_back("open " + std::to_string(drive));
        if (!state_->opens)
            return false;
        ++state_->openDevices;
        return true;
    }
    void Close() override
    {
        state_->log.push_back("close");
        if (state_->openDevices > 0)
            --state_->openDevices;
    }
    std::optional<bool> MediaPresent() override { return state_->media; }
    std::optional<TCDAudioMode> Mode() override
    {
        return state_->media ? state_->mode : TCDAudioMode::NotReady;
    }
    std::optional<int> NumberOfTracks() override { return static_cast<int>(state_->starts.size()); }
    std::optional<TMSF> TrackPosition(int track) override
    {
        if (track < 1 || track > static_cast<int>(state_->starts.size()))
            return std::nullopt;
        return state_->starts[static_cast<std::size_t>(track - 1)];
    }
    std::optional<TMSF> DiscLength() override { return state_->leadOut; }
    std::optional<bool> TrackIsAudio(int track) override
    {
        return static_cast<bool>(state_->audio.at(static_cast<std::size_t>(track - 1)));
    }
    bool Play(const TMSF& from, const TMSF& to) override
    {
        state_->log.push_back("play " + Text(from) + " " + Text(to));
        state_->mode = TCDAudioMode::Playing;
        return true;
    }
    bool Pause() override
    {
        state_->log.push_back("pause");
        state_->mode = TCDAudioMode::Paused;
        return true;
    }
    bool Stop() override
    {
        state_->log.push_back("stop");
        state_->mode = TCDAudioMode::Stopped;
        return true;
    }
    std::optional<std::uint32_t> Volume(int) override
    {
        if (!state_->hasVolume)
            return std::nullopt;
        return state_->volume;
    }
    void SetVolume(int, std::uint32_t volume) override { state_->volume = volume; }

    static std::string Text(const TMSF& msf)
    {
        return std::to_string(msf.Minute) + ":" + std::to_string(msf.Second) + ":" +
               std::to_string(msf.Frame);
    }

private:
    std::shared_ptr<DriveState> state_;
};

// Opens its device from the outside, as an operation in progress would.
class OpenablePlayer : public TCDPlayer {
public:
    using TCDPlayer::CloseDevice;
    using TCDPlayer::OpenCount;
    using TCDPlayer::OpenDevice;
    using TCDPlayer::TCDPlayer;
};

class CDPlayerTest : public ::testing::Test {
protected:
    std::shared_ptr<DriveState> state = std::make_shared<DriveState>();
    OpenablePlayer player{nullptr, std::make_unique<FakeAudioDevice>(state)};

    int Count(const std::string& entry) const
    {
        return static_cast<int>(std::count(state->log.begin(), state->log.end(), entry));
    }
};

TEST_F(CDPlayerTest, PlaysATrackFromItsStartToTheNextAndTheLastToTheDiscEnd)
{
    player.SetDrive(1);
    player.Play(1);
    EXPECT_EQ(Count("play 0:2:0 2:2:0"), 1);
    EXPECT_EQ(Count("open 1"), 1) << "nested operations share one open device";
    player.Play(2);
    EXPECT_EQ(Count("play 2:2:0 5:32:10"), 1);
    state->audio[2] = true; // the last track, if it were audio, plays up to the lead-out
    player.Play(3);
    EXPECT_EQ(Count("play 5:32:10 8:32:40"), 1);
    EXPECT_EQ(state->openDevices, 0);
    EXPECT_EQ(player.OpenCount(), 0);
}

TEST_F(CDPlayerTest, TrackInfoMeasuresFromTrackStarts)
{
    const TCDTrackInfo first = player.TrackInfo(1);
    EXPECT_EQ(first.Minutes, 2);
    EXPECT_EQ(first.Seconds, 0);
    EXPECT_EQ(first.Frames, 0);
    EXPECT_EQ(first.TrackType, 0);
    const TCDTrackInfo second = player.TrackInfo(2);
    EXPECT_EQ(second.Minutes, 3);
    EXPECT_EQ(second.Seconds, 30);
    EXPECT_EQ(second.Frames, 10);
    const TCDTrackInfo data = player.TrackInfo(3);
    EXPECT_EQ(MSFToFrames(data.Minutes, data.Seconds, data.Frames), 3 * 60 * 75 + 30);
    EXPECT_EQ(data.TrackType, 1);
    EXPECT_EQ(MessageOf([&] { player.Play(3); }), "Trying to play a data track.");
    EXPECT_EQ(MessageOf([&] { player.TrackInfo(4); }), "Track out of range.");
    EXPECT_EQ(MessageOf([&] { player.Play(0); }), "Track out of range.");
    EXPECT_EQ(Count("play 5:32:10 8:32:40"), 0);
    EXPECT_EQ(state->openDevices, 0);
    EXPECT_EQ(player.OpenCount(), 0);
}

TEST_F(CDPlayerTest, PauseOnlyWhilePlaying)
{
    player.Pause();
    EXPECT_EQ(Count("pause"), 0);
    player.Play(1);
    EXPECT_EQ(player.Status(), psPlaying);
    player.Pause();
    EXPECT_EQ(Count("pause"), 1);
    EXPECT_EQ(player.Status(), psPaused);
    player.Pause();
    EXPECT_EQ(Count("pause"), 1);
    player.Stop();
    EXPECT_EQ(Count("stop"), 1);
    EXPECT_EQ(player.Status(), psReady);
    player.Pause();
    EXPECT_EQ(Count("pause"), 1);
}

TEST_F(CDPlayerTest, NoDiscMeansNotReady)
{
    state->media = false;
    EXPECT_EQ(player.Status(), psNotReady);
    EXPECT_EQ(player.TrackCount(), 0);
    EXPECT_EQ(MessageOf([&] { player.Play(1); }), "Device is not ready");
    const TCDTrackInfo info = player.TrackInfo(1);
    EXPECT_EQ(info.Minutes + info.Seconds + info.Frames + info.TrackType, 0);
    EXPECT_EQ(state->openDevices, 0);
    // After the forced closes the device still opens for the next operation.
    state->media = true;
    EXPECT_EQ(player.TrackCount(), 3);
    EXPECT_EQ(player.OpenCount(), 0);
}

TEST_F(CDPlayerTest, ADriveWithoutPlaybackCannotBeOpened)
{
    state->opens = false; // a disc image, or no drive at all
    EXPECT_EQ(MessageOf([&] { player.Stop(); }), "Cannot open audiocd device");
    EXPECT_EQ(MessageOf([&] { player.Status(); }), "Cannot open audiocd device");
    EXPECT_EQ(player.OpenCount(), 0);
}

TEST_F(CDPlayerTest, OneChannelsVolumeLeavesTheOther)
{
    EXPECT_EQ(player.LVolume(), 0x5678);
    EXPECT_EQ(player.RVolume(), 0x1234);
    player.SetLVolume(0xABCD);
    EXPECT_EQ(state->volume, 0x1234ABCDu);
    player.SetRVolume(0);
    EXPECT_EQ(state->volume, 0x0000ABCDu);
    EXPECT_EQ(player.LVolume(), 0xABCD);

    state->hasVolume = false;
    EXPECT_EQ(player.LVolume(), 0);
    EXPECT_EQ(player.RVolume(), 0);
    player.SetLVolume(7);
    EXPECT_EQ(state->volume, 0x0000ABCDu);
}

TEST_F(CDPlayerTest, DestructionClosesAnOpenDevice)
{
    auto local = std::make_shared<DriveState>();
    {
        OpenablePlayer other(nullptr, std::make_unique<FakeAudioDevice>(local));
        other.OpenDevice();
        other.OpenDevice();
        EXPECT_EQ(local->openDevices, 1);
    }
    EXPECT_EQ(local->openDevices, 0);
    EXPECT_EQ(std::count(local->log.begin(), local->log.end(), "close"), 1);
}

TEST_F(CDPlayerTest, AnExtraCloseDoesNotUnbalanceTheCount)
{
    player.CloseDevice();
    EXPECT_EQ(player.OpenCount(), 0);
    player.OpenDevice();
    EXPECT_EQ(state->openDevices, 1);
    player.CloseDevice();
    EXPECT_EQ(state->openDevices, 0);
}

} // namespace
} // namespace sonfeld::test
