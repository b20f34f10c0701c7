// The disc ripped into one image file with its CUE sheet ("整轨") from the
// window: the image decoded by flac itself, the rows, the sheet and the log;
// refusals, Stop, and the secure reading a one-file rip always uses.

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "app/text/texts.h"
#include "app_fixture.h"
#include "fake_drive_rip_fixture.h"
#include "support/signals.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;
using Bytes = std::vector<std::uint8_t>;

std::string FileText(const std::filesystem::path& path)
{
    const Bytes bytes = ReadFileBytes(path);
    return {bytes.begin(), bytes.end()};
}

// flac's own decoder, to raw 16-bit little-endian samples.
Bytes FlacDecode(const std::filesystem::path& file, const std::filesystem::path& raw)
{
    if (RunCommand("flac -d -s -f --force-raw-format --endian=little --sign=signed -o " +
                   ShellQuote(raw.string()) + " " + ShellQuote(file.string())) != 0)
        return {};
    return ReadFileBytes(raw);
}

std::vector<std::string> FilesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class RipSingleFileTest : public WindowTest {
protected:
    std::vector<std::int64_t> DiscSectors() const override { return {330, 300, 300}; }

    // "整轨" chosen on the settings page and saved, as the user does.
    void Prepare(const QString& format)
    {
        OpenWindows();
        Form().MainTabControl->setCurrentIndex(1);
        auto* mode = Form().findChild<QComboBox*>(QStringLiteral("comboOutputMode"));
        ASSERT_NE(mode, nullptr);
        EXPECT_EQ(mode->currentText(), QStringLiteral("分轨"));
        mode->setCurrentIndex(mode->findText(QStringLiteral("整轨")));
        Settings().btnSave->click();
        ASSERT_EQ(Read(key::kOutputMode), QStringLiteral("singleFile"));
        Form().MainTabControl->setCurrentIndex(0);
        SelectDiscDrive();
        ChooseFormat(format);
        Settings().edtAlbum->setText(QStringLiteral("晨光"));
        Form().edtDes->setText(QString::fromStdString(outDir_.string()));
    }
};

TEST_F(RipSingleFileTest, TheDiscBecomesOneFlacImageWithItsSheetAndLog)
{
    if (!ToolAvailable("flac"))
        GTEST_SKIP() << "flac is not installed";
    Prepare(QStringLiteral("FLAC"));
    RowRecorder recorder(Rows());
    PressRip();
    ASSERT_TRUE(WaitForRipEnd());
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(recorder.StatusesOf(row),
                  (std::vector<TTrackStatus>{TTrackStatus::Converting, TTrackStatus::Converted}))
            << row;
        EXPECT_EQ(Rows().Progress(row), 100) << row;
        EXPECT_FALSE(Rows().Verdict(row).isEmpty()) << row;
    }
    // The image, its sheet and its log; no file per track, no temporary file.
    EXPECT_EQ(FilesIn(outDir_), (std::vector<std::string>{"晨光.cue", "晨光.flac", "晨光.log"}));
    TempDir scratch;
    EXPECT_TRUE(FlacDecode(Output("晨光.flac"), scratch / "image.raw") == disc_.bin);
    const std::string sheet = FileText(Output("晨光.cue"));
    EXPECT_NE(sheet.find("FILE \"晨光.flac\" WAVE"), std::string::npos) << sheet;
    EXPECT_NE(sheet.find("TRACK 02 AUDIO\n    TITLE \"Track2\"\n    INDEX 01 00:04:30"),
              std::string::npos)
        << sheet;
    EXPECT_NE(sheet.find("TRACK 03 AUDIO\n    TITLE \"Track3\"\n    INDEX 01 00:08:30"),
              std::string::npos)
        << sheet;
    EXPECT_NE(FileText(Output("晨光.log")).find("音轨 3"), std::string::npos);
}

TEST_F(RipSingleFileTest, AFormatWithoutExactGapsAnUntickedTrackOrAFileInTheWayIsRefused)
{
    Prepare(QStringLiteral("MP3"));
    PressRip();
    EXPECT_EQ(messages_.Count(text::kSingleFileFormats.arg(QStringLiteral("MP3"))), 1);

    ChooseFormat(QStringLiteral("FLAC"));
    Rows().SetChecked(1, false);
    PressRip();
    EXPECT_EQ(messages_.Count(text::kSingleFileAllTracks), 1);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(Rows().Status(row), TTrackStatus::NotConverted) << row;
    EXPECT_TRUE(Form().btnRipCD->isEnabled());
    EXPECT_TRUE(std::filesystem::is_empty(outDir_));

    // "不覆盖同名文件" keeps an image already there.
    Rows().SetChecked(1, true);
    WriteFlag(QStringLiteral("chkOverRide"), true);
    WriteFileBytes(Output("晨光.flac"), Bytes{1, 2, 3});
    PressRip();
    EXPECT_EQ(messages_.Count(text::kSameNameFound), 1);
    EXPECT_EQ(Rows().Status(0), TTrackStatus::NotConverted);
    EXPECT_TRUE(ReadFileBytes(Output("晨光.flac")) == (Bytes{1, 2, 3}));
    EXPECT_EQ(FilesIn(outDir_), std::vector<std::string>{"晨光.flac"});
}

TEST_F(RipSingleFileTest, StopKeepsNoPartOfTheImage)
{
    // 40 ms before each 16 KiB block: the image takes seconds to write.
    WriteSetting(QStringLiteral("CPU_INT"), QStringLiteral("40"));
    Prepare(QStringLiteral("Wav"));
    PressRip();
    ASSERT_TRUE(WaitUntil([this] { return Rows().Progress(0) > 0; }));
    PressStop();
    ASSERT_TRUE(WaitUntil([this] { return Form().btnRipCD->isEnabled(); }));
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(Rows().Status(row), TTrackStatus::Cancelled) << row;
        EXPECT_LT(Rows().Progress(row), 100) << row;
    }
    EXPECT_TRUE(std::filesystem::is_empty(outDir_)) << ::testing::PrintToString(FilesIn(outDir_));
}

using RipSingleFileReadingTest = FakeDriveRipTest;

// "快速并校验" is set: one pass over the whole disc could not read a track
// again, so the image is read securely, and its log says so.
TEST_F(RipSingleFileReadingTest, AnImageIsReadSecurelyWhateverTheReadingMode)
{
    ServeSums(v1_);
    Write(key::kOutputMode, QStringLiteral("singleFile"));
    PrepareRip();
    PressRip();
    ASSERT_TRUE(WaitForAllDone());
    const FakeCR_Counters counters = Counters();
    EXPECT_EQ(counters.fastOpenCalls, 0);
    EXPECT_GE(counters.secureOpenCalls, 1);
    Bytes disc;
    for (int track = 1; track <= kTracks; ++track) {
        const Bytes bytes = TrackBytes(track);
        disc.insert(disc.end(), bytes.begin(), bytes.end());
        // Each track's checksums came from its part of the one read.
        EXPECT_EQ(Rows().Verdict(track - 1), QStringLiteral("精确 (可信度 5)")) << track;
    }
    EXPECT_TRUE(FfmpegDecode(Output("CDImage.wav")) == disc);
    const std::string log = FileText(Output("CDImage.log"));
    EXPECT_NE(log.find(text::kSingleFileSecure.toStdString()), std::string::npos) << log;
}

} // namespace
} // namespace sonfeld::test
