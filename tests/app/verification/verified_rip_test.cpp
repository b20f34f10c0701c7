// Verified rips from the command line: the program rips a generated image
// while a local server plays the AccurateRip database, whose file the test
// builds from checksums it computes itself.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>

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
        std::string names = ClosedNameServers();
        if (!ctdb_.empty())
            names =
                std::regex_replace(names, std::regex("CTDBServer=[^\n]*"), "CTDBServer=" + ctdb_);
        std::ofstream(config_.Path() / "Tessaly" / "CDRip.conf")
            << "[General]\nAccurateRipServer=" << base << "\n"
            << names << more;
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
    std::string ctdb_; // the CTDBServer setting; empty: a closed port
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

TEST_F(VerifiedRipCommandLineTest, VerifyReadsTheImageWritesNothingAndPassesOnlyWhenAllMatch)
{
    std::vector<std::uint32_t> sums = V1Sums();
    ServeSums(sums);
    ASSERT_EQ(Sonfeld("--verify --image " + ShellQuote(disc_.cue.string())), 0) << out_ << err_;
    for (int track = 1; track <= 3; ++track)
        EXPECT_NE(out_.find(TrackLine(track, "精确 (可信度 5)")), std::string::npos) << out_;
    EXPECT_NE(out_.find("at read offset 0"), std::string::npos) << out_;
    EXPECT_NE(out_.find("3 of 3 tracks proven accurate"), std::string::npos) << out_;
    // Nothing beside the image: no file, log, sheet or leftover.
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(disc_.dir.Path()))
        ++files;
    EXPECT_EQ(files, 2u);

    sums[1] ^= 1;
    ServeSums(sums);
    EXPECT_EQ(Sonfeld("--verify --image " + ShellQuote(disc_.cue.string())), 1) << out_ << err_;
    EXPECT_NE(out_.find(TrackLine(2, "不匹配")), std::string::npos) << out_;
    EXPECT_NE(out_.find(TrackLine(3, "精确 (可信度 5)")), std::string::npos) << out_;
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

