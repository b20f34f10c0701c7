#include "replay_gain.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <ebur128.h>

#include "audio/core/library_binding.h"
#include "tag_writer.h"

namespace sonfeld {

namespace {

#define SONFELD_EBUR128_ENTRY_POINTS(X)                                                            \
    X(ebur128_init)                                                                                \
    X(ebur128_destroy)                                                                             \
    X(ebur128_add_frames_short)                                                                    \
    X(ebur128_change_parameters)                                                                   \
    X(ebur128_loudness_global)                                                                     \
    X(ebur128_loudness_global_multiple)                                                            \
    X(ebur128_sample_peak)

struct Ebur128EntryPoints {
    SONFELD_ENTRY_POINTS_AS_GIVEN(SONFELD_EBUR128_ENTRY_POINTS, SONFELD_REQUIRED_ENTRY_POINT,
                                  "ebur128.dll", "libebur128.so.1")
};

constexpr double kReferenceLoudness = -18.0; // LUFS
// The lowest rate libebur128 takes: a finished meter's sample window at it is a few bytes.
constexpr unsigned long kFinishedRate = 16;

} // namespace

bool ReplayGainAvailable()
{
    return CurrentBinding<Ebur128EntryPoints>()->Loaded();
}

std::string ReplayGainMissingText()
{
    return CurrentBinding<Ebur128EntryPoints>()->NotLoadedMessage();
}

bool BindReplayGainLibrary(const std::string& fileName)
{
    return LoadBinding<Ebur128EntryPoints>(fileName);
}

std::string DefaultReplayGainLibrary()
{
    return Ebur128EntryPoints::DefaultFileName();
}

std::string GainText(double gain)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f dB", gain);
    return text;
}

std::string PeakText(double peak)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", peak);
    return text;
}

struct ReplayGainMeter::State {
    std::shared_ptr<const BoundLibrary<Ebur128EntryPoints>> library; // kept loaded while measuring
    ebur128_state* meter = nullptr;
    unsigned channels = 0;
    std::vector<std::uint8_t> partial; // the start of a frame the last block cut off
    // A fixed piece at a time: the meter lives on until the album is done,
    // so nothing here may grow with the blocks it was given.
    std::vector<std::int16_t> samples;
    bool finished = false;
    ReplayGainValues track;  // once finished
    bool albumUsable = true; // false: a failed Finish left the state unusable

    void Feed(const std::uint8_t* bytes, std::size_t frames)
    {
        const std::size_t perPiece = samples.size() / channels;
        while (frames > 0) {
            const std::size_t n = std::min(frames, perPiece);
            const std::size_t count = n * channels;
            if constexpr (std::endian::native == std::endian::little) {
                std::memcpy(samples.data(), bytes, count * 2);
            } else {
                for (std::size_t i = 0; i < count; ++i)
                    samples[i] =
                        static_cast<std::int16_t>(bytes[2 * i] | (bytes[(2 * i) + 1] << 8));
            }
            library->entry().ebur128_add_frames_short(meter, samples.data(), n);
            bytes += count * 2;
            frames -= n;
        }
    }

    ~State()
    {
        if (meter != nullptr)
            library->entry().ebur128_destroy(&meter);
    }
};

ReplayGainMeter::ReplayGainMeter(int channels, unsigned sampleRate)
    : state_(std::make_unique<State>())
{
    state_->library = CurrentBinding<Ebur128EntryPoints>();
    state_->library->RequireLoaded();
    state_->channels = static_cast<unsigned>(std::max(channels, 1));
    state_->samples.resize(std::size_t{4096} * state_->channels);
    state_->meter = state_->library->entry().ebur128_init(
        state_->channels, sampleRate, EBUR128_MODE_I | EBUR128_MODE_SAMPLE_PEAK);
    if (state_->meter == nullptr)
        throw ELibraryNotLoaded("The loudness meter could not be set up.");
}

ReplayGainMeter::~ReplayGainMeter() = default;

