// End-to-end encodes through the real libraries, checked by ogginfo, ffprobe
// and ffmpeg, and by our own reading of the Ogg page layout.
#include <gtest/gtest.h>

#include <thread>

#include "support/signals.h"
#include "support/tools.h"
#include "vorbis_test_helpers.h"

namespace sonfeld::test {
namespace {

class VorbisEncode : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!ToolAvailable("ffmpeg") || !ToolAvailable("ogginfo") ||
            !ToolAvailable("vorbiscomment"))
            GTEST_SKIP() << "ffmpeg, ogginfo or vorbiscomment missing";
    }

    // Encodes input into the named file with a fresh output at its default
    // settings; an empty path, and a failure, when the encode did not succeed.
    std::filesystem::path Encoded(TMemoryInput& input, const char* name)
    {
        TVorbisOut output;
        OutputRunner runner(output);
        auto file = dir / name;
        if (!EncodeInto(output, input, file, runner) || runner.errorCount != 0) {
            ADD_FAILURE() << name << ": " << runner.LastError();
            return {};
        }
        return file;
    }

    TempDir dir;
};

TEST_F(VorbisEncode, StereoMusicDecodesToSourceLengthAndShape)
{
    const auto pcm = MakePcm(Signal::Music, 44100 * 10, 2);
    TMemoryInput input(pcm);
    TVorbisOut output;
    OutputRunner runner(output);
    const auto file = dir / "music.ogg";
    ASSERT_TRUE(EncodeInto(output, input, file, runner));
    ASSERT_EQ(runner.errorCount, 0) << runner.LastError();
    EXPECT_EQ(runner.doneCount, 1);
    EXPECT_EQ(input.closeCount, 1);
    ASSERT_FALSE(runner.progress.empty());
    EXPECT_EQ(runner.progress.back(), 100);

    const OgginfoResult info = RunOgginfo(file);
    EXPECT_EQ(info.exitCode, 0) << info.output;
    EXPECT_TRUE(info.problems.empty()) << info.output;
    // Quality mode: libvorbisenc leaves the bounds unset.
    EXPECT_NE(info.output.find("Upper bitrate not set"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("Lower bitrate not set"), std::string::npos) << info.output;

    EXPECT_EQ(FfprobeValue(file, "sample_rate"), "44100");
    EXPECT_EQ(FfprobeValue(file, "channels"), "2");
    const auto decoded = FfmpegDecode(file);
    EXPECT_EQ(decoded.size(), pcm.size());
    EXPECT_GT(Correlation(FromBytes(pcm), FromBytes(decoded)), 0.98);
    EXPECT_GT(SnrDb(FromBytes(pcm), FromBytes(decoded)), 12.0);
    if (ToolAvailable("oggdec")) {
        EXPECT_EQ(OggdecDecode(file).size(), pcm.size());
    }
}

TEST_F(VorbisEncode, HeadersStandOnTheirOwnPagesAndOneStreamEnds)
{
    const auto pcm = MakePcm(Signal::Sweep, 44100 * 3, 2);
    TMemoryInput input(pcm);
    const auto file = Encoded(input, "pages.ogg");
    ASSERT_FALSE(file.empty());

    std::size_t trailing = 1;
    const auto pages = ReadOggPages(file, &trailing);
    EXPECT_EQ(trailing, 0u);
    ASSERT_GE(pages.size(), 3u);
    EXPECT_TRUE(pages.front().Bos());
    EXPECT_EQ(pages.front().segments, 1); // the identification packet alone
    EXPECT_EQ(pages.front().granulePosition, 0);
    std::size_t headerPages = 0;
    for (const auto& page : pages)
        if (page.granulePosition == 0)
            ++headerPages;
    // The comment and codebook packets fill the page(s) after the first, and
    // no audio shares them: the first audio page already has a position.
    EXPECT_GE(headerPages, 2u);
    EXPECT_GT(pages[headerPages].granulePosition, 0);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        EXPECT_EQ(pages[i].serial, 0u);
        EXPECT_EQ(pages[i].sequence, i);
        EXPECT_EQ(pages[i].Bos(), i == 0);
        EXPECT_EQ(pages[i].Eos(), i + 1 == pages.size());
    }
    EXPECT_EQ(pages.back().granulePosition, static_cast<std::int64_t>(FramesOf(pcm, 2)));
}

