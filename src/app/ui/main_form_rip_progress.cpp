// The rip's numbers while it runs: speed, time left and tracks done in the
// status bar, the overall percentage in the title, a notice at the end.

#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>

#include "app/text/shown_text.h"
#include "app/text/texts.h"
#include "app/tracks/track_list_model.h"
#include "desktop_notice.h"
#include "main_form.h"
#include "window_texts.h"

namespace sonfeld::app {

void TMainForm::CreateRipProgressDisplay()
{
    lblRipProgress = new QLabel(this);
    lblRipProgress->setObjectName(QStringLiteral("lblRipProgress"));
    statusBar()->addPermanentWidget(lblRipProgress);
    lblRipProgress->hide();
    // The speed and time left move on between the progress steps too.
    tmrRipProgress_ = new QTimer(this);
    tmrRipProgress_->setInterval(1000);
    connect(tmrRipProgress_, &QTimer::timeout, this, &TMainForm::ShowRipProgress);
    connect(rows_.get(), &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to) {
                for (int row = from.row(); row <= to.row(); ++row)
                    for (int column = from.column(); column <= to.column(); ++column)
                        RipRowChanged(row, column);
            });
}

void TMainForm::RipStateChanged(bool busy)
{
    ripping_ = busy;
    UpdateEjectCommand();
    if (btnOpenImage != nullptr)
        btnOpenImage->setEnabled(!busy);
    if (lblRipProgress == nullptr)
        return;
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
        lblRipProgress->show();
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
    lblRipProgress->clear();
    lblRipProgress->hide();
    setWindowTitle(text::kProgramName + QLatin1Char(' ') + text::kVersion);
}

void TMainForm::RipRowChanged(int row, int column)
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

void TMainForm::ShowRipProgress()
{
    if (!ripProgress_.Active())
        return;
    const qint64 now = ripClock_.elapsed();
    lblRipProgress->setText(RipProgressText(ripProgress_, now).Shown());
    setWindowTitle(QStringLiteral("%1% — ").arg(ripProgress_.Percent()) + text::kProgramName +
                   QLatin1Char(' ') + text::kVersion);
}

void TMainForm::NotifyRipEnded()
{
    // One track is over quickly enough to be watched; the window in front
    // shows the end itself.
    if (ripProgress_.TracksTicked() < 2 || isActiveWindow())
        return;
    const int done = ripProgress_.TracksDone();
    const int ticked = ripProgress_.TracksTicked();
    ShowDesktopNotice(this, text::kProgramName,
                      done == ticked ? Shown(text::kRipEndedAll).arg(ticked)
                                     : Shown(text::kRipEndedSome).arg(done).arg(ticked));
}

} // namespace sonfeld::app
