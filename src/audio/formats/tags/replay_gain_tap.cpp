#include "replay_gain_tap.h"

#include "audio/core/acs_exception.h"

namespace sonfeld {

TReplayGainTap::TReplayGainTap(TACSInput* source, TComponent* owner)
    : TACSInput(owner), source_(source)
{
    if (source_ != nullptr)
        source_->FreeNotification(this);
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
    if (Busy())
        throw EACSException("The component is buisy");
    if (source_ == nullptr)
        throw EACSException("Input is not assigned");
    source_->OpenInput();
    {
        std::lock_guard lock(mutex_);
        meter_.reset();
        problem_.clear();
        measured_ = 0;
        ended_ = false;
        expected_ = source_->Size();
        if (enabled_) {
            // A missing meter never stops the rip: the track is only not levelled.
            if (source_->BitsPerSample() != 16) {
                problem_ = "ReplayGain needs 16-bit PCM.";
            } else {
                try {
                    meter_ = std::make_unique<ReplayGainMeter>(
                        source_->Channels(), static_cast<unsigned>(source_->SampleRate()));
                } catch (const std::exception& e) {
                    problem_ = e.what();
                }
            }
        }
    }
    size_.store(source_->Size());
    position_.store(0);
    BufStart = 1;
    BufEnd = 0;
    busy_.store(true);
}

int TReplayGainTap::ReadPCM(void* buffer, int bufferSize)
{
    if (source_ == nullptr)
        return 0;
    const int count = source_->ReadPCM(buffer, bufferSize);
    std::lock_guard lock(mutex_);
    if (count > 0) {
        if (meter_)
            meter_->Add(buffer, static_cast<std::size_t>(count));
        measured_ += count;
        position_.fetch_add(count);
    } else if (bufferSize > 0) {
        ended_ = true;
    }
    return count;
}

void TReplayGainTap::CloseInput()
{
    if (source_ != nullptr && source_->Busy())
        source_->CloseInput();
    busy_.store(false);
}

std::unique_ptr<ReplayGainMeter> TReplayGainTap::TakeMeter()
{
    std::lock_guard lock(mutex_);
    const bool whole = expected_ >= 0 ? measured_ == expected_ : ended_;
    if (!whole) {
        meter_.reset();
        return nullptr;
    }
    return std::move(meter_);
}

std::string TReplayGainTap::Problem() const
{
    std::lock_guard lock(mutex_);
    return problem_;
}

void TReplayGainTap::Notification(TComponent* component, TOperation operation)
{
    TACSInput::Notification(component, operation);
    if (operation == TOperation::opRemove && component == source_)
        source_ = nullptr;
}

} // namespace sonfeld
