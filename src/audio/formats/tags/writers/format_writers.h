#pragma once

#include <string>

#include "track_fields.h"

namespace sonfeld::tags {

// One writer per format, each into the complete file at path. Fields these
// tags name are replaced, everything else in the file stays. They raise
// TagError when the file is not of their format or cannot be saved.

// Vorbis comments and a PICTURE block.
void WriteFlacTags(const std::string& path, const TrackFields& fields);
// Vorbis comments, the picture in METADATA_BLOCK_PICTURE.
void WriteOggVorbisTags(const std::string& path, const TrackFields& fields);
// The same in an Ogg Opus file.
void WriteOpusTags(const std::string& path, const TrackFields& fields);
// ID3v2.4; an ID3v1 tag already at the end stays as it is.
void WriteMp3Tags(const std::string& path, const TrackFields& fields);
// APEv2.
void WriteApeTags(const std::string& path, const TrackFields& fields);
// RIFF INFO plus an ID3 chunk.
void WriteWavTags(const std::string& path, const TrackFields& fields);

} // namespace sonfeld::tags
