#include "app/metadata/musicbrainz_mapping.h"
#include "lookup_answers.h"

#include <gtest/gtest.h>

namespace sonfeld::app::metadata {
namespace {

TEST(MusicBrainzMappingTest, MapsTheReleaseAndTheMediumOfTheDisc)
{
    const TMusicBrainzMapping mapping = MapDiscIdAnswer(test::TwoReleasesJson(), test::kDiscId, 3);
    ASSERT_TRUE(mapping.valid);
    ASSERT_EQ(mapping.candidates.size(), 2);
    const TReleaseCandidate& a = mapping.candidates[0];
    EXPECT_EQ(a.releaseId, test::kReleaseA);
    EXPECT_EQ(a.artist, QStringLiteral("北方的艾达 & 潮汐"));
    EXPECT_EQ(a.title, QStringLiteral("海港之光"));
    EXPECT_EQ(a.date, QStringLiteral("2001-02-03"));
    EXPECT_EQ(a.country, QStringLiteral("JP"));
    EXPECT_EQ(a.label, QStringLiteral("码头唱片"));
    EXPECT_EQ(a.catalogNumber, QStringLiteral("TIDE-001"));
    EXPECT_EQ(a.barcode, QStringLiteral("4900000000017"));
    EXPECT_EQ(a.trackCount, 3);
    EXPECT_TRUE(a.hasFrontCover);

    // The second medium lists the disc ID: its tracks, disc 2 of 2.
    const TDiscMetadata& disc = a.metadata;
    EXPECT_EQ(disc.album.discNumber.value, QStringLiteral("2"));
    EXPECT_EQ(disc.album.discTotal.value, QStringLiteral("2"));
    EXPECT_EQ(disc.album.releaseGroupId.value,
              QStringLiteral("60000000-0000-4000-8000-000000000001"));
    // Every artist of a credit, one per line.
    EXPECT_EQ(disc.album.albumArtistId.value,
              QStringLiteral("40000000-0000-4000-8000-00000000000a\n"
                             "40000000-0000-4000-8000-00000000000c"));
    ASSERT_EQ(disc.tracks.size(), 3);
    EXPECT_EQ(disc.tracks[0].title.value, QStringLiteral("低潮 a2"));
    EXPECT_EQ(disc.tracks[0].isrc.value, QStringLiteral("XXZZZ0100001"));
    EXPECT_EQ(disc.tracks[0].recordingId.value, QStringLiteral("30000000-0000-4000-8000-a201"));
    EXPECT_EQ(disc.tracks[0].releaseTrackId.value, QStringLiteral("20000000-0000-4000-8000-a201"));
    EXPECT_EQ(disc.tracks[1].artist.value, QStringLiteral("Zoë Ñandú feat. 潮汐"));
    EXPECT_EQ(disc.tracks[1].artistId.value,
              QStringLiteral("40000000-0000-4000-8000-00000000000b\n"
                             "40000000-0000-4000-8000-00000000000c"));
    EXPECT_EQ(disc.tracks[1].artists.value, QStringLiteral("Zoë Ñandú\n潮汐"));
    EXPECT_TRUE(disc.tracks[1].isrc.value.isEmpty());
    // No credit on the track: the release's.
    EXPECT_EQ(disc.tracks[2].artist.value, QStringLiteral("北方的艾达 & 潮汐"));
    EXPECT_EQ(disc.tracks[2].number, 3);
}

TEST(MusicBrainzMappingTest, WithoutTheDiscIdTheMediumIsFoundByTrackCount)
{
    const TMusicBrainzMapping mapping = MapDiscIdAnswer(test::DurationMatchJson(), QString(), 3);
    ASSERT_TRUE(mapping.valid);
    ASSERT_EQ(mapping.candidates.size(), 1);
    EXPECT_EQ(mapping.candidates[0].metadata.album.discNumber.value, QStringLiteral("2"));
    EXPECT_EQ(mapping.candidates[0].metadata.tracks.value(0).title.value,
              QStringLiteral("低潮 b2"));
}

TEST(MusicBrainzMappingTest, AnswersOfTheWrongShapeAreInvalidWithoutCrashing)
{
    for (const QByteArray& answer :
         {QByteArray(), QByteArray("{not json"), QByteArray("[1,2]"),
          QByteArray(R"({"error":"Not Found"})"), QByteArray(R"({"releases":{}})")}) {
        const TMusicBrainzMapping mapping = MapDiscIdAnswer(answer, test::kDiscId, 3);
        EXPECT_FALSE(mapping.valid) << answer.constData();
        EXPECT_FALSE(mapping.problem.isEmpty());
    }
    // Odd values where objects belong are skipped or read as empty.
    const TMusicBrainzMapping odd = MapDiscIdAnswer(
        R"({"releases":[1,{"title":7,"artist-credit":"x","media":[null,{"tracks":[3,{"title":"t"}]}]}]})",
        test::kDiscId, 3);
    ASSERT_TRUE(odd.valid);
    ASSERT_EQ(odd.candidates.size(), 1);
    EXPECT_TRUE(odd.candidates[0].title.isEmpty());

    // Reading past its budget, a valid answer gives nothing.
    const TMusicBrainzMapping late = MapDiscIdAnswer(test::TwoReleasesJson(), test::kDiscId, 3,
                                                     TParseBudget(std::chrono::milliseconds(0)));
    EXPECT_TRUE(late.overBudget);
    EXPECT_FALSE(late.valid);
    EXPECT_TRUE(late.candidates.isEmpty());
}

} // namespace
} // namespace sonfeld::app::metadata
