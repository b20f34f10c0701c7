// The exported C entry point. Nothing may cross into the caller but a code
// and a message: every exception, TagLib's included, is caught here.
#define SONFELD_TAGS_BUILDING_LIBRARY 1
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "file_tagger.h"
#include "tags_library_api.h"
#include "track_fields.h"

namespace {

int Fail(int code, const char* text, char* message, std::size_t messageSize)
{
    if (message != nullptr && messageSize > 0) {
        std::size_t length = std::min(std::strlen(text), messageSize - 1);
        // Never cut a UTF-8 character in half.
        while (length > 0 && length < std::strlen(text) &&
               (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
            --length;
        std::memcpy(message, text, length);
        message[length] = '\0';
    }
    return code;
}

template <typename T> void ForgetPast(T& field, std::size_t offset, std::size_t givenSize)
{
    if (offset + sizeof(field) > givenSize)
        field = T{};
}

} // namespace

extern "C" {

SONFELD_TAGS_EXPORT int SONFELD_TAGS_CALL sonfeld_tags_write(const char* path,
                                                             const SonfeldTrackTags* tags,
                                                             char* message, std::size_t messageSize)
{
    if (message != nullptr && messageSize > 0)
        message[0] = '\0';
    if (path == nullptr || *path == '\0' || tags == nullptr)
        return Fail(SONFELD_TAGS_INVALID_ARGUMENT, "No file or no tags given.", message,
                    messageSize);
    if (tags->structSize < SONFELD_TRACK_TAGS_FIRST_SIZE)
        return Fail(SONFELD_TAGS_INVALID_ARGUMENT, "The tags come in an unknown layout.", message,
                    messageSize);
    // Only the caller's own bytes are read: the fields an older caller does
    // not know stay null, which means absent.
    const std::size_t given = tags->structSize;
    SonfeldTrackTags known{};
    std::memcpy(&known, tags, std::min(given, sizeof(SonfeldTrackTags)));
    // A size that ends inside a field leaves that field absent too, never half a pointer.
    ForgetPast(known.label, offsetof(SonfeldTrackTags, label), given);
    ForgetPast(known.catalogNumber, offsetof(SonfeldTrackTags, catalogNumber), given);
    ForgetPast(known.barcode, offsetof(SonfeldTrackTags, barcode), given);
    ForgetPast(known.comment, offsetof(SonfeldTrackTags, comment), given);
#define SONFELD_FORGET_PAST(field) ForgetPast(known.field, offsetof(SonfeldTrackTags, field), given)
    SONFELD_FORGET_PAST(artists);
    SONFELD_FORGET_PAST(artistSort);
    SONFELD_FORGET_PAST(albumArtistSort);
    SONFELD_FORGET_PAST(composer);
    SONFELD_FORGET_PAST(musicBrainzReleaseGroupId);
    SONFELD_FORGET_PAST(releaseCountry);
    SONFELD_FORGET_PAST(releaseStatus);
    SONFELD_FORGET_PAST(releaseType);
    SONFELD_FORGET_PAST(media);
    SONFELD_FORGET_PAST(discSubtitle);
    SONFELD_FORGET_PAST(originalDate);
    SONFELD_FORGET_PAST(script);
    SONFELD_FORGET_PAST(compilation);
    SONFELD_FORGET_PAST(id3Version);
    SONFELD_FORGET_PAST(replayGainTrackGain);
    SONFELD_FORGET_PAST(replayGainTrackPeak);
    SONFELD_FORGET_PAST(replayGainAlbumGain);
    SONFELD_FORGET_PAST(replayGainAlbumPeak);
    SONFELD_FORGET_PAST(preEmphasis);
#undef SONFELD_FORGET_PAST
    try {
        sonfeld::tags::TagFile(path, sonfeld::tags::FieldsFromC(known));
        return SONFELD_TAGS_OK;
    } catch (const sonfeld::tags::TagError& error) {
        return Fail(error.Code(), error.what(), message, messageSize);
    } catch (const std::bad_alloc&) {
        return Fail(SONFELD_TAGS_INTERNAL_ERROR, "Out of memory while writing tags.", message,
                    messageSize);
    } catch (const std::exception& error) {
        return Fail(SONFELD_TAGS_INTERNAL_ERROR, error.what(), message, messageSize);
    } catch (...) {
        return Fail(SONFELD_TAGS_INTERNAL_ERROR, "Writing tags failed unexpectedly.", message,
                    messageSize);
    }
}

} // extern "C"
