#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "audio/core/pass_through_input.h"

namespace sonfeld {

// Undoes a CD's pre-emphasis (time constants 50 and 15 µs) on 16-bit stereo
// PCM at 44.1 kHz: a first-order shelf, unity at DC, about -10 dB at the top
// of the band. Its pole and zero are fitted to the analytic curve, which it
// follows within 0.1 dB from 10 Hz to 20 kHz (the bilinear transform alone
// misses it by a decibel at 16 kHz). For the encoder's copy of the audio
// only: checksums are always taken from the audio as read.
class TDeEmphasis {
public:
    // Filters interleaved left/right frames in place; the state carries over
    // from one call to the next.
    void Process(std::int16_t* samples, std::size_t frames);
    // Forgets the state: the next call starts a new track.
    void Reset();

private:
    std::array<double, 2> lastIn_{};
    std::array<double, 2> lastOut_{};
};

// Sits between a 16-bit stereo source and the encoder: while enabled, each
// run's audio comes out de-emphasised, the filter starting afresh at every
// OpenInput (one run, one track); disabled, it passes the bytes on as they
// are. Checksums and other taps belong before it.
//
// Threads: as any input; SetEnabled between runs.
class TDeEmphasisIn final : public TPassThroughInput {
public:
    explicit TDeEmphasisIn(TACSInput* source, TComponent* owner = nullptr);
    ~TDeEmphasisIn() override;
    TDeEmphasisIn(const TDeEmphasisIn&) = delete;
    TDeEmphasisIn& operator=(const TDeEmphasisIn&) = delete;

    void SetEnabled(bool enabled) { enabled_.store(enabled); }
    bool Enabled() const { return enabled_.load(); }

    void OpenInput() override;
    int ReadPCM(void* buffer, int bufferSize) override;

private:
    std::atomic<bool> enabled_{false};
    bool filtering_ = false; // this run's: enabled when it opened
    TDeEmphasis filter_;
    // A source may end a read inside a frame: its first bytes wait here for
    // the rest, and filtered bytes the caller had no room for wait in ready_.
    std::vector<std::uint8_t> partial_;
    std::vector<std::uint8_t> ready_;
    std::size_t readyAt_ = 0;
    std::vector<std::uint8_t> scratch_;
};

} // namespace sonfeld
