#pragma once

#include "track_fields.h"

namespace TagLib::ID3v2 {
class Tag;
}

namespace sonfeld::tags {

// Puts the tags into an ID3v2 tag (MP3 files and the ID3 chunk of WAV files).
// Frames these tags name are replaced; every other frame stays.
void FillId3v2Tag(TagLib::ID3v2::Tag& tag, const TrackFields& fields);

} // namespace sonfeld::tags
