#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/core/file_input.h"
#include "ima_adpcm.h"
#include "ms_adpcm.h"
#include "wave_types.h"

namespace sonfeld {

// Decodes RIFF WAVE files into PCM: plain PCM, DVI/IMA ADPCM, Microsoft ADPCM,
// and MPEG layer 3 data, which is converted whole into memory when the file
// is opened. Files whose header is not understood, or whose parameters would
// not fit the decoder's buffers, open with Valid() false and deliver nothing.
//
// Threads: opened on the caller of an output's Run; ReadPCM on the worker.
class TWaveIn final : public TACSFileIn {
public:
    explicit TWaveIn(TComponent* owner = nullptr);
    ~TWaveIn() override;

    TWavType Kind() const { return kind_; }

    // Raises "The Stream is not opened" unless the input is open. The ADPCM
    // kinds deliver every decoded block whole, the padding of the last one too.
    int ReadPCM(void* buffer, int bufferSize) override;
    void OpenSourceFile() override;
    void CloseSourceFile() override;
    // ADPCM seeks land on the start of the block that holds the sample.
    bool SeekSample(std::int64_t sample) override;

private:
    void ScanHeader();
    bool ConvertAcm();
    void ReleaseStreams();
    int RefillPcm();
    int RefillAdpcm();

    std::array<std::uint8_t, 16384> DecodeBuffer{};
    TWavType kind_ = wtUnsupported;
    // IMA ADPCM parameters.
    int imaBlockAlign_ = 0;
    int imaSamplesPerBlock_ = 0;
    // Parameters of the other kinds.
    int blockAlign_ = 0;
    int samplesPerBlock_ = 0;
    TMsAdpcmCoefficients coefficients_;
    std::uint32_t factCount_ = 0;
    std::int64_t dataStart_ = 0;
    std::vector<std::uint8_t> blockBuffer_;
    std::vector<std::int16_t> decodedBlock_;
    // For MPEG layer 3 files: the converted PCM WAV and the stream it stands in for.
    std::unique_ptr<TMemoryStream> ConvertedStream;
    std::unique_ptr<TStream> replacedOwnedStream_;
    TStream* replacedStream_ = nullptr;
    bool replacedAssigned_ = false;
    // The message of a conversion that failed for want of its library.
    std::string libraryError_;
};

} // namespace sonfeld
