#include "app/verification/rip_repair.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include "app/verification/repair_audio_files.h"
#include "app/verification/rip_log.h"
#include "audio/cd/ctdb/ctdb_stream.h"
#include "audio/cd/disc/ffmpeg_library.h"
#include "repair_disc.h"
#include "support/http/http_test_server.h"
#include "support/tools.h"

namespace sonfeld::app {
namespace {

using sonfeld::test::HttpReply;
using sonfeld::test::HttpTestServer;
using sonfeld::test::TempDir;
using Bytes = std::vector<std::uint8_t>;
using Result = RipRepairOutcome::Result;

QCoreApplication& Application()
{
    static int argc = 1;
    static char name[] = "rip_repair_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    return application;
}

using namespace repair_test;

RipRepairOutcome Repair(const QString& path, HttpTestServer& server)
{
    Application();
    RipRepair repair;
    std::optional<RipRepairOutcome> outcome;
    QObject::connect(&repair, &RipRepair::Finished,
                     [&](const RipRepairOutcome& result) { outcome = result; });
    repair.Start(path, server.BaseUrl(), 10000);
    const QDeadlineTimer deadline(120000);
    while (!outcome && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(outcome.has_value());
    return outcome.value_or(RipRepairOutcome{});
}

TEST(RipRepairTest, DamagedRipsAtThreeOffsetsAreRepairedAndProven)
{
    if (!test::ToolAvailable("flac") || !test::ToolAvailable("ffmpeg"))
        GTEST_SKIP() << "flac and ffmpeg are the test's encoder and decoder";
    // 3000 damaged samples in tracks 1 and 3; track 2 is whole.
    const std::vector<std::pair<std::int64_t, int>> bursts{
        {100000, 1000}, {2600 * 588, 1200}, {3000 * 588 + 77, 800}};
    for (const auto& [shift, suffix] : std::vector<std::pair<int, std::string>>{
             {0, "flac"}, {48, "wav"}, {-48, "flac"}, {48, "ape"}}) {
        SCOPED_TRACE(shift);
        const RepairDisc disc(shift, bursts);
        TempDir folder;
        disc.Write(folder, suffix);
        const std::string two = "Track2." + suffix;
        const Bytes trackTwo = test::ReadFileBytes(folder / two);
        Application();
        HttpTestServer server;
        disc.ServeOn(server);
        const RipRepairOutcome outcome = Repair(Q(folder.Path()), server);
        ASSERT_EQ(outcome.result, Result::Repaired) << outcome.message.toStdString();
        EXPECT_EQ(outcome.rewrittenFiles,
                  QStringList({QString::fromStdString("Track1." + suffix),
                               QString::fromStdString("Track3." + suffix)}));
        for (std::size_t t = 0; t < 3; ++t)
            EXPECT_EQ(test::FfmpegDecode(folder / ("Track" + std::to_string(t + 1) + "." + suffix)),
                      disc.Track(disc.rip, t))
                << "track " << t + 1;
        EXPECT_EQ(test::ReadFileBytes(folder / two), trackTwo);
        if (suffix == "flac") {
            EXPECT_EQ(test::FfprobeTag(folder / "Track3.flac", "TITLE"), "Song3");
        }
        if (suffix == "ape") {
            const Bytes tag = ApeTag("Song3");
            const Bytes three = test::ReadFileBytes(folder / "Track3.ape");
            ASSERT_GT(three.size(), tag.size());
            EXPECT_TRUE(
                std::equal(tag.begin(), tag.end(), three.end() - static_cast<long>(tag.size())));
        }
        EXPECT_FALSE(std::filesystem::exists(folder / (".Track1." + suffix + ".sonfeld-repair")));
        // Every repaired word is listed with its track and sample.
        QFile log(outcome.repairLogPath);
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'));
        EXPECT_EQ(lines.filter(QStringLiteral(" |  ")).size(), 2 * 3000);
        // The damage lies where the drive put it, whatever the drive's offset.
        EXPECT_TRUE(lines.contains(QStringLiteral("   1 |    100000 | 00:02.20 | 左")))
            << lines.mid(0, 20).join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(outcome.corrections, 2u * 3000u);
    }
}

TEST(RipRepairTest, AnUnrepairableOrLossyRipIsLeftAlone)
{
    if (!test::ToolAvailable("flac"))
        GTEST_SKIP() << "flac is the test's encoder";
    const RepairDisc disc = RepairDisc::Unrepairable();
    TempDir folder;
    disc.Write(folder, "flac");
    std::vector<Bytes> before;
    for (int t = 1; t <= 3; ++t)
        before.push_back(test::ReadFileBytes(folder / ("Track" + std::to_string(t) + ".flac")));
    Application();
    HttpTestServer server;
    disc.ServeOn(server);
    const RipRepairOutcome outcome = Repair(Q(folder / "Album.log"), server);
    EXPECT_EQ(outcome.result, Result::NotRepairable);
    EXPECT_TRUE(outcome.message.contains(QStringLiteral("recovery data cannot repair")) &&
                outcome.message.contains(QStringLiteral("nothing was changed")))
        << outcome.message.toStdString();
    for (int t = 1; t <= 3; ++t)
        EXPECT_EQ(test::ReadFileBytes(folder / ("Track" + std::to_string(t) + ".flac")),
                  before[static_cast<std::size_t>(t - 1)]);
    EXPECT_FALSE(std::filesystem::exists(folder / "Album.repair.log"));

    // A lossy rip is refused before anything is read or asked.
    TempDir lossy;
    RipLog log;
    log.toc.push_back(RipLogTocEntry{1, 0, 3700, 0, true});
    RipLogTrack track;
    track.number = 1;
    track.fileName = QStringLiteral("Track1.mp3");
    log.tracks.push_back(track);
    test::WriteFileBytes(lossy / "Track1.mp3", Bytes(100, 0));
    QString error;
    ASSERT_TRUE(WriteRipLog(Q(lossy / "Album.log"), log, &error));
    bool lossyRefused = false;
    EXPECT_FALSE(ReadRepairSource(Q(lossy.Path()), &error, false, &lossyRefused));
    EXPECT_TRUE(lossyRefused);
    EXPECT_TRUE(error.contains(QStringLiteral("only from the window right after the rip")))
        << error.toStdString();
}

// An APE rip is read through FFmpeg's libraries: without them it is refused,
// the library named.
TEST(RipRepairTest, AnApeRipNeedsFfmpegToBeRead)
{
    const RepairDisc disc(0, {});
    TempDir folder;
    disc.Write(folder, "ape");
    const QString one = Q(folder / "Track1.ape");
    QString error;
    const auto pcm = ReadRepairPcm(one, &error);
    ASSERT_TRUE(pcm.has_value()) << error.toStdString();
    EXPECT_EQ(*pcm, disc.Track(disc.damaged, 0));
    ASSERT_FALSE(LoadBinding<AvCodecEntryPoints>("libavcodec-sonfeld-missing.so.59"));
    EXPECT_FALSE(ReadRepairPcm(one, &error).has_value());
    EXPECT_TRUE(error.contains(QStringLiteral("libavcodec-sonfeld-missing.so.59")))
        << error.toStdString();
    ASSERT_TRUE(LoadBinding<AvCodecEntryPoints>());
}

// The rewrite stopped by kill -9 at each step: every file is the old one or
// the whole new one.
TEST(RipRepairTest, AKilledRewriteLeavesOldOrWholeNewFiles)
{
    if (!test::ToolAvailable("flac") || !test::ToolAvailable("ffmpeg"))
        GTEST_SKIP() << "flac and ffmpeg are the test's encoder and decoder";
    const RepairDisc disc(0, {{100000, 1000}, {2600 * 588, 1000}});
    for (const int gate : {0, 1, 2}) {
        SCOPED_TRACE(gate);
        TempDir folder;
        disc.Write(folder, "flac");
        const auto path = [&](int t) { return folder / ("Track" + std::to_string(t) + ".flac"); };
        const Bytes oldOne = test::ReadFileBytes(path(1));
        const Bytes oldThree = test::ReadFileBytes(path(3));
        int pipe[2];
        ASSERT_EQ(::pipe(pipe), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::vector<RepairRewrite> files{{Q(path(1)), disc.Track(disc.rip, 0)},
                                             {Q(path(3)), disc.Track(disc.rip, 2)}};
            int steps = 0;
            QString error;
            RewriteRepairedFiles(files, &error, [&](const QString&, RewriteStep) {
                if (steps++ == gate) {
                    (void)!::write(pipe[1], "g", 1);
                    for (;;)
                        ::pause();
                }
            });
            ::_exit(3);
        }
        char byte = 0;
        ASSERT_EQ(::read(pipe[0], &byte, 1), 1);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ::close(pipe[0]);
        ::close(pipe[1]);
        ASSERT_TRUE(WIFSIGNALED(status));
        // Gate 0: file 1's temporary file is written; 1: file 1 renamed; 2: file 3's written.
        if (gate == 0)
            EXPECT_EQ(test::ReadFileBytes(path(1)), oldOne);
        else
            EXPECT_EQ(test::FfmpegDecode(path(1)), disc.Track(disc.rip, 0));
        EXPECT_EQ(test::ReadFileBytes(path(3)), oldThree);
        EXPECT_EQ(test::FfprobeTag(path(1), "TITLE"), "Song1");
    }
}

} // namespace
} // namespace sonfeld::app
