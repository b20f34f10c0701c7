#include "tag_writer.h"

#include <array>
#include <filesystem>

#include "audio/core/library_binding.h"
#include "writers/tags_library_api.h"

namespace sonfeld {

const char* const kTagsLibraryFileName =
    SONFELD_LIBRARY_FILE("sonfeld_tags.dll", "libsonfeld_tags.so");

bool TrackTags::Empty() const
{
    return title.empty() && artist.empty() && album.empty() && albumArtist.empty() &&
           date.empty() && genre.empty() && isrc.empty() && trackNumber == 0 && discNumber == 0 &&
           musicBrainzAlbumId.empty() && musicBrainzReleaseTrackId.empty() &&
           musicBrainzRecordingId.empty() && musicBrainzArtistId.empty() &&
           musicBrainzAlbumArtistId.empty() && musicBrainzDiscId.empty() && label.empty() &&
           catalogNumber.empty() && barcode.empty() && comment.empty() && cover.empty() &&
           artists.empty() && artistSort.empty() && albumArtistSort.empty() && composer.empty() &&
           musicBrainzReleaseGroupId.empty() && releaseCountry.empty() && releaseStatus.empty() &&
           releaseType.empty() && media.empty() && discSubtitle.empty() && originalDate.empty() &&
           script.empty() && !compilation && !preEmphasis && replayGainTrackGain.empty() &&
           replayGainTrackPeak.empty() && replayGainAlbumGain.empty() &&
           replayGainAlbumPeak.empty();
}

namespace {

SonfeldTrackTags ToC(const TrackTags& t)
{
    SonfeldTrackTags c{};
    c.structSize = sizeof(SonfeldTrackTags);
    c.title = t.title.c_str();
    c.artist = t.artist.c_str();
    c.album = t.album.c_str();
    c.albumArtist = t.albumArtist.c_str();
    c.date = t.date.c_str();
    c.genre = t.genre.c_str();
    c.isrc = t.isrc.c_str();
    c.trackNumber = t.trackNumber;
    c.trackTotal = t.trackTotal;
    c.discNumber = t.discNumber;
    c.discTotal = t.discTotal;
    c.musicBrainzAlbumId = t.musicBrainzAlbumId.c_str();
    c.musicBrainzReleaseTrackId = t.musicBrainzReleaseTrackId.c_str();
    c.musicBrainzRecordingId = t.musicBrainzRecordingId.c_str();
    c.musicBrainzArtistId = t.musicBrainzArtistId.c_str();
    c.musicBrainzAlbumArtistId = t.musicBrainzAlbumArtistId.c_str();
    c.musicBrainzDiscId = t.musicBrainzDiscId.c_str();
    c.cover = t.cover.data();
    c.coverSize = t.cover.size();
    c.coverMimeType = t.coverMimeType.c_str();
    c.label = t.label.c_str();
    c.catalogNumber = t.catalogNumber.c_str();
    c.barcode = t.barcode.c_str();
    c.comment = t.comment.c_str();
    c.artists = t.artists.c_str();
    c.artistSort = t.artistSort.c_str();
    c.albumArtistSort = t.albumArtistSort.c_str();
    c.composer = t.composer.c_str();
    c.musicBrainzReleaseGroupId = t.musicBrainzReleaseGroupId.c_str();
    c.releaseCountry = t.releaseCountry.c_str();
    c.releaseStatus = t.releaseStatus.c_str();
    c.releaseType = t.releaseType.c_str();
    c.media = t.media.c_str();
    c.discSubtitle = t.discSubtitle.c_str();
    c.originalDate = t.originalDate.c_str();
    c.script = t.script.c_str();
    c.compilation = t.compilation ? 1 : 0;
    c.preEmphasis = t.preEmphasis ? 1 : 0;
    c.id3Version = t.id3Version;
    c.replayGainTrackGain = t.replayGainTrackGain.c_str();
    c.replayGainTrackPeak = t.replayGainTrackPeak.c_str();
    c.replayGainAlbumGain = t.replayGainAlbumGain.c_str();
    c.replayGainAlbumPeak = t.replayGainAlbumPeak.c_str();
    return c;
}

} // namespace

namespace {

// Our tag library's one entry point. Named in messages by its file name
// alone, as it is looked for by full path.
struct TagsEntryPoints {
    proc_sonfeld_tags_write write = nullptr;

    static constexpr LibraryNaming kNaming = LibraryNaming::FileNameOnly;
    void Resolve(EntryPointResolver& resolver) { resolver.Required(write, "sonfeld_tags_write"); }
};

} // namespace

struct TagWriter::Library : BoundLibrary<TagsEntryPoints> {
    explicit Library(const std::string& path) : BoundLibrary(path, TagsEntryPoints::kNaming) {}
};

TagWriter::TagWriter(const std::string& libraryPath)
    : library_(std::make_unique<const Library>(libraryPath))
{
}

TagWriter::~TagWriter() = default;

bool TagWriter::Loaded() const
{
    return library_->Loaded();
}

std::string TagWriter::LibraryFileName() const
{
    return library_->ShownName();
}

TagWriteResult TagWriter::Write(const std::string& path, const TrackTags& tags) const
{
    // Nothing to write needs no library.
    if (tags.Empty())
        return {true, {}};
    if (!Loaded())
        return {false, library_->NotLoadedMessage()};
    const SonfeldTrackTags cTags = ToC(tags);
    std::array<char, 1024> message{};
    const int code = library_->write(path.c_str(), &cTags, message.data(), message.size());
    if (code == SONFELD_TAGS_OK)
        return {true, {}};
    return {false, message[0] != '\0'
                       ? std::string(message.data())
                       : "Tags could not be written (error " + std::to_string(code) + ")."};
}

namespace {

const TagWriter& ProgramTagWriter()
{
    // Loaded once, on first use, and kept until the process ends.
    static const TagWriter writer(InProgramFolder(kTagsLibraryFileName));
    return writer;
}

} // namespace

TagWriteResult WriteTags(const std::string& path, const TrackTags& tags)
{
    return ProgramTagWriter().Write(path, tags);
}

bool TagsLibraryAvailable()
{
    return ProgramTagWriter().Loaded();
}

std::string TagsLibraryMissingText()
{
    return LibraryNotLoadedMessage(ProgramTagWriter().LibraryFileName());
}

} // namespace sonfeld
