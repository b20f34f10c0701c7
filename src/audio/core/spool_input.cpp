#include "audio/core/spool_input.h"

#include <utility>

#include "audio/core/pcm_spool.h"

namespace sonfeld {

TSpoolIn::TSpoolIn(std::shared_ptr<PcmSpool> spool, int sampleRate, int channels, int bitsPerSample,
                   std::int64_t sizeBytes)
    : spool_(std::move(spool)), sampleRate_(sampleRate), channels_(channels),
      bitsPerSample_(bitsPerSample), sizeBytes_(sizeBytes)
{
}

TSpoolIn::~TSpoolIn()
{
    DetachFromReaders();
}

int TSpoolIn::GetTotalSeconds()
{
    const std::int64_t bytesPerSecond =
        static_cast<std::int64_t>(sampleRate_) * channels_ * (bitsPerSample_ / 8);
    return bytesPerSecond > 0 ? static_cast<int>(sizeBytes_ / bytesPerSecond) : 0;
}

void TSpoolIn::OpenInput()
{
    ended_ = false;
    size_.store(sizeBytes_);
    position_.store(0);
    BufStart = 1;
    BufEnd = 0;
    busy_.store(true);
}

int TSpoolIn::ReadPCM(void* buffer, int bufferSize)
{
    if (bufferSize <= 0 || ended_)
        return 0;
    const std::size_t count =
        spool_->Read(static_cast<std::uint8_t*>(buffer), static_cast<std::size_t>(bufferSize));
    if (count == 0)
        ended_ = true;
    position_.fetch_add(static_cast<std::int64_t>(count));
    return static_cast<int>(count);
}

void TSpoolIn::CloseInput()
{
    if (!ended_)
        spool_->Cancel();
    busy_.store(false);
}

} // namespace sonfeld
