#include "start_parameters.h"

#include <cstdint>

#include "format_constants.h"

namespace sonfeld::ape {

int CheckStartParameters(const TWaveFormatEx* format, int level, int maxAudioBytes,
                         const void* headerData, int headerBytes)
{
    if (format == nullptr)
        return APE_ERROR_INVALID_FUNCTION_PARAMETER;
    constexpr std::uint16_t kPcm = 1;
    if (format->wFormatTag != kPcm)
        return APE_ERROR_UNSUPPORTED_FILE_TYPE;
    if (format->nChannels != 1 && format->nChannels != 2)
        return APE_ERROR_INPUT_FILE_UNSUPPORTED_CHANNEL_COUNT;
    const unsigned bits = format->wBitsPerSample;
    if (bits != 8 && bits != 16 && bits != 24)
        return APE_ERROR_INPUT_FILE_UNSUPPORTED_BIT_DEPTH;
    if (format->nSamplesPerSec == 0)
        return APE_ERROR_INPUT_FILE_UNSUPPORTED_SAMPLE_RATE;
    // The record must describe one consistent layout: a block of every
    // channel's sample, and the byte rate it implies.
    const std::uint32_t blockAlign = format->nChannels * bits / 8;
    if (format->nBlockAlign != blockAlign ||
        format->nAvgBytesPerSec != static_cast<std::uint64_t>(format->nSamplesPerSec) * blockAlign)
        return APE_ERROR_INVALID_INPUT_FILE;
    if (!IsSupportedLevel(level))
        return APE_ERROR_BAD_PARAMETER;
    if (maxAudioBytes < -1)
        return APE_ERROR_INVALID_FUNCTION_PARAMETER;
    if (headerData != nullptr) {
        if (headerBytes < 0)
            return APE_ERROR_INVALID_FUNCTION_PARAMETER;
        if (static_cast<std::uint32_t>(headerBytes) > kMaxStoredBytes)
            return APE_ERROR_INPUT_FILE_TOO_LARGE;
    }
    return APE_ERROR_SUCCESS;
}

} // namespace sonfeld::ape
