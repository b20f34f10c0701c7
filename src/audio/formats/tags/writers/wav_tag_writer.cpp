#include <utility>

#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/wavfile.h>

#include "format_writers.h"
#include "id3v2_writer.h"
#include "save_file.h"
#include "taglib_file_name.h"
#include "taglib_text.h"

namespace sonfeld::tags {

void WriteWavTags(const std::string& path, const TrackFields& fields)
{
    TagLib::RIFF::WAV::File file(TagLibFileName(path), true, TagLib::AudioProperties::Fast);
    RequireValid(file, "WAV");
    // The INFO subset common players understand; the ID3 chunk carries the rest.
    // ITRK is set by name: TagLib's own track setter writes IPRT.
    const std::pair<const char*, std::string> info[] = {
        {"INAM", fields.title},   {"IART", fields.artist},
        {"IPRD", fields.album},   {"ICRD", fields.date},
        {"IGNR", fields.genre},   {"ITRK", NumberOnly(fields.trackNumber)},
        {"ICMT", fields.comment}, {"IMUS", fields.composer},
    };
    TagLib::RIFF::Info::Tag& infoTag = *file.InfoTag();
    for (const auto& [id, value] : info)
        if (!value.empty())
            infoTag.setFieldText(id, Utf8(value));
    FillId3v2Tag(*file.ID3v2Tag(), fields);
    RequireSaved(file.save(TagLib::RIFF::WAV::File::AllTags, TagLib::File::StripNone,
                           fields.id3Version == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4));
}

} // namespace sonfeld::tags
