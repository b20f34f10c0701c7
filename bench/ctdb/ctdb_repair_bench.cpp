// Time to repair one damaged disc from its recovery data: the pass over the
// rip's audio, the offset search, and decoding with the npar 4 -> 8 -> 16
// ladder, on a generated disc of the given length (default 74 minutes) with
// 3000 damaged samples, the rip 48 samples late.
//   ctdb_repair_bench [minutes] [damaged samples]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "audio/cd/ctdb/ctdb_repair.h"
#include "audio/cd/ctdb/ctdb_stream.h"

using namespace sonfeld::ctdb;

namespace {

std::uint64_t Mix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// Feeds samples [first, first + count) of the generated audio, XORing the
// damaged ones, in pieces of one second.
void Feed(CtdbStreamAnalysis& analysis, std::int64_t first, std::int64_t count,
          const std::set<std::int64_t>& damaged)
{
    std::vector<std::uint8_t> piece(44100 * 4);
    for (std::int64_t at = 0; at < count; at += 44100) {
        const std::int64_t n = std::min<std::int64_t>(44100, count - at);
        for (std::int64_t k = 0; k < n; ++k) {
            std::uint64_t v = Mix(static_cast<std::uint64_t>(first + at + k));
            if (damaged.count(at + k))
                v ^= Mix(~static_cast<std::uint64_t>(at + k)) | 0x0101010101010101ull;
            for (int b = 0; b < 4; ++b)
                piece[static_cast<std::size_t>(4 * k + b)] =
                    static_cast<std::uint8_t>(v >> (8 * b));
        }
        analysis.Update(piece.data(), static_cast<std::size_t>(4 * n));
    }
}

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

} // namespace

int main(int argc, char** argv)
{
    const int minutes = argc > 1 ? std::atoi(argv[1]) : 74;
    const int damage = argc > 2 ? std::atoi(argv[2]) : 3000;
    const int sectors = minutes * 60 * 75;
    const CtdbToc toc = *ParseCtdbToc("0:" + std::to_string(sectors));
    const CtdbLayout layout = CtdbLayout::FromToc(toc);

    CtdbStreamAnalysis reference(layout);
    Feed(reference, 0, layout.samples, {});
    CtdbEntry entry;
    entry.crc32 = reference.DiscCrc(0);
    entry.npar = 16;
    entry.stride = kStrideSamples;
    entry.tocText = CtdbTocString(toc);
    entry.toc = toc;
    std::vector<std::uint8_t> recovery(RecoveryBytes(16));
    for (int c = 0; c < kStrideWords; ++c) {
        std::uint16_t s[16];
        reference.Syndromes(0, c, 16, s);
        if (c == 0)
            entry.syndromes.assign(s, s + 8);
        for (int i = 0; i < 16; ++i) {
            const std::size_t at =
                2 * (static_cast<std::size_t>(i) * kStrideWords + static_cast<std::size_t>(c));
            recovery[at] = static_cast<std::uint8_t>(s[i]);
            recovery[at + 1] = static_cast<std::uint8_t>(s[i] >> 8);
        }
    }

    std::set<std::int64_t> damaged;
    for (std::uint64_t n = 0; static_cast<int>(damaged.size()) < damage; ++n)
        damaged.insert(
            static_cast<std::int64_t>(Mix(n * 7919) % static_cast<std::uint64_t>(layout.samples)));

    const std::clock_t cpuStart = std::clock();
    const auto start = std::chrono::steady_clock::now();
    CtdbStreamAnalysis rip(layout);
    Feed(rip, 48, layout.samples, damaged);
    const double pass = Seconds(start);
    const auto searchStart = std::chrono::steady_clock::now();
    const CtdbEntryCheck check = CheckEntry(rip, toc, entry);
    const double search = Seconds(searchStart);
    const auto repairStart = std::chrono::steady_clock::now();
    CtdbRepairPlan plan;
    for (const int npar : {4, 8, 16}) {
        plan = PlanRepair(rip, entry, check.offset, recovery.data(), RecoveryBytes(npar), npar);
        if (plan.proven)
            break;
    }
    const double repair = Seconds(repairStart);
    std::printf("disc %d min (%d sectors), %d damaged samples, rip 48 samples late\n", minutes,
                sectors, damage);
    std::printf("status %d at offset %d; repair %s with npar %d: %zu words, CRC %08x -> %08x "
                "(entry %08x)%s%s\n",
                static_cast<int>(check.status), check.offset, plan.proven ? "proven" : "not proven",
                plan.npar, plan.corrections.size(), plan.crcBefore, plan.crcAfter, entry.crc32,
                plan.proven ? "" : ": ", plan.reason.c_str());
    std::printf("pass over the audio %.2f s, offset search %.2f s, decoding and proof %.2f s, "
                "total %.2f s\n",
                pass, search, repair, pass + search + repair);
    // The machine may be shared: the processor time tells the work apart from the waiting.
    std::printf("processor time %.2f s\n",
                static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC);
    return plan.proven ? 0 : 1;
}
