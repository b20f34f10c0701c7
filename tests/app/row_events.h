#pragma once

#include <QElapsedTimer>
#include <QMetaObject>
#include <QVariant>
#include <functional>
#include <vector>

#include "app/tracks/track_list_model.h"

namespace sonfeld::test {

// Runs the event loop until done() holds or timeoutMs passed; returns done().
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 30000);
// Runs the event loop for ms milliseconds.
void Pump(int ms);

// Every change of a row's progress or status, as the grid received it.
struct RowEvent {
    qint64 atMs;
    int row;
    int column;
    QVariant value;
};
class RowRecorder {
public:
    explicit RowRecorder(app::TTrackListModel& rows);
    ~RowRecorder();
    std::vector<RowEvent> Events;
    // The statuses a row went through, without repeats.
    std::vector<app::TTrackStatus> StatusesOf(int row) const;
    std::vector<int> ProgressOf(int row) const;
    // When the row first got status, -1 if never.
    qint64 FirstTime(int row, app::TTrackStatus status) const;

private:
    QMetaObject::Connection connection_;
    QElapsedTimer clock_;
};

} // namespace sonfeld::test
