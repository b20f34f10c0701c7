// The settings page "音乐设定" and the options dialog "选项".

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include "app/queue/rip_components.h"
#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "app/ui/about_box.h"
#include "app/ui/option_dialog.h"
#include "app_fixture.h"
#include "audio/formats/mp3/mp3_out.h"
#include "audio/formats/opus/opus_out.h"
#include "audio/formats/vorbis/vorbis_out.h"
#include "audio/formats/wave/wave_out.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

using SettingsPageTest = WindowTest;

// One notch of the mouse wheel down over the middle of widget, handed on to
// the parents while none takes it, as Qt hands on the mouse's own wheel events
// (a synthetic one it gives only to its receiver).
void WheelOver(QWidget* widget)
{
    QPointF at(widget->width() / 2.0, widget->height() / 2.0);
    for (QWidget* receiver = widget; receiver != nullptr; receiver = receiver->parentWidget()) {
        QWheelEvent event(at, receiver->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(receiver, &event);
        if (event.isAccepted() || receiver->isWindow())
            return;
        at += receiver->pos();
    }
}

TEST_F(SettingsPageTest, AnEmptyStoreShowsTheDefaults)
{
    OpenWindows();
    Form().MainTabControl->setCurrentIndex(1);
    EXPECT_EQ(Settings().comboRate->currentText(), QStringLiteral("br128"));
    EXPECT_EQ(Settings().comboMinRate->currentText(), QStringLiteral("brAutoSelect"));
    EXPECT_EQ(Settings().comboMaxRate->currentText(), QStringLiteral("brAutoSelect"));
    EXPECT_EQ(Settings().comboWaveType->currentText(), QStringLiteral("RAW PCM"));
    EXPECT_FALSE(Settings().chkAddTitle->isChecked());
    EXPECT_FALSE(Settings().chkAddTrack->isChecked());
    EXPECT_FALSE(Settings().chkAddAlbum->isChecked());
    EXPECT_FALSE(Settings().edtAlbum->isEnabled());
    EXPECT_TRUE(Settings().chkRipLog->isChecked());
    EXPECT_TRUE(Settings().chkCueSheet->isChecked());
    EXPECT_EQ(Settings().comboRate->count(), 18);
    EXPECT_EQ(Settings().comboMaxRate->count(), 16);

    TfrmOP& options = *windows_.Options;
    EXPECT_EQ(options.windowTitle(), QStringLiteral("选项"));
    for (QCheckBox* box : {options.chkEjectCD, options.chkWizard, options.chkAutoCPU,
                           options.chkOverRide, options.chkSaveTitle})
        EXPECT_FALSE(box->isChecked()) << box->objectName().toStdString();
    EXPECT_EQ(options.tbCPUage->value(), 1);
    EXPECT_TRUE(options.tbCPUage->isEnabled());
    EXPECT_FALSE(options.chkSaveTitle->isVisibleTo(&options));
    EXPECT_TRUE(messages_.Messages.empty());
}

TEST_F(SettingsPageTest, SavingWritesThePageAndTheTabReloadDiscardsUnsavedEdits)
{
    OpenWindows();
    Form().MainTabControl->setCurrentIndex(1);
    Settings().comboRate->setCurrentText(QStringLiteral("br320"));
    Settings().comboMinRate->setCurrentText(QStringLiteral("br48"));
    Settings().comboMaxRate->setCurrentText(QStringLiteral("br256"));
    Settings().comboWaveType->setCurrentText(QStringLiteral("DVI IMA ADPCM"));
    Settings().chkAddTitle->setChecked(true);
    QTest::mouseClick(Settings().chkAddAlbum, Qt::LeftButton);
    EXPECT_TRUE(Settings().edtAlbum->isEnabled());
    Settings().chkCueSheet->setChecked(false);
    EXPECT_EQ(Settings().comboFlacLevel->currentText(), QStringLiteral("5"));
    EXPECT_EQ(Settings().comboApeLevel->currentText(), QStringLiteral("2000"));
    Settings().comboFlacLevel->setCurrentText(QStringLiteral("8"));
    Settings().comboApeLevel->setCurrentText(QStringLiteral("4000"));
    Settings().chkSequentialMode->setChecked(true);
    QTest::mouseClick(Settings().btnSave, Qt::LeftButton);
    EXPECT_TRUE(Read(key::kWriteRipLog));
    EXPECT_FALSE(Read(key::kWriteCueSheet));
    EXPECT_EQ(Read(key::kFlacLevel), 8);
    EXPECT_EQ(Read(key::kApeLevel), 4000);
    EXPECT_TRUE(Read(key::kSequentialMode));

    EXPECT_EQ(ReadSetting(QStringLiteral("MP3BitRate")), QStringLiteral("br320"));
    EXPECT_EQ(ReadSetting(QStringLiteral("OggMinRate")), QStringLiteral("br48"));
    EXPECT_EQ(ReadSetting(QStringLiteral("OggMaxRate")), QStringLiteral("br256"));
    EXPECT_EQ(ReadSetting(QStringLiteral("wtWaveType")), QStringLiteral("DVI IMA ADPCM"));
    EXPECT_TRUE(ReadFlag(QStringLiteral("addId3Title")));
    EXPECT_FALSE(ReadFlag(QStringLiteral("addId3Track")));
    EXPECT_TRUE(ReadFlag(QStringLiteral("addId3Album")));
    // Saved now; the outputs keep what they had until the next start.
    EXPECT_EQ(Output<TMP3Out>("MP3").BitRate(), TMP3BitRate::br128);

    // Unsaved edits go when the tab is left and entered again.
    Settings().comboRate->setCurrentText(QStringLiteral("br64"));
    QTest::mouseClick(Settings().chkAddAlbum, Qt::LeftButton);
    EXPECT_FALSE(Settings().edtAlbum->isEnabled());
    Form().MainTabControl->setCurrentIndex(0);
    Form().MainTabControl->setCurrentIndex(1);
    EXPECT_EQ(Settings().comboRate->currentText(), QStringLiteral("br320"));
    EXPECT_EQ(Settings().comboFlacLevel->currentText(), QStringLiteral("8"));
    EXPECT_TRUE(Settings().chkSequentialMode->isChecked());
    EXPECT_TRUE(Settings().chkAddAlbum->isChecked());
    EXPECT_TRUE(Settings().edtAlbum->isEnabled());
}

TEST_F(SettingsPageTest, TheWheelTurnsOnlyABoxWithTheFocusAndElseScrollsThePage)
{
    OpenWindows();
    Form().resize(720, 420);
    Form().MainTabControl->setCurrentIndex(1);
    QApplication::setActiveWindow(&Form());
    QTest::qWait(1);
    auto* page = Form().findChild<QScrollArea*>(QStringLiteral("settingsScroll"));
    ASSERT_NE(page, nullptr);
    QScrollBar* scroll = page->verticalScrollBar();
    ASSERT_GT(scroll->maximum(), 0) << "the page must be able to scroll";
    QSpinBox* offset = Settings().spinReadOffset;
    ASSERT_TRUE(offset->isEnabled());
    QComboBox* rate = Settings().comboRate;
    QComboBox* drive = Form().cbDrive;
    for (QWidget* box : std::initializer_list<QWidget*>{offset, rate, drive})
        EXPECT_EQ(box->focusPolicy(), Qt::StrongFocus) << box->objectName().toStdString();

    Settings().btnSave->setFocus();
    const int rateItem = rate->currentIndex();
    const int scrolled = scroll->value();
    WheelOver(offset);
    EXPECT_EQ(offset->value(), 0);
    EXPECT_GT(scroll->value(), scrolled);
    WheelOver(rate);
    EXPECT_EQ(rate->currentIndex(), rateItem);

    // With the focus, the wheel is the box's.
    offset->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([offset] { return offset->hasFocus(); }, 2000));
    WheelOver(offset);
    EXPECT_EQ(offset->value(), -1);

    // The options dialog's track bar too.
    TfrmOP& options = *windows_.Options;
    options.show();
    options.tbCPUage->setValue(2);
    WheelOver(options.tbCPUage);
    EXPECT_EQ(options.tbCPUage->value(), 2);
    options.hide();
}

