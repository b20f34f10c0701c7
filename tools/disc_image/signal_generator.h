#pragma once

#include <cstdint>
#include <memory>
#include <random>

namespace sonfeld::disc_image {

enum class SignalKind { Silence, Tone, Sweep, Noise, Music };

// What one audio track sounds like.
struct SignalSpec {
    SignalKind kind = SignalKind::Music;
    double frequency = 440.0;    // Hz: the tone, or where a sweep starts
    double frequencyEnd = 880.0; // Hz: where a sweep ends
    double amplitude = 0.5;      // of full scale, 0..1
    unsigned seed = 1;           // noise and music vary with it
};

// Generates 44100 Hz 16-bit stereo samples, interleaved, block after block.
// The two channels always differ, so a swap of channels shows. Deterministic
// for one spec and total length.
class SignalGenerator {
public:
    // totalFrames: the length the whole signal will have (sweeps and music shape to it).
    SignalGenerator(const SignalSpec& spec, std::int64_t totalFrames);
    ~SignalGenerator();
    SignalGenerator(const SignalGenerator&) = delete;
    SignalGenerator& operator=(const SignalGenerator&) = delete;

    // Writes the next frames (2 samples each) into out.
    void Fill(std::int16_t* out, std::int64_t frames);

private:
    class Music;

    SignalSpec spec_;
    std::int64_t totalFrames_;
    std::int64_t frame_ = 0;
    double phaseLeft_ = 0.0;
    double phaseRight_ = 0.0;
    std::mt19937 random_;
    std::unique_ptr<Music> music_;
};

} // namespace sonfeld::disc_image
