#pragma once

#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <stdexcept>
#include <vector>

#include "app/settings/reading_settings.h"

namespace sonfeld::app {

// The program's arguments:
//   sonfeld [--image PATH]... [PATH]...           the window, images offered as drives
//   sonfeld --list [--image PATH]... [--drive N] [--lookup | --no-lookup] [--release N]
//           [--forget-names] [--json]
//           drives, the disc's rows and its names
//   sonfeld --rip (--image PATH | --drive N) --format F --out DIR
//           [--tracks 1,3,5] [--name N=TEXT]... [--album TEXT] [--require-accurate]
//           [--artist TEXT] [--album-artist TEXT] [--year YYYY] [--genre TEXT]
//           [--disc N/M] [--comment TEXT] [--template TEXT] [--lookup | --no-lookup]
//           [--release N] [--forget-names] [--reading-mode secure|fast-verify|old-drive]
//           [--read-offset N] [--test-and-copy] [--level N] [--mp3-vbr N]
//           [--json | --quiet]
//   sonfeld --verify (--image PATH | --drive N) [--read-offset N]
//   sonfeld --check-log FILE
//   sonfeld --repair PATH                         a finished rip, from CTDB's recovery data
//   sonfeld --help | --version
struct TCommandLine {
    enum class TMode { Window, List, Rip, Verify, CheckLog, Repair, Help, Version };
    TMode Mode = TMode::Window;
    QStringList Images;
    std::optional<int> Drive;
    QString Format; // as given; matched to a format name without regard to case
    QString OutputFolder;
    std::vector<int> Tracks; // empty: every track
    std::map<int, QString> Names;
    std::optional<QString> Album;
    // A track not proven accurate by AccurateRip fails the rip.
    bool RequireAccurate = false;
    // The whole disc into one image file with its sheet.
    bool SingleFile = false;
    // Names given on the command line: they win over every lookup, for this
    // run only.
    std::optional<QString> Artist;
    std::optional<QString> AlbumArtist;
    std::optional<QString> Year;
    std::optional<QString> Genre;
    std::optional<int> DiscNumber;
    std::optional<int> DiscTotal;
    std::optional<QString> Comment;  // written as every track's comment tag
    std::optional<QString> Template; // instead of the stored file-name template
    std::optional<bool> Lookup;      // unset: the stored "自动查询"
    std::optional<int> Release;      // 1-based, among several releases
    bool ForgetNames = false;        // drop what is kept for the disc first
    // Each replaces the stored setting (the drive's offset) for this rip.
    std::optional<TReadingMode> ReadingMode;
    std::optional<int> ReadOffset;
    bool TestAndCopy = false;
    bool DeEmphasis = false;        // de-emphasise pre-emphasised tracks' files; false: the setting
    std::optional<int> Level;       // the format's compression level for this rip
    bool Id3v23 = false;            // ID3v2.3 instead of the stored "ID3 版本"
    std::optional<bool> ReplayGain; // unset: the stored "ReplayGain"
    QString LogFile;                // --check-log
    bool Json = false;              // JSON on standard output, human text on standard error
    bool Quiet = false;             // errors and the summary only
    QString RepairPath;             // --repair: a rip log or its folder
    // --verify's read offset; unset: 0 for an image, the drive's stored one for a drive.
    std::optional<int> VerifyReadOffset;
};

// Raised for arguments that make no sense, with the reason.
class EUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// arguments without the program name. A file named without an option is an
// image, as with --image. Raises EUsageError.
TCommandLine ParseCommandLine(const QStringList& arguments);
// The --help text, in Chinese and in English.
QString UsageText();
// The line after a usage error's reason.
inline constexpr const char* kSeeHelp = "see sonfeld --help";
// The --version text: the program name, its version and a line break.
QString VersionText();

} // namespace sonfeld::app
