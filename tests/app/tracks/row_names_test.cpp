// The disc's names on the grid's rows.

#include <gtest/gtest.h>

#include "app/tracks/row_names.h"
#include "app/tracks/track_list_model.h"

namespace sonfeld::app {
namespace {

// Names for tracks 1, 2, … with these titles.
metadata::TDiscMetadata Titles(const QStringList& titles)
{
    metadata::TDiscMetadata names;
    for (int i = 0; i < titles.size(); ++i) {
        metadata::TTrackMetadata track;
        track.number = i + 1;
        track.title.value = titles[i];
        names.tracks.append(track);
    }
    return names;
}

// count audio rows of 4 s, with the row at dataRow (if any) a data track.
void AddRows(TTrackListModel& rows, int count, int dataRow = -1)
{
    for (int i = 0; i < count; ++i)
        rows.AddTrackRow(TTracksRec{QStringLiteral("0:04"), 300, i == dataRow});
}

void ExpectNames(const TTrackListModel& rows, const QStringList& names)
{
    for (int i = 0; i < names.size(); ++i)
        EXPECT_EQ(rows.Name(i), names[i]) << "row " << i;
}

TEST(NamesOnRowsTest, TitlesNameTheRowsTheUserDidNotRename)
{
    TTrackListModel rows;
    AddRows(rows, 4, 3);
    rows.SetName(1, QStringLiteral("Mine"));

    metadata::TDiscMetadata names = Titles({"Pier/Side", "Lost", "Pier/Side", "Data"});
    PutNamesOnRows(names, rows);
    // Made fit for a file name; a title given twice gets the track number; a
    // data track keeps its name.
    ExpectNames(rows, {"Pier_Side", "Mine", "Pier_Side (3)", "Track4"});
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
    ExpectNames(rows, {"Track1", "Mine", "Track3", "Track4"});
}

TEST(NamesOnRowsTest, ATitleTwiceGetsASuffixNoOtherRowHas)
{
    TTrackListModel rows;
    AddRows(rows, 5);
    rows.SetName(4, QStringLiteral("x (2)"));
    const metadata::TDiscMetadata names = Titles({"X (3)", "X", "x", "X"});
    PutNamesOnRows(names, rows);
    // Names that differ only in case are one file on FAT and NTFS: for row 2
    // " (3)" is taken and " (2)" is the user's.
    ExpectNames(rows, {"X (3)", "X", "x (4)", "X (5)"});
}

} // namespace
} // namespace sonfeld::app
