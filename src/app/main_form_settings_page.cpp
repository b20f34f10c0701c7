// The settings page "音乐设定".

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>

#include "encoder_settings.h"
#include "main_form.h"
#include "settings_store.h"

namespace sonfeld::app {

namespace {

void SelectStored(QComboBox& combo, const QString& valueName, int defaultItem)
{
    const QString stored = ReadSetting(valueName);
    if (stored == kAbsentSetting) {
        combo.setCurrentIndex(defaultItem);
        return;
    }
    // A stored text that is no item leaves the selection as it was.
    const int item = combo.findText(stored, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (item >= 0)
        combo.setCurrentIndex(item);
}

} // namespace

void TMainForm::MainTabControlActiveTabChange()
{
    if (MainTabControl->currentIndex() != 1)
        return;
    SelectStored(*comboRate, QStringLiteral("MP3BitRate"), kDefaultMp3BitRateItem);
    SelectStored(*comboMinRate, QStringLiteral("OggMinRate"), kDefaultOggBitRateItem);
    SelectStored(*comboMaxRate, QStringLiteral("OggMaxRate"), kDefaultOggBitRateItem);
    SelectStored(*comboWaveType, QStringLiteral("wtWaveType"), kDefaultWaveTypeItem);
    chkAddTitle->setChecked(ReadFlag(QStringLiteral("addId3Title")));
    chkAddTrack->setChecked(ReadFlag(QStringLiteral("addId3Track")));
    chkAddAlbum->setChecked(ReadFlag(QStringLiteral("addId3Album")));
    if (chkAddAlbum->isChecked())
        edtAlbum->setEnabled(true);
}

void TMainForm::btnSaveClick()
{
    // Written now; the encoder settings reach the outputs at the next start.
    WriteSetting(QStringLiteral("MP3BitRate"), comboRate->currentText());
    WriteSetting(QStringLiteral("OggMinRate"), comboMinRate->currentText());
    WriteSetting(QStringLiteral("OggMaxRate"), comboMaxRate->currentText());
    WriteSetting(QStringLiteral("wtWaveType"), comboWaveType->currentText());
    WriteFlag(QStringLiteral("addId3Title"), chkAddTitle->isChecked());
    WriteFlag(QStringLiteral("addId3Track"), chkAddTrack->isChecked());
    WriteFlag(QStringLiteral("addId3Album"), chkAddAlbum->isChecked());
}

void TMainForm::chkAddAlbumClick()
{
    edtAlbum->setEnabled(chkAddAlbum->isChecked());
}

} // namespace sonfeld::app
