#include "single_file_rip.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <exception>
#include <mutex>
#include <vector>

#include "app/files/file_naming.h"
#include "app/files/local_path.h"
#include "app/files/record_file.h"
#include "app/formats/output_formats.h"
#include "app/settings/setting_keys.h"
#include "app/text/texts.h"
#include "app/tracks/hidden_track.h"
#include "app/verification/rip_cue_sheet.h"
#include "app/verification/rip_records.h"
#include "audio/cd/cd_in.h"
#include "audio/cd/disc/disc_ids.h"
#include "audio/cd/disc/sheet_embedding.h"
#include "audio/core/acs_exception.h"
#include "audio/core/output.h"
#include "audio/formats/tags/tag_writer.h"
#include "rip_components.h"
#include "track_target.h"

namespace sonfeld::app {

// Hands the CD input's one range on unchanged and feeds each track's part of
// it to that track's checksums; audio hidden before track 1 (leadBytes) goes
// to none. Its reads run on the output's worker; the checksums are asked for
// on the UI thread once the run ended.
class TSingleFileRip::TDiscTap final : public TACSInput {
public:
    struct TTrack {
        std::int64_t Samples = 0; // the last track's: whatever the range holds after the others
        verify::TrackPlace Place;
    };

    TDiscTap(TACSInput& source, std::vector<TTrack> tracks, std::int64_t leadBytes)
        : source_(source), tracks_(std::move(tracks)), leadBytes_(leadBytes)
    {
    }
    ~TDiscTap() override { DetachFromReaders(); }

    int GetBitsPerSample() override { return source_.BitsPerSample(); }
    int GetChannels() override { return source_.Channels(); }
    int GetSampleRate() override { return source_.SampleRate(); }

    void OpenInput() override
    {
        source_.OpenInput();
        std::int64_t before = leadBytes_ / verify::kBytesPerSample;
        std::lock_guard lock(mutex_);
        accumulators_.clear();
        for (std::size_t i = 0; i < tracks_.size(); ++i) {
            const std::int64_t samples = i + 1 == tracks_.size()
                                             ? source_.Size() / verify::kBytesPerSample - before
                                             : tracks_[i].Samples;
            if (samples < 0) {
                source_.ForceClose();
                throw EACSException("The disc is shorter than its tracks");
            }
            accumulators_.emplace_back(samples, tracks_[i].Place);
            before += samples;
        }
        current_ = 0;
        fed_ = 0;
        leadLeft_ = leadBytes_;
        size_.store(source_.Size());
        position_.store(0);
        BufStart = 1;
        BufEnd = 0;
        busy_.store(true);
    }

    int ReadPCM(void* buffer, int bufferSize) override
    {
        const int count = source_.ReadPCM(buffer, bufferSize);
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        auto left = static_cast<std::int64_t>(std::max(count, 0));
        std::lock_guard lock(mutex_);
        const std::int64_t lead = std::min(left, leadLeft_);
        bytes += lead;
        left -= lead;
        leadLeft_ -= lead;
        while (left > 0 && current_ < accumulators_.size()) {
            verify::TrackChecksumAccumulator& track = accumulators_[current_];
            const std::int64_t take =
                std::min(left, track.TrackSamples() * verify::kBytesPerSample - fed_);
            track.Add(bytes, static_cast<std::size_t>(take));
            bytes += take;
            left -= take;
            fed_ += take;
            if (fed_ == track.TrackSamples() * verify::kBytesPerSample) {
                ++current_;
                fed_ = 0;
            }
        }
        position_.fetch_add(std::max(count, 0));
        return count;
    }

    void CloseInput() override
    {
        if (source_.Busy())
            source_.CloseInput();
        busy_.store(false);
    }

