#include "de_emphasis.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "audio/core/acs_exception.h"

namespace sonfeld {

namespace {
// y[n] = kGain * (x[n] - kZero * x[n-1]) + kPole * y[n-1]
constexpr double kZero = 0.18499;
constexpr double kPole = 0.625;
constexpr double kGain = (1.0 - kPole) / (1.0 - kZero); // unity at DC
} // namespace

void TDeEmphasis::Process(std::int16_t* samples, std::size_t frames)
{
    for (std::size_t frame = 0; frame < frames; ++frame) {
        for (std::size_t channel = 0; channel < 2; ++channel) {
            std::int16_t& sample = samples[(frame * 2) + channel];
            const double in = sample;
            const double out =
                (kGain * (in - (kZero * lastIn_.at(channel)))) + (kPole * lastOut_.at(channel));
            lastIn_.at(channel) = in;
            lastOut_.at(channel) = out;
            sample = static_cast<std::int16_t>(std::clamp(std::lround(out), -32768L, 32767L));
        }
    }
}

void TDeEmphasis::Reset()
{
    lastIn_.fill(0.0);
    lastOut_.fill(0.0);
}

TDeEmphasisIn::TDeEmphasisIn(TACSInput* source, TComponent* owner)
    : TPassThroughInput(source, owner)
{
}

TDeEmphasisIn::~TDeEmphasisIn()
{
    DetachFromReaders();
}

void TDeEmphasisIn::OpenInput()
{
    CheckCanOpen();
    TACSInput* source = Source();
    filtering_ = enabled_.load();
    if (filtering_ && (source->BitsPerSample() != 16 || source->Channels() != 2))
        throw EACSException("De-emphasis needs 16-bit stereo PCM.");
    source->OpenInput();
    filter_.Reset();
    partial_.clear();
    ready_.clear();
    readyAt_ = 0;
    BeginRun();
}

int TDeEmphasisIn::ReadPCM(void* buffer, int bufferSize)
{
    if (Source() == nullptr || bufferSize <= 0)
        return 0;
    if (!filtering_)
        return ReadSource(buffer, bufferSize);
    constexpr std::size_t kFrame = 4;
    while (readyAt_ == ready_.size()) {
        ready_.clear();
        readyAt_ = 0;
        scratch_.resize(std::max<std::size_t>(static_cast<std::size_t>(bufferSize), kFrame));
        const int count = Source()->ReadPCM(scratch_.data(), static_cast<int>(scratch_.size()));
        if (count <= 0) {
            // The end: a frame cut short cannot be filtered, only handed on.
            if (partial_.empty())
                return 0;
            ready_.swap(partial_);
            break;
        }
        ready_ = partial_;
        ready_.insert(ready_.end(), scratch_.begin(), scratch_.begin() + count);
        const std::size_t frames = ready_.size() / kFrame;
        partial_.assign(ready_.begin() + static_cast<std::ptrdiff_t>(frames * kFrame),
                        ready_.end());
        ready_.resize(frames * kFrame);
        if (frames == 0)
            continue; // not one whole frame yet: read on
        std::vector<std::int16_t> samples(frames * 2);
        std::memcpy(samples.data(), ready_.data(), ready_.size());
        filter_.Process(samples.data(), frames);
        std::memcpy(ready_.data(), samples.data(), ready_.size());
    }
    const std::size_t given =
        std::min(ready_.size() - readyAt_, static_cast<std::size_t>(bufferSize));
    std::memcpy(buffer, ready_.data() + readyAt_, given);
    readyAt_ += given;
    position_.fetch_add(static_cast<std::int64_t>(given));
    return static_cast<int>(given);
}

} // namespace sonfeld
