#pragma once

#include <QString>
#include <QtGlobal>

#include "accuraterip_lookup.h"
#include "audio/cd/verify/accuraterip_verdict.h"

namespace sonfeld::app {

// The verdict for one ripped track from the disc's lookup: a failed lookup
// stays a failure, an unknown disc stays unknown, and only a found disc is
// compared (by the track's TOC number).
verify::AccurateRipVerdict VerdictForTrack(const AccurateRipLookupResult& lookup,
                                           int tocTrackNumber, quint32 v1, quint32 v2);

} // namespace sonfeld::app
