#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "disc_model.h"
#include "image_file.h"
#include "sheet_text.h"

namespace sonfeld::disc {

// A disc image described by a CUE sheet: its model, and its sectors read from
// the files the sheet names (relative to the sheet's folder), with PREGAP,
// POSTGAP and the gap between sessions as silence. Used by one thread at a
// time.
class CueImage {
public:
    // Reads the sheet and opens every file it names. Raises DiscError with the
    // reason, before anything is listed, for a sheet that cannot be a disc: a
    // file missing or shorter than the sheet needs, indexes that go backwards
    // or past their file, a track without INDEX 01, over 99 tracks, no text.
    // A non-empty encoding overrides the guess of the sheet's text encoding.
    static std::unique_ptr<CueImage> Open(const std::filesystem::path& sheet,
                                          const std::string& encoding = {});
    // A FLAC, APE or WavPack file that carries its own sheet; raises DiscError
    // as Open does, or for a file without one or whose sheet names more than
    // one file.
    static std::unique_ptr<CueImage> OpenEmbedded(const std::filesystem::path& audio,
                                                  const std::string& encoding = {});

    const DiscModel& Model() const { return model_; }
    // What the sheet's text was read as, for the log.
    const SheetEncoding& Encoding() const { return encoding_; }

    // Reads count audio sectors from lsn on into out (count * 2352 bytes).
    // False with error set for sectors outside the disc, sectors of a data
    // track, or a file that cannot be read.
    bool ReadSectors(std::int32_t lsn, int count, std::uint8_t* out, std::string& error);

private:
    struct Segment {
        std::int32_t lsn = 0;
        std::int32_t sectors = 0;
        int file = -1; // -1: silence
        std::int64_t fileSector = 0;
    };

    CueImage() = default;
    // The image the sheet describes; its files are found in folder, or are
    // all the one file given.
    static std::unique_ptr<CueImage> FromSheet(const struct CueSheet& sheet,
                                               const std::filesystem::path& folder,
                                               const std::filesystem::path* onlyFile);
    void Build(const struct CueSheet& sheet, const std::vector<std::string>& names,
               const std::vector<int>& sectorBytes);

    DiscModel model_;
    SheetEncoding encoding_;
    std::vector<std::unique_ptr<ImageFile>> files_;
    std::vector<int> sectorBytes_;
    std::vector<Segment> segments_;
};

// Reads a whole sheet file, refusing what is not a regular readable file or is
// too large to be a sheet.
std::string ReadSheetBytes(const std::filesystem::path& sheet);

} // namespace sonfeld::disc
