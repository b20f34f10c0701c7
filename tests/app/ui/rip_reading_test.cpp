// How the rip queue reads a fake drive: fast, then a secure re-read of what a
// local AccurateRip server does not confirm; test and copy; the drive's
// stored read offset; and the settings page's reading entries.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <cstdio>

#include "app/rip/reading_settings.h"
#include "app/rip/setting_keys.h"
#include "app_fixture.h"
#include "audio/cd/cdrip_binding.h"
#include "audio/cd/fake_cdrip_control.h"
#include "audio/cd/verify/reference_checksums.h"
#include "audio/core/dynamic_library.h"
#include "support/http/http_test_server.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

constexpr std::int32_t kStarts[] = {0, 300, 600, 900}; // three tracks, then the lead-out
constexpr int kTracks = 3;

// The fake disc's AccurateRip database path and file, worked out here from
// its layout, with one pressing holding the given v1 sums.
struct Database {
    std::uint32_t id1 = 0;
    std::uint32_t id2 = 0;
    std::uint32_t freedb = 0;

    Database()
    {
        std::uint32_t digits = 0;
        for (int i = 0; i < kTracks; ++i) {
            const auto start = static_cast<std::uint32_t>(kStarts[i]);
            id1 += start;
            id2 += std::max(start, 1u) * static_cast<std::uint32_t>(i + 1);
            for (std::uint32_t seconds = (start + 150) / 75; seconds > 0; seconds /= 10)
                digits += seconds % 10;
        }
        const auto leadOut = static_cast<std::uint32_t>(kStarts[kTracks]);
        id1 += leadOut;
        id2 += leadOut * (kTracks + 1);
        const std::uint32_t length = (leadOut + 150) / 75 - (kStarts[0] + 150) / 75;
        freedb = ((digits % 255) << 24) | (length << 8) | kTracks;
    }

    QByteArray Path() const
    {
        char path[80];
        std::snprintf(path, sizeof path, "/%x/%x/%x/dBAR-%03d-%08x-%08x-%08x.bin", id1 & 0xF,
                      (id1 >> 4) & 0xF, (id1 >> 8) & 0xF, kTracks, id1, id2, freedb);
        return path;
    }

    QByteArray File(const std::vector<std::uint32_t>& sums) const
    {
        QByteArray bytes;
        auto put32 = [&bytes](std::uint32_t v) {
            for (int b = 0; b < 4; ++b)
                bytes.append(static_cast<char>((v >> (8 * b)) & 0xFF));
        };
        bytes.append(static_cast<char>(sums.size()));
        put32(id1);
        put32(id2);
        put32(freedb);
        for (std::uint32_t sum : sums) {
            bytes.append(static_cast<char>(5));
            put32(sum);
            put32(0);
        }
        return bytes;
    }
};

// What the fake drive holds in a track, read right.
std::vector<std::uint8_t> TrackBytes(int track)
{
    std::vector<std::uint8_t> bytes;
    for (std::int32_t lsn = kStarts[track - 1]; lsn < kStarts[track]; ++lsn)
        for (std::int32_t k = 0; k < 2352; ++k)
            bytes.push_back(FakeCR_PatternByte(lsn, k));
    return bytes;
}

class RipReadingTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        const std::string fake = InProgramFolder("libfakecdrip.so");
        if (!std::filesystem::exists(fake))
            GTEST_SKIP() << "the fake CR_ library of the CD tests is not built";
        cdrip::ForgetImages();
        ASSERT_TRUE(cdrip::Load(fake));
        control_ = std::make_unique<DynamicLibrary>(fake);
        auto reset = control_->Resolve<FakeCR_ResetFn>("FakeCR_Reset");
        auto setToc = control_->Resolve<FakeCR_SetTocFn>("FakeCR_SetToc");
        unstable_ = control_->Resolve<FakeCR_SetUnstableSectorsFn>("FakeCR_SetUnstableSectors");
        flaky_ = control_->Resolve<FakeCR_SetFlakySectorsFn>("FakeCR_SetFlakySectors");
        counters_ = control_->Resolve<FakeCR_GetCountersFn>("FakeCR_GetCounters");
        ASSERT_TRUE(reset && setToc && unstable_ && flaky_ && counters_);
        reset();
        const std::uint8_t flags[] = {0x10, 0x10, 0x10, 0x10};
        setToc(kStarts, flags, kTracks);
        discDrive_ = 0;
        for (int track = 1; track <= kTracks; ++track)
            v1_.push_back(
                verify::test::Reference(TrackBytes(track), track == 1, track == kTracks).v1);
        Write(key::kAccurateRipServer, server_.BaseUrl());
        Write(key::kReadingMode, QStringLiteral("fastVerify"));
    }

    void TearDown() override
    {
        WindowTest::TearDown();
        cdrip::Load(cdrip::DefaultLibraryPath());
    }

    void ServeSums(const std::vector<std::uint32_t>& sums)
    {
        server_.Serve(
            database_.Path(),
            HttpReply{200, database_.File(sums), "application/octet-stream", {}, 0, false});
    }

    void PrepareRip()
    {
        OpenWindows();
        SelectDiscDrive();
        ChooseFormat(QStringLiteral("Wav"));
        Form().edtDes->setText(QString::fromStdString(outDir_.string()));
    }

    // Rips every track to WAV and waits for the log, written once the verdicts are in.
    std::string RipAll()
    {
        if (!windows_.MainForm)
            PrepareRip();
        EXPECT_EQ(Rows().rowCount(), kTracks);
        PressRip();
        EXPECT_TRUE(WaitForAllDone());
        EXPECT_TRUE(WaitUntil([this] { return std::filesystem::exists(Output("rip.log")); }));
        const std::vector<std::uint8_t> log = ReadFileBytes(Output("rip.log"));
        return std::string(log.begin(), log.end());
    }

    FakeCR_Counters Counters() const
    {
        FakeCR_Counters counters{};
        counters_(&counters);
        return counters;
    }

    std::vector<std::string> FilesLeft() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(outDir_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    static int Occurrences(const std::string& text, const std::string& part)
    {
        int count = 0;
        for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++count;
        return count;
    }

    QApplication& application_ = App(); // before the server
    HttpTestServer server_;
    Database database_;
    std::vector<std::uint32_t> v1_;
    std::unique_ptr<DynamicLibrary> control_;
    FakeCR_SetUnstableSectorsFn unstable_ = nullptr;
    FakeCR_SetFlakySectorsFn flaky_ = nullptr;
    FakeCR_GetCountersFn counters_ = nullptr;
    const std::vector<std::string> ripped_{"Track1.wav", "Track2.wav", "Track3.wav", "rip.cue",
                                           "rip.log"};
};

TEST_F(RipReadingTest, AFastReadAccurateRipRejectsIsReadOnceMoreSecurely)
{
    // Track 2's fast read goes wrong; the database never confirms track 3.
    const std::int32_t unstable[] = {310, 311};
    unstable_(unstable, 2);
    std::vector<std::uint32_t> sums = v1_;
    sums[2] ^= 0x00100000u;
    ServeSums(sums);
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
}

TEST_F(RipReadingTest, WithoutTheDiscInTheDatabaseTheRestIsReadSecurely)
{
    // Nothing served: the database answers 404.
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
    EXPECT_EQ(Form().comboReadingMode->currentText(), QStringLiteral("快速并校验"));
    EXPECT_FALSE(Form().chkTestAndCopy->isChecked());
    EXPECT_EQ(Form().spinReadOffset->value(), 30);
    EXPECT_EQ(Form().spinReadOffset->minimum(), -2940);
    EXPECT_EQ(Form().spinReadOffset->maximum(), 2940);
    Form().comboReadingMode->setCurrentText(QStringLiteral("安全模式"));
    Form().spinReadOffset->setValue(-667);
    Form().btnSave->click();
    EXPECT_EQ(StoredReadingMode(), TReadingMode::Secure);
    EXPECT_EQ(ReadOffsetOfDrive(QStringLiteral("Fake Drive 0")), -667);
    Form().MainTabControl->setCurrentIndex(0);

    ChooseFormat(QStringLiteral("Wav"));
    Form().edtDes->setText(QString::fromStdString(outDir_.string()));
    PressRip();
    ASSERT_TRUE(WaitForAllDone());
    EXPECT_EQ(Counters().lastReadOffset, -667);
    EXPECT_EQ(Counters().secureOpenCalls, 3);
    ASSERT_TRUE(WaitUntil([this] { return std::filesystem::exists(Output("rip.log")); }));
    const std::vector<std::uint8_t> log = ReadFileBytes(Output("rip.log"));
    EXPECT_NE(std::string(log.begin(), log.end()).find("-667"), std::string::npos);
}

} // namespace
} // namespace sonfeld::test
