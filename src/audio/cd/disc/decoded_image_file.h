#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "image_file.h"

namespace sonfeld::disc {

// What the first bytes of an audio file named by a sheet say it is, among the
// formats FFmpeg decodes for us.
enum class DecodedKind {
    None,    // not one of them (WAV, FLAC, or unknown)
    Ape,     // "MAC "
    WavPack, // "wvpk"
    Tta,     // "TTA1"
    Mp4,     // an ISO media file: ALAC, or a lossy codec
    Other,   // MP3, Ogg, AAC: FFmpeg tells the codec
};

DecodedKind SniffDecodedKind(const std::filesystem::path& path);

// Opens an APE, WavPack, TTA or ALAC (MP4/M4A) file through FFmpeg's libraries
// for sample-exact reading anywhere in it. Raises DiscError for a lossy codec
// ("有损格式不能作为光盘镜像"), hybrid or lossy WavPack, audio that is not
// 44100 Hz 16-bit stereo, or a FFmpeg library that cannot be loaded (named).
std::unique_ptr<ImageFile> OpenDecodedImageFile(const std::filesystem::path& path, DecodedKind kind,
                                                const std::string& nameInSheet);

// Samples the file has decoded since it was opened (to check that reading it
// in order decodes each frame once); -1 for a file not opened by
// OpenDecodedImageFile.
std::int64_t DecodedSamples(const ImageFile& file);

// "有损格式不能作为光盘镜像"
extern const char* const kLossyImageMessage;

// The flags of the first WavPack block in bytes (the file's start): whether it
// is hybrid (lossy, or lossless only with a correction file). False when the
// bytes hold no block header.
bool WavPackIsHybrid(const std::uint8_t* bytes, std::size_t size);

} // namespace sonfeld::disc
