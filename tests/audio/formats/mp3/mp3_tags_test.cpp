#include <gtest/gtest.h>

#include "mp3_test_util.h"
#include "support/signals.h"

using namespace sonfeld;
using namespace sonfeld::test;

namespace {

struct Tags {
    std::string title, artist, album, year, track, comment;
};

std::filesystem::path EncodeTagged(const TempDir& dir, const std::string& name, const Tags& tags)
{
    auto file = dir / name;
    TMemoryInput input(MakePcm(Signal::Music, 44100));
    TMP3Out output;
    output.SetId3TagTitle(tags.title);
    output.SetId3TagArtist(tags.artist);
    output.SetId3TagAlbum(tags.album);
    output.SetId3TagYear(tags.year);
    output.SetId3TagTrack(tags.track);
    output.SetId3TagComment(tags.comment);
    const auto run = RunToFile(output, input, file);
    EXPECT_EQ(run.done, 1) << run.error;
    return file;
}

void ExpectTags(const std::filesystem::path& file, const Tags& tags)
{
    EXPECT_EQ(FfprobeTag(file, "title"), tags.title);
    EXPECT_EQ(FfprobeTag(file, "artist"), tags.artist);
    EXPECT_EQ(FfprobeTag(file, "album"), tags.album);
    EXPECT_EQ(FfprobeTag(file, "date"), tags.year);
    EXPECT_EQ(FfprobeTag(file, "track"), tags.track);
    EXPECT_EQ(FfprobeTag(file, "comment"), tags.comment);
}

struct Id3v1 {
    bool present = false;
    std::string title, artist, album, year, comment;
    int track = 0;
};

std::string Field(const std::vector<std::uint8_t>& tag, std::size_t at, std::size_t size)
{
    std::string text(tag.begin() + static_cast<long>(at),
                     tag.begin() + static_cast<long>(at + size));
    return text.substr(0, text.find('\0'));
}

Id3v1 ReadId3v1(const std::filesystem::path& file)
{
    const auto bytes = ReadFileBytes(file);
    Id3v1 tag;
    if (bytes.size() < 128)
        return tag;
    const std::vector<std::uint8_t> t(bytes.end() - 128, bytes.end());
    tag.present = t[0] == 'T' && t[1] == 'A' && t[2] == 'G';
    tag.title = Field(t, 3, 30);
    tag.artist = Field(t, 33, 30);
    tag.album = Field(t, 63, 30);
    tag.year = Field(t, 93, 4);
    tag.comment = Field(t, 97, 28);
    tag.track = t[125] == 0 ? t[126] : 0;
    return tag;
}

// The file with its leading ID3v2 tag cut off, so readers fall back to ID3v1.
std::filesystem::path WithoutId3v2(const TempDir& dir, const std::filesystem::path& file)
{
    auto bytes = ReadFileBytes(file);
    EXPECT_TRUE(bytes.size() > 10 && bytes[0] == 'I' && bytes[1] == 'D' && bytes[2] == '3');
    const std::size_t size = 10 + ((bytes[6] & 0x7Fu) << 21 | (bytes[7] & 0x7Fu) << 14 |
                                   (bytes[8] & 0x7Fu) << 7 | (bytes[9] & 0x7Fu));
    bytes.erase(bytes.begin(), bytes.begin() + static_cast<long>(size));
    auto out = dir / ("v1-" + file.filename().string());
    WriteFileBytes(out, bytes);
    return out;
}

} // namespace

TEST(Mp3Tags, ChineseAndLatinTextReadBackExactly)
{
    TempDir dir;
    const Tags tags{
        "黄河大合唱 第一乐章", "中央乐团", "Café Müller — 精选", "1987", "7", "试听版 😀"};
    const auto file = EncodeTagged(dir, "zh.mp3", tags);
    ExpectTags(file, tags);
    EXPECT_EQ(FfmpegDecode(file).size(), 44100u * 4);

    // ID3v1 cannot hold these texts: their fields stay empty rather than
    // carrying broken bytes; what it can hold is there.
    const auto v1 = ReadId3v1(file);
    ASSERT_TRUE(v1.present);
    EXPECT_EQ(v1.title, "");
    EXPECT_EQ(v1.artist, "");
    EXPECT_EQ(v1.album, "");
    EXPECT_EQ(v1.year, "1987");
    EXPECT_EQ(v1.track, 7);
}

TEST(Mp3Tags, LatinTextFillsBothTagsWithWholeCharacters)
{
    TempDir dir;
    // 34 characters: the ID3v1 title keeps the first 30, each one byte.
    const Tags tags{"Ça plane pour moi, très ÉLÉGANCE",
                    "Françoise Hardy",
                    "Déjà vu",
                    "1968",
                    "12",
                    "Überall grün"};
    const auto file = EncodeTagged(dir, "fr.mp3", tags);
    ExpectTags(file, tags);

    const auto v1 = ReadId3v1(file);
    ASSERT_TRUE(v1.present);
    EXPECT_EQ(v1.title, "\xC7"
                        "a plane pour moi, tr\xE8s \xC9L\xC9GAN");
    EXPECT_EQ(v1.artist, "Fran\xE7oise Hardy");
    EXPECT_EQ(v1.album, "D\xE9j\xE0 vu");
    EXPECT_EQ(v1.comment, "\xDC"
                          "berall gr\xFCn");
    EXPECT_EQ(v1.year, "1968");
    EXPECT_EQ(v1.track, 12);

    // Without the ID3v2 tag a reader finds the ID3v1 tag, and the audio is intact.
    const auto v1Only = WithoutId3v2(dir, file);
    EXPECT_EQ(FfprobeTag(v1Only, "date"), "1968");
    EXPECT_EQ(FfprobeTag(v1Only, "track"), "12");
    EXPECT_EQ(FfmpegDecode(v1Only).size(), 44100u * 4);
}

TEST(Mp3Tags, SixPropertiesFeedTheirOwnFields)
{
    TempDir dir;
    const Tags all{"T", "Ar", "Al", "2001", "3", "C"};
    ExpectTags(EncodeTagged(dir, "all.mp3", all), all);

    // Only title and track set, as the rip queue does: the other four stay empty.
    const Tags some{"Track 4", "", "", "", "4", ""};
    const auto file = EncodeTagged(dir, "some.mp3", some);
    ExpectTags(file, some);
    const auto v1 = ReadId3v1(file);
    EXPECT_EQ(v1.title, "Track 4");
    EXPECT_EQ(v1.track, 4);
    EXPECT_EQ(v1.artist, "");

    // With all six empty the file carries no tag at all.
    const auto bare = EncodeTagged(dir, "bare.mp3", Tags{});
    const auto bytes = ReadFileBytes(bare);
    ASSERT_GT(bytes.size(), 128u);
    EXPECT_NE(std::string(bytes.begin(), bytes.begin() + 3), "ID3");
    EXPECT_FALSE(ReadId3v1(bare).present);
    EXPECT_EQ(FfmpegDecode(bare).size(), 44100u * 4);

    // The properties keep their values from one run to the next.
    TMP3Out output;
    output.SetId3TagAlbum("Keep");
    TMemoryInput first(MakePcm(Signal::Sine, 4410));
    TMemoryInput second(MakePcm(Signal::Sine, 4410));
    ASSERT_EQ(RunToFile(output, first, dir / "k1.mp3").done, 1);
    ASSERT_EQ(RunToFile(output, second, dir / "k2.mp3").done, 1);
    EXPECT_EQ(FfprobeTag(dir / "k2.mp3", "album"), "Keep");
    EXPECT_EQ(output.Id3TagAlbum(), "Keep");
}
