#pragma once

#include <QElapsedTimer>
#include <QLabel>
#include <map>

#include "app/queue/rip_progress.h"

class QTimer;

namespace sonfeld::app {

class TTrackListModel;

// The rip's numbers while it runs (objectName "lblRipProgress", a permanent
// item of the status bar): speed, time left and tracks done, refreshed from
// the rows' progress and once a second; the overall percentage in the
// window's title; a desktop notice at the end of a rip of several tracks
// while the window is in the background. Hidden while no rip runs.
// UI thread only.
class TRipProgressDisplay final : public QLabel {
    Q_OBJECT
public:
    // rows: the rip's work list, followed while the rip runs; outlives the display.
    TRipProgressDisplay(TTrackListModel& rows, QWidget* parent);

    // A queue starts being followed (its ticked rows still to rip, taken
    // now), or has ended; repeated calls change nothing.
    void SetRipping(bool busy);

private:
    void RipRowChanged(int row, int column);
    void ShowRipProgress();
    void NotifyRipEnded();

    TTrackListModel* rows_;
    TRipProgress ripProgress_;
    std::map<int, int> progressIndexOfTrack_;
    QElapsedTimer ripClock_;
    QTimer* tmrRipProgress_ = nullptr;
};

} // namespace sonfeld::app
