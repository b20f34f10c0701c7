#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace sonfeld::cdrip {

// The samples of a rip moved by the drive's read offset. The rip of sectors
// start .. end - 1 delivers the drive's samples [start * 588 + offset,
// end * 588 + offset), so whole sectors are read around the window and cut.
// Sectors outside the rip's own range are read only inside the readable
// region (the disc's audio around the range); elsewhere the drive has
// nothing to give, and they count as zero samples.
class ReadWindow {
public:
    static constexpr int kSamplesPerSector = 588;
    static constexpr int kSectorBytes = 2352;

    // Reads count whole sectors from first on into out; false on failure.
    using SectorReader = std::function<bool(std::int32_t first, int count, std::uint8_t* out)>;

    ReadWindow(std::int32_t start, std::int32_t end, std::int32_t offset,
               std::int32_t readableFirst, std::int32_t readableEnd);

    // Stores up to maxSectors sectors' worth of samples into out; returns the
    // bytes stored, 0 once the window is done, -1 when read failed.
    std::int32_t Next(std::uint8_t* out, int maxSectors, const SectorReader& read);

    // The drive sector the next samples come from.
    std::int32_t CurrentSector() const;
    int PercentCompleted() const;

private:
    bool Readable(std::int32_t sector) const;

    std::int32_t start_;
    std::int32_t end_;
    std::int32_t readableFirst_;
    std::int32_t readableEnd_;
    std::int64_t first_; // samples, on the drive's scale
    std::int64_t next_;
    std::int64_t last_; // one past
    std::vector<std::uint8_t> raw_;
    // The last sector read; the next chunk usually starts inside it.
    std::int32_t carrySector_;
    std::array<std::uint8_t, kSectorBytes> carry_{};
};

} // namespace sonfeld::cdrip
