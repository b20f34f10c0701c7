#include "ima_adpcm.h"

#include <algorithm>
#include <cstring>

#include "wave_types.h"

namespace sonfeld {

namespace {

constexpr std::int16_t kStepTable[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr std::int8_t kIndexTable[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

void Advance(TImaChannelState& state, int step, std::uint8_t code)
{
    int delta = step / 8;
    if (code & 4)
        delta += step;
    if (code & 2)
        delta += step / 2;
    if (code & 1)
        delta += step / 4;
    if (code & 8)
        delta = -delta;
    // The lower bound is -32767 so that a coded signal stays symmetric.
    state.Predictor = static_cast<std::int16_t>(std::clamp(state.Predictor + delta, -32767, 32767));
    state.StepIndex =
        static_cast<std::uint8_t>(std::clamp(state.StepIndex + kIndexTable[code], 0, 88));
}

void WriteHeader(std::uint8_t* header, const TImaChannelState& state)
{
    WriteLE16(header, static_cast<std::uint16_t>(state.Predictor));
    header[2] = state.StepIndex;
    header[3] = 0;
}

void PutCode(std::uint8_t* byte, int i, std::uint8_t code)
{
    if (i % 2 == 0)
        *byte = static_cast<std::uint8_t>((*byte & 0xF0) | code);
    else
        *byte = static_cast<std::uint8_t>((*byte & 0x0F) | (code << 4));
}

} // namespace

std::uint8_t ImaEncodeSample(TImaChannelState& state, int sample)
{
    const int step = kStepTable[state.StepIndex];
    int diff = sample - state.Predictor;
    std::uint8_t code = 0;
    if (diff < 0) {
        code = 8;
        diff = -diff;
    }
    if (diff >= step) {
        code |= 4;
        diff -= step;
    }
    if (diff >= step / 2) {
        code |= 2;
        diff -= step / 2;
    }
    if (diff >= step / 4)
        code |= 1;
    Advance(state, step, code);
    return code;
}

std::int16_t ImaDecodeSample(TImaChannelState& state, std::uint8_t code)
{
    Advance(state, kStepTable[state.StepIndex], code & 0x0F);
    return state.Predictor;
}

int ImaSamplesPerBlock(int blockSize, int channels)
{
    return (2 / channels) * (blockSize - 4 * channels) + 1;
}

bool ImaBlockFits(int blockSize, int channels)
{
    if (channels == 1)
        return blockSize >= 4;
    if (channels == 2)
        return blockSize >= 8 && blockSize % 8 == 0;
    return false;
}

void EncodeMonoBlock(TImaChannelState& state, const std::uint8_t* samples, std::uint8_t* block,
                     int blockSize)
{
    std::memset(block, 0, static_cast<std::size_t>(blockSize));
    WriteHeader(block, state);
    const int codes = 2 * (blockSize - 4);
    for (int i = 0; i < codes; ++i) {
        const int sample = static_cast<std::int16_t>(ReadLE16(samples + 2 * i));
        PutCode(block + 4 + i / 2, i, ImaEncodeSample(state, sample));
    }
}

void EncodeStereoBlock(TImaChannelState (&state)[2], const std::uint8_t* samples,
                       std::uint8_t* block, int blockSize)
{
    std::memset(block, 0, static_cast<std::size_t>(blockSize));
    WriteHeader(block, state[0]);
    WriteHeader(block + 4, state[1]);
    const int codes = blockSize - 8;
    for (int channel = 0; channel < 2; ++channel) {
        const int groupOffset = channel == 0 ? 8 : 12;
        for (int i = 0; i < codes; ++i) {
            const int sample = static_cast<std::int16_t>(ReadLE16(samples + 4 * i + 2 * channel));
            const int k = i / 2;
            PutCode(block + groupOffset + 8 * (k / 4) + k % 4, i,
                    ImaEncodeSample(state[channel], sample));
        }
    }
}

bool DecodeImaBlock(const std::uint8_t* block, int blockSize, int channels, std::int16_t* output)
{
    TImaChannelState state[2];
    for (int c = 0; c < channels; ++c) {
        state[c].Predictor = static_cast<std::int16_t>(ReadLE16(block + 4 * c));
        if (block[4 * c + 2] > 88)
            return false;
        state[c].StepIndex = block[4 * c + 2];
        output[c] = state[c].Predictor;
    }
    if (channels == 1) {
        const int codes = 2 * (blockSize - 4);
        for (int i = 0; i < codes; ++i) {
            const std::uint8_t byte = block[4 + i / 2];
            output[1 + i] = ImaDecodeSample(state[0], i % 2 == 0 ? byte & 0x0F : byte >> 4);
        }
        return true;
    }
    const int codes = blockSize - 8;
    for (int channel = 0; channel < 2; ++channel) {
        const int groupOffset = channel == 0 ? 8 : 12;
        for (int i = 0; i < codes; ++i) {
            const int k = i / 2;
            const std::uint8_t byte = block[groupOffset + 8 * (k / 4) + k % 4];
            output[2 * (1 + i) + channel] =
                ImaDecodeSample(state[channel], i % 2 == 0 ? byte & 0x0F : byte >> 4);
        }
    }
    return true;
}

} // namespace sonfeld
