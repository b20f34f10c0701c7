#include "app/metadata/disc_metadata.h"
#include "app/metadata/metadata_lookup.h"

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

TEST(DiscMetadataTest, ALookupReplacesEverythingButWhatTheUserTyped)
{
    TDiscMetadata current =
        Found(QStringLiteral("旧专辑"), {QStringLiteral("一"), QStringLiteral("二"),
                                         QStringLiteral("三"), QStringLiteral("四")});
    current.album.album.SetByUser(QStringLiteral("我的专辑"));
    current.tracks[1].title.SetByUser(QStringLiteral("我的第二首"));
    current.tracks[3].artist.SetByUser(QStringLiteral("我"));
    current.album.genre.value = QStringLiteral("Folk");
    current.album.label.value = QStringLiteral("码头唱片");
    current.album.barcode.value = QStringLiteral("4900000000017");
    current.tracks[2].isrc.value = QStringLiteral("XXZZZ0100003");

    TDiscMetadata found =
        Found(QStringLiteral("海港之光"),
              {QStringLiteral("低潮"), QStringLiteral("港の灯り"), QStringLiteral("Café")});
    found.album.source = TMetadataSource::Gnudb;
    TDiscMetadata applied = ApplyLookup(current, found);
    EXPECT_EQ(applied.album.album.value, QStringLiteral("我的专辑"));
    EXPECT_TRUE(applied.album.album.userEdited);
    EXPECT_EQ(applied.album.albumArtist.value, QStringLiteral("北方的艾达"));
    EXPECT_EQ(applied.tracks[0].title.value, QStringLiteral("低潮"));
    EXPECT_EQ(applied.tracks[1].title.value, QStringLiteral("我的第二首"));
    EXPECT_EQ(applied.tracks[2].title.value, QStringLiteral("Café"));
    // What the earlier names had and these do not is gone, but what the user typed.
    EXPECT_TRUE(applied.album.genre.value.isEmpty());
    EXPECT_TRUE(applied.album.label.value.isEmpty());
    EXPECT_TRUE(applied.album.barcode.value.isEmpty());
    EXPECT_TRUE(applied.tracks[2].isrc.value.isEmpty());
    ASSERT_EQ(applied.tracks.size(), 4);
    EXPECT_TRUE(applied.tracks[3].title.value.isEmpty());
    EXPECT_EQ(applied.tracks[3].artist.value, QStringLiteral("我"));
    EXPECT_EQ(applied.tracks[3].number, 4);
    EXPECT_EQ(applied.album.source, TMetadataSource::Gnudb);

    // The disc's own MCN and ISRCs stand where the names have none.
    TDiscMetadata disc;
    disc.album.barcode.value = QStringLiteral("0000000000017");
    disc.album.album.value = QStringLiteral("CD-TEXT 专辑");
    disc.tracks.resize(3);
    disc.tracks[2].isrc.value = QStringLiteral("XXZZZ0100003");
    applied = ApplyLookup(current, found, disc);
    EXPECT_EQ(applied.album.barcode.value, QStringLiteral("0000000000017"));
    EXPECT_EQ(applied.tracks[2].isrc.value, QStringLiteral("XXZZZ0100003"));
    EXPECT_EQ(applied.album.album.value, QStringLiteral("我的专辑"));
    found.album.barcode.value = QStringLiteral("4900000000017");
    EXPECT_EQ(ApplyLookup(current, found, disc).album.barcode.value,
              QStringLiteral("4900000000017"));

    // A second lookup still leaves the edits alone.
    applied = ApplyLookup(
        applied, Found(QStringLiteral("别的"), {QStringLiteral("x"), QStringLiteral("y")}));
    EXPECT_EQ(applied.album.album.value, QStringLiteral("我的专辑"));
    EXPECT_EQ(applied.tracks[1].title.value, QStringLiteral("我的第二首"));
    EXPECT_EQ(applied.tracks[0].title.value, QStringLiteral("x"));
    EXPECT_TRUE(applied.tracks[2].title.value.isEmpty());
    EXPECT_TRUE(applied.HasUserEdits());
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
