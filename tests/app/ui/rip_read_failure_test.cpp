// A drive that cannot read a sector in the middle of a track, through the
// fake CR_ library, in both queues: each track fails visibly, the others are
// still tried, a finished file is kept, and the next rip tries them again.

#include <QLabel>
#include <QLineEdit>

#include "app/settings/settings_store.h"
#include "app/text/texts.h"
#include "app_fixture.h"
#include "audio/cd/cdrip_binding.h"
#include "audio/cd/fake_cdrip_control.h"
#include "audio/core/dynamic_library.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

class RipReadFailureTest : public WindowTest, public ::testing::WithParamInterface<bool> {
protected:
    void TearDown() override
    {
        WindowTest::TearDown();
        cdrip::Load(cdrip::DefaultLibraryPath());
    }
};

TEST_P(RipReadFailureTest, AFailedReadKeepsTheFinishedFileAndLeavesNoTemporaryOne)
{
    WriteFlag(QStringLiteral("sequentialMode"), GetParam());
    const std::string fake = InProgramFolder("libfakecdrip.so");
    if (!std::filesystem::exists(fake))
        GTEST_SKIP() << "the fake CR_ library of the CD tests is not built";
    cdrip::ForgetImages();
    ASSERT_TRUE(cdrip::Load(fake));
    DynamicLibrary control(fake);
    auto reset = control.Resolve<FakeCR_ResetFn>("FakeCR_Reset");
    auto setToc = control.Resolve<FakeCR_SetTocFn>("FakeCR_SetToc");
    auto failAfter = control.Resolve<FakeCR_FailAfterChunksFn>("FakeCR_FailAfterChunks");
    ASSERT_TRUE(reset && setToc && failAfter);
    reset();
    const std::int32_t starts[] = {0, 300, 600, 900};
    const std::uint8_t flags[] = {0x10, 0x10, 0x10, 0x10};
    setToc(starts, flags, 3);
    // A few chunks into each track, the drive gives up on a sector.
    failAfter(3, 0);
    discDrive_ = 0;
    OpenWindows();
    SelectDiscDrive();
    ChooseFormat(QStringLiteral("Wav"));
    Form().edtDes->setText(QString::fromStdString(outDir_.string()));
    ASSERT_EQ(Rows().rowCount(), 3);
    Rows().SetChecked(2, false);

    std::vector<std::uint8_t> earlier(100000);
    for (std::size_t i = 0; i < earlier.size(); ++i)
        earlier[i] = static_cast<std::uint8_t>(i * 11);
    WriteFileBytes(Output("Track1.wav"), earlier);
    PressRip();
    ASSERT_TRUE(WaitUntil([this] { return messages_.Messages.size() == 1; }));
    // Both ticked tracks were tried, and both failed.
    EXPECT_EQ(messages_.Messages[0].Caption, text::kRipEndedCaption);
    EXPECT_TRUE(Form().btnRipCD->isEnabled());
    for (int row : {0, 1}) {
        EXPECT_EQ(Rows().StatusText(row), QStringLiteral("转换失败")) << row;
        EXPECT_TRUE(Rows().FailReason(row).contains(QStringLiteral("could not be read")))
            << Rows().FailReason(row).toStdString();
    }
    EXPECT_TRUE(messages_.Messages[0].Text.contains(QStringLiteral("已转换 0 首音轨（共 2 首）")))
        << messages_.Messages[0].Text.toStdString();
    EXPECT_TRUE(Form().lblEx->isVisible());
    EXPECT_EQ(ReadFileBytes(Output("Track1.wav")), earlier);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(outDir_))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"Track1.wav"});
    EXPECT_EQ(Rows().Status(2), TTrackStatus::NotConverted);

    // Once the drive reads again, the next rip takes the failed tracks again.
    failAfter(-1, 0);
    PressRip();
    ASSERT_TRUE(WaitUntil([this] { return messages_.Messages.size() == 2; }));
    EXPECT_EQ(messages_.Messages[1].Text, text::kAllDone);
    EXPECT_EQ(Rows().Status(0), TTrackStatus::Converted);
    EXPECT_EQ(Rows().Status(1), TTrackStatus::Converted);
    EXPECT_EQ(Rows().Status(2), TTrackStatus::NotConverted);
    EXPECT_NE(ReadFileBytes(Output("Track1.wav")), earlier);
    for (int track : {1, 2})
        EXPECT_GT(std::filesystem::file_size(Output("Track" + std::to_string(track) + ".wav")),
                  300u * 2352u)
            << track;
    EXPECT_FALSE(std::filesystem::exists(Output("Track3.wav")));
}

INSTANTIATE_TEST_SUITE_P(BothQueues, RipReadFailureTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& queue) {
                             return queue.param ? "OneTrackAtATime" : "Pipelined";
                         });

} // namespace
} // namespace sonfeld::test
