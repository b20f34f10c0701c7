// Every format of the format combo, ripped through the window and decoded by
// ffmpeg: lossless formats byte for byte, the others by length and likeness.

#include <QComboBox>
#include <QLineEdit>

#include "app/settings/settings_store.h"
#include "app/text/texts.h"
#include "app_fixture.h"
#include "support/signals.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

class RipFormatsTest : public WindowTest {
protected:
    std::vector<std::int64_t> DiscSectors() const override { return {330, 300}; }

    void RipAll(const QString& format)
    {
        OpenWindows();
        SelectDiscDrive();
        ChooseFormat(format);
        Form().edtDes->setText(QString::fromStdString(outDir_.string()));
        PressRip();
        ASSERT_TRUE(WaitForAllDone());
        for (int row = 0; row < 2; ++row)
            ASSERT_EQ(Rows().Status(row), TTrackStatus::Converted) << row;
    }

    void ExpectExact(const std::string& extension)
    {
        for (int track : {1, 2}) {
            const auto file = Output("Track" + std::to_string(track) + extension);
            const std::vector<std::uint8_t> decoded = FfmpegDecode(file);
            ASSERT_FALSE(decoded.empty()) << file;
            EXPECT_TRUE(decoded == disc_.TrackBytes(track)) << file;
        }
    }

    // Same length within slack frames, and a signal alike to the disc's.
    void ExpectAlike(const std::string& extension, std::size_t slackFrames, double minCorrelation)
    {
        for (int track : {1, 2}) {
            const auto file = Output("Track" + std::to_string(track) + extension);
            const std::vector<std::uint8_t> decoded = FfmpegDecode(file, 2);
            const std::vector<std::uint8_t> expected = disc_.TrackBytes(track);
            ASSERT_FALSE(decoded.empty()) << file;
            const auto frames = [](std::size_t bytes) { return static_cast<long>(bytes / 4); };
            EXPECT_LE(std::labs(frames(decoded.size()) - frames(expected.size())),
                      static_cast<long>(slackFrames))
                << file;
            std::vector<std::int16_t> a = FromBytes(expected);
            std::vector<std::int16_t> b = FromBytes(decoded);
            const std::size_t n = std::min(a.size(), b.size());
            a.resize(n);
            b.resize(n);
            EXPECT_GT(Correlation(a, b), minCorrelation) << file;
        }
    }
};

TEST_F(RipFormatsTest, Wav)
{
    RipAll(QStringLiteral("Wav"));
    EXPECT_EQ(FfprobeValue(Output("Track1.wav"), "codec_name"), "pcm_s16le");
    ExpectExact(".wav");
}

TEST_F(RipFormatsTest, WavWithImaAdpcmFromTheSettings)
{
    WriteSetting(QStringLiteral("wtWaveType"), QStringLiteral("DVI IMA ADPCM"));
    RipAll(QStringLiteral("Wav"));
    EXPECT_EQ(FfprobeValue(Output("Track1.wav"), "codec_name"), "adpcm_ima_wav");
    ExpectAlike(".wav", 1024, 0.95);
}

TEST_F(RipFormatsTest, Flac)
{
    RipAll(QStringLiteral("FLAC"));
    if (ToolAvailable("flac")) {
        EXPECT_EQ(RunCommand("flac -t -s " + ShellQuote(Output("Track1.flac").string())), 0);
    }
    ExpectExact(".flac");
}

TEST_F(RipFormatsTest, Ape)
{
    RipAll(QStringLiteral("Ape"));
    EXPECT_EQ(FfprobeValue(Output("Track1.ape"), "codec_name"), "ape");
    ExpectExact(".ape");
}

TEST_F(RipFormatsTest, Ogg)
{
    RipAll(QStringLiteral("Ogg"));
    EXPECT_EQ(FfprobeValue(Output("Track1.ogg"), "codec_name"), "vorbis");
    if (ToolAvailable("ogginfo")) {
        EXPECT_EQ(RunCommand("ogginfo -q " + ShellQuote(Output("Track2.ogg").string()) +
                             " >/dev/null 2>&1"),
                  0);
    }
    ExpectAlike(".ogg", 0, 0.9);
}

TEST_F(RipFormatsTest, Mp3AtTheStoredBitRate)
{
    WriteSetting(QStringLiteral("MP3BitRate"), QStringLiteral("br320"));
    WriteFlag(QStringLiteral("writeFullTags"), false);
    RipAll(QStringLiteral("MP3"));
    EXPECT_EQ(FfprobeValue(Output("Track1.mp3"), "codec_name"), "mp3");
    EXPECT_EQ(FfprobeValue(Output("Track1.mp3"), "bit_rate"), "320000");
    // No tag flag is on and full tags are off: the files carry no title.
    EXPECT_EQ(FfprobeTag(Output("Track1.mp3"), "title"), "");
    ExpectAlike(".mp3", 0, 0.9);
}

} // namespace
} // namespace sonfeld::test
