#include "wav_reader.h"

#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>

namespace sonfeld::disc_image {

namespace {

std::uint32_t Le32(const std::uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t Le16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

} // namespace

std::vector<std::uint8_t> ReadCdWav(const std::filesystem::path& file)
{
    const std::string name = file.string();
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("Cannot open the WAV file \"" + name + "\".");
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (in.bad())
        throw std::runtime_error("Cannot read the WAV file \"" + name + "\".");
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        throw std::runtime_error("\"" + name + "\" is not a WAV file.");

    bool haveFormat = false;
    std::size_t offset = 12;
    while (offset + 8 <= bytes.size()) {
        const std::uint8_t* chunk = bytes.data() + offset;
        const std::uint32_t size = Le32(chunk + 4);
        const std::size_t body = offset + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16 || body + 16 > bytes.size())
                throw std::runtime_error("\"" + name + "\" has a damaged format chunk.");
            const std::uint8_t* format = bytes.data() + body;
            const bool pcm = Le16(format) == 1 ||
                             (Le16(format) == 0xFFFE && size >= 40 && Le16(format + 24) == 1);
            if (!pcm || Le16(format + 2) != 2 || Le32(format + 4) != 44100 ||
                Le16(format + 14) != 16)
                throw std::runtime_error("\"" + name +
                                         "\" is not 44100 Hz 16-bit stereo PCM, as a CD needs.");
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat)
                throw std::runtime_error("\"" + name + "\" has no format before its data.");
            if (body + size > bytes.size())
                throw std::runtime_error("\"" + name + "\" is truncated.");
            return {bytes.begin() + static_cast<std::ptrdiff_t>(body),
                    bytes.begin() + static_cast<std::ptrdiff_t>(body + (size & ~3u))};
        }
        offset = body + size + (size & 1);
    }
    throw std::runtime_error("\"" + name + "\" has no audio data.");
}

} // namespace sonfeld::disc_image
