#pragma once

#include <set>

#include "audio/core/stream.h"
#include "ogg_library.h"

namespace sonfeld {

// The serial numbers of all Ogg pages in stream, read from its start to its
// end with libogg's page sync (bytes that are not Ogg pages are skipped).
// Leaves the stream's position at its end. A failed read raises.
std::set<int> OggSerialNumbers(TStream& stream, const OggEntryPoints& ogg);

// serial, or the next number after it (wrapping around) that is not in used.
int UnusedSerial(int serial, const std::set<int>& used);

} // namespace sonfeld
