#pragma once

#include <QStringList>

namespace sonfeld {
class TCDIn;
}

// Drive list and track rows built from the CD input. UI thread. Errors of the
// CD input (EACSException) end the operation where it stands and are passed on.
namespace sonfeld::app {

class TTrackListModel;

// The names of drives 0 .. DriveCount - 1 of input, item I naming drive I.
// Leaves the last drive enumerated current (the input ignores -1).
QStringList FillDriveList(TCDIn& input);

// The index of the first of items equal to shown (two drives of one name
// give the first of them), or -1.
int DriveIndexOfText(const QStringList& items, const QString& shown);

// Rebuilds all rows from the disc in input's current drive: one row per track
// with its time text and, when the disc has CD-TEXT, its title as the name;
// no rows when the disc has no readable table of contents. Rows added before
// an error remain. Audio hidden before track 1 (HiddenTrackSectors) comes
// first as track 0 "隐藏音轨", ticked when tickHidden says so.
void RefreshTrackList(TCDIn& input, TTrackListModel& model, bool tickHidden = false);

// The same, for a change of format: when the disc read has the tracks and
// times the rows showed, each row keeps its name, artist and tick (its status
// and progress start afresh).
void RebuildTrackListKeepingNames(TCDIn& input, TTrackListModel& model, bool tickHidden = false);

} // namespace sonfeld::app
