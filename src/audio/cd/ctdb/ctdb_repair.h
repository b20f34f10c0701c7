#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ctdb_answer.h"
#include "ctdb_stream.h"

namespace sonfeld::ctdb {

enum class CtdbEntryStatus {
    NoMatch,   // other audio, or no offset in range lines the rip up with it
    Accurate,  // the disc CRC at the found offset is the entry's
    HasErrors, // lined up at `offset`, but the audio differs
};

struct CtdbEntryCheck {
    CtdbEntryStatus status = CtdbEntryStatus::NoMatch;
    int offset = 0;            // o: the entry's audio is rip[k + o]
    bool sameToc = false;      // the entry's TOC is exactly the disc's
    std::vector<bool> trackOk; // per audio track: the entry's track CRC found
};

// Everything the database says about one rip.
struct CtdbVerification {
    std::vector<CtdbEntryCheck> entries; // in the order of the answer
    int total = 0;                       // confidence of all entries
    int discConfidence = 0;              // of accurate entries with exactly this TOC
    int anyTocConfidence = 0;            // of accurate entries, TOC as matched by the id
    std::vector<int> trackConfidence;    // per audio track, of entries whose track CRC is found
};

// Checks the analysed rip (Complete()) of the disc `toc` against every entry:
// shape, offset search with the column-0 syndromes in [-5879, 5879], the
// disc CRC there, and each track's CRC at that offset or any in [-2939, 2939].
CtdbVerification VerifyRip(const CtdbStreamAnalysis& rip, const CtdbToc& toc,
                           const std::vector<CtdbEntry>& entries);
CtdbEntryCheck CheckEntry(const CtdbStreamAnalysis& rip, const CtdbToc& toc,
                          const CtdbEntry& entry);

// One corrected 16-bit word of the rip: index counted in words from the
// first sample of the analysed audio; the word becomes word ^ mask.
struct CtdbCorrection {
    std::int64_t word = 0;
    std::uint16_t mask = 0;
};

struct CtdbRepairPlan {
    bool proven = false; // the corrections give the entry's disc CRC
    std::string reason;  // why not, when not proven
    int npar = 0;        // of the recovery data used
    int offset = 0;
    std::vector<CtdbCorrection> corrections; // sorted by word
    std::uint32_t crcBefore = 0;
    std::uint32_t crcAfter = 0;
};

// Recovery data: index-major syndromes, npar x 11760 little-endian words.
constexpr std::size_t RecoveryBytes(int npar)
{
    return static_cast<std::size_t>(npar) * kStrideWords * 2;
}

// The recovery data the database keeps for audio analysed at offset 0: npar
// syndromes of every column, little-endian, row by row (RecoveryBytes(npar)
// bytes), and the entry's own syndrome: the first column's npar syndromes.
// What a test or bench serves in place of the database.
struct CtdbRecoveryData {
    std::vector<std::uint8_t> record;
    std::vector<std::uint8_t> firstColumn;
};
CtdbRecoveryData RecoveryDataOf(const CtdbStreamAnalysis& analysis, int npar);
// The entry the database would hold for that audio on a disc of toc: its
// disc CRC, recovery data of npar 16 at the standard stride, and the first
// column's first `syndromes` syndromes, as live entries carry 8.
CtdbEntry EntryOf(const CtdbStreamAnalysis& analysis, const CtdbToc& toc, int confidence,
                  int syndromes);

// Works out the corrections of a rip that differs from an entry at `offset`
// from `npar` syndromes per column of its recovery data (a prefix of the
// record is enough), and proves them against the entry's disc CRC. The rip's
// own analysis must keep at least npar syndromes. Nothing is changed here.
CtdbRepairPlan PlanRepair(const CtdbStreamAnalysis& rip, const CtdbEntry& entry, int offset,
                          const std::uint8_t* recovery, std::size_t size, int npar);

// Applies a proven plan to the analysed audio held in memory (16-bit
// little-endian stereo, as fed to the analysis). False, and nothing touched,
// when the plan is not proven or does not fit the buffer.
bool ApplyRepair(const CtdbRepairPlan& plan, std::uint8_t* audio, std::size_t size);

// The same for one piece of that audio (a track's file, a buffer read from
// it) beginning at byte `firstByte` of the analysed audio: only the
// corrections inside the piece are applied. The number applied, or -1 and
// nothing touched when the plan is not proven.
std::int64_t ApplyRepairToPiece(const CtdbRepairPlan& plan, std::int64_t firstByte,
                                std::uint8_t* piece, std::size_t size);

// The sectors (from the first sample of the analysed audio) that a plan
// changes, merged into ranges [first, last] when closer than 5 sectors.
std::vector<std::pair<std::int64_t, std::int64_t>> AffectedSectors(const CtdbRepairPlan& plan);

} // namespace sonfeld::ctdb
