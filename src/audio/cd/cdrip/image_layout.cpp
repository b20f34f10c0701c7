#include "image_layout.h"

namespace sonfeld::cdrip {

std::string CompareLayout(const ImageLayout& layout, int firstTrack,
                          const std::vector<std::int32_t>& starts, std::int32_t leadOut)
{
    if (!layout.known)
        return {};
    const std::string differs = "libcdio reads the image's table of contents differently from "
                                "the image itself (";
    if (firstTrack != layout.firstTrack || starts.size() != layout.trackStarts.size())
        return differs + std::to_string(starts.size()) + " tracks from track " +
               std::to_string(firstTrack) + " instead of " +
               std::to_string(layout.trackStarts.size()) + " from track " +
               std::to_string(layout.firstTrack) + ").";
    for (std::size_t i = 0; i < starts.size(); ++i) {
        if (starts[i] != layout.trackStarts[i])
            return differs + "track " + std::to_string(firstTrack + static_cast<int>(i)) +
                   " at sector " + std::to_string(starts[i]) + " instead of " +
                   std::to_string(layout.trackStarts[i]) + ").";
    }
    if (leadOut != layout.leadOut)
        return differs + "the disc ends at sector " + std::to_string(leadOut) + " instead of " +
               std::to_string(layout.leadOut) +
               "); its files do not hold the sectors it would read.";
    return {};
}

} // namespace sonfeld::cdrip
