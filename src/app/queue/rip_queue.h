#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "app/files/output_folder.h"
#include "app/formats/output_formats.h"
#include "app/verification/rip_records.h"
#include "app/verification/rip_verification.h"
#include "offset_search.h"
#include "reading_plan.h"
#include "rip_pipeline.h"

namespace sonfeld {
class TACSOutput;
class TComponent;
} // namespace sonfeld

namespace sonfeld::app {

namespace metadata {
class TDiscNames;
}

class TRipComponents;
class TTrackListModel;
struct TTrackTarget;

// How a queue that ran to its end went, for the message at its end.
struct TRipSummary {
    struct TFailed {
        QString Label;  // "Track 2"
        QString Reason; // why it was not ripped
    };
    int Tracks = 0;     // the tracks the queue took
    int Ripped = 0;     // ended "完成转换"
    int Accurate = 0;   // proven accurate by AccurateRip
    int Mismatched = 0; // AccurateRip knows the disc but not these sums
    std::vector<TFailed> Failed;
    QString Folder;
    QString LogFile; // the queue's log; empty when none was written

    // Every track ripped and none mismatched: "转换完成!" says it all.
    bool Clean() const { return Ripped == Tracks && Mismatched == 0; }
    // What happened and what to do about it, in the window's language;
    // retryHint says how to try the failed tracks again.
    QString Text(const QString& retryHint) const;
};

// What the rip queue needs from the window that carries it (the main window,
// or the command-line mode standing in for one). UI thread.
class TRipQueueHost {
public:
    virtual ~TRipQueueHost() = default;

    virtual QString FolderText() const = 0; // the output folder box `edtDes`
    virtual QString FormatText() const = 0; // the chosen item of `cbTrack`
    virtual QString AlbumText() const = 0;  // the album box `edtAlbum`
    virtual bool DriveSelected() const = 0; // `cbDrive` has a selection

    // A modal message with one OK button and the information icon.
    virtual void ShowMessage(const QString& text, const QString& caption) = 0;
    // The folder dialog `dlgSave`; a confirmed folder becomes the folder text.
    virtual void BrowseFolder() = 0;
    // Enables (idle) or disables (busy) the controls.
    virtual void SetRipping(bool busy) = 0;
    // Stop was pressed and the running track is winding up: nothing can be
    // started or stopped until SetRipping(false) follows.
    virtual void SetStopping() = 0;
    // Moves the grid's selection to the row being ripped.
    virtual void SelectRow(int row) = 0;
    // An error that ended a track's run, where the user sees it (status bar).
    virtual void ShowRunError(const QString& message) = 0;
    // The application's default error display.
    virtual void ShowError(const QString& message) = 0;
    // Whether the one-track-at-a-time queue waits a second before the next
    // track, as the window always did; the command line starts it at once.
    virtual bool PauseBetweenTracks() const { return true; }
    // The disc's names, for file names and tags; null while there are none.
    virtual const metadata::TDiscNames* Names() const = 0;
    // A rip whose tracks all mismatched matches at this read offset: offer to
    // store it for the drive.
    virtual void OfferReadOffset(const QString& driveName, int offset) = 0;
    // The end of a queue where a track failed or mismatched (otherwise
    // "转换完成!" is shown with ShowMessage).
    virtual void ShowRipSummary(const TRipSummary& summary) = 0;
};

// The rip queue: turns the ticked rows still "未转换" into files through the
// format named by the format text. The rows are the queue; there is no list
// of its own. Unless "sequentialMode" is on, the drive reads every ticked
// track ahead while one encoder per core follows (the pipeline); in the
// sequential mode one track is read and encoded at a time through the
// format's output on the window, with a second's pause between tracks.
//
// Threads: everything here runs on the UI thread. The outputs raise their
// events on their workers; the handlers bound by the constructor only post the
// event (with the progress it reported) to the UI thread, where it is carried
// out in the order raised.
class TRipQueue final : public QObject {
    Q_OBJECT
public:
    TRipQueue(TRipComponents& components, TTrackListModel& rows, TRipQueueHost& host,
              QObject* parent = nullptr);
    ~TRipQueue() override;

