#include "signals.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "tools.h"

namespace sonfeld::test {

namespace {

std::int16_t Clip(double value)
{
    return static_cast<std::int16_t>(std::clamp(std::lround(value), -32768L, 32767L));
}

// A few notes of a simple tune with harmonics and a decaying envelope.
double MusicValue(int frame, int channel, int sampleRate)
{
    static constexpr double kNotes[] = {261.63, 329.63, 392.00, 523.25,
                                        440.00, 349.23, 293.66, 392.00};
    const double t = static_cast<double>(frame) / sampleRate;
    const int noteLength = sampleRate / 4;
    const int note = (frame / noteLength) % 8;
    const double inNote = static_cast<double>(frame % noteLength) / sampleRate;
    const double f = kNotes[note] * (channel == 0 ? 1.0 : 1.002);
    const double envelope = std::exp(-3.0 * inNote);
    const double bass = 0.3 * std::sin(2 * std::numbers::pi * kNotes[note] / 2 * t);
    return envelope * (0.5 * std::sin(2 * std::numbers::pi * f * t) +
                       0.2 * std::sin(4 * std::numbers::pi * f * t) +
                       0.1 * std::sin(6 * std::numbers::pi * f * t)) +
           bass;
}

} // namespace

std::vector<std::int16_t> MakeSamples(Signal kind, int frames, int channels, int sampleRate,
                                      double amplitude, unsigned seed)
{
    std::vector<std::int16_t> out(static_cast<std::size_t>(frames) * channels);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    const double full = 32767.0 * amplitude;
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            const double t = static_cast<double>(i) / sampleRate;
            double v = 0;
            switch (kind) {
            case Signal::Silence: v = 0; break;
            case Signal::Sine: v = std::sin(2 * std::numbers::pi * (440.0 + 110.0 * c) * t); break;
            case Signal::Noise: v = uniform(random); break;
            case Signal::Square: v = (i / 50) % 2 == 0 ? 1.0 : -1.0; break;
            case Signal::Sweep: {
                const double seconds = static_cast<double>(frames) / sampleRate;
                const double f1 = 20.0;
                const double f2 = 18000.0;
                const double k = (f2 - f1) / seconds;
                v = std::sin(2 * std::numbers::pi * (f1 * t + k * t * t / 2));
                break;
            }
            case Signal::Music: v = MusicValue(i, c, sampleRate) / 1.1; break;
            }
            out[static_cast<std::size_t>(i) * channels + c] =
                kind == Signal::Square
                    ? (v > 0 ? Clip(full) : Clip(-full - (amplitude >= 1.0 ? 1 : 0)))
                    : Clip(v * full);
        }
    }
    return out;
}

std::vector<std::uint8_t> ToBytes(const std::vector<std::int16_t>& samples)
{
    std::vector<std::uint8_t> bytes(samples.size() * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto v = static_cast<std::uint16_t>(samples[i]);
        bytes[2 * i] = static_cast<std::uint8_t>(v);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    return bytes;
}

std::vector<std::int16_t> FromBytes(const std::vector<std::uint8_t>& bytes)
{
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return samples;
}

std::vector<std::uint8_t> MakePcm(Signal kind, int frames, int channels, int sampleRate,
                                  double amplitude, unsigned seed)
{
    return ToBytes(MakeSamples(kind, frames, channels, sampleRate, amplitude, seed));
}

std::vector<std::uint8_t> CdWaveFile(const std::vector<std::uint8_t>& pcm)
{
    const auto size = static_cast<std::uint32_t>(pcm.size());
    std::vector<std::uint8_t> out(44 + pcm.size());
    auto put = [&out](std::size_t at, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    auto tag = [&out](std::size_t at, const char* text) {
        for (std::size_t i = 0; i < 4; ++i)
            out[at + i] = static_cast<std::uint8_t>(text[i]);
    };
    tag(0, "RIFF");
    put(4, 36 + size, 4);
    tag(8, "WAVE");
    tag(12, "fmt ");
    put(16, 16, 4);
    put(20, 1, 2);      // PCM
    put(22, 2, 2);      // channels
    put(24, 44100, 4);  // frames per second
    put(28, 176400, 4); // bytes per second
    put(32, 4, 2);      // bytes per frame
    put(34, 16, 2);     // bits per sample
    tag(36, "data");
    put(40, size, 4);
    std::copy(pcm.begin(), pcm.end(), out.begin() + 44);
    return out;
}

void WriteCdWaveFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& pcm)
{
    WriteFileBytes(path, CdWaveFile(pcm));
}

double Correlation(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b)
{
    const std::size_t n = std::min(a.size(), b.size());
    if (n == 0)
        return 0;
    double ma = 0, mb = 0;
    for (std::size_t i = 0; i < n; ++i) {
        ma += a[i];
        mb += b[i];
    }
    ma /= n;
    mb /= n;
    double sab = 0, saa = 0, sbb = 0;
    for (std::size_t i = 0; i < n; ++i) {
        sab += (a[i] - ma) * (b[i] - mb);
        saa += (a[i] - ma) * (a[i] - ma);
        sbb += (b[i] - mb) * (b[i] - mb);
    }
    return saa == 0 || sbb == 0 ? 0 : sab / std::sqrt(saa * sbb);
}

double SnrDb(const std::vector<std::int16_t>& reference, const std::vector<std::int16_t>& test)
{
    const std::size_t n = std::min(reference.size(), test.size());
    double signal = 0, noise = 0;
    for (std::size_t i = 0; i < n; ++i) {
        signal += static_cast<double>(reference[i]) * reference[i];
        const double d = static_cast<double>(reference[i]) - test[i];
        noise += d * d;
    }
    if (noise == 0)
        return 200.0;
    return 10.0 * std::log10(signal / noise);
}

} // namespace sonfeld::test
