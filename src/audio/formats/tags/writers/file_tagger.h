#pragma once

#include <string>

#include "track_fields.h"

namespace sonfeld::tags {

// Tags the file at path (UTF-8) by its extension. The tags go into a copy
// beside the file, which then replaces it: a failure part-way (a full disk, a
// file TagLib cannot save) leaves the original as it was. Raises TagError.
void TagFile(const std::string& path, const TrackFields& fields);

} // namespace sonfeld::tags
