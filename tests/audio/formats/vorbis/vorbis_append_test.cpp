// foAppend chains a new logical stream after what the file already holds.
#include <gtest/gtest.h>

#include <set>

#include "support/signals.h"
#include "support/tools.h"
#include "vorbis_test_helpers.h"

namespace sonfeld::test {
namespace {

class VorbisAppend : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!ToolAvailable("ffmpeg") || !ToolAvailable("ogginfo"))
            GTEST_SKIP() << "ffmpeg or ogginfo missing";
    }

    void Encode(TVorbisOut& output, const std::vector<std::uint8_t>& pcm,
                const std::filesystem::path& file)
    {
        TMemoryInput input(pcm);
        OutputRunner runner(output);
        ASSERT_TRUE(EncodeInto(output, input, file, runner));
        ASSERT_EQ(runner.errorCount, 0) << runner.LastError();
    }

    static std::set<std::uint32_t> StreamSerials(const std::vector<OggPageInfo>& pages)
    {
        std::set<std::uint32_t> serials;
        for (const auto& page : pages)
            if (page.Bos())
                serials.insert(page.serial);
        return serials;
    }

    TempDir dir;
};

TEST_F(VorbisAppend, SecondStreamIsChainedWithItsOwnSerial)
{
    const auto first = MakePcm(Signal::Music, 44100 * 2, 2);
    const auto second = MakePcm(Signal::Sweep, 44100 * 3, 2);
    const auto file = dir / "chain.ogg";
    TVorbisOut output;
    output.SetFileMode(foAppend);
    Encode(output, first, file);
    const auto firstBytes = ReadFileBytes(file);
    EXPECT_EQ(output.StreamSerial(), 0);
    Encode(output, second, file);
    EXPECT_EQ(output.Serial(), 0);
    EXPECT_EQ(output.StreamSerial(), 1);

    // The first stream is untouched; the second follows it.
    const auto bytes = ReadFileBytes(file);
    ASSERT_GT(bytes.size(), firstBytes.size());
    EXPECT_TRUE(std::equal(firstBytes.begin(), firstBytes.end(), bytes.begin()));
    const auto pages = ReadOggPages(file);
    EXPECT_EQ(StreamSerials(pages), (std::set<std::uint32_t>{0, 1}));
    int ends = 0;
    for (const auto& page : pages)
        ends += page.Eos() ? 1 : 0;
    EXPECT_EQ(ends, 2);

    const OgginfoResult info = RunOgginfo(file);
    EXPECT_EQ(info.exitCode, 0) << info.output;
    EXPECT_TRUE(info.problems.empty()) << info.output;
    EXPECT_NE(info.output.find("Logical stream 2 ended"), std::string::npos) << info.output;

    // ffmpeg plays the chain through: the second link decodes after the first.
    auto both = FromBytes(FfmpegDecode(file));
    ASSERT_GE(both.size(), (first.size() + second.size()) / 2);
    const std::vector<std::int16_t> tail(both.end() - static_cast<long>(second.size() / 2),
                                         both.end());
    EXPECT_GT(Correlation(FromBytes(second), tail), 0.95);
    EXPECT_GT(Correlation(FromBytes(first), both), 0.95);
}

TEST_F(VorbisAppend, ChosenSerialIsKeptWhenTheFileDoesNotUseIt)
{
    const auto file = dir / "serials.ogg";
    TVorbisOut output;
    output.SetSerial(7);
    Encode(output, MakePcm(Signal::Sine, 44100, 2), file);
    output.SetFileMode(foAppend);
    output.SetSerial(5);
    Encode(output, MakePcm(Signal::Sine, 44100, 2), file);
    output.SetSerial(7);
    Encode(output, MakePcm(Signal::Sine, 44100, 2), file);
    EXPECT_EQ(output.StreamSerial(), 8);
    EXPECT_EQ(StreamSerials(ReadOggPages(file)), (std::set<std::uint32_t>{5, 7, 8}));
    EXPECT_EQ(RunOgginfo(file).exitCode, 0);
}

TEST_F(VorbisAppend, WhateverTheFileHeldIsKept)
{
    // A file cut off inside its second page, then bytes that are no Ogg at
    // all: the serial scan must cope, and nothing already there may change.
    const auto file = dir / "damaged.ogg";
    TVorbisOut output;
    Encode(output, MakePcm(Signal::Sine, 44100, 2), file);
    auto held = ReadFileBytes(file);
    held.resize(held.size() / 2);
    for (int i = 0; i < 5000; ++i)
        held.push_back(static_cast<std::uint8_t>(i * 37 + 11));
    WriteFileBytes(file, held);

    output.SetFileMode(foAppend);
    const auto pcm = MakePcm(Signal::Music, 44100 * 3, 2);
    Encode(output, pcm, file);
    EXPECT_EQ(output.StreamSerial(), 1); // 0 is taken by the damaged stream's pages
    const auto bytes = ReadFileBytes(file);
    ASSERT_GT(bytes.size(), held.size());
    EXPECT_TRUE(std::equal(held.begin(), held.end(), bytes.begin()));
    const std::vector<std::uint8_t> appended(bytes.begin() + static_cast<long>(held.size()),
                                             bytes.end());
    WriteFileBytes(dir / "appended.ogg", appended);
    const OgginfoResult info = RunOgginfo(dir / "appended.ogg");
    EXPECT_EQ(info.exitCode, 0) << info.output;
    EXPECT_EQ(FfmpegDecode(dir / "appended.ogg").size(), pcm.size());
}

TEST_F(VorbisAppend, MissingFileIsCreated)
{
    const auto file = dir / "new.ogg";
    TVorbisOut output;
    output.SetFileMode(foAppend);
    Encode(output, MakePcm(Signal::Sine, 44100, 2), file);
    EXPECT_EQ(StreamSerials(ReadOggPages(file)), (std::set<std::uint32_t>{0}));
    EXPECT_EQ(RunOgginfo(file).exitCode, 0);
}

TEST_F(VorbisAppend, RewriteReplacesTheFile)
{
    const auto file = dir / "replaced.ogg";
    WriteFileBytes(file, std::vector<std::uint8_t>(100000, 0x55));
    TVorbisOut output;
    const auto pcm = MakePcm(Signal::Sine, 44100 * 3, 2);
    Encode(output, pcm, file);
    std::size_t trailing = 1;
    const auto pages = ReadOggPages(file, &trailing);
    EXPECT_EQ(trailing, 0u);
    EXPECT_EQ(StreamSerials(pages).size(), 1u);
    EXPECT_EQ(FfmpegDecode(file).size(), pcm.size());
}

} // namespace
} // namespace sonfeld::test
