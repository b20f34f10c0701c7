// The track grid and the drive list of the real window, on generated images.

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <fstream>

#include "app/queue/rip_components.h"
#include "app/text/texts.h"
#include "app_fixture.h"
#include "audio/cd/cd_in.h"
#include "audio/cd/cd_player.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

class TrackListTest : public WindowTest {
protected:
    // 2:07 and 40 frames; 10 s; 9 s; 4 s; 4 s.
    std::vector<std::int64_t> DiscSectors() const override
    {
        return {(2 * 60 + 7) * 75 + 40, 10 * 75, 9 * 75, 300, 300};
    }
};

TEST_F(TrackListTest, RowsAreBuiltFromTheDisc)
{
    OpenWindows();
    // The disc's image is the only drive: chosen and listed at start.
    EXPECT_EQ(Form().cbDrive->currentIndex(), discDrive_);
    ASSERT_EQ(Rows().rowCount(), 5);
    SelectDiscDrive();
    ASSERT_EQ(Rows().rowCount(), 5);
    EXPECT_TRUE(Rows().Checked(0));
    EXPECT_EQ(Rows().Label(0), QStringLiteral("Track 1"));
    EXPECT_EQ(Rows().Name(0), QStringLiteral("Track1"));
    EXPECT_EQ(Rows().TimeText(0), QStringLiteral("[1] - 2:07"));
    EXPECT_EQ(Rows().Progress(0), 0);
    EXPECT_EQ(Rows().Status(0), TTrackStatus::NotConverted);
    EXPECT_EQ(Rows().TimeText(1), QStringLiteral("[2] - 0:10"));
    EXPECT_EQ(Rows().TimeText(2), QStringLiteral("[3] - 0:09"));
    EXPECT_EQ(Rows().Label(4), QStringLiteral("Track 5"));
    EXPECT_EQ(Rows().Name(4), QStringLiteral("Track5"));
    EXPECT_EQ(Rows().RowOfTrack(3), 2);
    EXPECT_EQ(Rows().RowOfTrack(42), 0);
    EXPECT_EQ(Rows().TrackNumberOfRow(4), 5);
    EXPECT_EQ(Form().Components().ReadCDIn->CurrentDrive(), discDrive_);
    EXPECT_EQ(Form().Components().CDPlayer1->Drive(), discDrive_);

    // What the grid shows.
    const QAbstractItemModel* model = Form().TracksList->model();
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("音轨"));
    EXPECT_EQ(model->headerData(tlStatus, Qt::Horizontal).toString(), QStringLiteral("状态"));
    EXPECT_EQ(model->headerData(tlArtist, Qt::Horizontal).toString(), QStringLiteral("艺术家"));
    EXPECT_EQ(model->index(0, 0).data(Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_EQ(model->index(0, tlTimer).data().toString(), QStringLiteral("[1] - 2:07"));
    EXPECT_TRUE(messages_.Messages.empty());
}

TEST_F(TrackListTest, NamesAreEditedInTheGridAndAFormatChangeKeepsThem)
{
    OpenWindows();
    SelectDiscDrive();
    QTableView* grid = Form().TracksList;
    const QModelIndex name = Rows().index(1, tlOutName);
    grid->setCurrentIndex(name);
    grid->edit(name);
    auto* editor = grid->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    // Moving on to another cell commits what was typed.
    editor->setText(QStringLiteral("海港漫步"));
    grid->setCurrentIndex(Rows().index(2, tlOutName));
    EXPECT_EQ(Rows().Name(1).toStdString(), "海港漫步");
    // The label and the time cannot be edited; the tick can.
    EXPECT_FALSE(Rows().flags(Rows().index(1, tlTrack)) & Qt::ItemIsEditable);
    EXPECT_FALSE(Rows().flags(Rows().index(1, tlTimer)) & Qt::ItemIsEditable);
    EXPECT_TRUE(Rows().setData(Rows().index(2, tlChk), Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_FALSE(Rows().Checked(2));

    Rows().SetStatus(0, TTrackStatus::Converted);
    Rows().SetProgress(0, 100);

    // The same disc: names and ticks stay, statuses start afresh.
    ChooseFormat(QStringLiteral("FLAC"));
    ASSERT_EQ(Rows().rowCount(), 5);
    EXPECT_EQ(Rows().Name(1), QStringLiteral("海港漫步"));
    EXPECT_FALSE(Rows().Checked(2));
    EXPECT_TRUE(Rows().Checked(1));
    EXPECT_EQ(Rows().Status(0), TTrackStatus::NotConverted);
    EXPECT_EQ(Rows().Progress(0), 0);
    // Refreshing reads the disc afresh; the name the user gave is kept for the disc.
    Form().btnRefreshCD->trigger();
    EXPECT_EQ(Rows().Name(1), QStringLiteral("海港漫步"));
    EXPECT_EQ(Rows().Name(2), QStringLiteral("Track3"));
    EXPECT_TRUE(Rows().Checked(2));
}

TEST_F(TrackListTest, TheTwoTickInvertingCommands)
{
    OpenWindows();
    SelectDiscDrive();
    Rows().SetChecked(1, false);
    Rows().SetChecked(3, false);
    // Before any row was selected, "反向选择" changes nothing.
    Form().btnReverSelect->trigger();
    const std::vector<bool> before = {true, false, true, false, true};
    for (int row = 0; row < 5; ++row)
        EXPECT_EQ(Rows().Checked(row), before[static_cast<std::size_t>(row)]) << row;

    Form().btnSelectAll->trigger();
    for (int row = 0; row < 5; ++row)
        EXPECT_EQ(Rows().Checked(row), !before[static_cast<std::size_t>(row)]) << row;

    Form().TracksList->setCurrentIndex(Rows().index(2, tlTrack));
    EXPECT_EQ(Form().SelectedRow, 2);
    EXPECT_EQ(Form().PlayTrack, 3);
    Form().btnReverSelect->trigger();
    EXPECT_EQ(Rows().Checked(2), !before[2]);
    for (int row : {0, 1, 3, 4})
        EXPECT_EQ(Rows().Checked(row), before[static_cast<std::size_t>(row)]) << row;
}

TEST_F(TrackListTest, TheHiddenNameBoxRenamesTheClickedRow)
{
    OpenWindows();
    SelectDiscDrive();
    Form().TracksListCellClick(2, 3);
    EXPECT_EQ(Form().edtTitleName->text(), QStringLiteral("Track4"));
    Form().edtTitleName->setText(QStringLiteral("Evening"));
    Form().btnSaveTitle->trigger();
    EXPECT_EQ(Rows().Name(3), QStringLiteral("Evening"));
}

TEST_F(TrackListTest, PreviousTrackGoesDownToOne)
{
    OpenWindows();
    SelectDiscDrive();
    Form().PlayTrack = 5;
    Form().btnLastClick();
    EXPECT_EQ(Form().PlayTrack, 4);
    EXPECT_EQ(player_->plays, 1);
    EXPECT_EQ(player_->lastPlayedFrom, MSFToFrames(4, 0, 0));
    for (int start : {2, 1}) {
        Form().PlayTrack = start;
        Form().btnLastClick();
        EXPECT_EQ(Form().PlayTrack, 1);
    }
}

TEST_F(TrackListTest, TwoDrivesOfOneNamePickTheFirst)
{
    // The same image twice: two drives carrying the same name.
    LoadRealLibraryWithImages({disc_.cue, disc_.cue});
    OpenWindows();
    ASSERT_EQ(Form().cbDrive->count(), discDrive_ + 2);
    EXPECT_EQ(Form().cbDrive->itemText(discDrive_), Form().cbDrive->itemText(discDrive_ + 1));
    Form().cbDrive->setCurrentIndex(discDrive_ + 1);
    emit Form().cbDrive->activated(discDrive_ + 1);
    EXPECT_EQ(Form().Components().ReadCDIn->CurrentDrive(), discDrive_);
    EXPECT_EQ(Rows().rowCount(), 5);
}

TEST_F(TrackListTest, NoDriveAndNoDiscGiveAnEmptyGridWithoutMessage)
{
    const int physical = LoadRealLibraryWithImages({});
    OpenWindows();
    EXPECT_EQ(Form().cbDrive->count(), physical);
    EXPECT_EQ(Form().cbDrive->currentIndex(), -1);
    Form().btnRefreshCD->trigger();
    if (physical == 0) {
        EXPECT_EQ(Rows().rowCount(), 0);
    }
    EXPECT_TRUE(messages_.Messages.empty());
}

TEST_F(TrackListTest, TheGridSortsByItsColumns)
{
    OpenWindows();
    SelectDiscDrive();
    Rows().SetChecked(1, false);
    Form().TracksList->sortByColumn(tlChk, Qt::AscendingOrder);
    EXPECT_EQ(Rows().Label(0), QStringLiteral("Track 2"));
    // Rows are still found by their label.
    EXPECT_EQ(Rows().RowOfTrack(2), 0);
    EXPECT_EQ(Rows().TrackNumberOfRow(0), 2);
    Form().TracksList->sortByColumn(tlTrack, Qt::AscendingOrder);
    EXPECT_EQ(Rows().Label(0), QStringLiteral("Track 1"));
}

TEST_F(TrackListTest, SortingKeepsTheHighlightAndOrdersNumbers)
{
    OpenWindows();
    SelectDiscDrive();
    // Eleven more rows, so text order would put 10 and 11 before 2.
    for (int more = 0; more < 6; ++more)
        Rows().AddTrackRow({QStringLiteral("[x] - 0:01"), 75, false});
    QTableView* grid = Form().TracksList;
    grid->setCurrentIndex(Rows().index(3, tlTrack));
    grid->sortByColumn(tlTrack, Qt::DescendingOrder);
    EXPECT_EQ(Rows().TrackNumberOfRow(0), 11);
    EXPECT_EQ(Rows().TrackNumberOfRow(10), 1);
    EXPECT_EQ(Rows().TrackNumberOfRow(grid->currentIndex().row()), 4);
    // Lengths: 0:01 .. 2:07, by time and not by text.
    grid->sortByColumn(tlTimer, Qt::AscendingOrder);
    EXPECT_EQ(Rows().TrackNumberOfRow(10), 1);
    EXPECT_EQ(Rows().TrackNumberOfRow(9), 2);
    EXPECT_EQ(Rows().TrackNumberOfRow(grid->currentIndex().row()), 4);
}

TEST_F(TrackListTest, ADataTrackIsListedUntickedAndCannotBeTicked)
{
    DiscFixture mixed;
    disc_image::DiscSpec spec;
    spec.tracks = {AudioTrack(disc_image::SignalKind::Tone, 300), DataTrack(300, 150)};
    MakeDisc(mixed, spec);
    discDrive_ = LoadRealLibraryWithImages({mixed.cue});
    OpenWindows();
    SelectDiscDrive();
    ASSERT_EQ(Rows().rowCount(), 2);
    EXPECT_TRUE(Rows().Checked(0));
    EXPECT_FALSE(Rows().Checked(1));
    EXPECT_EQ(Form().TracksList->model()->index(1, tlStatus).data().toString(),
              QStringLiteral("数据轨"));
    EXPECT_FALSE(Rows().setData(Rows().index(1, tlChk), Qt::Checked, Qt::CheckStateRole));
    EXPECT_FALSE(Rows().flags(Rows().index(1, tlChk)) & Qt::ItemIsUserCheckable);
    Form().btnSelectAll->trigger();
    EXPECT_FALSE(Rows().Checked(1));
}

TEST_F(TrackListTest, CdTextTitlesNameTheRowsAndTheUsersNamesWin)
{
    DiscFixture titled;
    disc_image::DiscSpec spec;
    spec.title = "Harbour Lights";
    spec.tracks = {AudioTrack(disc_image::SignalKind::Tone, 300),
                   AudioTrack(disc_image::SignalKind::Tone, 450, 0, 2),
                   AudioTrack(disc_image::SignalKind::Tone, 300, 0, 3),
                   AudioTrack(disc_image::SignalKind::Tone, 300, 0, 4)};
    spec.tracks[0].title = "晨光";
    spec.tracks[1].title = "Pier/Side";
    spec.tracks[3].title = "晨光";
    MakeDisc(titled, spec);
    discDrive_ = LoadRealLibraryWithImages({titled.cue});
    OpenWindows();
    SelectDiscDrive();
    ASSERT_EQ(Rows().rowCount(), 4);
    EXPECT_EQ(Rows().Name(0), QStringLiteral("晨光"));
    EXPECT_EQ(Rows().Name(1), QStringLiteral("Pier_Side"));
    EXPECT_EQ(Rows().Name(2), QStringLiteral("Track3"));
    // A title given twice: the later file does not overwrite the first.
    EXPECT_EQ(Rows().Name(3), QStringLiteral("晨光 (4)"));
    EXPECT_EQ(Rows().Label(1), QStringLiteral("Track 2"));
    EXPECT_EQ(Rows().TimeText(1), QStringLiteral("[2] - 0:06"));

    Rows().SetName(1, QStringLiteral("码头"));
    ChooseFormat(QStringLiteral("FLAC"));
    ASSERT_EQ(Rows().rowCount(), 4);
    EXPECT_EQ(Rows().Name(0), QStringLiteral("晨光"));
    EXPECT_EQ(Rows().Name(1), QStringLiteral("码头"));
    EXPECT_EQ(Rows().Name(2), QStringLiteral("Track3"));
    // Reading the disc afresh gives the disc's names again.
    Form().btnRefreshCD->trigger();
    EXPECT_EQ(Rows().Name(1), QStringLiteral("Pier_Side"));
    EXPECT_TRUE(messages_.Messages.empty());
}

TEST_F(TrackListTest, TheLastAudioTrackOfAnEnhancedCdShowsItsOwnLength)
{
    TempDir dir;
    WriteFileBytes(dir.Path() / "audio.bin", std::vector<std::uint8_t>(1000 * 2352, 5));
    WriteFileBytes(dir.Path() / "data.bin", std::vector<std::uint8_t>(300 * 2352, 0x5A));
    std::ofstream(dir.Path() / "extra.cue", std::ios::binary)
        << "REM SESSION 01\nFILE audio.bin BINARY\n"
           "  TRACK 01 AUDIO\n    TITLE \"One\"\n    INDEX 01 00:00:00\n"
           "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    INDEX 01 00:04:00\n"
           "REM SESSION 02\nFILE data.bin BINARY\n"
           "  TRACK 03 MODE1/2352\n    INDEX 01 00:00:00\n";
    discDrive_ = LoadRealLibraryWithImages({dir.Path() / "extra.cue"});
    OpenWindows();
    SelectDiscDrive();
    ASSERT_EQ(Rows().rowCount(), 3);
    // 700 sectors, not 700 + the 11400 between the sessions (2:41).
    EXPECT_EQ(Rows().TimeText(1), QStringLiteral("[2] - 0:09"));
    EXPECT_EQ(Rows().Name(1), QStringLiteral("Two"));
    EXPECT_EQ(Form().TracksList->model()->index(1, tlTimer).data().toString(),
              QStringLiteral("[2] - 0:09"));
    EXPECT_TRUE(Rows().Checked(1));
    EXPECT_FALSE(Rows().Checked(2));
    EXPECT_EQ(Rows().Status(2), TTrackStatus::DataTrack);
    EXPECT_EQ(Rows().Name(2), QStringLiteral("Track3"));
}

} // namespace
} // namespace sonfeld::test
