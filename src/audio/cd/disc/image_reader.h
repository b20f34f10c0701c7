#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "disc_model.h"
#include "image_file.h"

namespace sonfeld::disc {

// A disc image read by our own readers: its model, and its audio sectors
// straight from its files. Used by one thread at a time.
class ImageReader {
public:
    virtual ~ImageReader() = default;
    virtual const DiscModel& Model() const = 0;
    // Reads count audio sectors from lsn on into out (count * 2352 bytes).
    // False with error set for sectors outside the disc, sectors of a data
    // track, or a file that cannot be read.
    virtual bool ReadSectors(std::int32_t lsn, int count, std::uint8_t* out,
                             std::string& error) = 0;
};

// A disc laid out as consecutive runs of bytes, each taken from a file or
// silent: the form TOC and NRG images describe.
class RunImage : public ImageReader {
public:
    const DiscModel& Model() const override { return model_; }
    bool ReadSectors(std::int32_t lsn, int count, std::uint8_t* out, std::string& error) override;

protected:
    // The file's index for AddRun.
    int AddFile(std::unique_ptr<ImageFile> file);
    // Appends bytes at the disc's end, from file (from offset on) or silence (file -1).
    void AddRun(std::int64_t bytes, int file = -1, std::int64_t offset = 0);
    std::int64_t DiscBytes() const { return end_; }

    DiscModel model_;

private:
    struct Run {
        std::int64_t at = 0; // byte on the disc, from LSN 0
        std::int64_t bytes = 0;
        int file = -1;
        std::int64_t offset = 0;
    };
    std::vector<std::unique_ptr<ImageFile>> files_;
    std::vector<Run> runs_;
    std::int64_t end_ = 0;
};

// The image at path read by our own readers: a CUE sheet, a cdrdao TOC file
// (by its name) or an NRG image (by its name, or by its Nero footer whatever
// its name).
// nullptr for a file that is none of them; DiscError with the reason for one
// that cannot be read.
// A non-empty encoding overrides the guess of a CUE sheet's text encoding.
std::unique_ptr<ImageReader> OpenImageReader(const std::filesystem::path& path,
                                             const std::string& encoding = {});
// The CUE sheet at path, through our reader.
std::unique_ptr<ImageReader> OpenCueReader(const std::filesystem::path& sheet,
                                           const std::string& encoding = {});
// A FLAC, APE or WavPack file that carries its own CUE sheet.
std::unique_ptr<ImageReader> OpenEmbeddedSheetReader(const std::filesystem::path& audio,
                                                     const std::string& encoding = {});

} // namespace sonfeld::disc
