// "快速并校验" in the pipelined queue: the reader starts at once, never waiting
// for the databases, reads a known disc fast and holds each file until its
// verdict, sends what no database confirms back for a secure read, and reads
// the rest of an unknown disc securely once the answers say so.

#include <QPushButton>
#include <QSettings>
#include <cstring>

#include "fake_drive_rip_fixture.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

class RipFastPipelinedTest : public FakeDriveRipTest {
protected:
    // The WAV file's data chunk holds exactly what the drive has in the track.
    void ExpectExactWav(int track)
    {
        const std::vector<std::uint8_t> file =
            ReadFileBytes(Output("Track" + std::to_string(track) + ".wav"));
        const auto word = [&file](std::size_t at) {
            return std::uint32_t{file[at]} | std::uint32_t{file[at + 1]} << 8 |
                   std::uint32_t{file[at + 2]} << 16 | std::uint32_t{file[at + 3]} << 24;
        };
        std::size_t at = 12; // after "RIFF", its size and "WAVE"
        while (at + 8 <= file.size() && std::memcmp(&file[at], "data", 4) != 0)
            at += 8 + word(at + 4) + (word(at + 4) & 1);
        ASSERT_LE(at + 8, file.size()) << "track " << track << " has no data chunk";
        const std::vector<std::uint8_t> pcm = TrackBytes(track);
        ASSERT_EQ(word(at + 4), pcm.size()) << track;
        ASSERT_LE(at + 8 + pcm.size(), file.size()) << track;
        EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), file.begin() + std::ptrdiff_t(at + 8)))
            << "track " << track << " differs from the disc";
    }

    // Temporary files and spools: hidden names and ".pcm".
    std::vector<std::string> Leftovers() const
    {
        std::vector<std::string> names;
        for (const std::string& name : FilesLeft())
            if (name.front() == '.' || name.ends_with(".pcm"))
                names.push_back(name);
        return names;
    }

    bool Idle() { return Form().btnRipCD->isEnabled() && !Form().btnStopRip->isEnabled(); }
};

TEST_F(RipFastPipelinedTest, AKnownDiscIsReadFastOnceAndEveryTrackIsConfirmed)
{
    ServeSums(v1_);
    PrepareRip();
    RowRecorder recorder(Rows());
    const std::string log = RipAll();

    EXPECT_EQ(Counters().fastOpenCalls, 3);
    EXPECT_EQ(Counters().secureOpenCalls, 0);
    EXPECT_EQ(FilesLeft(), ripped_);
    for (int row = 0; row < kTracks; ++row) {
        EXPECT_EQ(Rows().Status(row), TTrackStatus::Converted) << row;
        EXPECT_EQ(Rows().Verdict(row), QStringLiteral("精确 (可信度 5)")) << row;
        const auto statuses = recorder.StatusesOf(row);
        // Read by the pipeline, and never read again.
        EXPECT_NE(std::find(statuses.begin(), statuses.end(), TTrackStatus::Reading),
                  statuses.end())
            << row;
        EXPECT_EQ(std::find(statuses.begin(), statuses.end(), TTrackStatus::ReReading),
                  statuses.end())
            << row;
        ExpectExactWav(row + 1);
    }
    EXPECT_NE(log.find("读取模式: 快速并校验"), std::string::npos) << log;
    EXPECT_EQ(log.find("重新读取"), std::string::npos) << log;
}

TEST_F(RipFastPipelinedTest, WhatTheDatabaseDoesNotConfirmIsReadOnceMoreSecurely)
{
    MisreadTrackTwoAndMisstoreTrackThree();
    PrepareRip();
    RowRecorder recorder(Rows());
    const std::string log = RipAll();

    EXPECT_EQ(Counters().fastOpenCalls, 3);
    EXPECT_EQ(Counters().secureOpenCalls, 2);
    EXPECT_EQ(FilesLeft(), ripped_);
    EXPECT_EQ(Rows().Verdict(0), QStringLiteral("精确 (可信度 5)"));
    EXPECT_EQ(Rows().Verdict(1), QStringLiteral("精确 (可信度 5)"));
    EXPECT_EQ(Rows().Verdict(2), QStringLiteral("不匹配"));
    for (int row = 0; row < kTracks; ++row) {
        EXPECT_EQ(Rows().Status(row), TTrackStatus::Converted) << row;
        const auto statuses = recorder.StatusesOf(row);
        const bool reRead =
            std::find(statuses.begin(), statuses.end(), TTrackStatus::ReReading) != statuses.end();
        EXPECT_EQ(reRead, row != 0) << row;
        // The secure read's file, not the discarded fast one.
        ExpectExactWav(row + 1);
    }
    EXPECT_EQ(Occurrences(log, "快速读取与 AccurateRip 不匹配，已以安全模式重新读取"), 2) << log;
    // What matches nothing after the secure read is kept, and the log says so.
    EXPECT_EQ(Occurrences(log, "安全模式重新读取后仍未经 AccurateRip 确认，文件已保留"), 1) << log;
    EXPECT_NE(log.find("音轨 3: AccurateRip 不匹配"), std::string::npos) << log;
}

