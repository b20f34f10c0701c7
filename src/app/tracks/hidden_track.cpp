#include "hidden_track.h"

#include <algorithm>
#include <vector>

#include "audio/cd/cd_in.h"
#include "audio/cd/disc/disc_model.h"
#include "audio/core/acs_exception.h"

namespace sonfeld::app {

std::int32_t HiddenTrackSectors(TCDIn& input, const disc::DiscModel& disc)
{
    if (disc.tracks.empty() || disc.tracks.front().number != 1 || disc.tracks.front().data ||
        disc.tracks.front().startLsn <= 0 || input.Busy())
        return 0;
    const int startTrack = input.StartTrack();
    const int endTrack = input.EndTrack();
    bool sound = false;
    try {
        input.SetStartTrack(0);
        input.SetEndTrack(0);
        input.OpenInput();
        std::vector<std::uint8_t> buffer(TCDIn::kChunkBytes);
        while (!sound) {
            const int n = input.ReadPCM(buffer.data(), static_cast<int>(buffer.size()));
            if (n <= 0)
                break;
            sound = std::any_of(buffer.begin(), buffer.begin() + n,
                                [](std::uint8_t byte) { return byte != 0; });
        }
        input.CloseInput();
    } catch (const EACSException&) {
        // Unreadable: nothing to offer as a track.
        sound = false;
        input.CloseInput();
    }
    input.SetStartTrack(startTrack);
    input.SetEndTrack(endTrack);
    return sound ? disc.tracks.front().startLsn : 0;
}

} // namespace sonfeld::app
