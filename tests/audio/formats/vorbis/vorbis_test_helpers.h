#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/formats/vorbis/vorbis_out.h"
#include "support/memory_input.h"
#include "support/output_runner.h"

namespace sonfeld::test {

// One Ogg page as found in a file, read by our own parser of the page format
// (independent of libogg), so the tests can check the page layout.
struct OggPageInfo {
    std::uint8_t flags = 0; // 1 continued, 2 first page of a stream, 4 last page
    std::int64_t granulePosition = 0;
    std::uint32_t serial = 0;
    std::uint32_t sequence = 0;
    int segments = 0;
    std::size_t bodySize = 0;
    bool Bos() const { return (flags & 2) != 0; }
    bool Eos() const { return (flags & 4) != 0; }
};

// Every page of an Ogg file in order; stops at the first byte that does not
// start a page, and sets *trailing to the bytes left over from there.
std::vector<OggPageInfo> ReadOggPages(const std::filesystem::path& file,
                                      std::size_t* trailing = nullptr);

struct OgginfoResult {
    int exitCode = -1;
    std::string output;
    // Output lines that begin with "WARNING" or "ERROR".
    std::vector<std::string> problems;
};
OgginfoResult RunOgginfo(const std::filesystem::path& file);

// The comments as vorbiscomment lists them, one "NAME=value" per entry.
std::vector<std::string> ListComments(const std::filesystem::path& file);

// Decodes with oggdec (libvorbisfile) into raw 16-bit little-endian PCM.
// ffmpeg cuts the last 128 frames off a stream whose audio fits on one page,
// so very short files are measured with this decoder instead.
std::vector<std::uint8_t> OggdecDecode(const std::filesystem::path& file);

// Interleaves equally long mono signals into one multichannel signal.
std::vector<std::int16_t> Interleave(const std::vector<std::vector<std::int16_t>>& channels);

// Runs the output over an in-memory input into file and waits for the end.
// Returns false when the run did not end in time.
bool EncodeInto(TVorbisOut& output, TMemoryInput& input, const std::filesystem::path& file,
                OutputRunner& runner);

// Frames of 16-bit PCM bytes for the given channel count.
inline std::size_t FramesOf(const std::vector<std::uint8_t>& pcm, int channels)
{
    return pcm.size() / (2 * static_cast<std::size_t>(channels));
}

} // namespace sonfeld::test
