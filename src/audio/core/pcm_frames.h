#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace sonfeld {

// Reads an input's PCM in whole frames. A read may end inside a frame; the
// bytes of that frame wait for the next block, so channels never slip. The
// bytes of an incomplete frame at the very end are dropped: no encoder can
// take half a frame. Used by one thread at a time (the output's worker).
class TPcmFrames {
public:
    // Reads at most count bytes into buffer; 0 at the end of the input.
    using Reader = std::function<int(void* buffer, int count)>;

    // Sets up blocks of framesPerBlock frames of the given format.
    void Start(int channels, int bitsPerSample, std::size_t framesPerBlock);
    // Reads the next block. Without fill, one read that yields at least one
    // whole frame is enough; with fill, reads go on until the block is full
    // or the input has ended. Returns the frames read: 0 only at the end.
    std::size_t Next(const Reader& read, bool fill);

    const std::uint8_t* Bytes() const { return buffer_.data(); }
    std::size_t FrameCount() const { return frames_; }
    std::size_t ByteCount() const { return frames_ * frameBytes_; }
    std::size_t FramesPerBlock() const { return framesPerBlock_; }
    int Channels() const { return channels_; }
    int BitsPerSample() const { return bits_; }

    // The samples of the block, interleaved: 8-bit PCM (unsigned) centred on
    // zero, the wider widths sign-extended from little-endian.
    void UnpackTo(std::int32_t* samples) const;
    // The same scaled to 16 bits (8-bit samples are shifted up).
    void UnpackTo(std::int16_t* samples) const;

private:
    std::vector<std::uint8_t> buffer_;
    std::size_t framesPerBlock_ = 0;
    std::size_t frameBytes_ = 4;
    std::size_t frames_ = 0;
    std::size_t carried_ = 0; // bytes of a cut frame kept after the block's frames
    int channels_ = 2;
    int bits_ = 16;
};

} // namespace sonfeld
