#pragma once

#include <string>

#include "image_layout.h"

namespace sonfeld::cdrip {

// libcdio's reader of cdrdao TOC files divides by a track's sector size
// before it knows it, waits on a FIFO named as a file, and lays tracks over
// more sectors than their files hold (a last track without a length, a
// START inside the last track). So a TOC file is read here first, and only
// the plain form is let through: a disc type line, CATALOG and CD_TEXT, then
// at most 99 tracks, each with a mode (no sub-channel data) and exactly one
// FILE, AUDIOFILE or DATAFILE naming a regular file beside the TOC (or by its
// full path) that holds every sector the track is said to have; START and
// INDEX inside the track; flags, ISRC, PREGAP and SILENCE (which libcdio
// leaves out). Returns an empty text when the file is such, with layout set
// to the table of contents libcdio must read from it; otherwise the reason.
std::string CheckTocFile(const std::string& path, ImageLayout& layout);

bool HasTocExtension(const std::string& path);

} // namespace sonfeld::cdrip
