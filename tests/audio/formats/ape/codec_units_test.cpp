// The compressor's stages against the format's worked numbers, and against a
// decoder written from the format's description of the decoding side.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ape_test_files.h"
#include "audio/core/crc32.h"
#include "frame_encoder.h"
#include "md5.h"
#include "nn_filter.h"
#include "range_coder.h"
#include "range_decoder.h"
#include "residual_coder.h"
#include "start_parameters.h"
#include "support/signals.h"

namespace sonfeld::test::ape {
namespace {

using sonfeld::Crc32;
using sonfeld::ape::FrameEncoder;
using sonfeld::ape::Md5;
using sonfeld::ape::NNFilter;
using sonfeld::ape::RangeCoder;
using sonfeld::ape::ResidualCoder;

TEST(ApeChecksums, CrcAndMd5MatchTheirCheckValues)
{
    // The frame keeps the CRC shifted right by one (the library's own CRC is tested in core).
    const std::uint8_t block[] = {0xD2, 0x04, 0x1F, 0xEF}; // ch0 = 1234, ch1 = -4321
    EXPECT_EQ(Crc32(block, 4) >> 1, 0x2BFFFBD2u);
    std::vector<std::uint8_t> data(1001);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 7 + 3);

    Md5 md5;
    EXPECT_EQ(Hex(md5.Final().data(), 16), "d41d8cd98f00b204e9800998ecf8427e");
    const std::string fox = "The quick brown fox jumps over the lazy dog";
    md5.Update(reinterpret_cast<const std::uint8_t*>(fox.data()), 10);
    md5.Update(reinterpret_cast<const std::uint8_t*>(fox.data()) + 10, fox.size() - 10);
    EXPECT_EQ(Hex(md5.Final().data(), 16), "9e107d9d372bb6826bd81d3542a419d6");
    EXPECT_EQ(Hex(
                  [&] {
                      Md5 m;
                      m.Update(data.data(), data.size());
                      return m.Final();
                  }()
                      .data(),
                  16),
              Md5Sum(data));
}

TEST(ApeEntropy, WorkedExampleGivesTheDocumentedBytesAndKSums)
{
    std::array<std::uint8_t, 64> out{};
    RangeCoder coder;
    coder.Start(out.data());
    ResidualCoder y;
    ResidualCoder x;
    y.Encode(coder, -5555);
    x.Encode(coder, -1543);
    EXPECT_EQ(y.KSum(), 21427u);
    EXPECT_EQ(x.KSum(), 17415u);
    const std::uint32_t length = coder.Finish();
    const std::vector<std::uint8_t> bytes(out.begin(), out.begin() + length);
    EXPECT_EQ(bytes,
              (std::vector<std::uint8_t>{0x00, 0xFF, 0xD5, 0xB3, 0x7B, 0xA1, 0x00, 0x00, 0x00}));

    // Nothing coded: the five bytes of an empty section.
    coder.Start(out.data());
    EXPECT_EQ(coder.Finish(), 5u);
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + 5),
              (std::vector<std::uint8_t>{0x00, 0x01, 0x00, 0x00, 0x00}));
}

// Residual sequences of every scale read back through the test decoder:
// small values, escapes, pivots past 65535 (the split path), long runs of
// escapes and sudden drops.
TEST(ApeEntropy, ResidualsReadBackThroughAnIndependentDecoder)
{
    std::mt19937 random(11);
    std::vector<std::vector<std::int32_t>> sequences;
    for (int scale : {0, 3, 300, 30000, 3000000, 100000000}) {
        std::vector<std::int32_t> values(5000);
        std::uniform_int_distribution<std::int32_t> pick(-scale, scale);
        for (std::int32_t& v : values)
            v = pick(random);
        sequences.push_back(values);
    }
    std::vector<std::int32_t> mixed(4000);
    for (int i = 0; i < 4000; ++i)
        mixed[static_cast<std::size_t>(i)] =
            i % 500 < 20 ? (i % 2 != 0 ? 50000000 : -50000000) : (i % 7) - 3;
    sequences.push_back(mixed);

    for (const auto& values : sequences) {
        std::vector<std::uint8_t> out(values.size() * 12 + 16);
        RangeCoder coder;
        coder.Start(out.data());
        ResidualCoder residuals;
        for (std::int32_t v : values)
            residuals.Encode(coder, v);
        out.resize(coder.Finish());
        EXPECT_EQ(out[0], 0);
        RangeDecoder decoder(out);
        ResidualDecoder back;
        for (std::size_t i = 0; i < values.size(); ++i)
            ASSERT_EQ(back.Decode(decoder), values[i]) << "value " << i;
    }
}

