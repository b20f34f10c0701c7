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

std::uint32_t BigEndian(const std::vector<std::uint8_t>& b, std::size_t at, int bytes)
{
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | b[at + static_cast<std::size_t>(i)];
    return value;
}

// Width, height and bits per pixel from a PNG's IHDR chunk.
void PngSize(const std::vector<std::uint8_t>& png, TrackFields& f)
{
    if (png.size() < 29 || std::memcmp(png.data() + 12, "IHDR", 4) != 0)
        return;
    const int bitDepth = png[24];
    int channels = 0;
    switch (png[25]) {
    case 0: channels = 1; break; // grey
    case 2: channels = 3; break; // RGB
    case 3: channels = 1; break; // palette: the depth of an index
    case 4: channels = 2; break; // grey and alpha
    case 6: channels = 4; break; // RGBA
    default: return;
    }
    f.coverWidth = static_cast<int>(BigEndian(png, 16, 4) & 0x7FFFFFFF);
    f.coverHeight = static_cast<int>(BigEndian(png, 20, 4) & 0x7FFFFFFF);
    f.coverDepth = bitDepth * channels;
}

// Width, height and bits per pixel from a JPEG's start-of-frame segment.
void JpegSize(const std::vector<std::uint8_t>& jpeg, TrackFields& f)
{
    std::size_t at = 2;
    while (at + 4 <= jpeg.size()) {
        if (jpeg[at] != 0xFF)
            return;
        const std::uint8_t marker = jpeg[at + 1];
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) // end, or the scan: no frame header came
            return;
        const std::size_t length = BigEndian(jpeg, at + 2, 2);
        const bool startOfFrame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (startOfFrame) {
            if (length < 8 || at + 10 > jpeg.size())
                return;
            f.coverDepth = jpeg[at + 4] * jpeg[at + 9];
            f.coverHeight = static_cast<int>(BigEndian(jpeg, at + 5, 2));
            f.coverWidth = static_cast<int>(BigEndian(jpeg, at + 7, 2));
            return;
        }
        at += 2 + length;
    }
}

} // namespace

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

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
        if (f.coverMimeType == "image/png")
            PngSize(f.cover, f);
        else
            JpegSize(f.cover, f);
    }
    f.artists = Lines(Text(tags.artists, "artists"));
    f.artistSort = Text(tags.artistSort, "artist sort name");
    f.albumArtistSort = Text(tags.albumArtistSort, "album artist sort name");
    f.composer = Text(tags.composer, "composer");
    f.musicBrainzReleaseGroupId =
        Text(tags.musicBrainzReleaseGroupId, "MusicBrainz release group id");
    f.releaseCountry = Text(tags.releaseCountry, "release country");
    f.releaseStatus = Text(tags.releaseStatus, "release status");
    f.releaseType = Lines(Text(tags.releaseType, "release type"));
    f.media = Text(tags.media, "medium format");
    f.discSubtitle = Text(tags.discSubtitle, "disc subtitle");
    f.originalDate = Text(tags.originalDate, "original date");
    f.script = Text(tags.script, "script");
    f.compilation = tags.compilation != 0;
    f.preEmphasis = tags.preEmphasis != 0;
    if (tags.id3Version != 0 && tags.id3Version != 3 && tags.id3Version != 4)
        throw TagError(SONFELD_TAGS_INVALID_ARGUMENT, "The ID3v2 version must be 3 or 4.");
    f.id3Version = tags.id3Version == 3 ? 3 : 4;
    f.replayGainTrackGain = Text(tags.replayGainTrackGain, "ReplayGain track gain");
    f.replayGainTrackPeak = Text(tags.replayGainTrackPeak, "ReplayGain track peak");
    f.replayGainAlbumGain = Text(tags.replayGainAlbumGain, "ReplayGain album gain");
    f.replayGainAlbumPeak = Text(tags.replayGainAlbumPeak, "ReplayGain album peak");
    f.isrcs = Lines(f.isrc);
    f.artistIds = Lines(f.musicBrainzArtistId);
    f.albumArtistIds = Lines(f.musicBrainzAlbumArtistId);
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
