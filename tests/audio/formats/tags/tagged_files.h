#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "audio/formats/tags/track_tags.h"

// Files for the tag tests, made by each format's real encoder, and the small
// helpers around the independent readers that check them.
namespace sonfeld::test::tags {

enum class Format { Flac, OggVorbis, Opus, Mp3, Ape, Wav };

// Encodes a second of music into folder/stem.<extension> with the format's
// own encoder (flac, oggenc, opusenc, lame, our APE library, sox). The MP3 gets the
// encoder's own ID3v2 tag with the title "Old", the comment "old" and the
// composer "kept".
// Empty on failure.
std::filesystem::path EncodeTestFile(Format format, const std::filesystem::path& folder,
                                     const std::string& stem);

// A small JPEG or PNG made by ffmpeg; extension "jpg" or "png".
std::vector<std::uint8_t> MakeCoverImage(const std::filesystem::path& folder,
                                         const std::string& extension);

// Every field filled: a Chinese title and comment, a Japanese artist,
// accented album texts.
TrackTags FullTags(const std::vector<std::uint8_t>& cover);

// The front cover as ffmpeg extracts it (the attached picture stream, copied).
std::vector<std::uint8_t> FfmpegCover(const std::filesystem::path& file,
                                      const std::filesystem::path& folder);

// NAME=value lines (metaflac, vorbiscomment) into a map of the names
// upper-cased to every value given for them.
std::map<std::string, std::vector<std::string>> ParseCommentLines(const std::string& text);

// The payload of the first RIFF chunk with this id, empty when there is none.
std::vector<std::uint8_t> RiffChunk(const std::vector<std::uint8_t>& wav, const std::string& id);

} // namespace sonfeld::test::tags
