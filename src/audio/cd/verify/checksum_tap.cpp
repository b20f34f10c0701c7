#include "checksum_tap.h"

#include "audio/core/acs_exception.h"

namespace sonfeld::verify {

TChecksumTap::TChecksumTap(TACSInput* source, TComponent* owner) : TACSInput(owner), source_(source)
{
    if (source_ != nullptr)
        source_->FreeNotification(this);
}

void TChecksumTap::SetTrack(TrackPlace place, std::int64_t samples)
{
    if (Busy())
        throw EACSException("The component is buisy");
    place_ = place;
    samples_ = samples;
}

void TChecksumTap::OpenInput()
{
    if (Busy())
        throw EACSException("The component is buisy");
    if (source_ == nullptr)
        throw EACSException("Input is not assigned");
    source_->OpenInput();
    std::int64_t samples = samples_;
    if (samples < 0 && source_->Size() >= 0)
        samples = source_->Size() / kBytesPerSample;
    const char* problem = nullptr;
    if (samples < 0)
        problem = "The track length is unknown";
    else if (source_->BitsPerSample() != 16 || source_->Channels() != 2 ||
             source_->SampleRate() != 44100)
        problem = "Checksums need 16-bit stereo PCM at 44100 Hz";
    if (problem != nullptr) {
        source_->ForceClose();
        throw EACSException(problem);
    }
    {
        std::lock_guard lock(mutex_);
        accumulator_.emplace(samples, place_);
    }
    size_.store(source_->Size());
    position_.store(0);
    BufStart = 1;
    BufEnd = 0;
    busy_.store(true);
}

int TChecksumTap::ReadPCM(void* buffer, int bufferSize)
{
    if (source_ == nullptr)
        return 0;
    const int count = source_->ReadPCM(buffer, bufferSize);
    if (count > 0) {
        std::lock_guard lock(mutex_);
        accumulator_->Add(buffer, static_cast<std::size_t>(count));
        position_.fetch_add(count);
    }
    return count;
}

void TChecksumTap::CloseInput()
{
    if (source_ != nullptr && source_->Busy())
        source_->CloseInput();
    busy_.store(false);
}

std::optional<TrackChecksums> TChecksumTap::Checksums() const
{
    std::lock_guard lock(mutex_);
    if (!accumulator_)
        return std::nullopt;
    return accumulator_->Result();
}

void TChecksumTap::Notification(TComponent* component, TOperation operation)
{
    TACSInput::Notification(component, operation);
    if (operation == TOperation::opRemove && component == source_)
        source_ = nullptr;
}

} // namespace sonfeld::verify
