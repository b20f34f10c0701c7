#include "disc_model.h"

#include <algorithm>
#include <cctype>

namespace sonfeld::disc {

const Track* DiscModel::FindTrack(int number) const
{
    for (const Track& track : tracks) {
        if (track.number == number)
            return &track;
    }
    return nullptr;
}

std::vector<const Track*> DiscModel::AudioTracks() const
{
    std::vector<const Track*> audio;
    for (const Track& track : tracks) {
        if (!track.data)
            audio.push_back(&track);
    }
    return audio;
}

void CompleteLayout(DiscModel& model, std::optional<std::int32_t> lastSessionStartLsn)
{
    auto& tracks = model.tracks;
    if (tracks.empty())
        throw DiscError("The disc holds no tracks.");
    if (tracks.size() > static_cast<std::size_t>(kMaxTracks))
        throw DiscError("The disc holds more than 99 tracks.");
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const std::int32_t next = i + 1 < tracks.size() ? tracks[i + 1].startLsn : model.leadOutLsn;
        if (tracks[i].startLsn < 0 || tracks[i].pregapLsn > tracks[i].startLsn ||
            tracks[i].pregapLsn < 0 || next <= tracks[i].startLsn)
            throw DiscError("The table of contents lists track " +
                            std::to_string(tracks[i].number) + " at an impossible position.");
        tracks[i].endLsn = next;
        tracks[i].session = 1;
    }
    model.firstSessionEndLsn = model.leadOutLsn;
    // Only a later session that starts after the first track makes a second session.
    if (!lastSessionStartLsn || *lastSessionStartLsn <= tracks.front().startLsn)
        return;
    const std::int32_t sessionStart = *lastSessionStartLsn;
    const std::int32_t audioEnd = sessionStart - kSessionGapSectors;
    Track* lastOfFirst = nullptr;
    for (Track& track : tracks) {
        if (track.startLsn >= sessionStart)
            track.session = 2;
        else
            lastOfFirst = &track;
    }
    if (lastOfFirst == nullptr)
        return;
    // A gap that would leave the last track of session 1 empty is not a
    // session gap the drive reported truly; keep the table's end then.
    const std::int32_t end = audioEnd > lastOfFirst->startLsn ? audioEnd : sessionStart;
    lastOfFirst->endLsn = end;
    model.firstSessionEndLsn = end;
}

namespace {

std::string Stripped(const std::string& code)
{
    std::string result;
    for (char c : code) {
        if (c != '-' && c != ' ')
            result += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return result;
}

} // namespace

std::string CleanIsrc(const std::string& code)
{
    std::string text = Stripped(code);
    if (text.size() != 12 ||
        !std::all_of(text.begin(), text.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }) ||
        std::all_of(text.begin(), text.end(), [](char c) { return c == '0'; }))
        return {};
    return text;
}

std::string CleanMcn(const std::string& code)
{
    std::string text = Stripped(code);
    if (text.size() != 13 ||
        !std::all_of(text.begin(), text.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }) ||
        std::all_of(text.begin(), text.end(), [](char c) { return c == '0'; }))
        return {};
    return text;
}

bool AudioSectorsReadable(const DiscModel& model, std::int32_t lsn, int count, std::string& error)
{
    if (lsn < 0 || count < 0 || static_cast<std::int64_t>(lsn) + count > model.leadOutLsn) {
        error = "Sectors " + std::to_string(lsn) + " to " + std::to_string(lsn + count - 1) +
                " are outside the disc.";
        return false;
    }
    for (const Track& track : model.tracks) {
        if (track.data && lsn < track.endLsn && lsn + count > track.pregapLsn) {
            error = "Track " + std::to_string(track.number) + " is a data track, not audio.";
            return false;
        }
    }
    return true;
}

} // namespace sonfeld::disc
