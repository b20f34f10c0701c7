#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace sonfeld::test {

// Generated 16-bit signed interleaved PCM, little-endian bytes.
enum class Signal { Silence, Sine, Noise, Square, Sweep, Music };

std::vector<std::int16_t> MakeSamples(Signal kind, int frames, int channels = 2,
                                      int sampleRate = 44100, double amplitude = 0.5,
                                      unsigned seed = 1);
std::vector<std::uint8_t> ToBytes(const std::vector<std::int16_t>& samples);
std::vector<std::int16_t> FromBytes(const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> MakePcm(Signal kind, int frames, int channels = 2, int sampleRate = 44100,
                                  double amplitude = 0.5, unsigned seed = 1);

// A canonical 44-byte-header RIFF WAVE file of 16-bit stereo 44100 Hz pcm,
// as the reference tools read it.
std::vector<std::uint8_t> CdWaveFile(const std::vector<std::uint8_t>& pcm);
// That file, written to path.
void WriteCdWaveFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& pcm);

// Pearson correlation of two sample sequences over their common length.
double Correlation(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b);
// Signal-to-noise ratio in dB of test against reference over their common length.
double SnrDb(const std::vector<std::int16_t>& reference, const std::vector<std::int16_t>& test);

} // namespace sonfeld::test
