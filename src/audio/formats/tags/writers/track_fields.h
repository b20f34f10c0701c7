#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "tags_library_api.h"

namespace sonfeld::tags {

// The library's own copy of one track's tags, checked on the way in.
struct TrackFields {
    std::string title;
    std::string artist;
    std::string album;
    std::string albumArtist;
    std::string date;
    std::string genre;
    std::string isrc;
    int trackNumber = 0;
    int trackTotal = 0;
    int discNumber = 0;
    int discTotal = 0;
    std::string musicBrainzAlbumId;
    std::string musicBrainzReleaseTrackId;
    std::string musicBrainzRecordingId;
    std::string musicBrainzArtistId;
    std::string musicBrainzAlbumArtistId;
    std::string musicBrainzDiscId;
    std::string label;
    std::string catalogNumber;
    std::string barcode;
    std::string comment;
    std::vector<std::uint8_t> cover;
    std::string coverMimeType; // always set when cover is not empty
    int coverWidth = 0;        // from the image's header; 0 when not known
    int coverHeight = 0;
    int coverDepth = 0; // bits per pixel
    std::vector<std::string> artists;
    std::string artistSort;
    std::string albumArtistSort;
    std::string composer;
    std::string musicBrainzReleaseGroupId;
    std::string releaseCountry;
    std::string releaseStatus;
    std::vector<std::string> releaseType;
    std::string media;
    std::string discSubtitle;
    std::string originalDate;
    std::string script;
    bool compilation = false;
    bool preEmphasis = false;
    int id3Version = 4;
    std::string replayGainTrackGain;
    std::string replayGainTrackPeak;
    std::string replayGainAlbumGain;
    std::string replayGainAlbumPeak;
    std::vector<std::string> isrcs; // every value of isrc
    std::vector<std::string> artistIds;
    std::vector<std::string> albumArtistIds;
};

// A failure with the code the C interface returns.
class TagError : public std::runtime_error {
public:
    TagError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    int Code() const { return code_; }

private:
    int code_;
};

// Copies and checks the caller's tags: texts must be UTF-8, numbers not
// negative, a cover JPEG or PNG. Raises TagError otherwise.
TrackFields FieldsFromC(const SonfeldTrackTags& tags);

// "n" or "n/N"; empty when n is 0.
std::string NumberText(int number, int total);
// The values of a "lines" text: one per line, blank lines left out.
std::vector<std::string> Lines(const std::string& text);

// The number alone; empty when it is 0.
std::string NumberOnly(int number);

} // namespace sonfeld::tags
