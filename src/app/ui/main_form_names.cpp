// The main window's parts for the disc's names: the album panel, the "查询"
// item and the lookup's status line, and the disc names they show and edit.
// The names-and-tags settings are TNamesGroup on the settings page.

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QTimer>

#include "album_panel.h"
#include "app/metadata/disc_names.h"
#include "app/metadata/request_spacing.h"
#include "app/queue/rip_components.h"
#include "app/settings/setting_keys.h"
#include "app/text/shown_text.h"
#include "app/tracks/row_names.h"
#include "app/tracks/track_list_model.h"
#include "audio/cd/cd_in.h"
#include "audio/cd/disc_model_reading.h"
#include "main_form.h"
#include "message_box.h"
#include "release_chooser.h"
#include "settings_page.h"

namespace sonfeld::app {

namespace {

metadata::TDiscNames::TAlbumField NamesField(TAlbumPanel::TField field)
{
    using F = metadata::TDiscNames::TAlbumField;
    switch (field) {
    case TAlbumPanel::TField::AlbumArtist: return F::AlbumArtist;
    case TAlbumPanel::TField::Album: return F::Album;
    case TAlbumPanel::TField::Year: return F::Date;
    case TAlbumPanel::TField::Genre: return F::Genre;
    case TAlbumPanel::TField::DiscNumber: return F::DiscNumber;
    case TAlbumPanel::TField::DiscTotal: return F::DiscTotal;
    case TAlbumPanel::TField::Comment: return F::Comment;
    case TAlbumPanel::TField::Label: return F::Label;
    case TAlbumPanel::TField::CatalogNumber: return F::CatalogNumber;
    case TAlbumPanel::TField::Barcode: return F::Barcode;
    }
    return F::Comment;
}

} // namespace

void TMainForm::ConnectNames()
{
    connect(btnLookup, &QAction::triggered, this, &TMainForm::LookupRequested);
    for (auto signal : {&TTrackListModel::rowsInserted, &TTrackListModel::rowsRemoved})
        connect(rows_.get(), signal, this, [this] { UpdateLookupEnabled(); });
    connect(rows_.get(), &TTrackListModel::modelReset, this, [this] { UpdateLookupEnabled(); });
    UpdateLookupEnabled();

    // The album has two boxes: the panel's above the grid, where names are
    // looked up and typed, and edtAlbum on the settings page, which the MP3
    // album tag box reads. They always show one text; typing in either is an
    // edit of the album. setText clears a box's modified mark, so copying
    // from one to the other never reads as typing.
    QLineEdit* panelAlbum = AlbumPanel->Edit(TAlbumPanel::TField::Album);
    QLineEdit* edtAlbum = mTabConvert->edtAlbum;
    connect(panelAlbum, &QLineEdit::textChanged, this, [edtAlbum](const QString& text) {
        if (edtAlbum->text() != text)
            edtAlbum->setText(text);
    });
    connect(edtAlbum, &QLineEdit::textChanged, this, [panelAlbum](const QString& text) {
        if (panelAlbum->text() != text)
            panelAlbum->setText(text);
    });
    connect(edtAlbum, &QLineEdit::editingFinished, this, [this, edtAlbum] {
        if (!edtAlbum->isModified())
            return;
        edtAlbum->setModified(false);
        emit AlbumPanel->FieldEdited(TAlbumPanel::TField::Album, edtAlbum->text());
    });
    CreateDiscNames();
}

void TMainForm::CreateDiscNames()
{
    network_ = std::make_unique<QNetworkAccessManager>();
    spacing_ = std::make_unique<metadata::TRequestSpacing>();
    names_ = std::make_unique<metadata::TDiscNames>(*network_, *spacing_);
    metadata::TDiscNames* names = names_.get();

    connect(names, &metadata::TDiscNames::Changed, this, [this] { ShowDiscNames(); });
    connect(names, &metadata::TDiscNames::Status, this,
            [this](const TMessage& message) { ShowLookupStatus(message.Shown()); });
    // Queued: the chooser waits for the user, the lookup that found the
    // releases must not.
    connect(
        names, &metadata::TDiscNames::CandidatesFound, this,
        [this] { Guarded(this, [this] { ChooseRelease(); }); }, Qt::QueuedConnection);
    connect(this, &TMainForm::LookupRequested, names, [this] {
        lookupAsked_ = true;
        names_->Lookup();
    });

    connect(AlbumPanel, &TAlbumPanel::FieldEdited, names,
            [names](TAlbumPanel::TField field, const QString& text) {
                names->SetAlbumField(NamesField(field), text);
            });
    connect(AlbumPanel, &TAlbumPanel::CoverChosen, names, &metadata::TDiscNames::UseLocalCover);
    connect(names, &metadata::TDiscNames::CoverChanged, AlbumPanel,
            [this] { AlbumPanel->SetCover(names_->Cover().data); });
    connect(AlbumPanel, &TAlbumPanel::ForgetRequested, this,
            [this] { Guarded(this, [this] { ForgetDiscNames(); }); });
    connect(rows_.get(), &TTrackListModel::NameEdited, names, &metadata::TDiscNames::SetTrackTitle);
    connect(rows_.get(), &TTrackListModel::ArtistEdited, names,
            &metadata::TDiscNames::SetTrackArtist);
}

void TMainForm::ListDiscNames()
{
    // A rip in progress keeps the names it started with.
    if (ripping_) {
        ShowDiscNames();
        return;
    }
    const int drive = components_->ReadCDIn->CurrentDrive();
    const std::optional<disc::DiscModel> model =
        rows_->rowCount() > 0 && drive >= 0 ? ReadDiscModel(drive) : std::nullopt;
    if (!model) {
        names_->Clear();
        ShowLookupStatus({});
        return;
    }
    names_->SetDisc(*model);
    ShowLookupStatus({});
    lookupAsked_ = false;
    if (Read(key::kAutoLookup))
        names_->Lookup();
}

void TMainForm::ShowDiscNames()
{
    const metadata::TDiscMetadata& names = names_->Metadata();
    PutNamesOnRows(names, *rows_);
    for (const metadata::TTrackMetadata& track : names.tracks) {
        const int row = rows_->RowOfTrack(track.number);
        if (rows_->TrackNumberOfRow(row) == track.number)
            rows_->SetArtist(row, track.artist.value);
    }
    AlbumPanel->SetMetadata(names.album);
}

void TMainForm::ForgetDiscNames()
{
    if (ripping_ || !names_->HasDisc())
        return;
    const QString question =
        TShownText::tr("忘记为这张光盘保存的名称、所做的修改和所选的发行版本？");
    if (ShowMessageBox({this, QMessageBox::Question, TShownText::tr("忘记此光盘的名称"), question,
                        QMessageBox::Yes | QMessageBox::No}) != QMessageBox::Yes)
        return;
    names_->Forget();
    // Listed anew, as the first time: rows renamed by the user get their
    // names from the disc again, and "自动查询" looks it up.
    RefreshTrackList();
}

void TMainForm::ChooseRelease()
{
    // A later lookup or another disc may have come in the meantime.
    const QList<metadata::TReleaseCandidate> candidates = names_->Candidates();
    // Listing the disc again does not ask again what the user once picked;
    // "查询" does.
    if (candidates.size() < 2 || (!lookupAsked_ && names_->ReleaseRemembered()))
        return;
    const QString disc = names_->Key().StorageId();
    const int index = TReleaseChooser::Choose(candidates, names_->ChosenIndex(), this);
    if (index < 0 || names_->Key().StorageId() != disc)
        return;
    // The user's pick is remembered even when it is the release already shown.
    const QString picked = candidates[index].releaseId;
    const QList<metadata::TReleaseCandidate>& now = names_->Candidates();
    for (int i = 0; i < now.size(); ++i)
        if (now[i].releaseId == picked)
            names_->ChooseRelease(i);
}

void TMainForm::UpdateLookupEnabled()
{
    btnLookup->setEnabled(!ripping_ && rows_->rowCount() > 0);
    AlbumPanel->SetReadOnly(ripping_);
    AlbumPanel->ForgetButton()->setEnabled(!ripping_ && rows_->rowCount() > 0);
    // Names arriving halfway through a rip would name and tag its tracks
    // differently: the rip keeps the names it started with.
    if (ripping_ && names_ && names_->Busy()) {
        names_->StopLookup();
        ShowLookupStatus(TShownText::tr("查询已停止：提取已开始，使用当前名称"));
    }
}

void TMainForm::ShowLookupStatus(const QString& text)
{
    lblLookupStatus->setText(text);
}

} // namespace sonfeld::app
