#include "track_list.h"

#include "audio/cd/cd_in.h"
#include "track_list_model.h"

namespace sonfeld::app {

QStringList FillDriveList(TCDIn& input)
{
    QStringList names;
    const int count = input.DriveCount();
    for (int drive = 0; drive < count; ++drive) {
        input.SetCurrentDrive(drive);
        names << QString::fromStdString(input.DriveName());
    }
    input.SetCurrentDrive(-1);
    return names;
}

int DriveIndexOfText(const QStringList& items, const QString& shown)
{
    return static_cast<int>(items.indexOf(shown));
}

void RefreshTrackList(TCDIn& input, TTrackListModel& model)
{
    model.Clear();
    const int count = input.TrackCount();
    for (int track = 1; track <= count; ++track) {
        // Data tracks are listed too; the input refuses to rip them.
        const TCDTrackInfo info = input.TrackInfo(track);
        TTracksRec record;
        record.TimeText = QString::fromStdString(TrackTimeText(track, info));
        model.AddTrackRow(record);
    }
}

} // namespace sonfeld::app
