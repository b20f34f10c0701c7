// The settings page "音乐设定": its groups and its values.

#include "settings_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/formats/encoder_settings.h"
#include "app/settings/setting_keys.h"
#include "app/text/shown_text.h"
#include "names_group.h"

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

TSettingsPage::TSettingsPage(TRipComponents& components, QWidget* parent)
    : QWidget(parent), components_(&components)
{
    setObjectName(QStringLiteral("mTabConvert"));
    auto* page = new QVBoxLayout(this);

    auto* quality = new QGroupBox(TShownText::tr("音质"), this);
    auto* grid = new QGridLayout(quality);
    auto addCombo = [&](int row, const QString& label, const char* name, const QStringList& items,
                        int selected) {
        grid->addWidget(new QLabel(label, quality), row, 0);
        auto* combo = new QComboBox(quality);
        combo->setObjectName(QLatin1String(name));
        combo->addItems(items);
        combo->setCurrentIndex(selected);
        grid->addWidget(combo, row, 1);
        return combo;
    };
    comboRate = addCombo(0, QStringLiteral("MP3 BitRate:"), "comboRate", Mp3BitRateItems(),
                         kDefaultMp3BitRateItem);
    comboMinRate = addCombo(1, QStringLiteral("Ogg BitRate:"), "comboMinRate", OggBitRateItems(),
                            kDefaultOggBitRateItem);
    comboMaxRate = addCombo(2, QStringLiteral("Ogg BitRate Max:"), "comboMaxRate",
                            OggBitRateItems(), kDefaultOggBitRateItem);
    comboWaveType = addCombo(3, TShownText::tr("Wave 编码器:"), "comboWaveType", WaveTypeItems(),
                             kDefaultWaveTypeItem);
    comboMp3Quality = addCombo(4, TShownText::tr("质量"), "comboMp3Quality", {}, -1);
    comboMp3Quality->addItem(TShownText::tr("固定码率"), QString());
    for (const QString& preset : Mp3QualityItems())
        comboMp3Quality->addItem(preset, preset);
    comboOpusRate = addCombo(5, TShownText::tr("Opus 码率"), "comboOpusRate", {}, -1);
    for (const int rate : OpusBitRateItems())
        comboOpusRate->addItem(QString::number(rate), rate);
    comboOpusRate->setCurrentIndex(comboOpusRate->findData(key::kOpusBitRate.Default));
    grid->setColumnStretch(2, 1);
    page->addWidget(quality);

    auto* info = new QGroupBox(TShownText::tr("文件信息"), this);
    auto* infoLayout = new QVBoxLayout(info);
    chkAddTitle = new QCheckBox(TShownText::tr("为MP3添加名称标签"), info);
    chkAddTitle->setObjectName(QStringLiteral("chkAddTitle"));
    chkAddTrack = new QCheckBox(TShownText::tr("为MP3添加音轨标签"), info);
    chkAddTrack->setObjectName(QStringLiteral("chkAddTrack"));
    chkAddAlbum = new QCheckBox(TShownText::tr("为MP3添加专辑标签"), info);
    chkAddAlbum->setObjectName(QStringLiteral("chkAddAlbum"));
    edtAlbum = new QLineEdit(info);
    edtAlbum->setObjectName(QStringLiteral("edtAlbum"));
    edtAlbum->setEnabled(false);
    infoLayout->addWidget(chkAddTitle);
    infoLayout->addWidget(chkAddTrack);
    auto* albumRow = new QHBoxLayout;
    albumRow->addWidget(chkAddAlbum);
    albumRow->addWidget(edtAlbum, 1);
    infoLayout->addLayout(albumRow);
    page->addWidget(info);

    auto* records = new QGroupBox(TShownText::tr("校验记录"), this);
    auto* recordsLayout = new QVBoxLayout(records);
    chkRipLog = new QCheckBox(TShownText::tr("在文件旁写入提取日志"), records);
    chkRipLog->setObjectName(QStringLiteral("chkRipLog"));
    chkRipLog->setChecked(true);
    chkCueSheet = new QCheckBox(TShownText::tr("在文件旁写入 CUE 表"), records);
    chkCueSheet->setObjectName(QStringLiteral("chkCueSheet"));
    chkCueSheet->setChecked(true);
    chkHiddenTrack = new QCheckBox(TShownText::tr("默认勾选隐藏音轨 (音轨 0)"), records);
    chkHiddenTrack->setObjectName(QStringLiteral("chkHiddenTrack"));
    recordsLayout->addWidget(chkRipLog);
    recordsLayout->addWidget(chkCueSheet);
    recordsLayout->addWidget(chkHiddenTrack);
    page->addWidget(records);
    NamesGroup = new TNamesGroup(this);
    page->addWidget(NamesGroup);
    page->addWidget(CreateReadingBox(this));
    page->addWidget(CreateEncodingBox(this));
    page->addWidget(CreateLanguageBox(this));
    page->addStretch();

    btnSave = new QPushButton(TShownText::tr("保存设定"), this);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    page->addWidget(btnSave);
}

void TSettingsPage::Load()
{
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
    NamesGroup->Load();
}

void TSettingsPage::Save()
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
    NamesGroup->Save();
    SaveReadingSettings();
    SaveEncodingSettings();
    SaveLanguageSetting();
}

} // namespace sonfeld::app
