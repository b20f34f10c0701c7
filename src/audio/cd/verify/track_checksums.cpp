#include "track_checksums.h"

#include <cstdlib>

#include "crc32.h"

namespace sonfeld::verify {

TrackChecksumAccumulator::TrackChecksumAccumulator(std::int64_t trackSamples, TrackPlace place)
    : trackSamples_(trackSamples < 0 ? 0 : trackSamples),
      windowFrom_(place.firstAudioTrack ? kEdgeSkipSamples : 1),
      windowTo_(place.lastAudioTrack ? trackSamples_ - kEdgeSkipSamples : trackSamples_)
{
}

void TrackChecksumAccumulator::Add(const void* pcm, std::size_t bytes)
{
    const auto* data = static_cast<const std::uint8_t*>(pcm);
    for (std::size_t i = 0; i < bytes; ++i)
        crcState_ = Crc32Step(crcState_, data[i]);

    std::size_t used = 0;
    if (partialBytes_ > 0) {
        while (partialBytes_ < kBytesPerSample && used < bytes)
            partial_[partialBytes_++] = data[used++];
        if (partialBytes_ < kBytesPerSample)
            return;
        AddSample(partial_.data());
        partialBytes_ = 0;
    }
    for (; used + kBytesPerSample <= bytes; used += kBytesPerSample)
        AddSample(data + used);
    while (used < bytes)
        partial_[partialBytes_++] = data[used++];
}

void TrackChecksumAccumulator::AddSample(const std::uint8_t* bytes)
{
    ++samples_;
    const std::int64_t i = samples_; // AccurateRip's multiplier counts from 1
    const std::uint32_t word =
        static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
        (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
    if (i >= windowFrom_ && i <= windowTo_) {
        const std::uint64_t product = static_cast<std::uint64_t>(i) * word;
        v1_ += static_cast<std::uint32_t>(product);
        highSum_ += static_cast<std::uint32_t>(product >> 32);
    }
    const std::int64_t offsetStart = static_cast<std::int64_t>(kOffsetSector) * kSamplesPerSector;
    if (i > offsetStart && i <= offsetStart + kSamplesPerSector)
        offsetSum_ += static_cast<std::uint32_t>(i - offsetStart) * word;

    for (int channel = 0; channel < 2; ++channel) {
        const std::uint8_t low = bytes[2 * channel];
        const std::uint8_t high = bytes[2 * channel + 1];
        const auto value = static_cast<std::int16_t>(static_cast<std::uint16_t>(low | (high << 8)));
        const int magnitude = std::abs(static_cast<int>(value));
        if (magnitude > peak_)
            peak_ = magnitude;
        if (value != 0) {
            crcNoNullState_ = Crc32Step(crcNoNullState_, low);
            crcNoNullState_ = Crc32Step(crcNoNullState_, high);
        }
    }
}

TrackChecksums TrackChecksumAccumulator::Result() const
{
    TrackChecksums result;
    result.crc32 = ~crcState_;
    result.crc32WithoutNulls = ~crcNoNullState_;
    result.accurateRipV1 = v1_;
    result.accurateRipV2 = v1_ + highSum_;
    if (samples_ >= static_cast<std::int64_t>(kOffsetSector + 1) * kSamplesPerSector)
        result.offsetSectorSum = offsetSum_;
    result.peak = peak_;
    result.samples = samples_;
    result.complete = samples_ == trackSamples_ && partialBytes_ == 0;
    return result;
}

} // namespace sonfeld::verify
