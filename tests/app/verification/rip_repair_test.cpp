#include "app/verification/rip_repair.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include "app/verification/rip_log.h"
#include "audio/cd/ctdb/ctdb_stream.h"
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

// Three tracks of 1000, 1500 and 1200 sectors.
const std::vector<int> kStarts{0, 1000, 2500};
constexpr int kLeadOut = 3700;
constexpr std::int64_t kSamples = std::int64_t{kLeadOut} * 588;
constexpr std::int64_t kMargin = 100; // samples the source has before and after the disc

QString Q(const std::filesystem::path& path)
{
    return QString::fromStdString(path.string());
}

Bytes Wave(const Bytes& pcm)
{
    Bytes out{'R', 'I', 'F', 'F', 0,  0, 0,   0,   'W', 'A',  'V',  'E', 'f', 'm',  't',
              ' ', 16,  0,   0,   0,  1, 0,   2,   0,   0x44, 0xAC, 0,   0,   0x10, 0xB1,
              2,   0,   4,   0,   16, 0, 'd', 'a', 't', 'a',  0,    0,   0,   0};
    auto put = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put(4, static_cast<std::uint32_t>(36 + pcm.size()));
    put(40, static_cast<std::uint32_t>(pcm.size()));
    out.resize(44 + pcm.size());
    std::copy(pcm.begin(), pcm.end(), out.begin() + 44);
    return out;
}

// A disc in the database, its recovery data, and a rip of it with damage.
struct RepairDisc {
    Bytes source; // the disc's audio with a margin on both sides
    Bytes rip;    // what the drive gave, shifted by `shift` samples: undamaged
    Bytes damaged;
    QByteArray answer, record;

    RepairDisc(int shift, const std::vector<std::pair<std::int64_t, int>>& bursts)
    {
        source.resize(static_cast<std::size_t>((kSamples + 2 * kMargin) * 4));
        std::uint32_t x = 777;
        for (std::size_t i = 0; i < source.size(); i += 2) {
            x = x * 1664525u + 1013904223u;
            // Quiet noise, so that FLAC has something to compress.
            const auto v = static_cast<std::int16_t>(static_cast<std::int32_t>(x >> 16) % 3000);
            source[i] = static_cast<std::uint8_t>(v & 0xFF);
            source[i + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
        }
        const auto slice = [&](std::int64_t first) {
            return Bytes(source.begin() + first * 4, source.begin() + (first + kSamples) * 4);
        };
        const Bytes reference = slice(kMargin);
        rip = slice(kMargin + shift);
        damaged = rip;
        for (const auto& [first, length] : bursts)
            for (std::int64_t b = first * 4; b < (first + length) * 4; ++b)
                damaged[static_cast<std::size_t>(b)] ^= static_cast<std::uint8_t>(0x5A ^ (b & 7));

        ctdb::CtdbToc toc;
        toc.starts = kStarts;
        toc.data.assign(kStarts.size(), false);
        toc.leadOut = kLeadOut;
        ctdb::CtdbStreamAnalysis analysis(ctdb::CtdbLayout::FromToc(toc));
        analysis.Update(reference.data(), reference.size());
        record.resize(static_cast<qsizetype>(ctdb::RecoveryBytes(16)));
        QByteArray syndrome;
        for (int c = 0; c < ctdb::kStrideWords; ++c) {
            std::uint16_t s[16];
            analysis.Syndromes(0, c, 16, s);
            for (int i = 0; i < 16; ++i) {
                const qsizetype at = 2 * (i * ctdb::kStrideWords + c);
                record[at] = static_cast<char>(s[i] & 0xFF);
                record[at + 1] = static_cast<char>(s[i] >> 8);
                if (c == 0)
                    syndrome.append(record.mid(at, 2));
            }
        }
        answer = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ctdb "
                                "xmlns=\"http://db.cuetools.net/ns/mmd-1.0#\">\n <entry id=\"9\" "
                                "crc32=\"%1\" confidence=\"5\" npar=\"16\" stride=\"5880\" "
                                "hasparity=\"/parity/9\" syndrome=\"%2\" toc=\"0:1000:2500:3700\" "
                                "/>\n</ctdb>\n")
                     .arg(analysis.DiscCrc(0), 8, 16, QLatin1Char('0'))
                     .arg(QString::fromLatin1(syndrome.toBase64()))
                     .toUtf8();
    }

