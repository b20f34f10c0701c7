// Sheets in the encodings album images come with, and sheets embedded in the
// audio file itself (FLAC CUESHEET block or comment, APEv2 "Cuesheet" item of
// APE and WavPack files): read right, and opened as discs that rip the file's
// audio byte for byte, with the silence padding a last partial sector known.

#include <gtest/gtest.h>
#include <iconv.h>

#include <fstream>

#include "audio/cd/cdrip_binding.h"
#include "audio/cd/disc/cue_sheet.h"
#include "audio/cd/disc/embedded_sheet.h"
#include "audio/cd/disc_model_reading.h"
#include "audio/formats/ape/ape_test_files.h"
#include "support/disc_fixture.h"
#include "support/signals.h"

namespace sonfeld::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kSector = 2352;

std::string Encode(const std::string& utf8, const char* encoding)
{
    iconv_t cd = iconv_open(encoding, "UTF-8");
    EXPECT_NE(reinterpret_cast<std::intptr_t>(cd), -1);
    std::string input = utf8;
    std::string output(utf8.size() * 4 + 16, '\0');
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    EXPECT_NE(iconv(cd, &in, &inLeft, &out, &outLeft), static_cast<std::size_t>(-1)) << encoding;
    iconv_close(cd);
    output.resize(output.size() - outLeft);
    return output;
}

std::string Sheet(const std::string& performer, const std::string& album,
                  const std::vector<std::string>& titles, const std::string& file = "a.wav")
{
    std::string sheet = "PERFORMER \"" + performer + "\"\r\nTITLE \"" + album + "\"\r\nFILE \"" +
                        file + "\" WAVE\r\n";
    for (std::size_t t = 0; t < titles.size(); ++t) {
        sheet += "  TRACK 0" + std::to_string(t + 1) + " AUDIO\r\n    TITLE \"" + titles[t] +
                 "\"\r\n    INDEX 01 00:0" + std::to_string(t * 2) + ":00\r\n";
    }
    return sheet;
}

