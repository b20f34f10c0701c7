#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace sonfeld {

// ReplayGain 2.0: EBU R128 integrated loudness against a -18 LUFS reference,
// and the sample peak (1.0 = full scale). Measured with libebur128, loaded at
// run time ("libebur128.so.1"); without it ReplayGain is simply not offered.

// Whether libebur128 could be loaded, and the message when it could not.
bool ReplayGainAvailable();
std::string ReplayGainMissingText();
// Binds libebur128 again from fileName (tests point it at a missing file);
// whether it loaded.
bool BindReplayGainLibrary(const std::string& fileName);
std::string DefaultReplayGainLibrary();

struct ReplayGainValues {
    double gain = 0;    // dB to reach -18 LUFS
    double peak = 0;    // linear
    bool valid = false; // false: nothing was measured (silence or no audio)
};

// "-6.48 dB" and "0.988525", as players read them.
std::string GainText(double gain);
std::string PeakText(double peak);

// Measures one track from its PCM as it is read: 16-bit little-endian
// interleaved samples, fed in blocks of any size (a frame split between two
// blocks is joined). One thread at a time.
class ReplayGainMeter {
public:
    // Raises ELibraryNotLoaded when libebur128 cannot be loaded.
    explicit ReplayGainMeter(int channels = 2, unsigned sampleRate = 44100);
    ~ReplayGainMeter();
    ReplayGainMeter(const ReplayGainMeter&) = delete;
    ReplayGainMeter& operator=(const ReplayGainMeter&) = delete;

    void Add(const void* pcm, std::size_t bytes);
    // The track is over: Add may not follow. The meter keeps only what its
    // values and the album's need, a few kilobytes.
    void Finish();
    ReplayGainValues Track() const;

    // The album's values over every track measured.
    static ReplayGainValues Album(const std::vector<const ReplayGainMeter*>& tracks);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The album pass: writes the album gain and peak into files already
// finished and tagged, one after the other. Each file is rewritten through a
// copy that replaces it, so a kill leaves it whole, with or without the
// values. id3Version must be the one the files were tagged with. beforeFile,
// when given, is called with each file's index before it is written. Returns
// the failures, "<file>: <reason>", empty when all were written.
std::vector<std::string> WriteAlbumGain(const std::vector<std::string>& files,
                                        const ReplayGainValues& album, int id3Version,
                                        const std::function<void(std::size_t)>& beforeFile = {});

} // namespace sonfeld
