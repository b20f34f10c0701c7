// Images whose audio is APE, WavPack, TTA or ALAC, decoded through FFmpeg's
// libraries: any sector read gives what ffmpeg's own full decode gives, a
// whole-image rip through the real library is that decode byte for byte
// (the last partial sector padded with silence), and what cannot be a disc is
// refused with its reason.

#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "audio/cd/cd_in.h"
#include "audio/cd/cdrip_binding.h"
#include "audio/cd/disc/decoded_image_file.h"
#include "audio/cd/disc/ffmpeg_library.h"
#include "audio/cd/disc/image_file.h"
#include "audio/cd/disc_model_reading.h"
#include "audio/core/acs_exception.h"
#include "audio/formats/ape/ape_test_files.h"
#include "support/disc_fixture.h"
#include "support/signals.h"

namespace sonfeld::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kSector = 2352;
// 20 seconds and a part of a sector: several frames of every codec, and a
// length that does not fill the last sector.
constexpr int kSamples = 20 * 44100 + 301;

void WriteText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

struct Image {
    std::string name;
    std::string tool;    // needed to make it; empty: our own encoder
    std::string command; // shell command making name from in.wav / in.raw
    int apeLevel = 0;
};

void PrintTo(const Image& image, std::ostream* out)
{
    *out << image.name;
}

std::string Label(const testing::TestParamInfo<Image>& info)
{
    std::string label = info.param.name;
    for (char& c : label)
        c = std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
    return label;
}

class DecodedImageTest : public testing::TestWithParam<Image> {
protected:
    // The image file made from pcm, or empty when its tool is missing.
    std::filesystem::path Make(const Bytes& pcm)
    {
        const Image& image = GetParam();
        std::filesystem::path file = dir_ / image.name;
        if (image.apeLevel != 0) {
            ape::EncodeOptions options;
            options.level = image.apeLevel;
            EXPECT_EQ(ape::EncodeFile(file, pcm, options), 0);
            return file;
        }
        if (!ToolAvailable(image.tool))
            return {};
        WriteFileBytes(dir_ / "in.raw", pcm);
        WriteCdWaveFile(dir_ / "in.wav", pcm);
        EXPECT_EQ(RunCommand("cd " + ShellQuote(dir_.Path().string()) + " && " + image.command), 0);
        return file;
    }

    TempDir dir_;
};

TEST_P(DecodedImageTest, SectorsAnywhereAndAWholeRipEqualAFullDecode)
{
    if (!ToolAvailable("ffmpeg"))
        GTEST_SKIP() << "ffmpeg is not installed";
    const Bytes source = MakePcm(Signal::Music, kSamples, 2, 44100, 0.7, 3);
    const std::filesystem::path file = Make(source);
    if (file.empty())
        GTEST_SKIP() << GetParam().tool << " is not installed";
    const Bytes decoded = FfmpegDecode(file);
    ASSERT_EQ(decoded, source) << "the image is not lossless";

    auto image = disc::OpenImageFile(file, disc::CueFileType::Wave, GetParam().name);
    ASSERT_EQ(image->Bytes(), static_cast<std::int64_t>(decoded.size()));
    const std::int64_t sectors = (image->Bytes() + kSector - 1) / kSector;
    // Reads jump back and forth, as seeks, overlap reads and offset
    // correction make them; some start mid-sector (a read offset).
    std::mt19937 random(11);
    for (int i = 0; i < 60; ++i) {
        const std::int64_t first = static_cast<std::int64_t>(random() % sectors);
        const std::int64_t shift = i % 3 == 0 ? static_cast<std::int64_t>(random() % 588) * 4 : 0;
        const std::int64_t offset =
            std::min<std::int64_t>(first * kSector + shift, image->Bytes() - 4);
        const auto count = static_cast<std::size_t>(std::min<std::int64_t>(
            static_cast<std::int64_t>(1 + random() % 40) * kSector, image->Bytes() - offset));
        Bytes read(count);
        std::string error;
        ASSERT_TRUE(image->Read(offset, count, read.data(), error)) << error;
        ASSERT_TRUE(std::equal(read.begin(), read.end(), decoded.begin() + offset))
            << "read of " << count << " bytes at " << offset;
    }

    // Read in order, as a rip reads, each frame is decoded once.
    auto fresh = disc::OpenImageFile(file, disc::CueFileType::Wave, GetParam().name);
    Bytes whole(decoded.size());
    for (std::size_t at = 0; at < whole.size(); at += 13 * kSector) {
        const std::size_t count = std::min(13 * kSector, whole.size() - at);
        std::string error;
        ASSERT_TRUE(fresh->Read(static_cast<std::int64_t>(at), count, whole.data() + at, error))
            << error;
    }
    EXPECT_TRUE(whole == decoded);
    EXPECT_EQ(disc::DecodedSamples(*fresh), kSamples);

    const std::filesystem::path cue = dir_ / "disc.cue";
    WriteText(cue, "FILE \"" + GetParam().name +
                       "\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                       "  TRACK 02 AUDIO\n    INDEX 00 00:06:00\n    INDEX 01 00:07:10\n"
                       "  TRACK 03 AUDIO\n    INDEX 01 00:13:40\n");
    const int drive = LoadRealLibraryWithImages({cue});
    const auto model = ReadDiscModel(drive);
    ASSERT_TRUE(model) << cdrip::LastError();
    ASSERT_EQ(model->leadOutLsn, sectors);
    const Bytes ripped = RipThroughLibrary(drive, 0, model->leadOutLsn, 13);
    Bytes padded = decoded;
    padded.resize(static_cast<std::size_t>(sectors) * kSector, 0);
    EXPECT_TRUE(ripped == padded);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, DecodedImageTest,
    testing::Values(Image{"fast.ape", "", "", 1000}, Image{"normal.ape", "", "", 2000},
                    Image{"high.ape", "", "", 3000}, Image{"extra.ape", "", "", 4000},
                    Image{"album.wv", "wavpack", "wavpack -q -y in.wav -o album.wv"},
                    Image{
                        "album.tta", "ffmpeg",
                        "ffmpeg -v error -y -f s16le -ar 44100 -ac 2 -i in.raw -c:a tta album.tta"},
                    Image{"album.m4a", "ffmpeg",
                          "ffmpeg -v error -y -f s16le -ar 44100 -ac 2 -i in.raw -c:a alac "
                          "album.m4a"}),
    Label);

