#pragma once

#include "app/metadata/disc_metadata.h"

// The disc's names on the grid: a row's name is its track's title, or its
// plain name (Track1) when the names give none, unless the user renamed the
// row. UI thread.
namespace sonfeld::app {

class TTrackListModel;

void PutNamesOnRows(const metadata::TDiscMetadata& names, TTrackListModel& rows);

} // namespace sonfeld::app
