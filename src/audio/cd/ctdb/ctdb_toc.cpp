#include "ctdb_toc.h"

#include <charconv>
#include <cstdio>

#include "audio/cd/disc/sha1.h"

namespace sonfeld::ctdb {

namespace {

constexpr std::size_t kMaxTracks = 99;
constexpr std::size_t kHashedLength = 800;

int FirstAudio(const CtdbToc& toc)
{
    for (std::size_t i = 0; i < toc.starts.size(); ++i)
        if (!toc.data[i])
            return static_cast<int>(i);
    return -1;
}

int LastAudio(const CtdbToc& toc)
{
    for (std::size_t i = toc.starts.size(); i-- > 0;)
        if (!toc.data[i])
            return static_cast<int>(i);
    return -1;
}

} // namespace

int CtdbToc::AudioTrackCount() const
{
    int count = 0;
    for (bool isData : data)
        count += isData ? 0 : 1;
    return count;
}

int CtdbToc::AudioStart() const
{
    return starts[static_cast<std::size_t>(FirstAudio(*this))];
}

int CtdbToc::AudioEnd() const
{
    const auto last = static_cast<std::size_t>(LastAudio(*this));
    if (last + 1 < starts.size())
        return starts[last + 1] - kCdExtraGapSectors;
    return leadOut;
}

std::vector<int> CtdbToc::AudioTrackStarts() const
{
    std::vector<int> out;
    for (std::size_t i = 0; i < starts.size(); ++i)
        if (!data[i])
            out.push_back(starts[i] - AudioStart());
    return out;
}

std::optional<CtdbToc> ParseCtdbToc(const std::string& text)
{
    CtdbToc toc;
    std::vector<int> values;
    std::vector<bool> negative;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t end = std::min(text.find(':', at), text.size());
        std::string_view part(text.data() + at, end - at);
        const bool isData = !part.empty() && part.front() == '-';
        if (isData)
            part.remove_prefix(1);
        int value = 0;
        if (part.empty() || part.size() > 7)
            return std::nullopt;
        const auto [ptr, ec] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (ec != std::errc() || ptr != part.data() + part.size())
            return std::nullopt;
        values.push_back(value);
        negative.push_back(isData);
        at = end + 1;
        if (values.size() > kMaxTracks + 1)
            return std::nullopt;
    }
    if (values.size() < 2 || negative.back())
        return std::nullopt;
    toc.leadOut = values.back();
    toc.starts.assign(values.begin(), values.end() - 1);
    toc.data.assign(negative.begin(), negative.end() - 1);
    for (std::size_t i = 0; i < values.size(); ++i)
        if (i > 0 && values[i] <= values[i - 1])
            return std::nullopt;
    const int first = FirstAudio(toc);
    if (first < 0)
        return std::nullopt;
    // Data tracks only before or after the audio.
    for (int i = first; i <= LastAudio(toc); ++i)
        if (toc.data[static_cast<std::size_t>(i)])
            return std::nullopt;
    if (toc.AudioEnd() <= toc.AudioStart())
        return std::nullopt;
    return toc;
}

std::string CtdbTocString(const CtdbToc& toc)
{
    std::string out;
    for (std::size_t i = 0; i < toc.starts.size(); ++i) {
        if (toc.data[i])
            out += '-';
        out += std::to_string(toc.starts[i]) + ':';
    }
    return out + std::to_string(toc.leadOut);
}

std::string CtdbTocId(const CtdbToc& toc)
{
    std::string hashed;
    const std::vector<int> starts = toc.AudioTrackStarts();
    char group[16];
    for (std::size_t i = 1; i < starts.size(); ++i) {
        std::snprintf(group, sizeof group, "%08X", static_cast<unsigned>(starts[i]));
        hashed += group;
    }
    std::snprintf(group, sizeof group, "%08X", static_cast<unsigned>(toc.AudioSectors()));
    hashed += group;
    if (hashed.size() < kHashedLength)
        hashed.append(kHashedLength - hashed.size(), '0');
    return disc::DiscIdBase64(disc::Sha1(hashed));
}

} // namespace sonfeld::ctdb
