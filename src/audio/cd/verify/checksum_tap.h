#pragma once

#include <cstdint>
#include <mutex>
#include <optional>

#include "audio/core/pass_through_input.h"
#include "track_checksums.h"

namespace sonfeld::verify {

// Sits between a PCM source (the CD input) and an output: forwards every
// call to the source and feeds each byte it hands out to a checksum
// accumulator, so any output format gets the track's checksums without a
// second pass over the file.
//
// Set the track's place (and its length, unless the source's Size tells it)
// before each run; Checksums() answers once the run ended. The source must
// deliver 16-bit stereo PCM at 44100 Hz.
//
// Threads: as any input. Checksums() may be asked from any thread.
class TChecksumTap final : public TPassThroughInput {
public:
    explicit TChecksumTap(TACSInput* source, TComponent* owner = nullptr);

    // The next run's track; samples < 0 takes the length from the source's
    // Size once it is open. Raises "The component is buisy" during a run.
    void SetTrack(TrackPlace place, std::int64_t samples = -1);

    // Raises "The track length is unknown" when neither SetTrack nor the
    // source's Size tells it, and "Checksums need 16-bit stereo PCM at 44100 Hz"
    // for other formats; the source is closed again in both cases.
    void OpenInput() override;
    int ReadPCM(void* buffer, int bufferSize) override;

    // The checksums of the last run (or the run so far); empty before the first.
    std::optional<TrackChecksums> Checksums() const;

private:
    TrackPlace place_;
    std::int64_t samples_ = -1;
    mutable std::mutex mutex_; // guards accumulator_
    std::optional<TrackChecksumAccumulator> accumulator_;
};

} // namespace sonfeld::verify
