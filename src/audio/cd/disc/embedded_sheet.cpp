#include "embedded_sheet.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <system_error>

namespace sonfeld::disc {

namespace {

// More than any sheet and its tag or metadata neighbours take.
constexpr std::size_t kMaxHeadBytes = 16u << 20;
constexpr std::size_t kMaxTailBytes = 1u << 20;
constexpr int kSamplesPerSector = 588;
constexpr int kSectorsPerSecond = 75;

std::uint32_t Le32(const std::string& s, std::size_t at)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(s[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 3])) << 24;
}

std::uint64_t Be(const std::string& s, std::size_t at, int bytes)
{
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = value << 8 | static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]);
    return value;
}

bool SameKey(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string TwoDigits(std::uint64_t value)
{
    return (value < 10 ? "0" : "") + std::to_string(value);
}

std::string CueTime(std::uint64_t samples)
{
    const std::uint64_t sectors = samples / kSamplesPerSector;
    return TwoDigits(sectors / (60 * kSectorsPerSecond)) + ":" +
           TwoDigits(sectors / kSectorsPerSecond % 60) + ":" +
           TwoDigits(sectors % kSectorsPerSecond);
}

// The value of a CUESHEET comment in a VORBIS_COMMENT block.
std::string CommentSheet(const std::string& block)
{
    std::size_t at = 0;
    if (block.size() < 4)
        return {};
    const std::uint64_t vendor = Le32(block, 0);
    at = 4 + vendor;
    if (at + 4 > block.size())
        return {};
    const std::uint32_t count = Le32(block, at);
    at += 4;
    for (std::uint32_t i = 0; i < count && at + 4 <= block.size(); ++i) {
        const std::uint64_t length = Le32(block, at);
        at += 4;
        if (length > block.size() - at)
            return {};
        const std::string comment = block.substr(at, length);
        at += length;
        const std::size_t equals = comment.find('=');
        if (equals != std::string::npos && SameKey(comment.substr(0, equals), "CUESHEET"))
            return comment.substr(equals + 1);
    }
    return {};
}

// A CUESHEET block written out as a sheet; empty for one whose tracks do not
// start on sectors. Audio whose length is not whole sectors makes encoders
// clear the block's CD flag, so the flag is not required.
std::string BlockSheet(const std::string& block, const std::string& fileName)
{
    constexpr std::size_t kHeader = 128 + 8 + 259 + 1;
    if (block.size() < kHeader)
        return {};
    std::string catalog = block.substr(0, 128);
    catalog.resize(catalog.find('\0') == std::string::npos ? catalog.size() : catalog.find('\0'));
    const int tracks = static_cast<unsigned char>(block[kHeader - 1]);
    std::string sheet;
    if (!catalog.empty() && std::all_of(catalog.begin(), catalog.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c));
        }))
        sheet += "CATALOG " + catalog + "\n";
    sheet += "FILE \"" + fileName + "\" WAVE\n";
    std::size_t at = kHeader;
    bool audioSeen = false;
    for (int t = 0; t < tracks; ++t) {
        if (at + 36 > block.size())
            return {};
        const std::uint64_t offset = Be(block, at, 8);
        const int number = static_cast<unsigned char>(block[at + 8]);
        std::string isrc = block.substr(at + 9, 12);
        isrc.resize(isrc.find('\0') == std::string::npos ? isrc.size() : isrc.find('\0'));
        const auto flags = static_cast<unsigned char>(block[at + 21]);
        const int indexes = static_cast<unsigned char>(block[at + 35]);
        at += 36;
        if (at + static_cast<std::size_t>(indexes) * 12 > block.size())
            return {};
        if (number == 170 || number == 255) // the lead-out, of a CD or not
            break;
        if (number < 1 || number > 99 || offset % kSamplesPerSector != 0)
            return {};
        sheet += "  TRACK " + TwoDigits(static_cast<std::uint64_t>(number)) +
                 ((flags & 0x80) != 0 ? " MODE1/2352\n" : " AUDIO\n");
        audioSeen = audioSeen || (flags & 0x80) == 0;
        if ((flags & 0x40) != 0)
            sheet += "    FLAGS PRE\n";
        if (!isrc.empty() && std::all_of(isrc.begin(), isrc.end(), [](char c) {
                return std::isalnum(static_cast<unsigned char>(c));
            }))
            sheet += "    ISRC " + isrc + "\n";
        for (int i = 0; i < indexes; ++i) {
            const std::uint64_t indexOffset = Be(block, at, 8);
            const int indexNumber = static_cast<unsigned char>(block[at + 8]);
            at += 12;
            if (indexOffset % kSamplesPerSector != 0 || indexNumber > 99 ||
                offset + indexOffset < offset)
                return {};
            sheet += "    INDEX " + TwoDigits(static_cast<std::uint64_t>(indexNumber)) + " " +
                     CueTime(offset + indexOffset) + "\n";
        }
    }
    return audioSeen ? sheet : std::string();
}

