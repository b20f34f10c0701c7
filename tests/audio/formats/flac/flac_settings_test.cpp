#include <gtest/gtest.h>

#include <algorithm>

#include "flac_test_util.h"
#include "support/signals.h"

using namespace sonfeld;
using namespace sonfeld::test;

namespace {

bool AnySubframe(const std::vector<FlacFrame>& frames, const std::string& type)
{
    return std::any_of(frames.begin(), frames.end(), [&](const FlacFrame& f) {
        return std::find(f.subframeTypes.begin(), f.subframeTypes.end(), type) !=
               f.subframeTypes.end();
    });
}

int LargestOrder(const std::vector<FlacFrame>& frames, const std::string& type)
{
    int largest = 0;
    for (const auto& f : frames)
        for (std::size_t i = 0; i < f.subframeTypes.size(); ++i)
            if (f.subframeTypes[i] == type)
                largest = std::max(largest, f.subframeOrders[i]);
    return largest;
}

bool AllAssignments(const std::vector<FlacFrame>& frames, const std::string& assignment)
{
    return !frames.empty() && std::all_of(frames.begin(), frames.end(), [&](const FlacFrame& f) {
        return f.channelAssignment == assignment;
    });
}

} // namespace

TEST(FlacSettings, DefaultsAndSetterRules)
{
    TFLACOut output;
    EXPECT_FALSE(output.Verify());
    EXPECT_EQ(output.BlockSize(), 4608);
    EXPECT_FALSE(output.BestModelSearch());
    EXPECT_TRUE(output.EnableMidSideStereo());
    EXPECT_FALSE(output.EnableLooseMidSideStereo());
    EXPECT_EQ(output.MaxLPCOrder(), 0);
    EXPECT_EQ(output.QLPCoeffPrecision(), 0);
    EXPECT_FALSE(output.QLPCoeffPrecisionSearch());
    EXPECT_EQ(output.MinResidualPartitionOrder(), 0);
    EXPECT_EQ(output.MaxResidualPartitionOrder(), 0);

    output.SetEnableMidSideStereo(false);
    output.SetEnableLooseMidSideStereo(true);
    EXPECT_TRUE(output.EnableMidSideStereo());
    EXPECT_TRUE(output.EnableLooseMidSideStereo());
    output.SetBestModelSearch(true);
    EXPECT_TRUE(output.EnableMidSideStereo());
    EXPECT_FALSE(output.EnableLooseMidSideStereo());

    // Turning either off touches nothing else.
    output.SetEnableLooseMidSideStereo(true);
    output.SetEnableLooseMidSideStereo(false);
    EXPECT_TRUE(output.EnableMidSideStereo());
    output.SetBestModelSearch(false);
    EXPECT_TRUE(output.EnableMidSideStereo());
    EXPECT_FALSE(output.BestModelSearch());
}

TEST(FlacSettings, CoefficientPrecisionIsClampedAndTheClampIsKept)
{
    TempDir dir;
    const auto pcm = MakePcm(Signal::Music, 44100);
    TFLACOut output;
    output.SetMaxLPCOrder(8);
    output.SetQLPCoeffPrecision(20);
    TMemoryInput input(pcm);
    // 16 + 20 bits would be refused by libFLAC; 16 + 15 is its limit.
    ASSERT_EQ(RunToFile(output, input, dir / "q.flac").done, 1);
    EXPECT_EQ(output.QLPCoeffPrecision(), 15);
    EXPECT_TRUE(FlacDecode(dir / "q.flac") == pcm);

    // A 24-bit input lowers it further, and the lower value stays.
    std::vector<std::uint8_t> deep(pcm.begin(), pcm.begin() + 6 * 5000);
    TMemoryInput deepInput(deep, 44100, 2, 24);
    ASSERT_EQ(RunToFile(output, deepInput, dir / "q24.flac").done, 1);
    EXPECT_EQ(output.QLPCoeffPrecision(), 7);
    TMemoryInput again(pcm);
    ASSERT_EQ(RunToFile(output, again, dir / "q2.flac").done, 1);
    EXPECT_EQ(output.QLPCoeffPrecision(), 7);
    EXPECT_TRUE(FlacTestPasses(dir / "q2.flac"));
}

