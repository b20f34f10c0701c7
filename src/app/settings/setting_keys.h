#pragma once

#include <QString>
#include <QStringList>
#include <initializer_list>
#include <vector>

// Every value the program keeps in the settings store, with its kind and the
// value it has while nothing is stored. Code reads and writes the store only
// through these keys, so a misspelt name cannot read silently as a default.
// Raise ESettingsError for a stored value of the wrong kind, as the store does.
//
// Each key enrols itself where it is defined, so CheckStoredSettings reads
// every one of them without a second list to keep up.
namespace sonfeld::app {

struct TFlagKey {
    TFlagKey(const char* name, bool fallback);
    const char* Name;
    bool Default;
};
// Choices, when given, are the only values it may hold; What names it in the
// message about any other ("The reading mode ...").
struct TTextKey {
    TTextKey(const char* name, const char* fallback, const char* what = nullptr,
             std::initializer_list<const char*> choices = {});
    const char* Name;
    const char* Default;
    const char* What;
    std::vector<const char*> Choices;
};
// A decimal integer kept as text.
struct TNumberKey {
    TNumberKey(const char* name, int fallback);
    const char* Name;
    int Default;
};
// One value for each drive: the name of the drive follows the key's name.
struct TDriveKey {
    const char* Name;
    // The name the value of that drive is stored under (drive names hold
    // spaces and slashes; the store's groups split at slashes).
    QString For(const QString& driveName) const;
};

namespace key {
// The options dialog.
inline const TFlagKey kEjectCD{"ejectCD", false};
inline const TFlagKey kWizard{"wazid", false};
inline const TFlagKey kAutoCpu{"autoCPU", false};
inline const TFlagKey kNoOverwrite{"chkOverRide", false};
inline const TFlagKey kSaveTitle{"saveTitle", false};
inline const TNumberKey kCpuLevel{"CPU_INT", 1};
// Compression: FLAC's presets 0 to 8 (libFLAC's default 5), APE's levels
// 1000 to 4000.
inline const TNumberKey kFlacLevel{"FLACCompressionLevel", 5};
inline const TNumberKey kApeLevel{"APECompressionLevel", 2000};
// The settings page.
inline const TTextKey kMp3BitRate{"MP3BitRate", "br128"};
inline const TTextKey kOggMinRate{"OggMinRate", "brAutoSelect"};
inline const TTextKey kOggMaxRate{"OggMaxRate", "brAutoSelect"};
inline const TTextKey kWaveType{"wtWaveType", "RAW PCM"};
// Opus's average bit rate in kbit/s (64 to 256); MP3's VBR preset ("V0",
// "V2" or "V4"; empty: the constant "MP3BitRate").
inline const TNumberKey kOpusBitRate{"OpusBitRate", 160};
inline const TTextKey kMp3Quality{"mp3Quality", ""};
inline const TFlagKey kId3Title{"addId3Title", false};
inline const TFlagKey kId3Track{"addId3Track", false};
inline const TFlagKey kId3Album{"addId3Album", false};
// Verified rips: the AccurateRip database's base address (database files are
// fetched from below it), and the log and CUE sheet written next to the files.
inline const TTextKey kAccurateRipServer{"AccurateRipServer",
                                         "http://www.accuraterip.com/accuraterip"};
// The CTDB's base address; lookups and recovery data paths go below it.
inline const TTextKey kCtdbServer{"CTDBServer", "http://db.cuetools.net"};
inline const TFlagKey kWriteRipLog{"writeRipLog", true};
inline const TFlagKey kWriteCueSheet{"writeCueSheet", true};
// How tracks are read: "secure" (full paranoia on every sector) or
// "fastVerify" (full drive speed, a secure re-read of what AccurateRip does
// not confirm); and whether each track is read twice and the copies compared.
// Fast by default: a disc the database does not know is read securely anyway.
inline const TTextKey kReadingMode{
    "readingMode", "fastVerify", "reading mode", {"secure", "fastVerify", "oldDrive"}};
inline const TFlagKey kTestAndCopy{"testAndCopy", false};
// Audio hidden before track 1 ("隐藏音轨", track 0) is ticked for ripping when listed.
inline const TFlagKey kTickHiddenTrack{"tickHiddenTrack", false};
// The files of tracks flagged with pre-emphasis get de-emphasised audio (the
// checksums and the log's CRCs stay those of the audio as read).
inline const TFlagKey kDeEmphasis{"deEmphasis", false};
// Names and tags: lookups when a disc is listed, every tag the names give (else
// only the three ID3 boxes above), the front cover in the files, and the
// file-name template ("/" makes sub-folders).
inline const TFlagKey kAutoLookup{"autoLookup", true};
inline const TFlagKey kFullTags{"writeFullTags", true};
inline const TFlagKey kEmbedCover{"embedCover", true};
inline const TTextKey kFileNameTemplate{"FileNameTemplate", "{title}"};
// "ID3 版本": "2.4", or "2.3" for older players. "ReplayGain": track and
// album gain measured while ripping.
inline const TTextKey kId3Version{"id3Version", "2.4", "ID3 version", {"2.4", "2.3"}};
inline const TFlagKey kReplayGain{"replayGain", true};
// The lookups' base addresses (each service's own path is appended to them);
// an empty one is read as the default.
inline const TTextKey kMusicBrainzServer{"MusicBrainzServer", "https://musicbrainz.org"};
inline const TTextKey kGnudbServer{"GnudbServer", "https://gnudb.gnudb.org"};
inline const TTextKey kCoverArtServer{"CoverArtServer", "https://coverartarchive.org"};
// What gnudb's hello line names as the user and the host: nothing about the
// user unless they set it.
inline const TTextKey kGnudbUser{"GnudbUser", ""};
inline const TTextKey kGnudbHost{"GnudbHost", ""};
// The window: its language ("zh_CN" or "en"); the queue one track after the
// other with a pause between (else reading and encoding overlap).
inline const TTextKey kInterfaceLanguage{
    "interfaceLanguage", "zh_CN", "interface language", {"zh_CN", "en"}};
inline const TFlagKey kSequentialMode{"sequentialMode", false};
// "输出方式": "perTrack" (分轨, one file per track) or "singleFile" (整轨, the
// disc as one image file with its CUE sheet).
inline const TTextKey kOutputMode{
    "outputMode", "perTrack", "output mode", {"perTrack", "singleFile"}};
// The disc images opened from the window, newest first, one path a line.
inline const TTextKey kRecentImages{"recentImages", ""};
// Each drive's read offset in samples.
inline constexpr TDriveKey kReadOffset{"ReadOffsets"};
} // namespace key

bool Read(const TFlagKey& key);
// Raises ESettingsError for a value that is none of the key's choices.
QString Read(const TTextKey& key);
// Raises ESettingsError, naming the text, when it is no decimal integer.
int Read(const TNumberKey& key);
// Reads every key, so a stored value of the wrong kind is reported before a
// rip starts instead of when the rip reaches it.
void CheckStoredSettings();
// The name of every key above but the drives', for checks of texts that name
// settings (the help page).
QStringList SettingNames();

void Write(const TFlagKey& key, bool value);
void Write(const TTextKey& key, const QString& value);
void Write(const TNumberKey& key, int value);

} // namespace sonfeld::app
