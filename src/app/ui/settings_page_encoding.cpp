// The settings page's "压缩与顺序" row: the FLAC and APE compression levels,
// the sequential mode (one track at a time, a second between tracks)
// instead of reading ahead of the encoders, and the output mode: one file per
// track ("分轨") or the whole disc in one image with its CUE sheet ("整轨").

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <algorithm>

#include "app/formats/encoder_settings.h"
#include "app/formats/output_formats.h"
#include "app/settings/setting_keys.h"
#include "app/text/shown_text.h"
#include "settings_page.h"

namespace sonfeld::app {

namespace {

QComboBox* LevelCombo(const char* objectName, const QString& format, QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(objectName));
    for (int level : CompressionLevels(format))
        combo->addItem(QString::number(level), level);
    return combo;
}

void SelectLevel(QComboBox& combo, int level)
{
    combo.setCurrentIndex(std::max(0, combo.findData(level)));
}

QComboBox& OutputModeCombo(const QWidget& form)
{
    return *form.findChild<QComboBox*>(QStringLiteral("comboOutputMode"));
}

} // namespace

QWidget* TSettingsPage::CreateEncodingBox(QWidget* parent)
{
    auto* box = new QGroupBox(TShownText::tr("压缩与顺序"), parent);
    auto* layout = new QHBoxLayout(box);
    comboFlacLevel = LevelCombo("comboFlacLevel", QStringLiteral("FLAC"), box);
    comboFlacLevel->setToolTip(TShownText::tr("0 最快，8 最小；默认 5"));
    comboApeLevel = LevelCombo("comboApeLevel", QStringLiteral("Ape"), box);
    comboApeLevel->setToolTip(TShownText::tr("1000 最快，4000 最小；默认 2000"));
    chkSequentialMode = new QCheckBox(TShownText::tr("顺序模式"), box);
    chkSequentialMode->setObjectName(QStringLiteral("chkSequentialMode"));
    chkSequentialMode->setToolTip(
        TShownText::tr("一次只读取并编码一首音轨，两首之间停一秒；不勾选时边读取边编码"));
    layout->addWidget(new QLabel(TShownText::tr("FLAC 级别"), box));
    layout->addWidget(comboFlacLevel);
    layout->addSpacing(12);
    layout->addWidget(new QLabel(TShownText::tr("APE 级别"), box));
    layout->addWidget(comboApeLevel);
    layout->addSpacing(12);
    layout->addWidget(chkSequentialMode);
    auto* outputMode = new QComboBox(box);
    outputMode->setObjectName(QStringLiteral("comboOutputMode"));
    outputMode->addItem(TShownText::tr("分轨"), QStringLiteral("perTrack"));
    outputMode->addItem(TShownText::tr("整轨"), QStringLiteral("singleFile"));
    outputMode->setToolTip(TShownText::tr(
        "分轨：每首音轨一个文件；整轨：整张光盘一个 FLAC、APE 或 WAV 文件，附 CUE 表"));
    auto* outputModeLabel = new QLabel(TShownText::tr("输出方式"), box);
    outputModeLabel->setBuddy(outputMode);
    layout->addSpacing(12);
    layout->addWidget(outputModeLabel);
    layout->addWidget(outputMode);
    layout->addStretch();
    return box;
}

void TSettingsPage::LoadEncodingSettings()
{
    SelectLevel(*comboFlacLevel, Read(key::kFlacLevel));
    SelectLevel(*comboApeLevel, Read(key::kApeLevel));
    chkSequentialMode->setChecked(Read(key::kSequentialMode));
    QComboBox& outputMode = OutputModeCombo(*this);
    outputMode.setCurrentIndex(std::max(0, outputMode.findData(Read(key::kOutputMode))));
}

void TSettingsPage::SaveEncodingSettings()
{
    Write(key::kFlacLevel, comboFlacLevel->currentData().toInt());
    Write(key::kApeLevel, comboApeLevel->currentData().toInt());
    Write(key::kSequentialMode, chkSequentialMode->isChecked());
    Write(key::kOutputMode, OutputModeCombo(*this).currentData().toString());
}

} // namespace sonfeld::app
