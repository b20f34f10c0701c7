#include "app/metadata/xmcd_parser.h"
#include "lookup_answers.h"

#include <gtest/gtest.h>

namespace sonfeld::app::metadata {
namespace {

TEST(XmcdParserTest, ReadsTheEntryWithContinuationsAndEscapes)
{
    const TXmcdEntry entry = ParseCddbReadAnswer(test::GnudbEntry());
    EXPECT_EQ(entry.code, 210);
    ASSERT_TRUE(entry.valid);
    const TDiscMetadata& disc = entry.metadata;
    EXPECT_EQ(disc.album.source, TMetadataSource::Gnudb);
    EXPECT_EQ(disc.album.albumArtist.value, QStringLiteral("北方的艾达 & 潮汐"));
    EXPECT_EQ(disc.album.album.value, QStringLiteral("海港之光"));
    EXPECT_EQ(disc.album.date.value, QStringLiteral("2001"));
    EXPECT_EQ(disc.album.genre.value, QStringLiteral("Ambient"));
    EXPECT_EQ(disc.album.comment.value, QStringLiteral("Recorded by the sea.\nSecond line"));
    ASSERT_EQ(disc.tracks.size(), 3);
    EXPECT_EQ(disc.tracks[1].title.value,
              QStringLiteral("港の灯り (a title long enough to need a second line)"));
    EXPECT_EQ(disc.tracks[2].title.value, QStringLiteral("Café\tFlood"));
    EXPECT_EQ(disc.tracks[2].artist.value, QStringLiteral("北方的艾达 & 潮汐"));
}

TEST(XmcdParserTest, CompilationsSplitTrackArtistsAndOldEntriesKeepTheYearInExtd)
{
    const TDiscMetadata disc = ParseXmcd(QStringLiteral("DTITLE=Various / 合集\n"
                                                        "TTITLE0=甲 / 第一首\n"
                                                        "TTITLE1=No Artist Here\n"
                                                        "EXTD=YEAR: 1998 ID3G: 12\n"
                                                        "TTITLE1=\\\\ end\n"));
    EXPECT_EQ(disc.album.albumArtist.value, QStringLiteral("Various"));
    EXPECT_EQ(disc.album.compilation.value, QStringLiteral("1"));
    EXPECT_EQ(disc.album.date.value, QStringLiteral("1998"));
    // No DGENRE: no genre, whatever category the server files the entry under.
    EXPECT_TRUE(disc.album.genre.value.isEmpty());
    ASSERT_EQ(disc.tracks.size(), 2);
    EXPECT_EQ(disc.tracks[0].artist.value, QStringLiteral("甲"));
    EXPECT_EQ(disc.tracks[0].title.value, QStringLiteral("第一首"));
    EXPECT_EQ(disc.tracks[1].title.value, QStringLiteral("No Artist Here\\ end"));

    // Without " / " the artist and the album are the same text.
    const TDiscMetadata plain = ParseXmcd(QStringLiteral("DTITLE=Solo\nTTITLE0=A/B"));
    EXPECT_EQ(plain.album.albumArtist.value, QStringLiteral("Solo"));
    EXPECT_EQ(plain.album.album.value, QStringLiteral("Solo"));
    EXPECT_TRUE(plain.album.compilation.value.isEmpty());
    EXPECT_EQ(plain.tracks.value(0).title.value, QStringLiteral("A/B"));
}

TEST(XmcdParserTest, QueryAnswers)
{
    TCddbQueryAnswer one = ParseCddbQueryAnswer(test::GnudbQueryFound());
    EXPECT_EQ(one.code, 200);
    ASSERT_EQ(one.matches.size(), 1);
    EXPECT_EQ(one.matches[0].category, QStringLiteral("misc"));
    EXPECT_EQ(one.matches[0].discId, QStringLiteral("0c000603"));
    EXPECT_EQ(one.matches[0].title, QStringLiteral("北方的艾达 & 潮汐 / 海港之光"));

    TCddbQueryAnswer several =
        ParseCddbQueryAnswer("211 close matches found\r\nrock 0c000603 A / B\r\nmisc 0c000604 C / "
                             "D\r\n.\r\nrock x y\r\n");
    EXPECT_EQ(several.code, 211);
    ASSERT_EQ(several.matches.size(), 2);
    EXPECT_EQ(several.matches[1].discId, QStringLiteral("0c000604"));

    EXPECT_EQ(ParseCddbQueryAnswer("202 No match found\r\n").code, 202);
    EXPECT_EQ(ParseCddbQueryAnswer("<html>").code, 0);
    EXPECT_TRUE(ParseCddbQueryAnswer("200\r\n").matches.isEmpty());
}

TEST(XmcdParserTest, ReadFailuresAndGarbageAreNotEntries)
{
    EXPECT_EQ(ParseCddbReadAnswer("401 misc 0c000603 No such CD entry in database\r\n").code, 401);
    EXPECT_FALSE(ParseCddbReadAnswer("401 x\r\n").valid);
    EXPECT_FALSE(ParseCddbReadAnswer("210 misc 0c000603\r\n.\r\n").valid);
    EXPECT_FALSE(ParseCddbReadAnswer("<html><body>busy</body></html>").valid);
    EXPECT_FALSE(ParseCddbReadAnswer(QByteArray("\xff\xfe\x00=", 4)).valid);
    // A huge track number is not taken as 100 000 tracks.
    EXPECT_LE(ParseXmcd(QStringLiteral("TTITLE99999=x\nTTITLE98=y")).tracks.size(), 99);
}

TEST(XmcdParserTest, AnAnswerReadPastItsBudgetIsNoAnswer)
{
    const TParseBudget spent(std::chrono::milliseconds(0));
    const TXmcdEntry entry = ParseCddbReadAnswer(test::GnudbEntry(), spent);
    EXPECT_TRUE(entry.overBudget);
    EXPECT_FALSE(entry.valid);
    const TCddbQueryAnswer query =
        ParseCddbQueryAnswer("210 exact matches\r\nrock 0c000603 A / B\r\n.\r\n", spent);
    EXPECT_TRUE(query.overBudget);
    EXPECT_TRUE(query.matches.isEmpty());
    EXPECT_FALSE(ParseCddbReadAnswer(test::GnudbEntry()).overBudget);
}

} // namespace
} // namespace sonfeld::app::metadata
