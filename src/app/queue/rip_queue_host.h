#pragma once

#include <QString>
#include <vector>

#include "app/text/message.h"

namespace sonfeld::app {

namespace metadata {
class TDiscNames;
}

// How a queue that ran to its end went, for the message at its end.
struct TRipSummary {
    struct TFailed {
        QString Label;   // "Track 2"
        TMessage Reason; // why it was not ripped
    };
    int Tracks = 0;            // the tracks the queue took
    int Ripped = 0;            // ended "完成转换"
    int Accurate = 0;          // proven accurate by AccurateRip
    int Mismatched = 0;        // AccurateRip knows the disc but not these sums
    bool CtdbMismatch = false; // the CTDB knows the disc, and this rip differs from it
    int Proven = 0;            // by a database, or by two reads that agree
    int Unproven = 0;          // kept, but nothing proves them
    int Suspicious = 0;        // reads that disagreed, or blocks that never read alike
    std::vector<TFailed> Failed;
    QString Folder;
    QString LogFile; // the queue's log; empty when none was written

    // Every track ripped and proven, none mismatched: "转换完成!" says it all.
    bool Clean() const
    {
        return Ripped == Tracks && Mismatched == 0 && !CtdbMismatch && Unproven == 0 &&
               Suspicious == 0;
    }
    // What happened and what to do about it, in the window's language;
    // retryHint says how to try the failed tracks again.
    QString Text(const QString& retryHint) const;
};

// What a rip queue reads from the window that carries it (the main window, or
// the command-line mode standing in for one) when it starts a queue or a
// track. UI thread.
class TRipQueueInputs {
public:
    virtual ~TRipQueueInputs() = default;

    virtual QString FolderText() const = 0; // the output folder box `edtDes`
    virtual QString FormatText() const = 0; // the chosen item of `cbTrack`
    virtual QString AlbumText() const = 0;  // the album box `edtAlbum`
    virtual bool DriveSelected() const = 0; // `cbDrive` has a selection
    // The disc's names, for file names and tags; null while there are none.
    virtual const metadata::TDiscNames* Names() const = 0;
    // Whether the one-track-at-a-time queue waits a second before the next
    // track, as the window always did; the command line starts it at once.
    virtual bool PauseBetweenTracks() const { return true; }
};

// What the window carrying a rip queue does as the queue goes. UI thread.
class TRipQueueReactions {
public:
    virtual ~TRipQueueReactions() = default;

    // A modal message with one OK button and the information icon.
    virtual void ShowMessage(const TMessage& text, const QString& caption) = 0;
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
    virtual void ShowRunError(const TMessage& message) = 0;
    // The application's default error display.
    virtual void ShowError(const TMessage& message) = 0;
    // A rip whose tracks all mismatched matches at this read offset: offer to
    // store it for the drive.
    virtual void OfferReadOffset(const QString& driveName, int offset) = 0;
    // The end of a queue where a track failed or mismatched (otherwise
    // "转换完成!" is shown with ShowMessage).
    virtual void ShowRipSummary(const TRipSummary& summary) = 0;
};

} // namespace sonfeld::app
