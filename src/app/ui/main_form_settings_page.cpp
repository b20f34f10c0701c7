// The settings page "音乐设定".

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>
#include <algorithm>

#include "app/settings/setting_keys.h"
#include "main_form.h"

namespace sonfeld::app {

namespace {

void SelectStored(QComboBox& combo, const TTextKey& key)
{
    // A stored text that is no item leaves the selection as it was.
    const int item = combo.findText(Read(key), Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (item >= 0)
        combo.setCurrentIndex(item);
}

} // namespace

void TMainForm::MainTabControlActiveTabChange()
{
    if (MainTabControl->currentIndex() != 1)
        return;
    SelectStored(*comboRate, key::kMp3BitRate);
    SelectStored(*comboMinRate, key::kOggMinRate);
    SelectStored(*comboMaxRate, key::kOggMaxRate);
    SelectStored(*comboWaveType, key::kWaveType);
    comboMp3Quality->setCurrentIndex(
        std::max(0, comboMp3Quality->findData(Read(key::kMp3Quality))));
    comboOpusRate->setCurrentIndex(comboOpusRate->findData(Read(key::kOpusBitRate)));
    chkAddTitle->setChecked(Read(key::kId3Title));
    chkAddTrack->setChecked(Read(key::kId3Track));
    chkAddAlbum->setChecked(Read(key::kId3Album));
    chkRipLog->setChecked(Read(key::kWriteRipLog));
    chkCueSheet->setChecked(Read(key::kWriteCueSheet));
    chkHiddenTrack->setChecked(Read(key::kTickHiddenTrack));
    LoadReadingSettings();
    LoadEncodingSettings();
    LoadLanguageSetting();
    if (chkAddAlbum->isChecked())
        edtAlbum->setEnabled(true);
    LoadNameSettings();
}

void TMainForm::btnSaveClick()
{
    // Written now; the encoder settings reach the outputs at the next start.
    Write(key::kMp3BitRate, comboRate->currentText());
    Write(key::kOggMinRate, comboMinRate->currentText());
    Write(key::kOggMaxRate, comboMaxRate->currentText());
    Write(key::kWaveType, comboWaveType->currentText());
    Write(key::kMp3Quality, comboMp3Quality->currentData().toString());
    if (comboOpusRate->currentIndex() >= 0)
        Write(key::kOpusBitRate, comboOpusRate->currentData().toInt());
    Write(key::kId3Title, chkAddTitle->isChecked());
    Write(key::kId3Track, chkAddTrack->isChecked());
    Write(key::kId3Album, chkAddAlbum->isChecked());
    Write(key::kWriteRipLog, chkRipLog->isChecked());
    Write(key::kWriteCueSheet, chkCueSheet->isChecked());
    Write(key::kTickHiddenTrack, chkHiddenTrack->isChecked());
    SaveNameSettings();
    SaveReadingSettings();
    SaveEncodingSettings();
    SaveLanguageSetting();
}

void TMainForm::chkAddAlbumClick()
{
    edtAlbum->setEnabled(chkAddAlbum->isChecked());
}

} // namespace sonfeld::app
