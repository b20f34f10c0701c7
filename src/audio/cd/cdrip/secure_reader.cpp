#include "secure_reader.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "cdrip_api.h"

namespace sonfeld::cdrip {

namespace {

constexpr int kSectorBytes = 2352;
// Bad blocks closer than this are re-read as one span: the drive's read-ahead
// after the first would otherwise serve the next from its cache.
constexpr int kMergeGap = 64;

std::uint8_t* SectorAt(std::vector<std::uint8_t>& data, std::size_t index)
{
    return data.data() + index * kSectorBytes;
}

} // namespace

std::uint64_t SectorChecksum(const std::uint8_t* sector)
{
    std::uint64_t hash = 14695981039346656037ULL;
    for (int i = 0; i < kSectorBytes; ++i) {
        hash ^= sector[i];
        hash *= 1099511628211ULL;
    }
    return hash;
}

SecureReader::SecureReader(SectorSource& plain, SectorSource* first, ProblemLog& problems,
                           std::int32_t spanEnd, std::int32_t readableFirst,
                           std::int32_t readableEnd, SecureSettings settings)
    : plain_(plain), first_(first), problems_(problems), spanEnd_(spanEnd),
      readableFirst_(readableFirst), readableEnd_(readableEnd), settings_(settings)
{
    settings_.maxRereads = std::max(settings_.maxRereads, 1);
    settings_.cacheSectors = std::max(settings_.cacheSectors, 1);
}

bool SecureReader::Read(std::int32_t first, int count, std::uint8_t* out)
{
    for (int i = 0; i < count;) {
        const std::int32_t sector = first + i;
        if ((sector < verified_.first || sector >= verified_.end) && !Verify(sector))
            return false;
        const int n = std::min(count - i, static_cast<int>(verified_.end - sector));
        std::memcpy(out + static_cast<std::size_t>(i) * kSectorBytes,
                    SectorAt(verified_.data, static_cast<std::size_t>(sector - verified_.first)),
                    static_cast<std::size_t>(n) * kSectorBytes);
        i += n;
    }
    return true;
}

bool SecureReader::Verify(std::int32_t first)
{
    const int size = settings_.cacheSectors;
    const std::int32_t end = std::min(first + size, std::max(spanEnd_, first + 1));
    SectorSource& firstSource = first_ != nullptr ? *first_ : plain_;
    Region firstPass;
    if (pending_.first == first && pending_.end == end && !pending_.data.empty())
        firstPass = std::move(pending_);
    else if (!ReadRegion(firstSource, first, end, firstPass))
        return false;
    pending_ = Region{};
    // Between the two passes of this region lies the next region's first
    // pass; only a short or missing next region needs reads elsewhere.
    if (end < spanEnd_) {
        const std::int32_t nextEnd = std::min(end + size, spanEnd_);
        if (!ReadRegion(firstSource, end, nextEnd, pending_))
            return false;
        if (nextEnd - end < size)
            Flush(first, end);
    } else {
        Flush(first, end);
    }
    Region second;
    if (!ReadRegion(plain_, first, end, second) || !Resolve(firstPass, second))
        return false;
    verified_ = std::move(firstPass);
    return true;
}

bool SecureReader::ReadRegion(SectorSource& source, std::int32_t first, std::int32_t end,
                              Region& region)
{
    region.first = first;
    region.end = end;
    region.data.assign(static_cast<std::size_t>(end - first) * kSectorBytes, 0);
    region.c2.assign(static_cast<std::size_t>(end - first), 0);
    return ReadRetrying(source, first, end - first, region.data.data(), region.c2.data());
}

bool SecureReader::ReadRetrying(SectorSource& source, std::int32_t first, int count,
                                std::uint8_t* out, std::uint8_t* c2)
{
    sectorsRead_ += count;
    if (source.Read(first, count, out, c2))
        return true;
    // Find the sectors the drive refuses and retry each on its own.
    for (int i = 0; i < count; ++i) {
        std::uint8_t* target = out + static_cast<std::size_t>(i) * kSectorBytes;
        std::uint8_t* flag = c2 != nullptr ? c2 + i : nullptr;
        bool read = false;
        for (int attempt = 0; attempt <= settings_.maxRereads && !read; ++attempt) {
            ++sectorsRead_;
            read = source.Read(first + i, 1, target, flag);
            if (!read)
                problems_.Add(first + i, CR_PROBLEM_READ_ERROR);
        }
        if (!read) {
            problems_.Add(first + i, CR_PROBLEM_UNCORRECTED);
            error_ = "Sector " + std::to_string(first + i) + " could not be read after " +
                     std::to_string(settings_.maxRereads) + " retries.";
            return false;
        }
    }
    return true;
}

bool SecureReader::Resolve(Region& result, const Region& second)
{
    struct Block {
        std::size_t index;
        std::vector<std::uint64_t> sums;
        std::vector<std::vector<std::uint8_t>> reads;
    };
    std::vector<Block> open;
    const auto count = static_cast<std::size_t>(result.end - result.first);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* a = result.data.data() + i * kSectorBytes;
        const std::uint8_t* b = second.data.data() + i * kSectorBytes;
        const std::uint64_t sumA = SectorChecksum(a);
        const std::uint64_t sumB = SectorChecksum(b);
        if (sumA == sumB && result.c2[i] == 0 && second.c2[i] == 0)
            continue;
        Block block{i, {sumA}, {std::vector<std::uint8_t>(a, a + kSectorBytes)}};
        // Two flagged reads that agree still need a third to agree with them.
        if (sumA != sumB) {
            block.sums.push_back(sumB);
            block.reads.emplace_back(b, b + kSectorBytes);
        }
        open.push_back(std::move(block));
    }
    std::vector<std::uint8_t> flags;
    for (int attempt = 0; attempt < settings_.maxRereads && !open.empty(); ++attempt) {
        std::vector<Block> still;
        std::size_t at = 0;
        while (at < open.size()) {
            std::size_t last = at;
            while (last + 1 < open.size() && open[last + 1].index - open[last].index < kMergeGap)
                ++last;
            const std::size_t from = open[at].index;
            const auto span = static_cast<int>(open[last].index - from + 1);
            const std::int32_t spanFirst = result.first + static_cast<std::int32_t>(from);
            Flush(spanFirst, spanFirst + span);
            scratch_.assign(static_cast<std::size_t>(span) * kSectorBytes, 0);
            flags.assign(static_cast<std::size_t>(span), 0);
            if (!ReadRetrying(plain_, spanFirst, span, scratch_.data(), flags.data()))
                return false;
            for (std::size_t k = at; k <= last; ++k) {
                Block& block = open[k];
                const std::uint8_t* read = SectorAt(scratch_, block.index - from);
                const std::uint64_t sum = SectorChecksum(read);
                const auto agreed = std::find(block.sums.begin(), block.sums.end(), sum);
                if (agreed != block.sums.end()) {
                    std::memcpy(SectorAt(result.data, block.index), read, kSectorBytes);
                    problems_.Add(result.first + static_cast<std::int32_t>(block.index),
                                  CR_PROBLEM_CORRECTED);
                    continue;
                }
                block.sums.push_back(sum);
                block.reads.emplace_back(read, read + kSectorBytes);
                still.push_back(std::move(block));
            }
            at = last + 1;
        }
        open = std::move(still);
    }
    for (const Block& block : open) {
        // The first read is handed out (it is in place already), marked.
        problems_.Add(result.first + static_cast<std::int32_t>(block.index), CR_PROBLEM_SUSPICIOUS);
        ++suspicious_;
    }
    return true;
}

void SecureReader::Flush(std::int32_t first, std::int32_t end)
{
    // The farthest sectors of the disc's audio, on the wider side first; a
    // disc too small to hold a cache's worth beside the region gets what it has.
    const int size = settings_.cacheSectors;
    const std::int32_t left = std::max(first - readableFirst_, 0);
    const std::int32_t right = std::max(readableEnd_ - end, 0);
    std::pair<std::int32_t, std::int32_t> spans[2] = {{readableFirst_, std::min(left, size)},
                                                      {readableEnd_ - std::min(right, size), 0}};
    spans[1].second = std::min(right, size);
    if (right > left)
        std::swap(spans[0], spans[1]);
    int wanted = size;
    for (const auto& [from, count] : spans) {
        const int n = std::min(count, wanted);
        if (n <= 0)
            continue;
        scratch_.assign(static_cast<std::size_t>(n) * kSectorBytes, 0);
        sectorsRead_ += n;
        // A refused read here matters not: the flush only has to move the cache.
        plain_.Read(from, n, scratch_.data(), nullptr);
        wanted -= n;
    }
}

} // namespace sonfeld::cdrip
