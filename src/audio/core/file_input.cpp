#include "file_input.h"

#include <cmath>

#include "acs_exception.h"

namespace sonfeld {

int TACSFileIn::QueryFormat(const int& value)
{
    if (!Seekable())
        return value;
    OpenSourceFile();
    const int result = value;
    CloseSourceFile();
    return result;
}

int TACSFileIn::GetBitsPerSample()
{
    return QueryFormat(bitsPerSample_);
}
int TACSFileIn::GetChannels()
{
    return QueryFormat(channels_);
}
int TACSFileIn::GetSampleRate()
{
    return QueryFormat(sampleRate_);
}

int TACSFileIn::GetTotalSeconds()
{
    OpenSourceFile();
    int seconds = 0;
    const int bytesPerSample = bitsPerSample_ / 8;
    if (sampleRate_ != 0 && channels_ != 0 && bytesPerSample != 0) {
        const double perSecond = static_cast<double>(sampleRate_) * channels_ * bytesPerSample;
        seconds = static_cast<int>(std::nearbyint(static_cast<double>(Size()) / perSecond));
    }
    CloseSourceFile();
    return seconds;
}

void TACSFileIn::ForceClose()
{
    TACSStreamedInput::ForceClose();
    OpenCount = 0;
}

void TACSFileIn::OpenInput()
{
    if (Busy())
        throw EACSException("The component is buisy");
    if (!StreamAssigned && fileName_.empty())
        throw EACSException("The file name is not assigned");
    OpenSourceFile();
    if (startSample_ != 0)
        SeekSample(startSample_);
    if (startSample_ != 0 || endSample_ != -1) {
        const std::int64_t frames =
            endSample_ == -1 ? totalSamples_ - startSample_ : endSample_ - startSample_;
        size_.store(frames * (bitsPerSample_ / 8) * channels_);
    }
    busy_.store(true);
    BufStart = 1;
    BufEnd = 0;
    position_.store(0);
}

void TACSFileIn::CloseInput()
{
    CloseSourceFile();
    busy_.store(false);
}

} // namespace sonfeld