// "质量" keeps the constant rate unless a preset is picked; "Opus 码率" starts
// at 160; ReplayGain is on and ID3 is 2.4. All are saved and loaded again
// with the page.
TEST_F(SettingsPageTest, TheMp3QualityOpusRateReplayGainAndId3ItemsSaveAndLoad)
{
    OpenWindows();
    Form().MainTabControl->setCurrentIndex(1);
    EXPECT_EQ(Settings().comboMp3Quality->currentText(), QStringLiteral("固定码率"));
    EXPECT_EQ(Settings().comboMp3Quality->count(), 4);
    EXPECT_EQ(Settings().comboOpusRate->currentText(), QStringLiteral("160"));
    EXPECT_TRUE(NamesGroup().chkReplayGain->isChecked());
    EXPECT_EQ(NamesGroup().comboId3Version->currentText(), QStringLiteral("2.4"));
    Settings().comboMp3Quality->setCurrentText(QStringLiteral("V0"));
    Settings().comboOpusRate->setCurrentText(QStringLiteral("96"));
    NamesGroup().chkReplayGain->setChecked(false);
    NamesGroup().comboId3Version->setCurrentText(QStringLiteral("2.3"));
    QTest::mouseClick(Settings().btnSave, Qt::LeftButton);
    EXPECT_EQ(ReadSetting(QStringLiteral("mp3Quality")), QStringLiteral("V0"));
    EXPECT_EQ(Read(key::kOpusBitRate), 96);
    EXPECT_FALSE(Read(key::kReplayGain));
    EXPECT_EQ(Read(key::kId3Version), QStringLiteral("2.3"));

    Settings().comboMp3Quality->setCurrentIndex(0);
    NamesGroup().chkReplayGain->setChecked(true);
    Form().MainTabControl->setCurrentIndex(0);
    Form().MainTabControl->setCurrentIndex(1);
    EXPECT_EQ(Settings().comboMp3Quality->currentText(), QStringLiteral("V0"));
    EXPECT_EQ(Settings().comboOpusRate->currentText(), QStringLiteral("96"));
    EXPECT_FALSE(NamesGroup().chkReplayGain->isChecked());
    EXPECT_EQ(NamesGroup().comboId3Version->currentText(), QStringLiteral("2.3"));
    Settings().comboMp3Quality->setCurrentIndex(0);
    QTest::mouseClick(Settings().btnSave, Qt::LeftButton);
    EXPECT_EQ(ReadSetting(QStringLiteral("mp3Quality")), QString());
}

