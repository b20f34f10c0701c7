#include "signal_generator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace sonfeld::disc_image {

namespace {

constexpr double kRate = 44100.0;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

std::int16_t ToSample(double value)
{
    return static_cast<std::int16_t>(std::lround(std::clamp(value, -1.0, 1.0) * 32767.0));
}

double NoteFrequency(int midiNote)
{
    return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
}

} // namespace

// A gentle piece: a chord progression as soft pads, a bass on each beat and a
// plucked melody over the major pentatonic scale, with a fade in and out.
class SignalGenerator::Music {
public:
    Music(unsigned seed, std::int64_t totalFrames) : random_(seed), totalFrames_(totalFrames)
    {
        key_ = 57 + static_cast<int>(seed % 7); // A3 and up
        beatFrames_ = static_cast<std::int64_t>(kRate * 60.0 / (96.0 + (seed % 5) * 6.0));
    }

    void Frame(double& left, double& right)
    {
        if (frame_ % beatFrames_ == 0)
            StartBeat();
        StartDueNotes();
        left = right = 0.0;
        for (Voice& voice : voices_) {
            if (voice.level < 1e-4)
                continue;
            double tone = std::sin(voice.phase) + 0.3 * std::sin(2.0 * voice.phase) +
                          0.1 * std::sin(3.0 * voice.phase);
            const double attack = std::min(1.0, voice.age / voice.attackFrames);
            tone *= voice.level * attack;
            left += tone * (1.0 - voice.pan);
            right += tone * voice.pan;
            voice.phase = std::fmod(voice.phase + kTwoPi * voice.frequency / kRate, kTwoPi);
            voice.level *= voice.decay;
            voice.age += 1.0;
        }
        const double fade = Fade();
        left *= 0.22 * fade;
        right *= 0.22 * fade;
        ++frame_;
    }

private:
    struct Voice {
        double frequency = 0.0;
        double phase = 0.0;
        double level = 0.0;
        double decay = 1.0;
        double pan = 0.5;
        double age = 0.0;
        double attackFrames = 1.0;
    };

    void StartBeat()
    {
        static constexpr std::array<int, 4> progression = {0, 7, 9, 5}; // I V vi IV
        static constexpr std::array<int, 5> pentatonic = {0, 2, 4, 7, 9};
        const std::int64_t beat = frame_ / beatFrames_;
        const int root = key_ + progression[static_cast<std::size_t>((beat / 4) % 4)];
        const bool minor = progression[static_cast<std::size_t>((beat / 4) % 4)] == 9;
        if (beat % 4 == 0) {
            for (int interval : {0, minor ? 3 : 4, 7})
                Start(NoteFrequency(root + interval), 0.35, 0.99995, 0.3, 4000.0);
        }
        Start(NoteFrequency(root - 12), 0.5, 0.99985, 0.5, 200.0);
        std::uniform_int_distribution<int> step(0, 9);
        for (int half = 0; half < 2; ++half) {
            const int pick = step(random_);
            if (pick < 7) {
                const int note = key_ + 12 + pentatonic[static_cast<std::size_t>(pick % 5)] +
                                 (pick >= 5 ? 12 : 0);
                pending_.push_back({frame_ + half * beatFrames_ / 2, NoteFrequency(note)});
            }
        }
    }

    void StartDueNotes()
    {
        for (auto it = pending_.begin(); it != pending_.end();) {
            if (it->first <= frame_) {
                Start(it->second, 0.4, 0.99990, 0.7, 30.0);
                it = pending_.erase(it);
            } else {
                ++it;
            }
        }
    }

    void Start(double frequency, double level, double decay, double pan, double attack)
    {
        // The quietest voice makes way, so no sounding note is cut off with a click.
        Voice* quietest = &voices_[0];
        for (Voice& voice : voices_) {
            if (voice.level < quietest->level)
                quietest = &voice;
        }
        *quietest = {frequency, 0.0, level, decay, pan, 0.0, attack};
    }

    double Fade() const
    {
        const double in = std::min(1.0, static_cast<double>(frame_) / (kRate * 0.5));
        const double out =
            std::min(1.0, static_cast<double>(totalFrames_ - frame_) / (kRate * 1.0));
        return std::max(0.0, std::min(in, out));
    }

    std::mt19937 random_;
    std::int64_t totalFrames_;
    std::int64_t frame_ = 0;
    int key_ = 57;
    std::int64_t beatFrames_ = 22050;
    std::array<Voice, 16> voices_{};
    std::vector<std::pair<std::int64_t, double>> pending_;
};

SignalGenerator::SignalGenerator(const SignalSpec& spec, std::int64_t totalFrames)
    : spec_(spec), totalFrames_(totalFrames), random_(spec.seed)
{
    if (spec_.kind == SignalKind::Music)
        music_ = std::make_unique<Music>(spec_.seed, totalFrames_);
}

SignalGenerator::~SignalGenerator() = default;

void SignalGenerator::Fill(std::int16_t* out, std::int64_t frames)
{
    std::uniform_int_distribution<int> noise(-32768, 32767);
    for (std::int64_t i = 0; i < frames; ++i, ++frame_) {
        double left = 0.0;
        double right = 0.0;
        switch (spec_.kind) {
        case SignalKind::Silence: break;
        case SignalKind::Tone:
            // The right channel lags a quarter period.
            left = spec_.amplitude * std::sin(phaseLeft_);
            right = spec_.amplitude * std::sin(phaseLeft_ - std::numbers::pi / 2.0);
            phaseLeft_ = std::fmod(phaseLeft_ + kTwoPi * spec_.frequency / kRate, kTwoPi);
            break;
        case SignalKind::Sweep: {
            // Logarithmic up the left channel, down the right.
            const double t =
                totalFrames_ > 1 ? static_cast<double>(frame_) / (totalFrames_ - 1) : 0;
            const double ratio = spec_.frequencyEnd / spec_.frequency;
            const double up = spec_.frequency * std::pow(ratio, t);
            const double down = spec_.frequency * std::pow(ratio, 1.0 - t);
            left = spec_.amplitude * std::sin(phaseLeft_);
            right = spec_.amplitude * std::sin(phaseRight_);
            phaseLeft_ = std::fmod(phaseLeft_ + kTwoPi * up / kRate, kTwoPi);
            phaseRight_ = std::fmod(phaseRight_ + kTwoPi * down / kRate, kTwoPi);
            break;
        }
        case SignalKind::Noise:
            out[2 * i] = static_cast<std::int16_t>(noise(random_) * spec_.amplitude);
            out[2 * i + 1] = static_cast<std::int16_t>(noise(random_) * spec_.amplitude);
            continue;
        case SignalKind::Music:
            music_->Frame(left, right);
            left *= spec_.amplitude * 2.0;
            right *= spec_.amplitude * 2.0;
            break;
        }
        out[2 * i] = ToSample(left);
        out[2 * i + 1] = ToSample(right);
    }
}

} // namespace sonfeld::disc_image
