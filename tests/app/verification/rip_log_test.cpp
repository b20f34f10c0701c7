#include "app/verification/rip_log.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QDir>

#include "support/file_size_limit.h"

namespace sonfeld::app {
namespace {

RipLogTrack Track(int number, verify::AccurateRipStatus status, int confidence = 0)
{
    RipLogTrack track;
    track.number = number;
    track.fileName = QStringLiteral("%1 - 晨光.flac").arg(number, 2, 10, QLatin1Char('0'));
    verify::TrackChecksums sums;
    sums.crc32 = 0x7d07d265;
    sums.crc32WithoutNulls = 0x1c2d3e4f;
    sums.accurateRipV1 = 0x04bc6b08;
    sums.accurateRipV2 = 0x050b9a37;
    sums.peak = 32440;
    sums.samples = 5880;
    sums.complete = true;
    track.checksums = sums;
    track.accurateRip.status = status;
    track.accurateRip.confidence = confidence;
    track.accurateRip.version = verify::AccurateRipVersion::V2;
    track.ripped = true;
    track.status = QStringLiteral("完成");
    return track;
}

RipLog AccurateDisc()
{
    RipLog log;
    log.programVersion = QStringLiteral("1.0.2.16");
    log.date = QDateTime(QDate(2024, 5, 1), QTime(12, 30, 5));
    log.driveName = QStringLiteral("HL-DT-ST - DVDRAM GH24NSD1");
    log.readOffset = 6;
    log.readingMode = QStringLiteral("安全模式");
    log.accurateRipId = QStringLiteral("003-000003c2-00000d1f-0c000603");
    log.freedbId = QStringLiteral("0c000603");
    log.toc = {{1, 0, 10, 0, true}, {2, 10, 460, 33, true}, {3, 470, 12, 0, true}};
    log.tracks = {Track(1, verify::AccurateRipStatus::Match, 17),
                  Track(2, verify::AccurateRipStatus::Match, 5)};
    return log;
}

TEST(RipLogTest, TellsEverythingAndEndsWithItsChecksum)
{
    RipLog log = AccurateDisc();
    log.tracks[1].testCrc = 0x7d07d265;
    log.tracks[1].paranoia = {3, 1, {}};
    const QByteArray bytes = FormatRipLog(log);
    const QString text = QString::fromUtf8(bytes);
    for (const char* expected :
         {"1.0.2.16", "2024-05-01 12:30:05", "HL-DT-ST - DVDRAM GH24NSD1", "读取偏移: +6 采样",
          "读取模式: 安全模式", "003-000003c2-00000d1f-0c000603", "00:06.10", "01 - 晨光.flac",
          "峰值: 99.0 %", "复制 CRC32: 7D07D265", "复制 CRC32 (不含空采样): 1C2D3E4F",
          "测试 CRC32: 7D07D265", "测试与复制: 一致", "AccurateRip v1: 04BC6B08",
          "AccurateRip v2: 050B9A37", "精确 (可信度 17)，v2", "纠正次数: 3", "读取错误: 1",
          "状态: 完成"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected;
    EXPECT_TRUE(
        text.contains(QStringLiteral("汇总\n") + kAllTracksAccurate + QStringLiteral("\n")));

    // The last line is the SHA-256 of everything above it, computed here afresh.
    const qsizetype lastLine = bytes.lastIndexOf('\n', bytes.size() - 2) + 1;
    const QByteArray digest =
        QCryptographicHash::hash(bytes.left(lastLine), QCryptographicHash::Sha256).toHex();
    EXPECT_EQ(bytes.mid(lastLine), QByteArray("日志校验 SHA-256: ") + digest + "\n");
    EXPECT_EQ(CheckRipLogText(bytes), RipLogCheck::Intact);
}

TEST(RipLogTest, SummaryListsEveryProblem)
{
    RipLog log = AccurateDisc();
    log.tracks[0].accurateRip.status = verify::AccurateRipStatus::Mismatch;
    log.tracks[1].accurateRip.status = verify::AccurateRipStatus::LookupFailed;
    log.tracks[1].accurateRipDetail =
        QStringLiteral("No answer from the AccurateRip server within 10 s");
    log.tracks[1].testCrc = 0x12345678;
    log.tracks[1].paranoia.uncorrectedSectors = {120, 121};
    RipLogTrack failed;
    failed.number = 3;
    failed.status = QStringLiteral("读取失败");
    log.tracks.push_back(failed);

    const QStringList problems = RipLogProblems(log);
    const QStringList expected = {
        QStringLiteral("音轨 1: AccurateRip 不匹配"),
        QStringLiteral("音轨 2: 2 个扇区未能纠正"),
        QStringLiteral("音轨 2: 测试与复制 CRC 不一致"),
        QStringLiteral(
            "音轨 2: AccurateRip 无法连接 (No answer from the AccurateRip server within 10 s)"),
        QStringLiteral("音轨 3: 未完成 (读取失败)"),
    };
    EXPECT_EQ(problems, expected);
    const QString text = QString::fromUtf8(FormatRipLog(log));
    EXPECT_FALSE(text.contains(kAllTracksAccurate));
    EXPECT_TRUE(text.contains(QStringLiteral("未能纠正的扇区: 2 (LSN 120, 121)")));
    EXPECT_TRUE(text.contains(QStringLiteral("校验和: 无")));

    EXPECT_EQ(RipLogProblems(RipLog{}), QStringList{QStringLiteral("没有抓取任何音轨")});
}

TEST(RipLogTest, AnyChangeToTheWrittenLogIsCaught)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rip.log"));
    QString error;
    ASSERT_TRUE(WriteRipLog(path, AccurateDisc(), &error)) << error.toStdString();
    EXPECT_EQ(CheckRipLogFile(path), RipLogCheck::Intact);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray original = file.readAll();
    file.close();

    QByteArray tampered = original;
    tampered.replace("不匹配", "精确"); // nothing to replace in an accurate log
    tampered.replace("可信度 5", "可信度 9");
    ASSERT_NE(tampered, original);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(tampered);
    file.close();
    EXPECT_EQ(CheckRipLogFile(path), RipLogCheck::Altered);

    EXPECT_EQ(CheckRipLogText(original + "extra line\n"), RipLogCheck::NoChecksum);
    EXPECT_EQ(CheckRipLogText(original.left(original.size() - 1)), RipLogCheck::NoChecksum);
    QByteArray badDigest = original;
    badDigest[badDigest.size() - 2] = badDigest.at(badDigest.size() - 2) == 'a' ? 'b' : 'a';
    EXPECT_EQ(CheckRipLogText(badDigest), RipLogCheck::Altered);
    EXPECT_EQ(CheckRipLogText(QByteArray()), RipLogCheck::NoChecksum);
    EXPECT_EQ(CheckRipLogFile(dir.filePath(QStringLiteral("missing.log"))),
              RipLogCheck::Unreadable);
    EXPECT_FALSE(WriteRipLog(dir.filePath(QStringLiteral("no/such/folder/rip.log")), AccurateDisc(),
                             &error));
    EXPECT_TRUE(error.contains(QStringLiteral("could not be written")));
}

TEST(RipLogTest, OnlyARegularFileOfLogSizeIsRead)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo.log"));
    ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const QString large = dir.filePath(QStringLiteral("large.log"));
    QFile file(large);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(17 * 1024 * 1024));
    file.close();
    const struct {
        QString path;
        const char* reason;
    } cases[] = {{fifo, "not a regular file"},
                 {QStringLiteral("/dev/zero"), "not a regular file"},
                 {large, "too large to be a rip log"}};
    for (const auto& c : cases) {
        QString reason;
        EXPECT_EQ(CheckRipLogFile(c.path, &reason), RipLogCheck::Unreadable) << c.reason;
        EXPECT_TRUE(reason.contains(QLatin1String(c.reason))) << reason.toStdString();
    }
}

// A full disk: the write fails, is reported, and leaves neither an empty or
// cut-off log nor its temporary file; an earlier log under the name stays whole.
TEST(RipLogTest, AFullDiskIsReportedAndLeavesNothingBehind)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rip.log"));
    QFile earlier(path);
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("earlier\n");
    earlier.close();
    QString error;
    {
        const test::FileSizeLimit full(64);
        EXPECT_FALSE(WriteRipLog(path, AccurateDisc(), &error));
    }
    EXPECT_TRUE(error.contains(QStringLiteral("could not be written"))) << error.toStdString();
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), QByteArray("earlier\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("rip.log")});
}

} // namespace
} // namespace sonfeld::app

