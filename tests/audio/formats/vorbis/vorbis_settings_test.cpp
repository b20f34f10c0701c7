// The bit-rate steps, their setter rules, and the encoder mode each setting
// leads to, read back from the identification header by ogginfo.
#include <gtest/gtest.h>

#include "support/signals.h"
#include "support/tools.h"
#include "vorbis_test_helpers.h"

namespace sonfeld::test {
namespace {

TEST(VorbisBitRate, StepsMapToBitRatesAndNamesBothWays)
{
    EXPECT_EQ(VorbisBitRateValue(brAutoSelect), -1);
    EXPECT_EQ(VorbisBitRateValue(br45), 45000);
    EXPECT_EQ(VorbisBitRateValue(br128), 128000);
    EXPECT_EQ(VorbisBitRateValue(br499), 499000);
    long previous = -2;
    for (int i = brAutoSelect; i <= br499; ++i) {
        const auto rate = static_cast<TVorbisBitRate>(i);
        EXPECT_GT(VorbisBitRateValue(rate), previous) << "ordinal must follow the bit rate";
        previous = VorbisBitRateValue(rate);
        EXPECT_EQ(VorbisBitRateFromName(VorbisBitRateName(rate)), rate);
    }
    EXPECT_EQ(VorbisBitRateName(br224), "br224");
    EXPECT_EQ(VorbisBitRateFromName("br64"), br64);
    EXPECT_FALSE(VorbisBitRateFromName("br65").has_value());
    EXPECT_FALSE(VorbisBitRateFromName("BR64").has_value());
}

TEST(VorbisSetters, BoundsAreRefusedWhileTheNominalIsAutomatic)
{
    TVorbisOut output;
    EXPECT_FLOAT_EQ(output.Compression(), 0.2f);
    EXPECT_EQ(output.Serial(), 0);
    output.SetMinimumBitrate(br64);
    output.SetDesiredMaximumBitrate(br128);
    EXPECT_EQ(output.MinimumBitrate(), brAutoSelect);
    EXPECT_EQ(output.DesiredMaximumBitrate(), brAutoSelect);
    EXPECT_EQ(output.DesiredNominalBitrate(), brAutoSelect);
}

TEST(VorbisSetters, NominalDrivesTheBounds)
{
    TVorbisOut output;
    output.SetDesiredNominalBitrate(br128);
    EXPECT_EQ(output.DesiredMaximumBitrate(), br128); // raised to the nominal
    EXPECT_EQ(output.MinimumBitrate(), brAutoSelect);
    output.SetDesiredMaximumBitrate(br96); // below the nominal: ignored
    EXPECT_EQ(output.DesiredMaximumBitrate(), br128);
    output.SetMinimumBitrate(br160); // above the nominal: ignored
    EXPECT_EQ(output.MinimumBitrate(), brAutoSelect);
    output.SetDesiredNominalBitrate(br64);
    EXPECT_EQ(output.DesiredMaximumBitrate(), br128);
    EXPECT_EQ(output.MinimumBitrate(), brAutoSelect);

    output.SetMinimumBitrate(br48);
    output.SetDesiredMaximumBitrate(brAutoSelect);
    EXPECT_EQ(output.MinimumBitrate(), br48);
    EXPECT_EQ(output.DesiredMaximumBitrate(), brAutoSelect);
    output.SetDesiredMaximumBitrate(br192);
    output.SetDesiredNominalBitrate(br45); // lowers the minimum with it
    EXPECT_EQ(output.MinimumBitrate(), br45);
    EXPECT_EQ(output.DesiredMaximumBitrate(), br192);

    output.SetDesiredNominalBitrate(brAutoSelect);
    EXPECT_EQ(output.DesiredMaximumBitrate(), brAutoSelect);
    EXPECT_EQ(output.MinimumBitrate(), brAutoSelect);
}

TEST(VorbisSetters, FileModeIsStored)
{
    TVorbisOut output;
    EXPECT_EQ(output.FileMode(), foRewrite);
    output.SetFileMode(foAppend);
    EXPECT_EQ(output.FileMode(), foAppend);
    output.SetFileMode(foRewrite);
    EXPECT_EQ(output.FileMode(), foRewrite);
}

class VorbisModes : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!ToolAvailable("ffmpeg") || !ToolAvailable("ogginfo"))
            GTEST_SKIP() << "ffmpeg or ogginfo missing";
    }

    // Encodes a few seconds and returns ogginfo's report of the file.
    OgginfoResult Encode(TVorbisOut& output, const std::string& name, Signal signal = Signal::Music)
    {
        TMemoryInput input(MakePcm(signal, 44100 * 3, 2));
        OutputRunner runner(output);
        EXPECT_TRUE(EncodeInto(output, input, dir / name, runner));
        EXPECT_EQ(runner.errorCount, 0) << runner.LastError();
        return RunOgginfo(dir / name);
    }

    static bool Has(const OgginfoResult& info, const std::string& text)
    {
        return info.output.find(text) != std::string::npos;
    }

    // The stream's nominal, upper and lower bit rates, in kbit/s, as ogginfo reports them.
    static void ExpectBitRates(const OgginfoResult& info, int nominal, int upper, int lower)
    {
        const auto expect = [&info](const char* name, int kbps) {
            EXPECT_TRUE(Has(info, name + (" bitrate: " + std::to_string(kbps)) + ".000000 kb/s"))
                << info.output;
        };
        expect("Nominal", nominal);
        expect("Upper", upper);
        expect("Lower", lower);
    }

    TempDir dir;
};

