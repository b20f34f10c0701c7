// The audio a lossy rip keeps for a repair: the kept read of each track, never
// a read that was discarded, and a failure to keep it that never stops the
// rip but is told to the repair.

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QString>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <vector>

#include "app/files/folder_lock.h"
#include "app/formats/output_formats.h"
#include "app/queue/rip_audio_spool.h"
#include "support/tools.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;
using Bytes = std::vector<std::uint8_t>;

const TOutputFormat& Mp3()
{
    return *FindFormat(QStringLiteral("MP3"));
}

void Read(TRipAudioSpool& spool, int track, const Bytes& pcm)
{
    spool.BeginRead(track);
    spool.Add(pcm.data(), pcm.size());
    spool.EndRead();
}

TEST(RipAudioSpoolTest, KeepsTheReadThatBecameTheTrackNotALaterDiscardedOne)
{
    TRipAudioSpool spool(Mp3(), std::nullopt);
    ASSERT_TRUE(spool.Problem().isEmpty()) << spool.Problem().toStdString();
    const Bytes kept(40000, 7);
    Read(spool, 1, Bytes(40000, 1)); // a test read, discarded
    Read(spool, 1, kept);
    spool.Keep(1, QStringLiteral("/nowhere/1.mp3"), {}, std::nullopt, false);
    Read(spool, 1, Bytes(40000, 9)); // read again, never kept
    Read(spool, 2, Bytes(4000, 2));  // read, never kept
    QString error;
    EXPECT_EQ(spool.TrackPcm(1, &error), kept);
    EXPECT_FALSE(spool.TrackPcm(2, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("not kept"))) << error.toStdString();
}

TEST(RipAudioSpoolTest, AKilledProgramsAudioGoesWhenTheNextRipKeepsAudio)
{
    namespace fs = std::filesystem;
    TempDir temporary;
    const char* before = std::getenv("TMPDIR");
    const std::string restore = before != nullptr ? before : "";
    setenv("TMPDIR", temporary.Path().c_str(), 1);
    const auto folder = [&](const std::string& name, bool lockFile) {
        fs::path path = temporary / name;
        fs::create_directories(path);
        std::ofstream(path / "track01.pcm") << "audio";
        if (lockFile)
            std::ofstream(path / ".lock") << "";
        return path;
    };
    const fs::path killed = folder("sonfeld-audio-killed", true);
    const fs::path running = folder("sonfeld-audio-running", true);
    TFolderLock held;
    ASSERT_EQ(held.Lock(QString::fromStdString((running / ".lock").string())),
              TFolderLock::TResult::Locked);
    // Without a lock: being set up by another program, unless it is old.
    const fs::path settingUp = folder("sonfeld-audio-new", false);
    const fs::path old = folder("sonfeld-audio-old", false);
    fs::last_write_time(old, fs::file_time_type::clock::now() - std::chrono::hours(2));
    const fs::path other = folder("other-program", true);

    {
        TRipAudioSpool spool(Mp3(), std::nullopt);
        EXPECT_TRUE(spool.Problem().isEmpty()) << spool.Problem().toStdString();
        EXPECT_TRUE(spool.Folder().startsWith(QString::fromStdString(temporary.Path().string())));
        EXPECT_FALSE(fs::exists(killed));
        EXPECT_FALSE(fs::exists(old));
        EXPECT_TRUE(fs::exists(running / "track01.pcm"));
        EXPECT_TRUE(fs::exists(settingUp / "track01.pcm"));
        EXPECT_TRUE(fs::exists(other / "track01.pcm"));
        // Its own folder is locked, so the next one leaves it alone.
        TRipAudioSpool next(Mp3(), std::nullopt);
        EXPECT_TRUE(QFileInfo::exists(spool.Folder()));
    }
    if (before != nullptr)
        setenv("TMPDIR", restore.c_str(), 1);
    else
        unsetenv("TMPDIR");
}

TEST(RipAudioSpoolTest, AudioThatCannotBeKeptIsDroppedAndTheRepairSaysWhy)
{
    // A full disk, as a file-size limit: the write fails, the audio kept so
    // far goes too, and nothing is thrown into the rip.
    TRipAudioSpool spool(Mp3(), std::nullopt);
    Read(spool, 1, Bytes(4000, 1));
    spool.Keep(1, QStringLiteral("/nowhere/1.mp3"), {}, std::nullopt, false);
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = before;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    Read(spool, 2, Bytes(1 << 20, 2));
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);
    QString error;
    EXPECT_FALSE(spool.TrackPcm(1, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("could not be kept"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("track02"))) << error.toStdString();
}

} // namespace
} // namespace sonfeld::test
