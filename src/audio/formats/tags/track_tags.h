#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sonfeld {

// The tags of one ripped track. Texts are UTF-8; empty texts, and numbers of
// 0, are not written.
struct TrackTags {
    std::string title;
    std::string artist;
    std::string album;
    std::string albumArtist;
    std::string date; // yyyy or yyyy-mm-dd
    std::string genre;
    std::string isrc;
    int trackNumber = 0;
    int trackTotal = 0;
    int discNumber = 0;
    int discTotal = 0;
    std::string musicBrainzAlbumId; // the release
    std::string musicBrainzReleaseTrackId;
    std::string musicBrainzRecordingId;
    std::string musicBrainzArtistId;
    std::string musicBrainzAlbumArtistId;
    std::string musicBrainzDiscId;
    std::string label;
    std::string catalogNumber;
    std::string barcode;
    std::string comment;             // the user's own note on the album
    std::vector<std::uint8_t> cover; // front cover, JPEG or PNG
    std::string coverMimeType;       // empty: taken from the bytes

    bool Empty() const;
};

} // namespace sonfeld
