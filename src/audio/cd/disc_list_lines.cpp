#include "disc_list_lines.h"

#include <algorithm>
#include <cstdio>

#include "audio/cd/disc/disc_ids.h"
#include "cd_types.h"

namespace sonfeld {

namespace {

std::string CueTime(std::int64_t sectors)
{
    const TMSF msf = FramesToMSF(sectors);
    char text[16];
    std::snprintf(text, sizeof(text), "%02d:%02d:%02d", static_cast<int>(msf.Minute),
                  static_cast<int>(msf.Second), static_cast<int>(msf.Frame));
    return text;
}

} // namespace

std::string ModelTrackTimeText(const disc::Track& track)
{
    const TMSF length = FramesToMSF(std::max<std::int64_t>(track.Sectors(), 0));
    return TrackTimeText(track.number, {length.Minute, length.Second, length.Frame,
                                        static_cast<std::uint8_t>(track.data ? 1 : 0)});
}

std::vector<std::string> DiscListLines(const disc::DiscModel& model)
{
    std::vector<std::string> lines;
    lines.push_back("AccurateRip: " + disc::ComputeAccurateRipId(model).Text());
    lines.push_back("MusicBrainz: " + disc::MusicBrainzId(model));
    lines.push_back("freedb: " + disc::FreedbIdText(disc::ComputeFreedbId(model)));
    for (const disc::Track& track : model.tracks) {
        std::string line = ModelTrackTimeText(track);
        if (track.PregapSectors() > 0)
            line += "  pregap " + CueTime(track.PregapSectors());
        if (!track.isrc.empty())
            line += "  ISRC " + track.isrc;
        if (track.preEmphasis)
            line += "  pre-emphasis";
        if (track.data)
            line += "  data";
        if (!track.text.title.empty())
            line += "  \"" + track.text.title + "\"";
        lines.push_back(line);
    }
    return lines;
}

} // namespace sonfeld
