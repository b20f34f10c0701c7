#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sonfeld::cdrip {

// The table of contents an image file's own description gives, worked out
// before libcdio reads the image; libcdio's reading must agree with it.
struct ImageLayout {
    int firstTrack = 1;
    std::vector<std::int32_t> trackStarts; // LSN of each track's INDEX 01
    std::int32_t leadOut = 0;              // LSN
    bool known = false;                    // false: nothing to compare with
};

// Why libcdio's table of contents (first track, starts, lead-out) differs
// from layout, or an empty text when it agrees or layout is not known.
std::string CompareLayout(const ImageLayout& layout, int firstTrack,
                          const std::vector<std::int32_t>& starts, std::int32_t leadOut);

} // namespace sonfeld::cdrip
