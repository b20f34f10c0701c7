// The command line's report of a rip, driven through the rows as the queue
// sets them, with a clock the test moves.

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include "app/cli/rip_report.h"
#include "app/tracks/track_list_model.h"

namespace sonfeld::app {
namespace {

class RipReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Three tracks of 4 s each: 12 s of audio.
        for (int track = 1; track <= 3; ++track)
            rows_.AddTrackRow({QStringLiteral("[%1] - 0:04").arg(track), 300});
    }

    TRipReport& Report(TReportStyle style)
    {
        report_ = std::make_unique<TRipReport>(
            rows_, style, out_, err_,
            [this](int track) {
                const auto found = proofs_.find(track);
                return found != proofs_.end() ? found->second : TTrackProof{};
            },
            [](int row) { return QStringLiteral("/music/Track%1.flac").arg(row + 1); },
            [this] { return now_; }, 60);
        return *report_;
    }

    // The JSON objects written so far; every line must be one.
    std::vector<QJsonObject> Events()
    {
        std::vector<QJsonObject> events;
        for (const QString& line : outText_.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            QJsonParseError error{};
            const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
            EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
            EXPECT_TRUE(document.isObject()) << line.toStdString();
            events.push_back(document.object());
        }
        return events;
    }

    std::vector<QJsonObject> EventsNamed(const QString& name)
    {
        std::vector<QJsonObject> named;
        for (const QJsonObject& event : Events())
            if (event.value(QStringLiteral("event")).toString() == name)
                named.push_back(event);
        return named;
    }

    void Ripped(int track, quint32 crc, verify::AccurateRipStatus status, const QString& text)
    {
        TTrackProof& proof = proofs_[track];
        proof.Checksums = verify::TrackChecksums{};
        proof.Checksums->crc32 = crc;
        proof.AccurateRip = verify::AccurateRipVerdict{status, 3, verify::AccurateRipVersion::V2};
        proof.Verdict = text;
    }

    TTrackListModel rows_;
    QString outText_;
    QString errText_;
    QTextStream out_{&outText_};
    QTextStream err_{&errText_};
    std::map<int, TTrackProof> proofs_;
    qint64 now_ = 0;
    std::unique_ptr<TRipReport> report_;
};

TEST_F(RipReportTest, JsonProgressComesAtMostOnceASecondPerTrack)
{
    Report(TReportStyle::Json);
    rows_.SetStatus(0, TTrackStatus::Reading);
    for (const int percent : {5, 10, 20}) // at 0 ms: the first only
        rows_.SetProgress(0, percent);
    now_ = 999;
    rows_.SetProgress(0, 30);
    rows_.SetStatus(1, TTrackStatus::Reading);
    rows_.SetProgress(1, 10); // another track: its own second
    now_ = 1000;
    rows_.SetProgress(0, 40);
    rows_.SetProgress(1, 20); // 1 ms after its first
    now_ = 2000;
    rows_.SetProgress(0, 50);
    rows_.SetProgress(1, 50);

    std::vector<std::pair<int, int>> shown; // track, percent
    for (const QJsonObject& event : EventsNamed(QStringLiteral("progress")))
        shown.emplace_back(event.value(QStringLiteral("track")).toInt(),
                           event.value(QStringLiteral("percent")).toInt());
    EXPECT_EQ(shown, (std::vector<std::pair<int, int>>{{1, 5}, {2, 10}, {1, 40}, {1, 50}, {2, 50}}))
        << outText_.toStdString();
    // At 2 s: 2 s + 2 s of 12 s done since the first track started at 0 ms.
    const QJsonObject last = EventsNamed(QStringLiteral("progress")).back();
    EXPECT_DOUBLE_EQ(last.value(QStringLiteral("overall_percent")).toDouble(), 33.3);
    EXPECT_DOUBLE_EQ(last.value(QStringLiteral("speed")).toDouble(), 2.0);
    EXPECT_DOUBLE_EQ(last.value(QStringLiteral("seconds_left")).toDouble(), 4.0);
    EXPECT_EQ(EventsNamed(QStringLiteral("track-started")).size(), 2U);
}

