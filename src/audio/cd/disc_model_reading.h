#pragma once

#include <optional>

#include "audio/cd/disc/disc_model.h"

namespace sonfeld {

// The disc in drive driveIndex as the CD library models it (tracks, sessions,
// pregaps, ISRCs, MCN, CD-TEXT), loading the library when needed. Makes that
// drive the library's active one. nullopt when there is no readable disc or
// the library gives no model; cdrip::LastError() then tells why. UI thread.
std::optional<disc::DiscModel> ReadDiscModel(int driveIndex);

// The same for the drive the library has active.
std::optional<disc::DiscModel> ReadActiveDiscModel();

} // namespace sonfeld
