#pragma once

#include <memory>
#include <vector>

#include "app/text/message.h"
#include "queue_strategy.h"

namespace sonfeld::app {

class TSingleFileRip;

// The queue's way of ripping the disc into one image file with its CUE sheet
// ("整轨"): the whole disc in one `TSingleFileRip`, which reads it once,
// writes the image, its sheet and its log. It takes the disc only when every
// audio track is ticked: an image that left out tracks the user unticked, or
// held tracks the user did not want, would not be what was asked for.
//
// Every audio row shows the image's progress together (they are one file),
// ends "完成转换" once the image, its sheet and the log exist, and gets its
// track's verdict; a failed or stopped image leaves no file and its rows
// "转换失败" or "用户取消". UI thread.
class TSingleFileQueue final : public TQueueStrategy {
public:
    explicit TSingleFileQueue(TRipQueue& queue);
    ~TSingleFileQueue() override;

    void Start(int row, const TOutputFormat& format) override;
    bool Busy() const override { return running_; }
    bool TracksRunning() const override { return running_; }
    void StopTracks() override;
    // The image keeps no read aside for a verdict.
    void DropUnconfirmed() override {}
    bool TrackVerified(int) override { return false; }
    // The log the last image wrote; empty when none was.
    QString LogPath() const;
    // Stops a running image and waits for it, leaving no file: the owner
    // calls it before the components go.
    void End();

private:
    // Ends the queue without starting the image, telling the user why.
    void Refuse(const QString& message);
    void Progress(int percent);
    void Finished(bool ok, const TMessage& message);

    std::unique_ptr<TSingleFileRip> rip_;
    std::vector<int> tracks_; // the audio tracks the image holds
    bool running_ = false;
};

} // namespace sonfeld::app