// The SIMD loops against the plain C++ loop on random state and input, one
// filter and two at once.
TEST(ApeFilters, VectorLoopsMatchThePortableLoop)
{
    std::mt19937 random(5);
    std::uniform_int_distribution<std::int32_t> wide(-200000, 200000);
    for (int order : {16, 32, 64, 256}) {
        SCOPED_TRACE(order);
        const int window = order + 1 + NNFilter::kWindow;
        auto makeState = [&](std::vector<std::int16_t>& storage) {
            storage.assign(
                static_cast<std::size_t>(order) + 2 * static_cast<std::size_t>(window) + 64, 0);
            auto address = reinterpret_cast<std::uintptr_t>(storage.data());
            const std::size_t skip = (64 - address % 64) % 64 / 2;
            NNFilter::State s{};
            s.coefficients = storage.data() + skip;
            s.history = s.coefficients + order;
            s.deltas = s.history + window;
            s.position = order + 1;
            s.shift = 13;
            return s;
        };
        std::vector<std::int16_t> storageA, storageB, storageC;
        NNFilter::State a = makeState(storageA);
        NNFilter::State b = makeState(storageB);
        NNFilter::State c = makeState(storageC);
        std::vector<std::int32_t> valuesA(3000), valuesB(3000);
        for (std::size_t i = 0; i < valuesA.size(); ++i) {
            valuesA[i] = wide(random);
            valuesB[i] = i % 100 == 0 ? 0 : wide(random) / 7;
        }
        std::vector<std::int32_t> portableA = valuesA, portableB = valuesB, chosenC = valuesB;
        sonfeld::ape::PortableNNRun(order)(a, portableA.data(), &b, portableB.data(), 3000);
        // The chosen loop, first on both filters' inputs at once...
        std::vector<std::int16_t> storageD, storageE;
        NNFilter::State d = makeState(storageD);
        NNFilter::State e = makeState(storageE);
        sonfeld::ape::ChosenNNRun(order)(d, valuesA.data(), &e, valuesB.data(), 3000);
        // ...and on one alone.
        sonfeld::ape::ChosenNNRun(order)(c, chosenC.data(), nullptr, nullptr, 3000);
        EXPECT_EQ(valuesA, portableA);
        EXPECT_EQ(valuesB, portableB);
        EXPECT_EQ(chosenC, portableB);
        EXPECT_EQ(std::memcmp(a.coefficients, d.coefficients, sizeof(std::int16_t) * order), 0);
    }
}

// Residuals of vector C's first frame at chosen blocks, per level: pairs (Y, X).
TEST(ApePrediction, VectorCResidualTraceMatchesAtEveryLevel)
{
    // The generator of vector C, as in the file vectors test.
    std::vector<std::int16_t> samples;
    std::uint64_t state = 1;
    auto draw = [&state] {
        state = (state * 1103515245u + 12345u) % (1u << 31);
        return static_cast<int>((state >> 16) % 2001) - 1000;
    };
    auto tri = [](int i) {
        const int p = i % 200;
        return p < 100 ? 400 * p - 20000 : 400 * (200 - p) - 20000;
    };
    for (int i = 0; i < 73728; ++i) {
        const int first = tri(i) + draw();
        samples.push_back(static_cast<std::int16_t>(first));
        samples.push_back(static_cast<std::int16_t>(3 * tri(i + 50) / 4 + draw()));
    }
    const auto pcm = ToBytes(samples);

    struct Row {
        int t;
        std::array<std::array<std::int32_t, 2>, 4> yx; // per level 1000..4000
    };
    const Row rows[] = {
        {0, {{{20926, -9707}, {20926, -9707}, {20926, -9707}, {20926, -9707}}}},
        {1, {{{-12807, 5970}, {-12807, 5970}, {-12807, 5970}, {-12807, 5970}}}},
        {2, {{{7760, -3164}, {7560, -3071}, {7560, -3071}, {7310, -2954}}}},
        {3, {{{-3255, 1337}, {-2912, 1191}, {-2912, 1191}, {-2487, 1011}}}},
        {4, {{{1424, -1541}, {1100, -1406}, {1100, -1406}, {705, -1240}}}},
        {5, {{{947, 1144}, {1212, 986}, {1212, 986}, {1518, 795}}}},
        {4096, {{{-1506, 1081}, {-1351, 758}, {-1387, 929}, {-1816, 843}}}},
        {4097, {{{699, -611}, {879, -565}, {1086, -482}, {1136, 58}}}},
        {4098, {{{-3199, 529}, {-2334, 197}, {-2064, 290}, {-2474, 477}}}},
        {4099, {{{-165, 71}, {688, -245}, {707, -288}, {-172, 28}}}},
    };
    std::vector<std::vector<std::int32_t>> y(4), x(4);
    for (int level = 1000; level <= 4000; level += 1000) {
        FrameEncoder encoder(level, 2, 16, level == 4000 ? 294912 : 73728);
        encoder.Encode(pcm.data(), 73728);
        const auto index = static_cast<std::size_t>(level / 1000 - 1);
        y[index].assign(encoder.Residuals(0).begin(), encoder.Residuals(0).end());
        x[index].assign(encoder.Residuals(1).begin(), encoder.Residuals(1).end());
        for (const Row& row : rows) {
            EXPECT_EQ(y[index][row.t], row.yx[index][0]) << "level " << level << " t " << row.t;
            EXPECT_EQ(x[index][row.t], row.yx[index][1]) << "level " << level << " t " << row.t;
        }
    }
    // Levels 2000 and 3000 agree until the 64-tap filter's extra taps start to count.
    for (int t = 0; t < 18; ++t)
        EXPECT_TRUE(y[1][t] == y[2][t] && x[1][t] == x[2][t]) << t;
    EXPECT_FALSE(y[1][18] == y[2][18] && x[1][18] == x[2][18]);
}

