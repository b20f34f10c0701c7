#pragma once

#include <filesystem>
#include <memory>

#include "image_file.h"

namespace sonfeld::disc {

// A FLAC file (44100 Hz, 16-bit, stereo) decoded through libFLAC, which is
// loaded when the first FLAC file is opened: a system without libFLAC only
// fails sheets that name FLAC files.
std::unique_ptr<ImageFile> OpenFlacFile(const std::filesystem::path& path,
                                        const std::string& nameInSheet);

} // namespace sonfeld::disc
