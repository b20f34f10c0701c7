#pragma once

#include <optional>
#include <string>
#include <vector>

namespace sonfeld::ctdb {

constexpr int kSamplesPerSector = 588;
// Audio after a CD-Extra's last audio track ends this many sectors before the
// data track (lead-out, lead-in and pregap of the second session).
constexpr int kCdExtraGapSectors = 11400;

// A disc's table of contents as the database sees it: the index-01 LBA of
// every track (no 2-second lead-in added), which of them are data, and the
// disc lead-out.
struct CtdbToc {
    std::vector<int> starts;
    std::vector<bool> data;
    int leadOut = 0;

    int AudioTrackCount() const;
    // First sector of the first audio track, and the sector after the last
    // audio sample (11400 before a data track that follows the audio).
    int AudioStart() const;
    int AudioEnd() const;
    int AudioSectors() const { return AudioEnd() - AudioStart(); }
    // Index-01 sectors of the audio tracks, relative to AudioStart().
    std::vector<int> AudioTrackStarts() const;
};

// "start:start:...:-datastart:leadout"; nothing when malformed (no audio
// track, positions not rising, data tracks between audio tracks, > 99 tracks).
std::optional<CtdbToc> ParseCtdbToc(const std::string& text);
std::string CtdbTocString(const CtdbToc& toc);
// The 28-character id of the audio layout, the same for every pregap.
std::string CtdbTocId(const CtdbToc& toc);

} // namespace sonfeld::ctdb
