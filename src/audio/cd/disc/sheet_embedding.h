#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sonfeld::disc {

// Where one track of a whole-disc image file lies, in sectors from the file's start.
struct EmbeddedTrack {
    int number = 0;
    std::int64_t startSector = 0; // INDEX 01
    std::int64_t gapSectors = 0;  // INDEX 00 this many sectors before it; 0: none in the file
    std::string isrc;             // 12 characters, or empty
    bool preEmphasis = false;
};

struct EmbeddedLayout {
    std::string mcn; // 13 digits, or empty
    std::vector<EmbeddedTrack> tracks;
    std::int64_t totalSamples = 0; // the file's audio, for the lead-out
};

// Writes a CUE sheet into a finished FLAC file: a CUESHEET metadata block for
// the layout and a CUESHEET comment holding the sheet's text (the ones there
// before replaced, every other block and comment kept). The file is rewritten
// through a temporary file beside it and a rename, so it is whole either way.
// False with error set when it cannot be read or written.
bool EmbedSheetInFlac(const std::string& path, const std::string& sheet,
                      const EmbeddedLayout& layout, std::string& error);

// Sets the "Cuesheet" item of the APEv2 tag at the end of an APE file (one is
// added when there is none), keeping the tag's other items. False with error
// set when the file cannot be read or written, or its tag is malformed.
bool EmbedSheetInApeTag(const std::string& path, const std::string& sheet, std::string& error);

} // namespace sonfeld::disc
