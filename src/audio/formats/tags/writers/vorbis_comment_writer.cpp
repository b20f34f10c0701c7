#include "format_writers.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/opusfile.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include "save_file.h"
#include "taglib_file_name.h"
#include "taglib_text.h"

namespace sonfeld::tags {

namespace {

std::vector<std::string> One(const std::string& value)
{
    return value.empty() ? std::vector<std::string>() : std::vector<std::string>{value};
}

void FillComment(TagLib::Ogg::XiphComment& comment, const TrackFields& f)
{
    const std::pair<const char*, std::vector<std::string>> fields[] = {
        {"TITLE", One(f.title)},
        {"ARTIST", One(f.artist)},
        {"ARTISTS", f.artists},
        {"ARTISTSORT", One(f.artistSort)},
        {"ALBUMARTIST", One(f.albumArtist)},
        {"ALBUMARTISTSORT", One(f.albumArtistSort)},
        {"ALBUM", One(f.album)},
        {"COMPOSER", One(f.composer)},
        {"TRACKNUMBER", One(NumberOnly(f.trackNumber))},
        {"TRACKTOTAL", One(f.trackNumber > 0 ? NumberOnly(f.trackTotal) : std::string())},
        {"DISCNUMBER", One(NumberOnly(f.discNumber))},
        {"DISCTOTAL", One(f.discNumber > 0 ? NumberOnly(f.discTotal) : std::string())},
        {"DISCSUBTITLE", One(f.discSubtitle)},
        {"MEDIA", One(f.media)},
        {"DATE", One(f.date)},
        {"ORIGINALDATE", One(f.originalDate)},
        {"GENRE", One(f.genre)},
        {"ISRC", f.isrcs},
        {"COMPILATION", One(f.compilation ? "1" : "")},
        {"PRE_EMPHASIS", One(f.preEmphasis ? "1" : "")},
        {"RELEASECOUNTRY", One(f.releaseCountry)},
        {"RELEASESTATUS", One(f.releaseStatus)},
        {"RELEASETYPE", f.releaseType},
        {"SCRIPT", One(f.script)},
        {"MUSICBRAINZ_ALBUMID", One(f.musicBrainzAlbumId)},
        {"MUSICBRAINZ_RELEASEGROUPID", One(f.musicBrainzReleaseGroupId)},
        {"MUSICBRAINZ_RELEASETRACKID", One(f.musicBrainzReleaseTrackId)},
        {"MUSICBRAINZ_TRACKID", One(f.musicBrainzRecordingId)},
        {"MUSICBRAINZ_ARTISTID", f.artistIds},
        {"MUSICBRAINZ_ALBUMARTISTID", f.albumArtistIds},
        {"MUSICBRAINZ_DISCID", One(f.musicBrainzDiscId)},
        {"LABEL", One(f.label)},
        {"CATALOGNUMBER", One(f.catalogNumber)},
        {"BARCODE", One(f.barcode)},
        {"COMMENT", One(f.comment)},
        {"REPLAYGAIN_TRACK_GAIN", One(f.replayGainTrackGain)},
        {"REPLAYGAIN_TRACK_PEAK", One(f.replayGainTrackPeak)},
        {"REPLAYGAIN_ALBUM_GAIN", One(f.replayGainAlbumGain)},
        {"REPLAYGAIN_ALBUM_PEAK", One(f.replayGainAlbumPeak)},
    };
    for (const auto& [key, values] : fields) {
        if (values.empty())
            continue;
        comment.removeFields(key);
        for (const std::string& value : values)
            comment.addField(key, Utf8(value), false);
    }
}

std::unique_ptr<TagLib::FLAC::Picture> FrontCover(const TrackFields& f)
{
    auto picture = std::make_unique<TagLib::FLAC::Picture>();
    picture->setType(TagLib::FLAC::Picture::FrontCover);
    picture->setMimeType(f.coverMimeType);
    picture->setWidth(f.coverWidth);
    picture->setHeight(f.coverHeight);
    picture->setColorDepth(f.coverDepth);
    picture->setData(TagLib::ByteVector(reinterpret_cast<const char*>(f.cover.data()),
                                        static_cast<unsigned int>(f.cover.size())));
    return picture;
}

bool IsFrontCover(const TagLib::FLAC::Picture* picture)
{
    return picture->type() == TagLib::FLAC::Picture::FrontCover;
}

// Type, MIME length, description length, width, height, depth, colours and
// data length: the picture block's fields besides the MIME type and the data.
constexpr std::size_t kPictureFieldBytes = 32;
// A metadata block's length has 24 bits: a larger picture would be cut off.
constexpr std::size_t kMaxFlacBlockBytes = (std::size_t{1} << 24) - 1;

} // namespace

void WriteFlacTags(const std::string& path, const TrackFields& fields)
{
    if (!fields.cover.empty() &&
        fields.cover.size() > kMaxFlacBlockBytes - kPictureFieldBytes - fields.coverMimeType.size())
        throw TagError(SONFELD_TAGS_INVALID_ARGUMENT,
                       "The cover image is too large for a FLAC picture block.");
    TagLib::FLAC::File file(TagLibFileName(path), true, TagLib::AudioProperties::Fast);
    RequireValid(file, "FLAC");
    FillComment(*file.xiphComment(true), fields);
    if (!fields.cover.empty()) {
        // A second front cover would leave readers to guess which one counts.
        for (TagLib::FLAC::Picture* picture : file.pictureList())
            if (IsFrontCover(picture))
                file.removePicture(picture, true);
        file.addPicture(FrontCover(fields).release());
    }
    RequireSaved(file.save());
}

namespace {

// Ogg Vorbis and Ogg Opus carry the same comment header: fields, and the
// picture in METADATA_BLOCK_PICTURE.
template <class OggFile>
void WriteOggComments(const std::string& path, const TrackFields& fields, const char* kind)
{
    OggFile file(TagLibFileName(path), true, TagLib::AudioProperties::Fast);
    RequireValid(file, kind);
    if (file.tag() == nullptr)
        throw TagError(SONFELD_TAGS_UNREADABLE_FILE,
                       std::string("The ") + kind + " file has no comment header.");
    TagLib::Ogg::XiphComment& comment = *file.tag();
    FillComment(comment, fields);
    if (!fields.cover.empty()) {
        for (TagLib::FLAC::Picture* picture : comment.pictureList())
            if (IsFrontCover(picture))
                comment.removePicture(picture, true);
        comment.addPicture(FrontCover(fields).release());
    }
    RequireSaved(file.save());
}

} // namespace

void WriteOggVorbisTags(const std::string& path, const TrackFields& fields)
{
    WriteOggComments<TagLib::Ogg::Vorbis::File>(path, fields, "Ogg Vorbis");
}

void WriteOpusTags(const std::string& path, const TrackFields& fields)
{
    WriteOggComments<TagLib::Ogg::Opus::File>(path, fields, "Ogg Opus");
}

} // namespace sonfeld::tags