std::string ReadRange(std::ifstream& in, std::int64_t from, std::size_t count)
{
    std::string bytes(count, '\0');
    in.clear();
    in.seekg(from);
    in.read(bytes.data(), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return bytes;
}

} // namespace

std::string FlacEmbeddedSheet(const std::string& head, const std::string& fileName)
{
    if (head.compare(0, 4, "fLaC") != 0)
        return {};
    std::string block;
    std::string fromBlock;
    for (std::size_t at = 4; at + 4 <= head.size();) {
        const auto type = static_cast<unsigned char>(head[at]);
        const std::size_t length = Be(head, at + 1, 3);
        at += 4;
        if (length > head.size() - at)
            break;
        if ((type & 0x7F) == 4) {
            if (std::string text = CommentSheet(head.substr(at, length)); !text.empty())
                return text;
        } else if ((type & 0x7F) == 5 && fromBlock.empty()) {
            fromBlock = BlockSheet(head.substr(at, length), fileName);
        }
        at += length;
        if ((type & 0x80) != 0)
            break;
    }
    return fromBlock;
}

std::string ApeTagSheet(const std::string& tail)
{
    constexpr std::size_t kFooter = 32;
    std::size_t end = tail.size();
    if (end >= 128 && tail.compare(end - 128, 3, "TAG") == 0)
        end -= 128;
    if (end < kFooter || tail.compare(end - kFooter, 8, "APETAGEX") != 0)
        return {};
    const std::size_t footer = end - kFooter;
    const std::uint32_t size = Le32(tail, footer + 12);
    const std::uint32_t count = Le32(tail, footer + 16);
    if (size < kFooter || size > end)
        return {};
    std::size_t at = end - size;
    for (std::uint32_t i = 0; i < count && at + 8 <= footer; ++i) {
        const std::uint32_t length = Le32(tail, at);
        const std::uint32_t flags = Le32(tail, at + 4);
        at += 8;
        const std::size_t keyEnd = tail.find('\0', at);
        if (keyEnd == std::string::npos || keyEnd >= footer)
            return {};
        const std::string key = tail.substr(at, keyEnd - at);
        at = keyEnd + 1;
        if (length > footer - at)
            return {};
        // Bits 1-2 of the flags say what the value is: 0 for UTF-8 text.
        if (SameKey(key, "Cuesheet") && (flags & 0x6) == 0)
            return tail.substr(at, length);
        at += length;
    }
    return {};
}

bool MayEmbedSheet(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string head = ReadRange(in, 0, 4);
    return head == "fLaC" || head == "MAC " || head == "wvpk";
}

std::string ReadEmbeddedSheet(const std::filesystem::path& path)
{
    std::error_code error;
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(path, error));
    if (error)
        return {};
    std::ifstream in(path, std::ios::binary);
    const std::string head = ReadRange(in, 0, 4);
    if (head == "fLaC")
        return FlacEmbeddedSheet(
            ReadRange(in, 0, static_cast<std::size_t>(std::min<std::int64_t>(size, kMaxHeadBytes))),
            path.filename().string());
    const std::int64_t tail = std::min<std::int64_t>(size, kMaxTailBytes);
    return ApeTagSheet(ReadRange(in, size - tail, static_cast<std::size_t>(tail)));
}

} // namespace sonfeld::disc
