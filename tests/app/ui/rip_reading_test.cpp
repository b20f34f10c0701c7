// How the one-track-at-a-time queue reads a fake drive: fast, then a secure
// re-read of what a local AccurateRip server does not confirm; test and copy;
// the drive's stored read offset; and the settings page's reading entries.
// The pipelined queue's fast reading: rip_fast_pipelined_test.cpp.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

#include "app/settings/reading_settings.h"
#include "app/text/texts.h"
#include "fake_drive_rip_fixture.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

class RipReadingTest : public FakeDriveRipTest {};

TEST_F(RipReadingTest, AFastReadAccurateRipRejectsIsReadOnceMoreSecurely)
{
    // Track 2's fast read goes wrong; the database never confirms track 3.
    MisreadTrackTwoAndMisstoreTrackThree();
    Write(key::kSequentialMode, true);
    PrepareRip();
    RowRecorder recorder(Rows());

    const std::string log = RipAll();
    const FakeCR_Counters counters = Counters();
    // Track 1 is read once; tracks 2 and 3 once fast and once securely.
    EXPECT_EQ(counters.fastOpenCalls, 3);
    EXPECT_EQ(counters.secureOpenCalls, 2);
    EXPECT_EQ(Rows().Verdict(0), QStringLiteral("精确 (可信度 5)"));
    EXPECT_EQ(Rows().Verdict(1), QStringLiteral("精确 (可信度 5)"));
    EXPECT_EQ(Rows().Verdict(2), QStringLiteral("不匹配"));
    EXPECT_EQ(recorder.StatusesOf(0),
              (std::vector<TTrackStatus>{TTrackStatus::Converting, TTrackStatus::Converted}));
    EXPECT_EQ(recorder.StatusesOf(1),
              (std::vector<TTrackStatus>{TTrackStatus::Converting, TTrackStatus::ReReading,
                                         TTrackStatus::Converted}));
    // What matches nothing after the secure read is kept, and the log says so.
    EXPECT_EQ(Rows().Status(2), TTrackStatus::Converted);
    EXPECT_EQ(FilesLeft(), ripped_);
    EXPECT_GT(std::filesystem::file_size(Output("Track2.wav")), 300u * 2352u);
    EXPECT_NE(log.find("读取模式: 快速并校验"), std::string::npos) << log;
    EXPECT_EQ(Occurrences(log, "快速读取与 AccurateRip 不匹配，已以安全模式重新读取"), 2) << log;
    EXPECT_EQ(Occurrences(log, "安全模式重新读取后仍未经 AccurateRip 确认，文件已保留"), 1) << log;
    EXPECT_NE(log.find("音轨 3: AccurateRip 不匹配"), std::string::npos) << log;
    // The end says so, and what to do about it.
    ASSERT_EQ(messages_.Messages.size(), 1u);
    EXPECT_EQ(messages_.Messages[0].Caption, text::kRipEndedCaption);
    EXPECT_EQ(messages_.Messages[0].Text.section(QLatin1Char('\n'), 0, 1),
              QStringLiteral("已转换 3 首音轨（共 3 首）。\n"
                             "AccurateRip: 2 首验证准确，1 首不匹配，0 首无法校验。"));
    EXPECT_TRUE(messages_.Messages[0].Text.contains(text::kSummaryMismatch));
}

TEST_F(RipReadingTest, WithoutTheDiscInTheDatabaseTheRestIsReadSecurely)
{
    // Nothing served: the database answers 404.
    Write(key::kSequentialMode, true);
    const std::string log = RipAll();
    const FakeCR_Counters counters = Counters();
    // The first track was read fast before the answer came, and again securely.
    EXPECT_EQ(counters.fastOpenCalls, 1);
    EXPECT_EQ(counters.secureOpenCalls, 3);
    EXPECT_EQ(FilesLeft(), ripped_);
    for (int row = 0; row < kTracks; ++row)
        EXPECT_EQ(Rows().Verdict(row), QStringLiteral("数据库中无此光盘"));
    EXPECT_NE(log.find("其余音轨改用安全模式"), std::string::npos) << log;
    EXPECT_EQ(Occurrences(log, "AccurateRip 无法校验快速读取的结果 (数据库中无此光盘)"), 1) << log;
}

