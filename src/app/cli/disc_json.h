#pragma once

#include <QJsonObject>
#include <optional>

#include "audio/cd/disc/disc_model.h"

namespace sonfeld::app {

class TTrackListModel;
namespace metadata {
class TDiscNames;
}

// The disc in a drive as `--list --json` prints it: its rows (label, output
// name, time), what the table of contents says of each track, the disc's IDs,
// its names with their source and the releases a lookup found. names may be
// null when the disc has none.
QJsonObject DiscJson(int drive, const TTrackListModel& rows,
                     const std::optional<disc::DiscModel>& model,
                     const metadata::TDiscNames* names);

} // namespace sonfeld::app