TEST_F(VorbisModes, NominalAloneGivesEqualBounds)
{
    TVorbisOut output;
    output.SetDesiredNominalBitrate(br128);
    const OgginfoResult info = Encode(output, "managed.ogg");
    EXPECT_EQ(info.exitCode, 0) << info.output;
    ExpectBitRates(info, 128, 128, 128);
    EXPECT_EQ(FfmpegDecode(dir / "managed.ogg").size(), 44100u * 3 * 4);
}

TEST_F(VorbisModes, LoweredNominalKeepsTheMaximumAndTakesTheMinimum)
{
    TVorbisOut output;
    output.SetDesiredNominalBitrate(br128);
    output.SetDesiredMaximumBitrate(br96);
    output.SetMinimumBitrate(br160);
    output.SetDesiredNominalBitrate(br64);
    const OgginfoResult info = Encode(output, "lowered.ogg");
    EXPECT_EQ(info.exitCode, 0) << info.output;
    ExpectBitRates(info, 64, 128, 64);
}

TEST_F(VorbisModes, ExplicitBoundsArePassedAsGiven)
{
    TVorbisOut output;
    output.SetDesiredNominalBitrate(br112);
    output.SetDesiredMaximumBitrate(br160);
    output.SetMinimumBitrate(br80);
    const OgginfoResult info = Encode(output, "bounded.ogg");
    ExpectBitRates(info, 112, 160, 80);
}

TEST_F(VorbisModes, QualityModeAfterTheNominalReturnsToAutomatic)
{
    TVorbisOut output;
    output.SetDesiredNominalBitrate(br192);
    output.SetDesiredNominalBitrate(brAutoSelect);
    const OgginfoResult info = Encode(output, "quality.ogg");
    EXPECT_TRUE(Has(info, "Upper bitrate not set")) << info.output;
    EXPECT_TRUE(Has(info, "Lower bitrate not set")) << info.output;
}

TEST_F(VorbisModes, CompressionSetsTheQuality)
{
    TVorbisOut output;
    Encode(output, "low.ogg", Signal::Noise);
    output.SetCompression(0.8f);
    Encode(output, "high.ogg", Signal::Noise);
    // A higher quality spends clearly more bits on the same noise.
    const auto low = ReadFileBytes(dir / "low.ogg").size();
    const auto high = ReadFileBytes(dir / "high.ogg").size();
    EXPECT_GT(high, low * 2) << low << " vs " << high;
}

} // namespace
} // namespace sonfeld::test
