// The main window's parts for the disc's names: the album panel, the "查询"
// item, the lookup's status line and the names-and-tags settings, and the
// disc names they show and edit.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "album_panel.h"
#include "app/files/file_name_template.h"
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

namespace sonfeld::app {

namespace {

using metadata::TNameRules;

constexpr TNameRules kNameRules = metadata::kPortableNames;

// What is wrong with the template itself; empty when it is usable. Every
// field is filled, so an error here is never one of a particular track.
TMessage TemplateError(const QString& pattern)
{
    metadata::TTemplateFields sample;
    sample.albumArtist = sample.album = sample.title = sample.artist = QStringLiteral("x");
    sample.year = QStringLiteral("2001");
    sample.discNumber = sample.discTotal = sample.trackNumber = sample.trackTotal = 1;
    return metadata::ApplyFileNameTemplate(pattern, sample, kNameRules).error;
}

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

void TMainForm::CreateNamesGroup(QWidget* page)
{
    auto* names = new QGroupBox(TShownText::tr("名称与标签"), page);
    auto* layout = new QVBoxLayout(names);
    // One row of boxes keeps the page within the window's height.
    auto* boxes = new QHBoxLayout;
    auto addBox = [&](const QString& caption, const char* name) {
        auto* box = new QCheckBox(caption, names);
        box->setObjectName(QLatin1String(name));
        boxes->addWidget(box);
        return box;
    };
    chkAutoLookup = addBox(TShownText::tr("自动查询"), "chkAutoLookup");
    chkFullTags = addBox(TShownText::tr("写入完整标签"), "chkFullTags");
    chkEmbedCover = addBox(TShownText::tr("嵌入封面"), "chkEmbedCover");
    chkReplayGain = addBox(QStringLiteral("ReplayGain"), "chkReplayGain");
    boxes->addWidget(new QLabel(TShownText::tr("ID3 版本"), names));
    comboId3Version = new QComboBox(names);
    comboId3Version->setObjectName(QStringLiteral("comboId3Version"));
    comboId3Version->setAccessibleName(TShownText::tr("ID3 版本"));
    for (const char* version : key::kId3Version.Choices)
        comboId3Version->addItem(QLatin1String(version), QLatin1String(version));
    boxes->addWidget(comboId3Version);
    boxes->addStretch();
    layout->addLayout(boxes);
    auto* templateRow = new QHBoxLayout;
    templateRow->addWidget(new QLabel(TShownText::tr("文件名模板:"), names));
    // Ready templates to choose from; the box stays free to type in.
    auto* templates = new QComboBox(names);
    templates->setObjectName(QStringLiteral("cbFileNameTemplate"));
    templates->setEditable(true);
    templates->setInsertPolicy(QComboBox::NoInsert);
    templates->addItems(metadata::kFileNameTemplateChoices);
    edtFileNameTemplate = new QLineEdit(templates);
    edtFileNameTemplate->setObjectName(QStringLiteral("edtFileNameTemplate"));
    templates->setLineEdit(edtFileNameTemplate);
    templates->setCompleter(nullptr); // typing is not completed behind the user's back
    templates->setToolTip(
        TShownText::tr("{albumartist} {album} {year} {disc} {disctotal} {track:02} "
                       "{tracktotal} {title} {artist}；\"/\" 分出子文件夹"));
    templateRow->addWidget(templates, 1);
    layout->addLayout(templateRow);
    lblTemplateExample = new QLabel(names);
    lblTemplateExample->setObjectName(QStringLiteral("lblTemplateExample"));
    lblTemplateExample->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(lblTemplateExample);
    if (auto* pageLayout = qobject_cast<QBoxLayout*>(page->layout()))
        pageLayout->addWidget(names);

    // The defaults until the store is read when the window opens.
    chkAutoLookup->setChecked(key::kAutoLookup.Default);
    chkFullTags->setChecked(key::kFullTags.Default);
    chkEmbedCover->setChecked(key::kEmbedCover.Default);
    chkReplayGain->setChecked(key::kReplayGain.Default);
    comboId3Version->setCurrentIndex(
        comboId3Version->findData(QLatin1String(key::kId3Version.Default)));
    edtFileNameTemplate->setText(QString::fromUtf8(key::kFileNameTemplate.Default));
}

void TMainForm::ConnectNames()
{
    connect(btnLookup, &QAction::triggered, this, &TMainForm::LookupRequested);
    for (auto signal : {&TTrackListModel::rowsInserted, &TTrackListModel::rowsRemoved})
        connect(rows_.get(), signal, this, [this] { UpdateLookupEnabled(); });
    connect(rows_.get(), &TTrackListModel::modelReset, this, [this] { UpdateLookupEnabled(); });
    UpdateLookupEnabled();

    connect(edtFileNameTemplate, &QLineEdit::textChanged, this,
            [this] { UpdateTemplateExample(); });
    UpdateTemplateExample();

    // The album has two boxes: the panel's above the grid, where names are
    // looked up and typed, and edtAlbum on the settings page, which the MP3
    // album tag box reads. They always show one text; typing in either is an
    // edit of the album. setText clears a box's modified mark, so copying
    // from one to the other never reads as typing.
    QLineEdit* panelAlbum = AlbumPanel->Edit(TAlbumPanel::TField::Album);
    connect(panelAlbum, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (edtAlbum->text() != text)
            edtAlbum->setText(text);
    });
    connect(edtAlbum, &QLineEdit::textChanged, this, [panelAlbum](const QString& text) {
        if (panelAlbum->text() != text)
            panelAlbum->setText(text);
    });
    connect(edtAlbum, &QLineEdit::editingFinished, this, [this] {
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

void TMainForm::LoadNameSettings()
{
    chkAutoLookup->setChecked(Read(key::kAutoLookup));
    chkFullTags->setChecked(Read(key::kFullTags));
    chkEmbedCover->setChecked(Read(key::kEmbedCover));
    chkReplayGain->setChecked(Read(key::kReplayGain));
    comboId3Version->setCurrentIndex(comboId3Version->findData(Read(key::kId3Version)));
    edtFileNameTemplate->setText(Read(key::kFileNameTemplate));
}

void TMainForm::SaveNameSettings()
{
    Write(key::kAutoLookup, chkAutoLookup->isChecked());
    Write(key::kFullTags, chkFullTags->isChecked());
    Write(key::kEmbedCover, chkEmbedCover->isChecked());
    Write(key::kReplayGain, chkReplayGain->isChecked());
    Write(key::kId3Version, comboId3Version->currentData().toString());
    // A wrong template would fail every row of the next rip: the stored one
    // stays and the user is told.
    const QString pattern = edtFileNameTemplate->text();
    if (const TMessage error = TemplateError(pattern); !error.IsEmpty()) {
        ShowErrorBox(this, TShownText::tr("文件名模板有误，未保存: %1").arg(error.Shown()));
        return;
    }
    Write(key::kFileNameTemplate, pattern);
}

void TMainForm::UpdateTemplateExample()
{
    const metadata::TTemplateExample example =
        metadata::FileNameTemplateExample(edtFileNameTemplate->text(), kNameRules);
    lblTemplateExample->setText(example.text.Shown());
    lblTemplateExample->setStyleSheet(example.valid ? QStringLiteral("QLabel { color: #44546a; }")
                                                    : QStringLiteral("QLabel { color: #b00000; }"));
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
