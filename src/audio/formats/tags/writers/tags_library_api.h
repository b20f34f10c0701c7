#pragma once

// The C interface of the tag library (libsonfeld_tags.so). It writes the tags
// of one track into a complete audio file; the format follows the file name's
// extension (.flac, .ogg, .mp3, .ape, .wav). Only C types cross this boundary
// and no exception leaves it.

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define SONFELD_TAGS_CALL __cdecl
#ifdef SONFELD_TAGS_BUILDING_LIBRARY
#define SONFELD_TAGS_EXPORT __declspec(dllexport)
#else
#define SONFELD_TAGS_EXPORT __declspec(dllimport)
#endif
#else
#define SONFELD_TAGS_CALL
#define SONFELD_TAGS_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

enum SonfeldTagsResult {
    SONFELD_TAGS_OK = 0,
    SONFELD_TAGS_INVALID_ARGUMENT =
        1, // null pointers, a wrong structure size, text that is not UTF-8
    SONFELD_TAGS_UNSUPPORTED_FORMAT = 2,
    SONFELD_TAGS_UNREADABLE_FILE = 3, // missing, or not a valid file of its format
    SONFELD_TAGS_WRITE_FAILED = 4,
    SONFELD_TAGS_INTERNAL_ERROR = 5 // out of memory or an unexpected failure
};

// Texts are zero-terminated UTF-8; a null or empty text is not written.
// Fields marked "lines" may hold several values, one per line.
// Numbers of 0 are not written; a total without its number is not written.
struct SonfeldTrackTags {
    uint32_t structSize; // sizeof(struct SonfeldTrackTags), so the layout can grow
    const char* title;
    const char* artist;
    const char* album;
    const char* albumArtist;
    const char* date; // yyyy or yyyy-mm-dd
    const char* genre;
    const char* isrc; // lines
    int32_t trackNumber;
    int32_t trackTotal;
    int32_t discNumber;
    int32_t discTotal;
    const char* musicBrainzAlbumId; // the release
    const char* musicBrainzReleaseTrackId;
    const char* musicBrainzRecordingId;
    const char* musicBrainzArtistId;      // lines
    const char* musicBrainzAlbumArtistId; // lines
    const char* musicBrainzDiscId;
    const uint8_t* cover; // front cover, JPEG or PNG bytes
    size_t coverSize;
    const char* coverMimeType; // "image/jpeg" or "image/png"; null or empty: taken from the bytes
    // Added later: a caller whose structSize ends before a field leaves it absent.
    const char* label;
    const char* catalogNumber;
    const char* barcode;
    const char* comment;
    // Added later again, under the same rule.
    const char* artists; // lines
    const char* artistSort;
    const char* albumArtistSort;
    const char* composer;
    const char* musicBrainzReleaseGroupId;
    const char* releaseCountry;
    const char* releaseStatus;
    const char* releaseType; // lines
    const char* media;
    const char* discSubtitle;
    const char* originalDate;
    const char* script;
    int32_t compilation; // 1: an album of various artists
    int32_t id3Version;  // 3 or 4; 0: 4
    const char* replayGainTrackGain;
    const char* replayGainTrackPeak;
    const char* replayGainAlbumGain;
    const char* replayGainAlbumPeak;
    int32_t preEmphasis; // 1: the track was recorded with pre-emphasis
};

// The structSize of the first layout, which ended with coverMimeType: the
// smallest the library accepts.
#define SONFELD_TRACK_TAGS_FIRST_SIZE                                                              \
    (offsetof(struct SonfeldTrackTags, coverMimeType) + sizeof(const char*))

// Writes tags into the file at path (UTF-8). The file is tagged through a copy
// beside it that then replaces it, so a failure leaves the file as it was.
// On failure a message (UTF-8, cut to fit) goes into message when it is not
// null and messageSize is not 0.
SONFELD_TAGS_EXPORT int SONFELD_TAGS_CALL sonfeld_tags_write(const char* path,
                                                             const struct SonfeldTrackTags* tags,
                                                             char* message, size_t messageSize);

typedef int(SONFELD_TAGS_CALL* proc_sonfeld_tags_write)(const char*, const struct SonfeldTrackTags*,
                                                        char*, size_t);

#ifdef __cplusplus
}
#endif