namespace sonfeld::test {
namespace {

// Bit by bit, as the CRC-32 of zlib is defined: an oracle apart from the program's own.
std::uint32_t PlainCrc32(const std::uint8_t* data, std::size_t size)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string LowerHex(std::uint32_t value)
{
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

// The CTDB's sums of the 930-sector disc: the first track without its first
// 10 sectors, the last without its last 10 (930 mod 10 = 0), the disc the same
// window over all of them.
struct CtdbSums {
    std::vector<std::uint32_t> tracks;
    std::uint32_t disc = 0;
};

// offset: the sums of the audio shifted as another pressing's would be, x[k]
// = rip[k + offset]; flip: a byte of the rip changed first (-1: none).
CtdbSums CtdbSumsOf(const DiscFixture& disc, int offset = 0, std::ptrdiff_t flip = -1)
{
    constexpr std::ptrdiff_t kSkip = 10 * 588 * 4;
    std::vector<std::uint8_t> all;
    std::vector<std::ptrdiff_t> starts;
    for (int track = 1; track <= 3; ++track) {
        starts.push_back(static_cast<std::ptrdiff_t>(all.size()));
        const std::vector<std::uint8_t> bytes = disc.TrackBytes(track);
        all.insert(all.end(), bytes.begin(), bytes.end());
    }
    starts.push_back(static_cast<std::ptrdiff_t>(all.size()));
    if (flip >= 0)
        all[static_cast<std::size_t>(flip)] ^= 0x10;
    const std::ptrdiff_t shift = static_cast<std::ptrdiff_t>(offset) * 4;
    const auto crc = [&](std::ptrdiff_t from, std::ptrdiff_t to) {
        return PlainCrc32(all.data() + from + shift, static_cast<std::size_t>(to - from));
    };
    CtdbSums sums;
    sums.tracks = {crc(kSkip, starts[1]), crc(starts[1], starts[2]),
                   crc(starts[2], starts[3] - kSkip)};
    sums.disc = crc(kSkip, starts[3] - kSkip);
    return sums;
}

std::string CtdbEntry(int confidence, std::uint32_t disc, const std::vector<std::uint32_t>& tracks)
{
    return "<entry id=\"" + std::to_string(100 + confidence) + "\" crc32=\"" + LowerHex(disc) +
           "\" confidence=\"" + std::to_string(confidence) +
           "\" npar=\"8\" stride=\"5880\" toc=\"0:330:630:930\" trackcrcs=\"" +
           LowerHex(tracks[0]) + " " + LowerHex(tracks[1]) + " " + LowerHex(tracks[2]) + "\"/>";
}

std::string LogText(const std::filesystem::path& path)
{
    const std::vector<std::uint8_t> text = ReadFileBytes(path);
    return std::string(text.begin(), text.end());
}

// The CTDB beside AccurateRip: each track's verdict in the "校验" text, the
// whole disc's in the log. Entries of confidence 0 count for nothing, the
// confidences of agreeing entries add up.
TEST_F(VerifiedRipCommandLineTest, TheCtdbJudgesEveryTrackAndTheWholeDisc)
{
    const CtdbSums ctdb = CtdbSumsOf(disc_);
    std::vector<std::uint32_t> wrongLast = ctdb.tracks;
    wrongLast[2] ^= 1u;
    const auto serveCtdb = [this](const std::string& entries) {
        server_.Serve("/ctdb/lookup2.php",
                      HttpReply{200,
                                QByteArray::fromStdString(
                                    "<ctdb xmlns=\"http://db.cuetools.net/ns/mmd-1.0#\">" +
                                    entries + "</ctdb>"),
                                "text/xml; charset=UTF-8",
                                {},
                                0,
                                false});
    };
    ctdb_ = server_.BaseUrl().toStdString() + "/ctdb";
    std::vector<std::uint32_t> arSums = V1Sums();
    arSums[1] ^= 0x00010000u;
    ServeSums(arSums);
    serveCtdb(CtdbEntry(12, ctdb.disc, ctdb.tracks) + CtdbEntry(0, ~ctdb.disc, wrongLast) +
              CtdbEntry(2, ~ctdb.disc, wrongLast));
    ASSERT_EQ(Sonfeld(Rip("--reading-mode secure")), 0) << out_ << err_;
    EXPECT_NE(out_.find(TrackLine(1, "精确 (可信度 5) · CTDB 精确 (可信度 14)")), std::string::npos)
        << out_;
    EXPECT_NE(out_.find(TrackLine(2, "不匹配 · CTDB 精确 (可信度 14)")), std::string::npos) << out_;
    EXPECT_NE(out_.find(TrackLine(3, "精确 (可信度 5) · CTDB 精确 (可信度 12)")), std::string::npos)
        << out_;
    bool asked = false;
    for (const HttpRequest& request : server_.Requests())
        if (request.target ==
            "/ctdb/lookup2.php?version=3&ctdb=1&fuzzy=1&metadata=none&toc=0:330:630:930") {
            asked = true;
            EXPECT_TRUE(request.headers.value("user-agent").startsWith("Sonfeld/"));
        }
    EXPECT_TRUE(asked) << server_.RequestedTargets().join(' ').toStdString();
    std::string log = LogText(out_dir_.Path() / "rip.log");
    EXPECT_NE(log.find("CTDB 整张光盘: CTDB 精确 (可信度 12)，光盘 CRC32 " + Hex(ctdb.disc)),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("  CTDB CRC32: " + Hex(ctdb.tracks[0])), std::string::npos) << log;
    // The CTDB proves track 2 where AccurateRip does not.
    EXPECT_NE(log.find("全部音轨均已精确校验"), std::string::npos) << log;

    // A track the entry does not hold mismatches, and so does the disc.
    serveCtdb(CtdbEntry(3, ctdb.disc ^ 4u, wrongLast));
    ASSERT_EQ(Sonfeld(Rip("--reading-mode secure")), 0) << out_ << err_;
    EXPECT_NE(out_.find(TrackLine(2, "不匹配 · CTDB 精确 (可信度 3)")), std::string::npos) << out_;
    EXPECT_NE(out_.find(TrackLine(3, "精确 (可信度 5) · CTDB 不匹配")), std::string::npos) << out_;
    log = LogText(out_dir_.Path() / "rip (2).log");
    EXPECT_NE(log.find("CTDB 整张光盘: CTDB 不匹配，光盘 CRC32 " + Hex(ctdb.disc)),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("  CTDB: CTDB 不匹配"), std::string::npos) << log;

    // Only entries nobody agreed with: the CTDB does not know the disc; a
    // partial rip leaves the disc unchecked.
    serveCtdb(CtdbEntry(0, ctdb.disc, ctdb.tracks));
    ASSERT_EQ(Sonfeld(Rip("--reading-mode secure --tracks 1")), 0) << out_ << err_;
    EXPECT_NE(out_.find(TrackLine(1, "精确 (可信度 5) · CTDB 无此光盘")), std::string::npos)
        << out_;
    log = LogText(out_dir_.Path() / "rip (3).log");
    EXPECT_NE(log.find("CTDB 整张光盘: 未检查 (并非每条音轨都已完整抓取)"), std::string::npos)
        << log;
}

// "快速并校验" keeps a fast read that either database confirms: the CTDB
// proves track 2, which AccurateRip does not hold.
TEST_F(VerifiedRipCommandLineTest, AFastReadTheCtdbConfirmsIsKept)
{
    const CtdbSums ctdb = CtdbSumsOf(disc_);
    ctdb_ = server_.BaseUrl().toStdString() + "/ctdb";
    std::vector<std::uint32_t> arSums = V1Sums();
    arSums[1] ^= 0x00010000u;
    ServeSums(arSums);
    server_.Serve(
        "/ctdb/lookup2.php",
        HttpReply{200,
                  QByteArray::fromStdString("<ctdb xmlns=\"http://db.cuetools.net/ns/mmd-1.0#\">" +
                                            CtdbEntry(7, ctdb.disc, ctdb.tracks) + "</ctdb>"),
                  "text/xml",
                  {},
                  0,
                  false});
    ASSERT_EQ(Sonfeld(Rip("--reading-mode fast-verify --require-accurate")), 0) << out_ << err_;
    EXPECT_NE(out_.find(TrackLine(2, "不匹配 · CTDB 精确 (可信度 7)")), std::string::npos) << out_;
    EXPECT_EQ(out_.find("重新读取"), std::string::npos) << out_;
    const std::string log = LogText(out_dir_.Path() / "rip.log");
    EXPECT_EQ(log.find("已以安全模式重新读取"), std::string::npos) << log;
    EXPECT_NE(log.find("证明: 数据库确认"), std::string::npos) << log;
}

// Another pressing: the database's audio is the rip's shifted by 48 samples,
// either way. Every track and the disc match at that alignment, which the
// verdict names; audio that differs still mismatches at every alignment.
TEST_F(VerifiedRipCommandLineTest, TheCtdbFindsAnotherPressingsAlignment)
{
    const CtdbSums atZero = CtdbSumsOf(disc_);
    ctdb_ = server_.BaseUrl().toStdString() + "/ctdb";
    ServeSums(V1Sums());
    const auto serveCtdb = [this](const CtdbSums& sums) {
        server_.Serve("/ctdb/lookup2.php",
                      HttpReply{200,
                                QByteArray::fromStdString(
                                    "<ctdb xmlns=\"http://db.cuetools.net/ns/mmd-1.0#\">" +
                                    CtdbEntry(6, sums.disc, sums.tracks) + "</ctdb>"),
                                "text/xml",
                                {},
                                0,
                                false});
    };
    int rips = 0;
    const auto logText = [this, &rips] {
        ++rips;
        return LogText(out_dir_.Path() / (rips == 1 ? std::string("rip.log")
                                                    : "rip (" + std::to_string(rips) + ").log"));
    };
    for (const std::string offset : {"+48", "-48"}) {
        serveCtdb(CtdbSumsOf(disc_, std::stoi(offset)));
        ASSERT_EQ(Sonfeld(Rip("--reading-mode secure")), 0) << out_ << err_;
        const std::string verdict = "CTDB 精确 (可信度 6, 偏移 " + offset + ")";
        for (int track = 1; track <= 3; ++track)
            EXPECT_NE(out_.find(TrackLine(track, "精确 (可信度 5) · " + verdict)),
                      std::string::npos)
                << out_;
        const std::string log = logText();
        EXPECT_NE(log.find("CTDB 整张光盘: " + verdict + "，光盘 CRC32 " + Hex(atZero.disc)),
                  std::string::npos)
            << log;
        // Tracks judged before their neighbour was read are judged again.
        EXPECT_EQ(log.find("CTDB 不匹配"), std::string::npos) << log;
    }

    // One byte of track 2 differs: tracks 1 and 3 still match, track 2 and the disc do not.
    serveCtdb(CtdbSumsOf(disc_, 48, 400 * 588 * 4 + 3));
    ASSERT_EQ(Sonfeld(Rip("--reading-mode secure")), 0) << out_ << err_;
    EXPECT_NE(out_.find(TrackLine(1, "精确 (可信度 5) · CTDB 精确 (可信度 6, 偏移 +48)")),
              std::string::npos)
        << out_;
    EXPECT_NE(out_.find(TrackLine(2, "精确 (可信度 5) · CTDB 不匹配")), std::string::npos) << out_;
    EXPECT_EQ(out_.find(TrackLine(2, "精确 (可信度 5) · CTDB 精确")), std::string::npos) << out_;
    const std::string log = logText();
    EXPECT_NE(log.find("CTDB 整张光盘: CTDB 不匹配，光盘 CRC32 " + Hex(atZero.disc)),
              std::string::npos)
        << log;
}

} // namespace
} // namespace sonfeld::test
