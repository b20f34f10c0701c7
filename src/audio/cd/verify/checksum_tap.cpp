#include "checksum_tap.h"

#include "audio/core/acs_exception.h"

namespace sonfeld::verify {

TChecksumTap::TChecksumTap(TACSInput* source, TComponent* owner) : TPassThroughInput(source, owner)
{
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
    CheckCanOpen();
    TACSInput* source = Source();
    source->OpenInput();
    std::int64_t samples = samples_;
    if (samples < 0 && source->Size() >= 0)
        samples = source->Size() / kBytesPerSample;
    const char* problem = nullptr;
    if (samples < 0)
        problem = "The track length is unknown";
    else if (source->BitsPerSample() != 16 || source->Channels() != 2 ||
             source->SampleRate() != 44100)
        problem = "Checksums need 16-bit stereo PCM at 44100 Hz";
    if (problem != nullptr) {
        source->ForceClose();
        throw EACSException(problem);
    }
    {
        std::lock_guard lock(mutex_);
        accumulator_.emplace(samples, place_);
    }
    BeginRun();
}

int TChecksumTap::ReadPCM(void* buffer, int bufferSize)
{
    const int count = ReadSource(buffer, bufferSize);
    if (count > 0) {
        std::lock_guard lock(mutex_);
        accumulator_->Add(buffer, static_cast<std::size_t>(count));
    }
    return count;
}

std::optional<TrackChecksums> TChecksumTap::Checksums() const
{
    std::lock_guard lock(mutex_);
    if (!accumulator_)
        return std::nullopt;
    return accumulator_->Result();
}

} // namespace sonfeld::verify
