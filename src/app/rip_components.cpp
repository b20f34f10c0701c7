#include "rip_components.h"

#include "audio/cd/cd_audio_device.h"
#include "audio/cd/cd_in.h"
#include "audio/cd/cd_player.h"
#include "audio/formats/ape/mac_out.h"
#include "audio/formats/flac/flac_out.h"
#include "audio/formats/mp3/mp3_out.h"
#include "audio/formats/vorbis/vorbis_out.h"
#include "audio/formats/wave/wave_in.h"
#include "audio/formats/wave/wave_out.h"

namespace sonfeld::app {

namespace {

void Configure(TACSFileOut& output, TCDIn& input, const char* name)
{
    output.SetName(name);
    output.SetInput(&input);
    output.SetSuspendWhenIdle(true);
    output.SetFileMode(foRewrite);
}

} // namespace

TRipComponents::TRipComponents(std::unique_ptr<TCDAudioDevice> playerDevice)
{
    ReadCDIn = std::make_unique<TCDIn>();
    ReadCDIn->SetName("ReadCDIn");
    ReadCDIn->SetCurrentDrive(0);
    ReadCDIn->SetStartTrack(1);
    ReadCDIn->SetEndTrack(1);
    CDPlayer1 = std::make_unique<TCDPlayer>(nullptr, std::move(playerDevice));
    CDPlayer1->SetName("CDPlayer1");
    MACOutput = std::make_unique<TMACOut>();
    Configure(*MACOutput, *ReadCDIn, "MACOutput");
    WaveOutput = std::make_unique<TWaveOut>();
    Configure(*WaveOutput, *ReadCDIn, "WaveOutput");
    OggOutput = std::make_unique<TVorbisOut>();
    Configure(*OggOutput, *ReadCDIn, "OggOutput");
    FLACOutput = std::make_unique<TFLACOut>();
    Configure(*FLACOutput, *ReadCDIn, "FLACOutput");
    MP3Output = std::make_unique<TMP3Out>();
    Configure(*MP3Output, *ReadCDIn, "MP3Output");
    WaveIn1 = std::make_unique<TWaveIn>();
    WaveIn1->SetName("WaveIn1");
}

TRipComponents::~TRipComponents()
{
    // The outputs wind up a running rip (which closes the CD input) before
    // the input itself goes.
    MP3Output.reset();
    FLACOutput.reset();
    OggOutput.reset();
    WaveOutput.reset();
    MACOutput.reset();
    WaveIn1.reset();
    CDPlayer1.reset();
    ReadCDIn.reset();
}

std::optional<TRipComponents::TOutputChoice>
TRipComponents::OutputFor(const QString& formatText) const
{
    if (formatText == QStringLiteral("Ape"))
        return TOutputChoice{MACOutput.get(), QStringLiteral(".ape")};
    if (formatText == QStringLiteral("Wav"))
        return TOutputChoice{WaveOutput.get(), QStringLiteral(".wav")};
    if (formatText == QStringLiteral("Ogg"))
        return TOutputChoice{OggOutput.get(), QStringLiteral(".ogg")};
    if (formatText == QStringLiteral("FLAC"))
        return TOutputChoice{FLACOutput.get(), QStringLiteral(".flac")};
    if (formatText == QStringLiteral("MP3"))
        return TOutputChoice{MP3Output.get(), QStringLiteral(".mp3")};
    return std::nullopt;
}

} // namespace sonfeld::app