TEST_F(RipReadingTest, TestAndCopyReadsTwiceAndReportsDifferingCrcs)
{
    Write(key::kReadingMode, QStringLiteral("secure"));
    Write(key::kTestAndCopy, true);
    // Track 3's first read gets a sector wrong, its second one right.
    const std::int32_t flaky[] = {650};
    flaky_(flaky, 1, 1);
    ServeSums(v1_);

    const std::string log = RipAll();
    EXPECT_EQ(Counters().secureOpenCalls, 6);
    EXPECT_EQ(Counters().fastOpenCalls, 0);
    EXPECT_EQ(FilesLeft(), ripped_);
    EXPECT_EQ(Rows().Verdict(1), QStringLiteral("精确 (可信度 5)"));
    // The file is the copy's, which is right.
    EXPECT_EQ(Rows().Verdict(2), QStringLiteral("精确 (可信度 5)；测试与复制 CRC 不一致"));
    EXPECT_EQ(Occurrences(log, "测试 CRC32: "), 3) << log;
    EXPECT_EQ(Occurrences(log, "复制 CRC32: "), 3) << log;
    EXPECT_EQ(Occurrences(log, "测试与复制: 一致"), 2) << log;
    EXPECT_EQ(Occurrences(log, "测试与复制: 不一致"), 1) << log;
    EXPECT_NE(log.find("音轨 3: 测试与复制 CRC 不一致"), std::string::npos) << log;
}

TEST_F(RipReadingTest, TheDrivesStoredOffsetAndTheSettingsPageReachTheRip)
{
    ServeSums(v1_);
    OpenWindows();
    SelectDiscDrive();
    // The settings page shows and saves the chosen drive's offset.
    StoreReadOffsetOfDrive(QStringLiteral("Fake Drive 0"), 30);
    Form().MainTabControl->setCurrentIndex(1);
    EXPECT_EQ(Settings().comboReadingMode->currentText(), QStringLiteral("快速并校验"));
    EXPECT_FALSE(Settings().chkTestAndCopy->isChecked());
    EXPECT_FALSE(Settings().chkDeEmphasis->isChecked());
    EXPECT_EQ(Settings().spinReadOffset->value(), 30);
    EXPECT_EQ(Settings().spinReadOffset->minimum(), -2940);
    EXPECT_EQ(Settings().spinReadOffset->maximum(), 2940);
    Settings().comboReadingMode->setCurrentText(QStringLiteral("旧光驱模式"));
    Settings().spinReadOffset->setValue(-667);
    Settings().chkDeEmphasis->setChecked(true);
    Settings().btnSave->click();
    EXPECT_EQ(StoredReadingMode(), TReadingMode::OldDrive);
    EXPECT_TRUE(Read(key::kDeEmphasis));
    EXPECT_EQ(ReadOffsetOfDrive(QStringLiteral("Fake Drive 0")), -667);
    Form().MainTabControl->setCurrentIndex(0);

    ChooseFormat(QStringLiteral("Wav"));
    Form().edtDes->setText(QString::fromStdString(outDir_.string()));
    PressRip();
    ASSERT_TRUE(WaitForAllDone());
    EXPECT_EQ(Counters().lastReadOffset, -667);
    EXPECT_EQ(Counters().lastReadMode, CR_READ_OLD_DRIVE);
    EXPECT_EQ(Counters().secureOpenCalls, 3);
    ASSERT_TRUE(WaitUntil([this] { return std::filesystem::exists(Output("rip.log")); }));
    const std::vector<std::uint8_t> log = ReadFileBytes(Output("rip.log"));
    EXPECT_NE(std::string(log.begin(), log.end()).find("-667"), std::string::npos);
}

} // namespace
} // namespace sonfeld::test
