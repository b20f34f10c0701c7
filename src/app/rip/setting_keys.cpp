#include "setting_keys.h"

#include <stdexcept>

#include "interface_language.h"
#include "reading_settings.h"
#include "settings_store.h"

namespace sonfeld::app {

bool Read(const TFlagKey& key)
{
    // The store reads an absent flag as false.
    return ReadFlag(QLatin1String(key.Name)) || (key.Default && !IsStored(QLatin1String(key.Name)));
}

QString Read(const TTextKey& key)
{
    const QString text = ReadSetting(QLatin1String(key.Name));
    return text == kAbsentSetting ? QString::fromUtf8(key.Default) : text;
}

int Read(const TNumberKey& key)
{
    const QString text = ReadSetting(QLatin1String(key.Name));
    if (text == kAbsentSetting)
        return key.Default;
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok)
        throw std::invalid_argument("\"" + text.toStdString() + "\" is not a decimal integer.");
    return value;
}

void CheckStoredSettings()
{
    for (const TFlagKey& flag :
         {key::kEjectCD, key::kWizard, key::kAutoCpu, key::kNoOverwrite, key::kSaveTitle,
          key::kId3Title, key::kId3Track, key::kId3Album, key::kWriteRipLog, key::kWriteCueSheet,
          key::kTestAndCopy, key::kAutoLookup, key::kFullTags, key::kEmbedCover,
          key::kSequentialMode})
        Read(flag);
    for (const TTextKey& text :
         {key::kMp3BitRate, key::kMp3Quality, key::kOggMinRate, key::kOggMaxRate, key::kWaveType,
          key::kAccurateRipServer, key::kReadingMode, key::kFileNameTemplate,
          key::kInterfaceLanguage, key::kRecentImages})
        Read(text);
    Read(key::kCpuLevel);
    Read(key::kFlacLevel);
    Read(key::kApeLevel);
    Read(key::kOpusBitRate);
    StoredReadingMode();
    StoredInterfaceLanguage();
}

void Write(const TFlagKey& key, bool value)
{
    WriteFlag(QLatin1String(key.Name), value);
}

void Write(const TTextKey& key, const QString& value)
{
    WriteSetting(QLatin1String(key.Name), value);
}

void Write(const TNumberKey& key, int value)
{
    WriteSetting(QLatin1String(key.Name), QString::number(value));
}

} // namespace sonfeld::app
