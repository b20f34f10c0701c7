#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "disc_model.h"
#include "sheet_text.h"

namespace sonfeld::disc {

// What a CUE sheet says, before any file it names is opened.
enum class CueFileType { Binary, Motorola, Wave };

struct CueFile {
    std::string name; // as written in the sheet
    CueFileType type = CueFileType::Binary;
};

struct CueIndex {
    int number = 0;
    int file = 0;            // index into CueSheet::files
    std::int64_t sector = 0; // from the start of that file
};

struct CueTrack {
    int number = 0;
    bool data = false;
    int sectorBytes = 2352; // bytes one sector of this track takes in its file
    int session = 1;
    std::vector<CueIndex> indexes;   // in sheet order
    std::int64_t pregapSectors = 0;  // PREGAP: silence not in any file
    std::int64_t postgapSectors = 0; // POSTGAP: likewise, after the track
    bool preEmphasis = false;
    bool copyPermitted = false;
    bool fourChannel = false;
    std::string isrc;
    CdText text;
};

struct CueSheet {
    std::vector<CueFile> files;
    std::vector<CueTrack> tracks;
    std::string catalog;
    CdText text;
    SheetEncoding encoding; // what the text was read as
};

// Parses sheet bytes (any of the encodings DecodeSheetText accepts). Raises
// DiscError with the reason for a sheet that cannot describe a disc: not
// text, an unknown file type, a track without INDEX 01 or outside any FILE,
// track numbers that do not count up by one (the first may be any of 1..99),
// a number above 99, indexes
// out of order within a track, malformed times.
// A non-empty encoding overrides the guess (see DecodeSheetText).
CueSheet ParseCueSheet(const std::string& bytes, const std::string& encoding = {});

// "mm:ss:ff" to sectors; -1 when malformed (frames 75 and over, seconds 60 and over).
std::int64_t ParseCueTime(const std::string& text);

} // namespace sonfeld::disc
