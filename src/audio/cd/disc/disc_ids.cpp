#include "disc_ids.h"

#include <cstdio>
#include <vector>

#include "sha1.h"

namespace sonfeld::disc {

namespace {

std::string Hex8(std::uint32_t value, bool upper = false)
{
    char text[9];
    std::snprintf(text, sizeof(text), upper ? "%08X" : "%08x", value);
    return text;
}

std::int64_t Absolute(std::int32_t lsn)
{
    return static_cast<std::int64_t>(lsn) + kPregapSectors;
}

// What MusicBrainz reads of the disc: the tracks up to the last audio track of
// session 1, and the absolute address where that audio ends.
struct FirstSession {
    int first = 0;
    int last = 0;
    std::int64_t leadOut = 0;
    std::vector<const Track*> tracks;
};

FirstSession FirstSessionView(const DiscModel& model)
{
    FirstSession view;
    const Track* lastAudio = nullptr;
    for (const Track& track : model.tracks) {
        if (track.session == 1 && !track.data)
            lastAudio = &track;
    }
    if (lastAudio == nullptr || model.tracks.empty())
        return view;
    view.first = model.tracks.front().number;
    view.last = lastAudio->number;
    for (const Track& track : model.tracks) {
        if (track.number <= view.last)
            view.tracks.push_back(&track);
    }
    // A data track after the audio in the same session stands for a second
    // session the disc did not report: its audio ends a session gap earlier.
    if (lastAudio != &model.tracks.back() && model.tracks.back().session == 1) {
        const Track& next = *(lastAudio + 1);
        view.leadOut = Absolute(next.startLsn - kSessionGapSectors);
    } else {
        view.leadOut = Absolute(lastAudio->endLsn);
    }
    return view;
}

} // namespace

std::string AccurateRipId::Text() const
{
    char count[8];
    std::snprintf(count, sizeof(count), "%03d", audioTracks);
    return std::string(count) + "-" + Hex8(id1) + "-" + Hex8(id2) + "-" + Hex8(freedb);
}

std::string AccurateRipId::FileName() const
{
    return "dBAR-" + Text() + ".bin";
}

std::string AccurateRipId::DatabasePath() const
{
    const std::string hex = Hex8(id1);
    return std::string{hex[7], '/', hex[6], '/', hex[5], '/'} + FileName();
}

AccurateRipId ComputeAccurateRipId(const DiscModel& model)
{
    AccurateRipId id;
    std::uint32_t sum = 0;
    std::uint32_t weighted = 0;
    std::uint32_t k = 0;
    for (const Track* track : model.AudioTracks()) {
        ++k;
        const auto lsn = static_cast<std::uint32_t>(track->startLsn);
        sum += lsn;
        weighted += (lsn > 0 ? lsn : 1) * k;
    }
    const auto leadOut = static_cast<std::uint32_t>(model.leadOutLsn);
    id.audioTracks = static_cast<int>(k);
    id.id1 = sum + leadOut;
    id.id2 = weighted + leadOut * (k + 1);
    id.freedb = ComputeFreedbId(model);
    return id;
}

std::uint32_t ComputeFreedbId(const DiscModel& model)
{
    if (model.tracks.empty())
        return 0;
    std::uint32_t digits = 0;
    for (const Track& track : model.tracks) {
        for (std::int64_t seconds = Absolute(track.startLsn) / kSectorsPerSecond; seconds > 0;
             seconds /= 10)
            digits += static_cast<std::uint32_t>(seconds % 10);
    }
    const std::int64_t total = Absolute(model.leadOutLsn) / kSectorsPerSecond -
                               Absolute(model.tracks.front().startLsn) / kSectorsPerSecond;
    return (digits % 255) << 24 | static_cast<std::uint32_t>(total) << 8 |
           static_cast<std::uint32_t>(model.tracks.size());
}

std::string FreedbIdText(std::uint32_t id)
{
    return Hex8(id);
}

std::string MusicBrainzId(const DiscModel& model)
{
    const FirstSession view = FirstSessionView(model);
    if (view.tracks.empty())
        return {};
    char head[32];
    std::snprintf(head, sizeof(head), "%02X%02X%08X", view.first, view.last,
                  static_cast<unsigned>(view.leadOut));
    std::string text = head;
    for (int number = 1; number <= kMaxTracks; ++number) {
        std::uint32_t offset = 0;
        for (const Track* track : view.tracks) {
            if (track->number == number)
                offset = static_cast<std::uint32_t>(Absolute(track->startLsn));
        }
        text += Hex8(offset, true);
    }
    return DiscIdBase64(Sha1(text));
}

std::string MusicBrainzToc(const DiscModel& model)
{
    const FirstSession view = FirstSessionView(model);
    if (view.tracks.empty())
        return {};
    std::string text = std::to_string(view.first) + " " + std::to_string(view.last) + " " +
                       std::to_string(view.leadOut);
    for (const Track* track : view.tracks)
        text += " " + std::to_string(Absolute(track->startLsn));
    return text;
}

std::string CtdbTocId(const DiscModel& model)
{
    const std::vector<const Track*> audio = model.AudioTracks();
    if (audio.empty())
        return {};
    const std::int32_t base = audio.front()->startLsn;
    std::string text;
    for (std::size_t i = 1; i < audio.size(); ++i)
        text += Hex8(static_cast<std::uint32_t>(audio[i]->startLsn - base), true);
    text += Hex8(static_cast<std::uint32_t>(audio.back()->endLsn - base), true);
    for (std::size_t i = audio.size(); i < 100; ++i)
        text += "00000000";
    return DiscIdBase64(Sha1(text));
}

} // namespace sonfeld::disc
