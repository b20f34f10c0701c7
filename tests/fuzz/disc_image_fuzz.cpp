// Our TOC and NRG readers on arbitrary files (IMAGE_SUFFIX picks which): the
// input is written as an image beside small files a TOC may name (a.bin, raw
// audio; b.wav), opened as the program opens images, and every audio sector
// of its model is read. ASan catches any read outside the files' buffers.

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audio/cd/disc/image_reader.h"

namespace {

const std::filesystem::path& Image()
{
    static const std::filesystem::path image = [] {
        auto folder = std::filesystem::temp_directory_path() /
                      ("image-fuzz-" + std::to_string(static_cast<long>(getpid())));
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "a.bin", std::ios::binary) << std::string(2352 * 40, '\x11');
        std::string wav = "RIFF";
        auto u32 = [&](std::uint32_t v) {
            for (int i = 0; i < 4; ++i)
                wav += static_cast<char>(v >> (8 * i));
        };
        const std::uint32_t data = 2352 * 10 + 12;
        u32(36 + data);
        wav += "WAVEfmt ";
        u32(16);
        u32(0x00020001); // PCM, two channels
        u32(44100);
        u32(44100 * 4);
        u32(0x00100004); // 4-byte frames of 16-bit samples
        wav += "data";
        u32(data);
        wav += std::string(data, '\x22');
        std::ofstream(folder / "b.wav", std::ios::binary) << wav;
        return folder / (std::string("image") + IMAGE_SUFFIX);
    }();
    return image;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::filesystem::path& image = Image();
    std::ofstream(image, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    try {
        auto reader = sonfeld::disc::OpenImageReader(image);
        if (!reader)
            return 0;
        const auto& model = reader->Model();
        std::vector<std::uint8_t> sectors(2352 * 3);
        std::string error;
        // Bounded: an image may describe a whole CD of silence.
        for (std::int32_t lsn = 0; lsn < model.leadOutLsn && lsn < 2000; lsn += 2)
            reader->ReadSectors(lsn, 3, sectors.data(), error);
    } catch (const sonfeld::disc::DiscError&) {
    }
    return 0;
}
