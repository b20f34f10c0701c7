#include "encoder_settings.h"

#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "audio/formats/ape/mac_out.h"
#include "audio/formats/flac/flac_out.h"
#include "audio/formats/mp3/mp3_out.h"
#include "audio/formats/opus/opus_out.h"
#include "audio/formats/vorbis/vorbis_out.h"
#include "audio/formats/wave/wave_out.h"

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

QStringList Mp3QualityItems()
{
    return {QStringLiteral("V0"), QStringLiteral("V2"), QStringLiteral("V4")};
}

QList<int> Mp3VbrPresets()
{
    return {0, 2, 4};
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

void ApplyMp3Settings(TMP3Out& mp3)
{
    if (const auto rate = Mp3BitRateOf(Read(key::kMp3BitRate)))
        mp3.SetBitRate(*rate);
    const QString quality = Read(key::kMp3Quality);
    if (quality.isEmpty())
        mp3.SetVbrQuality(std::nullopt);
    else if (const qsizetype preset = Mp3QualityItems().indexOf(quality); preset >= 0)
        mp3.SetVbrQuality(Mp3VbrPresets().at(preset));
}

void ApplyVorbisSettings(TVorbisOut& ogg)
{
    if (const auto rate = OggBitRateOf(Read(key::kOggMinRate)))
        ogg.SetMinimumBitrate(*rate);
    if (const auto rate = OggBitRateOf(Read(key::kOggMaxRate)))
        ogg.SetDesiredMaximumBitrate(*rate);
}

void ApplyWaveSettings(TWaveOut& wave)
{
    // Only the one list text selects the lossy encoding.
    wave.SetWavType(Read(key::kWaveType) == QStringLiteral("DVI IMA ADPCM") ? wtDVIADPCM : wtPCM);
}

void ApplyFlacSettings(TFLACOut& flac)
{
    const int level = Read(key::kFlacLevel);
    if (level < 0 || level > 8)
        throw ESettingsError("The FLAC compression level " + std::to_string(level) +
                             " is not one of 0 to 8.");
    flac.SetCompressionLevel(level);
}

void ApplyApeSettings(TMACOut& ape)
{
    const int level = Read(key::kApeLevel);
    if (level % 1000 != 0 || level < 1000 || level > 4000)
        throw ESettingsError("The APE compression level " + std::to_string(level) +
                             " is not one of 1000, 2000, 3000 and 4000.");
    ape.SetCompressionLevel(level);
}

void ApplyOpusSettings(TOpusOut& opus)
{
    const int rate = Read(key::kOpusBitRate);
    if (rate < TOpusOut::kMinBitRate || rate > TOpusOut::kMaxBitRate)
        throw ESettingsError("The Opus bit rate " + std::to_string(rate) +
                             " kbit/s is not one of 64 to 256.");
    opus.SetBitRate(rate);
}

QList<int> OpusBitRateItems()
{
    return {64, 96, 128, 160, 192, 224, 256};
}

} // namespace sonfeld::app