    // The rip command: validate, then start the next ticked "未转换" row (a
    // new queue also retries the ticked rows that failed), or finish the
    // queue: "转换完成!" when every track was ripped and none mismatched,
    // otherwise the summary, once the verdicts are in; the disc is ejected
    // when "ejectCD" is on and no track failed; "没有需要转换的音轨。" when it
    // had nothing to do. A track that fails does not stop the others. Errors
    // while starting a track are passed on; the controls then stay busy.
    // Ignored while a track runs.
    void RipCommand();
    // Stops the queue: no further track, the running one ends as "用户取消";
    // the queue is idle once it has ended.
    void StopCommand();
    // Whether a track's run has started and not yet reported its end.
    bool TrackRunning() const
    {
        return run_.has_value() || !piped_.empty() || !held_.empty() || lookupWait_ != nullptr;
    }
    // Stops pipelined tracks, waits for their threads and removes their
    // temporary files. The owner calls it before the components go: the
    // pipeline reads from their CD input.
    void EndPipeline();
    // The validation before each track; shows its own messages.
    bool CheckRipSettings();
    void StartTrackRip(int track);

    int CurrentTrack() const { return CurrentTrack_; }
    TACSOutput* CurrentOutput() const { return CurrentOutput_; }
    // The final file of the running track; empty while none runs.
    QString CurrentTarget() const { return run_ ? run_->Target : QString(); }
    // The file a row is ripped to, as the queue names it; empty when it cannot be named.
    QString TargetPathOfRow(int row) const;
    QTimer& Timer1() { return Timer1_; }
    // A file-name template for this queue instead of the stored one (the
    // command line's); nothing: the stored one.
    void SetFileNameTemplate(std::optional<QString> pattern) { template_ = std::move(pattern); }
    // The format's compression level instead of the stored one (command line).
    void SetCompressionLevel(std::optional<int> level) { level_ = level; }
    // The checksums, rip reports and AccurateRip verdicts of the tracks ripped.
    TRipVerification& Verification() { return verification_; }
    // Reading options that replace the stored ones for the queues to come
    // (the command line's); none: the settings and the drive's stored offset.
    void SetReadingOptions(std::optional<TReadingOptions> options) { readingOptions_ = options; }
    const TReadingPlan& Reading() const { return reading_; }
    // Looks for the drive's read offset after a rip whose tracks all mismatched.
    TOffsetSearch& OffsetSearch() { return offsetSearch_; }
    // Whether a log or CUE sheet this queue had to write could not be written.
    bool RecordsFailed() const { return recordsFailed_; }

private:
    void Timer1Timer();
    // Hands an output's events, raised on its worker, to the UI thread, each
    // with the run that raised it.
    void Bind(TACSOutput& output);
    // The ticked rows still to rip that would write the same file; a message
    // naming them, or an empty text.
    QString SameFileNames(const TOutputFormat& format) const;
    // Ends the queue: the folder is released and the controls are idle.
    void GoIdle();
    // The log and CUE sheet of the queue that ended, once its verdicts are in.
    void WriteRecords();
    // Starts the offset search when every track ripped mismatched.
    void SearchOffsetAfter(const TQueueRecord& record);
    // The tags a format writes, from the stored flags, the row and the album box.
    TTrackTags TagsOf(int track) const;
    // The file a row goes to, by the file-name template.
    TTrackTarget TargetOfRow(int row, const TOutputFormat& format) const;
    // With "写入完整标签" on, every tag of the names into the finished
    // temporary file. Returns why it failed (a missing tag library too), or an
    // empty text.
    QString TagFinishedFile(const QString& temporary, int track);
    // The front cover once beside the files of a folder, never over a file there.
    void WriteCoverFile(const QString& target);

    // Each acts on the row of its run; events of a run that is over are dropped.
    void OutputProgress(int run, int progress);
    void OutputDone(int run);
    void OutputThreadException(int run, const QString& message);
    // A fast read's verdict came: keep it, or read the track again securely.
    void FastReadJudged(int track);
    // The run is over: the controls go idle when Stop was pressed.
    void EndRun();
    // The track's row fails with the reason, kept for the queue's end.
    void MarkFailed(int track, const QString& reason);
    // One track at a time: the track failed, the queue goes on with the next.
    void FailTrack(int track, const QString& reason);
    // Whether a row is for the rip command to take: ticked and "未转换", or
    // failed in an earlier queue.
    bool ToRip(int row) const;
    // No row is left: the queue ends with its message.
    void FinishQueue();
    // The message at the end, once the records are written.
    void ReportEnd();
    int RowOf(int track) const;

