#pragma once

#include <array>
#include <cstdint>

#include "audio/core/stream.h"

namespace sonfeld {

// Converts the MPEG layer 3 data of a WAV file (format tag 85) into PCM in
// memory; its own content is the audio data. Decoding is done by libmpg123,
// loaded at run time.
class TWaveConverter : public TMemoryStream {
public:
    static constexpr int kFormatRecordSize = 129;
    // Returned when no PCM format fits the source or its data cannot be decoded.
    static constexpr int kConversionNotPossible = 512;

    TWaveConverter();

    // Finds the fmt and data chunks of a WAV file ("RIFF" and "WAVE" in upper
    // case only) and takes the format and the data as its content.
    void ReadSourceWave(TStream& source);
    // Fills TargetFormat with the PCM format the source decodes to; 0 or an error code.
    int SuggestTargetFormat();
    // Decodes the content into PCM of TargetFormat, which becomes the content
    // and the source format. 0 or an error code; raises ELibraryNotLoaded when
    // libmpg123 is missing.
    int ConvertData();
    // Writes a PCM WAV file of the content into dest.
    void WritePCMWave(TStream& dest);

    int FormatSizeLimit = kFormatRecordSize;
    std::array<std::uint8_t, kFormatRecordSize> SourceFormat{};
    std::array<std::uint8_t, kFormatRecordSize> TargetFormat{};
};

} // namespace sonfeld