TEST(SheetEncodingTest, EachEncodingIsRecognisedAndAGivenOneIsUsedInstead)
{
    struct Case {
        const char* iconvName;
        std::string prefix;
        std::string sheet;
        const char* expected;
    };
    const std::string simplified =
        Sheet("周杰伦", "十一月的萧邦", {"夜曲", "发如雪", "黑色毛衣", "四面楚歌", "枫"});
    const std::string traditional =
        Sheet("周杰倫", "十一月的蕭邦", {"夜曲", "髮如雪", "黑色毛衣", "四面楚歌", "楓"});
    const std::string japanese = Sheet("宇多田ヒカル", "ファースト・ラヴ",
                                       {"オートマティック", "ムーヴィン・オン・ウィズアウト・ユー",
                                        "ファースト・ラヴ", "甘いワナ", "時間はかかるけど"});
    const std::vector<Case> cases = {
        {"GB18030", "", simplified, "GB18030"},   {"BIG5", "", traditional, "Big5"},
        {"SHIFT_JIS", "", japanese, "Shift-JIS"}, {"UTF-8", "\xEF\xBB\xBF", traditional, "UTF-8"},
        {"UTF-8", "", japanese, "UTF-8"},         {"UTF-16LE", "\xFF\xFE", japanese, "UTF-16LE"},
        {"UTF-16BE", "", simplified, "UTF-16BE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        const std::string bytes = c.prefix + Encode(c.sheet, c.iconvName);
        const disc::CueSheet sheet = disc::ParseCueSheet(bytes);
        const disc::CueSheet expected = disc::ParseCueSheet(c.sheet);
        EXPECT_EQ(sheet.encoding.name, c.expected);
        EXPECT_TRUE(sheet.encoding.certain);
        EXPECT_EQ(sheet.text.performer, expected.text.performer);
        ASSERT_EQ(sheet.tracks.size(), expected.tracks.size());
        for (std::size_t t = 0; t < sheet.tracks.size(); ++t)
            EXPECT_EQ(sheet.tracks[t].text.title, expected.tracks[t].text.title);
    }

    // A short title reads alike in GB18030 and Big5: GB18030 is taken, as a guess.
    const disc::CueSheet close =
        disc::ParseCueSheet(Encode(Sheet("", "晨光", {"晨光"}), "GB18030"));
    EXPECT_EQ(close.text.title, "晨光");
    EXPECT_FALSE(close.encoding.certain);
    // The encoding given wins over the guess, and one the bytes are not valid in is refused.
    const std::string big5 = Encode(traditional, "BIG5");
    EXPECT_EQ(disc::ParseCueSheet(big5, "big5").text.title, "十一月的蕭邦");
    EXPECT_EQ(disc::ParseCueSheet(big5, "big5").encoding.name, "big5");
    EXPECT_NE(disc::ParseCueSheet(big5, "GBK").text.title, "十一月的蕭邦");
    EXPECT_THROW(disc::ParseCueSheet(big5, "UTF-8"), disc::DiscError);
    // Latin-1 stays Latin-1.
    EXPECT_EQ(
        disc::ParseCueSheet(Encode(Sheet("Björk", "Café Noir", {"Éclair"}), "LATIN1")).text.title,
        "Café Noir");
}

void WriteText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// An APEv2 tag (no header) holding one "Cuesheet" item after a "Title" item.
std::string ApeTag(const std::string& sheet)
{
    std::string items;
    auto u32 = [](std::string& to, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            to += static_cast<char>(v >> (8 * i));
    };
    auto item = [&](const std::string& key, const std::string& value) {
        u32(items, static_cast<std::uint32_t>(value.size()));
        u32(items, 0);
        items += key + '\0' + value;
    };
    item("Title", "Album");
    item("CUESHEET", sheet);
    std::string tag = items + "APETAGEX";
    u32(tag, 2000);
    u32(tag, static_cast<std::uint32_t>(items.size() + 32));
    u32(tag, 2);
    u32(tag, 0);
    tag += std::string(8, '\0');
    return tag;
}

TEST(EmbeddedSheetTest, FlacApeAndWavPackFilesCarryingTheirSheetOpenAsDiscs)
{
    if (!ToolAvailable("flac") || !ToolAvailable("metaflac") || !ToolAvailable("wavpack"))
        GTEST_SKIP() << "flac, metaflac or wavpack is not installed";
    TempDir dir;
    // 12 seconds and 100 samples: the last sector is padded.
    const int samples = 12 * 44100 + 100;
    const Bytes pcm = MakePcm(Signal::Music, samples, 2, 44100, 0.6, 5);
    WriteCdWaveFile(dir / "in.wav", pcm);
    const std::string sheet = "REM made by hand\nPERFORMER \"王菲\"\nTITLE \"唱游\"\n"
                              "FILE \"in.wav\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"打错了\"\n"
                              "    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    TITLE \"约定\"\n"
                              "    INDEX 00 00:04:00\n    INDEX 01 00:05:15\n";
    WriteText(dir / "in.cue", sheet);
    const std::string in = "cd " + ShellQuote(dir.Path().string()) + " && ";
    // flac turns the sheet into its binary CUESHEET block (no titles).
    ASSERT_EQ(RunCommand(in + "flac -s --cuesheet=in.cue in.wav -o block.flac && "
                              "flac -s in.wav -o comment.flac && "
                              "metaflac --set-tag-from-file=CUESHEET=in.cue comment.flac && "
                              "wavpack -q -y -w Cuesheet=@in.cue in.wav -o tagged.wv && "
                              "flac -s in.wav -o plain.flac"),
              0);
    ape::EncodeOptions options;
    options.level = 3000;
    ASSERT_EQ(ape::EncodeFile(dir / "tagged.ape", pcm, options), 0);
    {
        std::ofstream(dir / "tagged.ape", std::ios::binary | std::ios::app) << ApeTag(sheet);
    }

    Bytes disc = pcm;
    disc.resize((pcm.size() + kSector - 1) / kSector * kSector, 0);
    for (const std::string name : {"block.flac", "comment.flac", "tagged.wv", "tagged.ape"}) {
        SCOPED_TRACE(name);
        const int drive = LoadRealLibraryWithImages({dir / name});
        const auto model = ReadDiscModel(drive);
        ASSERT_TRUE(model) << cdrip::LastError();
        ASSERT_EQ(model->tracks.size(), 2u);
        EXPECT_EQ(model->tracks[1].pregapLsn, 4 * 75);
        EXPECT_EQ(model->tracks[1].startLsn, 5 * 75 + 15);
        EXPECT_EQ(model->tracks[0].paddingSamples, 0);
        EXPECT_EQ(model->tracks[1].paddingSamples, 588 - samples % 588);
        if (std::string(name) != "block.flac") {
            EXPECT_EQ(model->tracks[1].text.title, "约定");
        }
        ASSERT_EQ(static_cast<std::size_t>(model->leadOutLsn) * kSector, disc.size());

        const Bytes ripped = RipThroughLibrary(drive, 0, model->leadOutLsn, 7);
        EXPECT_TRUE(ripped == disc);
    }

    // A FLAC file without a sheet is not a disc, and says why.
    LoadRealLibraryWithImages({});
    EXPECT_EQ(cdrip::Api().AddImage((dir / "plain.flac").string().c_str()), CR_ERROR);
    EXPECT_NE(cdrip::LastError().find("holds no CUE sheet"), std::string::npos)
        << cdrip::LastError();
}

} // namespace
} // namespace sonfeld::test
