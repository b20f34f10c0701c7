#include "image_reader.h"

#include <algorithm>
#include <cctype>

#include "cue_image.h"
#include "nrg_image.h"
#include "toc_image.h"

namespace sonfeld::disc {

namespace {

class CueReader : public ImageReader {
public:
    explicit CueReader(std::unique_ptr<CueImage> image) : image_(std::move(image)) {}
    const DiscModel& Model() const override { return image_->Model(); }
    bool ReadSectors(std::int32_t lsn, int count, std::uint8_t* out, std::string& error) override
    {
        return image_->ReadSectors(lsn, count, out, error);
    }

private:
    std::unique_ptr<CueImage> image_;
};

bool HasExtension(const std::filesystem::path& path, const std::string& wanted)
{
    std::string extension = path.extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == wanted;
}

} // namespace

int RunImage::AddFile(std::unique_ptr<ImageFile> file)
{
    files_.push_back(std::move(file));
    return static_cast<int>(files_.size()) - 1;
}

void RunImage::AddRun(std::int64_t bytes, int file, std::int64_t offset)
{
    if (bytes <= 0)
        return;
    if (!runs_.empty() && file < 0 && runs_.back().file < 0)
        runs_.back().bytes += bytes;
    else
        runs_.push_back({end_, bytes, file, offset});
    end_ += bytes;
}

bool RunImage::ReadSectors(std::int32_t lsn, int count, std::uint8_t* out, std::string& error)
{
    if (!AudioSectorsReadable(model_, lsn, count, error))
        return false;
    std::int64_t at = static_cast<std::int64_t>(lsn) * kSectorBytes;
    const std::int64_t end = at + static_cast<std::int64_t>(count) * kSectorBytes;
    auto run = std::upper_bound(runs_.begin(), runs_.end(), at,
                                [](std::int64_t value, const Run& r) { return value < r.at; });
    if (run != runs_.begin())
        --run;
    while (at < end) {
        while (run != runs_.end() && run->at + run->bytes <= at)
            ++run;
        const bool inside = run != runs_.end() && at >= run->at;
        std::int64_t take = end - at;
        if (inside)
            take = std::min(take, run->at + run->bytes - at);
        else if (run != runs_.end())
            take = std::min(take, run->at - at);
        if (!inside || run->file < 0) {
            std::fill(out, out + take, std::uint8_t{0});
        } else {
            ImageFile& file = *files_[static_cast<std::size_t>(run->file)];
            if (!file.Read(run->offset + (at - run->at), static_cast<std::size_t>(take), out,
                           error))
                return false;
        }
        out += take;
        at += take;
    }
    return true;
}

std::unique_ptr<ImageReader> OpenCueReader(const std::filesystem::path& sheet,
                                           const std::string& encoding)
{
    return std::make_unique<CueReader>(CueImage::Open(sheet, encoding));
}

std::unique_ptr<ImageReader> OpenEmbeddedSheetReader(const std::filesystem::path& audio,
                                                     const std::string& encoding)
{
    return std::make_unique<CueReader>(CueImage::OpenEmbedded(audio, encoding));
}

std::unique_ptr<ImageReader> OpenImageReader(const std::filesystem::path& path,
                                             const std::string& encoding)
{
    if (HasExtension(path, ".cue"))
        return OpenCueReader(path, encoding);
    if (HasExtension(path, ".toc"))
        return OpenTocImage(path);
    if (HasExtension(path, ".nrg") || HasNeroFooter(path))
        return OpenNrgImage(path);
    return nullptr;
}

} // namespace sonfeld::disc
