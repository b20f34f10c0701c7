// The settings page's "读取" group: the reading mode, test and copy, and the
// read offset of the drive chosen on the rip page.

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QSpinBox>

#include "app/queue/rip_components.h"
#include "app/settings/reading_settings.h"
#include "app/settings/setting_keys.h"
#include "app/text/shown_text.h"
#include "audio/cd/cd_in.h"
#include "settings_page.h"

namespace sonfeld::app {

namespace {

// The spin box's property naming the drive whose offset it shows.
constexpr char kOffsetDrive[] = "offsetDrive";

// The drive the offset belongs to; empty when there is none to read from.
QString ChosenDriveName(TRipComponents& components)
{
    if (components.ReadCDIn->DriveCount() <= 0)
        return {};
    return QString::fromStdString(components.ReadCDIn->DriveName()).trimmed();
}

} // namespace

QWidget* TSettingsPage::CreateReadingBox(QWidget* parent)
{
    auto* box = new QGroupBox(TShownText::tr("读取"), parent);
    auto* layout = new QFormLayout(box);
    comboReadingMode = new QComboBox(box);
    comboReadingMode->setObjectName(QStringLiteral("comboReadingMode"));
    for (TReadingMode mode :
         {TReadingMode::Secure, TReadingMode::FastVerify, TReadingMode::OldDrive})
        comboReadingMode->addItem(Shown(ReadingModeText(mode)), ReadingModeValue(mode));
    chkTestAndCopy = new QCheckBox(TShownText::tr("测试并复制"), box);
    chkTestAndCopy->setObjectName(QStringLiteral("chkTestAndCopy"));
    chkDeEmphasis = new QCheckBox(TShownText::tr("去加重 (仅对带预加重标志的音轨)"), box);
    chkDeEmphasis->setObjectName(QStringLiteral("chkDeEmphasis"));
    spinReadOffset = new QSpinBox(box);
    spinReadOffset->setObjectName(QStringLiteral("spinReadOffset"));
    spinReadOffset->setRange(-kMaxReadOffset, kMaxReadOffset);
    spinReadOffset->setSuffix(TShownText::tr(" 采样"));
    layout->addRow(TShownText::tr("读取模式"), comboReadingMode);
    layout->addRow(chkTestAndCopy);
    layout->addRow(chkDeEmphasis);
    layout->addRow(TShownText::tr("读取偏移"), spinReadOffset);
    return box;
}

void TSettingsPage::LoadReadingSettings()
{
    comboReadingMode->setCurrentIndex(
        comboReadingMode->findData(ReadingModeValue(StoredReadingMode())));
    chkTestAndCopy->setChecked(Read(key::kTestAndCopy));
    chkDeEmphasis->setChecked(Read(key::kDeEmphasis));
    const QString drive = ChosenDriveName(*components_);
    spinReadOffset->setEnabled(!drive.isEmpty());
    spinReadOffset->setToolTip(drive);
    spinReadOffset->setProperty(kOffsetDrive, drive);
    spinReadOffset->setValue(drive.isEmpty() ? 0 : ReadOffsetOfDrive(drive));
}

void TSettingsPage::SaveReadingSettings()
{
    Write(key::kReadingMode, comboReadingMode->currentData().toString());
    Write(key::kTestAndCopy, chkTestAndCopy->isChecked());
    Write(key::kDeEmphasis, chkDeEmphasis->isChecked());
    // The offset shown is the drive's that was chosen when the page was opened.
    if (const QString drive = spinReadOffset->property(kOffsetDrive).toString(); !drive.isEmpty())
        StoreReadOffsetOfDrive(drive, spinReadOffset->value());
}

} // namespace sonfeld::app