    std::vector<verify::TrackChecksums> Checksums() const
    {
        std::lock_guard lock(mutex_);
        std::vector<verify::TrackChecksums> sums;
        for (const verify::TrackChecksumAccumulator& track : accumulators_)
            sums.push_back(track.Result());
        return sums;
    }

private:
    TACSInput& source_;
    const std::vector<TTrack> tracks_;
    const std::int64_t leadBytes_;
    mutable std::mutex mutex_; // guards the accumulators and the place in them
    std::int64_t leadLeft_ = 0;
    std::vector<verify::TrackChecksumAccumulator> accumulators_;
    std::size_t current_ = 0;
    std::int64_t fed_ = 0; // bytes of the current track so far
};

bool ImageFormat(const TOutputFormat& format)
{
    const QString name = format.NameText();
    return name == QStringLiteral("FLAC") || name == QStringLiteral("Ape") ||
           name == QStringLiteral("Wav");
}

TSingleFileRip::TSingleFileRip(TRipComponents& components, QObject* parent)
    : QObject(parent), components_(components), verification_(ownVerification_)
{
}

TSingleFileRip::TSingleFileRip(TRipComponents& components, TRipVerification& verification,
                               TOutputFolder& heldFolder, QObject* parent)
    : QObject(parent), components_(components), verification_(verification),
      heldFolder_(&heldFolder)
{
}

void TSingleFileRip::ReleaseFolder()
{
    if (heldFolder_ == nullptr)
        folder_.Release();
}

TSingleFileRip::~TSingleFileRip()
{
    // The output winds up its run (closing the CD input) before the tap goes.
    output_.reset();
    tap_.reset();
    if (!temporary_.isEmpty())
        TOutputFolder::Discard(temporary_);
}

QString TSingleFileRip::SheetPath() const
{
    return QDir(request_.Folder).filePath(request_.BaseName + QStringLiteral(".cue"));
}

void TSingleFileRip::Start(int drive, const TSingleFileRequest& request)
{
    request_ = request;
    stopped_ = false;
    over_ = false;
    target_.clear();
    log_.clear();
    const TOutputFormat& format = *request.Format;
    if (!ImageFormat(format)) {
        Fail(text::kSingleFileFormats.arg(format.NameText()));
        return;
    }
    verification_.StartQueue(drive);
    const std::optional<disc::DiscModel>& model = verification_.Disc();
    const std::vector<const disc::Track*> audio =
        model ? model->AudioTracks() : std::vector<const disc::Track*>{};
    if (audio.empty()) {
        Fail(QStringLiteral("The disc has no audio track, or its table of contents cannot be "
                            "read."));
        return;
    }
    std::vector<TDiscTap::TTrack> tracks;
    for (std::size_t i = 0; i < audio.size(); ++i) {
        // One range holds them all: a data track between them would break it.
        if (i > 0 && audio[i]->startLsn != audio[i - 1]->endLsn) {
            Fail(QStringLiteral("Track %1 does not follow track %2 on the disc: they cannot "
                                "share one image file.")
                     .arg(audio[i]->number)
                     .arg(audio[i - 1]->number));
            return;
        }
        tracks.push_back({static_cast<std::int64_t>(audio[i]->Sectors()) * 588,
                          verification_.PlaceOf(audio[i]->number)});
    }
    if (heldFolder_ == nullptr) {
        if (const TMessage problem = folder_.Acquire(request.Folder); !problem.IsEmpty()) {
            Fail(problem);
            return;
        }
    }
    const QString target = QDir(request.Folder).filePath(request.BaseName + format.ExtensionText());
    TMessage problem;
    temporary_ = Folder().TemporaryFor(target, &problem);
    if (temporary_.isEmpty()) {
        Fail(problem);
        return;
    }
    target_ = target;
    TCDIn& input = *components_.ReadCDIn;
    try {
        input.SetCurrentDrive(drive);
        // Audio hidden before track 1 opens the image, as INDEX 00 of track 1.
        hiddenSectors_ = audio.front()->number == 1 ? HiddenTrackSectors(input, *model) : 0;
        input.SetStartTrack(hiddenSectors_ > 0 ? 0 : audio.front()->number);
        input.SetEndTrack(audio.back()->number);
        input.SetReadOffset(request.Reading.ReadOffset);
        // One pass over the whole disc: a fast read could not be re-read per track.
        input.SetReadMode(rmSecure);
        tap_ = std::make_unique<TDiscTap>(input, std::move(tracks),
                                          std::int64_t{hiddenSectors_} * disc::kSectorBytes);
        output_ = format.MakeOutput();
        if (format.ApplySettings != nullptr)
            format.ApplySettings(*output_);
        if (request.Level && format.ApplyCompressionLevel != nullptr)
            format.ApplyCompressionLevel(*output_, *request.Level);
        if (request.Delay)
            output_->SetDelay(*request.Delay);
        output_->SetInput(tap_.get());
        output_->SetFileMode(foRewrite);
        output_->SetFileName(LocalPath(temporary_).toStdString());
    } catch (const std::exception& e) {
        Fail(QString::fromUtf8(e.what()));
        return;
    }
    TACSFileOut& output = *output_;
    // On the output's worker: the progress is read there, the rest waits for the UI thread.
    output.OnProgress = [this, &output](TComponent*) {
        const int percent = output.Progress();
        QMetaObject::invokeMethod(
            this, [this, percent] { emit Progress(percent); }, Qt::QueuedConnection);
    };
    output.OnDone = [this](TComponent*) {
        QMetaObject::invokeMethod(
            this, [this] { OutputDone(); }, Qt::QueuedConnection);
    };
    output.OnThreadException = [this](TComponent*, const std::exception& e) {
        const QString message = QString::fromUtf8(e.what());
        QMetaObject::invokeMethod(
            this, [this, message] { Fail(message); }, Qt::QueuedConnection);
    };
    try {
        output.Run();
    } catch (const std::exception& e) {
        Fail(QString::fromUtf8(e.what()));
    }
}

void TSingleFileRip::Stop()
{
    stopped_ = true;
    if (output_ != nullptr)
        output_->Stop();
}

void TSingleFileRip::Fail(const TMessage& message)
{
    // A failing run may still report its end afterwards: once is enough.
    if (over_)
        return;
    over_ = true;
    if (!temporary_.isEmpty())
        TOutputFolder::Discard(temporary_);
    temporary_.clear();
    target_.clear();
    // A failure reported by the worker comes after its run ended.
    if (output_ != nullptr && !output_->Busy())
        output_.reset();
    ReleaseFolder();
    emit Finished(false, message);
}

void TSingleFileRip::OutputDone()
{
    if (output_ == nullptr)
        return;
    if (over_) {
        output_.reset();
        return;
    }
    const bool whole = output_->Progress() == 100 && !stopped_;
    output_.reset();
    if (!whole) {
        Fail(stopped_ ? text::kCancelled : text::kEndedEarly);
        return;
    }
    const disc::DiscModel& model = *verification_.Disc();
    const std::vector<const disc::Track*> audio = model.AudioTracks();
    const std::vector<verify::TrackChecksums> sums = tap_->Checksums();
    const TCDRipReport report = components_.ReadCDIn->RipReport();
    const TOutputFormat& format = *request_.Format;

    CueSheet sheet;
    sheet.title = request_.Album;
    sheet.performer = request_.AlbumArtist;
    sheet.date = request_.Date;
    sheet.genre = request_.Genre;
    sheet.program = text::kProgramName + QLatin1Char(' ') + text::kVersion;
    sheet.fileType = QString::fromLatin1(format.CueFileType);
    sheet.catalog = QString::fromStdString(model.mcn);
    sheet.freedbId = QString::fromStdString(disc::FreedbIdText(disc::ComputeFreedbId(model)));
    disc::EmbeddedLayout layout;
    layout.mcn = model.mcn;
    layout.totalSamples = std::int64_t{hiddenSectors_} * verify::kSamplesPerSector;
    const std::int32_t imageStart = hiddenSectors_ > 0 ? 0 : audio.front()->startLsn;
    for (std::size_t i = 0; i < audio.size(); ++i) {
        const disc::Track& onDisc = *audio[i];
        CueTrack track;
        track.number = onDisc.number;
        track.title = request_.Titles.count(onDisc.number) != 0 ? request_.Titles.at(onDisc.number)
                                                                : QString();
        track.performer = request_.Performers.count(onDisc.number) != 0
                              ? request_.Performers.at(onDisc.number)
                              : QString();
        track.isrc = QString::fromStdString(onDisc.isrc);
        track.preEmphasis = onDisc.preEmphasis;
        track.copyPermitted = onDisc.copyPermitted;
        track.pregapSectors = onDisc.PregapSectors();
        track.imageSector = onDisc.startLsn - imageStart;
        sheet.tracks.push_back(track);
        layout.tracks.push_back({onDisc.number, track.imageSector,
                                 std::min(track.pregapSectors, track.imageSector), onDisc.isrc,
                                 onDisc.preEmphasis});
        layout.totalSamples += sums[i].samples;
        verification_.TrackRipped(onDisc.number, sums[i], report);
    }
    const QString imageName = QFileInfo(target_).fileName();
    const QByteArray sheetText = FormatImageCueSheet(sheet, imageName);

    // The album's fields in the image's tags; the tracks' names live in the sheet.
    TrackTags tags;
    tags.title = request_.Album.toStdString();
    tags.album = request_.Album.toStdString();
    tags.artist = request_.AlbumArtist.toStdString();
    tags.albumArtist = request_.AlbumArtist.toStdString();
    tags.date = request_.Date.toStdString();
    tags.genre = request_.Genre.toStdString();
    if (!tags.Empty() && TagsLibraryAvailable()) {
        const TagWriteResult written = WriteTags(LocalPath(temporary_).toStdString(), tags);
        if (!written.written) {
            Fail(TagsNotWritten(written.message));
            return;
        }
    }
    std::string error;
    const std::string sheetBytes = sheetText.toStdString();
    const std::string local = LocalPath(temporary_).toStdString();
    const bool embedded = format.NameText() == QStringLiteral("FLAC")
                              ? disc::EmbedSheetInFlac(local, sheetBytes, layout, error)
                          : format.NameText() == QStringLiteral("Ape")
                              ? disc::EmbedSheetInApeTag(local, sheetBytes, error)
                              : true;
    if (!embedded) {
        Fail(QStringLiteral("The CUE sheet could not be embedded: %1")
                 .arg(QString::fromStdString(error)));
        return;
    }
    if (const TMessage problem = TOutputFolder::Finish(temporary_, target_); !problem.IsEmpty()) {
        Fail(problem);
        return;
    }
    temporary_.clear();
    QString sheetError;
    if (!WriteRecordFile(LocalPath(SheetPath()), sheetText, &sheetError)) {
        Fail(QStringLiteral("The CUE sheet \"%1\" could not be written: %2")
                 .arg(SheetPath(), sheetError));
        return;
    }
    if (verification_.Pending()) {
        auto* once = new QObject(this);
        connect(&verification_, &TRipVerification::Settled, once, [this, once] {
            once->deleteLater();
            Complete();
        });
        return;
    }
    Complete();
}

void TSingleFileRip::Complete()
{
    const QString imageName = QFileInfo(target_).fileName();
    TQueueRecord record;
    record.Folder = request_.Folder;
    record.Album = request_.BaseName;
    record.Extension = request_.Format->ExtensionText();
    record.DriveName = request_.DriveName;
    record.ReadOffset = request_.Reading.ReadOffset;
    record.ReadMode = rmSecure;
    record.HiddenTrackSectors = hiddenSectors_;
    record.HiddenTrackInImage = hiddenSectors_ > 0;
    // One pass over the whole disc: a track a fast read got wrong could not be
    // read again on its own, so the image is always read securely.
    if (request_.Reading.Mode == TReadingMode::FastVerify)
        record.ReadingModeText = text::kSingleFileSecure;
    if (request_.Reading.TestAndCopy)
        record.ReadingModeText = (record.ReadingModeText.isEmpty() ? QStringLiteral("安全模式")
                                                                   : record.ReadingModeText) +
                                 QStringLiteral("，整轨不做测试并复制");
    // One image, one stream: its flagged tracks keep their pre-emphasis, as
    // their flags in the sheet and the tags say.
    if (request_.DeEmphasis && verification_.Disc() &&
        std::any_of(verification_.Disc()->tracks.begin(), verification_.Disc()->tracks.end(),
                    [](const disc::Track& t) { return t.preEmphasis && !t.data; }))
        record.ReadingModeText = (record.ReadingModeText.isEmpty() ? QStringLiteral("安全模式")
                                                                   : record.ReadingModeText) +
                                 QStringLiteral("，整轨不去加重 (映像保留读取的音频)");
    record.CueFileType = QString::fromLatin1(request_.Format->CueFileType);
    record.AlbumArtist = request_.AlbumArtist;
    record.AlbumTitle = request_.Album;
    record.Date = request_.Date;
    record.Genre = request_.Genre;
    for (const auto& [number, verified] : verification_.Tracks()) {
        TRecordedTrack track;
        track.Number = number;
        track.Title = request_.Titles.count(number) != 0 ? request_.Titles.at(number) : QString();
        track.FileName = imageName;
        track.Status = text::kConverted;
        track.Ripped = true;
        track.Artist = request_.Performers.count(number) != 0 ? request_.Performers.at(number)
                                                              : request_.AlbumArtist;
        track.ReadingNotes << QStringLiteral("整轨：在“%1”中").arg(imageName);
        record.Tracks.push_back(track);
    }
    // The log takes a free name: the one that is new afterwards is it.
    const QDir folder(request_.Folder);
    const QStringList logPattern{QStringLiteral("*.log")};
    const QStringList logsBefore = folder.entryList(logPattern, QDir::Files);
    const QStringList problems = WriteRipRecords(record, verification_, request_.WriteLog, false);
    for (const QString& log : folder.entryList(logPattern, QDir::Files))
        if (!logsBefore.contains(log))
            log_ = folder.filePath(log);
    ReleaseFolder();
    over_ = true;
    if (!problems.isEmpty()) {
        emit Finished(false, problems.join(QLatin1Char(' ')));
        return;
    }
    emit Finished(true, TMessage::Verbatim(target_));
}

} // namespace sonfeld::app