namespace sonfeld::app {
namespace {

// What proves a read: a database first, then another read that agrees;
// reads that disagree are suspicious however the reader judged itself.
TEST(ReadProofTest, ADatabaseOrTwoAgreeingReadsProveATrackAndDisagreementIsSuspicious)
{
    TTrackVerdict none;
    TTrackVerdict ctdb;
    ctdb.Ctdb = TDatabaseVerdict{TDatabaseStatus::Accurate, 12, verify::AccurateRipVersion::None};
    const std::vector<qint64> at{4521};
    struct Case {
        const TTrackVerdict& verdict;
        std::vector<quint32> others;
        bool complete;
        bool readerProven;
        bool readerSuspicious;
        TReadProofStatus expected;
    };
    const Case cases[] = {
        {ctdb, {0x2u}, true, false, true, TReadProofStatus::ProvenByDatabase},
        {none, {0x2u, 0x1u}, true, false, false, TReadProofStatus::ProvenByAgreeingReads},
        {none, {0x2u}, true, true, false, TReadProofStatus::Suspicious},
        {none, {}, true, true, true, TReadProofStatus::Suspicious},
        {none, {}, true, true, false, TReadProofStatus::ProvenByAgreeingReads},
        {none, {}, true, false, false, TReadProofStatus::Unproven},
        {none, {0x1u}, false, true, false, TReadProofStatus::Unproven},
    };
    for (const Case& c : cases) {
        const TReadProof proof = ProveRead(c.verdict, c.complete, 0x1u, c.others, c.readerProven,
                                           c.readerSuspicious, at);
        EXPECT_EQ(proof.Status, c.expected) << static_cast<int>(&c - cases);
        EXPECT_EQ(proof.Sectors.empty(), c.expected != TReadProofStatus::Suspicious);
    }

    // The log gives both CRCs and where the reads never agreed; the row says "可疑".
    RipLog log = AccurateDisc();
    log.tracks[1].accurateRip.status = verify::AccurateRipStatus::NotInDatabase;
    log.tracks[1].otherReads = {0x0badf00du};
    log.tracks[1].proof = ProveRead(none, true, 0x7d07d265, {0x0badf00du}, true, true, at);
    const QString text = QString::fromUtf8(FormatRipLog(log));
    EXPECT_TRUE(text.contains(QStringLiteral("复制 CRC32: 7D07D265"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("另一次读取 CRC32: 0BADF00D (不一致)")));
    EXPECT_TRUE(text.contains(QStringLiteral("证明: 可疑 (01:00.21)"))) << text.toStdString();
    EXPECT_TRUE(RipLogProblems(log).contains(QStringLiteral("音轨 2: 可疑")));
    TTrackVerdict cell;
    cell.AccurateRip.Status = TDatabaseStatus::NotInDatabase;
    cell.Ctdb.Status = TDatabaseStatus::NoConnection;
    cell.Proof = *log.tracks[1].proof;
    EXPECT_EQ(VerdictCellText(cell).Chinese(), QStringLiteral("数据库中无此光盘；可疑"));
}

} // namespace
} // namespace sonfeld::app