TEST(ApeFrames, FlagsMarkSilentAndIdenticalChannelsOnlyFor16Bit)
{
    auto flagsOf = [](const std::vector<std::int16_t>& samples, int channels) {
        FrameEncoder encoder(2000, channels, 16, 1000);
        const auto pcm = ToBytes(samples);
        const auto bytes =
            encoder.Encode(pcm.data(), static_cast<std::uint32_t>(samples.size()) / channels);
        EXPECT_EQ((bytes[0] & 0x80) != 0, encoder.Flags() != 0);
        return encoder.Flags();
    };
    EXPECT_EQ(flagsOf({0, 0, 0, 0}, 2), 7u);
    EXPECT_EQ(flagsOf({5, 0, -3, 0}, 2), 1u);
    EXPECT_EQ(flagsOf({0, 5, 0, -3}, 2), 2u);
    EXPECT_EQ(flagsOf({5, 5, -3, -3}, 2), 4u);
    EXPECT_EQ(flagsOf({5, 6, -3, -3}, 2), 0u);
    EXPECT_EQ(flagsOf({0, 0, 0}, 1), 1u);
    EXPECT_EQ(flagsOf({0, 1, 0}, 1), 0u);

    // A silent stereo frame: CRC word with the flag bit, flags, empty section.
    FrameEncoder silent(2000, 2, 16, 10);
    const std::vector<std::uint8_t> zeros(40, 0);
    const auto frame = silent.Encode(zeros.data(), 10);
    EXPECT_EQ(frame.size(), 13u);
    // 24-bit frames never carry flags, silent or not.
    FrameEncoder deep(2000, 2, 24, 10);
    const std::vector<std::uint8_t> deepZeros(60, 0);
    deep.Encode(deepZeros.data(), 10);
    EXPECT_EQ(deep.Flags(), 0u);
}

TEST(ApeStart, ParametersAreCheckedWithTheRightCodes)
{
    using sonfeld::ape::CheckStartParameters;
    auto format = [](int channels, int bits, std::uint32_t rate) {
        TWaveFormatEx f{};
        f.wFormatTag = 1;
        f.nChannels = static_cast<std::uint16_t>(channels);
        f.wBitsPerSample = static_cast<std::uint16_t>(bits);
        f.nSamplesPerSec = rate;
        f.nBlockAlign = static_cast<std::uint16_t>(channels * bits / 8);
        f.nAvgBytesPerSec = rate * f.nBlockAlign;
        return f;
    };
    const TWaveFormatEx cd = format(2, 16, 44100);
    EXPECT_EQ(CheckStartParameters(&cd, 2000, -1, nullptr, -1), 0);
    EXPECT_EQ(CheckStartParameters(nullptr, 2000, -1, nullptr, -1), 1012);
    TWaveFormatEx f = format(3, 16, 44100);
    EXPECT_EQ(CheckStartParameters(&f, 2000, -1, nullptr, -1), 1007);
    f = format(2, 32, 44100);
    EXPECT_EQ(CheckStartParameters(&f, 2000, -1, nullptr, -1), 1005);
    f = format(2, 12, 44100);
    EXPECT_EQ(CheckStartParameters(&f, 2000, -1, nullptr, -1), 1005);
    f = format(2, 16, 0);
    EXPECT_EQ(CheckStartParameters(&f, 2000, -1, nullptr, -1), 1006);
    f = cd;
    f.wFormatTag = 3; // floating point
    EXPECT_EQ(CheckStartParameters(&f, 2000, -1, nullptr, -1), 1013);
    f = cd;
    f.nBlockAlign = 3;
    EXPECT_EQ(CheckStartParameters(&f, 2000, -1, nullptr, -1), 1002);
    EXPECT_EQ(CheckStartParameters(&cd, 5000, -1, nullptr, -1), 5000);
    EXPECT_EQ(CheckStartParameters(&cd, 0, -1, nullptr, -1), 5000);
    EXPECT_EQ(CheckStartParameters(&cd, 2000, -2, nullptr, -1), 1012);
    const std::uint8_t header[4] = {};
    EXPECT_EQ(CheckStartParameters(&cd, 2000, -1, header, -5), 1012);
    EXPECT_EQ(CheckStartParameters(&cd, 2000, -1, header, 9 * 1024 * 1024), 1004);
}

} // namespace
} // namespace sonfeld::test::ape
