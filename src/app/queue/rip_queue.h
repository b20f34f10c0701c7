#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "album_gain.h"
#include "app/files/output_folder.h"
#include "app/formats/output_formats.h"
#include "app/verification/rip_records.h"
#include "app/verification/rip_verification.h"
#include "offset_search.h"
#include "queue_strategy.h"
#include "reading_plan.h"
#include "rip_queue_host.h"

namespace sonfeld {
class TACSOutput;
struct TrackTags;
} // namespace sonfeld

namespace sonfeld::app {

class TOneTrackQueue;
class TPipelinedQueue;
class TSingleFileQueue;
class TRipComponents;
class TRipAudioSpool;
class TTrackListModel;
struct TTrackTarget;

// The rip queue: turns the ticked rows still "未转换" into files through the
// format named by the format text. The rows are the queue; there is no list
// of its own. It keeps what every way of reading shares and hands the rows to
// one of its strategies: unless "sequentialMode" is on (or test and copy
// reads each track twice), `TPipelinedQueue`, where the drive reads every
// ticked track ahead while one encoder per core follows; otherwise
// `TOneTrackQueue`, where one track is read and encoded at a time through the
// format's output on the window, with a second's pause between tracks.
//
// Threads: everything here runs on the UI thread; the strategies hand the
// events of their workers to it.
class TRipQueue final : public QObject {
    Q_OBJECT
public:
    TRipQueue(TRipComponents& components, TTrackListModel& rows, TRipQueueInputs& inputs,
              TRipQueueReactions& window, QObject* parent = nullptr);
    ~TRipQueue() override;

    // The rip command: validate, then start the next ticked "未转换" row (a
    // new queue also retries the ticked rows that failed), or finish the
    // queue: "转换完成!" when every track was ripped and none mismatched,
    // otherwise the summary, once the verdicts are in; the disc is ejected
    // when "ejectCD" is on and no track failed; "没有需要转换的音轨。" when it
    // had nothing to do. A track that fails does not stop the others. Errors
    // while starting a track are passed on; the controls then stay busy.
    // Ignored while a track runs or a read waits for its verdict.
    void RipCommand();
    // Stops the queue: no further track, the running ones end as "用户取消";
    // the queue is idle once they have ended.
    void StopCommand();
    // Whether a track's run has started and not yet reported its end, or a
    // read or the lookup is waited for.
    bool TrackRunning() const;
    // Stops pipelined tracks, waits for their threads and removes their
    // temporary files. The owner calls it before the components go: the
    // pipeline reads from their CD input.
    void EndPipeline();
    // The validation before each track; shows its own messages.
    bool CheckRipSettings();

    // The track started last.
    int CurrentTrack() const { return CurrentTrack_; }
    // The one-track-at-a-time queue's output and final file while a track
    // runs there; null and empty otherwise.
    TACSOutput* CurrentOutput() const;
    QString CurrentTarget() const;
    // The file a row is ripped to, as the queue names it; empty when it cannot be named.
    QString TargetPathOfRow(int row) const;
    // The pause of the one-track-at-a-time queue before its next track.
    QTimer& Timer1();
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
    // De-emphasis for the queues to come instead of the stored flag (the
    // command line's); none: the setting.
    void SetDeEmphasis(std::optional<bool> on) { deEmphasisGiven_ = on; }
    const TReadingPlan& Reading() const { return reading_; }
    // Looks for the drive's read offset after a rip whose tracks all mismatched.
    TOffsetSearch& OffsetSearch() { return offsetSearch_; }
    // Whether a log or CUE sheet this queue had to write could not be written.
    bool RecordsFailed() const { return recordsFailed_; }
    // Keeps the audio of the lossy rips to come for a repair (the window's
    // queues; nobody could repair from the command line's).
    void SetKeepAudioForRepair(bool keep) { keepAudioForRepair_ = keep; }
    // The last lossy rip's audio, kept after its queue ended until a new
    // queue or a new track list; null when there is none.
    std::shared_ptr<TRipAudioSpool> KeptAudio() const { return keptAudio_; }

private:
    // The strategies take their share of the queue from here.
    friend class TOneTrackQueue;
    friend class TPipelinedQueue;
    friend class TSingleFileQueue;

