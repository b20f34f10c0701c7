#include "read_window.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace sonfeld::cdrip {

namespace {

constexpr int kBytesPerSample = 4;

std::int32_t SectorOf(std::int64_t sample)
{
    // Rounds towards minus infinity: a negative offset reaches before sector 0.
    const std::int64_t sector =
        sample >= 0
            ? sample / ReadWindow::kSamplesPerSector
            : -((-sample + ReadWindow::kSamplesPerSector - 1) / ReadWindow::kSamplesPerSector);
    return static_cast<std::int32_t>(sector);
}

} // namespace

ReadWindow::ReadWindow(std::int32_t start, std::int32_t end, std::int32_t offset,
                       std::int32_t readableFirst, std::int32_t readableEnd)
    : start_(start), end_(end), readableFirst_(readableFirst), readableEnd_(readableEnd),
      first_(static_cast<std::int64_t>(start) * kSamplesPerSector + offset), next_(first_),
      last_(static_cast<std::int64_t>(end) * kSamplesPerSector + offset),
      carrySector_(std::numeric_limits<std::int32_t>::min())
{
}

bool ReadWindow::Readable(std::int32_t sector) const
{
    return (sector >= start_ && sector < end_) ||
           (sector >= readableFirst_ && sector < readableEnd_);
}

std::int32_t ReadWindow::Next(std::uint8_t* out, int maxSectors, const SectorReader& read)
{
    if (next_ >= last_)
        return 0;
    const std::int64_t samples = std::min<std::int64_t>(
        static_cast<std::int64_t>(maxSectors) * kSamplesPerSector, last_ - next_);
    const std::int32_t first = SectorOf(next_);
    const std::int32_t last = SectorOf(next_ + samples - 1);
    raw_.resize(static_cast<std::size_t>(last - first + 1) * kSectorBytes);
    std::int32_t sector = first;
    while (sector <= last) {
        std::uint8_t* target =
            raw_.data() + static_cast<std::size_t>(sector - first) * kSectorBytes;
        if (sector == carrySector_) {
            std::memcpy(target, carry_.data(), kSectorBytes);
            ++sector;
        } else if (!Readable(sector)) {
            std::memset(target, 0, kSectorBytes);
            ++sector;
        } else {
            std::int32_t runEnd = sector + 1;
            while (runEnd <= last && Readable(runEnd))
                ++runEnd;
            if (!read(sector, static_cast<int>(runEnd - sector), target))
                return -1;
            sector = runEnd;
        }
    }
    const auto skip =
        static_cast<std::size_t>(next_ - static_cast<std::int64_t>(first) * kSamplesPerSector) *
        kBytesPerSample;
    const auto bytes = static_cast<std::size_t>(samples) * kBytesPerSample;
    std::memcpy(out, raw_.data() + skip, bytes);
    carrySector_ = last;
    std::memcpy(carry_.data(), raw_.data() + raw_.size() - kSectorBytes, kSectorBytes);
    next_ += samples;
    return static_cast<std::int32_t>(bytes);
}

std::int32_t ReadWindow::CurrentSector() const
{
    return SectorOf(next_);
}

int ReadWindow::PercentCompleted() const
{
    if (last_ <= first_)
        return 0;
    return static_cast<int>(100 * (next_ - first_) / (last_ - first_));
}

} // namespace sonfeld::cdrip
