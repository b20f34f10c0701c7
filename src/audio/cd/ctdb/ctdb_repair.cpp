#include "ctdb_repair.h"

#include <algorithm>

#include "audio/core/crc32.h"
#include "ctdb_code.h"
#include "ctdb_crc.h"

namespace sonfeld::ctdb {

namespace {

bool SameShape(const CtdbStreamAnalysis& rip, const CtdbToc& toc, const CtdbEntry& entry)
{
    return entry.stride == kStrideSamples && entry.toc.AudioSectors() == toc.AudioSectors() &&
           static_cast<std::int64_t>(entry.toc.AudioSectors()) * kSamplesPerSector ==
               rip.Layout().samples;
}

// The offset whose column-0 syndromes agree with the entry's, or differ by
// the fewest errors that decode; nothing when none does.
bool FindOffset(const CtdbStreamAnalysis& rip, const CtdbEntry& entry, int& offset, bool& exact)
{
    const int count =
        std::min<int>({static_cast<int>(entry.syndromes.size()), rip.Npar(), kMaxNpar});
    if (count < 2)
        return false;
    const int rows = rip.Layout().DataRows();
    int bestErrors = count; // must stay below count / 2
    std::uint16_t s[kMaxNpar];
    for (int o = -kDiscOffsetRange; o <= kDiscOffsetRange; ++o) {
        rip.Syndromes(o, 0, count, s);
        bool zero = true;
        for (int i = 0; i < count; ++i) {
            s[i] ^= entry.syndromes[static_cast<std::size_t>(i)];
            zero = zero && s[i] == 0;
        }
        if (zero) {
            offset = o;
            exact = true;
            return true;
        }
        const std::vector<std::uint16_t> lambda = BerlekampMassey(s, count);
        const int degree = static_cast<int>(lambda.size()) - 1;
        if (degree <= 0 || 2 * degree >= count || degree >= bestErrors)
            continue;
        if (static_cast<int>(ChienSearch(lambda, rows).size()) != degree)
            continue;
        bestErrors = degree;
        offset = o;
    }
    exact = false;
    return bestErrors < count;
}

} // namespace

CtdbEntryCheck CheckEntry(const CtdbStreamAnalysis& rip, const CtdbToc& toc, const CtdbEntry& entry)
{
    CtdbEntryCheck check;
    const std::size_t tracks = rip.Layout().trackStarts.size();
    check.trackOk.assign(tracks, false);
    check.sameToc = entry.tocText == CtdbTocString(toc);
    if (!rip.Complete() || !SameShape(rip, toc, entry))
        return check;
    bool exact = false;
    if (FindOffset(rip, entry, check.offset, exact)) {
        check.status = exact && rip.DiscCrc(check.offset) == entry.crc32
                           ? CtdbEntryStatus::Accurate
                           : CtdbEntryStatus::HasErrors;
    }
    if (entry.trackCrcs.size() != tracks)
        return check;
    for (std::size_t t = 0; t < tracks; ++t) {
        if (check.status == CtdbEntryStatus::Accurate) {
            check.trackOk[t] = true;
            continue;
        }
        const std::uint32_t wanted = entry.trackCrcs[t];
        bool found = rip.TrackCrc(t, check.offset) == wanted;
        for (int o = -kTrackOffsetRange; !found && o <= kTrackOffsetRange; ++o)
            found = rip.TrackCrc(t, o) == wanted;
        check.trackOk[t] = found;
    }
    return check;
}

CtdbVerification VerifyRip(const CtdbStreamAnalysis& rip, const CtdbToc& toc,
                           const std::vector<CtdbEntry>& entries)
{
    CtdbVerification result;
    result.trackConfidence.assign(rip.Layout().trackStarts.size(), 0);
    for (const CtdbEntry& entry : entries) {
        CtdbEntryCheck check = CheckEntry(rip, toc, entry);
        result.total += entry.confidence;
        if (check.status == CtdbEntryStatus::Accurate) {
            result.anyTocConfidence += entry.confidence;
            if (check.sameToc)
                result.discConfidence += entry.confidence;
        }
        for (std::size_t t = 0; t < check.trackOk.size(); ++t)
            if (check.trackOk[t])
                result.trackConfidence[t] += entry.confidence;
        result.entries.push_back(std::move(check));
    }
    return result;
}

CtdbRepairPlan PlanRepair(const CtdbStreamAnalysis& rip, const CtdbEntry& entry, int offset,
                          const std::uint8_t* recovery, std::size_t size, int npar)
{
    CtdbRepairPlan plan;
    plan.npar = npar;
    plan.offset = offset;
    if (!rip.Complete()) {
        plan.reason = "the rip's audio is incomplete";
        return plan;
    }
    if (npar < 2 || npar > rip.Npar() || npar > kMaxNpar || (entry.npar > 0 && npar > entry.npar)) {
        plan.reason = "unusable amount of recovery data";
        return plan;
    }
    if (offset < -kDiscOffsetRange || offset > kDiscOffsetRange) {
        plan.reason = "offset out of range";
        return plan;
    }
    if (recovery == nullptr || size < RecoveryBytes(npar)) {
        plan.reason = "recovery data too short";
        return plan;
    }
    const auto record = [recovery](int i, int column) {
        const std::size_t at =
            2 * (static_cast<std::size_t>(i) * kStrideWords + static_cast<std::size_t>(column));
        return static_cast<std::uint16_t>(recovery[at] | (recovery[at + 1] << 8));
    };
    // Column 0 of the file must be what the lookup promised.
    for (int i = 0; i < npar && i < static_cast<int>(entry.syndromes.size()); ++i)
        if (record(i, 0) != entry.syndromes[static_cast<std::size_t>(i)]) {
            plan.reason = "the recovery data belongs to other audio";
            return plan;
        }
    const int rows = rip.Layout().DataRows();
    const std::int64_t totalWords = rip.Layout().samples * 2;
    std::uint16_t s[kMaxNpar];
    for (int column = 0; column < kStrideWords; ++column) {
        rip.Syndromes(offset, column, npar, s);
        for (int i = 0; i < npar; ++i)
            s[i] ^= record(i, column);
        const auto errors = RsDecode(s, npar, rows);
        if (!errors) {
            plan.corrections.clear();
            plan.reason = "too many differences in column " + std::to_string(column) + " for " +
                          std::to_string(npar) + " recovery words";
            return plan;
        }
        for (const RsError& error : *errors) {
            const std::int64_t row = rows - error.power;
            const std::int64_t word =
                row * kStrideWords + column + 2 * static_cast<std::int64_t>(offset);
            if (word < 0 || word >= totalWords) {
                plan.reason = "a correction falls outside the rip";
                plan.corrections.clear();
                return plan;
            }
            plan.corrections.push_back({word, error.value});
        }
    }
    std::sort(plan.corrections.begin(), plan.corrections.end(),
              [](const CtdbCorrection& a, const CtdbCorrection& b) { return a.word < b.word; });
    // The CRC is linear: each corrected word adds the CRC of its change
    // followed by the bytes after it in the window.
    plan.crcBefore = rip.DiscCrc(offset);
    std::uint32_t crc = plan.crcBefore;
    const std::int64_t windowEnd = rip.DiscWindowEnd(offset);
    for (const CtdbCorrection& correction : plan.corrections) {
        // The change's CRC from a zero state, without the inversions.
        const std::uint8_t change[2] = {static_cast<std::uint8_t>(correction.mask & 0xFF),
                                        static_cast<std::uint8_t>(correction.mask >> 8)};
        const std::uint32_t raw = ~Crc32(0xFFFFFFFFu, change, sizeof change);
        const std::int64_t after = windowEnd - (2 * correction.word + 2);
        crc ^= CrcMultiply(CrcShiftOperator(static_cast<std::uint64_t>(after)), raw);
    }
    plan.crcAfter = crc;
    if (crc != entry.crc32) {
        plan.reason = "the corrected audio does not give the database's disc CRC";
        plan.corrections.clear();
        return plan;
    }
    plan.proven = true;
    return plan;
}

bool ApplyRepair(const CtdbRepairPlan& plan, std::uint8_t* audio, std::size_t size)
{
    if (!plan.proven)
        return false;
    for (const CtdbCorrection& correction : plan.corrections)
        if (correction.word < 0 || static_cast<std::size_t>(2 * correction.word + 2) > size)
            return false;
    for (const CtdbCorrection& correction : plan.corrections) {
        const auto at = static_cast<std::size_t>(2 * correction.word);
        audio[at] ^= static_cast<std::uint8_t>(correction.mask & 0xFF);
        audio[at + 1] ^= static_cast<std::uint8_t>(correction.mask >> 8);
    }
    return true;
}

std::int64_t ApplyRepairToPiece(const CtdbRepairPlan& plan, std::int64_t firstByte,
                                std::uint8_t* piece, std::size_t size)
{
    if (!plan.proven)
        return -1;
    const std::int64_t end = firstByte + static_cast<std::int64_t>(size);
    auto it =
        std::lower_bound(plan.corrections.begin(), plan.corrections.end(), firstByte / 2 - 1,
                         [](const CtdbCorrection& c, std::int64_t word) { return c.word < word; });
    std::int64_t applied = 0;
    for (; it != plan.corrections.end() && 2 * it->word < end; ++it) {
        bool touched = false;
        for (int b = 0; b < 2; ++b) {
            const std::int64_t at = 2 * it->word + b;
            if (at < firstByte || at >= end)
                continue;
            piece[static_cast<std::size_t>(at - firstByte)] ^=
                static_cast<std::uint8_t>(it->mask >> (8 * b));
            touched = true;
        }
        applied += touched ? 1 : 0;
    }
    return applied;
}

std::vector<std::pair<std::int64_t, std::int64_t>> AffectedSectors(const CtdbRepairPlan& plan)
{
    std::vector<std::pair<std::int64_t, std::int64_t>> ranges;
    for (const CtdbCorrection& correction : plan.corrections) {
        const std::int64_t sector = correction.word / 2 / kSamplesPerSector;
        if (!ranges.empty() && sector - ranges.back().second < 5)
            ranges.back().second = std::max(ranges.back().second, sector);
        else
            ranges.emplace_back(sector, sector);
    }
    return ranges;
}

CtdbRecoveryData RecoveryDataOf(const CtdbStreamAnalysis& analysis, int npar)
{
    CtdbRecoveryData data;
    data.record.resize(RecoveryBytes(npar));
    std::vector<std::uint16_t> syndromes(static_cast<std::size_t>(npar));
    for (int c = 0; c < kStrideWords; ++c) {
        analysis.Syndromes(0, c, npar, syndromes.data());
        for (int i = 0; i < npar; ++i) {
            const std::size_t at =
                2 * (static_cast<std::size_t>(i) * kStrideWords + static_cast<std::size_t>(c));
            const std::uint16_t word = syndromes[static_cast<std::size_t>(i)];
            data.record[at] = static_cast<std::uint8_t>(word & 0xFF);
            data.record[at + 1] = static_cast<std::uint8_t>(word >> 8);
            if (c == 0)
                data.firstColumn.insert(data.firstColumn.end(),
                                        {data.record[at], data.record[at + 1]});
        }
    }
    return data;
}

CtdbEntry EntryOf(const CtdbStreamAnalysis& analysis, const CtdbToc& toc, int confidence,
                  int syndromes)
{
    CtdbEntry entry;
    entry.crc32 = analysis.DiscCrc(0);
    entry.confidence = confidence;
    entry.npar = kMaxNpar;
    entry.stride = kStrideSamples;
    entry.tocText = CtdbTocString(toc);
    entry.toc = toc;
    entry.syndromes.resize(static_cast<std::size_t>(syndromes));
    analysis.Syndromes(0, 0, syndromes, entry.syndromes.data());
    return entry;
}

} // namespace sonfeld::ctdb
