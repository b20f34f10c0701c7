#include <utility>

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
    const std::pair<const char*, std::string> items[] = {
        {"Title", f.title},
        {"Artist", f.artist},
        {"Album Artist", f.albumArtist},
        {"Album", f.album},
        {"Track", NumberText(f.trackNumber, f.trackTotal)},
        {"Disc", NumberText(f.discNumber, f.discTotal)},
        {"Year", f.date},
        {"Genre", f.genre},
        {"ISRC", f.isrc},
        {"MUSICBRAINZ_ALBUMID", f.musicBrainzAlbumId},
        {"MUSICBRAINZ_RELEASETRACKID", f.musicBrainzReleaseTrackId},
        {"MUSICBRAINZ_TRACKID", f.musicBrainzRecordingId},
        {"MUSICBRAINZ_ARTISTID", f.musicBrainzArtistId},
        {"MUSICBRAINZ_ALBUMARTISTID", f.musicBrainzAlbumArtistId},
        {"MUSICBRAINZ_DISCID", f.musicBrainzDiscId},
        {"Label", f.label},
        {"CatalogNumber", f.catalogNumber},
        {"Barcode", f.barcode},
        {"Comment", f.comment},
    };
    for (const auto& [key, value] : items)
        if (!value.empty())
            tag.addValue(key, Utf8(value), true);
    if (!f.cover.empty())
        tag.setItem(kFrontCoverKey, FrontCoverItem(f));
    RequireSaved(file.save());
}

} // namespace sonfeld::tags
