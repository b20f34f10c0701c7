// The CUE reader on arbitrary sheets: the sheet is written beside two small
// files it may name (a.bin, b.wav), opened as an image, and every audio sector
// of its model is read. ASan catches any read outside the files' buffers.

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audio/cd/disc/cue_image.h"

namespace {

const std::filesystem::path& Folder()
{
    static const std::filesystem::path folder = [] {
        auto path = std::filesystem::temp_directory_path() /
                    ("cue-fuzz-" + std::to_string(static_cast<long>(getpid())));
        std::filesystem::create_directories(path);
        std::ofstream(path / "a.bin", std::ios::binary) << std::string(2352 * 40, '\x11');
        std::string wav = "RIFF";
        auto u32 = [&](std::uint32_t v) {
            for (int i = 0; i < 4; ++i)
                wav += static_cast<char>(v >> (8 * i));
        };
        auto u16 = [&](std::uint16_t v) {
            wav += static_cast<char>(v);
            wav += static_cast<char>(v >> 8);
        };
        const std::uint32_t data = 2352 * 10 + 12;
        u32(36 + data);
        wav += "WAVEfmt ";
        u32(16);
        u16(1);
        u16(2);
        u32(44100);
        u32(44100 * 4);
        u16(4);
        u16(16);
        wav += "data";
        u32(data);
        wav += std::string(data, '\x22');
        std::ofstream(path / "b.wav", std::ios::binary) << wav;
        return path;
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto sheet = Folder() / "sheet.cue";
    std::ofstream(sheet, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    try {
        auto image = sonfeld::disc::CueImage::Open(sheet);
        const auto& model = image->Model();
        std::vector<std::uint8_t> sector(2352);
        std::string error;
        // Bounded: a sheet may describe a whole CD of silence.
        for (std::int32_t lsn = 0; lsn < model.leadOutLsn && lsn < 2000; ++lsn)
            image->ReadSectors(lsn, 1, sector.data(), error);
    } catch (const sonfeld::disc::DiscError&) {
    }
    return 0;
}
