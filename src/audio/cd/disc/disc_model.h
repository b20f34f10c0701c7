#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace sonfeld::disc {

// Addresses are named by their zero point: an LSN counts from the first sector
// after the 150-sector pregap of track 1; an absolute address from the start
// of that pregap (absolute = LSN + 150).
constexpr std::int32_t kPregapSectors = 150;
constexpr int kSectorBytes = 2352;
constexpr int kSectorsPerSecond = 75;
constexpr int kMaxTracks = 99;
// The longest a CD can be: its length in MSF is at most 99:59:74.
constexpr std::int32_t kMaxDiscSectors = (99 * 60 + 59) * kSectorsPerSecond + 74;
// Session 1 lead-out + session 2 lead-in + data pregap of an enhanced CD.
constexpr std::int32_t kSessionGapSectors = 11400;

// A disc or image that cannot be read as the program needs it; the message is
// shown to the user as it is.
class DiscError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct CdText {
    std::string title;
    std::string performer;
    std::string songwriter;
    std::string composer;
    std::string arranger;
    std::string message;

    bool Empty() const
    {
        return title.empty() && performer.empty() && songwriter.empty() && composer.empty() &&
               arranger.empty() && message.empty();
    }
    bool operator==(const CdText&) const = default;
};

struct Track {
    int number = 0;
    bool data = false;
    int session = 1;
    std::int32_t pregapLsn = 0; // INDEX 00; equal to startLsn without a pregap
    std::int32_t startLsn = 0;  // INDEX 01, the start the table of contents lists
    // One past the track's last sector as ripped: the next track's INDEX 01,
    // the end of the session for the last track of a session, or the lead-out.
    std::int32_t endLsn = 0;
    bool preEmphasis = false;
    bool copyPermitted = false;
    bool fourChannel = false;
    std::string isrc; // empty when unknown
    CdText text;
    // Samples of silence that fill the track's last sector past the end of
    // the audio an image holds (0..587): read as part of the sector, and cut
    // from the track's file so it holds exactly the audio.
    std::int32_t paddingSamples = 0;

    std::int32_t Sectors() const { return endLsn - startLsn; }
    std::int32_t PregapSectors() const { return startLsn - pregapLsn; }
    bool operator==(const Track&) const = default;
};

struct DiscModel {
    std::vector<Track> tracks;           // in disc order
    std::int32_t firstSessionEndLsn = 0; // one past session 1's last sector
    std::int32_t leadOutLsn = 0;         // the final lead-out
    std::string mcn;                     // 13 digits, empty when unknown
    CdText text;

    const Track* FindTrack(int number) const;
    // Audio tracks of the whole disc, in order.
    std::vector<const Track*> AudioTracks() const;
    bool operator==(const DiscModel&) const = default;
};

// Sets every track's end and session-1 end from the starts, the lead-out and
// the start of the last session (nullopt on a single-session disc). Tracks at
// or after lastSessionStart belong to session 2; the audio of session 1 ends
// kSessionGapSectors before it. Raises DiscError for starts that do not rise.
void CompleteLayout(DiscModel& model, std::optional<std::int32_t> lastSessionStartLsn);

// A 12-character ISRC or 13-digit MCN, or empty for all-zero or malformed codes.
// Whether the sectors lsn .. lsn + count - 1 lie on the disc and hold no data
// track, which an image reader can return as audio; otherwise why not.
bool AudioSectorsReadable(const DiscModel& model, std::int32_t lsn, int count, std::string& error);

std::string CleanIsrc(const std::string& code);
std::string CleanMcn(const std::string& code);

} // namespace sonfeld::disc
