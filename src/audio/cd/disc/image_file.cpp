#include "image_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>
#include <vector>

#include "decoded_image_file.h"
#include "flac_file.h"

namespace sonfeld::disc {

namespace {

std::uint32_t Le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t Le16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

constexpr std::uint16_t kWaveFormatPcm = 1;
constexpr std::uint16_t kWaveFormatExtensible = 0xFFFE;
// KSDATAFORMAT_SUBTYPE_PCM as stored: 00000001-0000-0010-8000-00AA00389B71.
constexpr std::uint8_t kPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                            0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// Bytes [begin, begin + bytes) of a file on disk.
class FileSpan : public ImageFile {
public:
    FileSpan(const std::filesystem::path& path, std::int64_t begin, std::int64_t bytes,
             bool swapBytes)
        : path_(path), begin_(begin), bytes_(bytes), swap_(swapBytes),
          stream_(path, std::ios::binary)
    {
    }

    std::int64_t Bytes() const override { return bytes_; }

    bool Read(std::int64_t offset, std::size_t count, std::uint8_t* out,
              std::string& error) override
    {
        if (offset < 0 || offset + static_cast<std::int64_t>(count) > bytes_) {
            error = "A read past the end of " + path_.filename().string() + ".";
            return false;
        }
        stream_.clear();
        stream_.seekg(begin_ + offset);
        stream_.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(count));
        if (!stream_ || stream_.gcount() != static_cast<std::streamsize>(count)) {
            // A short read with no error behind it: the file shrank after it was opened.
            error = stream_.bad() ? "Cannot read " + path_.filename().string() + "."
                                  : IncompleteMessage(path_.filename().string(), MissingSectors());
            return false;
        }
        if (swap_) {
            for (std::size_t i = 0; i + 1 < count; i += 2)
                std::swap(out[i], out[i + 1]);
        }
        return true;
    }

private:
    // Whole sectors between the file's end now and the end the sheet gives it.
    std::int64_t MissingSectors() const
    {
        std::error_code error;
        const auto now = static_cast<std::int64_t>(std::filesystem::file_size(path_, error));
        const std::int64_t missing = begin_ + bytes_ - (error ? 0 : now);
        return std::max<std::int64_t>((missing + kSectorBytes - 1) / kSectorBytes, 1);
    }

    std::filesystem::path path_;
    std::int64_t begin_;
    std::int64_t bytes_;
    bool swap_;
    std::ifstream stream_;
};

[[noreturn]] void NotCdAudio(const std::string& name)
{
    throw DiscError("\"" + name + "\" is not 44100 Hz 16-bit stereo PCM audio.");
}

std::unique_ptr<ImageFile> OpenWave(const std::filesystem::path& path, const std::string& name,
                                    std::int64_t fileBytes)
{
    std::ifstream in(path, std::ios::binary);
    std::array<std::uint8_t, 12> riff{};
    if (!in.read(reinterpret_cast<char*>(riff.data()), riff.size()) ||
        std::memcmp(riff.data(), "RIFF", 4) != 0 || std::memcmp(riff.data() + 8, "WAVE", 4) != 0)
        throw DiscError("\"" + name + "\" is neither a WAV nor a FLAC file.");
    std::int64_t at = 12;
    bool formatSeen = false;
    while (at + 8 <= fileBytes) {
        std::array<std::uint8_t, 8> header{};
        in.seekg(at);
        if (!in.read(reinterpret_cast<char*>(header.data()), header.size()))
            break;
        const std::int64_t size = Le32(header.data() + 4);
        const std::int64_t body = at + 8;
        if (std::memcmp(header.data(), "fmt ", 4) == 0) {
            std::array<std::uint8_t, 40> fmt{};
            const auto wanted = static_cast<std::streamsize>(std::min<std::int64_t>(size, 40));
            if (size < 16 || !in.read(reinterpret_cast<char*>(fmt.data()), wanted))
                NotCdAudio(name);
            const std::uint16_t tag = Le16(fmt.data());
            if ((tag != kWaveFormatPcm && tag != kWaveFormatExtensible) ||
                Le16(fmt.data() + 2) != 2 || Le32(fmt.data() + 4) != 44100 ||
                Le16(fmt.data() + 14) != 16)
                NotCdAudio(name);
            // An extensible format says what its samples are in its sub-format:
            // 16-bit containers may hold float or compressed data as well.
            if (tag == kWaveFormatExtensible &&
                (size < 40 || Le16(fmt.data() + 16) < 22 || Le16(fmt.data() + 18) != 16 ||
                 std::memcmp(fmt.data() + 24, kPcmSubFormat, sizeof kPcmSubFormat) != 0))
                NotCdAudio(name);
            formatSeen = true;
        } else if (std::memcmp(header.data(), "data", 4) == 0) {
            if (!formatSeen)
                NotCdAudio(name);
            const std::int64_t present = fileBytes - body;
            // A streamed WAV may leave its size unwritten (0 or all ones).
            std::int64_t bytes = size == 0 || size == 0xFFFFFFFF ? present : size;
            if (bytes > present) {
                const std::int64_t missing = bytes - present;
                throw DiscError(
                    IncompleteMessage(name, (missing + kSectorBytes - 1) / kSectorBytes));
            }
            bytes -= bytes % 4;
            return std::make_unique<FileSpan>(path, body, bytes, false);
        }
        at = body + size + (size & 1);
    }
    throw DiscError("\"" + name + "\" holds no audio data.");
}

bool StartsWith(const std::filesystem::path& path, const char* magic, std::size_t size)
{
    std::ifstream in(path, std::ios::binary);
    std::array<char, 8> head{};
    return in.read(head.data(), static_cast<std::streamsize>(size)) &&
           std::memcmp(head.data(), magic, size) == 0;
}

} // namespace

std::string IncompleteMessage(const std::string& name, std::int64_t missingSectors)
{
    return "镜像文件不完整: " + name + " 缺少 " + std::to_string(missingSectors) + " 个扇区";
}

void CheckReadableFile(const std::filesystem::path& path, const std::string& shownName)
{
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status))
        throw DiscError("\"" + shownName + "\" does not exist.");
    if (std::filesystem::is_directory(status))
        throw DiscError("\"" + shownName + "\" is a folder, not a file.");
    if (!std::filesystem::is_regular_file(status))
        throw DiscError("\"" + shownName + "\" is not a regular file.");
    std::ifstream probe(path, std::ios::binary);
    if (!probe)
        throw DiscError("\"" + shownName + "\" cannot be read: " + std::strerror(errno) + ".");
}

std::unique_ptr<ImageFile> OpenImageFile(const std::filesystem::path& path, CueFileType type,
                                         const std::string& nameInSheet)
{
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        throw DiscError("镜像文件不完整: " + nameInSheet + " 不存在");
    CheckReadableFile(path, nameInSheet);
    const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path, error));
    if (error)
        throw DiscError("\"" + nameInSheet + "\" cannot be read: " + error.message() + ".");
    switch (type) {
    case CueFileType::Binary:
    case CueFileType::Motorola:
        return std::make_unique<FileSpan>(path, 0, bytes, type == CueFileType::Motorola);
    case CueFileType::Wave:
        if (StartsWith(path, "fLaC", 4))
            return OpenFlacFile(path, nameInSheet);
        if (const DecodedKind kind = SniffDecodedKind(path); kind != DecodedKind::None)
            return OpenDecodedImageFile(path, kind, nameInSheet);
        return OpenWave(path, nameInSheet, bytes);
    }
    throw DiscError("\"" + nameInSheet + "\" has an unknown type.");
}

} // namespace sonfeld::disc
