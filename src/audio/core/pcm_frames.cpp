#include "pcm_frames.h"

#include <cstring>

namespace sonfeld {

void TPcmFrames::Start(int channels, int bitsPerSample, std::size_t framesPerBlock)
{
    channels_ = channels;
    bits_ = bitsPerSample;
    frameBytes_ = static_cast<std::size_t>(channels) * static_cast<std::size_t>(bitsPerSample / 8);
    if (frameBytes_ == 0)
        frameBytes_ = 1;
    framesPerBlock_ = framesPerBlock;
    buffer_.assign(framesPerBlock * frameBytes_, 0);
    frames_ = 0;
    carried_ = 0;
}

std::size_t TPcmFrames::Next(const Reader& read, bool fill)
{
    // What was cut off the last block moves to the front.
    const std::size_t used = frames_ * frameBytes_;
    if (carried_ > 0)
        std::memmove(buffer_.data(), buffer_.data() + used, carried_);
    std::size_t available = carried_;
    frames_ = 0;
    carried_ = 0;
    while (available < buffer_.size()) {
        const int n =
            read(buffer_.data() + available, static_cast<int>(buffer_.size() - available));
        if (n <= 0)
            break;
        available += static_cast<std::size_t>(n);
        if (!fill && available >= frameBytes_)
            break;
    }
    frames_ = available / frameBytes_;
    carried_ = available - frames_ * frameBytes_;
    return frames_;
}

void TPcmFrames::UnpackTo(std::int32_t* samples) const
{
    const std::size_t count = frames_ * static_cast<std::size_t>(channels_);
    const std::uint8_t* bytes = buffer_.data();
    switch (bits_ / 8) {
    case 1:
        // 8-bit PCM is unsigned.
        for (std::size_t i = 0; i < count; ++i)
            samples[i] = static_cast<std::int32_t>(bytes[i]) - 128;
        break;
    case 2:
        for (std::size_t i = 0; i < count; ++i, bytes += 2)
            samples[i] = static_cast<std::int16_t>(bytes[0] | bytes[1] << 8);
        break;
    case 3:
        for (std::size_t i = 0; i < count; ++i, bytes += 3) {
            const auto value =
                static_cast<std::uint32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16);
            samples[i] = static_cast<std::int32_t>(value << 8) >> 8;
        }
        break;
    default:
        for (std::size_t i = 0; i < count; ++i, bytes += 4)
            samples[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes[0]) |
                                                   static_cast<std::uint32_t>(bytes[1]) << 8 |
                                                   static_cast<std::uint32_t>(bytes[2]) << 16 |
                                                   static_cast<std::uint32_t>(bytes[3]) << 24);
        break;
    }
}

void TPcmFrames::UnpackTo(std::int16_t* samples) const
{
    const std::size_t count = frames_ * static_cast<std::size_t>(channels_);
    const std::uint8_t* bytes = buffer_.data();
    if (bits_ == 8) {
        for (std::size_t i = 0; i < count; ++i)
            samples[i] = static_cast<std::int16_t>((bytes[i] - 128) * 256);
        return;
    }
    for (std::size_t i = 0; i < count; ++i, bytes += 2)
        samples[i] = static_cast<std::int16_t>(bytes[0] | bytes[1] << 8);
}

} // namespace sonfeld
