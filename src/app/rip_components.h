#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "audio/cd/cd_audio_device.h"

namespace sonfeld {
class TACSFileOut;
class TCDIn;
class TCDPlayer;
class TFLACOut;
class TMACOut;
class TMP3Out;
class TVorbisOut;
class TWaveIn;
class TWaveOut;
} // namespace sonfeld

namespace sonfeld::app {

// The audio components of the main window, owned for the whole program run:
// the CD input, the CD player, the five outputs (each reading the CD input,
// suspended between runs, replacing existing files) and the WAV input that
// stands on the window unused.
//
// Creation loads the libraries; a missing one raises EACSException
// "<file> library could not be loaded." and nothing is left created.
// Destruction stops a running output and waits for its worker before the CD
// input goes. UI thread.
class TRipComponents {
public:
    // playerDevice: the CD player's playback calls; libcdio's when none is given.
    explicit TRipComponents(std::unique_ptr<TCDAudioDevice> playerDevice = {});
    ~TRipComponents();
    TRipComponents(const TRipComponents&) = delete;
    TRipComponents& operator=(const TRipComponents&) = delete;

    struct TOutputChoice {
        TACSFileOut* Output = nullptr;
        QString Extension; // ".ape", ".wav", ".ogg", ".flac", ".mp3"
    };
    // The output of a format combo item ("Ape", "Wav", "Ogg", "FLAC", "MP3"),
    // compared exactly; nothing for any other text.
    std::optional<TOutputChoice> OutputFor(const QString& formatText) const;

    std::unique_ptr<TCDIn> ReadCDIn;
    std::unique_ptr<TCDPlayer> CDPlayer1;
    std::unique_ptr<TMACOut> MACOutput;
    std::unique_ptr<TWaveOut> WaveOutput;
    std::unique_ptr<TVorbisOut> OggOutput;
    std::unique_ptr<TFLACOut> FLACOutput;
    std::unique_ptr<TMP3Out> MP3Output;
    std::unique_ptr<TWaveIn> WaveIn1;
};

// The items of the format combo `cbTrack`, in order.
inline const QStringList& FormatItems()
{
    static const QStringList items = {QStringLiteral("Ape"), QStringLiteral("Wav"),
                                      QStringLiteral("Ogg"), QStringLiteral("FLAC"),
                                      QStringLiteral("MP3")};
    return items;
}

} // namespace sonfeld::app
