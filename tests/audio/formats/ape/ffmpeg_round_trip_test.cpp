// Files written by the compressor library, decoded by ffmpeg with CRC checking
// on: the PCM must come back bit for bit, ffprobe must see the right stream,
// and the descriptor's MD5 must match md5sum over the documented ranges.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "ape_test_files.h"
#include "support/signals.h"
#include "support/tools.h"

namespace sonfeld::test::ape {
namespace {

enum class Case {
    Silence,
    Sine,
    WhiteNoiseFullScale,
    SquareFullScale,
    Music,
    Sweep,
    OneChannelSilent,
    IdenticalChannels,
    AlternatingFullScale,
    BinaryNoise,
    MonoMusic,
    MonoNoise,
    OneBlock,
    ExactlyOneFrame,
    ExactlyTwoFrames,
    TwoFramesAndOneBlock,
    Stereo24Bit,
    Mono8Bit,
};

struct Input {
    std::vector<std::uint8_t> pcm;
    int channels = 2;
    int bits = 16;
};

std::uint32_t FrameBlocks(int level)
{
    return level == 4000 ? 294912u : 73728u;
}

Input MakeInput(Case c, int level)
{
    constexpr int kFrames = 3 * 44100;
    std::mt19937 random(7);
    Input in;
    switch (c) {
    case Case::Silence: in.pcm = MakePcm(Signal::Silence, kFrames); break;
    case Case::Sine: in.pcm = MakePcm(Signal::Sine, kFrames, 2, 44100, 1.0); break;
    case Case::WhiteNoiseFullScale: in.pcm = MakePcm(Signal::Noise, kFrames, 2, 44100, 1.0); break;
    case Case::SquareFullScale: in.pcm = MakePcm(Signal::Square, kFrames, 2, 44100, 1.0); break;
    case Case::Music: in.pcm = MakePcm(Signal::Music, 20 * 44100); break;
    case Case::Sweep: in.pcm = MakePcm(Signal::Sweep, kFrames, 2, 44100, 0.9); break;
    case Case::OneChannelSilent: {
        auto s = MakeSamples(Signal::Music, kFrames);
        for (std::size_t i = 1; i < s.size(); i += 2)
            s[i] = 0;
        in.pcm = ToBytes(s);
        break;
    }
    case Case::IdenticalChannels: {
        auto s = MakeSamples(Signal::Music, kFrames);
        for (std::size_t i = 1; i < s.size(); i += 2)
            s[i] = s[i - 1];
        in.pcm = ToBytes(s);
        break;
    }
    case Case::AlternatingFullScale: {
        std::vector<std::int16_t> s;
        for (int i = 0; i < kFrames; ++i) {
            s.push_back(32767);
            s.push_back(-32768);
        }
        in.pcm = ToBytes(s);
        break;
    }
    case Case::BinaryNoise: {
        std::vector<std::int16_t> s(2 * kFrames);
        for (std::int16_t& v : s)
            v = (random() & 1) != 0 ? 32767 : -32768;
        in.pcm = ToBytes(s);
        break;
    }
    case Case::MonoMusic:
        in.pcm = MakePcm(Signal::Music, kFrames, 1);
        in.channels = 1;
        break;
    case Case::MonoNoise:
        in.pcm = MakePcm(Signal::Noise, kFrames, 1, 44100, 1.0);
        in.channels = 1;
        break;
    case Case::OneBlock: in.pcm = ToBytes({-12345, 23456}); break;
    case Case::ExactlyOneFrame:
        in.pcm = MakePcm(Signal::Music, static_cast<int>(FrameBlocks(level)));
        break;
    case Case::ExactlyTwoFrames:
        in.pcm = MakePcm(Signal::Music, static_cast<int>(2 * FrameBlocks(level)));
        break;
    case Case::TwoFramesAndOneBlock:
        in.pcm = MakePcm(Signal::Music, static_cast<int>(2 * FrameBlocks(level) + 1));
        break;
    case Case::Stereo24Bit: {
        // Music scaled up to 24 bits, with noise in the low byte.
        for (std::int16_t v : MakeSamples(Signal::Music, kFrames)) {
            const std::int32_t s = v * 256 + static_cast<std::int32_t>(random() % 256);
            in.pcm.push_back(static_cast<std::uint8_t>(s));
            in.pcm.push_back(static_cast<std::uint8_t>(s >> 8));
            in.pcm.push_back(static_cast<std::uint8_t>(s >> 16));
        }
        in.bits = 24;
        break;
    }
    case Case::Mono8Bit:
        for (std::int16_t v : MakeSamples(Signal::Music, kFrames, 1))
            in.pcm.push_back(static_cast<std::uint8_t>((v >> 8) + 128));
        in.channels = 1;
        in.bits = 8;
        break;
    }
    return in;
}

std::map<std::string, std::string> ProbeStream(const std::filesystem::path& file)
{
    std::string out;
    RunCommand("ffprobe -v error -select_streams a:0 -show_entries "
               "stream=codec_name,sample_rate,channels,duration_ts,bits_per_raw_sample "
               "-of default=noprint_wrappers=1 " +
                   ShellQuote(file.string()) + " 2>/dev/null",
               &out);
    std::map<std::string, std::string> values;
    std::size_t start = 0;
    while (start < out.size()) {
        const std::size_t end = std::min(out.find('\n', start), out.size());
        const std::string line = out.substr(start, end - start);
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos)
            values[line.substr(0, eq)] = line.substr(eq + 1);
        start = end + 1;
    }
    return values;
}

class ApeRoundTrip : public testing::TestWithParam<std::tuple<Case, int>> {};

TEST_P(ApeRoundTrip, FfmpegDecodesBitExactWithCrcCheck)
{
    if (!ToolAvailable("ffmpeg") || !ToolAvailable("ffprobe"))
        GTEST_SKIP() << "ffmpeg not installed";
    const auto [kind, level] = GetParam();
    const Input in = MakeInput(kind, level);
    TempDir dir;
    const auto file = dir / "out.ape";
    EncodeOptions options;
    options.level = level;
    options.channels = in.channels;
    options.bits = in.bits;
    ASSERT_EQ(EncodeFile(file, in.pcm, options), 0);

    const char* raw = in.bits == 24 ? "s24le" : (in.bits == 8 ? "u8" : "s16le");
    const Decoded decoded = FfmpegCrcDecode(file, raw);
    EXPECT_EQ(decoded.status, 0);
    EXPECT_FALSE(decoded.crcMismatch);
    ASSERT_EQ(decoded.pcm.size(), in.pcm.size());
    EXPECT_TRUE(decoded.pcm == in.pcm) << "decoded PCM differs";

    const auto probe = ProbeStream(file);
    const std::size_t blocks = in.pcm.size() / static_cast<std::size_t>(in.channels * in.bits / 8);
    EXPECT_EQ(probe.at("codec_name"), "ape");
    EXPECT_EQ(probe.at("sample_rate"), "44100");
    EXPECT_EQ(probe.at("channels"), std::to_string(in.channels));
    EXPECT_EQ(probe.at("duration_ts"), std::to_string(blocks));

    const auto bytes = ReadFileBytes(file);
    const Md5Check md5 = CheckDescriptorMd5(bytes);
    EXPECT_EQ(md5.computed, md5.stored);
}

std::string CaseName(const testing::TestParamInfo<std::tuple<Case, int>>& info)
{
    static const char* names[] = {"Silence",
                                  "Sine",
                                  "WhiteNoiseFullScale",
                                  "SquareFullScale",
                                  "Music",
                                  "Sweep",
                                  "OneChannelSilent",
                                  "IdenticalChannels",
                                  "AlternatingFullScale",
                                  "BinaryNoise",
                                  "MonoMusic",
                                  "MonoNoise",
                                  "OneBlock",
                                  "ExactlyOneFrame",
                                  "ExactlyTwoFrames",
                                  "TwoFramesAndOneBlock",
                                  "Stereo24Bit",
                                  "Mono8Bit"};
    return std::string(names[static_cast<int>(std::get<0>(info.param))]) + "_Level" +
           std::to_string(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(
    AllLevels, ApeRoundTrip,
    testing::Combine(testing::Values(Case::Silence, Case::Sine, Case::WhiteNoiseFullScale,
                                     Case::SquareFullScale, Case::Music, Case::Sweep,
                                     Case::OneChannelSilent, Case::IdenticalChannels,
                                     Case::AlternatingFullScale, Case::BinaryNoise, Case::MonoMusic,
                                     Case::MonoNoise, Case::OneBlock, Case::ExactlyOneFrame,
                                     Case::ExactlyTwoFrames, Case::TwoFramesAndOneBlock,
                                     Case::Stereo24Bit, Case::Mono8Bit),
                     testing::Values(1000, 2000, 3000, 4000)),
    CaseName);

// Proves the harness really checks: a changed byte inside a frame must make
// ffmpeg's CRC check fail and the descriptor MD5 disagree.
TEST(ApeRoundTripControls, CorruptedFrameIsCaughtByCrcAndMd5)
{
    if (!ToolAvailable("ffmpeg"))
        GTEST_SKIP() << "ffmpeg not installed";
    TempDir dir;
    const auto file = dir / "out.ape";
    ASSERT_EQ(EncodeFile(file, MakePcm(Signal::Music, 5 * 44100), EncodeOptions{}), 0);
    auto bytes = ReadFileBytes(file);
    ASSERT_EQ(FfmpegCrcDecode(file).status, 0);

    const std::size_t frameData =
        Read32(bytes, 8) + Read32(bytes, 12) + Read32(bytes, 16) + Read32(bytes, 20);
    bytes[frameData + (bytes.size() - frameData) / 2] ^= 0x10;
    WriteFileBytes(file, bytes);
    const Decoded decoded = FfmpegCrcDecode(file);
    EXPECT_NE(decoded.status, 0);
    const Md5Check md5 = CheckDescriptorMd5(bytes);
    EXPECT_NE(md5.computed, md5.stored);
}

// An empty input gives a file without frames: every header field consistent,
// the MD5 right. ffmpeg accepts no APE file without samples ("No frames in
// the file!"), so it yields no PCM, which is exactly the input.
TEST(ApeRoundTripControls, EmptyInputGivesFileWithoutFrames)
{
    TempDir dir;
    const auto file = dir / "out.ape";
    ASSERT_EQ(EncodeFile(file, {}, EncodeOptions{}), 0);
    const auto bytes = ReadFileBytes(file);
    ASSERT_GE(bytes.size(), 80u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "MAC ");
    EXPECT_EQ(Read16(bytes, 4), 3990);
    EXPECT_EQ(Read32(bytes, 64), 0u); // total frames
    EXPECT_EQ(Read32(bytes, 60), 0u); // final frame blocks
    EXPECT_EQ(Read32(bytes, 24), 4u); // the padding word only
    const std::size_t expectedSize = 52 + 24 + Read32(bytes, 16) + 4;
    EXPECT_EQ(bytes.size(), expectedSize);
    const Md5Check md5 = CheckDescriptorMd5(bytes);
    EXPECT_EQ(md5.computed, md5.stored);
    if (ToolAvailable("ffmpeg")) {
        EXPECT_TRUE(FfmpegCrcDecode(file).pcm.empty());
    }
}

} // namespace
} // namespace sonfeld::test::ape
