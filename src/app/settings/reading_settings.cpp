#include "reading_settings.h"

#include <stdexcept>

#include "setting_keys.h"
#include "settings_store.h"

namespace sonfeld::app {

QString ReadingModeValue(TReadingMode mode)
{
    return mode == TReadingMode::FastVerify ? QStringLiteral("fastVerify")
                                            : QStringLiteral("secure");
}

QString ReadingModeText(TReadingMode mode)
{
    return mode == TReadingMode::FastVerify
               ? QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "快速并校验"))
               : QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "安全模式"));
}

TReadingMode StoredReadingMode()
{
    // The key takes no other value.
    return Read(key::kReadingMode) == ReadingModeValue(TReadingMode::FastVerify)
               ? TReadingMode::FastVerify
               : TReadingMode::Secure;
}

void StoreReadingMode(TReadingMode mode)
{
    Write(key::kReadingMode, ReadingModeValue(mode));
}

int ReadOffsetOfDrive(const QString& driveName)
{
    const QString text = ReadSetting(key::kReadOffset.For(driveName));
    if (text == kAbsentSetting)
        return 0;
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok || value < -kMaxReadOffset || value > kMaxReadOffset)
        throw ESettingsError(QStringLiteral("The read offset \"%1\" stored for drive \"%2\" is "
                                            "not a number of samples from -%3 to %3.")
                                 .arg(text, driveName)
                                 .arg(kMaxReadOffset)
                                 .toStdString());
    return value;
}

void StoreReadOffsetOfDrive(const QString& driveName, int samples)
{
    if (samples < -kMaxReadOffset || samples > kMaxReadOffset)
        throw std::invalid_argument("The read offset is out of range.");
    WriteSetting(key::kReadOffset.For(driveName), QString::number(samples));
}

TReadingOptions StoredReadingOptions(const QString& driveName)
{
    return TReadingOptions{StoredReadingMode(), Read(key::kTestAndCopy),
                           ReadOffsetOfDrive(driveName)};
}

} // namespace sonfeld::app
