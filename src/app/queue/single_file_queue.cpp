#include "single_file_queue.h"

#include <QDir>
#include <exception>

#include "app/files/file_naming.h"
#include "app/metadata/disc_names.h"
#include "app/settings/setting_keys.h"
#include "app/text/texts.h"
#include "app/tracks/track_list_model.h"
#include "audio/cd/cd_in.h"
#include "rip_components.h"
#include "rip_queue.h"
#include "single_file_rip.h"

namespace sonfeld::app {

TSingleFileQueue::TSingleFileQueue(TRipQueue& queue) : TQueueStrategy(queue)
{
}

TSingleFileQueue::~TSingleFileQueue() = default;

QString TSingleFileQueue::LogPath() const
{
    return rip_ != nullptr ? rip_->LogPath() : QString();
}

void TSingleFileQueue::End()
{
    // The image's output reads from the components' CD input: it ends first,
    // and its temporary file goes with it.
    rip_.reset();
    running_ = false;
}

void TSingleFileQueue::Refuse(const QString& message)
{
    queue_.GoIdle();
    queue_.window_.ShowError(message);
}

void TSingleFileQueue::Start(int, const TOutputFormat& format)
{
    TTrackListModel& rows = queue_.rows_;
    if (!ImageFormat(format)) {
        Refuse(text::kSingleFileFormats.arg(format.NameText()));
        return;
    }
    std::vector<int> tracks;
    for (int row = 0; row < rows.rowCount(); ++row) {
        // The image starts at track 1: audio hidden before it keeps its own
        // row and is ripped only by a per-track rip.
        if (rows.IsData(row) || rows.TrackNumberOfRow(row) == 0)
            continue;
        if (!rows.Checked(row)) {
            Refuse(text::kSingleFileAllTracks);
            return;
        }
        tracks.push_back(rows.TrackNumberOfRow(row));
    }
    if (tracks.empty()) {
        Refuse(text::kNothingToRip);
        return;
    }

    TSingleFileRequest request;
    request.Folder = queue_.inputs_.FolderText();
    request.Format = &format;
    if (const metadata::TDiscNames* names = queue_.inputs_.Names()) {
        const metadata::TDiscMetadata& shown = names->Metadata();
        request.Album = shown.album.album.value.trimmed();
        request.AlbumArtist = shown.album.albumArtist.value.trimmed();
        request.Date = shown.album.date.value.trimmed();
        request.Genre = shown.album.genre.value.trimmed();
        for (const metadata::TTrackMetadata& track : shown.tracks) {
            const QString artist = track.artist.value.trimmed();
            if (!artist.isEmpty() && artist != request.AlbumArtist)
                request.Performers[track.number] = artist;
        }
    }
    // The album box names the image as it names the per-track rip's log.
    if (const QString album = queue_.inputs_.AlbumText().trimmed(); !album.isEmpty())
        request.Album = album;
    request.BaseName = !request.Album.isEmpty() && FileNameProblem(request.Album).IsEmpty()
                           ? SafeFileName(request.Album)
                           : QStringLiteral("CDImage");
    // "不覆盖同名文件" keeps an image or sheet already there, as it keeps a track's file.
    if (Read(key::kNoOverwrite)) {
        const QDir folder(request.Folder);
        for (const QString& name : {request.BaseName + format.ExtensionText(),
                                    request.BaseName + QStringLiteral(".cue")}) {
            if (FileExistsIgnoringCase(folder.filePath(name))) {
                queue_.GoIdle();
                queue_.window_.ShowMessage(text::kSameNameFound, text::kSameNameFoundCaption);
                return;
            }
        }
    }
    for (int track : tracks)
        request.Titles[track] = rows.Name(rows.RowOfTrack(track));
    request.Reading = queue_.reading_.Options();
    request.Level = queue_.level_;
    request.DeEmphasis = queue_.deEmphasis_;
    if (!Read(key::kAutoCpu))
        request.Delay = Read(key::kCpuLevel);
    request.DriveName = queue_.record_.DriveName;
    request.WriteLog = Read(key::kWriteRipLog);

    // The summary at the queue's end counts the image's tracks.
    tracks_ = tracks;
    queue_.queueTracks_ = tracks;
    queue_.CurrentTrack_ = tracks.front();
    for (int track : tracks) {
        const int row = rows.RowOfTrack(track);
        rows.SetVerdict(row, QString());
        rows.SetProgress(row, 0);
        rows.SetStatus(row, TTrackStatus::Converting);
    }
    if (rip_ == nullptr) {
        rip_ = std::make_unique<TSingleFileRip>(queue_.components_, queue_.verification_,
                                                queue_.folder_);
        connect(rip_.get(), &TSingleFileRip::Progress, this, &TSingleFileQueue::Progress);
        connect(rip_.get(), &TSingleFileRip::Finished, this, &TSingleFileQueue::Finished);
    }
    running_ = true;
    rip_->Start(queue_.components_.ReadCDIn->CurrentDrive(), request);
}

void TSingleFileQueue::StopTracks()
{
    if (running_ && rip_ != nullptr)
        rip_->Stop();
}

void TSingleFileQueue::Progress(int percent)
{
    if (!running_)
        return;
    // One file: every track of it moves together.
    TTrackListModel& rows = queue_.rows_;
    for (int track : tracks_)
        rows.SetProgress(rows.RowOfTrack(track), percent);
}

void TSingleFileQueue::Finished(bool ok, const TMessage& message)
{
    if (!running_)
        return;
    running_ = false;
    TTrackListModel& rows = queue_.rows_;
    const bool stopped = !ok && queue_.stopped_;
    for (int track : tracks_) {
        const int row = rows.RowOfTrack(track);
        if (ok) {
            rows.SetProgress(row, 100);
            rows.SetStatus(row, TTrackStatus::Converted);
        } else if (stopped) {
            rows.SetStatus(row, TTrackStatus::Cancelled);
        } else {
            queue_.failures_[track] = message;
            rows.SetFailed(row, message);
        }
    }
    if (!ok && !stopped)
        queue_.window_.ShowRunError(message);
    if (queue_.stopped_) {
        queue_.GoIdle();
        return;
    }
    // The queue ends as after its last track, once this event is over.
    QMetaObject::invokeMethod(
        this,
        [this] {
            try {
                queue_.RipCommand();
            } catch (const std::exception& e) {
                queue_.window_.ShowError(QString::fromUtf8(e.what()));
            }
        },
        Qt::QueuedConnection);
}

} // namespace sonfeld::app
