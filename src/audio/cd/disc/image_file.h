#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "cue_sheet.h"

namespace sonfeld::disc {

// One file a CUE sheet names, read as a run of bytes: a BIN as stored, a
// MOTOROLA BIN with each 16-bit sample swapped to little-endian, a WAV file's
// PCM data, or a FLAC file's decoded samples. Used by one thread at a time.
class ImageFile {
public:
    virtual ~ImageFile() = default;
    // Bytes the file holds (audio files: 4 bytes per stereo sample).
    virtual std::int64_t Bytes() const = 0;
    // Reads count bytes at offset (both multiples of 4); false with error set on failure.
    virtual bool Read(std::int64_t offset, std::size_t count, std::uint8_t* out,
                      std::string& error) = 0;
};

// Opens the file; raises DiscError with the reason (missing, not a regular
// file, an audio format other than 44100 Hz 16-bit stereo, a WAV file shorter
// than its header says, libFLAC missing for a FLAC file).
std::unique_ptr<ImageFile> OpenImageFile(const std::filesystem::path& path, CueFileType type,
                                         const std::string& nameInSheet);

// "镜像文件不完整: <name> 缺少 N 个扇区"
std::string IncompleteMessage(const std::string& name, std::int64_t missingSectors);

// A regular file that can be opened for reading, or DiscError naming what it is.
void CheckReadableFile(const std::filesystem::path& path, const std::string& shownName);

} // namespace sonfeld::disc
