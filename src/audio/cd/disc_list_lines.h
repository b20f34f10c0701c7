#pragma once

#include <string>
#include <vector>

#include "audio/cd/disc/disc_model.h"

namespace sonfeld {

// The lines `sonfeld --list` prints for a disc after the drives:
//   AccurateRip: nnn-id1-id2-cddb
//   MusicBrainz: <disc id>
//   freedb: <id>
// then one line per track: its time text, "pregap mm:ss:ff" when it has one,
// "ISRC <code>" when known, "pre-emphasis" when the track has the flag, "data" for a data track,
// and its CD-TEXT title in double quotes when there is one, separated by two spaces.
std::vector<std::string> DiscListLines(const disc::DiscModel& model);

// The track's length as the track list shows it ("[3] - 4:05"), from the model.
std::string ModelTrackTimeText(const disc::Track& track);

} // namespace sonfeld
