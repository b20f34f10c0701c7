// Verified rips from the command line: the program rips a generated image
// while a local server plays the AccurateRip database, whose file the test
// builds from checksums it computes itself.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "audio/cd/verify/reference_checksums.h"
#include "audio/core/dynamic_library.h"
#include "settings_sandbox.h"
#include "support/core_application.h"
#include "support/disc_fixture.h"
#include "support/http/http_test_server.h"
#include "support/tools.h"

namespace sonfeld::test {
namespace {

QCoreApplication& Application()
{
    return sonfeld::test::CoreApplication("verified_rip_test");
}

// The disc's AccurateRip identity, worked out from the image's layout.
struct Identity {
    std::uint32_t id1 = 0;
    std::uint32_t id2 = 0;
    std::uint32_t freedb = 0;
    int tracks = 0;
};

Identity IdentityOf(const disc_image::DiscLayout& layout)
{
    Identity id;
    id.tracks = static_cast<int>(layout.tracks.size());
    std::uint32_t digits = 0;
    for (std::size_t i = 0; i < layout.tracks.size(); ++i) {
        const auto start = static_cast<std::uint32_t>(layout.tracks[i].start);
        id.id1 += start;
        id.id2 += std::max(start, 1u) * static_cast<std::uint32_t>(i + 1);
        for (std::uint32_t seconds = (start + 150) / 75; seconds > 0; seconds /= 10)
            digits += seconds % 10;
    }
    const auto leadOut = static_cast<std::uint32_t>(layout.leadOut);
    id.id1 += leadOut;
    id.id2 += leadOut * static_cast<std::uint32_t>(id.tracks + 1);
    const std::uint32_t length =
        (leadOut + 150) / 75 - (static_cast<std::uint32_t>(layout.tracks[0].start) + 150) / 75;
    id.freedb = ((digits % 255) << 24) | (length << 8) | static_cast<std::uint32_t>(id.tracks);
    return id;
}

std::string DatabasePath(const Identity& id)
{
    char path[80];
    std::snprintf(path, sizeof path, "/%x/%x/%x/dBAR-%03d-%08x-%08x-%08x.bin", id.id1 & 0xF,
                  (id.id1 >> 4) & 0xF, (id.id1 >> 8) & 0xF, id.tracks, id.id1, id.id2, id.freedb);
    return path;
}

// One pressing holding the given v1 sums, each with the given confidence.
QByteArray DatabaseFile(const Identity& id, const std::vector<std::uint32_t>& sums, int confidence)
{
    QByteArray bytes;
    auto put32 = [&bytes](std::uint32_t v) {
        for (int b = 0; b < 4; ++b)
            bytes.append(static_cast<char>((v >> (8 * b)) & 0xFF));
    };
    bytes.append(static_cast<char>(sums.size()));
    put32(id.id1);
    put32(id.id2);
    put32(id.freedb);
    for (std::uint32_t sum : sums) {
        bytes.append(static_cast<char>(confidence));
        put32(sum);
        put32(0);
    }
    return bytes;
}

std::string Hex(std::uint32_t value)
{
    char text[9];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

class VerifiedRipCommandLineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        MakeAudioDisc(disc_, {330, 300, 300});
        for (int track = 1; track <= 3; ++track)
            sums_.push_back(
                verify::test::Reference(disc_.TrackBytes(track), track == 1, track == 3));
        path_ = DatabasePath(IdentityOf(disc_.layout));
    }

    void UseServer(const std::string& base, const std::string& more = "")
    {
        std::filesystem::create_directories(config_.Path() / "Tessaly");
        std::ofstream(config_.Path() / "Tessaly" / "CDRip.conf")
            << "[General]\nAccurateRipServer=" << base << "\n"
            << ClosedNameServers() << more;
    }

    void ServeSums(const std::vector<std::uint32_t>& sums)
    {
        server_.Serve(QByteArray::fromStdString(path_),
                      HttpReply{200,
                                DatabaseFile(IdentityOf(disc_.layout), sums, 5),
                                "application/octet-stream",
                                {},
                                0,
                                false});
        UseServer(server_.BaseUrl().toStdString());
    }

    std::vector<std::uint32_t> V1Sums() const
    {
        std::vector<std::uint32_t> v1;
        for (const auto& sums : sums_)
            v1.push_back(sums.v1);
        return v1;
    }

    int Sonfeld(const std::string& arguments)
    {
        const std::string errFile = (logs_.Path() / "stderr.txt").string();
        out_.clear();
        const int status = RunCommand("XDG_CONFIG_HOME=" + ShellQuote(config_.Path().string()) +
                                          " " + ShellQuote(InProgramFolder("sonfeld")) + " " +
                                          arguments + " 2>" + ShellQuote(errFile),
                                      &out_);
        const std::vector<std::uint8_t> err = ReadFileBytes(errFile);
        err_.assign(err.begin(), err.end());
        return status;
    }

