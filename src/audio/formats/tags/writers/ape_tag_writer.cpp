#include <string>
#include <utility>
#include <vector>

#include <taglib/apefile.h>
#include <taglib/apeitem.h>
#include <taglib/apetag.h>

#include "format_writers.h"
#include "save_file.h"
#include "taglib_file_name.h"
#include "taglib_text.h"

namespace sonfeld::tags {

namespace {

const char* const kFrontCoverKey = "Cover Art (Front)";

// The binary cover item: a file name readers take the type from, a NUL, the image.
TagLib::APE::Item FrontCoverItem(const TrackFields& f)
{
    const std::string fileName =
        std::string(kFrontCoverKey) + (f.coverMimeType == "image/png" ? ".png" : ".jpg");
    TagLib::ByteVector data(fileName.c_str(), static_cast<unsigned int>(fileName.size() + 1));
    data.append(TagLib::ByteVector(reinterpret_cast<const char*>(f.cover.data()),
                                   static_cast<unsigned int>(f.cover.size())));
    TagLib::APE::Item item;
    item.setKey(kFrontCoverKey);
    item.setType(TagLib::APE::Item::Binary);
    item.setBinaryData(data);
    return item;
}

} // namespace

void WriteApeTags(const std::string& path, const TrackFields& f)
{
    TagLib::APE::File file(TagLibFileName(path), true, TagLib::AudioProperties::Fast);
    RequireValid(file, "APE");
    TagLib::APE::Tag& tag = *file.APETag(true);
    auto one = [](const std::string& value) {
        return value.empty() ? std::vector<std::string>() : std::vector<std::string>{value};
    };
    const std::pair<const char*, std::vector<std::string>> items[] = {
        {"Title", one(f.title)},
        {"Artist", one(f.artist)},
        {"Artists", f.artists},
        {"ArtistSort", one(f.artistSort)},
        {"Album Artist", one(f.albumArtist)},
        {"AlbumArtistSort", one(f.albumArtistSort)},
        {"Album", one(f.album)},
        {"Composer", one(f.composer)},
        {"Track", one(NumberText(f.trackNumber, f.trackTotal))},
        {"Disc", one(NumberText(f.discNumber, f.discTotal))},
        {"DiscSubtitle", one(f.discSubtitle)},
        {"Media", one(f.media)},
        {"Year", one(f.date)},
        {"OriginalDate", one(f.originalDate)},
        {"Genre", one(f.genre)},
        {"ISRC", f.isrcs},
        {"Compilation", one(f.compilation ? "1" : "")},
        {"PRE_EMPHASIS", one(f.preEmphasis ? "1" : "")},
        {"RELEASECOUNTRY", one(f.releaseCountry)},
        {"MUSICBRAINZ_ALBUMSTATUS", one(f.releaseStatus)},
        {"MUSICBRAINZ_ALBUMTYPE", f.releaseType},
        {"Script", one(f.script)},
        {"MUSICBRAINZ_ALBUMID", one(f.musicBrainzAlbumId)},
        {"MUSICBRAINZ_RELEASEGROUPID", one(f.musicBrainzReleaseGroupId)},
        {"MUSICBRAINZ_RELEASETRACKID", one(f.musicBrainzReleaseTrackId)},
        {"MUSICBRAINZ_TRACKID", one(f.musicBrainzRecordingId)},
        {"MUSICBRAINZ_ARTISTID", f.artistIds},
        {"MUSICBRAINZ_ALBUMARTISTID", f.albumArtistIds},
        {"MUSICBRAINZ_DISCID", one(f.musicBrainzDiscId)},
        {"Label", one(f.label)},
        {"CatalogNumber", one(f.catalogNumber)},
        {"Barcode", one(f.barcode)},
        {"Comment", one(f.comment)},
        {"REPLAYGAIN_TRACK_GAIN", one(f.replayGainTrackGain)},
        {"REPLAYGAIN_TRACK_PEAK", one(f.replayGainTrackPeak)},
        {"REPLAYGAIN_ALBUM_GAIN", one(f.replayGainAlbumGain)},
        {"REPLAYGAIN_ALBUM_PEAK", one(f.replayGainAlbumPeak)},
    };
    // Several values make one item holding a list.
    for (const auto& [key, values] : items) {
        if (values.empty())
            continue;
        TagLib::StringList list;
        for (const std::string& value : values)
            list.append(Utf8(value));
        tag.setItem(key, TagLib::APE::Item(key, list));
    }
    if (!f.cover.empty())
        tag.setItem(kFrontCoverKey, FrontCoverItem(f));
    RequireSaved(file.save());
}

} // namespace sonfeld::tags
