#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include "format_writers.h"
#include "id3v2_writer.h"
#include "save_file.h"
#include "taglib_file_name.h"

namespace sonfeld::tags {

void WriteMp3Tags(const std::string& path, const TrackFields& fields)
{
    TagLib::MPEG::File file(TagLibFileName(path), true, TagLib::AudioProperties::Fast);
    RequireValid(file, "MP3");
    // TagLib finds frame-like bytes inside other formats too; in a real MP3
    // the audio starts right after the ID3v2 tag, or at the start.
    // TagLib gives an empty tag object even to a file without an ID3v2 tag,
    // as the encoder leaves it when no ID3 box is ticked.
    const TagLib::ID3v2::Tag* existing = file.hasID3v2Tag() ? file.ID3v2Tag(false) : nullptr;
    const long audioStart =
        existing != nullptr ? static_cast<long>(existing->header()->completeTagSize()) : 0;
    if (file.firstFrameOffset() != audioStart)
        throw TagError(SONFELD_TAGS_UNREADABLE_FILE, "The file is not a valid MP3 file.");
    // The tag the encoder wrote is read first, so its frames stay.
    FillId3v2Tag(*file.ID3v2Tag(true), fields);
    // ID3v1 is left as the encoder wrote it: it holds Latin-1 only, and
    // copying these texts into it would mangle every other script.
    RequireSaved(file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone,
                           fields.id3Version == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4,
                           TagLib::File::DoNotDuplicate));
}

} // namespace sonfeld::tags