    std::string Rip(const std::string& more = "")
    {
        return "--rip --image " + ShellQuote(disc_.cue.string()) + " --format Wav --out " +
               ShellQuote(out_dir_.Path().string()) + " " + more;
    }

    std::string TrackLine(int track, const std::string& verdict) const
    {
        return "Track " + std::to_string(track) + ": " + verdict + ", CRC32 " +
               Hex(sums_[static_cast<std::size_t>(track - 1)].crc32);
    }

    QCoreApplication& application_ = Application(); // before the server
    DiscFixture disc_;
    std::vector<verify::test::ReferenceSums> sums_;
    std::string path_;
    HttpTestServer server_;
    TempDir config_;
    TempDir out_dir_;
    TempDir logs_;
    std::string out_;
    std::string err_;
};

TEST_F(VerifiedRipCommandLineTest, AMatchingRipIsAccurateAndLeavesALogAndACueSheet)
{
    ServeSums(V1Sums());
    ASSERT_EQ(Sonfeld(Rip("--require-accurate --album 晨光")), 0) << out_ << err_;
    for (int track = 1; track <= 3; ++track)
        EXPECT_NE(out_.find(TrackLine(track, "精确 (可信度 5)")), std::string::npos) << out_;
    EXPECT_EQ(server_.RequestedTargets(), QStringList{QString::fromStdString(path_)});

    const std::filesystem::path log = out_dir_.Path() / "晨光.log";
    const std::filesystem::path cue = out_dir_.Path() / "晨光.cue";
    ASSERT_TRUE(std::filesystem::exists(log));
    ASSERT_TRUE(std::filesystem::exists(cue));
    std::string breakpoints;
    EXPECT_EQ(RunCommand("cuebreakpoints " + ShellQuote(cue.string()), &breakpoints), 0)
        << breakpoints;
    const std::vector<std::uint8_t> text = ReadFileBytes(log);
    const std::string logText(text.begin(), text.end());
    EXPECT_NE(logText.find(Hex(sums_[1].crc32)), std::string::npos) << logText;
    EXPECT_NE(logText.find("全部音轨均已精确校验"), std::string::npos) << logText;

    EXPECT_EQ(Sonfeld("--check-log " + ShellQuote(log.string())), 0) << out_ << err_;
    std::vector<std::uint8_t> tampered = text;
    tampered[tampered.size() / 3] ^= 0x01;
    WriteFileBytes(log, tampered);
    EXPECT_EQ(Sonfeld("--check-log " + ShellQuote(log.string())), 1) << out_ << err_;
    EXPECT_FALSE(err_.empty());
}

TEST_F(VerifiedRipCommandLineTest, OneWrongSumIsAMismatchOfThatTrack)
{
    std::vector<std::uint32_t> sums = V1Sums();
    sums[1] ^= 0x00010000u;
    ServeSums(sums);
    EXPECT_EQ(Sonfeld(Rip("--require-accurate")), 1) << out_ << err_;
    EXPECT_NE(out_.find(TrackLine(1, "精确 (可信度 5)")), std::string::npos) << out_;
    EXPECT_NE(out_.find(TrackLine(2, "不匹配")), std::string::npos) << out_;
    EXPECT_NE(out_.find(TrackLine(3, "精确 (可信度 5)")), std::string::npos) << out_;
    // By default a fast read the database rejects is read again securely;
    // what still matches nothing is kept, and the log says so.
    EXPECT_NE(out_.find("Track 2: 重新读取"), std::string::npos) << out_;
    EXPECT_EQ(out_.find("Track 1: 重新读取"), std::string::npos) << out_;
    const std::vector<std::uint8_t> text = ReadFileBytes(out_dir_.Path() / "rip.log");
    const std::string log(text.begin(), text.end());
    EXPECT_NE(log.find("读取模式: 快速并校验"), std::string::npos) << log;
    EXPECT_NE(log.find("安全模式重新读取后仍未经 AccurateRip 确认，文件已保留"), std::string::npos)
        << log;
    // The files are kept; only --require-accurate makes it a failure.
    const std::vector<std::uint8_t> wav = ReadFileBytes(out_dir_.Path() / "Track2.wav");
    const std::vector<std::uint8_t> pcm = disc_.TrackBytes(2);
    ASSERT_GE(wav.size(), pcm.size());
    EXPECT_NE(std::search(wav.begin(), wav.end(), pcm.begin(), pcm.end()), wav.end())
        << "track 2's file does not hold the disc's audio";
    EXPECT_EQ(Sonfeld(Rip("--tracks 2")), 0) << out_ << err_;
    EXPECT_NE(out_.find(TrackLine(2, "不匹配")), std::string::npos) << out_;
}

TEST_F(VerifiedRipCommandLineTest, AnUnknownDiscIsNotInTheDatabase)
{
    UseServer(server_.BaseUrl().toStdString());
    EXPECT_EQ(Sonfeld(Rip("--require-accurate --tracks 1,3")), 1) << out_ << err_;
    EXPECT_NE(out_.find(TrackLine(1, "数据库中无此光盘")), std::string::npos) << out_;
    EXPECT_NE(out_.find(TrackLine(3, "数据库中无此光盘")), std::string::npos) << out_;
    EXPECT_EQ(server_.RequestedTargets(), QStringList{QString::fromStdString(path_)});
}

TEST_F(VerifiedRipCommandLineTest, AServerThatIsDownCannotBeReached)
{
    UseServer("http://127.0.0.1:" + std::to_string(UnusedLocalPort()) + "/accuraterip");
    EXPECT_EQ(Sonfeld(Rip("--tracks 2")), 0) << out_ << err_;
    EXPECT_NE(out_.find(TrackLine(2, "无法连接")), std::string::npos) << out_;
    // The log says why it could not be checked.
    const std::vector<std::uint8_t> text = ReadFileBytes(out_dir_.Path() / "rip.log");
    EXPECT_NE(std::string(text.begin(), text.end()).find("无法连接"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(out_dir_.Path() / "rip.cue"));

    // A second rip keeps the first one's log; the CUE sheet can be switched off.
    UseServer("http://127.0.0.1:" + std::to_string(UnusedLocalPort()) + "/accuraterip",
              "writeCueSheet=0\n");
    EXPECT_EQ(Sonfeld(Rip("--tracks 3 --require-accurate")), 1) << out_ << err_;
    EXPECT_NE(out_.find(TrackLine(3, "无法连接")), std::string::npos) << out_;
    EXPECT_EQ(ReadFileBytes(out_dir_.Path() / "rip.log"), text);
    EXPECT_TRUE(std::filesystem::exists(out_dir_.Path() / "rip (2).log"));
    EXPECT_FALSE(std::filesystem::exists(out_dir_.Path() / "rip (2).cue"));
}

} // namespace
} // namespace sonfeld::test