TEST_F(SettingsPageTest, AStoredTextThatIsNoItemLeavesTheSelection)
{
    WriteSetting(QStringLiteral("MP3BitRate"), QStringLiteral("br999"));
    OpenWindows();
    Settings().comboRate->setCurrentText(QStringLiteral("br64"));
    Form().MainTabControl->setCurrentIndex(1);
    EXPECT_EQ(Settings().comboRate->currentText(), QStringLiteral("br64"));
}

TEST_F(SettingsPageTest, StoredEncoderSettingsReachTheOutputsAtStart)
{
    WriteSetting(QStringLiteral("MP3BitRate"), QStringLiteral("br320"));
    WriteSetting(QStringLiteral("OggMinRate"), QStringLiteral("br48"));
    WriteSetting(QStringLiteral("wtWaveType"), QStringLiteral("DVI IMA ADPCM"));
    WriteSetting(QStringLiteral("mp3Quality"), QStringLiteral("V2"));
    WriteSetting(QStringLiteral("OpusBitRate"), QStringLiteral("224"));
    OpenWindows();
    EXPECT_EQ(Output<TMP3Out>("MP3").BitRate(), TMP3BitRate::br320);
    EXPECT_EQ(Output<TMP3Out>("MP3").VbrQuality(), 2);
    EXPECT_EQ(Output<TOpusOut>("Opus").BitRate(), 224);
    EXPECT_EQ(Output<TWaveOut>("Wav").WavType(), wtDVIADPCM);
    // The Ogg output refuses a minimum above its automatic nominal rate.
    EXPECT_EQ(Output<TVorbisOut>("Ogg").MinimumBitrate(), brAutoSelect);
}

