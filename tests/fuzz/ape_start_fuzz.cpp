// Feeds the compressor library what a caller hands to Start (the wave-format
// record, level and sizes), and, when Start would accept them, compresses the
// rest of the input as a frame of that format. Looks for crashes, undefined
// behaviour and frames larger than the library's own bound.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "format_constants.h"
#include "frame_encoder.h"
#include "start_parameters.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    constexpr std::size_t kFixed = sizeof(TWaveFormatEx) + 1 + 4;
    if (size < kFixed)
        return 0;
    TWaveFormatEx format{};
    std::memcpy(&format, data, sizeof(format));
    const int levels[] = {1000, 2000, 3000, 4000, 5000, 0, -1000, 2500};
    const int level = levels[data[sizeof(format)] % 8];
    std::int32_t maxAudioBytes = 0;
    std::memcpy(&maxAudioBytes, data + sizeof(format) + 1, 4);
    const std::uint8_t* pcm = data + kFixed;
    const std::size_t pcmBytes = size - kFixed;

    if (sonfeld::ape::CheckStartParameters(&format, level, maxAudioBytes, pcm,
                                           static_cast<int>(pcmBytes)) != 0)
        return 0;
    const std::uint32_t blocks = static_cast<std::uint32_t>(pcmBytes / format.nBlockAlign);
    if (blocks == 0)
        return 0;
    sonfeld::ape::FrameEncoder encoder(level, format.nChannels, format.wBitsPerSample, blocks);
    // Twice: the second frame must start from the same reset state.
    const auto first = encoder.Encode(pcm, blocks);
    const std::size_t firstSize = first.size();
    const auto second = encoder.Encode(pcm, blocks);
    if (second.size() != firstSize ||
        second.size() > sonfeld::ape::FrameEncoder::MaxFrameBytes(blocks, format.nChannels))
        std::abort();
    return 0;
}
