#include "disc_names.h"

#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "disc_memory.h"
#include "disc_model_names.h"
#include "lookup_options.h"

#include <QSettings>

namespace sonfeld::app::metadata {

namespace {

QString StoredServer(const TTextKey& key)
{
    const QString text = Read(key).trimmed();
    return text.isEmpty() ? QString::fromUtf8(key.Default) : text;
}

TTextField& AlbumField(TAlbumMetadata& album, TDiscNames::TAlbumField field)
{
    using F = TDiscNames::TAlbumField;
    switch (field) {
    case F::AlbumArtist: return album.albumArtist;
    case F::Album: return album.album;
    case F::Date: return album.date;
    case F::Genre: return album.genre;
    case F::DiscNumber: return album.discNumber;
    case F::DiscTotal: return album.discTotal;
    case F::Label: return album.label;
    case F::CatalogNumber: return album.catalogNumber;
    case F::Barcode: return album.barcode;
    case F::Comment: return album.comment;
    }
    return album.comment;
}

// from's user-edited fields copied onto to, tracks paired by position.
void CopyUserEdits(const TDiscMetadata& from, TDiscMetadata& to)
{
    const QList<const TTextField*> albumFrom = Fields(from.album);
    const QList<TTextField*> albumTo = Fields(to.album);
    for (qsizetype i = 0; i < albumFrom.size(); ++i)
        if (albumFrom[i]->userEdited)
            *albumTo[i] = *albumFrom[i];
    for (qsizetype t = 0; t < from.tracks.size(); ++t) {
        if (t >= to.tracks.size()) {
            to.tracks.append(from.tracks[t]);
            continue;
        }
        const QList<const TTextField*> trackFrom = Fields(from.tracks[t]);
        const QList<TTextField*> trackTo = Fields(to.tracks[t]);
        for (qsizetype i = 0; i < trackFrom.size(); ++i)
            if (trackFrom[i]->userEdited)
                *trackTo[i] = *trackFrom[i];
    }
}

} // namespace

TLookupOptions StoredLookupOptions()
{
    TLookupOptions options;
    options.musicBrainzServer = StoredServer(key::kMusicBrainzServer);
    options.gnudbServer = StoredServer(key::kGnudbServer);
    options.coverArtServer = StoredServer(key::kCoverArtServer);
    if (const QString user = Read(key::kGnudbUser).trimmed(); !user.isEmpty())
        options.gnudbUser = user;
    if (const QString host = Read(key::kGnudbHost).trimmed(); !host.isEmpty())
        options.gnudbHost = host;
    return options;
}

TDiscNames::TDiscNames(QNetworkAccessManager& network, TRequestSpacing& spacing, QObject* parent)
    : QObject(parent), network_(network), spacing_(spacing)
{
}

TDiscNames::~TDiscNames() = default;

void TDiscNames::SetDisc(const disc::DiscModel& model)
{
    SetDisc(DiscKeyOf(model), CdTextOf(model));
}

void TDiscNames::SetDisc(const TDiscKey& key, const TCdText& cdText)
{
    Clear();
    key_ = key;
    cdTextGiven_ = cdText;
    cdText_ = MetadataFromCdText(cdText);
    if (cdText_.album.album.value.isEmpty() && cdText_.album.albumArtist.value.isEmpty() &&
        cdText_.tracks.isEmpty())
        cdText_ = {};
    const std::unique_ptr<QSettings> store = OpenSettingsStore();
    if (const std::optional<TDiscMetadata> kept = TDiscMemory(*store).Load(key_.StorageId()))
        metadata_ = *kept;
    else
        metadata_ = cdText_;
    emit Changed();
}

void TDiscNames::Clear()
{
    DropLookup();
    delete coverContext_;
    coverContext_ = nullptr;
    const bool wasBusy = Busy();
    lookupRunning_ = false;
    coverRunning_ = false;
    key_ = {};
    cdText_ = {};
    cdTextGiven_ = {};
    metadata_ = {};
    forThisRunOnly_ = false;
    candidates_.clear();
    chosenIndex_ = -1;
    lastStatus_ = TLookupStatus::NotFound;
    const bool hadCover = HasCover();
    cover_ = {};
    localCover_ = false;
    coverReleaseId_.clear();
    emit Changed();
    if (hadCover)
        emit CoverChanged();
    if (wasBusy)
        emit Settled();
}

void TDiscNames::Lookup()
{
    if (!HasDisc())
        return;
    DropLookup();
    options_ = StoredLookupOptions();
    lookup_ = new TMetadataLookup(network_, spacing_, options_, this);
    connect(lookup_, &TMetadataLookup::Finished, this, &TDiscNames::LookupFinished);
    TLookupRequest request;
    request.disc = key_;
    request.current = metadata_;
    request.cdText = cdText_;
    const std::unique_ptr<QSettings> store = OpenSettingsStore();
    request.chosenReleaseId = TDiscMemory(*store).ChosenRelease(key_.StorageId());
    lookupRunning_ = true;
    emit Status(TMessage(QT_TRANSLATE_NOOP("sonfeld", "正在查询光盘名称…")));
    lookup_->Start(request);
}

void TDiscNames::StopLookup()
{
    if (!Busy())
        return;
    DropLookup();
    delete coverContext_;
    coverContext_ = nullptr;
    lookupRunning_ = false;
    coverRunning_ = false;
    emit Settled();
}

void TDiscNames::DropLookup()
{
    if (lookup_ == nullptr)
        return;
    // Its Finished signal may be on the stack (a slot of ours asked again).
    lookup_->Cancel();
    lookup_->disconnect(this);
    lookup_->deleteLater();
    lookup_ = nullptr;
}

void TDiscNames::LookupFinished(const TLookupResult& result)
{
    lookupRunning_ = false;
    lastStatus_ = result.status;
    // A failed lookup leaves the names shown as they are, CD-TEXT aside.
    // What the user typed while the lookup ran is kept as well.
    TDiscMetadata merged = result.metadata;
    CopyUserEdits(metadata_, merged);
    metadata_ = merged;
    candidates_ = result.candidates;
    chosenIndex_ = result.chosenIndex;
    Remember();
    emit Changed();
    emit Status(result.message);
    if (candidates_.size() > 1)
        emit CandidatesFound();
    // A failed lookup changed nothing; a cover fetch now would only replace
    // its message with the cover's.
    if (result.status != TLookupStatus::Failed)
        FetchCover();
    if (!Busy())
        emit Settled();
}

void TDiscNames::ChooseRelease(int index)
{
    if (index < 0 || index >= candidates_.size())
        return;
    // Applied whole over what is shown: nothing of the release shown before
    // stays but what the user typed.
    metadata_ = ApplyCandidate(metadata_, candidates_[index], cdText_);
    chosenIndex_ = index;
    if (!forThisRunOnly_) {
        const std::unique_ptr<QSettings> store = OpenSettingsStore();
        TDiscMemory(*store).SaveChosenRelease(key_.StorageId(), candidates_[index].releaseId);
    }
    Remember();
    emit Changed();
    FetchCover();
}

void TDiscNames::Forget()
{
    if (!HasDisc())
        return;
    {
        const std::unique_ptr<QSettings> store = OpenSettingsStore();
        TDiscMemory(*store).Forget(key_.StorageId());
    }
    // As when the disc was first seen: its own CD-TEXT, nothing chosen.
    // Copies: SetDisc clears the members first.
    const TDiscKey key = key_;
    const TCdText cdText = cdTextGiven_;
    SetDisc(key, cdText);
}

void TDiscNames::ForThisRunOnly()
{
    forThisRunOnly_ = true;
}

bool TDiscNames::ReleaseRemembered() const
{
    if (!HasDisc())
        return false;
    const std::unique_ptr<QSettings> store = OpenSettingsStore();
    return !TDiscMemory(*store).ChosenRelease(key_.StorageId()).isEmpty();
}

void TDiscNames::UseLocalCover(const TCoverArt& cover)
{
    // A fetch still running would replace the user's choice.
    const bool wasBusy = Busy();
    delete coverContext_;
    coverContext_ = nullptr;
    coverRunning_ = false;
    cover_ = cover;
    localCover_ = true;
    emit CoverChanged();
    if (wasBusy)
        EndBusy();
}

void TDiscNames::FetchCover()
{
    if (localCover_)
        return;
    const QString releaseId = metadata_.album.releaseId.value;
    if (releaseId == coverReleaseId_ && (coverRunning_ || HasCover()))
        return;
    delete coverContext_;
    coverContext_ = nullptr;
    coverRunning_ = false;
    coverReleaseId_ = releaseId;
    if (HasCover()) {
        cover_ = {};
        emit CoverChanged();
    }
    if (releaseId.isEmpty() || !Read(key::kEmbedCover))
        return;
    coverContext_ = new QObject(this);
    coverRunning_ = true;
    FetchFrontCover(network_, options_, releaseId, coverContext_,
                    [this](const TCoverArt& cover) { SetCover(cover); });
}

void TDiscNames::SetCover(const TCoverArt& cover)
{
    coverRunning_ = false;
    coverContext_->deleteLater();
    coverContext_ = nullptr;
    if (cover.status == TCoverArt::TStatus::Found) {
        cover_ = cover;
        emit CoverChanged();
    } else if (!cover.message.IsEmpty()) {
        emit Status(cover.message);
    }
    EndBusy();
}

void TDiscNames::EndBusy()
{
    if (!Busy())
        emit Settled();
}

void TDiscNames::SetAlbumField(TAlbumField field, const QString& text)
{
    TAlbumMetadata& album = metadata_.album;
    if (field == TAlbumField::AlbumArtist && text != album.albumArtist.value) {
        // The IDs and sort name were the old artist's; a later lookup must not bring them back.
        for (TTextField* of : {&album.albumArtistId, &album.albumArtistSort, &album.compilation})
            of->SetByUser(QString());
    }
    AlbumField(metadata_.album, field).SetByUser(text);
    if (metadata_.album.source == TMetadataSource::None)
        metadata_.album.source = TMetadataSource::Manual;
    Remember();
    emit Changed();
}

TTrackMetadata& TDiscNames::Track(int number)
{
    for (TTrackMetadata& track : metadata_.tracks)
        if (track.number == number)
            return track;
    // Tracks stay in disc order, one entry per position.
    while (metadata_.tracks.size() < number) {
        TTrackMetadata track;
        track.number = static_cast<int>(metadata_.tracks.size()) + 1;
        metadata_.tracks.append(track);
    }
    return metadata_.tracks[number - 1];
}

void TDiscNames::SetTrackTitle(int number, const QString& text)
{
    if (number < 1)
        return;
    Track(number).title.SetByUser(text);
    if (metadata_.album.source == TMetadataSource::None)
        metadata_.album.source = TMetadataSource::Manual;
    Remember();
    emit Changed();
}

void TDiscNames::SetTrackArtist(int number, const QString& text)
{
    if (number < 1)
        return;
    TTrackMetadata& track = Track(number);
    if (text != track.artist.value)
        for (TTextField* of : {&track.artistId, &track.artists, &track.artistSort})
            of->SetByUser(QString());
    track.artist.SetByUser(text);
    if (metadata_.album.source == TMetadataSource::None)
        metadata_.album.source = TMetadataSource::Manual;
    Remember();
    emit Changed();
}

void TDiscNames::Remember()
{
    if (!HasDisc() || forThisRunOnly_)
        return;
    const std::unique_ptr<QSettings> store = OpenSettingsStore();
    // Data tracks count too: the names go by track number.
    const int discTracks = qMax(key_.trackCount, static_cast<int>(key_.freedbOffsets.size()));
    TDiscMemory(*store).Save(key_.StorageId(), metadata_, discTracks > 0 ? discTracks : 99);
}

} // namespace sonfeld::app::metadata
