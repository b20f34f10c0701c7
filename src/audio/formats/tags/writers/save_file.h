#pragma once

#include <string>

#include <taglib/audioproperties.h>
#include <taglib/tfile.h>

#include "track_fields.h"

namespace sonfeld::tags {

// TagLib opens some files of other formats (or none) as valid; without a
// stream of its format such a file would be "tagged" into a broken one.
inline void RequireValid(const TagLib::File& file, const char* formatName)
{
    const TagLib::AudioProperties* audio = file.isValid() ? file.audioProperties() : nullptr;
    if (audio == nullptr || audio->sampleRate() <= 0 || audio->channels() <= 0)
        throw TagError(SONFELD_TAGS_UNREADABLE_FILE,
                       std::string("The file is not a valid ") + formatName + " file.");
}

inline void RequireSaved(bool saved)
{
    if (!saved)
        throw TagError(SONFELD_TAGS_WRITE_FAILED, "The tags could not be saved.");
}

} // namespace sonfeld::tags
