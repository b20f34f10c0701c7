#pragma once

#include <cstdint>

namespace sonfeld {
class TCDIn;
}

namespace sonfeld::disc {
struct DiscModel;
}

namespace sonfeld::app {

// Audio hidden before track 1's INDEX 01 ("隐藏音轨", ripped as track 0): the
// sectors from the disc's first one (an image's first) up to track 1's start,
// when any sample there is not zero. Only a disc whose track 1 starts after
// sector 0 is read: once, through input's current drive, reading mode and
// offset, when its rows are built (at most the few seconds of that region).
// Returns the region's length in sectors; 0 for digital silence, no such
// region, a data track 1, an input busy with a run, or a region that cannot be
// read (it cannot be ripped either).
std::int32_t HiddenTrackSectors(TCDIn& input, const disc::DiscModel& disc);

} // namespace sonfeld::app
