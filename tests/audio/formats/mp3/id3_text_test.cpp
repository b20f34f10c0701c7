#include <gtest/gtest.h>

#include "audio/formats/mp3/id3_text.h"

using namespace sonfeld;

TEST(Id3Text, Latin1OnlyWhenEveryCharacterFits)
{
    EXPECT_EQ(Utf8ToLatin1(""), std::string());
    EXPECT_EQ(Utf8ToLatin1("Track 1"), std::string("Track 1"));
    EXPECT_EQ(Utf8ToLatin1("Café ÿ"), std::string("Caf\xE9 \xFF"));
    EXPECT_FALSE(Utf8ToLatin1("黄河").has_value());
    EXPECT_FALSE(Utf8ToLatin1("a€").has_value()); // U+20AC is outside Latin-1
}

TEST(Id3Text, BrokenUtf8BytesStandForThemselves)
{
    // A lone continuation byte, a cut sequence, an overlong form and a
    // surrogate: none is refused, each byte is kept as a Latin-1 character.
    EXPECT_EQ(Utf8ToLatin1("a\x80z"), std::string("a\x80z"));
    EXPECT_EQ(Utf8ToLatin1("\xE9\xBB"), std::string("\xE9\xBB"));
    EXPECT_EQ(Utf8ToLatin1("\xC0\xAF"), std::string("\xC0\xAF"));
    EXPECT_EQ(Utf8ToLatin1("\xED\xA0\x80"), std::string("\xED\xA0\x80"));
}

TEST(Id3Text, Utf16CarriesAMarkAndSurrogatePairs)
{
    const std::vector<unsigned short> empty{0xFEFF, 0};
    EXPECT_EQ(Utf8ToUtf16WithBom(""), empty);
    const std::vector<unsigned short> text{0xFEFF, 0x9EC4, 0x6CB3, 'A', 0xE9, 0xD83D, 0xDE00, 0};
    EXPECT_EQ(Utf8ToUtf16WithBom("黄河Aé😀"), text);
    const std::vector<unsigned short> broken{0xFEFF, 0x9EC4, 0xE9, 0};
    EXPECT_EQ(Utf8ToUtf16WithBom("黄\xE9"), broken);
}