TEST_F(SettingsPageTest, OnlyTheAdpcmItemSelectsTheLossyEncoding)
{
    WriteSetting(QStringLiteral("wtWaveType"), QStringLiteral("something else"));
    OpenWindows();
    EXPECT_EQ(Output<TWaveOut>("Wav").WavType(), wtPCM);
}

TEST_F(SettingsPageTest, TheOptionsDialogLoadsAndSaves)
{
    WriteFlag(QStringLiteral("ejectCD"), true);
    WriteFlag(QStringLiteral("chkOverRide"), true);
    WriteSetting(QStringLiteral("CPU_INT"), QStringLiteral("2"));
    OpenWindows();
    TfrmOP& options = *windows_.Options;
    EXPECT_TRUE(options.chkEjectCD->isChecked());
    EXPECT_TRUE(options.chkOverRide->isChecked());
    EXPECT_FALSE(options.chkWizard->isChecked());
    EXPECT_EQ(options.tbCPUage->value(), 2);

    // "自动" disables the bar at once; saving still writes its position.
    options.show();
    QTest::mouseClick(options.chkAutoCPU, Qt::LeftButton);
    EXPECT_FALSE(options.tbCPUage->isEnabled());
    options.chkWizard->setChecked(true);
    QTest::mouseClick(options.btnSave, Qt::LeftButton);
    EXPECT_FALSE(options.isVisible());
    EXPECT_TRUE(ReadFlag(QStringLiteral("autoCPU")));
    EXPECT_TRUE(ReadFlag(QStringLiteral("wazid")));
    EXPECT_EQ(ReadSetting(QStringLiteral("CPU_INT")), QStringLiteral("2"));

    // A cancelled edit stays in the boxes, not in the store.
    options.show();
    options.chkEjectCD->setChecked(false);
    QTest::mouseClick(options.btnCancel, Qt::LeftButton);
    EXPECT_FALSE(options.isVisible());
    EXPECT_TRUE(ReadFlag(QStringLiteral("ejectCD")));
    EXPECT_FALSE(options.chkEjectCD->isChecked());
}

TEST_F(SettingsPageTest, AutoCpuStoredDisablesTheBarAtCreation)
{
    WriteFlag(QStringLiteral("autoCPU"), true);
    WriteSetting(QStringLiteral("CPU_INT"), QStringLiteral("3"));
    OpenWindows();
    EXPECT_FALSE(windows_.Options->tbCPUage->isEnabled());
    EXPECT_EQ(windows_.Options->tbCPUage->value(), 1);
}

TEST_F(SettingsPageTest, ACpuLevelThatIsNoNumberIsShownAndStartUpGoesOn)
{
    WriteSetting(QStringLiteral("CPU_INT"), QStringLiteral("fast"));
    OpenWindows();
    ExpectOneErrorNaming(QStringLiteral("fast"));
    EXPECT_EQ(windows_.Options->tbCPUage->value(), 1);
    EXPECT_TRUE(Form().isVisible());
}

TEST_F(SettingsPageTest, AFlagOfTheWrongKindIsShownByTheErrorDisplay)
{
    settings_.WriteRaw(QStringLiteral("[General]\nejectCD=yes\n"));
    OpenWindows();
    ExpectOneErrorNaming(QStringLiteral("ejectCD"));
}

} // namespace
} // namespace sonfeld::test
