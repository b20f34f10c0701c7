#include "ms_adpcm.h"

#include <algorithm>
#include <climits>

#include "wave_types.h"

namespace sonfeld {

namespace {

constexpr int kAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                 768, 614, 512, 409, 307, 230, 230, 230};

struct TMsChannel {
    const std::int16_t* Pair = nullptr;
    int Delta = 0;
    int Sample1 = 0;
    int Sample2 = 0;
};

std::int16_t DecodeCode(TMsChannel& c, int code)
{
    const int signedCode = code >= 8 ? code - 16 : code;
    // Truncating toward zero, as C++ division does.
    const int predicted = (c.Sample1 * c.Pair[0] + c.Sample2 * c.Pair[1]) / 256;
    const int value = std::clamp(predicted + signedCode * c.Delta, -32768, 32767);
    // A hostile header could grow the step past what an int holds.
    c.Delta = std::clamp(c.Delta * kAdaptation[code] / 256, 16, INT_MAX / 768);
    c.Sample2 = c.Sample1;
    c.Sample1 = value;
    return static_cast<std::int16_t>(value);
}

} // namespace

int MsAdpcmBlockBytes(int samplesPerBlock, int channels)
{
    return channels == 1 ? 7 + (samplesPerBlock - 2) / 2 : 14 + (samplesPerBlock - 2);
}

int MsAdpcmDecodedFrames(int samplesPerBlock, int channels)
{
    return channels == 1 ? 2 + 2 * ((samplesPerBlock - 2) / 2) : samplesPerBlock;
}

bool DecodeMsAdpcmBlock(const std::uint8_t* block, int samplesPerBlock, int channels,
                        const TMsAdpcmCoefficients& coefficients, std::int16_t* output)
{
    TMsChannel state[2];
    for (int c = 0; c < channels; ++c) {
        const int index = block[c];
        if (index >= coefficients.Count)
            return false;
        state[c].Pair = coefficients.Pairs[index];
        state[c].Delta = static_cast<std::int16_t>(ReadLE16(block + channels + 2 * c));
        state[c].Sample1 = static_cast<std::int16_t>(ReadLE16(block + 3 * channels + 2 * c));
        state[c].Sample2 = static_cast<std::int16_t>(ReadLE16(block + 5 * channels + 2 * c));
        output[c] = static_cast<std::int16_t>(state[c].Sample2);
        output[channels + c] = static_cast<std::int16_t>(state[c].Sample1);
    }
    std::int16_t* out = output + 2 * channels;
    const std::uint8_t* data = block + 7 * channels;
    const int dataBytes = channels == 1 ? (samplesPerBlock - 2) / 2 : samplesPerBlock - 2;
    for (int i = 0; i < dataBytes; ++i) {
        const int high = data[i] >> 4;
        const int low = data[i] & 0x0F;
        if (channels == 1) {
            *out++ = DecodeCode(state[0], high);
            *out++ = DecodeCode(state[0], low);
        } else {
            *out++ = DecodeCode(state[0], high);
            *out++ = DecodeCode(state[1], low);
        }
    }
    return true;
}

} // namespace sonfeld
