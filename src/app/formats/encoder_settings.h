#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "audio/formats/mp3/mp3_bitrate.h"
#include "audio/formats/vorbis/vorbis_bit_rate.h"

namespace sonfeld {
class TACSFileOut;
class TFLACOut;
class TMACOut;
class TMP3Out;
class TOpusOut;
class TVorbisOut;
class TWaveOut;
} // namespace sonfeld

// The encoder settings the settings page shows and stores, and how the stored
// values reach the output components. UI thread.
namespace sonfeld::app {

// The items of the page's combos, in order; the stored values are these texts.
QStringList Mp3BitRateItems(); // "br8" .. "br320"
QStringList OggBitRateItems(); // "brAutoSelect", "br45" .. "br499"
QStringList WaveTypeItems();   // "RAW PCM", "DVI IMA ADPCM"
// "质量": LAME's VBR presets "V0", "V2", "V4" (stored as "mp3Quality"; none
// keeps "MP3BitRate"), and their numbers 0, 2, 4.
QStringList Mp3QualityItems();
QList<int> Mp3VbrPresets();
inline constexpr int kDefaultMp3BitRateItem = 11; // "br128"
inline constexpr int kDefaultOggBitRateItem = 0;  // "brAutoSelect"
inline constexpr int kDefaultWaveTypeItem = 0;    // "RAW PCM"

// The enumeration value of the same name; nothing for an unknown name.
std::optional<TMP3BitRate> Mp3BitRateOf(const QString& name);
std::optional<TVorbisBitRate> OggBitRateOf(const QString& name);

// Put the stored "MP3BitRate" and "mp3Quality", "OggMinRate", "OggMaxRate" and
// "wtWaveType" into an output; a value of an unknown name leaves the output as it is.
// Raise ESettingsError for a value of the wrong kind.
void ApplyMp3Settings(TMP3Out& mp3);
void ApplyVorbisSettings(TVorbisOut& ogg);
void ApplyWaveSettings(TWaveOut& wave);
// "FLACCompressionLevel" (0 to 8) and "APECompressionLevel" (1000 to 4000);
// a level out of range raises ESettingsError naming it.
void ApplyFlacSettings(TFLACOut& flac);
void ApplyApeSettings(TMACOut& ape);
// "OpusBitRate" (64 to 256 kbit/s); a rate out of range raises ESettingsError.
void ApplyOpusSettings(TOpusOut& opus);
// The rates the settings page offers for Opus, in kbit/s.
QList<int> OpusBitRateItems();

} // namespace sonfeld::app
