#pragma once

#include "disc_key.h"
#include "metadata_lookup.h"

namespace sonfeld::disc {
struct DiscModel;
}

// What the disc model tells the lookups: the disc's IDs and its own CD-TEXT.
namespace sonfeld::app::metadata {

TDiscKey DiscKeyOf(const disc::DiscModel& model);
// Track entries in disc order, track 1 first; the MCN stands for the barcode.
TCdText CdTextOf(const disc::DiscModel& model);

} // namespace sonfeld::app::metadata
