#include "row_names.h"

#include <QSet>

#include "app/files/file_naming.h"
#include "track_list_model.h"

namespace sonfeld::app {

void PutNamesOnRows(const metadata::TDiscMetadata& names, TTrackListModel& rows)
{
    // As the disc's own titles: a title given twice (in any case, or as a
    // name the user gave a row) names the later tracks with a free " (N)",
    // so no rip overwrites another's file.
    QSet<QString> used;
    QSet<int> titled;
    for (int row = 0; row < rows.rowCount(); ++row)
        if (rows.Renamed(row))
            used.insert(NameKey(rows.Name(row)));
    for (const metadata::TTrackMetadata& track : names.tracks) {
        const QString name = NameFromTitle(track.title.value);
        const int row = rows.RowOfTrack(track.number);
        // RowOfTrack gives 0 for a missing track too: the row must carry it.
        if (name.isEmpty() || rows.TrackNumberOfRow(row) != track.number || rows.IsData(row) ||
            rows.Renamed(row))
            continue;
        rows.SetTitle(row, UniqueName(name, track.number, used));
        titled.insert(track.number);
    }
    // A track the names give no title takes its plain name again, not the
    // title of a release or source shown before.
    for (int row = 0; row < rows.rowCount(); ++row) {
        const int track = rows.TrackNumberOfRow(row);
        // Track 0, the hidden audio, keeps its own name.
        if (!rows.IsData(row) && track > 0 && !titled.contains(track))
            rows.SetTitle(row, QStringLiteral("Track") + QString::number(track));
    }
}

} // namespace sonfeld::app
