// The rip's numbers while it runs: speed, time left and tracks done in the
// status bar, the overall percentage in the title, a notice at the end.

#include "rip_progress_display.h"

#include <QTimer>

#include "app/text/shown_text.h"
#include "app/text/texts.h"
#include "app/tracks/track_list_model.h"
#include "desktop_notice.h"
#include "window_texts.h"

namespace sonfeld::app {

TRipProgressDisplay::TRipProgressDisplay(TTrackListModel& rows, QWidget* parent)
    : QLabel(parent), rows_(&rows)
{
    setObjectName(QStringLiteral("lblRipProgress"));
    hide();
    // The speed and time left move on between the progress steps too.
    tmrRipProgress_ = new QTimer(this);
    tmrRipProgress_->setInterval(1000);
    connect(tmrRipProgress_, &QTimer::timeout, this, &TRipProgressDisplay::ShowRipProgress);
    connect(rows_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to) {
                for (int row = from.row(); row <= to.row(); ++row)
                    for (int column = from.column(); column <= to.column(); ++column)
                        RipRowChanged(row, column);
            });
}

void TRipProgressDisplay::SetRipping(bool busy)
{
    if (busy) {
        if (ripProgress_.Active())
            return;
        // The queue takes the ticked rows still to rip, in row order.
        std::vector<int> lengths;
        progressIndexOfTrack_.clear();
        for (int row = 0; row < rows_->rowCount(); ++row) {
            if (!rows_->Checked(row) || rows_->Status(row) != TTrackStatus::NotConverted)
                continue;
            progressIndexOfTrack_[rows_->TrackNumberOfRow(row)] = static_cast<int>(lengths.size());
            lengths.push_back(rows_->LengthFrames(row));
        }
        ripClock_.start();
        ripProgress_.Start(lengths, 0);
        show();
        tmrRipProgress_->start();
        ShowRipProgress();
        return;
    }
    if (!ripProgress_.Active())
        return;
    NotifyRipEnded();
    ripProgress_.Clear();
    progressIndexOfTrack_.clear();
    tmrRipProgress_->stop();
    clear();
    hide();
    window()->setWindowTitle(text::kProgramName + QLatin1Char(' ') + text::kVersion);
}

void TRipProgressDisplay::RipRowChanged(int row, int column)
{
    if (!ripProgress_.Active() || (column != tlProg && column != tlStatus))
        return;
    const auto found = progressIndexOfTrack_.find(rows_->TrackNumberOfRow(row));
    if (found == progressIndexOfTrack_.end())
        return;
    if (Finished(rows_->Status(row)))
        ripProgress_.SetTrackDone(found->second);
    else
        ripProgress_.SetTrackProgress(found->second, rows_->Progress(row));
    ShowRipProgress();
}

void TRipProgressDisplay::ShowRipProgress()
{
    if (!ripProgress_.Active())
        return;
    const qint64 now = ripClock_.elapsed();
    setText(RipProgressText(ripProgress_, now).Shown());
    window()->setWindowTitle(QStringLiteral("%1% — ").arg(ripProgress_.Percent()) +
                             text::kProgramName + QLatin1Char(' ') + text::kVersion);
}

void TRipProgressDisplay::NotifyRipEnded()
{
    // One track is over quickly enough to be watched; the window in front
    // shows the end itself.
    if (ripProgress_.TracksTicked() < 2 || isActiveWindow())
        return;
    const int done = ripProgress_.TracksDone();
    const int ticked = ripProgress_.TracksTicked();
    ShowDesktopNotice(window(), text::kProgramName,
                      done == ticked ? Shown(text::kRipEndedAll).arg(ticked)
                                     : Shown(text::kRipEndedSome).arg(done).arg(ticked));
}

} // namespace sonfeld::app