    // The pipelined queue (rip_queue_pipeline.cpp).
    bool Pipelined() const;
    // Hands every ticked row still to rip to the pipeline, in row order; in
    // "快速并校验" only once the AccurateRip lookup has answered.
    void StartPipelinedQueue(const TOutputFormat& format);
    // A run of the row's track for the pipeline, entered among the piped runs;
    // nothing, with the reason, when its file cannot be made.
    std::optional<TPipelineTrack> PipedJob(int row, const TOutputFormat& format, QString& problem);
    // The lookup a fast pipelined queue waited for has answered.
    void PipelineLookupAnswered();
    // A held fast read's verdict came: keep it, or read the track again securely.
    void PipedFastReadJudged(int track);
    void PipelineReadProgress(int id, int percent);
    void PipelineRead(int id, const TPipelineRead& read);
    void PipelineEncodeProgress(int id, int percent);
    void PipelineTrackEnded(int id, TPipelineEnd end, const QString& error);
    void PipelineIdle();

    TRipComponents& components_;
    TTrackListModel& rows_;
    TRipQueueHost& host_;
    QTimer Timer1_;
    int CurrentTrack_ = 0;
    TACSOutput* CurrentOutput_ = nullptr;
    bool stopped_ = false; // Stop was pressed since the current track started
    bool ripped_ = false;  // the queue has started a track since it was last idle

    // A run is keyed by its track: the rows may be sorted while it runs.
    struct TRun {
        int Id = 0;
        int Track = 0;
        bool Test = false;   // the pass of test and copy that only checksums
        bool ReRead = false; // the secure read after a fast one that was not confirmed
        QString Temporary;
        QString Target;
    };
    // The file of a finished read becomes the track's, and the queue moves on.
    void KeepTrack(const TRun& run);
    // The pipeline's: a track read and encoded whole takes its final name.
    void KeepPipedTrack(const TRun& run);
    std::optional<TRun> run_;
    // The pipeline's runs by their id, with the read each one ended with.
    struct TPipedRun {
        TRun Run;
        int Track = 0;
        bool ReadDone = false;
        std::optional<TPipelineRead> Read;
    };
    std::unique_ptr<TRipPipeline> pipeline_;
    std::map<int, TPipedRun> piped_;
    // A fast pipelined queue waiting for the lookup, with its format.
    const TOutputFormat* lookupWait_ = nullptr;
    const TOutputFormat* pipelineFormat_ = nullptr; // the running pipelined queue's
    std::map<int, TRun> held_;     // fast reads of the pipeline waiting for their verdict, by track
    std::optional<TRun> awaiting_; // a fast read kept aside until its verdict comes
    std::optional<int> nextPass_;  // the track whose next read starts on the timer
    TReadingPlan reading_;
    std::optional<TReadingOptions> readingOptions_;
    TOffsetSearch offsetSearch_;
    int searchDrive_ = 0; // the drive of the queue whose records are waiting
    // The run whose events the outputs raise now; read on their workers.
    std::atomic<int> activeRun_{0};
    int lastRun_ = 0;
    TOutputFolder folder_;
    TRipVerification verification_;
    TQueueRecord record_;               // the running queue's
    std::vector<int> queueTracks_;      // the tracks it started, in order
    std::map<int, QString> queueFiles_; // each started track's file, below the folder
    std::set<QString> coverFolders_;    // the folders the queue has put a cover in
    std::map<int, QString> failures_;   // why each failed track of the queue failed
    // The queue that ran to its end, waiting for its records before its message.
    std::optional<TRipSummary> summary_;
    std::vector<int> summaryRipped_; // its tracks ripped, whose verdicts it counts
    bool ejectAfter_ = false;        // eject once the message was shown
    QString lastLog_;                // the log the last records wrote
    std::optional<QString> template_;
    std::optional<int> level_;
    std::optional<TQueueRecord> unwritten_; // an ended queue waiting for its verdicts
    TOutputFolder unwrittenFolder_;         // its folder, held until its records are written
    bool recordsFailed_ = false;            // a log or sheet could not be written
};

} // namespace sonfeld::app
