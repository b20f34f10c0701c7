#include "replay_gain_tap.h"

#include "audio/core/acs_exception.h"

namespace sonfeld {

TReplayGainTap::TReplayGainTap(TACSInput* source, TComponent* owner)
    : TPassThroughInput(source, owner)
{
}

TReplayGainTap::~TReplayGainTap()
{
    DetachFromReaders();
}

void TReplayGainTap::SetEnabled(bool enabled)
{
    std::lock_guard lock(mutex_);
    enabled_ = enabled;
}

bool TReplayGainTap::Enabled() const
{
    std::lock_guard lock(mutex_);
    return enabled_;
}

void TReplayGainTap::OpenInput()
{
    CheckCanOpen();
    TACSInput* source = Source();
    source->OpenInput();
    {
        std::lock_guard lock(mutex_);
        meter_.reset();
        problem_.clear();
        measured_ = 0;
        ended_ = false;
        expected_ = source->Size();
        if (enabled_) {
            // A missing meter never stops the rip: the track is only not levelled.
            if (source->BitsPerSample() != 16) {
                problem_ = "ReplayGain needs 16-bit PCM.";
            } else {
                try {
                    meter_ = std::make_unique<ReplayGainMeter>(
                        source->Channels(), static_cast<unsigned>(source->SampleRate()));
                } catch (const std::exception& e) {
                    problem_ = e.what();
                }
            }
        }
    }
    BeginRun();
}

int TReplayGainTap::ReadPCM(void* buffer, int bufferSize)
{
    if (Source() == nullptr)
        return 0;
    const int count = ReadSource(buffer, bufferSize);
    std::lock_guard lock(mutex_);
    if (count > 0) {
        if (meter_)
            meter_->Add(buffer, static_cast<std::size_t>(count));
        measured_ += count;
    } else if (bufferSize > 0) {
        ended_ = true;
    }
    return count;
}

std::unique_ptr<ReplayGainMeter> TReplayGainTap::TakeMeter()
{
    std::lock_guard lock(mutex_);
    const bool whole = expected_ >= 0 ? measured_ == expected_ : ended_;
    if (!whole) {
        meter_.reset();
        return nullptr;
    }
    if (meter_)
        meter_->Finish();
    return std::move(meter_);
}

std::string TReplayGainTap::Problem() const
{
    std::lock_guard lock(mutex_);
    return problem_;
}

} // namespace sonfeld