    Bytes Track(const Bytes& audio, std::size_t track) const
    {
        const std::int64_t first = std::int64_t{kStarts[track]} * 588 * 4;
        const std::int64_t end =
            (track + 1 < kStarts.size() ? kStarts[track + 1] : kLeadOut) * std::int64_t{588 * 4};
        return Bytes(audio.begin() + first, audio.begin() + end);
    }

    // The damaged rip as files of `suffix` ("wav" or "flac", tagged) and its log.
    void Write(const TempDir& folder, const std::string& suffix) const
    {
        RipLog log;
        for (std::size_t t = 0; t < kStarts.size(); ++t) {
            const int number = static_cast<int>(t) + 1;
            const std::string name = "Track" + std::to_string(number);
            test::WriteFileBytes(folder / (name + ".wav"), Wave(Track(damaged, t)));
            if (suffix == "flac") {
                ASSERT_EQ(test::RunCommand("flac -s -f -T TITLE=Song" + std::to_string(number) +
                                           " -o " + test::ShellQuote((folder / (name + ".flac"))) +
                                           " " + test::ShellQuote(folder / (name + ".wav"))),
                          0);
                std::filesystem::remove(folder / (name + ".wav"));
            }
            const int end = t + 1 < kStarts.size() ? kStarts[t + 1] : kLeadOut;
            log.toc.push_back(RipLogTocEntry{number, kStarts[t], end - kStarts[t], 0, true});
            RipLogTrack track;
            track.number = number;
            track.fileName =
                QString::fromStdString(name).append(u'.').append(QString::fromStdString(suffix));
            log.tracks.push_back(track);
        }
        QString error;
        ASSERT_TRUE(WriteRipLog(Q(folder / "Album.log"), log, &error)) << error.toStdString();
    }
};

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

void Serve(HttpTestServer& server, const RepairDisc& disc)
{
    server.Serve("/lookup2.php?version=3&ctdb=1&fuzzy=1&metadata=none&toc=0:1000:2500:3700",
                 HttpReply{200, disc.answer, "text/xml", {}, 0, false});
    server.Serve("/parity/9",
                 HttpReply{200, disc.record, "application/octet-stream", {}, 0, false});
}

TEST(RipRepairTest, DamagedRipsAtThreeOffsetsAreRepairedAndProven)
{
    if (!test::ToolAvailable("flac") || !test::ToolAvailable("ffmpeg"))
        GTEST_SKIP() << "flac and ffmpeg are the test's encoder and decoder";
    // 3000 damaged samples in tracks 1 and 3; track 2 is whole.
    const std::vector<std::pair<std::int64_t, int>> bursts{
        {100000, 1000}, {2600 * 588, 1200}, {3000 * 588 + 77, 800}};
    for (const auto& [shift, suffix] :
         std::vector<std::pair<int, std::string>>{{0, "flac"}, {48, "wav"}, {-48, "flac"}}) {
        SCOPED_TRACE(shift);
        const RepairDisc disc(shift, bursts);
        TempDir folder;
        disc.Write(folder, suffix);
        const std::string two = "Track2." + suffix;
        const Bytes trackTwo = test::ReadFileBytes(folder / two);
        Application();
        HttpTestServer server;
        Serve(server, disc);
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
        EXPECT_FALSE(std::filesystem::exists(folder / ".Track1.flac.sonfeld-repair"));
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
    // Ten bursts in the same columns: more errors than 16 syndromes can find.
    std::vector<std::pair<std::int64_t, int>> bursts;
    bursts.reserve(10);
    for (int i = 0; i < 10; ++i)
        bursts.emplace_back(std::int64_t{5880} * (3 + 30 * i) + 100, 600);
    const RepairDisc disc(0, bursts);
    TempDir folder;
    disc.Write(folder, "flac");
    std::vector<Bytes> before;
    for (int t = 1; t <= 3; ++t)
        before.push_back(test::ReadFileBytes(folder / ("Track" + std::to_string(t) + ".flac")));
    Application();
    HttpTestServer server;
    Serve(server, disc);
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
    EXPECT_FALSE(ReadRepairSource(Q(lossy.Path()), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("lossy"))) << error.toStdString();
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
