// The main window's drive list and track grid.

#include <QComboBox>
#include <QLineEdit>

#include "app/metadata/disc_names.h"
#include "app/queue/rip_components.h"
#include "app/settings/setting_keys.h"
#include "app/text/shown_text.h"
#include "app/tracks/track_list.h"
#include "app/tracks/track_list_model.h"
#include "audio/cd/cd_in.h"
#include "audio/cd/cd_player.h"
#include "main_form.h"
#include "window_texts.h"

namespace sonfeld::app {

void TMainForm::FillDriveList()
{
    cbDrive->clear();
    const QStringList names = app::FillDriveList(*components_->ReadCDIn);
    cbDrive->addItems(names);
    // No drive is preselected: the user picks one.
    if (cbDrive->count() > 0)
        cbDrive->setCurrentIndex(-1);
    cbDrive->setPlaceholderText(cbDrive->count() == 0 ? Shown(text::kNoDrive) : QString());
}

void TMainForm::cbDriveSelect()
{
    QStringList items;
    for (int item = 0; item < cbDrive->count(); ++item)
        items << cbDrive->itemText(item);
    TCDIn& input = *components_->ReadCDIn;
    input.SetCurrentDrive(DriveIndexOfText(items, cbDrive->currentText()));
    components_->CDPlayer1->SetDrive(input.CurrentDrive());
    RefreshTrackList();
}

void TMainForm::RefreshTrackList()
{
    try {
        app::RefreshTrackList(*components_->ReadCDIn, *rows_, Read(key::kTickHiddenTrack));
    } catch (...) {
        // The rows left belong to no disc whose names are known.
        if (!ripping_)
            names_->Clear();
        throw;
    }
    ListDiscNames();
}

void TMainForm::cbTrackChange()
{
    app::RebuildTrackListKeepingNames(*components_->ReadCDIn, *rows_, Read(key::kTickHiddenTrack));
}

void TMainForm::TracksListSelectCell(int /*column*/, int row)
{
    PlayTrack = row + 1;
    SelectedRow = row;
}

void TMainForm::TracksListCellClick(int /*column*/, int row)
{
    EditRow = row;
    edtTitleName->setText(rows_->Name(row));
}

void TMainForm::btnSaveTitleClick()
{
    rows_->SetName(EditRow, edtTitleName->text());
    names_->SetTrackTitle(rows_->TrackNumberOfRow(EditRow), edtTitleName->text());
}

void TMainForm::btnSelectAllClick()
{
    // Inverts every tick; it does not tick all.
    for (int row = 0; row < rows_->rowCount(); ++row)
        rows_->SetChecked(row, !rows_->Checked(row));
}

void TMainForm::btnReverSelectClick()
{
    if (SelectedRow == -1)
        return;
    for (int row = 0; row < rows_->rowCount(); ++row) {
        if (row != SelectedRow)
            rows_->SetChecked(row, !rows_->Checked(row));
    }
}

} // namespace sonfeld::app
