#pragma once

#include <taglib/tfile.h>

#include "track_fields.h"

namespace sonfeld::tags {

inline void RequireValid(const TagLib::File& file, const char* formatName)
{
    if (!file.isValid())
        throw TagError(SONFELD_TAGS_UNREADABLE_FILE,
                       std::string("The file is not a valid ") + formatName + " file.");
}

inline void RequireSaved(bool saved)
{
    if (!saved)
        throw TagError(SONFELD_TAGS_WRITE_FAILED, "The tags could not be saved.");
}

} // namespace sonfeld::tags