TEST_F(VorbisEncode, MonoInputGivesMonoFile)
{
    const auto pcm = MakePcm(Signal::Music, 44100 * 4, 1);
    TMemoryInput input(pcm, 44100, 1);
    const auto file = Encoded(input, "mono.ogg");
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(RunOgginfo(file).exitCode, 0);
    EXPECT_EQ(FfprobeValue(file, "channels"), "1");
    const auto decoded = FfmpegDecode(file);
    EXPECT_EQ(decoded.size(), pcm.size());
    EXPECT_GT(Correlation(FromBytes(pcm), FromBytes(decoded)), 0.98);
}

TEST_F(VorbisEncode, EveryChannelOfAMultichannelInputIsEncoded)
{
    // Four channels carrying different signals, so a channel left empty or
    // swapped shows as a lost correlation.
    const int frames = 44100 * 2;
    const auto music = FromBytes(MakePcm(Signal::Music, frames, 1));
    const auto sweep = FromBytes(MakePcm(Signal::Sweep, frames, 1));
    const auto sine = FromBytes(MakePcm(Signal::Sine, frames, 1));
    const auto square = FromBytes(MakePcm(Signal::Square, frames, 1, 44100, 0.3));
    const std::vector<std::vector<std::int16_t>> sources{music, sweep, sine, square};
    const std::vector<std::int16_t> interleaved = Interleave(sources);
    TMemoryInput input(ToBytes(interleaved), 44100, 4);
    const auto file = Encoded(input, "quad.ogg");
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(RunOgginfo(file).exitCode, 0);

    // Each channel decoded alone through ffmpeg's channel map.
    for (std::size_t c = 0; c < sources.size(); ++c) {
        std::string out;
        const std::string command = "ffmpeg -v error -nostdin -i " + ShellQuote(file.string()) +
                                    " -af " + ShellQuote("pan=mono|c0=c" + std::to_string(c)) +
                                    " -f s16le -acodec pcm_s16le - 2>/dev/null";
        ASSERT_EQ(RunCommand(command, &out), 0);
        const auto decoded = FromBytes(std::vector<std::uint8_t>(out.begin(), out.end()));
        EXPECT_EQ(decoded.size(), static_cast<std::size_t>(frames)) << "channel " << c;
        EXPECT_GT(Correlation(sources[c], decoded), 0.95) << "channel " << c;
    }
}

TEST_F(VorbisEncode, FormatLearntOnOpeningIsTheOneEncoded)
{
    // An input that can tell its channel count only once it is open.
    class LateFormatInput : public TMemoryInput {
    public:
        using TMemoryInput::TMemoryInput;
        int GetChannels() override { return Busy() ? 2 : 1; }
    };
    const auto pcm = MakePcm(Signal::Music, 44100 * 3, 2);
    LateFormatInput input(pcm);
    const auto file = Encoded(input, "late.ogg");
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(FfprobeValue(file, "channels"), "2");
    EXPECT_EQ(FfmpegDecode(file).size(), pcm.size());
}

TEST_F(VorbisEncode, EightBitInputIsReadAsUnsignedBytes)
{
    const auto wide = FromBytes(MakePcm(Signal::Music, 44100 * 2, 2));
    std::vector<std::uint8_t> narrow;
    std::vector<std::int16_t> widened;
    for (std::int16_t v : wide) {
        const auto byte = static_cast<std::uint8_t>((v >> 8) + 128);
        narrow.push_back(byte);
        widened.push_back(static_cast<std::int16_t>((byte - 128) * 256));
    }
    TMemoryInput input(narrow, 44100, 2, 8);
    const auto file = Encoded(input, "narrow.ogg");
    ASSERT_FALSE(file.empty());
    const auto decoded = FromBytes(FfmpegDecode(file));
    EXPECT_EQ(decoded.size(), widened.size());
    EXPECT_GT(Correlation(widened, decoded), 0.98);
}

