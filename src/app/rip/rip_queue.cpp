#include "rip_queue.h"

#include <QFile>
#include <exception>

#include "audio/cd/cd_in.h"
#include "audio/cd/cd_player.h"
#include "audio/core/output.h"
#include "file_naming.h"
#include "rip_components.h"
#include "setting_keys.h"
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
    for (TACSOutput* output : components_.Outputs())
        Bind(*output);
}

TRipQueue::~TRipQueue() = default;

void TRipQueue::Bind(TACSOutput& output)
{
    // These run on the output's worker (or on the UI thread when a run could
    // not be prepared). The progress is read there, while the input still
    // knows its position; the rest waits for the UI thread. Events posted to
    // one object are delivered in the order posted.
    output.OnProgress = [this, &output](TComponent*) {
        const int value = output.Progress();
        QMetaObject::invokeMethod(
            this, [this, value] { OutputProgress(value); }, Qt::QueuedConnection);
    };
    output.OnDone = [this](TComponent*) {
        QMetaObject::invokeMethod(
            this, [this] { OutputDone(); }, Qt::QueuedConnection);
    };
    output.OnThreadException = [this](TComponent*, const std::exception& e) {
        const QString message = QString::fromUtf8(e.what());
        QMetaObject::invokeMethod(
            this, [this, message] { OutputThreadException(message); }, Qt::QueuedConnection);
    };
}

void TRipQueue::RipCommand()
{
    if (!CheckRipSettings()) {
        // A validation that fails while the queue continues must not leave
        // the controls busy with nothing running.
        host_.SetRipping(false);
        if (Read(key::kWizard))
            components_.CDPlayer1->Stop();
        else
            host_.ShowMessage(text::kReminder, text::kReminderCaption);
        return;
    }
    for (int row = 0; row < rows_.rowCount(); ++row) {
        if (rows_.Checked(row) && rows_.Status(row) == TTrackStatus::NotConverted) {
            host_.SelectRow(row);
            host_.SetRipping(true);
            StartTrackRip(rows_.TrackNumberOfRow(row));
            return;
        }
    }
    host_.SetRipping(false);
    host_.ShowMessage(text::kAllDone, text::kAllDoneCaption);
    if (Read(key::kEjectCD))
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
    const TOutputFormat* format = FindFormat(host_.FormatText());
    if (!folder.isEmpty() && format != nullptr && Read(key::kNoOverwrite)) {
        for (int row = 0; row < count; ++row) {
            if (!rows_.Checked(row) || rows_.Status(row) != TTrackStatus::NotConverted)
                continue;
            const QString target = TargetFileName(folder, rows_.Name(row), format->ExtensionText());
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
    const TOutputFormat* format = FindFormat(host_.FormatText());
    if (format == nullptr)
        return;
    TACSFileOut& output = components_.Output(*format);
    CurrentTrack_ = track;
    components_.ReadCDIn->SetStartTrack(track);
    components_.ReadCDIn->SetEndTrack(components_.ReadCDIn->StartTrack());
    if (!Read(key::kAutoCpu))
        output.SetDelay(Read(key::kCpuLevel));
    const int row = rows_.RowOfTrack(track);
    const QString name = rows_.Name(row);
    if (const QString problem = FileNameProblem(name); !problem.isEmpty()) {
        FailTrack(row, problem);
        return;
    }
    const QString target = TargetFileName(host_.FolderText(), name, format->ExtensionText());
    output.SetFileName(QFile::encodeName(target).toStdString());
    if (format->ApplyTags != nullptr)
        format->ApplyTags(output, TagsOf(track));
    CurrentOutput_ = &output;
    stopped_ = false;
    output.Run();
}

TTrackTags TRipQueue::TagsOf(int track) const
{
    TTrackTags tags;
    if (Read(key::kId3Title))
        tags.Title = rows_.Name(rows_.RowOfTrack(track));
    if (Read(key::kId3Track))
        tags.Track = QString::number(track);
    if (Read(key::kId3Album) && !host_.AlbumText().isEmpty())
        tags.Album = host_.AlbumText();
    return tags;
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
    rows_.SetStatus(row, TTrackStatus::Converting);
}

void TRipQueue::OutputDone()
{
    const int row = rows_.RowOfTrack(CurrentTrack_);
    if (rows_.Progress(row) == 100) {
        rows_.SetStatus(row, TTrackStatus::Converted);
        // A Stop that came while the last block was written still ends the
        // queue: the controls are idle already.
        if (!stopped_)
            Timer1_.start();
    } else {
        rows_.SetStatus(row, TTrackStatus::Cancelled);
    }
}

void TRipQueue::OutputThreadException(const QString& message)
{
    FailTrack(rows_.RowOfTrack(CurrentTrack_), message);
}

void TRipQueue::FailTrack(int row, const QString& message)
{
    Timer1_.stop();
    rows_.SetStatus(row, TTrackStatus::Failed);
    host_.ShowRunError(message);
    host_.SetRipping(false);
}

} // namespace sonfeld::app