TEST(DecodedImageRefusalTest, LossyAudioAndAMissingLibraryAreRefusedWithTheirReason)
{
    if (!ToolAvailable("ffmpeg") || !ToolAvailable("wavpack"))
        GTEST_SKIP() << "ffmpeg or wavpack is not installed";
    TempDir dir;
    const Bytes pcm = MakePcm(Signal::Music, 3 * 44100);
    WriteFileBytes(dir / "in.raw", pcm);
    WriteCdWaveFile(dir / "in.wav", pcm);
    const std::string in = "cd " + ShellQuote(dir.Path().string()) + " && ";
    ASSERT_EQ(RunCommand(in + "ffmpeg -v error -y -f s16le -ar 44100 -ac 2 -i in.raw -c:a "
                              "libmp3lame a.mp3 -c:a aac b.m4a -c:a libvorbis c.ogg"),
              0);
    ASSERT_EQ(RunCommand(in + "wavpack -q -y -b320 in.wav -o d.wv && "
                              "wavpack -q -y in.wav -o e.wv && wavpack -q -y -b320 -c in.wav -o "
                              "f.wv"),
              0);
    const auto sheet = [&](const std::string& name, const std::string& type) {
        std::filesystem::path cue = dir / (name + ".cue");
        WriteText(cue, "FILE \"" + name + "\" " + type + "\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
        return cue;
    };
    for (const auto& [name, type] :
         std::vector<std::pair<std::string, std::string>>{{"a.mp3", "MP3"},
                                                          {"b.m4a", "WAVE"},
                                                          {"c.ogg", "WAVE"},
                                                          {"d.wv", "WAVE"},
                                                          {"f.wv", "WAVE"}}) {
        SCOPED_TRACE(name);
        EXPECT_NE(ImageRefusal(sheet(name, type)).find("有损格式不能作为光盘镜像"),
                  std::string::npos);
    }
    EXPECT_EQ(ImageRefusal(sheet("e.wv", "WAVE")), "(accepted)");

    // Without libavcodec only these formats are refused, naming it (the
    // image reader as this process holds it: the CD library has its own).
    const auto open = [&](const std::string& name) -> std::string {
        try {
            disc::OpenImageFile(dir / name, disc::CueFileType::Wave, name);
        } catch (const disc::DiscError& error) {
            return error.what();
        }
        return "(accepted)";
    };
    ASSERT_FALSE(LoadBinding<AvCodecEntryPoints>("libavcodec-missing.so.59"));
    EXPECT_EQ(open("e.wv"),
              "\"e.wv\" is a WavPack file, and libavcodec-missing.so.59 could not be loaded to "
              "decode it.");
    WriteCdWaveFile(dir / "g.wav", pcm);
    EXPECT_EQ(open("g.wav"), "(accepted)");
    ASSERT_TRUE(LoadBinding<AvCodecEntryPoints>());
    EXPECT_EQ(open("e.wv"), "(accepted)");
}

} // namespace
} // namespace sonfeld::test
