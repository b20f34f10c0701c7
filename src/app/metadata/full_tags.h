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

// The ID3v2 version of MP3 files and WAV ID3 chunks: 3 when "ID3 版本" is
// "2.3", else 4; a version set for this run wins.
int Id3VersionForTags();
void SetId3VersionForThisRun(int version);

} // namespace sonfeld::app
