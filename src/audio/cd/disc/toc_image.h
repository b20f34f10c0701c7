#pragma once

#include <filesystem>
#include <memory>

#include "image_reader.h"

namespace sonfeld::disc {

// A cdrdao TOC file: CD_DA and the other disc types, CATALOG, CD-TEXT of
// language 0, and tracks of AUDIOFILE/FILE, DATAFILE, SILENCE, ZERO, PREGAP,
// START and INDEX statements with their flags and ISRC. File names are taken
// from the TOC file's own folder. Raw audio files hold big-endian samples, as
// cdrdao writes and reads them; files named *.wav are WAV files. Raises
// DiscError with the reason for a file that cannot be such a disc.
std::unique_ptr<ImageReader> OpenTocImage(const std::filesystem::path& path);

} // namespace sonfeld::disc
