#include "format_writers.h"

#include <memory>
#include <utility>

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

void FillComment(TagLib::Ogg::XiphComment& comment, const TrackFields& f)
{
    const std::pair<const char*, std::string> fields[] = {
        {"TITLE", f.title},
        {"ARTIST", f.artist},
        {"ALBUMARTIST", f.albumArtist},
        {"ALBUM", f.album},
        {"TRACKNUMBER", NumberOnly(f.trackNumber)},
        {"TRACKTOTAL", f.trackNumber > 0 ? NumberOnly(f.trackTotal) : std::string()},
        {"DISCNUMBER", NumberOnly(f.discNumber)},
        {"DISCTOTAL", f.discNumber > 0 ? NumberOnly(f.discTotal) : std::string()},
        {"DATE", f.date},
        {"GENRE", f.genre},
        {"ISRC", f.isrc},
        {"MUSICBRAINZ_ALBUMID", f.musicBrainzAlbumId},
        {"MUSICBRAINZ_RELEASETRACKID", f.musicBrainzReleaseTrackId},
        {"MUSICBRAINZ_TRACKID", f.musicBrainzRecordingId},
        {"MUSICBRAINZ_ARTISTID", f.musicBrainzArtistId},
        {"MUSICBRAINZ_ALBUMARTISTID", f.musicBrainzAlbumArtistId},
        {"MUSICBRAINZ_DISCID", f.musicBrainzDiscId},
        {"LABEL", f.label},
        {"CATALOGNUMBER", f.catalogNumber},
        {"BARCODE", f.barcode},
        {"COMMENT", f.comment},
    };
    for (const auto& [key, value] : fields)
        if (!value.empty())
            comment.addField(key, Utf8(value), true);
}

std::unique_ptr<TagLib::FLAC::Picture> FrontCover(const TrackFields& f)
{
    auto picture = std::make_unique<TagLib::FLAC::Picture>();
    picture->setType(TagLib::FLAC::Picture::FrontCover);
    picture->setMimeType(f.coverMimeType);
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