TEST(FlacSettings, EncoderSettingsReachLibFLAC)
{
    TempDir dir;
    const auto pcm = MakePcm(Signal::Music, 3 * 44100);

    // The stored defaults: fixed predictors only, mid-side chosen per block.
    TFLACOut plain;
    TMemoryInput a(pcm);
    ASSERT_EQ(RunToFile(plain, a, dir / "plain.flac").done, 1);
    const auto plainFrames = FlacAnalysis(dir / "plain.flac");
    EXPECT_FALSE(AnySubframe(plainFrames, "LPC"));
    EXPECT_FALSE(AllAssignments(plainFrames, "INDEPENDENT"));

    // LPC up to order 6 with the precision search, exhaustive search, verify.
    TFLACOut tuned;
    tuned.SetMaxLPCOrder(6);
    tuned.SetQLPCoeffPrecisionSearch(true);
    tuned.SetMinResidualPartitionOrder(2);
    tuned.SetMaxResidualPartitionOrder(6);
    tuned.SetBestModelSearch(true);
    tuned.SetVerify(true);
    tuned.SetBlockSize(1152);
    TMemoryInput b(pcm);
    ASSERT_EQ(RunToFile(tuned, b, dir / "tuned.flac").done, 1);
    const auto tunedFrames = FlacAnalysis(dir / "tuned.flac");
    EXPECT_TRUE(AnySubframe(tunedFrames, "LPC"));
    EXPECT_LE(LargestOrder(tunedFrames, "LPC"), 6);
    EXPECT_EQ(tunedFrames.front().blocksize, 1152);
    EXPECT_LT(std::filesystem::file_size(dir / "tuned.flac"),
              std::filesystem::file_size(dir / "plain.flac"));
    EXPECT_TRUE(FlacDecode(dir / "tuned.flac") == pcm);

    // Without mid-side stereo every block keeps its channels apart.
    TFLACOut independent;
    independent.SetEnableMidSideStereo(false);
    TMemoryInput c(pcm);
    ASSERT_EQ(RunToFile(independent, c, dir / "lr.flac").done, 1);
    EXPECT_TRUE(AllAssignments(FlacAnalysis(dir / "lr.flac"), "INDEPENDENT"));
    EXPECT_TRUE(FlacDecode(dir / "lr.flac") == pcm);
}

TEST(FlacSettings, BlockSizeZeroLetsLibFLACChoose)
{
    TempDir dir;
    const auto pcm = MakePcm(Signal::Music, 44100);
    TFLACOut output;
    output.SetBlockSize(0);
    TMemoryInput input(pcm);
    ASSERT_EQ(RunToFile(output, input, dir / "z.flac").done, 1);
    const auto frames = FlacAnalysis(dir / "z.flac");
    ASSERT_FALSE(frames.empty());
    EXPECT_GT(frames.front().blocksize, 0);
    EXPECT_TRUE(FlacDecode(dir / "z.flac") == pcm);
}

TEST(FlacSettings, CompressionLevelsEncodeFrameForFrameAsTheFlacTool)
{
    TempDir dir;
    const auto pcm = MakePcm(Signal::Music, 3 * 44100);
    WriteCdWaveFile(dir / "in.wav", pcm);
    for (const int level : {0, 5, 8}) {
        TFLACOut output;
        output.SetCompressionLevel(level);
        TMemoryInput input(pcm);
        const auto ours = dir / ("ours" + std::to_string(level) + ".flac");
        ASSERT_EQ(RunToFile(output, input, ours).done, 1);
        const auto theirs = dir / ("theirs" + std::to_string(level) + ".flac");
        ASSERT_EQ(RunCommand("flac -s -f -" + std::to_string(level) + " -o " +
                             ShellQuote(theirs.string()) + " " +
                             ShellQuote((dir / "in.wav").string())),
                  0);
        const auto ourFrames = FlacAnalysis(ours);
        const auto theirFrames = FlacAnalysis(theirs);
        ASSERT_EQ(ourFrames.size(), theirFrames.size()) << "level " << level;
        for (std::size_t i = 0; i < ourFrames.size(); ++i) {
            EXPECT_EQ(ourFrames[i].blocksize, theirFrames[i].blocksize);
            EXPECT_EQ(ourFrames[i].channelAssignment, theirFrames[i].channelAssignment);
            EXPECT_EQ(ourFrames[i].subframeTypes, theirFrames[i].subframeTypes);
            EXPECT_EQ(ourFrames[i].subframeOrders, theirFrames[i].subframeOrders);
        }
        EXPECT_TRUE(FlacDecode(ours) == pcm) << "level " << level;
    }
    TFLACOut output;
    EXPECT_EQ(output.CompressionLevel(), -1);
    EXPECT_THROW(output.SetCompressionLevel(9), EBadSettings);
    EXPECT_EQ(output.CompressionLevel(), -1);
}
