#include "track_list.h"

#include <QSet>
#include <algorithm>
#include <map>
#include <optional>

#include "app/files/file_naming.h"
#include "audio/cd/cd_in.h"
#include "audio/cd/disc_list_lines.h"
#include "audio/cd/disc_model_reading.h"
#include "hidden_track.h"
#include "track_list_model.h"

namespace sonfeld::app {

namespace {

// Rows from the disc model: its lengths (the last audio track of an enhanced
// CD ends with its session) and its CD-TEXT titles as names. A title the disc
// gives twice names the later tracks with their number too, so that no rip
// overwrites another's file.
void AddModelRows(TCDIn& input, const disc::DiscModel& disc, TTrackListModel& model,
                  bool tickHidden)
{
    if (const std::int32_t hidden = HiddenTrackSectors(input, disc); hidden > 0) {
        TTracksRec record;
        record.LengthFrames = hidden;
        const TMSF length = FramesToMSF(hidden);
        record.TimeText = QString::fromStdString(
            TrackTimeText(0, {length.Minute, length.Second, length.Frame, 0}));
        model.AddHiddenTrackRow(record, tickHidden);
    }
    QSet<QString> used;
    for (const disc::Track& track : disc.tracks) {
        TTracksRec record;
        record.TimeText = QString::fromStdString(ModelTrackTimeText(track));
        // Audio recorded with pre-emphasis sounds bright unless the player de-emphasises it.
        if (track.preEmphasis)
            record.TimeText += QStringLiteral("  预加重");
        record.LengthFrames = std::max(track.Sectors(), 0);
        record.Data = track.data;
        if (!track.data)
            record.Name = NameFromTitle(QString::fromStdString(track.text.title));
        if (!record.Name.isEmpty())
            record.Name = UniqueName(record.Name, track.number, used);
        model.AddTrackRow(record);
    }
}

} // namespace

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

void RefreshTrackList(TCDIn& input, TTrackListModel& model, bool tickHidden)
{
    model.Clear();
    const int count = input.TrackCount();
    if (count <= 0)
        return;
    // One read of the model for the whole list.
    if (const std::optional<disc::DiscModel> disc = ReadDiscModel(input.CurrentDrive());
        disc && static_cast<int>(disc->tracks.size()) == count) {
        AddModelRows(input, *disc, model, tickHidden);
        return;
    }
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

void RebuildTrackListKeepingNames(TCDIn& input, TTrackListModel& model, bool tickHidden)
{
    struct Kept {
        QString time;
        QString name;
        QString artist;
        bool renamed;
        bool checked;
    };
    // By track (the grid may be sorted); a hidden track is track 0.
    std::map<int, Kept> kept;
    for (int row = 0; row < model.rowCount(); ++row)
        kept[model.TrackNumberOfRow(row)] = {model.TimeText(row), model.Name(row),
                                             model.Artist(row), model.Renamed(row),
                                             model.Checked(row)};
    RefreshTrackList(input, model, tickHidden);
    if (static_cast<int>(kept.size()) != model.rowCount())
        return;
    for (int row = 0; row < model.rowCount(); ++row) {
        const auto found = kept.find(model.TrackNumberOfRow(row));
        if (found == kept.end() || found->second.time != model.TimeText(row))
            return;
    }
    for (int row = 0; row < model.rowCount(); ++row) {
        const Kept& keptRow = kept.at(model.TrackNumberOfRow(row));
        if (keptRow.renamed)
            model.SetName(row, keptRow.name);
        else
            model.SetTitle(row, keptRow.name);
        model.SetArtist(row, keptRow.artist);
        model.SetChecked(row, keptRow.checked);
    }
}

} // namespace sonfeld::app
