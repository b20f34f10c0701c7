// The NRG and TOC checks on arbitrary files (IMAGE_SUFFIX picks which): the
// input is written as an image beside a small BIN file it may name, checked,
// and whatever the check lets through is opened and listed by libcdio, which
// must then survive it and agree with the check's table of contents.

#include <unistd.h>

#include <cdio/cdio.h>
#include <cdio/cdtext.h>
#include <cdio/logging.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "nrg_check.h"
#include "toc_check.h"

namespace {

const std::filesystem::path& Image()
{
    static const std::filesystem::path image = [] {
        auto folder = std::filesystem::temp_directory_path() /
                      ("image-fuzz-" + std::to_string(static_cast<long>(getpid())));
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "a.bin", std::ios::binary) << std::string(2352 * 40, '\x11');
        cdio_loglevel_default = CDIO_LOG_ERROR;
        return folder / (std::string("image") + IMAGE_SUFFIX);
    }();
    return image;
}

// libcdio takes a TOC file's names from the current folder, so each input is
// checked and read from the image's folder; the fuzzer's own folder comes
// back afterwards, since it reads its corpus and writes its findings by
// relative paths.
class InImageFolder {
public:
    explicit InImageFolder(const std::filesystem::path& image)
        : previous_(std::filesystem::current_path())
    {
        std::filesystem::current_path(image.parent_path());
    }
    ~InImageFolder() { std::filesystem::current_path(previous_); }
    InImageFolder(const InImageFolder&) = delete;
    InImageFolder& operator=(const InImageFolder&) = delete;

private:
    std::filesystem::path previous_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::filesystem::path& image = Image();
    const InImageFolder inFolder(image);
    std::ofstream(image, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    sonfeld::cdrip::ImageLayout layout;
    const std::string path = image.string();
    // As the library does: the NRG check on every image, the TOC check on TOC files.
    const bool toc = std::string(IMAGE_SUFFIX) == ".toc";
    std::string reason = sonfeld::cdrip::CheckNrgStructure(path, !toc, layout);
    if (reason.empty() && toc)
        reason = sonfeld::cdrip::CheckTocFile(path, layout);
    if (!reason.empty())
        return 0;
    CdIo_t* cdio = cdio_open(path.c_str(), DRIVER_UNKNOWN);
    if (cdio == nullptr)
        return 0;
    const track_t first = cdio_get_first_track_num(cdio);
    const track_t count = cdio_get_num_tracks(cdio);
    std::vector<std::int32_t> starts;
    if (first != CDIO_INVALID_TRACK && count != CDIO_INVALID_TRACK) {
        for (int track = first; track < first + count; ++track)
            starts.push_back(cdio_get_track_lsn(cdio, static_cast<track_t>(track)));
        const lsn_t leadOut = cdio_get_track_lsn(cdio, CDIO_CDROM_LEADOUT_TRACK);
        // Where libcdio agrees with the check, every sector it lists is read.
        if (sonfeld::cdrip::CompareLayout(layout, first, starts, leadOut).empty()) {
            std::vector<std::uint8_t> sector(2352);
            for (lsn_t lsn = 0; lsn < leadOut && lsn < 2000; ++lsn)
                cdio_read_audio_sectors(cdio, sector.data(), lsn, 1);
        }
    }
    cdio_get_cdtext(cdio);
    cdio_destroy(cdio);
    return 0;
}
