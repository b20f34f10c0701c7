#include <cstdio>

#include "cd_types.h"

namespace sonfeld {

std::string TrackTimeText(int track, const TCDTrackInfo& info)
{
    char text[64];
    std::snprintf(text, sizeof(text), info.Seconds >= 10 ? "[%d] - %d:%d" : "[%d] - %d:0%d", track,
                  static_cast<int>(info.Minutes), static_cast<int>(info.Seconds));
    return text;
}

} // namespace sonfeld
