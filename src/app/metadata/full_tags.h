#pragma once

#include <QString>

#include "audio/formats/tags/track_tags.h"
#include "disc_names.h"

// Every tag the disc's names give one track, for the tag library. UI thread.
namespace sonfeld::app {

// rowName stands in for a missing title, albumText for a missing album;
// trackTotal counts the disc's audio tracks. The cover goes in only when
// withCover is set and the names have one.
TrackTags FullTagsOf(const metadata::TDiscNames* names, int track, int trackTotal,
                     const QString& rowName, const QString& albumText, bool withCover);

} // namespace sonfeld::app
