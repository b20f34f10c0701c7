#pragma once

#include <filesystem>
#include <memory>

#include "image_reader.h"

namespace sonfeld::disc {

// Whether the file ends in a Nero footer ("NER5" or "NERO" and the offset of
// its chunks).
bool HasNeroFooter(const std::filesystem::path& path);

// An NRG image of either format: one session written at once (CUEX/DAOX, or
// CUES/DAOI in the old format) or track by track (ETN2/ETNF), with CD-TEXT
// (CDTX) and SINF; other chunks are passed over. Every field is checked
// against the file before it is used. Raises DiscError with the reason for
// an image that cannot be read.
std::unique_ptr<ImageReader> OpenNrgImage(const std::filesystem::path& path);

} // namespace sonfeld::disc
