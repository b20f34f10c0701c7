// The de-emphasis filter against the analytic 50/15 µs curve, measured on
// sine tones through the filter itself.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <utility>
#include <vector>

#include "audio/core/de_emphasis.h"
#include "support/memory_input.h"
#include "support/read_input.h"

namespace sonfeld::test {
namespace {

constexpr double kRate = 44100.0;

// The gain in dB of the 50/15 µs de-emphasis at f.
double AnalyticGainDb(double f)
{
    const double w = 2.0 * std::numbers::pi * f;
    const double zero = w * 15e-6;
    const double pole = w * 50e-6;
    return 10.0 * std::log10((1.0 + (zero * zero)) / (1.0 + (pole * pole)));
}

// The amplitude of the tone at f in every other sample from first on, over
// a whole number of periods.
double Amplitude(const std::vector<std::int16_t>& samples, int channel, double f, std::size_t first)
{
    double in = 0.0;
    double quadrature = 0.0;
    std::size_t count = 0;
    for (std::size_t n = first; n < samples.size() / 2; ++n, ++count) {
        const double phase = 2.0 * std::numbers::pi * f * static_cast<double>(n) / kRate;
        in += samples[(n * 2) + static_cast<std::size_t>(channel)] * std::sin(phase);
        quadrature += samples[(n * 2) + static_cast<std::size_t>(channel)] * std::cos(phase);
    }
    return 2.0 * std::hypot(in, quadrature) / static_cast<double>(count);
}

TEST(DeEmphasisTest, FollowsTheAnalyticCurveOnEachChannel)
{
    // One second, 1 kHz on the left and 16 kHz on the right, in blocks of
    // odd sizes: the state carries over between calls.
    constexpr double kLeft = 1000.0;
    constexpr double kRight = 16000.0;
    constexpr double kPeak = 20000.0;
    std::vector<std::int16_t> samples(44100 * 2);
    for (std::size_t n = 0; n < samples.size() / 2; ++n) {
        const double t = static_cast<double>(n) / kRate;
        samples[n * 2] = static_cast<std::int16_t>(
            std::lround(kPeak * std::sin(2.0 * std::numbers::pi * kLeft * t)));
        samples[(n * 2) + 1] = static_cast<std::int16_t>(
            std::lround(kPeak * std::sin(2.0 * std::numbers::pi * kRight * t)));
    }
    const std::vector<std::int16_t> original = samples;
    TDeEmphasis filter;
    for (std::size_t done = 0, block = 1; done < samples.size() / 2; block = (block * 7) % 1001) {
        const std::size_t frames = std::min(block, (samples.size() / 2) - done);
        filter.Process(samples.data() + (done * 2), frames);
        done += frames;
    }
    // The second half, long after the filter settled: 500 and 8000 whole periods.
    constexpr std::size_t kSettled = 22050;
    for (const auto& [channel, f] : {std::pair{0, kLeft}, std::pair{1, kRight}}) {
        const double gain = 20.0 * std::log10(Amplitude(samples, channel, f, kSettled) /
                                              Amplitude(original, channel, f, kSettled));
        EXPECT_NEAR(gain, AnalyticGainDb(f), 0.1) << f << " Hz";
    }
    EXPECT_NEAR(AnalyticGainDb(kLeft), -0.37, 0.01);
    EXPECT_NEAR(AnalyticGainDb(kRight), -9.04, 0.01);
}

TEST(DeEmphasisTest, PassesSilenceAndSteadyLevelsUnchangedAndStartsAfreshAfterAReset)
{
    TDeEmphasis filter;
    std::vector<std::int16_t> steady(2000 * 2);
    for (std::size_t n = 0; n < steady.size(); n += 2) {
        steady[n] = 12345;
        steady[n + 1] = -32768;
    }
    filter.Process(steady.data(), steady.size() / 2);
    // Unity at DC: a steady level comes out as it went in, without clipping.
    EXPECT_EQ(steady[steady.size() - 2], 12345);
    EXPECT_EQ(steady[steady.size() - 1], -32768);
    // After a reset silence stays silence; without one the old level would decay through it.
    filter.Reset();
    std::vector<std::int16_t> silence(64, 0);
    filter.Process(silence.data(), silence.size() / 2);
    EXPECT_EQ(silence, std::vector<std::int16_t>(64, 0));
}

// The input that filters an encoder's copy: whatever sizes its source and
// its reader use (frames split across reads), each run is the filter over the
// whole track from a fresh state; disabled, the bytes pass as they are.
TEST(DeEmphasisTest, TheInputFiltersEachRunWholeHoweverItIsReadAndPassesBytesWhenOff)
{
    std::vector<std::uint8_t> pcm(4 * 3001);
    for (std::size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = static_cast<std::uint8_t>((i * 7919) >> 3);
    std::vector<std::int16_t> samples(pcm.size() / 2);
    std::memcpy(samples.data(), pcm.data(), pcm.size());
    TDeEmphasis filter;
    filter.Process(samples.data(), samples.size() / 2);
    std::vector<std::uint8_t> expected(pcm.size());
    std::memcpy(expected.data(), samples.data(), expected.size());
    ASSERT_NE(expected, pcm);

    TMemoryInput source(pcm);
    TDeEmphasisIn input(&source);
    input.SetEnabled(true);
    for (const auto& [chunk, buffer] :
         {std::pair{0, 4096}, std::pair{7, 4096}, std::pair{4099, 3}, std::pair{1, 5}}) {
        source.maxChunk = chunk;
        EXPECT_EQ(ReadWholeInput(input, buffer), expected) << chunk << " " << buffer;
        EXPECT_EQ(input.Position(), static_cast<std::int64_t>(pcm.size()));
    }
    input.SetEnabled(false);
    source.maxChunk = 7;
    EXPECT_EQ(ReadWholeInput(input, 4096), pcm);
}

} // namespace
} // namespace sonfeld::test
