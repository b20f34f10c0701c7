#pragma once

#include "mac_library_api.h"

namespace sonfeld::ape {

// Checks what a caller hands to Start: the wave-format record, the level, the
// announced size and the stored header. Returns 0 or the library error code
// for the first problem found. Reads at most sizeof(TWaveFormatEx) bytes of
// *format; no other memory is read.
int CheckStartParameters(const TWaveFormatEx* format, int level, int maxAudioBytes,
                         const void* headerData, int headerBytes);

} // namespace sonfeld::ape