TEST_F(RipReportTest, JsonTrackDoneWaitsForTheVerdictAndRipDoneCounts)
{
    TRipReport& report = Report(TReportStyle::Json);
    for (int row = 0; row < 3; ++row)
        rows_.SetStatus(row, TTrackStatus::Reading);
    // Track 1 ripped before the lookup answered: done once its verdict is in.
    rows_.SetStatus(0, TTrackStatus::Converted);
    EXPECT_TRUE(EventsNamed(QStringLiteral("track-done")).empty());
    Ripped(1, 0x1A2B3C4D, verify::AccurateRipStatus::Match, QStringLiteral("精确 (可信度 3)"));
    report.TrackVerified(1);
    rows_.SetFailed(1, QStringLiteral("无法写入"));
    // Track 3 ripped, its verdict never comes.
    proofs_[3].Checksums = verify::TrackChecksums{};
    rows_.SetStatus(2, TTrackStatus::Converted);
    report.Finish(QStringLiteral("/music"), 1);

    const std::vector<QJsonObject> done = EventsNamed(QStringLiteral("track-done"));
    ASSERT_EQ(done.size(), 3U) << outText_.toStdString();
    EXPECT_EQ(done[0].value(QStringLiteral("track")).toInt(), 1);
    EXPECT_EQ(done[0].value(QStringLiteral("status")).toString(), QStringLiteral("ripped"));
    EXPECT_EQ(done[0].value(QStringLiteral("target")).toString(),
              QStringLiteral("/music/Track1.flac"));
    const QJsonObject verdict = done[0].value(QStringLiteral("verdict")).toObject();
    EXPECT_EQ(verdict.value(QStringLiteral("text")).toString(), QStringLiteral("精确 (可信度 3)"));
    EXPECT_EQ(verdict.value(QStringLiteral("accuraterip")).toString(), QStringLiteral("match"));
    EXPECT_EQ(verdict.value(QStringLiteral("confidence")).toInt(), 3);
    EXPECT_EQ(done[0]
                  .value(QStringLiteral("checksums"))
                  .toObject()
                  .value(QStringLiteral("crc32"))
                  .toString(),
              QStringLiteral("1A2B3C4D"));
    EXPECT_EQ(done[1].value(QStringLiteral("status")).toString(), QStringLiteral("failed"));
    EXPECT_EQ(done[1].value(QStringLiteral("reason")).toString(), QStringLiteral("无法写入"));
    EXPECT_TRUE(done[1].value(QStringLiteral("checksums")).isNull());
    EXPECT_EQ(done[2].value(QStringLiteral("track")).toInt(), 3);
    EXPECT_TRUE(done[2].value(QStringLiteral("verdict")).isNull());

    const QJsonObject end = Events().back();
    EXPECT_EQ(end.value(QStringLiteral("event")).toString(), QStringLiteral("rip-done"));
    EXPECT_EQ(end.value(QStringLiteral("requested")).toInt(), 3);
    EXPECT_EQ(end.value(QStringLiteral("ripped")).toInt(), 2);
    EXPECT_EQ(end.value(QStringLiteral("accurate")).toInt(), 1);
    EXPECT_EQ(end.value(QStringLiteral("failed")).toInt(), 1);
    EXPECT_EQ(end.value(QStringLiteral("exit_code")).toInt(), 1);
    // Human text never mixes with the JSON.
    report.Note(QStringLiteral("Names from: CD-TEXT"));
    EXPECT_TRUE(errText_.contains(QStringLiteral("Names from: CD-TEXT")));
    EXPECT_EQ(Events().size(), 7U);
}