void ReplayGainMeter::Add(const void* pcm, std::size_t bytes)
{
    State& s = *state_;
    if (s.finished)
        return; // its buffers are gone; a finished track takes no more audio
    const std::size_t frameBytes = 2 * s.channels;
    const auto* in = static_cast<const std::uint8_t*>(pcm);
    if (!s.partial.empty()) {
        const std::size_t take = std::min(bytes, frameBytes - s.partial.size());
        s.partial.insert(s.partial.end(), in, in + take);
        in += take;
        bytes -= take;
        if (s.partial.size() < frameBytes)
            return;
        s.Feed(s.partial.data(), 1);
        s.partial.clear();
    }
    const std::size_t frames = bytes / frameBytes;
    s.Feed(in, frames);
    s.partial.assign(in + (frames * frameBytes), in + bytes);
}

namespace {

double Peak(const BoundLibrary<Ebur128EntryPoints>& library, ebur128_state* meter,
            unsigned channels)
{
    double peak = 0;
    for (unsigned c = 0; c < channels; ++c) {
        double channelPeak = 0;
        if (library.entry().ebur128_sample_peak(meter, c, &channelPeak) == EBUR128_SUCCESS)
            peak = std::max(peak, channelPeak);
    }
    return peak;
}

ReplayGainValues Values(double loudness, double peak)
{
    // Silence has no loudness: -inf, which no tag can hold.
    if (!std::isfinite(loudness))
        return {};
    return {kReferenceLoudness - loudness, peak, true};
}

} // namespace

void ReplayGainMeter::Finish()
{
    State& s = *state_;
    if (s.finished)
        return;
    s.track = Track();
    s.finished = true;
    s.partial = {};
    s.samples = {};
    // A meter is kept until the album is done, and its sample window (about
    // 300 KB) is only needed while audio comes. A lower rate shrinks it to
    // nothing; libebur128 keeps the finished blocks and the peaks, which is
    // all the track and album values need.
    s.albumUsable = s.library->entry().ebur128_change_parameters(s.meter, s.channels,
                                                                 kFinishedRate) == EBUR128_SUCCESS;
}

ReplayGainValues ReplayGainMeter::Track() const
{
    const State& s = *state_;
    if (s.finished)
        return s.track;
    double loudness = 0;
    if (s.library->entry().ebur128_loudness_global(s.meter, &loudness) != EBUR128_SUCCESS)
        return {};
    return Values(loudness, Peak(*s.library, s.meter, s.channels));
}

ReplayGainValues ReplayGainMeter::Album(const std::vector<const ReplayGainMeter*>& tracks)
{
    if (tracks.empty())
        return {};
    std::vector<ebur128_state*> meters;
    double peak = 0;
    for (const ReplayGainMeter* track : tracks) {
        if (!track->state_->albumUsable)
            return {};
        meters.push_back(track->state_->meter);
        peak = std::max(
            peak, Peak(*track->state_->library, track->state_->meter, track->state_->channels));
    }
    double loudness = 0;
    if (tracks.front()->state_->library->entry().ebur128_loudness_global_multiple(
            meters.data(), meters.size(), &loudness) != EBUR128_SUCCESS)
        return {};
    return Values(loudness, peak);
}

std::vector<std::string> WriteAlbumGain(const std::vector<std::string>& files,
                                        const ReplayGainValues& album, int id3Version,
                                        const std::function<void(std::size_t)>& beforeFile)
{
    std::vector<std::string> failures;
    if (!album.valid)
        return failures;
    TrackTags tags;
    tags.replayGainAlbumGain = GainText(album.gain);
    tags.replayGainAlbumPeak = PeakText(album.peak);
    tags.id3Version = id3Version;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (beforeFile)
            beforeFile(i);
        // The tag library writes a copy and renames it over the file.
        const TagWriteResult result = WriteTags(files[i], tags);
        if (!result.written)
            failures.push_back(files[i] + ": " + result.message);
    }
    return failures;
}

} // namespace sonfeld
