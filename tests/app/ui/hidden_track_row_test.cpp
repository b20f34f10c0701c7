// The row of the audio hidden before track 1 in the real window's grid.

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <fstream>

#include "app/settings/setting_keys.h"
#include "app/text/texts.h"
#include "app_fixture.h"
#include "support/signals.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

class HiddenTrackRowTest : public WindowTest {};

TEST_F(HiddenTrackRowTest, TheHiddenTrackIsRowZeroUntickedUnlessTheSettingTicksIt)
{
    // Track 1's INDEX 01 two seconds into an image whose first two seconds hold music.
    TempDir image;
    WriteFileBytes(image / "hidden.bin", MakePcm(Signal::Music, 2 * 44100 + 10 * 44100));
    std::ofstream(image / "hidden.cue")
        << "FILE \"hidden.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 00 00:00:00\n"
           "    INDEX 01 00:02:00\n  TRACK 02 AUDIO\n    INDEX 01 00:06:00\n";
    discDrive_ = LoadRealLibraryWithImages({image / "hidden.cue"});
    OpenWindows();
    SelectDiscDrive();
    ASSERT_EQ(Rows().rowCount(), 3);
    EXPECT_EQ(Rows().TrackNumberOfRow(0), 0);
    EXPECT_EQ(Rows().Label(0), QStringLiteral("Track 0"));
    EXPECT_EQ(Rows().Name(0), QStringLiteral("隐藏音轨"));
    EXPECT_EQ(Rows().TimeText(0), QStringLiteral("[0] - 0:02"));
    EXPECT_FALSE(Rows().Checked(0));
    EXPECT_EQ(Rows().TrackNumberOfRow(1), 1);
    EXPECT_EQ(Rows().Name(1), QStringLiteral("Track1"));
    EXPECT_TRUE(Rows().Checked(1));

    Form().MainTabControl->setCurrentIndex(1);
    EXPECT_FALSE(Settings().chkHiddenTrack->isChecked());
    Settings().chkHiddenTrack->setChecked(true);
    QTest::mouseClick(Settings().btnSave, Qt::LeftButton);
    EXPECT_TRUE(Read(key::kTickHiddenTrack));
    Form().btnRefreshCD->trigger();
    ASSERT_EQ(Rows().rowCount(), 3);
    EXPECT_EQ(Rows().TrackNumberOfRow(0), 0);
    EXPECT_TRUE(Rows().Checked(0));
}

} // namespace
} // namespace sonfeld::test
