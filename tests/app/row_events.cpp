#include "row_events.h"

#include <QCoreApplication>
#include <QThread>

namespace sonfeld::test {

bool WaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

void Pump(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
}

RowRecorder::RowRecorder(app::TTrackListModel& rows)
{
    clock_.start();
    connection_ =
        QObject::connect(&rows, &QAbstractItemModel::dataChanged,
                         [this, &rows](const QModelIndex& from, const QModelIndex& to) {
                             if (from != to)
                                 return;
                             if (from.column() == app::tlProg)
                                 Events.push_back({clock_.elapsed(), from.row(), from.column(),
                                                   rows.Progress(from.row())});
                             if (from.column() == app::tlStatus)
                                 Events.push_back({clock_.elapsed(), from.row(), from.column(),
                                                   static_cast<int>(rows.Status(from.row()))});
                         });
}

RowRecorder::~RowRecorder()
{
    QObject::disconnect(connection_);
}

std::vector<app::TTrackStatus> RowRecorder::StatusesOf(int row) const
{
    std::vector<app::TTrackStatus> statuses;
    for (const auto& event : Events) {
        const auto status = static_cast<app::TTrackStatus>(event.value.toInt());
        if (event.row == row && event.column == app::tlStatus &&
            (statuses.empty() || statuses.back() != status))
            statuses.push_back(status);
    }
    return statuses;
}

std::vector<int> RowRecorder::ProgressOf(int row) const
{
    std::vector<int> progress;
    for (const auto& event : Events) {
        if (event.row == row && event.column == app::tlProg)
            progress.push_back(event.value.toInt());
    }
    return progress;
}

qint64 RowRecorder::FirstTime(int row, app::TTrackStatus status) const
{
    for (const auto& event : Events) {
        if (event.row == row && event.column == app::tlStatus &&
            event.value.toInt() == static_cast<int>(status))
            return event.atMs;
    }
    return -1;
}

} // namespace sonfeld::test
