#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include "output_formats.h"

namespace sonfeld {
class TACSOutput;
class TComponent;
} // namespace sonfeld

namespace sonfeld::app {

class TRipComponents;
class TTrackListModel;

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
    // Moves the grid's selection to the row being ripped.
    virtual void SelectRow(int row) = 0;
    // An error that ended a track's run, where the user sees it (status bar).
    virtual void ShowRunError(const QString& message) = 0;
    // The application's default error display.
    virtual void ShowError(const QString& message) = 0;
};

// The rip queue: turns the ticked rows still "未转换" into files, one track at
// a time, through the output of the format named by the format text. The rows are the
// queue; there is no list of its own.
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

    // The rip command: validate, then start the next ticked "未转换" row, or
    // finish the queue ("转换完成!", eject when "ejectCD" is on). Errors while
    // starting a track are passed on; the controls then stay busy.
    void RipCommand();
    // Stops the queue: no further track, the running one ends as "用户取消".
    void StopCommand();
    // The validation before each track; shows its own messages.
    bool CheckRipSettings();
    void StartTrackRip(int track);

    int CurrentTrack() const { return CurrentTrack_; }
    TACSOutput* CurrentOutput() const { return CurrentOutput_; }
    QTimer& Timer1() { return Timer1_; }

private:
    void Timer1Timer();
    // Hands an output's events, raised on its worker, to the UI thread.
    void Bind(TACSOutput& output);
    // The tags a format writes, from the stored flags, the row and the album box.
    TTrackTags TagsOf(int track) const;

    // All of them act on the current track.
    void OutputProgress(int progress);
    void OutputDone();
    void OutputThreadException(const QString& message);
    // A track that cannot start: its row fails visibly and the queue goes idle.
    void FailTrack(int row, const QString& message);

    TRipComponents& components_;
    TTrackListModel& rows_;
    TRipQueueHost& host_;
    QTimer Timer1_;
    int CurrentTrack_ = 0;
    TACSOutput* CurrentOutput_ = nullptr;
    bool stopped_ = false; // Stop was pressed since the current track started
};

} // namespace sonfeld::app
