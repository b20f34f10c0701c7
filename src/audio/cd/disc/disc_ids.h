#pragma once

#include <cstdint>
#include <string>

#include "disc_model.h"

namespace sonfeld::disc {

struct AccurateRipId {
    int audioTracks = 0;
    std::uint32_t id1 = 0;
    std::uint32_t id2 = 0;
    std::uint32_t freedb = 0;

    // "nnn-id1-id2-cddb"
    std::string Text() const;
    // "dBAR-nnn-id1-id2-cddb.bin"
    std::string FileName() const;
    // "x/y/z/dBAR-….bin": the last, second-to-last and third-to-last hex digit of id1.
    std::string DatabasePath() const;
};

// Audio tracks only (data tracks dropped wherever they are), the final
// lead-out; the freedb part counts every track.
AccurateRipId ComputeAccurateRipId(const DiscModel& model);

// freedb/CDDB1 over every track, data tracks included, and the final lead-out.
std::uint32_t ComputeFreedbId(const DiscModel& model);
std::string FreedbIdText(std::uint32_t id);

// MusicBrainz sees the first session: first track, last audio track of that
// session, and its end as the lead-out.
std::string MusicBrainzId(const DiscModel& model);
// "first last leadout offset…", absolute addresses separated by spaces.
std::string MusicBrainzToc(const DiscModel& model);

// The CTDB TOC ID: audio tracks relative to the first audio track.
std::string CtdbTocId(const DiscModel& model);

} // namespace sonfeld::disc