TEST_F(RipFastPipelinedTest, AnUnknownDiscIsReadSecurelyAndNothingIsShownAsAMatch)
{
    // Nothing served: the database answers 404. The first read starts before it does.
    const std::string log = RipAll();
    EXPECT_GE(Counters().fastOpenCalls, 1);
    EXPECT_EQ(Counters().secureOpenCalls, 3);
    EXPECT_EQ(FilesLeft(), ripped_);
    for (int row = 0; row < kTracks; ++row) {
        EXPECT_EQ(Rows().Verdict(row), QStringLiteral("数据库中无此光盘")) << row;
        ExpectExactWav(row + 1);
    }
    EXPECT_NE(log.find("其余音轨改用安全模式"), std::string::npos) << log;
    EXPECT_EQ(log.find("精确"), std::string::npos) << log;
}

TEST_F(RipFastPipelinedTest, ByDefaultARipWithoutTheServerIsSecureAndSaysItCouldNotConnect)
{
    // Nothing stored: the default reading mode, and a server that refuses.
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tessaly"),
              QStringLiteral("CDRip"))
        .remove(QString::fromLatin1(key::kReadingMode.Name));
    ASSERT_EQ(StoredReadingMode(), TReadingMode::FastVerify);
    Write(key::kAccurateRipServer,
          QStringLiteral("http://127.0.0.1:%1/accuraterip").arg(UnusedLocalPort()));
    const std::string log = RipAll();
    // The first read starts before any answer; every fast read is read again.
    EXPECT_GE(Counters().fastOpenCalls, 1);
    EXPECT_EQ(Counters().secureOpenCalls, 3);
    EXPECT_EQ(FilesLeft(), ripped_);
    for (int row = 0; row < kTracks; ++row)
        EXPECT_EQ(Rows().Verdict(row), QStringLiteral("无法连接")) << row;
    EXPECT_EQ(log.find("精确"), std::string::npos) << log;
}

TEST_F(RipFastPipelinedTest, AServerThatNeverAnswersDoesNotHoldUpTheReading)
{
    // The server takes the request and keeps silent past the lookup's time-out.
    server_.Serve(
        database_.Path(),
        HttpReply{200, database_.File(v1_), "application/octet-stream", {}, 60000, false});
    PrepareRip();
    PressRip();
    // A fast read can only start before the lookup ends: its end, by the
    // time-out, would leave nothing that proves fast reads.
    ASSERT_TRUE(WaitUntil([this] { return Counters().fastOpenCalls > 0; }));
    PressStop();
    ASSERT_TRUE(WaitUntil([this] { return Idle(); }));
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(RipFastPipelinedTest, StopDuringASecureReReadEndsEveryRowAndLeavesNoTemporaryFile)
{
    // Slow encoders; the database rejects track 1, whose secure read is then stopped.
    WriteSetting(QStringLiteral("CPU_INT"), QStringLiteral("40"));
    std::vector<std::uint32_t> sums = v1_;
    sums[0] ^= 0x00100000u;
    ServeSums(sums);
    PrepareRip();
    PressRip();
    ASSERT_TRUE(WaitUntil([this] { return Rows().Status(0) == TTrackStatus::ReReading; }));
    PressStop();
    ASSERT_TRUE(WaitUntil([this] { return Idle(); }));
    EXPECT_TRUE(Leftovers().empty());
    EXPECT_FALSE(std::filesystem::exists(Output("Track1.wav")));
    EXPECT_TRUE(Rows().Status(0) == TTrackStatus::Cancelled ||
                Rows().Status(0) == TTrackStatus::NotConverted)
        << Rows().StatusText(0).toStdString();
    for (int row = 1; row < kTracks; ++row) {
        const TTrackStatus status = Rows().Status(row);
        EXPECT_TRUE(status == TTrackStatus::Cancelled || status == TTrackStatus::NotConverted ||
                    status == TTrackStatus::Converted)
            << row << ": " << Rows().StatusText(row).toStdString();
        EXPECT_EQ(std::filesystem::exists(Output("Track" + std::to_string(row + 1) + ".wav")),
                  status == TTrackStatus::Converted)
            << row;
        // A kept file is a confirmed one.
        if (status == TTrackStatus::Converted) {
            EXPECT_EQ(Rows().Verdict(row), QStringLiteral("精确 (可信度 5)")) << row;
        }
    }
}

} // namespace
} // namespace sonfeld::test
