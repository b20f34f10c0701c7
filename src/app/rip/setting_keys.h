#pragma once

#include <QString>

// Every value the program keeps in the settings store, with its kind and the
// value it has while nothing is stored. Code reads and writes the store only
// through these keys, so a misspelt name cannot read silently as a default.
// Raise ESettingsError for a stored value of the wrong kind, as the store does.
namespace sonfeld::app {

struct TFlagKey {
    const char* Name;
    bool Default;
};
struct TTextKey {
    const char* Name;
    const char* Default;
};
// A decimal integer kept as text.
struct TNumberKey {
    const char* Name;
    int Default;
};

namespace key {
// The options dialog.
inline constexpr TFlagKey kEjectCD{"ejectCD", false};
inline constexpr TFlagKey kWizard{"wazid", false};
inline constexpr TFlagKey kAutoCpu{"autoCPU", false};
inline constexpr TFlagKey kNoOverwrite{"chkOverRide", false};
inline constexpr TFlagKey kSaveTitle{"saveTitle", false};
inline constexpr TNumberKey kCpuLevel{"CPU_INT", 1};
// Compression: FLAC's presets 0 to 8 (libFLAC's default 5), APE's levels
// 1000 to 4000.
inline constexpr TNumberKey kFlacLevel{"FLACCompressionLevel", 5};
inline constexpr TNumberKey kApeLevel{"APECompressionLevel", 2000};
// The settings page.
inline constexpr TTextKey kMp3BitRate{"MP3BitRate", "br128"};
inline constexpr TTextKey kOggMinRate{"OggMinRate", "brAutoSelect"};
inline constexpr TTextKey kOggMaxRate{"OggMaxRate", "brAutoSelect"};
inline constexpr TTextKey kWaveType{"wtWaveType", "RAW PCM"};
// Opus's average bit rate in kbit/s (64 to 256); MP3's VBR preset ("V0",
// "V2" or "V4"; empty: the constant "MP3BitRate").
inline constexpr TNumberKey kOpusBitRate{"OpusBitRate", 160};
inline constexpr TTextKey kMp3Quality{"mp3Quality", ""};
inline constexpr TFlagKey kId3Title{"addId3Title", false};
inline constexpr TFlagKey kId3Track{"addId3Track", false};
inline constexpr TFlagKey kId3Album{"addId3Album", false};
// Verified rips: the AccurateRip database's base address (database files are
// fetched from below it), and the log and CUE sheet written next to the files.
inline constexpr TTextKey kAccurateRipServer{"AccurateRipServer",
                                             "http://www.accuraterip.com/accuraterip"};
inline constexpr TFlagKey kWriteRipLog{"writeRipLog", true};
inline constexpr TFlagKey kWriteCueSheet{"writeCueSheet", true};
// How tracks are read: "secure" (full paranoia on every sector) or
// "fastVerify" (full drive speed, a secure re-read of what AccurateRip does
// not confirm); and whether each track is read twice and the copies compared.
// Fast by default: a disc the database does not know is read securely anyway.
inline constexpr TTextKey kReadingMode{"readingMode", "fastVerify"};
inline constexpr TFlagKey kTestAndCopy{"testAndCopy", false};
// Names and tags: lookups when a disc is listed, every tag the names give (else
// only the three ID3 boxes above), the front cover in the files, and the
// file-name template ("/" makes sub-folders).
inline constexpr TFlagKey kAutoLookup{"autoLookup", true};
inline constexpr TFlagKey kFullTags{"writeFullTags", true};
inline constexpr TFlagKey kEmbedCover{"embedCover", true};
inline constexpr TTextKey kFileNameTemplate{"FileNameTemplate", "{title}"};
// The window: its language ("zh_CN" or "en"); the queue one track after the
// other with a pause between (else reading and encoding overlap).
inline constexpr TTextKey kInterfaceLanguage{"interfaceLanguage", "zh_CN"};
inline constexpr TFlagKey kSequentialMode{"sequentialMode", false};
// The disc images opened from the window, newest first, one path a line.
inline constexpr TTextKey kRecentImages{"recentImages", ""};
} // namespace key

bool Read(const TFlagKey& key);
QString Read(const TTextKey& key);
// Raises std::invalid_argument, naming the text, when it is no decimal integer.
int Read(const TNumberKey& key);
// Reads every key, so a stored value of the wrong kind is reported before a
// rip starts instead of when the rip reaches it.
void CheckStoredSettings();

void Write(const TFlagKey& key, bool value);
void Write(const TTextKey& key, const QString& value);
void Write(const TNumberKey& key, int value);

} // namespace sonfeld::app
