#include "track_fields.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

namespace sonfeld::tags {

namespace {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsUtf8(const std::string& text)
{
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = s[i];
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF) {
            length = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 2;
            if (c == 0xE0)
                low = 0xA0;
            else if (c == 0xED)
                high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 3;
            if (c == 0xF0)
                low = 0x90;
            else if (c == 0xF4)
                high = 0x8F;
        } else {
            return false;
        }
        if (n - i - 1 < length)
            return false;
        if (s[i + 1] < low || s[i + 1] > high)
            return false;
        for (std::size_t k = 2; k <= length; ++k)
            if (s[i + k] < 0x80 || s[i + k] > 0xBF)
                return false;
        i += length + 1;
    }
    return true;
}

std::string Text(const char* value, const char* fieldName)
{
    if (value == nullptr)
        return {};
    std::string text(value);
    if (!IsUtf8(text))
        throw TagError(SONFELD_TAGS_INVALID_ARGUMENT,
                       std::string("The ") + fieldName + " is not valid UTF-8 text.");
    return text;
}

int Number(std::int32_t value, const char* fieldName)
{
    if (value < 0)
        throw TagError(SONFELD_TAGS_INVALID_ARGUMENT,
                       std::string("The ") + fieldName + " is negative.");
    return value;
}

bool StartsWith(const std::vector<std::uint8_t>& bytes, std::initializer_list<std::uint8_t> magic)
{
    return bytes.size() >= magic.size() && std::equal(magic.begin(), magic.end(), bytes.begin());
}

std::string CoverMimeType(const std::vector<std::uint8_t>& cover, const std::string& given)
{
    const bool jpeg = StartsWith(cover, {0xFF, 0xD8, 0xFF});
    const bool png = StartsWith(cover, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
    if (!jpeg && !png)
        throw TagError(SONFELD_TAGS_INVALID_ARGUMENT, "The cover image is neither JPEG nor PNG.");
    // The bytes decide: a wrong type would make readers drop the picture.
    std::string detected = jpeg ? "image/jpeg" : "image/png";
    if (!given.empty() && given != detected && !(jpeg && given == "image/jpg"))
        throw TagError(SONFELD_TAGS_INVALID_ARGUMENT,
                       "The cover image's type " + given + " does not match its bytes.");
    return detected;
}

} // namespace

TrackFields FieldsFromC(const SonfeldTrackTags& tags)
{
    TrackFields f;
    f.title = Text(tags.title, "title");
    f.artist = Text(tags.artist, "artist");
    f.album = Text(tags.album, "album");
    f.albumArtist = Text(tags.albumArtist, "album artist");
    f.date = Text(tags.date, "date");
    f.genre = Text(tags.genre, "genre");
    f.isrc = Text(tags.isrc, "ISRC");
    f.trackNumber = Number(tags.trackNumber, "track number");
    f.trackTotal = Number(tags.trackTotal, "track total");
    f.discNumber = Number(tags.discNumber, "disc number");
    f.discTotal = Number(tags.discTotal, "disc total");
    f.musicBrainzAlbumId = Text(tags.musicBrainzAlbumId, "MusicBrainz album id");
    f.musicBrainzReleaseTrackId = Text(tags.musicBrainzReleaseTrackId, "MusicBrainz track id");
    f.musicBrainzRecordingId = Text(tags.musicBrainzRecordingId, "MusicBrainz recording id");
    f.musicBrainzArtistId = Text(tags.musicBrainzArtistId, "MusicBrainz artist id");
    f.musicBrainzAlbumArtistId = Text(tags.musicBrainzAlbumArtistId, "MusicBrainz album artist id");
    f.musicBrainzDiscId = Text(tags.musicBrainzDiscId, "MusicBrainz disc id");
    f.label = Text(tags.label, "label");
    f.catalogNumber = Text(tags.catalogNumber, "catalogue number");
    f.barcode = Text(tags.barcode, "barcode");
    f.comment = Text(tags.comment, "comment");
    if (tags.coverSize > 0) {
        if (tags.cover == nullptr)
            throw TagError(SONFELD_TAGS_INVALID_ARGUMENT, "The cover image has no bytes.");
        f.cover.assign(tags.cover, tags.cover + tags.coverSize);
        f.coverMimeType = CoverMimeType(f.cover, Text(tags.coverMimeType, "cover type"));
    }
    return f;
}

std::string NumberText(int number, int total)
{
    if (number <= 0)
        return {};
    return total > 0 ? std::to_string(number) + "/" + std::to_string(total)
                     : std::to_string(number);
}

std::string NumberOnly(int number)
{
    return number > 0 ? std::to_string(number) : std::string();
}

} // namespace sonfeld::tags
