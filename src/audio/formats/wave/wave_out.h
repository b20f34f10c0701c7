#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "audio/core/output.h"
#include "ima_adpcm.h"
#include "wave_header_scan.h"
#include "wave_types.h"

namespace sonfeld {

// Writes RIFF WAVE files with PCM data (wtPCM, a 44-byte header) or DVI/IMA
// ADPCM data (wtDVIADPCM, a 60-byte header, blocks of BlockSize bytes), and
// can append audio of the same format to an existing file (foAppend).
//
// Threads: PrepareOutput on the caller of Run; OutputBlock and FinishOutput on
// the worker. The setters ignore new values while a run is in progress.
class TWaveOut final : public TACSFileOut {
public:
    explicit TWaveOut(TComponent* owner = nullptr);
    ~TWaveOut() override;

    TWavType WavType() const { return wavType_; }
    // Takes wtPCM or wtDVIADPCM when idle; anything else is ignored.
    void SetWavType(TWavType value);
    std::uint16_t BlockSize() const { return blockSize_; }
    // Takes a non-zero multiple of 4 when idle; anything else is ignored.
    void SetBlockSize(std::uint16_t value);
    void SetFileMode(TFileOutputMode value) override;

protected:
    void StartEncoding(TACSInput& input) override;
    bool EncodeBlock() override;
    void CompleteFile() override;

private:
    // The format of the file being appended to, as its header scan found it.
    struct TExistingHeader {
        std::int64_t SampleRate = 0;
        int Channels = 0;
        int BitsPerSample = 0;
        std::int64_t FactValuePosition = -1;
        std::int64_t DataSizePosition = -1;
        TWavType Kind = wtUnsupported;
        std::int64_t DataStart = 0;
    };

    void ReadExistingHeader();
    void StartAdpcm(bool appending);
    // Frames of the input as the ADPCM header counts them.
    std::int64_t AdpcmFrames() const;
    // The data size the header written at the start of a run claims.
    std::uint32_t StartHeaderDataSize() const;
    std::array<std::uint8_t, 44> FillPCMHeader() const;
    std::array<std::uint8_t, 60> FillADPCMHeader() const;
    bool WritePcmBlock();
    bool WriteAdpcmBlock();
    void CompleteHeaders();

    TWavType wavType_ = wtPCM;
    std::uint16_t blockSize_ = 512;

    // Worker-owned while a run is in progress.
    std::array<std::uint8_t, 16384> PCMBuffer{};
    TImaChannelState ChannelState[2];
    TExistingHeader ExistingHeader;
    int sampleRate_ = 0;
    int channels_ = 0;
    int bitsPerSample_ = 0;
    std::int64_t inputSize_ = 0;
    std::vector<std::uint8_t> adpcmInput_; // one block's frames, padded with silence
    std::vector<std::uint8_t> adpcmBlock_;
};

} // namespace sonfeld
