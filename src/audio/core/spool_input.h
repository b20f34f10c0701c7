#pragma once

#include <cstdint>
#include <memory>

#include "audio/core/input.h"

namespace sonfeld {

class PcmSpool;

// The PCM a pump put into a spool, as an input an output can encode. Its
// format and size are the source's, given at construction, so an encoder can
// start (and show its progress) before the source has been read to the end.
// Reads wait for the pump; a source that failed fails the encoder's run with
// the source's message.
class TSpoolIn final : public TACSInput {
public:
    TSpoolIn(std::shared_ptr<PcmSpool> spool, int sampleRate, int channels, int bitsPerSample,
             std::int64_t sizeBytes);
    ~TSpoolIn() override;

    int GetBitsPerSample() override { return bitsPerSample_; }
    int GetChannels() override { return channels_; }
    int GetSampleRate() override { return sampleRate_; }
    int GetTotalSeconds() override;

    void OpenInput() override;
    int ReadPCM(void* buffer, int bufferSize) override;
    // An encoder that ends early lets the pump drop the rest.
    void CloseInput() override;

private:
    std::shared_ptr<PcmSpool> spool_;
    const int sampleRate_;
    const int channels_;
    const int bitsPerSample_;
    const std::int64_t sizeBytes_;
    bool ended_ = false;
};

} // namespace sonfeld