TEST_F(RipReportTest, LinesTellEachStatusChangeOnceAndNoProgress)
{
    Report(TReportStyle::Lines);
    rows_.SetStatus(0, TTrackStatus::Reading);
    for (int percent = 0; percent <= 100; percent += 5) {
        now_ += 1000;
        rows_.SetProgress(0, percent);
        rows_.SetStatus(0, percent < 50 ? TTrackStatus::Reading : TTrackStatus::Converting);
    }
    rows_.SetStatus(0, TTrackStatus::Converted);
    EXPECT_EQ(outText_, QStringLiteral("Track 1 -> /music/Track1.flac\n"
                                       "Track 1: 正在读取\n"
                                       "Track 1: 转换中\n"
                                       "Track 1: 完成转换\n"));
}

TEST_F(RipReportTest, TerminalRedrawsTheRunningTracksInPlace)
{
    TRipReport& report = Report(TReportStyle::Terminal);
    rows_.SetStatus(0, TTrackStatus::Reading);
    rows_.SetStatus(1, TTrackStatus::Reading);
    outText_.clear();
    now_ = 50; // too soon after the last drawing
    rows_.SetProgress(0, 10);
    EXPECT_TRUE(outText_.isEmpty()) << outText_.toStdString();
    now_ = 2000;
    rows_.SetProgress(0, 50);
    // Up over the three lines drawn, cleared, drawn again: two tracks and the overall line.
    EXPECT_EQ(outText_, QStringLiteral("\r\x1b[3A\x1b[J"
                                       "\x1b[2KTrack 1   正在读取  [##########..........]  50%\n"
                                       "\x1b[2KTrack 2   正在读取  [....................]   0%\n"
                                       "\x1b[2KOverall  16%  1.0×  0:10 left\n"))
        << outText_.toStdString();
    // A finished track's line stays above the progress lines.
    outText_.clear();
    rows_.SetStatus(0, TTrackStatus::Converted);
    EXPECT_TRUE(outText_.startsWith(QStringLiteral("\r\x1b[3A\x1b[JTrack 1: 完成转换\n"
                                                   "\x1b[2KTrack 2 ")))
        << outText_.toStdString();
    rows_.SetStatus(1, TTrackStatus::Cancelled);
    Ripped(1, 0xF7DD5B8B, verify::AccurateRipStatus::NotInDatabase,
           QStringLiteral("数据库中无此光盘"));
    outText_.clear();
    report.Finish(QStringLiteral("/music"), 1);
    // The progress lines go; the table stays, its columns aligned for Chinese text.
    EXPECT_EQ(outText_,
              QStringLiteral("\r\x1b[1A\x1b[J"
                             "  Track    Status    Verdict           CRC32\n"
                             "  Track 1  完成转换  数据库中无此光盘  F7DD5B8B\n"
                             "  Track 2  用户取消  -                 -\n"
                             "  Track 3  未转换    -                 -\n"
                             "Totals: 1 of 3 ripped, 0 accurate, 0 mismatched, 0 failed, 2 "
                             "stopped or not started\n"))
        << outText_.toStdString();
}

TEST_F(RipReportTest, QuietShowsTheSummaryAndErrorsOnly)
{
    TRipReport& report = Report(TReportStyle::Quiet);
    report.Info() << "Names from: CD-TEXT" << Qt::endl;
    rows_.SetStatus(0, TTrackStatus::Reading);
    rows_.SetProgress(0, 50);
    rows_.SetStatus(0, TTrackStatus::Converted);
    report.Note(QStringLiteral("Track 1: 无法连接"));
    report.Error(QStringLiteral("Error: disc gone"));
    report.Finish(QStringLiteral("/music"), 1);
    EXPECT_EQ(errText_, QStringLiteral("Error: disc gone\n"));
    EXPECT_TRUE(outText_.startsWith(QStringLiteral("  Track    Status"))) << outText_.toStdString();
    EXPECT_TRUE(outText_.endsWith(
        QStringLiteral("Totals: 1 of 3 ripped, 0 accurate, 0 mismatched, 0 failed, 2 stopped "
                       "or not started\n")))
        << outText_.toStdString();
}

} // namespace
} // namespace sonfeld::app
