#pragma once

#include <QObject>
#include <QString>
#include <map>
#include <memory>
#include <optional>

#include "app/files/output_folder.h"
#include "app/settings/reading_settings.h"
#include "app/verification/rip_verification.h"

namespace sonfeld {
class TACSFileOut;
}

namespace sonfeld::app {

class TRipComponents;
struct TOutputFormat;

// What a disc ripped into one image file is called and holds.
struct TSingleFileRequest {
    QString Folder;   // the output folder
    QString BaseName; // the image's and the sheet's name without extension
    const TOutputFormat* Format = nullptr;
    TReadingOptions Reading;
    std::optional<int> Level; // the format's compression level; none: the stored one
    std::optional<int> Delay; // ms before each block (the window's CPU level); none: no pause
    QString DriveName;
    // The album's names, for the image's tags, its sheet and the log.
    QString Album;
    QString AlbumArtist;
    QString Date;
    QString Genre;
    std::map<int, QString> Titles;     // by track number
    std::map<int, QString> Performers; // by track number, when not the album artist's
    bool WriteLog = true;
    // De-emphasis was asked for: the image keeps the audio as read (its
    // tracks keep their flags) and the log says so.
    bool DeEmphasis = false;
};

// The formats a disc image may be written in: their gaps are sample-exact.
bool ImageFormat(const TOutputFormat& format);

// The disc's audio tracks ripped into one image file ("整轨"): read once as one
// range through the CD input, each track's checksums taken from the read
// stream on its way, encoded by an output of its own into a temporary file
// that takes the image's name only when the whole disc succeeded; then the
// CUE sheet beside it (and, for FLAC and APE, inside it), the album's tags
// and the log with every track's verdict.
//
// Threads: the UI thread; the output's events are posted to it.
class TSingleFileRip final : public QObject {
    Q_OBJECT
public:
    explicit TSingleFileRip(TRipComponents& components, QObject* parent = nullptr);
    // Checksums and verdicts go to a queue's verification, and the image into
    // the folder the queue holds (taken before each Start, released by its owner).
    TSingleFileRip(TRipComponents& components, TRipVerification& verification,
                   TOutputFolder& heldFolder, QObject* parent = nullptr);
    ~TSingleFileRip() override;

    // Starts the rip of the disc in drive; Finished follows, also for a start
    // that fails (a format that cannot hold an image, a folder in use).
    void Start(int drive, const TSingleFileRequest& request);
    // The image is not kept; Finished follows.
    void Stop();
    bool Running() const { return output_ != nullptr || (!over_ && !target_.isEmpty()); }
    TRipVerification& Verification() { return verification_; }
    // The image file and its sheet, once finished.
    QString ImagePath() const { return target_; }
    QString SheetPath() const;
    // The log written by the last rip that succeeded; empty when none was.
    QString LogPath() const { return log_; }

signals:
    void Progress(int percent);
    // ok: the image, its sheet and the log are written; otherwise why not.
    void Finished(bool ok, const TMessage& message);

private:
    class TDiscTap;
    void Fail(const TMessage& message);
    void OutputDone();
    void Complete();
    TOutputFolder& Folder() { return heldFolder_ != nullptr ? *heldFolder_ : folder_; }
    void ReleaseFolder();

    TRipComponents& components_;
    TRipVerification ownVerification_;
    TRipVerification& verification_;
    TSingleFileRequest request_;
    TOutputFolder folder_;
    TOutputFolder* heldFolder_ = nullptr; // the queue's, when it holds one for this rip
    QString log_;
    std::unique_ptr<TDiscTap> tap_;
    std::unique_ptr<TACSFileOut> output_;
    QString temporary_;
    QString target_;
    std::int32_t hiddenSectors_ = 0; // audio before track 1 that opens the image
    bool stopped_ = false;
    bool over_ = false; // Finished was emitted for this run
};

} // namespace sonfeld::app
