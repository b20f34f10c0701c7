#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "audio/core/pass_through_input.h"
#include "replay_gain.h"

namespace sonfeld {

// Sits between a PCM source and its reader (the checksum tap, an output) and
// measures each run's loudness on the way, so a track's ReplayGain comes from
// the read itself, without a second pass over the file.
//
// Off, or without libebur128, it only passes the data on. TakeMeter hands
// over the last run's measurement once the run delivered the whole track.
//
// Threads: as any input. SetEnabled between runs; TakeMeter from any thread.
class TReplayGainTap final : public TPassThroughInput {
public:
    explicit TReplayGainTap(TACSInput* source, TComponent* owner = nullptr);
    ~TReplayGainTap() override;
    TReplayGainTap(const TReplayGainTap&) = delete;
    TReplayGainTap& operator=(const TReplayGainTap&) = delete;

    void SetEnabled(bool enabled);
    bool Enabled() const;

    void OpenInput() override;
    int ReadPCM(void* buffer, int bufferSize) override;

    // The last run's meter when it measured the whole track (every byte of
    // the source's size, or to its end when the size is unknown); null when
    // it was off, stopped short or had no libebur128. Taken once.
    std::unique_ptr<ReplayGainMeter> TakeMeter();
    // Why the last run was not measured; empty when it was or when off.
    std::string Problem() const;

private:
    mutable std::mutex mutex_; // guards everything below
    bool enabled_ = false;
    std::unique_ptr<ReplayGainMeter> meter_;
    std::int64_t expected_ = -1; // bytes the run should deliver; -1 unknown
    std::int64_t measured_ = 0;
    bool ended_ = false; // the source reported its end
    std::string problem_;
};

} // namespace sonfeld
