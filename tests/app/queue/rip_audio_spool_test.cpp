// The audio a lossy rip keeps for a repair: the kept read of each track, never
// a read that was discarded, and a failure to keep it that never stops the
// rip but is told to the repair.

#include <gtest/gtest.h>

#include <QString>

#include <csignal>
#include <cstdint>
#include <sys/resource.h>
#include <vector>

#include "app/formats/output_formats.h"
#include "app/queue/rip_audio_spool.h"

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