TEST_F(VorbisEncode, ReadsEndingInsideAFrameKeepChannelsAligned)
{
    // 1001-byte reads split frames and even samples; the bytes of a split
    // frame must wait for the next read. The two channels differ, so a shift
    // by a sample or a channel swap shows. The same samples read in whole
    // 64 KiB blocks are the reference.
    const int frames = 44100 * 3;
    const auto left = FromBytes(MakePcm(Signal::Music, frames, 1));
    const auto right = FromBytes(MakePcm(Signal::Sine, frames, 1));
    const auto pcm = ToBytes(Interleave({left, right}));
    TMemoryInput whole(pcm);
    TMemoryInput pieces(pcm);
    pieces.maxChunk = 1001;
    TVorbisOut output;
    OutputRunner runner(output);
    ASSERT_TRUE(EncodeInto(output, whole, dir / "whole.ogg", runner));
    ASSERT_TRUE(EncodeInto(output, pieces, dir / "pieces.ogg", runner));
    ASSERT_EQ(runner.errorCount, 0) << runner.LastError();
    EXPECT_GT(pieces.readCount, 500);

    const auto reference = FromBytes(FfmpegDecode(dir / "whole.ogg"));
    const auto decoded = FromBytes(FfmpegDecode(dir / "pieces.ogg"));
    ASSERT_EQ(decoded.size(), pcm.size() / 2);
    // libvorbis codes the first blocks a little differently when data comes
    // in small pieces, so the files are not identical, but the sound is.
    EXPECT_GT(SnrDb(reference, decoded), 25.0);
    std::vector<std::int16_t> decodedLeft;
    std::vector<std::int16_t> decodedRight;
    for (std::size_t i = 0; i + 1 < decoded.size(); i += 2) {
        decodedLeft.push_back(decoded[i]);
        decodedRight.push_back(decoded[i + 1]);
    }
    EXPECT_GT(Correlation(left, decodedLeft), 0.98);
    EXPECT_GT(Correlation(right, decodedRight), 0.98);
}

TEST_F(VorbisEncode, IncompleteLastFrameIsLeftOut)
{
    auto pcm = MakePcm(Signal::Sine, 44100 * 3, 2);
    const std::size_t frames = FramesOf(pcm, 2);
    pcm.insert(pcm.end(), {1, 2, 3});
    TMemoryInput input(pcm);
    const auto file = Encoded(input, "ragged.ogg");
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(RunOgginfo(file).exitCode, 0);
    EXPECT_EQ(FfmpegDecode(file).size(), frames * 4);
}

TEST_F(VorbisEncode, EmptyInputGivesHeadersAndAnEndedStream)
{
    TMemoryInput input({});
    const auto file = Encoded(input, "empty.ogg");
    ASSERT_FALSE(file.empty());
    const auto pages = ReadOggPages(file);
    ASSERT_GE(pages.size(), 3u);
    EXPECT_TRUE(pages.front().Bos());
    EXPECT_TRUE(pages.back().Eos());
    EXPECT_EQ(pages.back().granulePosition, 0);
    EXPECT_TRUE(FfmpegDecode(file).empty());
    EXPECT_EQ(FfprobeValue(file, "channels"), "2");
}