namespace sonfeld::test {
namespace {

// The image holds the disc as a drive reading 48 samples early would: every
// track matches the database once the read window moves 48 samples later.
TEST_F(VerifiedRipCommandLineTest, TracksThatMatchAtAnotherOffsetRevealTheDrivesOffset)
{
    constexpr int kOffset = 48;
    std::vector<std::uint8_t> all;
    for (int track = 1; track <= 3; ++track) {
        const std::vector<std::uint8_t> bytes = disc_.TrackBytes(track);
        all.insert(all.end(), bytes.begin(), bytes.end());
    }
    std::vector<std::uint32_t> shifted;
    std::size_t start = 0;
    for (int track = 1; track <= 3; ++track) {
        const std::size_t length = disc_.TrackBytes(track).size();
        std::vector<std::uint8_t> right(length, 0);
        for (std::size_t i = 0; i < length; ++i)
            if (start + kOffset * 4 + i < all.size())
                right[i] = all[start + kOffset * 4 + i];
        shifted.push_back(verify::test::Reference(right, track == 1, track == 3).v1);
        start += length;
    }
    ServeSums(shifted);

    EXPECT_EQ(Sonfeld(Rip("--reading-mode secure --require-accurate")), 1) << out_ << err_;
    EXPECT_NE(out_.find(TrackLine(2, "不匹配")), std::string::npos) << out_;
    EXPECT_NE(out_.find(": " + std::to_string(kOffset) + " samples (use --read-offset " +
                        std::to_string(kOffset) + ")"),
              std::string::npos)
        << out_;

    // Read with that offset, every track is accurate.
    EXPECT_EQ(Sonfeld(Rip("--reading-mode secure --require-accurate --read-offset " +
                          std::to_string(kOffset))),
              0)
        << out_ << err_;
    for (int track = 1; track <= 3; ++track)
        EXPECT_NE(out_.find("Track " + std::to_string(track) + ": 精确 (可信度 5)"),
                  std::string::npos)
            << out_;
    EXPECT_EQ(out_.find("Read offset found"), std::string::npos) << out_;
}

} // namespace
} // namespace sonfeld::test