    // The strategy that reads the queue's rows.
    bool Pipelined() const;
    TQueueStrategy& StrategyFor(bool pipelined);
    // Both strategies drop the reads they keep for a verdict.
    void DropUnconfirmed();
    // The ticked rows still to rip that would write the same file; a message
    // naming them, or an empty text.
    TMessage SameFileNames(const TOutputFormat& format) const;
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
    // A run of the row's track: its target named, the template's sub-folders
    // made and a temporary file beside the target chosen, the file kept for
    // the records. Nothing, with the reason, when the file cannot be made.
    std::optional<TTrackRun> RunOfRow(int row, const TOutputFormat& format, TMessage& problem);
    // Whether the queue de-emphasises the track's file: it is on and the
    // disc flags the track with pre-emphasis.
    bool DeEmphasised(int track) const;
    // A track read and encoded whole: tagged, renamed onto its target, the
    // cover beside it. Returns why it failed (its file is gone then), or an
    // empty text.
    TMessage KeepFile(const TTrackRun& run);
    // With "写入完整标签" on, every tag of the names into the finished
    // temporary file. Returns why it failed (a missing tag library too), or an
    // empty text.
    TMessage TagFinishedFile(const QString& temporary, int track,
                             std::optional<TrackTags>* tagsKept = nullptr);
    // The front cover once beside the files of a folder, never over a file there.
    void WriteCoverFile(const QString& target);
    // Whether the AccurateRip verdict keeps a fast read of the track (the plan
    // notes why not).
    bool KeepsFastRead(int track);
    // The track's row fails with the reason, kept for the queue's end.
    void MarkFailed(int track, const TMessage& reason);
    // Whether a row is for the rip command to take: ticked and "未转换", or
    // failed in an earlier queue.
    bool ToRip(int row) const;
    // No row is left: the queue ends with its message.
    void FinishQueue();
    // The message at the end, once the records are written.
    void ReportEnd();
    int RowOf(int track) const;

    TRipComponents& components_;
    TTrackListModel& rows_;
    TRipQueueInputs& inputs_;
    TRipQueueReactions& window_;
    int CurrentTrack_ = 0;
    bool stopped_ = false; // Stop was pressed since the current track started
    bool ripped_ = false;  // the queue has started a track since it was last idle

    TReadingPlan reading_;
    std::optional<TReadingOptions> readingOptions_;
    std::optional<bool> deEmphasisGiven_;
    bool deEmphasis_ = false; // the running queue's: de-emphasise pre-emphasised tracks
    TOffsetSearch offsetSearch_;
    int searchDrive_ = 0; // the drive of the queue whose records are waiting
    TOutputFolder folder_;
    TRipVerification verification_;
    TQueueRecord record_;               // the running queue's
    std::vector<int> queueTracks_;      // the tracks it started, in order
    std::map<int, QString> queueFiles_; // each started track's file, below the folder
    std::set<QString> coverFolders_;    // the folders the queue has put a cover in
    std::map<int, TMessage> failures_;  // why each failed track of the queue failed
    // Tracks whose verdict came before their row ended: the row's status
    // shows the proof once it ends.
    std::set<int> proofPending_;
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
    TAlbumGain albumGain_;                  // the running queue's ReplayGain
    bool keepAudioForRepair_ = false;
    std::shared_ptr<TRipAudioSpool> keptAudio_;

    // Last: they go before the state they share.
    std::unique_ptr<TOneTrackQueue> oneTrack_;
    std::unique_ptr<TPipelinedQueue> pipelined_;
    // "整轨": the whole disc into one image; chosen per queue by "outputMode".
    std::unique_ptr<TSingleFileQueue> singleFile_;
    bool imageQueue_ = false;
};

} // namespace sonfeld::app
