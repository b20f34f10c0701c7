#pragma once

#include <optional>
#include <string>

#include "audio/cd/disc/disc_model.h"
#include "drives.h"

namespace sonfeld::cdrip {

// The disc in the drive as one model: a CUE image's own, or for a drive or a
// cdrdao TOC / NRG image, libcdio's table of contents, sessions, pregaps,
// ISRCs, MCN and CD-TEXT. nullopt with error set when there is no readable disc.
std::optional<disc::DiscModel> ReadDiscModel(const Drive& drive, std::string& error);

} // namespace sonfeld::cdrip
