#pragma once

#include <cstdint>

namespace sonfeld {

// Microsoft ADPCM (format tag 2), decoding side.
struct TMsAdpcmCoefficients {
    int Count = 0;
    std::int16_t Pairs[32][2] = {};
};

// Bytes one block needs for samplesPerBlock frames: the header and the codes.
int MsAdpcmBlockBytes(int samplesPerBlock, int channels);
// Frames one block decodes to (one channel decodes an even number).
int MsAdpcmDecodedFrames(int samplesPerBlock, int channels);

// Decodes one block (at least MsAdpcmBlockBytes bytes) into interleaved
// 16-bit samples in host order. Returns false when a predictor index lies
// outside the coefficient table.
bool DecodeMsAdpcmBlock(const std::uint8_t* block, int samplesPerBlock, int channels,
                        const TMsAdpcmCoefficients& coefficients, std::int16_t* output);

} // namespace sonfeld
