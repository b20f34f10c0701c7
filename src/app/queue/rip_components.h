#pragma once

#include <QString>
#include <memory>
#include <vector>

#include "audio/cd/cd_audio_device.h"

namespace sonfeld {
class TACSFileOut;
class TCDIn;
class TCDPlayer;
class TDeEmphasisIn;
class TReplayGainTap;
class TWaveIn;
} // namespace sonfeld

namespace sonfeld::verify {
class TChecksumTap;
} // namespace sonfeld::verify

namespace sonfeld::app {

struct TOutputFormat;
class TSpoolTap;

// The audio components of the program, owned for its whole run: the CD input,
// the CD player, one output per format of the format table (each reading the
// CD input through the taps and filter below, suspended between runs, replacing
// existing files) and the WAV input that stands on the window unused.
//
// Creation loads the libraries. A format whose library is missing has no
// output, only the library's message; the CD library missing raises.
// Destruction stops a running output and waits for its worker before the CD
// input goes. UI thread.
class TRipComponents {
public:
    // playerDevice: the CD player's playback calls; libcdio's when none is given.
    explicit TRipComponents(std::unique_ptr<TCDAudioDevice> playerDevice = {});
    ~TRipComponents();
    TRipComponents(const TRipComponents&) = delete;
    TRipComponents& operator=(const TRipComponents&) = delete;

    // The output of a format of the table; null when its library is missing.
    TACSFileOut* Output(const TOutputFormat& format) const;
    // Why a format has no output ("<file> library could not be loaded."), or
    // an empty text.
    QString Unavailable(const TOutputFormat& format) const;
    // The output of the format of that item text; null for any other text.
    TACSFileOut* OutputNamed(const QString& formatName) const;
    // Every output, in the order of the format table.
    std::vector<TACSFileOut*> Outputs() const;
    // Puts the stored encoder settings into every output.
    void ApplyEncoderSettings();

    std::unique_ptr<TCDIn> ReadCDIn;
    // Between the CD input and the checksum tap: keeps a lossy rip's audio for a repair.
    std::unique_ptr<TSpoolTap> SpoolTap;
    // Checksums each track on its way from the CD input (the pipeline reads from here).
    std::unique_ptr<verify::TChecksumTap> Tap;
    // After the tap: de-emphasises a run's audio when enabled.
    std::unique_ptr<TDeEmphasisIn> DeEmphasis;
    // Every output's input, last: measures the loudness of the audio the file
    // gets, in the one-track queue (the pipeline measures in its encoders).
    std::unique_ptr<TReplayGainTap> GainTap;
    std::unique_ptr<TCDPlayer> CDPlayer1;
    std::unique_ptr<TWaveIn> WaveIn1;

private:
    std::vector<std::unique_ptr<TACSFileOut>> outputs_; // by format table position
    std::vector<QString> unavailable_;                  // likewise
};

} // namespace sonfeld::app
