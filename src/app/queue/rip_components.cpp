#include "rip_components.h"

#include "app/formats/output_formats.h"
#include "audio/cd/cd_audio_device.h"
#include "audio/cd/cd_in.h"
#include "audio/cd/cd_player.h"
#include "audio/cd/verify/checksum_tap.h"
#include "audio/core/de_emphasis.h"
#include "audio/core/output.h"
#include "audio/formats/tags/replay_gain_tap.h"
#include "audio/formats/wave/wave_in.h"
#include "rip_audio_spool.h"

namespace sonfeld::app {

namespace {

std::size_t PositionOf(const TOutputFormat& format)
{
    return static_cast<std::size_t>(&format - OutputFormats().data());
}

} // namespace

TRipComponents::TRipComponents(std::unique_ptr<TCDAudioDevice> playerDevice)
{
    ReadCDIn = std::make_unique<TCDIn>();
    ReadCDIn->SetName("ReadCDIn");
    ReadCDIn->SetCurrentDrive(0);
    ReadCDIn->SetStartTrack(1);
    ReadCDIn->SetEndTrack(1);
    SpoolTap =
        std::make_unique<TSpoolTap>(ReadCDIn.get(), [this] { return ReadCDIn->StartTrack(); });
    SpoolTap->SetName("SpoolTap");
    Tap = std::make_unique<verify::TChecksumTap>(SpoolTap.get());
    Tap->SetName("Tap");
    DeEmphasis = std::make_unique<TDeEmphasisIn>(Tap.get());
    DeEmphasis->SetName("DeEmphasis");
    GainTap = std::make_unique<TReplayGainTap>(DeEmphasis.get());
    GainTap->SetName("GainTap");
    CDPlayer1 = std::make_unique<TCDPlayer>(nullptr, std::move(playerDevice));
    CDPlayer1->SetName("CDPlayer1");
    for (const TOutputFormat& format : OutputFormats()) {
        std::unique_ptr<TACSFileOut> output;
        try {
            output = format.MakeOutput();
        } catch (const std::exception& e) {
            // The other formats still work.
            outputs_.push_back(nullptr);
            unavailable_.push_back(QString::fromUtf8(e.what()));
            continue;
        }
        unavailable_.emplace_back();
        output->SetName(format.ComponentName);
        output->SetInput(GainTap.get());
        output->SetSuspendWhenIdle(true);
        output->SetFileMode(foRewrite);
        outputs_.push_back(std::move(output));
    }
    WaveIn1 = std::make_unique<TWaveIn>();
    WaveIn1->SetName("WaveIn1");
}

TRipComponents::~TRipComponents()
{
    // The outputs wind up a running rip (which closes the CD input) before
    // the input itself goes.
    while (!outputs_.empty())
        outputs_.pop_back();
    WaveIn1.reset();
    CDPlayer1.reset();
    GainTap.reset();
    DeEmphasis.reset();
    Tap.reset();
    SpoolTap.reset();
    ReadCDIn.reset();
}

TACSFileOut* TRipComponents::Output(const TOutputFormat& format) const
{
    return outputs_.at(PositionOf(format)).get();
}

QString TRipComponents::Unavailable(const TOutputFormat& format) const
{
    return unavailable_.at(PositionOf(format));
}

TACSFileOut* TRipComponents::OutputNamed(const QString& formatName) const
{
    const TOutputFormat* format = FindFormat(formatName);
    return format != nullptr ? Output(*format) : nullptr;
}

std::vector<TACSFileOut*> TRipComponents::Outputs() const
{
    std::vector<TACSFileOut*> outputs;
    for (const auto& output : outputs_) {
        if (output != nullptr)
            outputs.push_back(output.get());
    }
    return outputs;
}

void TRipComponents::ApplyEncoderSettings()
{
    for (const TOutputFormat& format : OutputFormats()) {
        if (format.ApplySettings != nullptr && Output(format) != nullptr)
            format.ApplySettings(*Output(format));
    }
}

} // namespace sonfeld::app
