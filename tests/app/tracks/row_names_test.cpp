// The disc's names on the grid's rows.

#include <gtest/gtest.h>

#include "app/tracks/row_names.h"
#include "app/tracks/track_list_model.h"

namespace sonfeld::app {
namespace {

metadata::TTrackMetadata Track(int number, const QString& title)
{
    metadata::TTrackMetadata track;
    track.number = number;
    track.title.value = title;
    return track;
}

TEST(NamesOnRowsTest, TitlesNameTheRowsTheUserDidNotRename)
{
    TTrackListModel rows;
    for (int i = 0; i < 4; ++i)
        rows.AddTrackRow(TTracksRec{QStringLiteral("0:04"), 300, i == 3});
    rows.SetName(1, QStringLiteral("Mine"));

    metadata::TDiscMetadata names;
    names.tracks = {Track(1, QStringLiteral("Pier/Side")), Track(2, QStringLiteral("Lost")),
                    Track(3, QStringLiteral("Pier/Side")), Track(4, QStringLiteral("Data"))};
    PutNamesOnRows(names, rows);
    // Made fit for a file name; a title given twice gets the track number.
    EXPECT_EQ(rows.Name(0), "Pier_Side");
    EXPECT_EQ(rows.Name(1), "Mine");
    EXPECT_EQ(rows.Name(2), "Pier_Side (3)");
    EXPECT_EQ(rows.Name(3), "Track4"); // a data track keeps its name
    EXPECT_FALSE(rows.Renamed(0));

    // A later lookup still leaves the user's name alone.
    names.tracks[1].title.value = QStringLiteral("Found later");
    names.tracks[0].title.value = QStringLiteral("Dawn");
    PutNamesOnRows(names, rows);
    EXPECT_EQ(rows.Name(0), "Dawn");
    EXPECT_EQ(rows.Name(1), "Mine");

    // Names that give a track no title, or leave it out, give the row its
    // plain name back.
    names.tracks[0].title.value.clear();
    names.tracks.removeLast();
    names.tracks.removeLast();
    PutNamesOnRows(names, rows);
    EXPECT_EQ(rows.Name(0), "Track1");
    EXPECT_EQ(rows.Name(1), "Mine");
    EXPECT_EQ(rows.Name(2), "Track3");
    EXPECT_EQ(rows.Name(3), "Track4");
}

TEST(NamesOnRowsTest, ATitleTwiceGetsASuffixNoOtherRowHas)
{
    TTrackListModel rows;
    for (int i = 0; i < 5; ++i)
        rows.AddTrackRow(TTracksRec{QStringLiteral("0:04"), 300, false});
    rows.SetName(4, QStringLiteral("x (2)"));
    metadata::TDiscMetadata names;
    names.tracks = {Track(1, QStringLiteral("X (3)")), Track(2, QStringLiteral("X")),
                    Track(3, QStringLiteral("x")), Track(4, QStringLiteral("X"))};
    PutNamesOnRows(names, rows);
    // Names that differ only in case are one file on FAT and NTFS.
    EXPECT_EQ(rows.Name(0), "X (3)");
    EXPECT_EQ(rows.Name(1), "X");
    EXPECT_EQ(rows.Name(2), "x (4)"); // " (3)" is taken, " (2)" is the user's
    EXPECT_EQ(rows.Name(3), "X (5)");
}

} // namespace
} // namespace sonfeld::app
