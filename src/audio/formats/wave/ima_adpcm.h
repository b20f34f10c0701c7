#pragma once

#include <cstdint>

namespace sonfeld {

// DVI/IMA ADPCM, 4 bits per sample, in the block layout of WAV files
// (format tag 17): per channel a 4-byte header (predictor, step index, 0),
// then the codes; for two channels the codes come in 4-byte groups
// alternating left and right, 8 samples of one channel per group.
struct TImaChannelState {
    std::int16_t Predictor = 0;
    std::uint8_t StepIndex = 0; // 0..88
};

// Codes one sample and moves the state on; returns the 4-bit code.
std::uint8_t ImaEncodeSample(TImaChannelState& state, int sample);
// Decodes one code and moves the state on; returns the new predictor.
std::int16_t ImaDecodeSample(TImaChannelState& state, std::uint8_t code);

// Sample frames one block holds: 2 * (blockSize - 4) + 1 for one channel,
// blockSize - 7 for two.
int ImaSamplesPerBlock(int blockSize, int channels);
// True when blockSize fits the block layout for this channel count.
bool ImaBlockFits(int blockSize, int channels);

// samples points at the block's second sample (little-endian 16-bit) and holds
// 2 * (blockSize - 4) samples; the caller has set state.Predictor to the
// block's first sample. Writes all blockSize bytes of block.
void EncodeMonoBlock(TImaChannelState& state, const std::uint8_t* samples, std::uint8_t* block,
                     int blockSize);
// samples points at the block's second frame (interleaved left, right) and
// holds blockSize - 8 frames; both predictors are set to the first frame.
void EncodeStereoBlock(TImaChannelState (&state)[2], const std::uint8_t* samples,
                       std::uint8_t* block, int blockSize);

// Decodes one whole block of blockSize bytes into interleaved 16-bit samples
// (host order); output holds ImaSamplesPerBlock(blockSize, channels) frames.
// The block must fit (ImaBlockFits). Returns false when the header's step
// index is out of range.
bool DecodeImaBlock(const std::uint8_t* block, int blockSize, int channels, std::int16_t* output);

} // namespace sonfeld
