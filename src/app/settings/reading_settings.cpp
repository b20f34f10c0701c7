#include "reading_settings.h"

#include <stdexcept>

#include "setting_keys.h"
#include "settings_store.h"

namespace sonfeld::app {

QString ReadingModeValue(TReadingMode mode)
{
    switch (mode) {
    case TReadingMode::FastVerify: return QStringLiteral("fastVerify");
    case TReadingMode::OldDrive: return QStringLiteral("oldDrive");
    case TReadingMode::Secure: break;
    }
    return QStringLiteral("secure");
}

QString ReadingModeText(TReadingMode mode)
{
    switch (mode) {
    case TReadingMode::FastVerify:
        return QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "快速并校验"));
    case TReadingMode::OldDrive: return QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "旧光驱模式"));
    case TReadingMode::Secure: break;
    }
    return QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "安全模式"));
}

TCDReadMode ReadModeOf(TReadingMode mode)
{
    switch (mode) {
    case TReadingMode::FastVerify: return rmFast;
    case TReadingMode::OldDrive: return rmOldDrive;
    case TReadingMode::Secure: break;
    }
    return rmSecure;
}

TReadingMode StoredReadingMode()
{
    // The key takes no other values.
    const QString stored = Read(key::kReadingMode);
    for (TReadingMode mode : {TReadingMode::FastVerify, TReadingMode::OldDrive})
        if (stored == ReadingModeValue(mode))
            return mode;
    return TReadingMode::Secure;
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
