#include "app/rip/metadata/disc_metadata.h"
#include "app/rip/metadata/metadata_lookup.h"

#include <gtest/gtest.h>

namespace sonfeld::app::metadata {
namespace {

TDiscMetadata Found(const QString& album, const QStringList& titles)
{
    TDiscMetadata found;
    found.album.source = TMetadataSource::MusicBrainz;
    found.album.album.value = album;
    found.album.albumArtist.value = QStringLiteral("北方的艾达");
    for (int i = 0; i < titles.size(); ++i) {
        TTrackMetadata track;
        track.number = i + 1;
        track.title.value = titles[i];
        found.tracks.append(track);
    }
    return found;
}

TEST(DiscMetadataTest, LookupsNeverOverwriteWhatTheUserTyped)
{
    TDiscMetadata current =
        Found(QStringLiteral("旧专辑"), {QStringLiteral("一"), QStringLiteral("二")});
    current.album.album.SetByUser(QStringLiteral("我的专辑"));
    current.tracks[1].title.SetByUser(QStringLiteral("我的第二首"));
    current.album.genre.value = QStringLiteral("Folk");

    TDiscMetadata found =
        Found(QStringLiteral("海港之光"),
              {QStringLiteral("低潮"), QStringLiteral("港の灯り"), QStringLiteral("Café")});
    TDiscMetadata merged = MergeLookup(current, found);
    EXPECT_EQ(merged.album.album.value, QStringLiteral("我的专辑"));
    EXPECT_TRUE(merged.album.album.userEdited);
    EXPECT_EQ(merged.tracks[0].title.value, QStringLiteral("低潮"));
    EXPECT_EQ(merged.tracks[1].title.value, QStringLiteral("我的第二首"));
    ASSERT_EQ(merged.tracks.size(), 3);
    EXPECT_EQ(merged.tracks[2].title.value, QStringLiteral("Café"));
    EXPECT_EQ(merged.tracks[2].number, 3);
    // A field the lookup does not know keeps its text.
    EXPECT_EQ(merged.album.genre.value, QStringLiteral("Folk"));
    EXPECT_EQ(merged.album.source, TMetadataSource::MusicBrainz);

    // A second lookup still leaves the edits alone.
    merged = MergeLookup(merged,
                         Found(QStringLiteral("别的"), {QStringLiteral("x"), QStringLiteral("y")}));
    EXPECT_EQ(merged.album.album.value, QStringLiteral("我的专辑"));
    EXPECT_EQ(merged.tracks[1].title.value, QStringLiteral("我的第二首"));
    EXPECT_EQ(merged.tracks[0].title.value, QStringLiteral("x"));
    EXPECT_TRUE(merged.HasUserEdits());
}

TEST(DiscMetadataTest, YearAndSourceTexts)
{
    TAlbumMetadata album;
    album.date.value = QStringLiteral("2001-02-03");
    EXPECT_EQ(album.Year(), QStringLiteral("2001"));
    album.date.value = QStringLiteral("约1990");
    EXPECT_TRUE(album.Year().isEmpty());
    EXPECT_EQ(SourceText(TMetadataSource::Manual), QStringLiteral("手动"));
    EXPECT_EQ(SourceText(TMetadataSource::CdText), QStringLiteral("CD-TEXT"));
}

TEST(DiscMetadataTest, CdTextGivesTrackArtistsFromTheDiscPerformer)
{
    TCdText cdText;
    cdText.title = QStringLiteral("海港之光");
    cdText.performer = QStringLiteral("北方的艾达");
    cdText.trackTitles = {QStringLiteral("低潮"), QStringLiteral("港の灯り")};
    cdText.trackPerformers = {QString(), QStringLiteral("潮汐")};
    const TDiscMetadata metadata = MetadataFromCdText(cdText);
    EXPECT_EQ(metadata.album.source, TMetadataSource::CdText);
    ASSERT_EQ(metadata.tracks.size(), 2);
    EXPECT_EQ(metadata.tracks[0].artist.value, QStringLiteral("北方的艾达"));
    EXPECT_EQ(metadata.tracks[1].artist.value, QStringLiteral("潮汐"));
    EXPECT_EQ(metadata.tracks[1].number, 2);
    EXPECT_TRUE(MetadataFromCdText({}).IsEmpty());
}

} // namespace
} // namespace sonfeld::app::metadata
