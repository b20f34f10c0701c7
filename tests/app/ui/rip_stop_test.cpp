// Stopping the rip queue, and closing the window while it runs. The stored
// CPU level slows each block down, so a track lasts long enough to be stopped.

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QToolBar>
#include <QtTest>

#include "app/queue/rip_components.h"
#include "app/settings/settings_store.h"
#include "app/text/texts.h"
#include "app_fixture.h"
#include "audio/formats/wave/wave_out.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

class RipStopTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        // 40 ms before each 16 KiB block: about two seconds for a 4-second track.
        WriteSetting(QStringLiteral("CPU_INT"), QStringLiteral("40"));
        WriteFlag(QStringLiteral("sequentialMode"), true);
        OpenWindows();
        SelectDiscDrive();
        ChooseFormat(QStringLiteral("Wav"));
        Form().edtDes->setText(QString::fromStdString(outDir_.string()));
    }
    bool Busy() { return Form().btnStopRip->isEnabled(); }
    bool Running(int row)
    {
        return Rows().Status(row) == TTrackStatus::Converting && Rows().Progress(row) > 0;
    }
};

TEST_F(RipStopTest, StopDuringATrackCancelsItAndARipContinuesWithTheNext)
{
    PressRip();
    EXPECT_EQ(Output<TWaveOut>("Wav").Delay(), 40);
    ASSERT_TRUE(WaitUntil([this] { return Running(0); }));
    PressStop();
    EXPECT_FALSE(Busy());
    ASSERT_TRUE(WaitUntil([this] { return Rows().Status(0) == TTrackStatus::Cancelled; }));
    EXPECT_TRUE(WaitUntil([this] { return Form().btnRipCD->isEnabled(); }));
    EXPECT_LT(Rows().Progress(0), 100);
    EXPECT_EQ(Rows().Status(1), TTrackStatus::NotConverted);
    // Nothing of the stopped track is left: no partial file, no temporary one.
    EXPECT_TRUE(std::filesystem::is_empty(outDir_));
    Pump(1500);
    EXPECT_EQ(Rows().Status(1), TTrackStatus::NotConverted);

    // A new rip command goes on with the next row; the stopped one is not redone.
    WriteSetting(QStringLiteral("CPU_INT"), QStringLiteral("1"));
    PressRip();
    ASSERT_TRUE(WaitForAllDone());
    EXPECT_EQ(Rows().Status(0), TTrackStatus::Cancelled);
    for (int row : {1, 2, 3})
        EXPECT_EQ(Rows().Status(row), TTrackStatus::Converted) << row;
    EXPECT_EQ(FfmpegDecode(Output("Track2.wav")), disc_.TrackBytes(2));
    EXPECT_FALSE(Busy());
    EXPECT_FALSE(Form().ToolBarPaly->isVisible());
}

TEST_F(RipStopTest, EscAsksFirstAndStopsEvenFromTheFolderField)
{
    PressRip();
    ASSERT_TRUE(WaitUntil([this] { return Running(0); }));
    QApplication::setActiveWindow(&Form());
    Form().edtDes->setFocus();
    QCoreApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), Form().edtDes);

    messages_.QuestionAnswer = QMessageBox::No;
    QTest::keyClick(Form().edtDes, Qt::Key_Escape);
    ASSERT_EQ(messages_.Messages.size(), 1u);
    EXPECT_EQ(messages_.Messages[0].Text, text::kCloseQuestion);
    EXPECT_EQ(messages_.Messages[0].Caption, text::kStopCaption);
    EXPECT_TRUE(messages_.Messages[0].Buttons & QMessageBox::No);
    EXPECT_TRUE(Busy());
    EXPECT_EQ(Rows().Status(0), TTrackStatus::Converting);

    messages_.QuestionAnswer = QMessageBox::Yes;
    QTest::keyClick(Form().edtDes, Qt::Key_Escape);
    EXPECT_EQ(messages_.Messages.size(), 2u);
    EXPECT_FALSE(Busy());
    ASSERT_TRUE(WaitUntil([this] { return Rows().Status(0) == TTrackStatus::Cancelled; }));
    EXPECT_EQ(Rows().Status(1), TTrackStatus::NotConverted);
    // The stop button itself asks nothing; Esc while idle does nothing.
    QTest::keyClick(Form().edtDes, Qt::Key_Escape);
    EXPECT_EQ(messages_.Messages.size(), 2u);
}

