#include "output_formats.h"

#include <array>

#include "audio/formats/ape/mac_out.h"
#include "audio/formats/flac/flac_out.h"
#include "audio/formats/mp3/mp3_out.h"
#include "audio/formats/opus/opus_out.h"
#include "audio/formats/vorbis/vorbis_out.h"
#include "audio/formats/wave/wave_out.h"
#include "encoder_settings.h"

namespace sonfeld::app {

namespace {

template <class TOut> std::unique_ptr<TACSFileOut> Make()
{
    return std::make_unique<TOut>();
}

// The casts are safe: a row's functions only ever see the output its own
// MakeOutput made.
template <class TOut, void (*Apply)(TOut&)> void Settings(TACSFileOut& output)
{
    Apply(static_cast<TOut&>(output));
}

template <class TOut, void (*Apply)(TOut&, const TTrackTags&)>
void Tags(TACSFileOut& output, const TTrackTags& tags)
{
    Apply(static_cast<TOut&>(output), tags);
}

void ApplyId3Tags(TMP3Out& mp3, const TTrackTags& tags)
{
    if (tags.Title)
        mp3.SetId3TagTitle(tags.Title->toStdString());
    if (tags.Track)
        mp3.SetId3TagTrack(tags.Track->toStdString());
    if (tags.Album)
        mp3.SetId3TagAlbum(tags.Album->toStdString());
}

template <class TOut> void Level(TACSFileOut& output, int level)
{
    static_cast<TOut&>(output).SetCompressionLevel(level);
}

// MP3 has no levels of its own to offer; a run's --mp3-vbr comes this way.
void Mp3VbrLevel(TACSFileOut& output, int preset)
{
    static_cast<TMP3Out&>(output).SetVbrQuality(preset);
}

// FLAC's presets (libFLAC's default 5) and APE's levels.
constexpr std::array kFlacLevels = {0, 1, 2, 3, 4, 5, 6, 7, 8};
constexpr std::array kApeLevels = {1000, 2000, 3000, 4000};

// clang-format off
const std::array kFormats = {
    TOutputFormat{"Ape",  ".ape",  "MACOutput",  TTagKind::None,  Make<TMACOut>,    Settings<TMACOut, ApplyApeSettings>,       nullptr,                     "WAVE", kApeLevels,  Level<TMACOut>,  false},
    TOutputFormat{"Wav",  ".wav",  "WaveOutput", TTagKind::None,  Make<TWaveOut>,   Settings<TWaveOut, ApplyWaveSettings>,     nullptr,                     "WAVE", {},          nullptr,         false},
    TOutputFormat{"Ogg",  ".ogg",  "OggOutput",  TTagKind::None,  Make<TVorbisOut>, Settings<TVorbisOut, ApplyVorbisSettings>, nullptr,                     "WAVE", {},          nullptr,         true},
    TOutputFormat{"FLAC", ".flac", "FLACOutput", TTagKind::None,  Make<TFLACOut>,   Settings<TFLACOut, ApplyFlacSettings>,     nullptr,                     "WAVE", kFlacLevels, Level<TFLACOut>, false},
    TOutputFormat{"MP3",  ".mp3",  "MP3Output",  TTagKind::Id3v1, Make<TMP3Out>,    Settings<TMP3Out, ApplyMp3Settings>,       Tags<TMP3Out, ApplyId3Tags>, "MP3",  {},          Mp3VbrLevel,     true},
    TOutputFormat{"Opus", ".opus", "OpusOutput", TTagKind::None,  Make<TOpusOut>,   Settings<TOpusOut, ApplyOpusSettings>,     nullptr,                     "WAVE", {},          nullptr,         true},
};
// clang-format on

} // namespace

std::span<const TOutputFormat> OutputFormats()
{
    return kFormats;
}

QStringList FormatNames()
{
    QStringList names;
    for (const TOutputFormat& format : kFormats)
        names << format.NameText();
    return names;
}

const TOutputFormat* FindFormat(const QString& name, Qt::CaseSensitivity cs)
{
    for (const TOutputFormat& format : kFormats) {
        if (name.compare(QLatin1String(format.Name), cs) == 0)
            return &format;
    }
    return nullptr;
}

QList<int> CompressionLevels(const QString& formatName)
{
    const TOutputFormat* format = FindFormat(formatName, Qt::CaseInsensitive);
    return format != nullptr
               ? QList<int>(format->CompressionLevels.begin(), format->CompressionLevels.end())
               : QList<int>();
}

} // namespace sonfeld::app
