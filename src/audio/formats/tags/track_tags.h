#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sonfeld {

// The tags of one ripped track. Texts are UTF-8; empty texts, and numbers of
// 0, are not written. Fields that may hold several values (marked "lines")
// hold one value per line.
struct TrackTags {
    std::string title;
    std::string artist;
    std::string album;
    std::string albumArtist;
    std::string date; // yyyy or yyyy-mm-dd
    std::string genre;
    std::string isrc; // lines
    int trackNumber = 0;
    int trackTotal = 0;
    int discNumber = 0;
    int discTotal = 0;
    std::string musicBrainzAlbumId; // the release
    std::string musicBrainzReleaseTrackId;
    std::string musicBrainzRecordingId;
    std::string musicBrainzArtistId;      // lines: every artist of the credit
    std::string musicBrainzAlbumArtistId; // lines
    std::string musicBrainzDiscId;
    std::string label;
    std::string catalogNumber;
    std::string barcode;
    std::string comment;             // the user's own note on the album
    std::vector<std::uint8_t> cover; // front cover, JPEG or PNG
    std::string coverMimeType;       // empty: taken from the bytes
    std::string artists;             // lines: each artist of the credit on its own
    std::string artistSort;
    std::string albumArtistSort;
    std::string composer;
    std::string musicBrainzReleaseGroupId;
    std::string releaseCountry;
    std::string releaseStatus; // "official", "promotion", ...
    std::string releaseType;   // lines: "album", "compilation", ...
    std::string media;         // the medium's format, "CD"
    std::string discSubtitle;  // the medium's own title
    std::string originalDate;  // the release group's first release
    std::string script;        // "Latn", "Hani", ...
    bool compilation = false;  // an album of various artists
    bool preEmphasis = false;  // the disc's track has the pre-emphasis flag: PRE_EMPHASIS=1
    // ReplayGain 2.0 texts, "-6.48 dB" and "0.988525".
    std::string replayGainTrackGain;
    std::string replayGainTrackPeak;
    std::string replayGainAlbumGain;
    std::string replayGainAlbumPeak;
    // The ID3v2 version of MP3 files and the WAV ID3 chunk: 4, or 3 for older
    // players (UTF-16 text, TYER/TDAT, several values joined with " / ").
    int id3Version = 4;

    bool Empty() const;
};

} // namespace sonfeld
