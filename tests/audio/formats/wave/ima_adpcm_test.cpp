#include <gtest/gtest.h>

#include <vector>

#include "audio/formats/wave/ima_adpcm.h"
#include "support/signals.h"

using namespace sonfeld;
using namespace sonfeld::test;

TEST(ImaAdpcm, ConstantSignalCodesZeroAndKeepsStepIndex)
{
    TImaChannelState state;
    state.Predictor = 1234;
    const auto samples = ToBytes(std::vector<std::int16_t>(1016, 1234));
    std::vector<std::uint8_t> block(512, 0xFF);
    EncodeMonoBlock(state, samples.data(), block.data(), 512);
    EXPECT_EQ(block[0] | (block[1] << 8), 1234);
    EXPECT_EQ(block[2], 0);
    EXPECT_EQ(block[3], 0);
    for (int i = 4; i < 512; ++i)
        ASSERT_EQ(block[i], 0) << i;
    EXPECT_EQ(state.StepIndex, 0);
    EXPECT_EQ(ImaSamplesPerBlock(512, 1), 1017);
    EXPECT_EQ(ImaSamplesPerBlock(512, 2), 505);
}

TEST(ImaAdpcm, MostNegativeSampleClampsThePredictor)
{
    TImaChannelState state;
    state.Predictor = -32768;
    const auto samples = ToBytes(std::vector<std::int16_t>(1016, -32768));
    std::vector<std::uint8_t> block(512);
    EncodeMonoBlock(state, samples.data(), block.data(), 512);
    EXPECT_EQ(static_cast<std::int16_t>(block[0] | (block[1] << 8)), -32768);
    // First code 0 (nothing to correct), after which the predictor sits at
    // -32767 and every further sample lies one below it: code 9.
    EXPECT_EQ(block[4] & 0x0F, 0);
    EXPECT_EQ(block[4] >> 4, 9);
    for (int i = 5; i < 512; ++i)
        ASSERT_EQ(block[i], 0x99) << i;
}

TEST(ImaAdpcm, StereoLayoutGroupsEightSamplesPerChannel)
{
    // Left ramps up, right is constant: only left groups carry non-zero codes.
    std::vector<std::int16_t> frames;
    for (int i = 0; i < 504; ++i) {
        frames.push_back(static_cast<std::int16_t>(60 * (i + 1)));
        frames.push_back(0);
    }
    TImaChannelState state[2];
    state[0].Predictor = 0;
    state[1].Predictor = 0;
    std::vector<std::uint8_t> block(512);
    const auto bytes = ToBytes(frames);
    EncodeStereoBlock(state, bytes.data(), block.data(), 512);
    EXPECT_EQ(block[3], 0);
    EXPECT_EQ(block[7], 0);
    EXPECT_NE(block[8] & 0x0F, 0); // left sample 2
    for (int group = 0; group < 63; ++group)
        for (int k = 0; k < 4; ++k)
            ASSERT_EQ(block[12 + 8 * group + k], 0) << "right group " << group;
    // Decoding gives back a ramp close to the input.
    std::vector<std::int16_t> decoded(505 * 2);
    ASSERT_TRUE(DecodeImaBlock(block.data(), 512, 2, decoded.data()));
    EXPECT_EQ(decoded[0], 0);
    EXPECT_NEAR(decoded[2 * 504], 60 * 504, 400);
    EXPECT_EQ(decoded[2 * 504 + 1], 0);
}

TEST(ImaAdpcm, EncodeDecodeAgreeWithTheEncodersOwnPrediction)
{
    const auto pcm = MakeSamples(Signal::Music, 1017, 1);
    TImaChannelState encoder;
    encoder.Predictor = pcm[0];
    std::vector<std::uint8_t> block(512);
    EncodeMonoBlock(encoder, ToBytes(pcm).data() + 2, block.data(), 512);
    std::vector<std::int16_t> decoded(1017);
    ASSERT_TRUE(DecodeImaBlock(block.data(), 512, 1, decoded.data()));
    EXPECT_GT(SnrDb(pcm, decoded), 20.0);
    block[2] = 89; // a step index past the table
    EXPECT_FALSE(DecodeImaBlock(block.data(), 512, 1, decoded.data()));
}