TEST_F(VorbisEncode, StoppedRunEndsItsStreamAtTheStop)
{
    const auto pcm = MakePcm(Signal::Music, 44100 * 60, 2);
    TMemoryInput input(pcm);
    input.maxChunk = 4096;
    TVorbisOut output;
    OutputRunner runner(output);
    // Stop from the worker as soon as a few percent went through.
    output.OnProgress = [&output](TComponent*) {
        if (output.Progress() >= 3)
            output.Stop();
    };
    const auto file = dir / "stopped.ogg";
    ASSERT_TRUE(EncodeInto(output, input, file, runner));
    EXPECT_EQ(runner.errorCount, 0) << runner.LastError();
    EXPECT_EQ(runner.doneCount, 1);
    const auto handedOut = static_cast<std::size_t>(input.Position());
    ASSERT_LT(handedOut, pcm.size() / 2);

    const OgginfoResult info = RunOgginfo(file);
    EXPECT_EQ(info.exitCode, 0) << info.output;
    EXPECT_TRUE(info.problems.empty()) << info.output;
    const auto pages = ReadOggPages(file);
    ASSERT_FALSE(pages.empty());
    EXPECT_TRUE(pages.back().Eos());
    const auto decoded = FfmpegDecode(file);
    EXPECT_EQ(decoded.size(), handedOut);
    const std::vector<std::uint8_t> head(pcm.begin(), pcm.begin() + static_cast<long>(handedOut));
    EXPECT_GT(Correlation(FromBytes(head), FromBytes(decoded)), 0.98);
}

// A stream in memory that notes the thread of its first write.
class FirstWriterStream : public TMemoryStream {
public:
    void Write(const void* buffer, std::size_t count) override
    {
        if (firstWriter == std::thread::id())
            firstWriter = std::this_thread::get_id();
        TMemoryStream::Write(buffer, count);
    }
    std::thread::id firstWriter;
};

TEST_F(VorbisEncode, TheStreamBeginsOnTheWorkerNotOnTheCallerOfRun)
{
    // The headers need libvorbis's analysis set-up, which costs milliseconds
    // per file: the thread that starts the run (the window's) never waits for it.
    TMemoryInput input(MakePcm(Signal::Sine, 4410, 2));
    TVorbisOut output;
    FirstWriterStream stream;
    output.SetStream(&stream);
    output.SetInput(&input);
    OutputRunner runner(output);
    ASSERT_TRUE(runner.RunAndWait());
    ASSERT_EQ(runner.doneCount, 1) << runner.LastError();
    EXPECT_EQ(stream.firstWriter, runner.doneThread);
    EXPECT_NE(stream.firstWriter, std::this_thread::get_id());
    WriteFileBytes(dir / "memory.ogg", stream.Data());
    const auto pages = ReadOggPages(dir / "memory.ogg");
    ASSERT_GE(pages.size(), 3u);
    EXPECT_TRUE(pages.front().Bos());
    EXPECT_TRUE(pages.back().Eos());
    if (ToolAvailable("oggdec")) {
        EXPECT_EQ(OggdecDecode(dir / "memory.ogg").size(), 4410u * 4);
    }
}

TEST_F(VorbisEncode, CommentsAreWrittenInOrderAndClearedAfterTheFile)
{
    TVorbisOut output;
    OutputRunner runner(output);
    output.SetComments({"TITLE=春江花月夜", "ARTIST=A", "ARTIST=B", "album=Étude = op. 10"});
    output.AddComment("DESCRIPTION=");
    TMemoryInput first(MakePcm(Signal::Sine, 22050, 2));
    ASSERT_TRUE(EncodeInto(output, first, dir / "tagged.ogg", runner));
    ASSERT_EQ(runner.errorCount, 0) << runner.LastError();
    // Each line keeps its own value, also when a name repeats.
    EXPECT_EQ(ListComments(dir / "tagged.ogg"),
              (std::vector<std::string>{"TITLE=春江花月夜", "ARTIST=A", "ARTIST=B",
                                        "album=Étude = op. 10", "DESCRIPTION="}));
    EXPECT_EQ(FfprobeTag(dir / "tagged.ogg", "title", true), "春江花月夜");
    EXPECT_TRUE(output.Comments().empty());

    TMemoryInput second(MakePcm(Signal::Sine, 22050, 2));
    ASSERT_TRUE(EncodeInto(output, second, dir / "plain.ogg", runner));
    ASSERT_EQ(runner.errorCount, 0) << runner.LastError();
    EXPECT_TRUE(ListComments(dir / "plain.ogg").empty());
}

} // namespace
} // namespace sonfeld::test
