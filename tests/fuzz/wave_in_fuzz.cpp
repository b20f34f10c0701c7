// Feeds arbitrary bytes to the WAV input as a file: header scan, every
// decoder, seeking and looping must stay inside their buffers.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "audio/core/acs_exception.h"
#include "audio/formats/wave/wave_in.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    sonfeld::TMemoryStream stream;
    stream.Write(data, size);
    stream.SetPosition(0);
    sonfeld::TWaveIn input;
    input.SetStream(&stream);
    if (size > 0 && (data[size - 1] & 1))
        input.SetStartSample(data[size - 1]);
    try {
        input.OpenInput();
        std::vector<std::uint8_t> buffer(4096);
        // Bounded: a looping or padded source could deliver for ever.
        for (int i = 0; i < 64; ++i)
            if (input.ReadPCM(buffer.data(), static_cast<int>(buffer.size())) == 0)
                break;
        input.CloseInput();
        (void)input.TotalSeconds();
    } catch (const sonfeld::EACSException&) {
        // Refusing bad input with an error is fine.
    }
    return 0;
}