TEST_F(RipStopTest, RipRightAfterStopWaitsForTheStoppedTrack)
{
    RowRecorder recorder(Rows());
    PressRip();
    ASSERT_TRUE(WaitUntil([this] { return Running(0); }));
    PressStop();
    // At once, through the tool bar and through the queue itself.
    PressRip();
    Form().Queue().RipCommand();
    EXPECT_FALSE(Form().btnRipCD->isEnabled());
    ASSERT_TRUE(WaitUntil([this] { return Form().btnRipCD->isEnabled(); }));
    EXPECT_EQ(Rows().Status(0), TTrackStatus::Cancelled);
    EXPECT_EQ(Rows().Status(1), TTrackStatus::NotConverted);

    WriteSetting(QStringLiteral("CPU_INT"), QStringLiteral("1"));
    PressRip();
    ASSERT_TRUE(WaitForAllDone());
    EXPECT_EQ(recorder.StatusesOf(0),
              (std::vector<TTrackStatus>{TTrackStatus::Converting, TTrackStatus::Cancelled}));
    for (int row : {1, 2, 3}) {
        EXPECT_EQ(recorder.StatusesOf(row),
                  (std::vector<TTrackStatus>{TTrackStatus::Converting, TTrackStatus::Converted}))
            << row;
        EXPECT_EQ(FfmpegDecode(Output("Track" + std::to_string(row + 1) + ".wav")),
                  disc_.TrackBytes(row + 1));
    }
    EXPECT_EQ(messages_.Messages.size(), 1u);
}

TEST_F(RipStopTest, ClosingWithNoLeavesTheRipRunning)
{
    for (int row : {1, 2, 3})
        Rows().SetChecked(row, false);
    PressRip();
    ASSERT_TRUE(WaitUntil([this] { return Running(0); }));
    messages_.QuestionAnswer = QMessageBox::No;
    EXPECT_FALSE(Form().close());
    EXPECT_TRUE(Form().isVisible());
    EXPECT_TRUE(Busy());
    ASSERT_TRUE(WaitForAllDone());
    EXPECT_EQ(Rows().Status(0), TTrackStatus::Converted);
    EXPECT_EQ(FfmpegDecode(Output("Track1.wav")), disc_.TrackBytes(1));
}

TEST_F(RipStopTest, ClosingWithYesStopsTheRipAndCloses)
{
    PressRip();
    ASSERT_TRUE(WaitUntil([this] { return Running(0); }));
    messages_.QuestionAnswer = QMessageBox::Yes;
    EXPECT_TRUE(Form().close());
    EXPECT_FALSE(Form().isVisible());
    EXPECT_EQ(player_->stops, 1);
    ASSERT_TRUE(WaitUntil([this] { return Rows().Status(0) == TTrackStatus::Cancelled; }));
    Pump(1500);
    EXPECT_EQ(Rows().Status(1), TTrackStatus::NotConverted);
}

TEST_F(RipStopTest, ACpuLevelThatIsNoNumberStopsTheStartWithAMessage)
{
    WriteSetting(QStringLiteral("CPU_INT"), QStringLiteral("x1"));
    PressRip();
    ExpectOneErrorNaming(QStringLiteral("x1"));
    // Reported before the queue starts: nothing runs.
    EXPECT_FALSE(Busy());
    EXPECT_TRUE(Form().btnRipCD->isEnabled());
    EXPECT_EQ(Rows().Status(0), TTrackStatus::NotConverted);
    EXPECT_TRUE(std::filesystem::is_empty(outDir_));
}

} // namespace
} // namespace sonfeld::test
