#pragma once

#include <cstdint>
#include <vector>

#include "audio/core/stream.h"
#include "wave_types.h"

namespace sonfeld {

// What a scan of a WAV file's header found. Offsets are from the start of
// the stream; a position of -1 means the chunk was not met.
struct TWaveHeaderInfo {
    TWavType Kind = wtUnsupported;
    std::uint16_t FormatTag = 0;
    int Channels = 0;
    int SampleRate = 0;
    int BlockAlign = 0;
    int BitsPerSample = 0;
    std::vector<std::uint8_t> FmtBody; // the fmt chunk's body as stored
    std::int64_t FactValuePosition = -1;
    std::uint32_t FactValue = 0;
    std::int64_t DataSizePosition = -1;
    std::uint32_t DataSize = 0;
    std::int64_t DataStart = -1;
};

// Which format tags a scan accepts, and so which kinds need a fact chunk.
enum class TWaveScanMode {
    Append,  // PCM and IMA ADPCM; only IMA ADPCM needs "fact"
    Decode,  // PCM, IMA ADPCM, Microsoft ADPCM, MPEG layer 3; all but PCM need "fact"
    Convert, // the source of a converter: any tag, see below
};

// Scans from the stream's current position (the start of the file), reading
// strictly forward. Identifiers match byte by byte when equal or 32 apart, so
// letter case is ignored; "RIFF" and "WAVE" are found by a window sliding one
// byte at a time; other chunks are passed over by their size without a pad
// byte. The scan gives up (Kind = wtUnsupported) at the end of the stream or
// after 8192 bytes. On success the stream stands at the first audio byte.
//
// Convert walks differently: from position 0, "RIFF" and "WAVE" exactly (case
// counts) at the start, then an 8-byte window of identifier and size that
// moves on one byte after every position that is not a chunk and starts again
// 7 bytes before the end of each body it reads, to the end of the stream. The
// last "fmt " gives FmtBody (as much as is stored), FormatTag and Kind; the
// last "data" of non-zero size gives DataStart and DataSize (the bytes
// present). Kind stays wtUnsupported without "fmt "; the position is left
// anywhere.
TWaveHeaderInfo ScanWaveHeader(TStream& stream, TWaveScanMode mode);

} // namespace sonfeld
