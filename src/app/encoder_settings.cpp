#include "encoder_settings.h"

#include <stdexcept>

#include "audio/formats/mp3/mp3_out.h"
#include "audio/formats/vorbis/vorbis_out.h"
#include "audio/formats/wave/wave_out.h"
#include "settings_store.h"

namespace sonfeld::app {

QStringList Mp3BitRateItems()
{
    QStringList items;
    for (std::string_view name : kMP3BitRateNames)
        items << QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    return items;
}

QStringList OggBitRateItems()
{
    QStringList items;
    for (int value = brAutoSelect; value <= br499; ++value) {
        const std::string_view name = VorbisBitRateName(static_cast<TVorbisBitRate>(value));
        items << QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    }
    return items;
}

QStringList WaveTypeItems()
{
    return {QStringLiteral("RAW PCM"), QStringLiteral("DVI IMA ADPCM")};
}

std::optional<TMP3BitRate> Mp3BitRateOf(const QString& name)
{
    const qsizetype index = Mp3BitRateItems().indexOf(name);
    if (index < 0)
        return std::nullopt;
    return static_cast<TMP3BitRate>(index);
}

std::optional<TVorbisBitRate> OggBitRateOf(const QString& name)
{
    return VorbisBitRateFromName(name.toStdString());
}

void ApplyEncoderSettings(TMP3Out& mp3, TVorbisOut& ogg, TWaveOut& wave)
{
    if (const QString text = ReadSetting(QStringLiteral("MP3BitRate")); text != kAbsentSetting) {
        if (const auto rate = Mp3BitRateOf(text))
            mp3.SetBitRate(*rate);
    }
    if (const QString text = ReadSetting(QStringLiteral("OggMinRate")); text != kAbsentSetting) {
        if (const auto rate = OggBitRateOf(text))
            ogg.SetMinimumBitrate(*rate);
    }
    if (const QString text = ReadSetting(QStringLiteral("OggMaxRate")); text != kAbsentSetting) {
        if (const auto rate = OggBitRateOf(text))
            ogg.SetDesiredMaximumBitrate(*rate);
    }
    if (const QString text = ReadSetting(QStringLiteral("wtWaveType")); text != kAbsentSetting)
        wave.SetWavType(text == QStringLiteral("RAW PCM") ? wtPCM : wtDVIADPCM);
}

std::optional<int> StoredCpuLevel()
{
    const QString text = ReadSetting(QStringLiteral("CPU_INT"));
    if (text == kAbsentSetting)
        return std::nullopt;
    bool ok = false;
    const int level = text.trimmed().toInt(&ok, 10);
    if (!ok)
        throw std::invalid_argument("\"" + text.toStdString() + "\" is not a decimal integer.");
    return level;
}

} // namespace sonfeld::app
