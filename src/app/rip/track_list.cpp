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
        // Data tracks are listed too, but never ticked: the input refuses them.
        const TCDTrackInfo info = input.TrackInfo(track);
        TTracksRec record;
        record.TimeText = QString::fromStdString(TrackTimeText(track, info));
        record.LengthFrames = (info.Minutes * 60 + info.Seconds) * 75 + info.Frames;
        record.Data = info.TrackType != 0;
        model.AddTrackRow(record);
    }
}

void RebuildTrackListKeepingNames(TCDIn& input, TTrackListModel& model)
{
    struct Kept {
        QString time;
        QString name;
        bool checked;
    };
    std::vector<Kept> kept;
    for (int row = 0; row < model.rowCount(); ++row) {
        const int track = model.TrackNumberOfRow(row);
        if (track > static_cast<int>(kept.size()))
            kept.resize(static_cast<std::size_t>(track));
        const int from = model.RowOfTrack(track);
        kept[static_cast<std::size_t>(track - 1)] = {model.TimeText(from), model.Name(from),
                                                     model.Checked(from)};
    }
    RefreshTrackList(input, model);
    if (static_cast<int>(kept.size()) != model.rowCount())
        return;
    for (int row = 0; row < model.rowCount(); ++row) {
        if (kept[static_cast<std::size_t>(row)].time != model.TimeText(row))
            return;
    }
    for (int row = 0; row < model.rowCount(); ++row) {
        model.SetName(row, kept[static_cast<std::size_t>(row)].name);
        model.SetChecked(row, kept[static_cast<std::size_t>(row)].checked);
    }
}

} // namespace sonfeld::app
