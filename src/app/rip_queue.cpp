#include "rip_queue.h"

#include <QFile>
#include <exception>

#include "audio/cd/cd_in.h"
#include "audio/cd/cd_player.h"
#include "audio/formats/ape/mac_out.h"
#include "audio/formats/flac/flac_out.h"
#include "audio/formats/mp3/mp3_out.h"
#include "audio/formats/vorbis/vorbis_out.h"
#include "audio/formats/wave/wave_out.h"
#include "encoder_settings.h"
#include "file_naming.h"
#include "rip_components.h"
#include "settings_store.h"
#include "texts.h"
#include "track_list_model.h"

namespace sonfeld::app {

TRipQueue::TRipQueue(TRipComponents& components, TTrackListModel& rows, TRipQueueHost& host,
                     QObject* parent)
    : QObject(parent), components_(components), rows_(rows), host_(host)
{
    Timer1_.setInterval(1000);
    Timer1_.setSingleShot(true);
    connect(&Timer1_, &QTimer::timeout, this, &TRipQueue::Timer1Timer);
    Bind(*components_.WaveOutput, &TRipQueue::WaveOutputProgress, &TRipQueue::WaveOutputDone,
         &TRipQueue::WaveOutputThreadException);
    Bind(*components_.FLACOutput, &TRipQueue::FLACOutputProgress, &TRipQueue::FLACOutputDone,
         &TRipQueue::FLACOutputThreadException);
    Bind(*components_.MP3Output, &TRipQueue::MP3OutputProgress, &TRipQueue::MP3OutputDone,
         &TRipQueue::MP3OutputThreadException);
    Bind(*components_.MACOutput, &TRipQueue::MACOutputProgress, &TRipQueue::MACOutputDone,
         &TRipQueue::MACOutputThreadException);
    Bind(*components_.OggOutput, &TRipQueue::OggOutputProgress, &TRipQueue::OggOutputDone,
         &TRipQueue::OggOutputThreadException);
}

TRipQueue::~TRipQueue() = default;

void TRipQueue::Bind(TACSOutput& output, ProgressHandler progress, DoneHandler done,
                     ErrorHandler error)
{
    // These run on the output's worker (or on the UI thread when a run could
    // not be prepared). The progress is read there, while the input still
    // knows its position; the rest waits for the UI thread. Events posted to
    // one object are delivered in the order posted.
    output.OnProgress = [this, &output, progress](TComponent*) {
        const int value = output.Progress();
        QMetaObject::invokeMethod(
            this, [this, progress, value] { (this->*progress)(value); }, Qt::QueuedConnection);
    };
    output.OnDone = [this, done](TComponent*) {
        QMetaObject::invokeMethod(
            this, [this, done] { (this->*done)(); }, Qt::QueuedConnection);
    };
    output.OnThreadException = [this, error](TComponent*, const std::exception& e) {
        const QString message = QString::fromUtf8(e.what());
        QMetaObject::invokeMethod(
            this, [this, error, message] { (this->*error)(message); }, Qt::QueuedConnection);
    };
}

void TRipQueue::RipCommand()
{
    if (!CheckRipSettings()) {
        // A validation that fails while the queue continues must not leave
        // the controls busy with nothing running.
        host_.SetRipping(false);
        if (ReadFlag(QStringLiteral("wazid")))
            components_.CDPlayer1->Stop();
        else
            host_.ShowMessage(text::kReminder, text::kReminderCaption);
        return;
    }
    for (int row = 0; row < rows_.rowCount(); ++row) {
        if (rows_.Checked(row) && rows_.Status(row) == text::kNotConverted) {
            host_.SelectRow(row);
            host_.SetRipping(true);
            StartTrackRip(rows_.TrackNumberOfRow(row));
            return;
        }
    }
    host_.SetRipping(false);
    host_.ShowMessage(text::kAllDone, text::kAllDoneCaption);
    if (ReadFlag(QStringLiteral("ejectCD")))
        components_.ReadCDIn->Eject();
}

bool TRipQueue::CheckRipSettings()
{
    const int count = rows_.rowCount();
    const bool nameGiven = count > 0 && !rows_.Name(count - 1).isEmpty();
    const bool driveSelected = host_.DriveSelected();
    if (!driveSelected)
        host_.ShowMessage(text::kSelectDrive, text::kSelectDriveCaption);

    const QString folder = host_.FolderText();
    // Only the rows still to be ripped are tested: the files this queue has
    // just written are not in the way of the next track. Without a folder
    // there is nothing to test yet; the folder dialog comes below.
    if (!folder.isEmpty() && ReadFlag(QStringLiteral("chkOverRide"))) {
        for (int row = 0; row < count; ++row) {
            if (!rows_.Checked(row) || rows_.Status(row) != text::kNotConverted)
                continue;
            const QString target =
                AddTrailingSeparator(folder) + rows_.Name(row) + "." + host_.FormatText();
            if (FileExistsIgnoringCase(target)) {
                host_.ShowMessage(text::kSameNameFound, text::kSameNameFoundCaption);
                return false;
            }
        }
    }
    if (!folder.isEmpty() && nameGiven && driveSelected)
        return true;
    if (driveSelected)
        host_.BrowseFolder();
    return false;
}

void TRipQueue::StartTrackRip(int track)
{
    const auto choice = components_.OutputFor(host_.FormatText());
    if (!choice)
        return;
    TACSFileOut& output = *choice->Output;
    CurrentTrack_ = track;
    components_.ReadCDIn->SetStartTrack(track);
    components_.ReadCDIn->SetEndTrack(components_.ReadCDIn->StartTrack());
    if (!ReadFlag(QStringLiteral("autoCPU"))) {
        if (const std::optional<int> level = StoredCpuLevel())
            output.SetDelay(*level);
    }
    const int row = rows_.RowOfTrack(track);
    const QString name = rows_.Name(row);
    if (const QString problem = FileNameProblem(name); !problem.isEmpty()) {
        FailTrack(row, problem);
        return;
    }
    const QString target = TargetFileName(host_.FolderText(), name, choice->Extension);
    output.SetFileName(QFile::encodeName(target).toStdString());
    if (host_.FormatText() == QStringLiteral("MP3"))
        ApplyMp3Tags(track);
    CurrentOutput_ = &output;
    stopped_ = false;
    running_ = true;
    try {
        output.Run();
    } catch (...) {
        running_ = false;
        throw;
    }
}

void TRipQueue::ApplyMp3Tags(int track)
{
    TMP3Out& mp3 = *components_.MP3Output;
    if (ReadFlag(QStringLiteral("addId3Title")))
        mp3.SetId3TagTitle(rows_.Name(rows_.RowOfTrack(track)).toStdString());
    if (ReadFlag(QStringLiteral("addId3Track")))
        mp3.SetId3TagTrack(std::to_string(track));
    if (ReadFlag(QStringLiteral("addId3Album")) && !host_.AlbumText().isEmpty())
        mp3.SetId3TagAlbum(host_.AlbumText().toStdString());
}

void TRipQueue::StopCommand()
{
    Timer1_.stop();
    stopped_ = true;
    if (CurrentOutput_ != nullptr)
        CurrentOutput_->Stop();
    host_.SetRipping(false);
}

void TRipQueue::Timer1Timer()
{
    Timer1_.stop();
    // The timer runs from the event loop: nothing may escape into it.
    try {
        RipCommand();
    } catch (const std::exception& e) {
        host_.ShowError(QString::fromUtf8(e.what()));
    }
}

void TRipQueue::OutputProgress(int progress)
{
    const int row = rows_.RowOfTrack(CurrentTrack_);
    rows_.SetProgress(row, progress);
    rows_.SetStatus(row, text::kConverting);
}

void TRipQueue::OutputDone()
{
    running_ = false;
    const int row = rows_.RowOfTrack(CurrentTrack_);
    if (rows_.Progress(row) == 100) {
        rows_.SetStatus(row, text::kConverted);
        // A Stop that came while the last block was written still ends the
        // queue: the controls are idle already.
        if (!stopped_)
            Timer1_.start();
    } else {
        rows_.SetStatus(row, text::kCancelled);
    }
}

void TRipQueue::OutputThreadException(const QString& message)
{
    running_ = false;
    FailTrack(rows_.RowOfTrack(CurrentTrack_), message);
}

void TRipQueue::FailTrack(int row, const QString& message)
{
    Timer1_.stop();
    rows_.SetStatus(row, text::kFailed);
    host_.ShowRunError(message);
    host_.SetRipping(false);
}

} // namespace sonfeld::app
