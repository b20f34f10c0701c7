// The header scan of the WAV output's append mode (and of the input) on
// arbitrary bytes: it must end, stay inside the stream and the 8192-byte bound.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "audio/formats/wave/wave_header_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    for (auto mode : {sonfeld::TWaveScanMode::Append, sonfeld::TWaveScanMode::Decode}) {
        sonfeld::TMemoryStream stream;
        stream.Write(data, size);
        stream.SetPosition(0);
        const auto info = sonfeld::ScanWaveHeader(stream, mode);
        if (info.Kind != sonfeld::wtUnsupported &&
            (info.DataStart < 0 || info.DataStart > static_cast<std::int64_t>(size) + 8 ||
             info.DataStart > 8192 + 16))
            std::abort();
    }
    return 0;
}
