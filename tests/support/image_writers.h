#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace sonfeld::test {

using Bytes = std::vector<std::uint8_t>;

void AppendBigEndian(Bytes& to, std::uint64_t value, int bytes);
// A Nero chunk: id, big-endian size, body.
void AppendChunk(Bytes& to, const char* id, const Bytes& body);

// A Nero image of audio tracks holding the given audio (whole sectors each):
// written at once (CUEX/DAOX, or CUES/DAOI in the old format) or track by
// track (ETN2/ETNF, each track 150 sectors after the one before), then the
// extra chunks, SINF, END! and the footer.
struct NrgSpec {
    std::vector<Bytes> tracks;
    bool oldFormat = false;
    bool trackByTrack = false;
    std::string mcn;
    std::vector<std::pair<const char*, Bytes>> extra;
};
Bytes NrgImage(const NrgSpec& spec);

// CD-TEXT packs of block 0 for the disc's and each track's title and
// performer (texts[0] the disc's, texts[t] track t's), as a CDTX chunk holds them.
Bytes CdTextPacks(const std::vector<std::pair<std::string, std::string>>& texts);

// A cdrdao TOC image in folder ("near.toc" over the raw big-endian
// "near.cdr") whose tracks of the given sectors hold near-periodic audio:
// sine tones of integer periods from 2 to 1176 samples, square waves, and
// near-silence with ±1 LSB on 1 % of the samples, in turn. Returns each
// track's audio as a rip must give it (little-endian).
std::vector<Bytes> WriteNearPeriodicToc(const std::filesystem::path& folder,
                                        const std::vector<int>& sectors);

} // namespace sonfeld::test
